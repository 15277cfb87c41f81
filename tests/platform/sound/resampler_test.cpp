// The resampler between the sound sources and the output: no images above
// a slow source's half rate, no aliases from a fast one, and a cut that
// fades instead of stepping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sound/resampler.hpp"
#include "support/spectrum.hpp"
#include "support/wav_check.hpp"

using platform::audio::detail::Kernel;
using platform::audio::detail::Resampler;
using platform::audio::detail::Source;

namespace {

// The whole of a mono source at the output rate, pulled 256 frames at a
// time as the audio callback does, until the filter has rung out.
std::vector<double> resample(const std::vector<double>& in, int inRate, int outRate, Kernel kernel) {
    Resampler r;
    r.setRates(inRate, outRate, 1, kernel);
    std::vector<double> out;
    std::vector<float> buffer(512);
    std::size_t pos = 0;
    do {
        std::fill(buffer.begin(), buffer.end(), 0.0f);
        r.mix(buffer.data(), 256, [&](float& l, float& rr) {
            if (pos == in.size()) return false;
            l = rr = static_cast<float>(in[pos++]);
            return true;
        });
        for (int i = 0; i < 256; ++i) out.push_back(buffer[2 * static_cast<std::size_t>(i)]);
    } while (!(pos == in.size() && r.idle()));
    return out;
}

// The samples of a WAV file (8 or 16 bits, mono) in -1..1; empty if unreadable.
std::vector<double> wavSamples(const std::vector<std::uint8_t>& b) {
    std::vector<double> x;
    if (b.size() < 44 || support::le(b, 22, 2) != 1) return x;
    const auto bits = support::le(b, 34, 2);
    for (std::size_t i = 44; i + (bits / 8) <= b.size(); i += bits / 8)
        x.push_back(bits == 8 ? (b[i] - 128) / 128.0 : static_cast<std::int16_t>(support::le(b, i, 2)) / 32768.0);
    return x;
}

// Speech at 11025 Hz: the console's recordings of the first letters, one
// after the other.
std::vector<double> recordedSpeech() {
    const auto dir = std::filesystem::path(QUORIL_BUILD_DIR) / "share" / "quoril" / "som" / "letras";
    std::vector<double> x;
    for (int c = 'a'; c <= 'z'; ++c) {
        const auto s = wavSamples(support::fileBytes(dir / ("_" + std::to_string(c) + ".wav")));
        x.insert(x.end(), s.begin(), s.end());
    }
    return x;
}

// Speech at 22050 Hz from espeak-ng's own program; empty without it.
std::vector<double> espeakSpeech() {
    std::FILE* p = ::popen("espeak-ng -v pt-br --stdout 'O gato subiu no telhado e dormiu ao sol da tarde' 2>/dev/null", "r");
    if (!p) return {};
    std::vector<std::uint8_t> wav;
    std::uint8_t buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) wav.insert(wav.end(), buffer, buffer + n);
    ::pclose(p);
    if (wav.size() < 44 || support::le(wav, 24, 4) != 22050) return {};
    return wavSamples(wav);
}

}  // namespace

