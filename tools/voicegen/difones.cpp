// voicegen difones: builds the diphone synthesizer's database.
//
//     voicegen difones --list data/difones/unidades.txt --out DIR --base NAME
//                      [--rate WPM]
//
// Every unit of the list is said by espeak-ng (pt-br) inside a carrier word,
// "ta" + the unit + "tata", so that it is heard in running speech with its
// neighbours' transitions rather than as a word of its own. espeak-ng
// reports where each phoneme begins; the unit is the stretch from its first
// phoneme to the first phoneme of "tata". The pitch is kept nearly flat so
// that units join without jumps. Each unit is then brought down to 11025 Hz,
// cut at the nearest zero crossings, trimmed so that no more than a
// millisecond of silence is left at either end, brought to a common
// loudness (the differences between units shrink to a quarter, and never
// exceed 1.5 dB), given 1 ms fades and stored as unsigned 8-bit samples in
// DIR/NAME.DIF. DIR/NAME.IND holds one 15-byte entry per unit, sorted by name.
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "synth/qrtradut.hpp"
#include "voicegen/registry.hpp"
#include "voicegen/speech.hpp"

namespace voicegen {
namespace {

// The carrier around every unit, in espeak-ng phonemes, and how many
// phonemes (pauses aside) each side has. A consonant heard alone is said
// before a vowel, the way it begins a cluster.
struct Carrier {
    const char* before;
    std::size_t phonemesBefore;
    const char* after;
    std::size_t phonemesAfter;
};
constexpr Carrier syllableCarrier{"ta", 2, "tata", 4};
constexpr Carrier consonantCarrier{"ta", 2, "ata", 3};

constexpr double unitLevel = 4000.0;    // RMS every unit is brought near
constexpr double levelSpread = 0.25;    // what is left of a unit's own level
constexpr double maxSpreadDb = 1.5;
constexpr double silentBelow = 384.0;   // rounds to at most 1 of 8 bits
constexpr std::size_t edgeMargin = 11;  // 1 ms
constexpr std::size_t maxEdgeSilence = 33;  // 3 ms, fades included
constexpr std::size_t fadeLength = 11;  // 1 ms
constexpr std::size_t zeroSearch = 16;  // how far a cut may move to a zero crossing
constexpr double limiterKnee = 24000.0;

bool isPause(const PhonemeMark& m) { return m.name.empty() || m.name[0] == '_'; }

// The nearest place to at, within zeroSearch, where the sound crosses zero.
std::size_t nearestZeroCrossing(const std::vector<std::int16_t>& s, std::size_t at) {
    auto crosses = [&](std::size_t i) {
        return i > 0 && i < s.size() && ((s[i - 1] < 0) != (s[i] < 0) || s[i] == 0);
    };
    for (std::size_t d = 0; d <= zeroSearch; ++d) {
        if (at >= d && crosses(at - d)) return at - d;
        if (crosses(at + d)) return at + d;
    }
    return std::min(at, s.size());
}

// The unit said in its carrier, at 11025 Hz, cut at the phoneme boundaries.
// Empty when espeak-ng's phonemes do not frame it as expected.
std::vector<double> cutFromCarrier(const std::string& phonemes) {
    const bool vowel = phonemes.find_first_of("aeiouEO&") != std::string::npos;
    const Carrier& c = vowel ? syllableCarrier : consonantCarrier;
    const Utterance u = speakPhonemes(c.before + phonemes + c.after);
    std::vector<std::size_t> starts;
    for (const PhonemeMark& m : u.phonemes)
        if (!isPause(m)) starts.push_back(m.sample);
    if (starts.size() < c.phonemesBefore + c.phonemesAfter + 1) return {};
    const std::vector<std::int16_t> half = halveRate(u.samples);
    const std::size_t from = nearestZeroCrossing(half, starts[c.phonemesBefore] / 2);
    const std::size_t to = nearestZeroCrossing(half, starts[starts.size() - c.phonemesAfter] / 2);
    if (to <= from) return {};
    return {half.begin() + static_cast<long>(from), half.begin() + static_cast<long>(to)};
}

// Drops the quiet ends (below threshold), keeping edgeMargin samples.
void trimQuietEnds(std::vector<double>& s, double threshold) {
    auto loud = [threshold](double v) { return std::fabs(v) >= threshold; };
    const auto first = std::find_if(s.begin(), s.end(), loud);
    if (first == s.end()) {
        s.clear();
        return;
    }
    const auto last = std::find_if(s.rbegin(), s.rend(), loud).base();
    const std::size_t b = static_cast<std::size_t>(first - s.begin());
    const std::size_t e = static_cast<std::size_t>(last - s.begin());
    const std::size_t to = std::min(s.size(), e + edgeMargin);
    s.erase(s.begin() + static_cast<long>(to), s.end());
    s.erase(s.begin(), s.begin() + static_cast<long>(b > edgeMargin ? b - edgeMargin : 0));
}

double peakOf(const std::vector<double>& s) {
    double p = 0;
    for (double v : s) p = std::max(p, std::fabs(v));
    return p;
}

double levelDb(const std::vector<double>& s) {
    double sum = 0;
    for (double v : s) sum += v * v;
    return s.empty() ? -200.0 : 10.0 * std::log10(std::max(sum / static_cast<double>(s.size()), 1e-20));
}

// Scales by gain; peaks above the knee are rounded off below full scale.
void applyGain(std::vector<double>& s, double gain) {
    const double room = 32767.0 - limiterKnee;
    for (double& v : s) {
        const double a = std::fabs(v * gain);
        const double limited = a <= limiterKnee ? a : limiterKnee + room * std::tanh((a - limiterKnee) / room);
        v = std::copysign(limited, v);
    }
}

bool silentIn8Bits(double v) { return std::fabs(v) < silentBelow; }

std::size_t leadingSilence(const std::vector<double>& s) {
    return static_cast<std::size_t>(std::find_if_not(s.begin(), s.end(), silentIn8Bits) - s.begin());
}
std::size_t trailingSilence(const std::vector<double>& s) {
    return static_cast<std::size_t>(std::find_if_not(s.rbegin(), s.rend(), silentIn8Bits) - s.rbegin());
}

void fadeEnds(std::vector<double>& s);

// Trims and fades the ends so that at most maxEdgeSilence samples at either
// end stay silent once stored in 8 bits. A lone click followed by silence
// at an edge goes with the silence.
void finishEnds(std::vector<double>& s) {
    for (int pass = 0; pass < 16 && !s.empty(); ++pass) {
        trimQuietEnds(s, silentBelow);
        std::vector<double> faded = s;
        fadeEnds(faded);
        const std::size_t lead = leadingSilence(faded), tail = trailingSilence(faded);
        if (lead <= maxEdgeSilence && tail <= maxEdgeSilence) {
            s = std::move(faded);
            return;
        }
        if (lead > maxEdgeSilence) s.erase(s.begin(), s.begin() + static_cast<long>(lead - edgeMargin));
        if (tail > maxEdgeSilence && s.size() > tail) s.resize(s.size() - (tail - edgeMargin));
    }
    fadeEnds(s);
}

void fadeEnds(std::vector<double>& s) {
    const std::size_t fade = std::min(fadeLength, s.size() / 4);
    for (std::size_t i = 0; i < fade; ++i) {
        const double g = static_cast<double>(i + 1) / static_cast<double>(fade + 1);
        s[i] *= g;
        s[s.size() - 1 - i] *= g;
    }
}

std::string unitName(const std::string& notation) {
    std::string name = "$";
    for (char c : notation) {
        if (c == '^') name += "CIRC";
        else if (c == '~') name += "TIL";
        else name += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
    return name;
}

struct Wanted {
    std::string name;
    std::string phonemes;
};

bool readList(const std::string& path, std::vector<Wanted>& units) {
    std::ifstream in(path);
    if (!in) return false;
    std::vector<std::pair<std::string, std::string>> onsets, vowels, codas;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string kind, a, b;
        if (!(fields >> kind) || kind[0] == '#') continue;
        fields >> a >> b;
        if (kind == "onset") onsets.push_back({a == "-" ? "" : a, b == "-" ? "" : b});
        else if (kind == "vowel") vowels.push_back({a, b});
        else if (kind == "unit") units.push_back({a, b});
        else if (kind == "coda") codas.push_back({a, b});
    }
    for (const auto& [c, cEspeak] : codas)
        for (const auto& [v, vEspeak] : vowels)
            if (v.size() == 1) units.push_back({unitName(v + c), "'" + vEspeak + cEspeak});
    for (const auto& [on, onEspeak] : onsets)
        for (const auto& [v, vEspeak] : vowels)
            units.push_back({unitName(on + v), "'" + onEspeak + vEspeak});
    // Names too long for the index are left to the fallbacks; repeated
    // names keep their first phonemes.
    std::vector<Wanted> kept;
    std::map<std::string, bool> seen;
    for (auto& u : units) {
        if (u.name.size() > 8 || seen[u.name]) continue;
        seen[u.name] = true;
        kept.push_back(u);
    }
    units = std::move(kept);
    return true;
}

int runDifones(int argc, char** argv) {
    std::string list, out, base = "DIFONES";
    int rate = 190;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--list") list = argv[i + 1];
        else if (opt == "--out") out = argv[i + 1];
        else if (opt == "--base") base = argv[i + 1];
        else if (opt == "--rate") rate = std::atoi(argv[i + 1]);
    }
    if (list.empty() || out.empty()) {
        std::fprintf(stderr, "usage: voicegen difones --list FILE --out DIR [--base NAME] [--rate WPM]\n");
        return 2;
    }
    std::vector<Wanted> units;
    if (!readList(list, units)) {
        std::fprintf(stderr, "voicegen difones: cannot read %s\n", list.c_str());
        return 1;
    }
    if (!startEspeak("pt-br", rate)) return 1;
    espeak_SetParameter(espeakPITCH, 45, 0);
    espeak_SetParameter(espeakRANGE, 8, 0);

