// The SAPI 4 server on the real espeak-ng engine: busy until the sound has
// been played, a stop in the middle, speech into a WAV file, and a start
// that fails half way (the sanitizers check that it holds nothing).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/speech/sapi4.hpp"
#include "servers/sapi4.hpp"
#include "support/fresh_system.hpp"
#include "support/temp_dir.hpp"
#include "support/wav_check.hpp"

namespace {

namespace com = platform::com;
namespace tw = platform::waveout::test;
namespace fs = std::filesystem;

using support::le;

// Pumps until the condition holds; false after a generous limit.
template <class Condition>
bool pumpUntil(Condition condition) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        qrcrt::pauseFor(2);
    }
    return true;
}

class Sapi4Espeak : public testing::Test {
protected:
    void SetUp() override {
        support::freshSystem(support::Sound::testDevice);
        com::coInitialize();
        servers::registerServer(servers::ServerKind::sapi4, servers::sapi4::ops());
    }
    void TearDown() override { support::closeSystem(); }
    support::TempDir tmp{"quoril_sapi4"};
};

TEST_F(Sapi4Espeak, BusyUntilTheSoundHasPlayed) {
    ASSERT_TRUE(servers::serverStart(1, 0, 0, 4, ""));
    servers::serverSpeak("Bom dia.");
    EXPECT_TRUE(servers::serverBusy(0)) << "busy from the first pump on";
    // The text is synthesized, its blocks wait at the device: still busy.
    ASSERT_TRUE(pumpUntil([] { return servers::sapi4::pendingBuffers() == 0; }));
    EXPECT_GT(tw::pending(), 0u);
    EXPECT_TRUE(servers::serverBusy(0));
    EXPECT_FALSE(servers::serverBusy(1));
    ASSERT_EQ(tw::openedFormats().size(), 1u);
    EXPECT_EQ(tw::openedFormats()[0], (tw::Format{22050, 16, 1}));
    // Played: idle, and the device is given back.
    tw::finishBlocks();
    ASSERT_TRUE(pumpUntil([] { return !servers::serverBusy(0); }));
    EXPECT_TRUE(pumpUntil([] { return tw::closes() == 1; }));
    servers::serverEnd();
}

TEST_F(Sapi4Espeak, StopInTheMiddleIdlesAtOnce) {
    ASSERT_TRUE(servers::serverStart(1, 0, 0, 4, ""));
    std::string text;
    for (int i = 0; i < 40; ++i) text += "Esta frase longa continua por muito tempo. ";
    servers::serverSpeak(text);
    ASSERT_TRUE(pumpUntil([] { return tw::pending() > 0 && servers::sapi4::audioActive(); }));
    servers::serverStop();
    EXPECT_FALSE(servers::serverBusy(0));
    EXPECT_TRUE(pumpUntil([] { return tw::resets() >= 1 && tw::pending() == 0; })) << "the device is emptied";
    // What the cut texts still owed has been taken in: the server stays idle.
    qrcrt::pauseFor(20);
    EXPECT_FALSE(servers::serverBusy(0));
    // And it speaks again afterwards.
    tw::setAutoFinish(true);
    servers::serverSpeak("Outra.");
    EXPECT_TRUE(servers::serverBusy(0));
    EXPECT_TRUE(pumpUntil([] { return !servers::serverBusy(0); }));
    servers::serverEnd();
}

TEST_F(Sapi4Espeak, FileDestinationHoldsSpeech) {
    const fs::path wav = tmp.path() / "fala.wav";
    ASSERT_TRUE(servers::serverStart(1, 0, 0, 4, wav.string()));
    servers::serverSpeak("Bom dia. Esta \xE9 a voz do SAPI quatro.");
    ASSERT_TRUE(pumpUntil([] { return !servers::serverBusy(0); }));
    servers::serverEnd();
    EXPECT_EQ(tw::openAttempts(), 0) << "nothing went to the sound device";

    const std::vector<std::uint8_t> b = support::fileBytes(wav);
    ASSERT_GE(b.size(), 44u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le(b, 4, 4), b.size() - 8);
    EXPECT_EQ(le(b, 20, 2), 1u);
    EXPECT_EQ(le(b, 22, 2), 1u);
    EXPECT_EQ(le(b, 24, 4), 22050u);
    EXPECT_EQ(le(b, 34, 2), 16u);
    EXPECT_EQ(le(b, 40, 4), b.size() - 44);
    support::expectSpeech16(b, 22050);
}

TEST_F(Sapi4Espeak, FailedStartsHoldNothing) {
    // No mode for a voice below 1; a file that cannot be created.
    EXPECT_FALSE(servers::serverStart(-1, 0, 0, 4, ""));
    EXPECT_FALSE(servers::serverStart(1, 0, 0, 4, (tmp.path() / "no" / "such" / "fala.wav").string()));
    servers::serverSpeak("nada");
    EXPECT_FALSE(servers::serverBusy(0));
    EXPECT_EQ(tw::openAttempts(), 0);
}

}  // namespace
