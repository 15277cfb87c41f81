// Every module as at process start, so each test begins from nothing: the
// console on the headless backend, and the blocks played caught by the test
// wave-out device.
#pragma once

#include <cstdlib>

#include "console/qrcrt.hpp"
#include "platform/speech/com.hpp"
#include "platform/system/messages.hpp"
#include "platform/system/system.hpp"
#include "platform/sound/waveout.hpp"
#include "platform/window/window.hpp"
#include "review/review.hpp"
#include "servers/dispatch.hpp"
#include "servers/sapi4.hpp"
#include "servers/sapi5.hpp"
#include "sound/qrwav.hpp"
#include "speaking/lineinput.hpp"
#include "speaking/output.hpp"
#include "speaking/settings.hpp"
#include "speaking/sounds.hpp"
#include "synth/qrtradut.hpp"
#include "synth/regras.hpp"

namespace support {

enum class Sound {
    untouched,   // the wave-out device is left as it was chosen
    testDevice,  // blocks stay queued until the test finishes them
    autoFinish,  // every block is done as soon as it is written
};

// Resets the modules from the top down: each one lets go of what it holds
// in the modules below it (devices, voices, windows) before those are reset.
inline void resetModules() {
    review::resetForTests();
    speaking::resetLineInputForTests();
    speaking::resetOutputForTests();
    speaking::resetSoundsForTests();
    speaking::resetSettingsForTests();
    servers::sapi5::resetForTests();
    servers::sapi4::resetForTests();
    servers::resetForTests();
    platform::com::resetForTests();
    qrtradut::resetForTests();
    regras::resetForTests();
    qrwav::resetForTests();
    platform::waveout::test::reset();
    qrcrt::resetForTests();
    platform::headless::reset();
    platform::clearMessages();
    platform::setExitHandler({});
}

// For a fixture's SetUp.
inline void freshSystem(Sound sound = Sound::autoFinish) {
    ::setenv("QUORIL_CONSOLE", "headless", 0);
    resetModules();
    if (sound == Sound::untouched) return;
    platform::waveout::useTestDevice(true);
    if (sound == Sound::autoFinish) platform::waveout::test::setAutoFinish(true);
}

// For a fixture's TearDown: nothing left running, and the real device
// chosen again for whatever runs next.
inline void closeSystem() {
    resetModules();
    platform::waveout::useTestDevice(false);
}

}  // namespace support