// Energy above the source's half rate against the speech band, at 48000 Hz:
// the band-limited resampler leaves it more than 60 dB down; the measure
// itself sees what linear interpolation leaves.
TEST(Resampler, ImagesLieSixtyDecibelsBelowTheSpeechBand) {
    struct Case {
        const char* what;
        int rate;
        std::vector<double> source;
        Kernel kernel;
        double atLeast, atMost;
    };
    const Case cases[] = {
        {"sweep", 11025, support::sweep(11025, 2, 100, 0.43 * 11025), Kernel::sinc, -200, -60},
        {"sweep", 16000, support::sweep(16000, 2, 100, 0.43 * 16000), Kernel::sinc, -200, -60},
        {"sweep", 22050, support::sweep(22050, 2, 100, 0.43 * 22050), Kernel::sinc, -200, -60},
        {"recorded letters", 11025, recordedSpeech(), Kernel::sinc, -200, -60},
        {"espeak-ng", 22050, espeakSpeech(), Kernel::sinc, -200, -60},
        {"sweep, linear", 11025, support::sweep(11025, 2, 100, 0.43 * 11025), Kernel::linear, -40, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what) + " at " + std::to_string(c.rate));
        if (c.source.size() < static_cast<std::size_t>(c.rate / 2)) {
            std::printf("skipped: no %s\n", c.what);
            continue;
        }
        const support::BandLevel level = support::levelAbove(resample(c.source, c.rate, 48000, c.kernel), 48000, c.rate / 2.0);
        std::printf("%s at %d Hz: images %.1f dB\n", c.what, c.rate, level.db);
        EXPECT_GE(level.db, c.atLeast);
        EXPECT_LE(level.db, c.atMost);
    }
}

// A tone above the output's half rate is gone, not folded into the band.
TEST(Resampler, FastSourcesLeaveNoAliases) {
    struct Case {
        int rate, outRate;
        double hz;
    };
    const Case cases[] = {{96000, 48000, 30000}, {192000, 48000, 60000}, {48000, 44100, 23000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " to " + std::to_string(c.outRate));
        // One second, faded in and out over 20 ms so that its ends are no
        // clicks (whose energy would lie in the band).
        std::vector<double> tone(static_cast<std::size_t>(c.rate));
        const double ramp = c.rate / 50.0;
        for (std::size_t i = 0; i < tone.size(); ++i) {
            const double edge = std::min(static_cast<double>(i), static_cast<double>(tone.size() - 1 - i));
            const double g = edge < ramp ? 0.5 - 0.5 * std::cos(M_PI * edge / ramp) : 1.0;
            tone[i] = 0.5 * g * std::sin(2 * M_PI * c.hz * static_cast<double>(i) / c.rate);
        }
        const std::vector<double> out = resample(tone, c.rate, c.outRate, Kernel::sinc);
        double in = 0, left = 0;
        for (double v : tone) in += v * v / c.rate;
        for (double v : out) left += v * v / c.outRate;
        EXPECT_LT(10 * std::log10(left / in), -60);
    }
}

// A cut lets the sound die within 3 ms, never by a step larger than the
// sound's own largest step; what comes next starts at once beside it.
TEST(Resampler, ACutFadesOutWithinThreeMilliseconds) {
    Source s;
    s.setRates(11025, 48000, 1, Kernel::sinc);
    std::size_t pos = 0;
    auto tone = [&](float& l, float& r) {
        l = r = static_cast<float>(0.8 * std::sin(2 * M_PI * 440 * static_cast<double>(pos++) / 11025));
        return true;
    };
    std::vector<float> before(2 * 4800), after(2 * 4800);
    s.mix(before.data(), 4800, tone);  // 100 ms of tone
    double biggest = 0;
    for (std::size_t i = 2; i < before.size(); i += 2) biggest = std::max(biggest, double(std::abs(before[i] - before[i - 2])));
    s.cut();
    // The next sound, silent here, starts at once; the cut one fades under it.
    auto silence = [&](float& l, float& r) {
        l = r = 0;
        return true;
    };
    s.mix(after.data(), 4800, silence);
    double step = std::abs(after[0] - before[before.size() - 2]);
    std::size_t lastLoud = 0;
    for (std::size_t i = 2; i < after.size(); i += 2) {
        step = std::max(step, double(std::abs(after[i] - after[i - 2])));
        if (std::abs(after[i]) > 1e-4) lastLoud = i / 2;
    }
    EXPECT_LE(step, biggest * 1.01);
    EXPECT_LE(lastLoud, 48000u * 3 / 1000 + 1);
    EXPECT_FALSE(s.playing().idle()) << "the sound after the cut plays at once";
}
