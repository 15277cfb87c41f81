// Shared set-up of the console tests: a fresh headless window, exits turned
// into exceptions, and a Windows directory of the test's own where a
// QUORIL.INI can be written.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "console/qrcrt.hpp"
#include "platform/system/messages.hpp"
#include "platform/system/system.hpp"
#include "platform/window/window.hpp"
#include "support/env.hpp"
#include "support/files.hpp"
#include "support/fresh_system.hpp"
#include "support/temp_dir.hpp"

struct ProcessExit {
    int code;
};

class ConsoleTest : public ::testing::Test {
protected:
    void SetUp() override {
        support::freshSystem(support::Sound::untouched);
        platform::setExitHandler([](int code) { throw ProcessExit{code}; });
    }

    void TearDown() override { support::closeSystem(); }

    // Write QUORIL.INI into the Windows directory.
    void settings(const std::string& text) { support::writeIni(windir_, text); }

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

    support::TempDir tmp_{"qrcrt"};
    const std::filesystem::path windir_ = tmp_.path();
    support::ScopedEnv windirEnv_{"QUORIL_WINDIR", windir_.string()};
};
