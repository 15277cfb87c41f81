// Latency of speech: from writeLineSpoken of a ten-word Portuguese line to
// the first sample of it reaching the sound device (the test device, on
// the headless console). Prints the median, the 10th and 90th percentiles
// and the slowest of 100 runs, in milliseconds.
//
// The real diphone synthesizer is used when QUORIL.INI (QUORIL_WINDIR)
// names a database it can start; otherwise every run of words is heard as
// one short image made in memory, which times the console's own path (the
// screen, the cutting into pieces, the player) without the synthesizer.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_support.hpp"
#include "platform/system/messages.hpp"
#include "platform/sound/waveout.hpp"
#include "platform/window/window.hpp"
#include "speaking/output.hpp"
#include "speaking/settings.hpp"
#include "speaking/sounds.hpp"
#include "synth/qrtradut.hpp"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 100;
const char* const kLine = "O rapaz comprou laranjas frescas na feira da cidade hoje";

}  // namespace

int main() {
    bench::headlessWithTestDevice();

    const std::string base = speaking::settingsValue("SINTETIZADOR", "DIFONES3");
    if (!base.empty()) qrtradut::setDatabaseName(base);
    const int started = qrtradut::synthStart();
    const bool real = started == 0;
    if (!real) std::printf("diphone synthesizer did not start (%d)\n", started);
    qrtradut::synthStop();
    if (!real) {
        speaking::setSynthesizerForTests([] { return 0; }, [](const std::string&) {
            static std::vector<std::uint8_t> image = [] {
                std::vector<std::uint8_t> i(44 + 2205, 128);
                speaking::writeWaveHeader(i.data(), 2205, 11025, 1, 8);
                return i;
            }();
            speaking::playImageAndWait(image.data());
        });
    }
    speaking::startSpeech(0, "");

    Clock::time_point start, first;
    bool seen = false;
    const auto hook = [&](std::size_t) {
        if (!seen) {
            first = Clock::now();
            seen = true;
        }
    };
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        seen = false;
        platform::waveout::test::setWriteHook(hook);
        start = Clock::now();
        speaking::writeLineSpoken(kLine);
        speaking::waitWhileSpeaking();
        if (seen) ms.push_back(std::chrono::duration<double, std::milli>(first - start).count());
        platform::headless::clearDrawCalls();
        platform::waveout::test::reset();
        platform::waveout::test::setAutoFinish(true);
    }
    speaking::endSpeech();
    if (ms.empty()) {
        std::printf("speak_latency: nothing reached the device\n");
        return 1;
    }
    std::sort(ms.begin(), ms.end());
    const auto pct = [&](double p) { return ms[static_cast<std::size_t>(p * static_cast<double>(ms.size() - 1))]; };
    std::printf("writeLineSpoken to first sample (%s, %zu runs): median %.3f ms, p10 %.3f, p90 %.3f, max %.3f\n",
                real ? "diphone synthesizer" : "stand-in for the synthesizer", ms.size(), pct(0.5), pct(0.1),
                pct(0.9), ms.back());
    return 0;
}
