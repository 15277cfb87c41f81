// A fresh speaking console on the headless backend and the test wave-out
// device, a private Windows directory for QUORIL.INI, a stand-in for the
// diphone synthesizer, and the trace of the pieces speakText voices.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "console/qrcrt.hpp"
#include "platform/messages.hpp"
#include "platform/system.hpp"
#include "platform/waveout.hpp"
#include "platform/window.hpp"
#include "servers/dispatch.hpp"
#include "sound/qrwav.hpp"
#include "speaking/output.hpp"
#include "speaking/settings.hpp"
#include "speaking/sounds.hpp"
#include "synth/qrtradut.hpp"

class OutputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::setenv("QUORIL_CONSOLE", "headless", 0); }

    void SetUp() override {
        platform::waveout::useTestDevice(true);
        platform::waveout::test::reset();
        platform::waveout::test::setAutoFinish(true);
        platform::headless::reset();
        qrcrt::resetForTests();
        platform::clearMessages();
        qrwav::resetForTests();
        qrtradut::resetForTests();
        servers::resetForTests();
        speaking::resetSoundsForTests();
        speaking::resetOutputForTests();
        dir_ = std::filesystem::temp_directory_path() /
               ("quoril_output_" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir_);
        const char* old = std::getenv("QUORIL_WINDIR");
        if (old) oldWindir_ = old;
        ::setenv("QUORIL_WINDIR", dir_.c_str(), 1);
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
        speaking::resetOutputForTests();
        speaking::resetSoundsForTests();
        servers::resetForTests();
        qrtradut::resetForTests();
        qrwav::resetForTests();
        platform::waveout::test::reset();
        platform::waveout::useTestDevice(false);
        qrcrt::resetForTests();
        platform::clearMessages();
        platform::setExitHandler({});
        if (oldWindir_.empty()) ::unsetenv("QUORIL_WINDIR");
        else ::setenv("QUORIL_WINDIR", oldWindir_.c_str(), 1);
        speaking::resetSettingsForTests();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    void settings(const std::string& text) {
        std::ofstream(dir_ / "QUORIL.INI") << text;
        speaking::resetSettingsForTests();
    }

    // What a run of words does instead of being synthesized; by default,
    // nothing more than the trace.
    virtual void onWords(const std::string&) {}

    // A recording whose samples are all fill.
    void record(const std::string& name, std::uint8_t fill, std::size_t samples = 300) {
        std::vector<std::uint8_t> image(44 + samples, fill);
        speaking::writeWaveHeader(image.data(), static_cast<std::uint32_t>(samples), 11025, 1, 8);
        std::ofstream(dir_ / (name + ".wav"), std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    }

    // The first byte of every block played.
    static std::vector<int> playedFills() {
        std::vector<int> fills;
        for (const auto& b : platform::waveout::test::blocks()) fills.push_back(b.empty() ? -1 : b[0]);
        return fills;
    }

    std::filesystem::path dir_;
    std::string oldWindir_;
    int synthResult_ = 0;
    std::vector<std::string> trace_;
};
