// A fresh speaking console on the headless backend and the test wave-out
// device, a private Windows directory for QUORIL.INI, a stand-in for the
// diphone synthesizer, and the trace of the pieces speakText voices.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/sound/waveout.hpp"
#include "speaking/output.hpp"
#include "speaking/settings.hpp"
#include "support/env.hpp"
#include "support/files.hpp"
#include "support/fresh_system.hpp"
#include "support/temp_dir.hpp"

class OutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        support::freshSystem();
        windir_.emplace("QUORIL_WINDIR", dir_.string());
        settings("");
        freshOutput();
    }

    // The speaking console as at module start, with the stand-ins and trace.
    void freshOutput() {
        speaking::resetOutputForTests();
        speaking::setSynthesizerForTests([this] { return synthResult_; },
                                         [this](const std::string& run) { onWords(run); });
        speaking::setSpeechTrace([this](const std::string& piece) { trace_.push_back(piece); });
    }

    void TearDown() override {
        support::closeSystem();
        windir_.reset();
        speaking::resetSettingsForTests();
    }

    void settings(const std::string& text) {
        support::writeIni(dir_, text);
        speaking::resetSettingsForTests();
    }

    // What a run of words does instead of being synthesized; by default,
    // nothing more than the trace.
    virtual void onWords(const std::string&) {}

    // A recording whose samples are all fill.
    void record(const std::string& name, std::uint8_t fill, std::size_t samples = 300) {
        support::writeFilledWav(dir_ / (name + ".wav"), fill, samples);
    }

    // The first byte of every block played.
    static std::vector<int> playedFills() {
        std::vector<int> fills;
        for (const auto& b : platform::waveout::test::blocks()) fills.push_back(b.empty() ? -1 : b[0]);
        return fills;
    }

    support::TempDir tmp_{"quoril_output"};
    const std::filesystem::path dir_ = tmp_.path();
    std::optional<support::ScopedEnv> windir_;
    int synthResult_ = 0;
    std::vector<std::string> trace_;
};