    std::vector<std::vector<double>> cut(units.size());
    std::vector<double> levels(units.size(), 0.0);
    double levelSum = 0;
    std::size_t heard = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::vector<double>& s = cut[i];
        s = cutFromCarrier(units[i].phonemes);
        trimQuietEnds(s, peakOf(s) / 100.0);
        if (s.size() > 20000) s.resize(20000);
        if (s.empty()) {
            std::fprintf(stderr, "voicegen difones: %s is silent\n", units[i].name.c_str());
            continue;
        }
        levels[i] = levelDb(s);
        levelSum += levels[i];
        ++heard;
    }
    const double meanLevel = heard ? levelSum / static_cast<double>(heard) : 0.0;
    std::vector<std::vector<std::int16_t>> sounds(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::vector<double>& s = cut[i];
        if (s.empty()) continue;
        const double own = std::clamp(levelSpread * (levels[i] - meanLevel), -maxSpreadDb, maxSpreadDb);
        const double target = 20.0 * std::log10(unitLevel) + own;
        applyGain(s, std::pow(10.0, (target - levels[i]) / 20.0));
        finishEnds(s);
        // What the limiter and the trimming changed, put right.
        applyGain(s, std::pow(10.0, (target - levelDb(s)) / 20.0));
        sounds[i].reserve(s.size());
        for (double v : s)
            sounds[i].push_back(static_cast<std::int16_t>(std::clamp(std::lround(v), -32767L, 32767L)));
    }

