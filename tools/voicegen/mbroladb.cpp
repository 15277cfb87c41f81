// voicegen mbroladb: the diphone engine's database "br4" and the list of the
// diphones it holds.
//
//     voicegen mbroladb --phonemes FILE --out DATABASE --dfn LIST
//
// Every ordered pair of the phoneme set, silence included, is cut from a
// carrier word that espeak-ng says from phoneme input (pt-br voice, flat
// intonation, so every unit has the same pitch): a neutral sound, the two
// phonemes, a neutral sound. espeak-ng's phoneme events give where each
// phoneme starts. The carrier is resampled to 16000 Hz by libsamplerate and
// pitch-marked: voiced stretches (autocorrelation near the voice's period)
// get one mark per period at the peak of the low-passed signal, unvoiced
// ones a mark every period. The diphone runs from the middle of its first
// phoneme to the middle of its second, both cuts moved to the nearest mark.
// Last, each diphone's level is ramped so that its two ends match the
// typical level of their phonemes, so joins do not jump in loudness.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <espeak-ng/speak_lib.h>
#include <samplerate.h>

#include "database.hpp"
#include "voicegen/registry.hpp"
#include "voicegen/speech.hpp"

namespace {

constexpr int kRate = 16000;
constexpr int kPad = 400;       // zeros added before and after a carrier
constexpr int kSilenceCut = 320;  // silence kept on a silence side (20 ms)

struct Event {
    std::string name;
    long sample;
};

std::vector<short> gWave;
std::vector<Event> gEvents;

int collect(short* wav, int count, espeak_EVENT* ev) {
    if (wav && count > 0) gWave.insert(gWave.end(), wav, wav + count);
    for (; ev && ev->type != espeakEVENT_LIST_TERMINATED; ++ev)
        if (ev->type == espeakEVENT_PHONEME) gEvents.push_back({voicegen::eventPhoneme(ev->id.string, sizeof ev->id.string), ev->sample});
    return 0;
}

// Our phoneme names and espeak-ng's pt mnemonics.
const std::map<std::string, std::string>& espeakNames() {
    static const std::map<std::string, std::string> m = {
        {"a", "a"},   {"E", "E"},   {"e", "e"},   {"i", "i"},   {"O", "O"},   {"o", "o"},  {"u", "u"},
        {"@", "&"},   {"an", "&~"}, {"en", "e~"}, {"in", "i~"}, {"on", "o~"}, {"un", "u~"}, {"j", "j"},
        {"w", "w"},   {"p", "p"},   {"b", "b"},   {"t", "t"},   {"d", "d"},   {"k", "k"},  {"g", "g"},
        {"tS", "tS"}, {"dZ", "dZ"}, {"f", "f"},   {"v", "v"},   {"s", "s"},   {"z", "z"},  {"S", "S"},
        {"Z", "Z"},   {"R", "x"},   {"m", "m"},   {"n", "n"},   {"J", "J"},   {"l", "l"},  {"L", "L"},
        {"r", "r"},   {"r2", "r"},  {"s2", "s"},  {"_", "_"}};
    return m;
}

bool vowel(const std::string& p) {
    static const char* v[] = {"a", "E", "e", "i", "O", "o", "u", "@", "an", "en", "in", "on", "un"};
    return std::find(std::begin(v), std::end(v), p) != std::end(v);
}

// A carrier speaks in 16 kHz samples, with where each of its phonemes
// starts and ends; false when espeak-ng did not say what was asked.
struct Carrier {
    std::vector<float> wave;
    std::vector<long> start, end;  // per phoneme of the carrier
};

bool speakCarrier(const std::vector<std::string>& phonemes, int inRate, Carrier& c) {
    std::string text = "[[";
    bool stressed = false;
    for (const std::string& p : phonemes) {
        if (!stressed && vowel(p) && p != "@") {
            text += "'";
            stressed = true;
        }
        if (text.size() > 2) text += "|";  // keeps "t" "s" from reading as "ts"
        text += espeakNames().at(p);
    }
    text += "]]";
    gWave.clear();
    gEvents.clear();
    if (espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8 | espeakPHONEMES,
                     nullptr, nullptr) != EE_OK || gWave.empty())
        return false;
    // Match the events to the phonemes asked for; an event that matches
    // nothing (a transition espeak-ng adds) belongs to the phoneme before.
    std::vector<long> starts, eventAfter;
    std::size_t k = 0;
    for (std::size_t e = 0; e < gEvents.size(); ++e) {
        if (k < phonemes.size() && gEvents[e].name == espeakNames().at(phonemes[k])) {
            starts.push_back(gEvents[e].sample);
            eventAfter.push_back(e + 1 < gEvents.size() ? gEvents[e + 1].sample : static_cast<long>(gWave.size()));
            ++k;
        }
    }
    if (k != phonemes.size()) return false;
    const double ratio = static_cast<double>(kRate) / inRate;
    std::vector<float> in(gWave.size());
    src_short_to_float_array(gWave.data(), in.data(), static_cast<int>(gWave.size()));
    std::vector<float> out(static_cast<std::size_t>(gWave.size() * ratio) + 64);
    SRC_DATA d{};
    d.data_in = in.data();
    d.input_frames = static_cast<long>(in.size());
    d.data_out = out.data();
    d.output_frames = static_cast<long>(out.size());
    d.src_ratio = ratio;
    if (src_simple(&d, SRC_SINC_MEDIUM_QUALITY, 1) != 0) return false;
    c.wave.assign(kPad, 0.0f);
    for (long i = 0; i < d.output_frames_gen; ++i) c.wave.push_back(out[static_cast<std::size_t>(i)] * 32767.0f);
    c.wave.insert(c.wave.end(), kPad, 0.0f);
    auto at = [&](long s) { return kPad + std::lround(s * ratio); };
    c.start.clear();
    c.end.clear();
    for (std::size_t i = 0; i < starts.size(); ++i) {
        c.start.push_back(at(starts[i]));
        c.end.push_back(i + 1 < starts.size() ? at(starts[i + 1]) : at(eventAfter[i]));
    }
    return true;
}

