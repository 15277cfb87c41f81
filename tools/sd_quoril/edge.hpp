// The module's edge to the process: environment and signals.
#pragma once

#include <string>

namespace sd_quoril {

// Before anything else: no window and no terminal (standard input and
// output belong to speech-dispatcher), SDL audio for our own output, and a
// write to a closed pipe reported as an error instead of ending the process.
void prepareProcess();

// Points SDL audio at what speech-dispatcher's AUDIO block names: the
// PulseAudio sink, or the ALSA device. Before the output is opened.
void chooseSoundOutput(const std::string& method, const std::string& pulseDevice, const std::string& alsaDevice);

}  // namespace sd_quoril
