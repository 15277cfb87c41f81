// Processor time of playing 11025 Hz 8-bit mono sound through SDL audio, as a
// fraction of one core (all threads of the process: the player, the pumps
// and the audio callback with its resampling).
//   bench_wave_cpu [SECONDS]   (default 60)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.hpp"
#include "sound/qrwav.hpp"

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    if (!bench::headlessWithSound("bench_wave_cpu")) return 1;
    const std::uint32_t n = 11025u * static_cast<std::uint32_t>(seconds);
    std::vector<std::uint8_t> samples;
    for (std::uint32_t i = 0; i < n; ++i)
        samples.push_back(static_cast<std::uint8_t>(128 + std::lround(60 * std::sin(i * 0.25))));
    const std::string name = bench::writeWave8File("quoril_bench_cpu.bin", samples);

    std::clock_t c0 = std::clock();
    auto w0 = std::chrono::steady_clock::now();
    int r = qrwav::playWaveFile(name);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
    double cpu = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
    std::filesystem::remove(name);
    if (r != 0) {
        std::fprintf(stderr, "bench_wave_cpu: play failed (%d)\n", r);
        return 1;
    }
    std::printf("played %d s of 11025 Hz 8-bit mono in %.2f s wall, %.3f s processor: %.2f%% of one core\n",
                seconds, wall, cpu, 100.0 * cpu / wall);
    return 0;
}