// Best lag in [lo, hi] and its normalised autocorrelation over x[from, from+len).
double bestLag(const std::vector<float>& x, long from, long len, int lo, int hi, int& lag) {
    double best = -1;
    lag = lo;
    for (int l = lo; l <= hi; ++l) {
        double xy = 0, xx = 0, yy = 0;
        for (long i = from; i < from + len; ++i) {
            if (i < 0 || i + l >= static_cast<long>(x.size())) continue;
            const double a = x[static_cast<std::size_t>(i)], b = x[static_cast<std::size_t>(i + l)];
            xy += a * b, xx += a * a, yy += b * b;
        }
        const double r = xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
        if (r > best) best = r, lag = l;
    }
    return best;
}

struct Mark {
    long pos;
    bool voiced;
};

std::vector<Mark> pitchMarks(const std::vector<float>& x, int period) {
    const long n = static_cast<long>(x.size());
    // Low-pass (two one-pole passes at about 900 Hz) to find the pulses.
    std::vector<float> y(x.size());
    const float a = 1.0f - std::exp(-2.0f * 3.14159265f * 900.0f / kRate);
    float s1 = 0, s2 = 0;
    for (long i = 0; i < n; ++i) {
        s1 += a * (x[static_cast<std::size_t>(i)] - s1);
        s2 += a * (s1 - s2);
        y[static_cast<std::size_t>(i)] = s2;
    }
    auto voicedAt = [&](long c) {
        double energy = 0;
        for (long i = c - period; i < c + period; ++i)
            if (i >= 0 && i < n) energy += x[static_cast<std::size_t>(i)] * x[static_cast<std::size_t>(i)];
        if (std::sqrt(energy / (2 * period)) < 150) return false;
        int lag;
        return bestLag(x, c - period, 2 * period, period * 7 / 8, period * 9 / 8, lag) > 0.6;
    };
    auto peak = [&](long lo, long hi) {
        lo = std::max(lo, 0L);
        hi = std::min(hi, n - 1);
        long best = lo;
        for (long i = lo; i <= hi; ++i)
            if (y[static_cast<std::size_t>(i)] > y[static_cast<std::size_t>(best)]) best = i;
        return best;
    };
    std::vector<Mark> marks;
    long c = period / 2;
    while (c < n) {
        const bool v = voicedAt(c);
        long m = c;
        if (v) {
            const bool chained = !marks.empty() && marks.back().voiced;
            const long lo = chained ? marks.back().pos + period * 4 / 5 : c - period / 2;
            const long hi = chained ? marks.back().pos + period * 6 / 5 : c + period / 2;
            m = peak(marks.empty() ? lo : std::max(lo, marks.back().pos + period / 2), hi);
        }
        if (!marks.empty() && m <= marks.back().pos) m = marks.back().pos + 1;
        if (m >= n) break;
        marks.push_back({m, v});
        c = m + period;
    }
    return marks;
}

