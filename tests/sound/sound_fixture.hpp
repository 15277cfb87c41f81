// A fresh console on the headless backend, the test wave-out device and a
// fresh player for every sound test; WAV files go to a private directory.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "console/qrcrt.hpp"
#include "platform/messages.hpp"
#include "platform/waveout.hpp"
#include "platform/window.hpp"
#include "sound/qrwav.hpp"
#include "wav_builder.hpp"

class SoundTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::setenv("QUORIL_CONSOLE", "headless", 0); }

    void SetUp() override {
        platform::waveout::useTestDevice(true);
        platform::waveout::test::reset();
        qrcrt::resetForTests();
        platform::headless::reset();
        platform::clearMessages();
        qrwav::resetForTests();
        dir_ = std::filesystem::temp_directory_path() /
               ("quoril_sound_" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir_);
    }

    void TearDown() override {
        qrwav::resetForTests();
        platform::waveout::test::reset();
        platform::waveout::useTestDevice(false);
        qrcrt::resetForTests();
        platform::clearMessages();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    std::string writeFile(const std::string& name, const wavtest::Bytes& bytes) {
        auto path = dir_ / name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    static std::vector<std::size_t> blockSizes() {
        std::vector<std::size_t> sizes;
        for (const auto& b : platform::waveout::test::blocks()) sizes.push_back(b.size());
        return sizes;
    }

    std::filesystem::path dir_;
};