    std::vector<std::size_t> order(units.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return units[a].name < units[b].name; });

    std::filesystem::create_directories(out);
    const std::string indPath = out + "/" + base + ".IND";
    const std::string difPath = out + "/" + base + ".DIF";
    std::ofstream ind(indPath + ".tmp", std::ios::binary), dif(difPath + ".tmp", std::ios::binary);
    std::uint32_t offset = 0;
    for (std::size_t i : order) {
        const std::vector<std::uint8_t> bytes = toUnsigned8(sounds[i]);
        qrtradut::IndexEntry e{units[i].name, static_cast<std::uint16_t>(bytes.size()), offset};
        ind << qrtradut::encodeIndexEntry(e);
        dif.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        offset += static_cast<std::uint32_t>(bytes.size());
    }
    ind.close();
    dif.close();
    if (!ind || !dif) {
        std::fprintf(stderr, "voicegen difones: cannot write %s\n", out.c_str());
        return 1;
    }
    std::filesystem::rename(indPath + ".tmp", indPath);
    std::filesystem::rename(difPath + ".tmp", difPath);
    std::printf("voicegen difones: %zu units, %.1f s of sound in %s\n", units.size(),
                offset / 11025.0, difPath.c_str());
    return 0;
}

const Subcommand registration("difones", runDifones);

}  // namespace
}  // namespace voicegen
