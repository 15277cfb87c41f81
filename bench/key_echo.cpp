// Key echo latency: from a typed character entering the key queue (its
// character message reaching the console window) to the first sample of its
// recording reaching the sound device (the test device, on the headless
// console), over 500 keys typed into the line editor. Prints the median and
// the 95th percentile in milliseconds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
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

}  // namespace

int main() {
    bench::headlessWithTestDevice();

    // A recording of 0.1 s for each letter.
    const auto dir = std::filesystem::temp_directory_path() / "quoril_key_echo";
    std::filesystem::create_directories(dir);
    for (int c = 'a'; c <= 'z'; ++c) {
        std::vector<std::uint8_t> image(44 + 1102, 100);
        speaking::writeWaveHeader(image.data(), 1102, 11025, 1, 8);
        std::ofstream(dir / ("_" + std::to_string(c) + ".wav"), std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    }
    speaking::setSynthLettersDirectory(dir.string());
    speaking::setLettersDirectory(dir.string());

    std::vector<double> ms;
    Clock::time_point queued;
    bool pending = false;
    qrcrt::setMessageHook([&](const platform::Msg& msg) {
        if (msg.message == platform::WM_CHAR && msg.wParam >= 'a' && msg.wParam <= 'z') {
            queued = Clock::now();
            pending = true;
        }
        return false;
    });
    platform::waveout::test::setWriteHook([&](std::size_t) {
        if (!pending) return;
        pending = false;
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - queued).count());
    });

    platform::headless::setKeysWhenWaiting(true);
    std::string typed;
    for (int i = 0; i < kKeys; ++i) typed += static_cast<char>('a' + i % 26);
    platform::headless::typeText(typed + "\r");
    std::string text;
    speaking::editLineSpoken(text, 1, 1, true, 78, kKeys + 10);

    std::filesystem::remove_all(dir);
    if (ms.size() != static_cast<std::size_t>(kKeys)) {
        std::fprintf(stderr, "heard %zu of %d keys\n", ms.size(), kKeys);
        return 1;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("key echo latency over %d keys: median %.3f ms, 95th percentile %.3f ms, slowest %.3f ms\n",
                kKeys, ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back());
    return 0;
}
