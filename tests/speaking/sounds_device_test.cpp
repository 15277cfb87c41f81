// The click and the warning tone on the real sound output (SDL audio, which
// reaches PulseAudio or PipeWire). Skipped where no sound device opens.
#include <cstdlib>

#include <gtest/gtest.h>

#include "console/qrcrt.hpp"
#include "platform/sound/audio.hpp"
#include "platform/system/messages.hpp"
#include "platform/sound/waveout.hpp"
#include "platform/window/window.hpp"
#include "sound/qrwav.hpp"
#include "speaking/sounds.hpp"

namespace {

TEST(SoundsOnTheDevice, ClickAndWarningReachTheOutput) {
    ::setenv("QUORIL_CONSOLE", "headless", 0);
    ::setenv("QUORIL_AUDIO", "sdl", 1);
    // The sound server the CI starts (scripts/start-sound-server).
    ::setenv("PULSE_RUNTIME_PATH", "/tmp/quoril-pulse", 0);
    platform::waveout::useTestDevice(false);
    platform::headless::reset();
    qrcrt::resetForTests();
    qrwav::resetForTests();
    speaking::resetSoundsForTests();

    speaking::beepShort();
    if (!platform::audio::available()) {
        qrwav::resetForTests();
        ::unsetenv("QUORIL_AUDIO");
        GTEST_SKIP() << "no sound device";
    }
    const std::uint64_t click = platform::waveout::lastBlockStartNanos();
    EXPECT_NE(click, 0u) << "the click reached the output";
    EXPECT_FALSE(qrwav::deviceOpen() && qrwav::queuedBlocks() > 0) << "and was played to its end";

    speaking::beepError();
    EXPECT_GT(platform::waveout::lastBlockStartNanos(), click) << "the warning tone reached the output";
    EXPECT_EQ(qrwav::queuedBlocks(), 0);

    qrwav::resetForTests();
    qrcrt::resetForTests();
    ::unsetenv("QUORIL_AUDIO");
}

}  // namespace
