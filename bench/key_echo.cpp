// Key echo latency: from a typed character entering the key queue (its
// character message reaching the console window) to its recording reaching
// the sound device, over 500 keys typed into the line editor. Prints the
// median and the 95th percentile in milliseconds.
//   bench_key_echo            to the test device: the block is written
//   bench_key_echo --sound    to the SDL output (QUORIL_AUDIO=sdl; PULSE_SINK
//                             and SDL_AUDIODRIVER choose where): the first
//                             sample goes out, the resampler's delay
//                             included. Keys alternate between the
//                             band-limited resampler and linear
//                             interpolation, so both are measured in one run
//                             under the same load; each key comes 20 ms
//                             after the last one was heard and cuts its echo,
//                             as a quick typist does.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.hpp"
#include "console/qrcrt.hpp"
#include "platform/system/messages.hpp"
#include "platform/sound/waveout.hpp"
#include "platform/window/window.hpp"
#include "speaking/lineinput.hpp"
#include "speaking/sounds.hpp"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kKeys = 500;

std::uint64_t nanos(Clock::time_point t) {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count());
}

void report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    if (ms.empty()) return;
    std::printf("%s over %zu keys: median %.3f ms, 95th percentile %.3f ms, slowest %.3f ms\n", what, ms.size(),
                ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back());
}

}  // namespace

int main(int argc, char** argv) {
    const bool sound = argc > 1 && std::strcmp(argv[1], "--sound") == 0;
    if (sound) {
        ::setenv("QUORIL_CONSOLE", "headless", 0);
        platform::headless::reset();
        if (!bench::headlessWithSound("bench_key_echo")) return 1;
    } else {
        bench::headlessWithTestDevice();
    }

    // A recording of 0.1 s for each letter: a 440 Hz tone.
    const auto dir = std::filesystem::temp_directory_path() / "quoril_key_echo";
    std::filesystem::create_directories(dir);
    for (int c = 'a'; c <= 'z'; ++c) {
        std::vector<std::uint8_t> image(44 + 1102);
        for (std::size_t i = 0; i < 1102; ++i)
            image[44 + i] = static_cast<std::uint8_t>(128 + std::lround(90 * std::sin(2 * M_PI * 440 * i / 11025.0)));
        speaking::writeWaveHeader(image.data(), 1102, 11025, 1, 8);
        std::ofstream(dir / ("_" + std::to_string(c) + ".wav"), std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    }
    speaking::setSynthLettersDirectory(dir.string());
    speaking::setLettersDirectory(dir.string());

    // Key number n: the time its character reached the window.
    std::vector<std::atomic<std::uint64_t>> queued(kKeys + 1);
    std::atomic<int> seen{0};
    qrcrt::setMessageHook([&](const platform::Msg& msg) {
        if (msg.message == platform::WM_CHAR && msg.wParam >= 'a' && msg.wParam <= 'z') {
            const int n = seen.load();
            // The echo of an even key goes through the band-limited
            // resampler, that of an odd one through linear interpolation.
            if (sound) ::setenv("QUORIL_RESAMPLER", n % 2 ? "linear" : "sinc", 1);
            if (n <= kKeys) queued[static_cast<std::size_t>(n)].store(nanos(Clock::now()));
            seen.store(n + 1);
        }
        return false;
    });

    std::vector<double> ms, linear;
    std::string text;
    if (!sound) {
        Clock::time_point at;
        bool pending = false;
        qrcrt::setMessageHook([&](const platform::Msg& msg) {
            if (msg.message == platform::WM_CHAR && msg.wParam >= 'a' && msg.wParam <= 'z') {
                at = Clock::now();
                pending = true;
            }
            return false;
        });
        platform::waveout::test::setWriteHook([&](std::size_t) {
            if (!pending) return;
            pending = false;
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - at).count());
        });
        platform::headless::setKeysWhenWaiting(true);
        std::string typed;
        for (int i = 0; i < kKeys; ++i) typed += static_cast<char>('a' + i % 26);
        platform::headless::typeText(typed + "\r");
        speaking::editLineSpoken(text, 1, 1, true, 78, kKeys + 10);
    } else {
        // The typist: one key, then a wait until its echo went out. The
        // first key is not counted: a null sink that had no stream to play
        // may take up to 2 s to start the first.
        std::atomic<bool> lost{false};
        std::thread typist([&] {
            for (int i = 0; i <= kKeys; ++i) {
                platform::headless::typeText(std::string(1, static_cast<char>('a' + i % 26)));
                const auto until = Clock::now() + std::chrono::seconds(5);
                auto& q = queued[static_cast<std::size_t>(i)];
                while (Clock::now() < until &&
                       (q.load() == 0 || platform::waveout::lastBlockStartNanos() < q.load()))
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                if (Clock::now() >= until) lost = true;
                const std::uint64_t heard = platform::waveout::lastBlockStartNanos();
                const double d = (static_cast<double>(heard) - static_cast<double>(q.load())) / 1e6;
                if (i > 0) (i % 2 ? linear : ms).push_back(d);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            platform::headless::typeText("\r");
        });
        speaking::editLineSpoken(text, 1, 1, true, 78, kKeys + 10);
        typist.join();
        if (lost) std::fprintf(stderr, "bench_key_echo: some echo was not heard within 5 s\n");
    }

    std::filesystem::remove_all(dir);
    if (ms.size() + linear.size() != static_cast<std::size_t>(kKeys)) {
        std::fprintf(stderr, "heard %zu of %d keys\n", ms.size() + linear.size(), kKeys);
        return 1;
    }
    if (!sound) {
        report("key echo latency", ms);
        return 0;
    }
    std::printf("output %d Hz, buffer %d frames (%.2f ms)\n", platform::waveout::outputRate(),
                platform::waveout::outputBufferFrames(),
                1000.0 * platform::waveout::outputBufferFrames() / platform::waveout::outputRate());
    report("key echo to first sample, band-limited resampler", ms);
    report("key echo to first sample, linear interpolation  ", linear);
    std::sort(ms.begin(), ms.end());
    std::sort(linear.begin(), linear.end());
    std::printf("added by the band-limited resampler: %.3f ms at the median\n",
                ms[ms.size() / 2] - linear[linear.size() / 2]);
    return 0;
}
