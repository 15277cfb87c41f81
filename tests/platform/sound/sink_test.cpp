// What reaches a real sound server: sweeps at the rates of the voices,
// played through the wave-out player and SDL audio to a PulseAudio null
// sink of the test's own and recorded from its monitor at 48000 Hz. Skips
// without PulseAudio (scripts/start-sound-server starts one).
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sound/audio.hpp"
#include "platform/system/messages.hpp"
#include "sound/qrwav.hpp"
#include "support/spectrum.hpp"
#include "support/temp_dir.hpp"
#include "support/wav_check.hpp"

namespace {

namespace fs = std::filesystem;

std::string run(const std::string& command) {
    std::string out;
    if (std::FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
        ::pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

std::uintmax_t sizeOf(const fs::path& p) {
    std::error_code ec;
    const auto n = fs::file_size(p, ec);
    return ec ? 0 : n;
}

// Waits (pumping messages) until the file holds more than `bytes`; false
// after 20 s.
bool grownPast(const fs::path& p, std::uintmax_t bytes) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (sizeOf(p) <= bytes)
        if (std::chrono::steady_clock::now() > until) return false;
        else platform::waitMessageFor(20);
    return true;
}

}  // namespace

// Images above the source's half rate lie 60 dB below the speech band at
// the sink, in nine stretches of ten; stretches where the server fell
// behind (it fills them with zeros, a step that is no image) are left out. Linear interpolation is
// measured beside it, in the same run, for comparison.
TEST(SoundAtTheSink, ImagesLieSixtyDecibelsBelowTheSpeechBand) {
    ::setenv("PULSE_RUNTIME_PATH", "/tmp/quoril-pulse", 0);
    ::setenv("PULSE_SERVER", "unix:/tmp/quoril-pulse/native", 0);
    if (std::system("command -v parec >/dev/null && command -v pactl >/dev/null") != 0) GTEST_SKIP() << "no parec/pactl";
    if (std::system((std::string(QUORIL_SOURCE_DIR) + "/scripts/start-sound-server >/dev/null 2>&1").c_str()) != 0)
        GTEST_SKIP() << "no sound server";
    const std::string sink = "quoril_images_" + std::to_string(::getpid());
    const std::string module = run("pactl load-module module-null-sink sink_name=" + sink + " rate=48000 2>/dev/null");
    if (module.empty()) GTEST_SKIP() << "no null sink";
    struct Unload {
        std::string module;
        ~Unload() { run("pactl unload-module " + module); }
    } unload{module};
    ::setenv("PULSE_SINK", sink.c_str(), 1);
    ::setenv("QUORIL_CONSOLE", "headless", 0);
    ::setenv("QUORIL_AUDIO", "sdl", 1);
    ::setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    // A server on a busy machine falls behind a short buffer and fills the
    // gap with zeros; a longer one spares the measure most of them.
    ::setenv("PULSE_LATENCY_MSEC", "60", 0);
    const support::TempDir dir;
    const fs::path raw = dir.path() / "rec.raw";

    struct Case {
        int rate, bits;
        const char* kernel;
        double atMost;
    };
    const Case cases[] = {
        {11025, 8, "sinc", -60},  {11025, 8, "linear", 0},  {16000, 16, "sinc", -60},
        {16000, 16, "linear", 0}, {22050, 16, "sinc", -60}, {22050, 16, "linear", 0},
    };
    if (!platform::audio::available()) GTEST_SKIP() << "SDL audio did not reach the sound server";
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + c.kernel);
        ::setenv("QUORIL_RESAMPLER", c.kernel, 1);
        const std::vector<double> sweep = support::sweep(c.rate, 2, 100, 0.43 * c.rate);
        std::vector<std::uint8_t> pcm;
        for (double v : sweep) {
            if (c.bits == 8) {
                pcm.push_back(static_cast<std::uint8_t>(128 + std::lround(127 * v)));
            } else {
                const auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(32767 * v)));
                pcm.insert(pcm.end(), {static_cast<std::uint8_t>(s), static_cast<std::uint8_t>(s >> 8)});
            }
        }
        const std::string pidFile = (dir.path() / "parec.pid").string();
        std::system(("parec -d " + sink + ".monitor --raw --format=s16le --rate=48000 --channels=1 > " +
                     raw.string() + " 2>/dev/null & echo $! > " + pidFile).c_str());
        ASSERT_TRUE(grownPast(raw, 0)) << "the recorder records nothing";
        qrwav::resetForTests();
        ASSERT_EQ(qrwav::playWaveData(pcm.data(), pcm.size(), c.rate, 1, c.bits), 0);
        while (qrwav::waveStillPlaying()) platform::waitMessageFor(20);
        EXPECT_TRUE(grownPast(raw, sizeOf(raw) + 48000));  // the tail is in
        const std::string pid = run("cat " + pidFile);
        if (!pid.empty()) ::kill(std::stoi(pid), SIGTERM);
        const std::vector<std::uint8_t> bytes = support::fileBytes(raw);
        std::vector<double> x;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            x.push_back(static_cast<std::int16_t>(support::le(bytes, i, 2)) / 32768.0);
        // The stretch that sounds.
        std::size_t first = 0, last = x.size();
        while (first < x.size() && std::abs(x[first]) < 0.01) ++first;
        while (last > first && std::abs(x[last - 1]) < 0.01) --last;
        const std::vector<double> sounding(x.begin() + static_cast<long>(first), x.begin() + static_cast<long>(last));
        const support::BandLevel level = support::levelAbove(sounding, 48000, c.rate / 2.0, true, 2048);
        std::printf("at the sink, %d Hz %s: images %.1f dB in all, %.1f dB or less in 90%% of the %zu stretches "
                    "without a dropout (of %zu)\n",
                    c.rate, c.kernel, level.db, level.percentile(0.9), level.windows, sounding.size() / 1024);
        if (level.windows < 10) {
            std::printf("too few stretches without a dropout to judge\n");
            continue;
        }
        // A server that falls behind may also skip or replay a few
        // milliseconds without zeros; images from the resampler would be
        // in every stretch.
        EXPECT_LE(level.percentile(0.9), c.atMost);
    }
    ::unsetenv("QUORIL_RESAMPLER");
    qrwav::resetForTests();
}
