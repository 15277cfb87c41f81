// A fresh console on the headless backend with the test wave-out device,
// and a directory of recordings in which every word sound is a run of one
// byte value of its own, so the blocks played tell which words were heard.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "console/qrcrt.hpp"
#include "platform/messages.hpp"
#include "platform/waveout.hpp"
#include "platform/window.hpp"
#include "sound/qrwav.hpp"
#include "speaking/output.hpp"
#include "speaking/settings.hpp"
#include "speaking/soundnames.hpp"
#include "speaking/sounds.hpp"

class HeardTest : public ::testing::Test {
protected:
    static constexpr std::size_t samplesPerWord = 300;

    static void SetUpTestSuite() { ::setenv("QUORIL_CONSOLE", "headless", 0); }

    void SetUp() override {
        platform::waveout::useTestDevice(true);
        platform::waveout::test::reset();
        platform::waveout::test::setAutoFinish(true);
        platform::headless::reset();
        qrcrt::resetForTests();
        platform::clearMessages();
        qrwav::resetForTests();
        speaking::resetSoundsForTests();
        speaking::resetOutputForTests();
        dir_ = std::filesystem::temp_directory_path() /
               ("quoril_heard_" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir_);
        speaking::setLettersDirectory(dir_.string());
        speaking::setSynthLettersDirectory(dir_.string());
        namespace names = speaking::soundnames;
        int fill = 1;
        for (const auto& list : {names::numberWordSounds(), names::dateTimeSounds()})
            for (const std::string& name : list) record(name, static_cast<std::uint8_t>(fill++));
    }

    void TearDown() override {
        qrwav::resetForTests();
        speaking::resetSoundsForTests();
        speaking::resetOutputForTests();
        platform::waveout::test::reset();
        platform::waveout::useTestDevice(false);
        qrcrt::resetForTests();
        platform::clearMessages();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    // A recording of the given length whose samples are all fill.
    void record(const std::string& name, std::uint8_t fill, std::size_t samples = samplesPerWord) {
        std::vector<std::uint8_t> image(44 + samples, fill);
        speaking::writeWaveHeader(image.data(), static_cast<std::uint32_t>(samples), 11025, 1, 8);
        std::ofstream(dir_ / (name + ".wav"), std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        byFill_[fill] = name;
    }

    // The names heard, in order: each block read in runs of one word.
    std::vector<std::string> heard() const {
        std::vector<std::string> out;
        for (const auto& block : platform::waveout::test::blocks())
            for (std::size_t i = 0; i < block.size(); i += samplesPerWord) {
                auto it = byFill_.find(block[i]);
                out.push_back(it == byFill_.end() ? "?" : it->second);
            }
        return out;
    }

    std::filesystem::path dir_;
    std::map<std::uint8_t, std::string> byFill_;
};
