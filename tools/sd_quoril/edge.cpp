#include "edge.hpp"

#include <csignal>
#include <cstdlib>

namespace sd_quoril {

void prepareProcess() {
    ::setenv("QUORIL_CONSOLE", "headless", 1);
    if (!std::getenv("QUORIL_AUDIO")) ::setenv("QUORIL_AUDIO", "sdl", 1);
    std::signal(SIGPIPE, SIG_IGN);
}

void chooseSoundOutput(const std::string& method, const std::string& pulseDevice, const std::string& alsaDevice) {
    if (method == "pulse") {
        ::setenv("SDL_AUDIODRIVER", "pulseaudio", 0);
        if (!pulseDevice.empty() && pulseDevice != "default") ::setenv("PULSE_SINK", pulseDevice.c_str(), 1);
    } else if (method == "alsa") {
        ::setenv("SDL_AUDIODRIVER", "alsa", 0);
        if (!alsaDevice.empty()) ::setenv("AUDIODEV", alsaDevice.c_str(), 1);
    }
}

}  // namespace sd_quoril
