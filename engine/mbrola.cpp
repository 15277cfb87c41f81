// The engine's 23 entry points over one engine instance.
//
// Lines written are parsed as they complete; each phone is checked against
// the database (unknown phonemes and missing diphones are errors, or with
// no-error set are replaced) and queued. A flush ('#' line or flush_MBR)
// synthesises the queued phones as one utterance between silences; a long
// stream without flushes is cut at a silence phone once the queue holds
// more than a few seconds, so memory stays bounded. Samples wait in an
// output queue at the chosen rate until read.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "database.hpp"
#include "lines.hpp"
#include "mbrola.h"
#include "synth.hpp"

namespace mbr {
namespace {

constexpr const char* kVersionText = "3.3 (quoril diphone engine)";
constexpr double kBatchMs = 20000;     // queue length that cuts a batch at a silence
constexpr double kMaxBatchMs = 60000;  // ... and without one

enum ErrorCode {
    kOk = 0,
    kErrNotReady = -1,
    kErrDatabase = -2,
    kErrLine = -3,
    kErrPhoneme = -4,
    kErrDiphone = -5,
    kErrArgument = -6,
    kErrParser = -7,
};

struct Queued {
    int phoneme;
    SynthPhone phone;
};

// Linear-interpolation rate change with continuous phase across batches;
// a two-pole low-pass guards against aliasing when the rate goes down.
struct Resampler {
    double step = 1.0;  // input samples per output sample
    double pos = 0;     // next output position; -1 is the previous batch's last sample
    float prev = 0;
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    bool filter = false;

