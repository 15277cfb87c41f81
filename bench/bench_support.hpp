// What the benchmarks share: WAV files made on the spot, and the headless
// console with the real or the test sound device.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/sound/audio.hpp"
#include "platform/sound/waveout.hpp"
#include "platform/window/window.hpp"

namespace bench {

// Writes samples as an 11025 Hz 8-bit mono WAV file of the given name in
// the temporary directory; answers its path.
inline std::string writeWave8File(const std::string& fileName, const std::vector<std::uint8_t>& samples) {
    const auto n = static_cast<std::uint32_t>(samples.size());
    std::vector<std::uint8_t> b = {'R', 'I', 'F', 'F'};
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    put32(36 + n);
    for (char c : std::string("WAVEfmt ")) b.push_back(static_cast<std::uint8_t>(c));
    put32(16);
    b.insert(b.end(), {1, 0, 1, 0});
    put32(11025);
    put32(11025);
    b.insert(b.end(), {1, 0, 8, 0, 'd', 'a', 't', 'a'});
    put32(n);
    b.insert(b.end(), samples.begin(), samples.end());
    const std::string name = (std::filesystem::temp_directory_path() / fileName).string();
    std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    return name;
}

// The headless console playing through SDL audio (unless QUORIL_AUDIO says
// otherwise); false, said on standard error, when there is no sound output.
inline bool headlessWithSound(const char* program) {
    ::setenv("QUORIL_CONSOLE", "headless", 0);
    ::setenv("QUORIL_AUDIO", "sdl", 0);
    if (platform::audio::available()) return true;
    std::fprintf(stderr, "%s: no sound output\n", program);
    return false;
}

// The headless console, its blocks going to the test device, which finishes
// each one as soon as it is written.
inline void headlessWithTestDevice() {
    ::setenv("QUORIL_CONSOLE", "headless", 0);
    platform::waveout::useTestDevice(true);
    platform::waveout::test::reset();
    platform::waveout::test::setAutoFinish(true);
    platform::headless::reset();
}

}  // namespace bench
