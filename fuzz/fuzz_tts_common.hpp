// Shared by the built-in voice's fuzz targets: the input as a file, and a
// run of all the stages over a text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "tts/uttspreproc.hpp"
#include "tts/uttsportug.hpp"
#include "tts/uttsprosodia.hpp"

namespace fuzztts {

inline std::string asFile(const char* name, const std::uint8_t* data, std::size_t size) {
    const auto path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                  static_cast<std::streamsize>(size));
    return path.string();
}

// The stages over the start of a text: what a file's slice does to them
// shows in its first lines, and the whole pipeline on long texts would
// slow every run down.
constexpr std::size_t kSpoken = 80;

inline void speak(const std::string& whole) {
    const std::string text = whole.substr(0, kSpoken);
    const auto tokens = uttsprosodia::splitTokens(uttspreproc::normaliseText(text));
    const auto phonemes = uttsportug::textToPhonemes(uttsprosodia::assignPatterns(tokens, true));
    uttsprosodia::buildPhoLines(phonemes, 0.8, 1.2);
}

}  // namespace fuzztts
