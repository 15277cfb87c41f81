// A fresh console on the headless backend, the test wave-out device and a
// fresh player for every sound test; WAV files go to a private directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/sound/waveout.hpp"
#include "sound/qrwav.hpp"
#include "support/fresh_system.hpp"
#include "support/temp_dir.hpp"
#include "wav_builder.hpp"

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override { support::freshSystem(support::Sound::testDevice); }

    void TearDown() override { support::closeSystem(); }

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

    support::TempDir tmp_{"quoril_sound"};
    const std::filesystem::path dir_ = tmp_.path();
};