    void setup(int inRate, int outRate) {
        *this = Resampler{};
        step = static_cast<double>(inRate) / outRate;
        if (outRate < inRate) {  // Butterworth at 45% of the output rate
            filter = true;
            const double w = std::tan(3.141592653589793 * 0.45 * outRate / inRate);
            const double q = std::sqrt(2.0), norm = 1 / (1 + q * w + w * w);
            b0 = w * w * norm;
            b1 = 2 * b0;
            b2 = b0;
            a1 = 2 * (w * w - 1) * norm;
            a2 = (1 - q * w + w * w) * norm;
        }
    }
    float lowPass(float x) {
        if (!filter) return x;
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        return static_cast<float>(y);
    }
};

struct Engine {
    bool ready = false;
    Database db;
    std::map<std::string, int> names;  // input name -> phoneme
    int silence = -1;
    int error = kOk;
    std::string errorText;
    bool noError = false;
    int freq = 16000;
    float volume = 1.0f;
    MbrParser* parser = nullptr;
    LineReader reader;
    std::vector<Queued> queue;
    double queuedMs = 0;
    std::vector<SynthPhone> batch;
    std::vector<float> samples;
    SynthScratch scratch;
    std::vector<std::int16_t> out;
    std::size_t outRead = 0;
    Resampler resampler;
};

Engine& engine() {
    static Engine e;
    return e;
}

int fail(int code, std::string text) {
    Engine& e = engine();
    e.error = code;
    e.errorText = std::move(text);
    return code;
}

std::string pairName(const Engine& e, int a, int b) {
    return e.db.phonemes[static_cast<std::size_t>(a)] + "-" + e.db.phonemes[static_cast<std::size_t>(b)];
}

// Rough likeness of two phonemes for choosing a stand-in: same name, then
// same kind (silence, vowel, consonant), then anything.
int kind(const std::string& n) {
    if (n == "_") return 0;
    return std::strchr("aeiouAEIOU@", n[0]) ? 1 : 2;
}
int distance(const Engine& e, int a, int b) {
    if (a == b) return 0;
    const std::string& na = e.db.phonemes[static_cast<std::size_t>(a)];
    const std::string& nb = e.db.phonemes[static_cast<std::size_t>(b)];
    if (kind(na) != kind(nb)) return 3;
    return na[0] == nb[0] ? 1 : 2;
}

// The diphone whose left half ends phone a before b (leftHalf) or whose
// right half starts b after a: the real one, else the nearest stand-in
// sharing the phone that matters. -1 when there is none at all.
int halfDiphone(const Engine& e, int a, int b, bool leftHalf) {
    if (int d = e.db.diphone(static_cast<std::size_t>(a), static_cast<std::size_t>(b)); d >= 0) return d;
    int best = -1, bestDistance = 1 << 30;
    const int count = static_cast<int>(e.db.phonemes.size());
    for (int z = 0; z < count; ++z) {
        const int d = leftHalf ? e.db.diphone(static_cast<std::size_t>(a), static_cast<std::size_t>(z))
                               : e.db.diphone(static_cast<std::size_t>(z), static_cast<std::size_t>(b));
        const int dist = distance(e, leftHalf ? b : a, z);
        if (d >= 0 && dist < bestDistance) best = d, bestDistance = dist;
    }
    return best;
}

// Checks the pair a-b; answers false (with the error set) when it is
// missing and no-error is off.
bool pairReady(int a, int b) {
    Engine& e = engine();
    if (e.db.diphone(static_cast<std::size_t>(a), static_cast<std::size_t>(b)) >= 0 || e.noError) return true;
    fail(kErrDiphone, "diphone " + pairName(e, a, b) + " is not in the database");
    return false;
}

// A sample as the output holds it: clamped, then rounded half away from
// zero as lround does, without its library call (the conversion of every
// sample made this the engine's costliest line). Within the clamped range
// every step is exact, in double and in float (the volume at 1), so the
// result is lround's to the bit.
template <class Real>
std::int16_t toSample(Real v) {
    if (!(v == v)) return 0;  // NaN, as lround's result would truncate
    v = std::clamp(v, Real(-32768), Real(32767));
    const int whole = static_cast<int>(v);  // toward zero
    const Real rest = v - static_cast<Real>(whole);
    return static_cast<std::int16_t>(whole + (rest >= Real(0.5)) - (rest <= Real(-0.5)));
}

// toSample of n floats; eight at a time where SSE2 is there (the same
// steps: NaN to 0, clamp, toward zero, the rest's half away from zero).
void toSamples(const float* in, std::size_t n, std::int16_t* out) {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128 lo = _mm_set1_ps(-32768.0f), hi = _mm_set1_ps(32767.0f);
    const __m128 half = _mm_set1_ps(0.5f), minusHalf = _mm_set1_ps(-0.5f);
    auto four = [&](const float* p) {
        __m128 v = _mm_loadu_ps(p);
        v = _mm_and_ps(v, _mm_cmpord_ps(v, v));
        v = _mm_max_ps(_mm_min_ps(v, hi), lo);
        __m128i whole = _mm_cvttps_epi32(v);
        const __m128 rest = _mm_sub_ps(v, _mm_cvtepi32_ps(whole));
        whole = _mm_sub_epi32(whole, _mm_castps_si128(_mm_cmpge_ps(rest, half)));
        return _mm_add_epi32(whole, _mm_castps_si128(_mm_cmple_ps(rest, minusHalf)));
    };
    for (; i + 8 <= n; i += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(four(in + i), four(in + i + 4)));
#endif
    for (; i < n; ++i) out[i] = toSample(in[i]);
}

void emit(const std::vector<float>& s) {
    Engine& e = engine();
    if (e.outRead > 0 && e.outRead == e.out.size()) {
        e.out.clear();
        e.outRead = 0;
    }
    const float gain = e.volume;
    auto put = [&](double v) { e.out.push_back(toSample(v * gain)); };
    Resampler& r = e.resampler;
    if (e.freq == static_cast<int>(e.db.rate)) {
        const std::size_t at = e.out.size();
        e.out.resize(at + s.size());
        std::int16_t* o = e.out.data() + at;
        if (gain == 1.0f) {
            toSamples(s.data(), s.size(), o);
        } else {
            for (std::size_t i = 0; i < s.size(); ++i) o[i] = toSample(static_cast<double>(s[i]) * gain);
        }
        return;
    }
    e.out.reserve(e.out.size() + static_cast<std::size_t>(s.size() / r.step) + 2);
    // Filter in place on a copy-free pass: the filtered value replaces the
    // sample as it is consumed.
    const long n = static_cast<long>(s.size());
    long filtered = 0;  // samples of s already low-passed into the scratch
    std::vector<float>& f = e.samples;  // s is e.samples itself
    while (true) {
        const long i = static_cast<long>(std::floor(r.pos));
        if (i + 1 >= n) break;
        while (filtered <= i + 1) {
            f[static_cast<std::size_t>(filtered)] = r.lowPass(f[static_cast<std::size_t>(filtered)]);
            ++filtered;
        }
        const double frac = r.pos - i;
        const float a = i < 0 ? r.prev : f[static_cast<std::size_t>(i)];
        const float b = f[static_cast<std::size_t>(i + 1)];
        put(a + (b - a) * frac);
        r.pos += r.step;
    }
    while (filtered < n) {
        f[static_cast<std::size_t>(filtered)] = r.lowPass(f[static_cast<std::size_t>(filtered)]);
        ++filtered;
    }
    if (n > 0) r.prev = f[static_cast<std::size_t>(n - 1)];
    r.pos -= static_cast<double>(n);
}

// Synthesises the first count queued phones as one stretch between
// silences.
void synthesiseQueued(std::size_t count) {
    Engine& e = engine();
    count = std::min(count, e.queue.size());
    if (count == 0) return;
    e.batch.clear();
    for (std::size_t i = 0; i < count; ++i) {
        const int prev = i > 0 ? e.queue[i - 1].phoneme : e.silence;
        const int next = i + 1 < count ? e.queue[i + 1].phoneme : e.silence;
        SynthPhone p = std::move(e.queue[i].phone);
        p.enter = halfDiphone(e, prev, e.queue[i].phoneme, false);
        p.leave = halfDiphone(e, e.queue[i].phoneme, next, true);
        e.batch.push_back(std::move(p));
    }
    e.queue.erase(e.queue.begin(), e.queue.begin() + static_cast<long>(count));
    e.queuedMs = 0;
    for (const Queued& q : e.queue) e.queuedMs += q.phone.durationMs;
    synthesise(e.db, e.batch, e.samples, e.scratch);
    emit(e.samples);
}

int flushQueued() {
    Engine& e = engine();
    int result = kOk;
    if (!e.queue.empty() && !pairReady(e.queue.back().phoneme, e.silence)) {
        e.queue.pop_back();  // the utterance ends without its last phone
        result = kErrDiphone;
    }
    synthesiseQueued(e.queue.size());
    return result;
}

int addPhone(const std::string& name, double durationMs, const Target* targets, std::size_t nTargets) {
    Engine& e = engine();
    auto it = e.names.find(name);
    int ph;
    if (it != e.names.end()) {
        ph = it->second;
    } else if (e.noError) {
        ph = e.silence;
    } else {
        return fail(kErrPhoneme, "unknown phoneme '" + name.substr(0, 32) + "'");
    }
    const int prev = e.queue.empty() ? e.silence : e.queue.back().phoneme;
    if (!pairReady(prev, ph)) return kErrDiphone;
    Queued q{ph, {}};
    q.phone.durationMs = durationMs;
    q.phone.targets.assign(targets, targets + nTargets);
    e.queue.push_back(std::move(q));
    e.queuedMs += durationMs;
    // Bound the queue: cut after a silence, or anywhere when far too long.
    if ((e.queuedMs > kBatchMs && ph == e.silence) || e.queuedMs > kMaxBatchMs) synthesiseQueued(e.queue.size());
    return kOk;
}

int takeLine(const PhoneLine& line) {
    switch (line.kind) {
        case PhoneLine::Skip:
            return kOk;
        case PhoneLine::Flush:
            return flushQueued();
        case PhoneLine::Error:
            return fail(kErrLine, line.error);
        case PhoneLine::Phone:
            return addPhone(line.name, line.durationMs, line.targets.data(), line.targets.size());
    }
    return kOk;
}

// Pulls phones from a parser the client installed.
int pullParser() {
    Engine& e = engine();
    int result = kOk;
    for (int guard = 0; guard < 100000 && e.parser && e.parser->next; ++guard) {
        Phone p{};
        const int r = e.parser->next(e.parser->self, &p);
        if (r == 1) {
            p.name[MBR_MAX_NAME - 1] = 0;
            const int n = std::clamp(p.nTargets, 0, MBR_MAX_F0);
            std::vector<Target> t;
            for (int i = 0; i < n; ++i)
                if (std::isfinite(p.pos[i]) && std::isfinite(p.f0[i]) && p.f0[i] > 0 && p.f0[i] <= 2000)
                    t.push_back({std::clamp(static_cast<double>(p.pos[i]), 0.0, 100.0), p.f0[i]});
            if (!std::isfinite(p.length) || p.length < 0 || p.length > kMaxDurationMs) {
                result = fail(kErrLine, std::string("phone '") + p.name + "': bad duration");
                continue;
            }
            if (int a = addPhone(p.name, p.length, t.data(), t.size()); a < 0) result = a;
        } else if (r == 2) {
            if (int f = flushQueued(); f < 0) result = f;
        } else {
            if (r < 0) result = fail(kErrParser, "the phone parser reported an error");
            break;
        }
    }
    return result;
}

void dropPending() {
    Engine& e = engine();
    e.reader.clear();
    e.queue.clear();
    e.queuedMs = 0;
    e.out.clear();
    e.outRead = 0;
    e.resampler.setup(static_cast<int>(e.db.rate), e.freq);
}

std::string nativePath(std::string path) {
    // Names written the Windows way: backslashes, and a drive letter that
    // stands for the root the system runs in.
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        const char* root = std::getenv("QUORIL_ROOT");
        std::string r = root && *root ? root : "";
        while (!r.empty() && r.back() == '/') r.pop_back();
        path = r + path.substr(2);
    }
    return path;
}

int load(const char* db) {
    Engine& e = engine();
    close_MBR();
    if (!db) return fail(kErrArgument, "no database named");
    const std::string path = nativePath(db);
    std::vector<std::uint8_t> image;
    std::string why;
    if (!mbr::readDatabaseFile(path, image, why))
        return fail(kErrDatabase, "cannot open database '" + path + "': " + why);
    if (!parseDatabase(image.data(), image.size(), e.db, why)) return fail(kErrDatabase, path + ": " + why);
    e.silence = e.db.phoneme("_");
    if (e.silence < 0) {
        e.db = Database{};
        return fail(kErrDatabase, path + ": no silence phoneme");
    }
    for (std::size_t i = 0; i < e.db.phonemes.size(); ++i) e.names[e.db.phonemes[i]] = static_cast<int>(i);
    e.freq = static_cast<int>(e.db.rate);
    e.ready = true;
    dropPending();
    e.error = kOk;
    e.errorText.clear();
    return kOk;
}

std::vector<std::string> words(const char* text) {
    std::vector<std::string> w;
    if (!text) return w;
    std::string cur;
    for (const char* p = text; *p; ++p) {
        if (std::isspace(static_cast<unsigned char>(*p))) {
            if (!cur.empty()) w.push_back(cur), cur.clear();
        } else {
            cur += *p;
        }
    }
    if (!cur.empty()) w.push_back(cur);
    return w;
}

int copyText(const std::string& text, char* buf, int size) {
    if (buf && size > 0) {
        const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
        std::memcpy(buf, text.data(), n);
        buf[n] = 0;
    }
    return static_cast<int>(text.size());
}

std::uint8_t toULaw(int s) {
    constexpr int kBias = 0x84, kClip = 32635;
    const int sign = s < 0 ? 0x80 : 0;
    if (s < 0) s = -s;
    s = std::min(s, kClip) + kBias;
    int exponent = 7;
    for (int mask = 0x4000; (s & mask) == 0 && exponent > 0; mask >>= 1) --exponent;
    const int mantissa = (s >> (exponent + 3)) & 0x0F;
    return static_cast<std::uint8_t>(~(sign | exponent << 4 | mantissa));
}

std::uint8_t toALaw(int s) {
    const int sign = s >= 0 ? 0x80 : 0;
    if (s < 0) s = std::min(-s, 32767);
    s >>= 3;  // 13-bit magnitude
    int exponent = 0;
    if (s >= 32) {
        exponent = 1;
        while (s >= 64 && exponent < 7) s >>= 1, ++exponent;
    }
    const int mantissa = exponent == 0 ? s >> 1 : (s >> 1) & 0x0F;
    return static_cast<std::uint8_t>((sign | exponent << 4 | mantissa) ^ 0x55);
}

}  // namespace
}  // namespace mbr