long nearestMark(const std::vector<Mark>& marks, long pos, long lo, long hi) {
    long best = pos, dist = 1L << 40;
    for (const Mark& m : marks)
        if (m.pos >= lo && m.pos <= hi && std::labs(m.pos - pos) < dist) best = m.pos, dist = std::labs(m.pos - pos);
    return best;
}

struct Cut {
    std::size_t left, right;
    std::vector<float> samples;
    long cutStart, boundary, cutEnd;
    std::vector<Mark> marks;
};

bool cutDiphone(const std::string& x, const std::string& y, std::size_t ix, std::size_t iy, int inRate, int period,
                Cut& cut) {
    cut.left = ix, cut.right = iy;
    long cs, b, ce;
    Carrier c;
    if (x == "_" && y == "_") {
        c.wave.assign(static_cast<std::size_t>(4 * period + 2 * kSilenceCut), 0.0f);
        cs = 2 * period, b = cs + kSilenceCut, ce = b + kSilenceCut;
    } else {
        std::vector<std::string> asked;
        if (x != "_") asked = {vowel(x) ? "t" : "a", x};
        if (y != "_") {
            asked.push_back(y);
            if (vowel(y)) asked.push_back("t");
            asked.push_back("a");
        }
        if (!speakCarrier(asked, inRate, c)) return false;
        const std::size_t px = x == "_" ? 0 : 1;  // x's place in asked
        const std::size_t py = x == "_" ? 0 : 2;
        if (x == "_") {
            b = c.start[py];
            cs = b - kSilenceCut;
        } else {
            b = y == "_" ? c.end[px] : c.start[py];
            cs = (c.start[px] + c.end[px]) / 2;
        }
        ce = y == "_" ? b + kSilenceCut : (c.start[py] + c.end[py]) / 2;
    }
    const std::vector<Mark> marks = pitchMarks(c.wave, period);
    if (x != "_") cs = nearestMark(marks, cs, cs - period, b - 1);
    if (y != "_") ce = nearestMark(marks, ce, b + 1, ce + period);
    const long from = std::max(0L, cs - 2 * period);
    const long to = std::min(static_cast<long>(c.wave.size()), ce + 2 * period);
    if (!(from <= cs && cs <= b && b <= ce && ce < to)) return false;
    cut.samples.assign(c.wave.begin() + from, c.wave.begin() + to);
    cut.cutStart = cs - from, cut.boundary = b - from, cut.cutEnd = ce - from;
    cut.marks.clear();
    for (const Mark& m : marks)
        if (m.pos >= from && m.pos < to) cut.marks.push_back({m.pos - from, m.voiced});
    if (cut.marks.empty()) cut.marks.push_back({cut.cutStart, false});
    return true;
}

double rmsAround(const Cut& c, long centre, int period) {
    double e = 0;
    long count = 0;
    for (long i = centre - period; i < centre + period; ++i)
        if (i >= 0 && i < static_cast<long>(c.samples.size())) e += c.samples[static_cast<std::size_t>(i)] * c.samples[static_cast<std::size_t>(i)], ++count;
    return count ? std::sqrt(e / count) : 0;
}

