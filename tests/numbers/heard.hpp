// A fresh console on the headless backend with the test wave-out device,
// and a directory of recordings in which every word sound is a run of one
// byte value of its own, so the blocks played tell which words were heard.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/sound/waveout.hpp"
#include "speaking/soundnames.hpp"
#include "speaking/sounds.hpp"
#include "support/files.hpp"
#include "support/fresh_system.hpp"
#include "support/temp_dir.hpp"

class HeardTest : public ::testing::Test {
protected:
    static constexpr std::size_t samplesPerWord = 300;

    void SetUp() override {
        support::freshSystem();
        speaking::setLettersDirectory(dir_.string());
        speaking::setSynthLettersDirectory(dir_.string());
        namespace names = speaking::soundnames;
        int fill = 1;
        for (const auto& list : {names::numberWordSounds(), names::dateTimeSounds()})
            for (const std::string& name : list) record(name, static_cast<std::uint8_t>(fill++));
    }

    void TearDown() override { support::closeSystem(); }

    // A recording of the given length whose samples are all fill.
    void record(const std::string& name, std::uint8_t fill, std::size_t samples = samplesPerWord) {
        support::writeFilledWav(dir_ / (name + ".wav"), fill, samples);
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

    support::TempDir tmp_{"quoril_heard"};
    const std::filesystem::path dir_ = tmp_.path();
    std::map<std::uint8_t, std::string> byFill_;
};
