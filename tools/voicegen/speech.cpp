// See speech.hpp. The low-pass is a 31-tap windowed sinc (Hamming window)
// with its cut at 4.8 kHz of the 22.05 kHz input, well under the 5.5 kHz
// that 11025 samples per second can carry, so decimating by two folds
// nothing audible back.
#include "voicegen/speech.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include <espeak-ng/speak_lib.h>

namespace voicegen {
namespace {

int gRate = 0;
std::vector<std::int16_t>* gTarget = nullptr;
std::vector<PhonemeMark>* gMarks = nullptr;

int collect(short* wav, int count, espeak_EVENT* events) {
    if (wav && count > 0 && gTarget) gTarget->insert(gTarget->end(), wav, wav + count);
    for (espeak_EVENT* e = events; gMarks && e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        if (e->type != espeakEVENT_PHONEME || e->sample < 0) continue;
        gMarks->push_back({eventPhoneme(e->id.string, sizeof e->id.string), static_cast<std::size_t>(e->sample)});
    }
    return 0;
}

std::vector<double> lowPassTaps() {
    constexpr int taps = 31;
    constexpr double cut = 4800.0 / 22050.0;  // cycles per input sample
    std::vector<double> h(taps);
    double sum = 0;
    for (int n = 0; n < taps; ++n) {
        const double m = n - (taps - 1) / 2.0;
        const double sinc = m == 0 ? 2 * cut : std::sin(2 * std::numbers::pi * cut * m) / (std::numbers::pi * m);
        const double window = 0.54 - 0.46 * std::cos(2 * std::numbers::pi * n / (taps - 1));
        h[static_cast<std::size_t>(n)] = sinc * window;
        sum += h[static_cast<std::size_t>(n)];
    }
    for (double& v : h) v /= sum;
    return h;
}

std::int16_t clamp16(double v) {
    return static_cast<std::int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
}

void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

std::string eventPhoneme(const char* id, std::size_t size) {
    std::string name(id, strnlen(id, size));
    const std::size_t first = name.find_first_not_of("',%=");
    return first == std::string::npos ? std::string() : name.substr(first);
}

bool startEspeak(const std::string& voice, int wordsPerMinute) {
    if (gRate == 0) {
        const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr,
                                           espeakINITIALIZE_DONT_EXIT | espeakINITIALIZE_PHONEME_EVENTS);
        if (rate <= 0) {
            std::fprintf(stderr, "voicegen: espeak-ng did not start\n");
            return false;
        }
        gRate = rate;
        espeak_SetSynthCallback(collect);
    }
    if (espeak_SetVoiceByName(voice.c_str()) != EE_OK) {
        espeak_VOICE wanted{};
        wanted.languages = voice.c_str();
        if (espeak_SetVoiceByProperties(&wanted) != EE_OK) {
            std::fprintf(stderr, "voicegen: espeak-ng has no voice '%s'\n", voice.c_str());
            return false;
        }
    }
    espeak_SetParameter(espeakRATE, wordsPerMinute, 0);
    return true;
}

int espeakRate() { return gRate; }

std::string espeakVersion() {
    const char* v = espeak_Info(nullptr);
    return v ? v : "";
}

std::vector<std::int16_t> speak(const std::string& utf8Text) {
    std::vector<std::int16_t> samples;
    if (gRate == 0) return samples;
    gTarget = &samples;
    const espeak_ERROR err = espeak_Synth(utf8Text.c_str(), utf8Text.size() + 1, 0, POS_CHARACTER, 0,
                                          espeakCHARS_UTF8, nullptr, nullptr);
    gTarget = nullptr;
    if (err != EE_OK) samples.clear();
    return samples;
}

Utterance speakPhonemes(const std::string& phonemes) {
    Utterance u;
    if (gRate == 0) return u;
    gTarget = &u.samples;
    gMarks = &u.phonemes;
    const std::string text = "[[" + phonemes + "]]";
    const espeak_ERROR err = espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0,
                                          espeakCHARS_AUTO | espeakPHONEMES, nullptr, nullptr);
    gTarget = nullptr;
    gMarks = nullptr;
    if (err != EE_OK) u = Utterance{};
    return u;
}

std::vector<std::int16_t> halveRate(const std::vector<std::int16_t>& samples) {
    static const std::vector<double> h = lowPassTaps();
    const long half = static_cast<long>(h.size() / 2);
    const long n = static_cast<long>(samples.size());
    std::vector<std::int16_t> out;
    out.reserve(samples.size() / 2 + 1);
    for (long i = 0; i < n; i += 2) {
        double acc = 0;
        for (long k = 0; k < static_cast<long>(h.size()); ++k) {
            const long j = i + k - half;
            if (j >= 0 && j < n) acc += h[static_cast<std::size_t>(k)] * samples[static_cast<std::size_t>(j)];
        }
        out.push_back(clamp16(acc));
    }
    return out;
}

std::vector<std::int16_t> trimSilence(const std::vector<std::int16_t>& samples, int threshold,
                                      std::size_t lead, std::size_t tail) {
    auto loud = [threshold](std::int16_t s) { return std::abs(static_cast<int>(s)) >= threshold; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    if (first == samples.end()) return {};
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
    const std::size_t b = static_cast<std::size_t>(first - samples.begin());
    const std::size_t e = static_cast<std::size_t>(last - samples.begin());
    const std::size_t from = b > lead ? b - lead : 0;
    const std::size_t to = std::min(samples.size(), e + tail);
    return {samples.begin() + static_cast<long>(from), samples.begin() + static_cast<long>(to)};
}

void normalise(std::vector<std::int16_t>& samples, int peak, double maxGain) {
    int top = 0;
    for (std::int16_t s : samples) top = std::max(top, std::abs(static_cast<int>(s)));
    if (top == 0) return;
    const double gain = std::min(maxGain, static_cast<double>(peak) / top);
    for (std::int16_t& s : samples) s = clamp16(s * gain);
}

std::vector<std::uint8_t> toUnsigned8(const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> out(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        out[i] = static_cast<std::uint8_t>(std::clamp(128L + std::lround(samples[i] / 256.0), 0L, 255L));
    return out;
}

bool writeWav8(const std::string& path, const std::vector<std::uint8_t>& samples, std::uint32_t rate) {
    std::uint8_t h[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                          16,  0,   0,   0,   1, 0, 1, 0, 0,   0,   0,   0,   0,   0,   0,   0,
                          1,   0,   8,   0,   'd', 'a', 't', 'a', 0, 0, 0, 0};
    const auto n = static_cast<std::uint32_t>(samples.size());
    put32(h + 4, n + 36);
    put32(h + 24, rate);
    put32(h + 28, rate);
    put32(h + 40, n);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(h, 1, sizeof h, f) == sizeof h;
    if (ok && n) ok = std::fwrite(samples.data(), 1, n, f) == n;
    return std::fclose(f) == 0 && ok;
}

}  // namespace voicegen