// Ramps each diphone's gain so its ends meet the median level of their
// phonemes.
void matchLevels(std::vector<Cut>& cuts, std::size_t phonemeCount, std::size_t silence, int period) {
    std::vector<std::vector<double>> levels(phonemeCount);
    for (const Cut& c : cuts) {
        levels[c.left].push_back(rmsAround(c, c.cutStart, period));
        levels[c.right].push_back(rmsAround(c, c.cutEnd, period));
    }
    std::vector<double> ref(phonemeCount, 0);
    for (std::size_t p = 0; p < phonemeCount; ++p) {
        auto& l = levels[p];
        if (l.empty()) continue;
        std::nth_element(l.begin(), l.begin() + static_cast<long>(l.size() / 2), l.end());
        ref[p] = l[l.size() / 2];
    }
    auto gain = [&](std::size_t p, double rms) {
        if (p == silence || rms < 100 || ref[p] < 100) return 1.0;
        return std::clamp(ref[p] / rms, 0.33, 3.0);
    };
    for (Cut& c : cuts) {
        const double gl = gain(c.left, rmsAround(c, c.cutStart, period));
        const double gr = gain(c.right, rmsAround(c, c.cutEnd, period));
        const double span = std::max(1L, c.cutEnd - c.cutStart);
        for (long i = 0; i < static_cast<long>(c.samples.size()); ++i) {
            const double t = std::clamp((i - c.cutStart) / span, 0.0, 1.0);
            c.samples[static_cast<std::size_t>(i)] *= static_cast<float>(gl + (gr - gl) * t);
        }
    }
}

std::vector<std::string> readPhonemes(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> names;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string name;
        if (words >> name && name[0] != ';') names.push_back(name);
    }
    return names;
}

