// Time from playWaveFile of a short file to the moment the audio callback
// hands the file's first sample to the SDL output, over many plays.
//   bench_wave_latency [PLAYS]   (default 200)
// Plays through SDL audio (QUORIL_AUDIO=sdl; SDL_AUDIODRIVER chooses the
// driver). Prints the output's rate and buffer size, the median and the
// 95th percentile.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.hpp"
#include "platform/sound/waveout.hpp"
#include "sound/qrwav.hpp"

namespace {

std::uint64_t nowNanos() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

std::string writeShortFile() {
    // 50 ms of 11025 Hz 8-bit mono.
    const std::uint32_t n = 551;
    std::vector<std::uint8_t> samples;
    for (std::uint32_t i = 0; i < n; ++i) samples.push_back(static_cast<std::uint8_t>(i % 25 < 12 ? 100 : 156));
    return bench::writeWave8File("quoril_bench_latency.bin", samples);
}

}  // namespace

int main(int argc, char** argv) {
    int plays = argc > 1 ? std::atoi(argv[1]) : 200;
    if (!bench::headlessWithSound("bench_wave_latency")) return 1;
    std::string file = writeShortFile();
    qrwav::playWaveFile(file);  // warm-up
    std::vector<double> ms;
    for (int i = 0; i < plays; ++i) {
        std::uint64_t before = nowNanos();
        int r = qrwav::playWaveFile(file);
        std::uint64_t started = platform::waveout::lastBlockStartNanos();
        if (r != 0 || started < before) {
            std::fprintf(stderr, "bench_wave_latency: play %d failed (%d)\n", i, r);
            return 1;
        }
        ms.push_back((started - before) / 1e6);
    }
    std::filesystem::remove(file);
    std::sort(ms.begin(), ms.end());
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    std::printf("driver %s, output %d Hz, buffer %d frames (%.2f ms)\n", driver ? driver : "(default)",
                platform::waveout::outputRate(), platform::waveout::outputBufferFrames(),
                1000.0 * platform::waveout::outputBufferFrames() / platform::waveout::outputRate());
    std::printf("playWaveFile to first sample, %d plays: median %.2f ms, p95 %.2f ms, max %.2f ms\n", plays,
                ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back());
    return 0;
}
