// Helpers of the built-in voice's tests: UTF-8 literals as Windows-1252,
// temporary files, and the voice's own data files.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "tts/ttschars.hpp"

namespace ttstest {

inline std::string w(const std::string& utf8) { return ttschars::cp1252(utf8); }

// Writes text (already Windows-1252) to a fresh file in a temporary
// directory of the running test (tests run as parallel processes) and
// answers its name.
inline std::string tempFile(const std::string& name, const std::string& text) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string test = info ? std::string(info->test_suite_name()) + "." + info->name() : "global";
    const auto dir = std::filesystem::temp_directory_path() / "quoril-tts-tests" / test;
    std::filesystem::create_directories(dir);
    const auto path = dir / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

inline std::string dataFile(const std::string& name) {
    return std::string(QUORIL_SOURCE_DIR) + "/data/tireltts/" + name;
}

}  // namespace ttstest
