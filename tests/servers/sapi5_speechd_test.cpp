// The standard runtime against a real speech-dispatcher. These run only
// from tests/scripts/speechd_real.sh, which starts its own speech-dispatcher
// on the PulseAudio null sink and names it in SPEECHD_ADDRESS.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "console/qrcrt.hpp"
#include "platform/window/window.hpp"
#include "servers/dispatch.hpp"
#include "servers/sapi5.hpp"
#include "support/fresh_system.hpp"

namespace {

using Clock = std::chrono::steady_clock;

class SpeechdReal : public testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("QUORIL_SPEECHD_REAL")) GTEST_SKIP() << "run by speechd_real.sh";
        support::freshSystem(support::Sound::untouched);
        servers::registerSapi5Servers();
    }
    void TearDown() override { support::closeSystem(); }
    // Polls busy as the console does until it answers `want`, at most `limit` ms;
    // answers the time it took, or -1.
    static long waitBusy(bool want, long limit) {
        const auto t0 = Clock::now();
        for (;;) {
            const long ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
            if (servers::serverBusy(0) == want) return ms;
            if (ms > limit) return -1;
        }
    }
};

TEST_F(SpeechdReal, UtteranceEnds) {
    ASSERT_TRUE(servers::serverStart(1, 0, 0, 5, ""));
    EXPECT_FALSE(servers::serverBusy(1)) << "idle right after start";
    servers::serverSpeak("Bom dia. Este \xE9 um teste da voz configurada.");
    EXPECT_GE(waitBusy(true, 100), 0) << "busy as soon as the text is handed over";
    const long spoke = waitBusy(false, 20000);
    EXPECT_GE(spoke, 0) << "the utterance never ended";
    EXPECT_GT(spoke, 300) << "ended before it could have been heard";
    std::printf("speechd_real: utterance ended after %ld ms\n", spoke);
    servers::serverSpeak("");  // a space only: nothing to hear, and no wait
    EXPECT_GE(waitBusy(false, 2000), 0);
    servers::serverEnd();
}

TEST_F(SpeechdReal, StopEndsItEarly) {
    ASSERT_TRUE(servers::serverStart(2, 3, 0, 5, ""));
    std::string text;
    for (int i = 0; i < 12; ++i) text += "Esta frase longa continua por muito tempo, sem pressa nenhuma. ";
    servers::serverSpeak(text);
    ASSERT_GE(waitBusy(true, 100), 0);
    qrcrt::pauseFor(700);
    ASSERT_TRUE(servers::serverBusy(0)) << "still speaking";
    const auto t0 = Clock::now();
    servers::serverStop();
    const long ended = waitBusy(false, 3000);
    EXPECT_GE(ended, 0) << "a stop must end the utterance";
    const long total = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    std::printf("speechd_real: stopped, idle %ld ms after the stop\n", total);
    EXPECT_LT(total, 3000);
    const auto e0 = Clock::now();
    servers::serverEnd();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - e0).count(), 1000);
}

TEST_F(SpeechdReal, FileOutputRefused) {
    EXPECT_FALSE(servers::serverStart(1, 0, 0, 5, "/tmp/quoril-never.wav"));
}

}  // namespace
