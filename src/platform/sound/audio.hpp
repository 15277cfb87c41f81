// The process's one sound output. Behind it SDL2 audio (PipeWire, PulseAudio
// or ALSA); the wave-out device's blocks, the looping in-memory sound and the
// message beep are mixed into it. With no usable sound device everything
// here is silent and nothing fails.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::audio {

// A short beep (the default message beep of the SDL and terminal windows).
void beep();
// The image given to playSoundLoop and still looping, empty when none (for
// tests and diagnostics).
std::vector<std::uint8_t> loopImage();
// Whether a real output device could be opened.
bool available();
// Why no output device could be opened, in English as the sound system
// said it; empty when it is open or when none was asked for (QUORIL_AUDIO
// none or test, or the headless window).
std::string unavailableReason();

}  // namespace platform::audio
