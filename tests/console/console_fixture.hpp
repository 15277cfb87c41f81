// Shared set-up of the console tests: a fresh headless window, exits turned
// into exceptions, and a Windows directory of the test's own where a
// QUORIL.INI can be written.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console/qrcrt.hpp"
#include "platform/messages.hpp"
#include "platform/system.hpp"
#include "platform/window.hpp"

struct ProcessExit {
    int code;
};

class ConsoleTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        windir_ = std::filesystem::path(::testing::TempDir()) /
                  (std::string("qrcrt_") + info->test_suite_name() + "_" + info->name());
        std::filesystem::remove_all(windir_);
        std::filesystem::create_directories(windir_);
        setenv("QUORIL_WINDIR", windir_.c_str(), 1);
        platform::headless::reset();
        qrcrt::resetForTests();
        platform::setExitHandler([](int code) { throw ProcessExit{code}; });
    }

    void TearDown() override {
        qrcrt::resetForTests();
        platform::setExitHandler({});
        platform::headless::reset();
        std::filesystem::remove_all(windir_);
    }

    // Write QUORIL.INI into the Windows directory.
    void settings(const std::string& text) {
        std::ofstream(windir_ / "QUORIL.INI") << text;
    }

    void write(const std::string& text) {
        qrcrt::writeBlock(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }

    // One row of the screen (1-based), the trailing spaces cut.
    static std::string row(int r) {
        std::string s;
        for (int c = 1; c <= qrcrt::screenColumns; ++c) s.push_back(static_cast<char>(qrcrt::screenChar(r, c)));
        return s.substr(0, s.find_last_not_of(' ') + 1);
    }

    // Pump, then take every queued byte.
    static std::vector<int> drain() {
        qrcrt::keyWaiting();
        std::vector<int> bytes;
        while (qrcrt::queuedKeys() > 0) bytes.push_back(qrcrt::readKeyCode());
        return bytes;
    }

    std::filesystem::path windir_;
};
