// Files the tests lay down: a QUORIL.INI, and recordings whose samples are
// all one byte value, so that the blocks played tell which file was heard.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "speaking/sounds.hpp"

namespace support {

// Writes text as dir/QUORIL.INI, in place of any there was.
inline void writeIni(const std::filesystem::path& dir, const std::string& text) {
    std::ofstream(dir / "QUORIL.INI", std::ios::binary) << text;
}

// An 11025 Hz 8-bit mono WAV image of the given samples.
inline std::vector<std::uint8_t> wav8(const std::vector<std::uint8_t>& samples) {
    std::vector<std::uint8_t> image(44);
    speaking::writeWaveHeader(image.data(), static_cast<std::uint32_t>(samples.size()), 11025, 1, 8);
    image.insert(image.end(), samples.begin(), samples.end());
    return image;
}

// Writes a recording of the given number of samples, every one of them fill.
inline void writeFilledWav(const std::filesystem::path& file, std::uint8_t fill, std::size_t samples) {
    const std::vector<std::uint8_t> image = wav8(std::vector<std::uint8_t>(samples, fill));
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
}

}  // namespace support