int runMbroladb(int argc, char** argv) {
    std::string phonemesPath, outPath, dfnPath;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i];
        if (k == "--phonemes") phonemesPath = argv[i + 1];
        else if (k == "--out") outPath = argv[i + 1];
        else if (k == "--dfn") dfnPath = argv[i + 1];
    }
    if (phonemesPath.empty() || outPath.empty() || dfnPath.empty()) {
        std::fprintf(stderr, "usage: voicegen mbroladb --phonemes FILE --out DATABASE --dfn LIST\n");
        return 2;
    }
    const std::vector<std::string> names = readPhonemes(phonemesPath);
    const auto silenceIt = std::find(names.begin(), names.end(), "_");
    if (names.empty() || silenceIt == names.end() || names.size() > mbr::kMaxPhonemes) {
        std::fprintf(stderr, "voicegen: %s: no usable phoneme set\n", phonemesPath.c_str());
        return 1;
    }
    for (const std::string& n : names)
        if (!espeakNames().count(n)) {
            std::fprintf(stderr, "voicegen: phoneme '%s' has no espeak-ng counterpart\n", n.c_str());
            return 1;
        }
    const int inRate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr,
                                         espeakINITIALIZE_PHONEME_EVENTS | espeakINITIALIZE_DONT_EXIT);
    if (inRate <= 0 || espeak_SetVoiceByName("pt-br") != EE_OK) {
        std::fprintf(stderr, "voicegen: espeak-ng with pt-br did not start\n");
        return 1;
    }
    espeak_SetSynthCallback(collect);
    espeak_SetParameter(espeakRATE, 130, 0);
    espeak_SetParameter(espeakPITCH, 70, 0);
    espeak_SetParameter(espeakRANGE, 0, 0);  // flat: one pitch for every unit

    // The voice's period, from a sustained vowel.
    Carrier vowelCarrier;
    if (!speakCarrier({"t", "a"}, inRate, vowelCarrier)) {
        std::fprintf(stderr, "voicegen: espeak-ng said nothing\n");
        return 1;
    }
    // The shortest lag that correlates nearly as well as the best one, so
    // that a multiple of the period is not taken for it.
    const long mid = (vowelCarrier.start[1] + vowelCarrier.end[1]) / 2;
    int period = 0, best;
    const double top = bestLag(vowelCarrier.wave, mid - 400, 800, kRate / 400, kRate / 60, best);
    for (int l = kRate / 400; l <= kRate / 60 && period == 0; ++l) {
        int lag;
        if (bestLag(vowelCarrier.wave, mid - 400, 800, l, l, lag) > 0.9 * top) period = l;
    }
    // Settle on the local maximum near that lag.
    bestLag(vowelCarrier.wave, mid - 400, 800, period, period + period / 8, period);

    const std::size_t silence = static_cast<std::size_t>(silenceIt - names.begin());
    std::vector<Cut> cuts;
    std::vector<std::string> missing;
    for (std::size_t ix = 0; ix < names.size(); ++ix)
        for (std::size_t iy = 0; iy < names.size(); ++iy) {
            Cut c;
            if (cutDiphone(names[ix], names[iy], ix, iy, inRate, period, c)) cuts.push_back(std::move(c));
            else missing.push_back(names[ix] + "-" + names[iy]);
        }
    matchLevels(cuts, names.size(), silence, period);

    mbr::Database db;
    db.rate = kRate;
    db.period = static_cast<std::uint32_t>(period);
    db.defaultF0 = static_cast<double>(kRate) / period;
    db.phonemes = names;
    const char* version = espeak_Info(nullptr);
    db.info = {"br4: Brazilian Portuguese diphones cut from espeak-ng " + std::string(version ? version : "") +
                   " (pt-br)",
               std::to_string(kRate) + " Hz, " + std::to_string(names.size()) + " phonemes, " +
                   std::to_string(cuts.size()) + " diphones, pitch " + std::to_string(kRate / period) + " Hz"};
    for (const Cut& c : cuts) {
        mbr::Diphone d;
        d.left = static_cast<std::uint32_t>(c.left);
        d.right = static_cast<std::uint32_t>(c.right);
        d.first = static_cast<std::uint32_t>(db.samples.size());
        d.count = static_cast<std::uint32_t>(c.samples.size());
        d.cutStart = static_cast<std::uint32_t>(c.cutStart);
        d.boundary = static_cast<std::uint32_t>(c.boundary);
        d.cutEnd = static_cast<std::uint32_t>(c.cutEnd);
        d.firstMark = static_cast<std::uint32_t>(db.marks.size());
        d.markCount = static_cast<std::uint32_t>(c.marks.size());
        for (const Mark& m : c.marks)
            db.marks.push_back(static_cast<std::uint32_t>(m.pos) | (m.voiced ? mbr::kVoicedBit : 0));
        for (float s : c.samples)
            db.samples.push_back(static_cast<std::int16_t>(std::clamp(std::lround(s), -32768L, 32767L)));
        db.diphones.push_back(d);
    }
    const std::vector<std::uint8_t> image = mbr::serialiseDatabase(db);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(outPath).parent_path(), ec);
    std::filesystem::create_directories(std::filesystem::path(dfnPath).parent_path(), ec);
    {
        std::ofstream out(outPath + ".tmp", std::ios::binary);
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<long>(image.size()));
        if (!out) {
            std::fprintf(stderr, "voicegen: cannot write %s\n", outPath.c_str());
            return 1;
        }
    }
    std::ofstream dfn(dfnPath + ".tmp", std::ios::binary);
    dfn << "; Diphones of the built-in voice's database br4, as generated (voicegen mbroladb).\r\n";
    for (const Cut& c : cuts) dfn << names[c.left] << ' ' << names[c.right] << "\r\n";
    dfn.close();
    if (!dfn || std::rename((outPath + ".tmp").c_str(), outPath.c_str()) != 0 ||
        std::rename((dfnPath + ".tmp").c_str(), dfnPath.c_str()) != 0) {
        std::fprintf(stderr, "voicegen: cannot write %s\n", dfnPath.c_str());
        return 1;
    }
    std::printf("voicegen: br4: %zu diphones, %zu missing, pitch %d Hz, %zu bytes\n", cuts.size(), missing.size(),
                kRate / period, image.size());
    for (const std::string& m : missing) std::printf("voicegen: no diphone %s\n", m.c_str());
    return 0;
}

voicegen::Subcommand mbroladb("mbroladb", runMbroladb);

}  // namespace