using mbr::engine;

extern "C" {

int init_MBR(char* db) { return mbr::load(db); }

int init_rename_MBR(char* db, char* rename, char* clone) {
    if (int r = mbr::load(db); r < 0) return r;
    mbr::Engine& e = engine();
    const auto renames = mbr::words(rename), clones = mbr::words(clone);
    for (std::size_t i = 0; i + 1 < renames.size(); i += 2) {
        auto it = e.names.find(renames[i]);
        if (it == e.names.end()) return mbr::fail(mbr::kErrPhoneme, "cannot rename unknown phoneme '" + renames[i] + "'");
        const int ph = it->second;
        e.names.erase(it);
        e.names[renames[i + 1]] = ph;
    }
    for (std::size_t i = 0; i + 1 < clones.size(); i += 2) {
        auto it = e.names.find(clones[i + 1]);
        if (it == e.names.end()) return mbr::fail(mbr::kErrPhoneme, "cannot clone unknown phoneme '" + clones[i + 1] + "'");
        e.names[clones[i]] = it->second;
    }
    if (renames.size() % 2 || clones.size() % 2) return mbr::fail(mbr::kErrArgument, "renaming pairs are incomplete");
    return 0;
}

int write_MBR(char* text) {
    mbr::Engine& e = engine();
    e.error = mbr::kOk;
    if (!e.ready) return mbr::fail(mbr::kErrNotReady, "no database loaded");
    if (e.parser) return mbr::fail(mbr::kErrArgument, "a phone parser is installed; lines are not taken");
    if (!text) return 0;
    int result = 0;
    e.reader.feed(text, [&](const mbr::PhoneLine& line) {
        if (int r = mbr::takeLine(line); r < 0) result = r;
    });
    return result;
}

int flush_MBR(void) {
    mbr::Engine& e = engine();
    e.error = mbr::kOk;
    if (!e.ready) return mbr::fail(mbr::kErrNotReady, "no database loaded");
    int result = 0;
    if (e.parser) {
        result = mbr::pullParser();
    } else {
        e.reader.finish([&](const mbr::PhoneLine& line) {
            if (int r = mbr::takeLine(line); r < 0) result = r;
        });
    }
    if (int r = mbr::flushQueued(); r < 0) result = r;
    return result;
}

int read_MBR(short* buf, int wanted) {
    mbr::Engine& e = engine();
    e.error = mbr::kOk;
    if (!e.ready) return mbr::fail(mbr::kErrNotReady, "no database loaded");
    if (!buf || wanted < 0) return mbr::fail(mbr::kErrArgument, "bad read buffer");
    if (e.parser && e.outRead == e.out.size()) {
        if (int r = mbr::pullParser(); r < 0) return r;
    }
    const std::size_t n = std::min(static_cast<std::size_t>(wanted), e.out.size() - e.outRead);
    std::copy_n(e.out.data() + e.outRead, n, buf);
    e.outRead += n;
    if (e.outRead == e.out.size()) {
        e.out.clear();
        e.outRead = 0;
    }
    return static_cast<int>(n);
}

int readtype_MBR(void* buf, int wanted, int type) {
    if (type == MBR_LIN16) return read_MBR(static_cast<short*>(buf), wanted);
    if (type != MBR_LIN8 && type != MBR_ULAW && type != MBR_ALAW)
        return mbr::fail(mbr::kErrArgument, "unknown sample type " + std::to_string(type));
    if (!buf || wanted < 0) return mbr::fail(mbr::kErrArgument, "bad read buffer");
    auto* bytes = static_cast<std::uint8_t*>(buf);
    short chunk[512];
    int done = 0;
    while (done < wanted) {
        const int got = read_MBR(chunk, std::min(wanted - done, 512));
        if (got < 0) return got;
        if (got == 0) break;
        for (int i = 0; i < got; ++i) {
            const int s = chunk[i];
            bytes[done + i] = type == MBR_LIN8  ? static_cast<std::uint8_t>((s >> 8) + 128)
                              : type == MBR_ULAW ? mbr::toULaw(s)
                                                 : mbr::toALaw(s);
        }
        done += got;
    }
    return done;
}

void close_MBR(void) {
    mbr::Engine& e = engine();
    MbrParser* parser = e.parser;
    const bool noError = e.noError;
    e = mbr::Engine{};
    e.noError = noError;
    if (parser && parser->close) parser->close(parser->self);
}

int reset_MBR(void) {
    mbr::Engine& e = engine();
    e.error = mbr::kOk;
    e.errorText.clear();
    if (e.parser && e.parser->reset) e.parser->reset(e.parser->self);
    mbr::dropPending();
    return 0;
}

int lastError_MBR(void) { return engine().error; }

int lastErrorStr_MBR(char* buf, int size) { return mbr::copyText(engine().errorText, buf, size); }

void setNoError_MBR(int noError) { engine().noError = noError != 0; }

int getNoError_MBR(void) { return engine().noError ? 1 : 0; }

void setFreq_MBR(int freq) {
    mbr::Engine& e = engine();
    e.freq = std::clamp(freq, 4000, 96000);
    e.resampler.setup(static_cast<int>(e.db.rate), e.freq);
}

int getFreq_MBR(void) { return engine().freq; }

void setVolumeRatio_MBR(float ratio) {
    engine().volume = std::isfinite(ratio) ? std::clamp(ratio, 0.0f, 1000.0f) : 1.0f;
}

float getVolumeRatio_MBR(void) { return engine().volume; }

void getVersion_MBR(char* buf, int size) { mbr::copyText(mbr::kVersionText, buf, size); }

int getDatabaseInfo_MBR(char* buf, int size, int index) {
    const mbr::Engine& e = engine();
    if (index < 0 || static_cast<std::size_t>(index) >= e.db.info.size()) return -1;
    return mbr::copyText(e.db.info[static_cast<std::size_t>(index)], buf, size);
}

void setParser_MBR(MbrParser* parser) {
    mbr::Engine& e = engine();
    e.parser = parser;
    e.reader.clear();
}

Phone* init_Phone(char* name, float length) {
    auto* p = static_cast<Phone*>(std::calloc(1, sizeof(Phone)));
    if (!p) return nullptr;
    if (name) std::strncpy(p->name, name, MBR_MAX_NAME - 1);
    p->length = length;
    return p;
}

void reset_Phone(Phone* phone) {
    if (phone) phone->nTargets = 0;
}

void close_Phone(Phone* phone) { std::free(phone); }

void appendf0_Phone(Phone* phone, float pos, float f0) {
    if (!phone || phone->nTargets < 0 || phone->nTargets >= MBR_MAX_F0) return;
    phone->pos[phone->nTargets] = pos;
    phone->f0[phone->nTargets] = f0;
    ++phone->nTargets;
}

}  // extern "C"
