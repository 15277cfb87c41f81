// See synth.hpp.
#include "synth.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mbr {
namespace {

constexpr int kWindowSteps = 1024;

// Half a Hann window, from its peak (0) to its foot (kWindowSteps).
const std::array<float, kWindowSteps + 1>& halfHann() {
    static const auto table = [] {
        std::array<float, kWindowSteps + 1> t{};
        for (int i = 0; i <= kWindowSteps; ++i)
            t[static_cast<std::size_t>(i)] =
                static_cast<float>(0.5 * (1.0 + std::cos(std::numbers::pi * i / kWindowSteps)));
        return t;
    }();
    return table;
}

std::uint32_t markPos(const Database& db, const Diphone& d, std::uint32_t k) {
    return db.marks[d.firstMark + k] & ~kVoicedBit;
}

// The index of the diphone's mark nearest to source position s.
std::uint32_t nearestMark(const Database& db, const Diphone& d, double s) {
    std::uint32_t lo = 0, hi = d.markCount;  // first mark at or after s, by bisection
    while (lo < hi) {
        const std::uint32_t mid = (lo + hi) / 2;
        if (markPos(db, d, mid) < s) lo = mid + 1; else hi = mid;
    }
    if (lo == d.markCount) return lo - 1;
    if (lo > 0 && s - markPos(db, d, lo - 1) < markPos(db, d, lo) - s) return lo - 1;
    return lo;
}

// The index of the diphone's first mark after source position s
// (markCount when there is none).
std::uint32_t firstMarkAfter(const Database& db, const Diphone& d, double s) {
    std::uint32_t lo = 0, hi = d.markCount;
    while (lo < hi) {
        const std::uint32_t mid = (lo + hi) / 2;
        if (markPos(db, d, mid) <= s) lo = mid + 1; else hi = mid;
    }
    return lo;
}

// Adds dst[j] += window(x) * src[j] (src[-j] played backwards) for j from
// j to end - 1, the window's position x moving by dx (1 or -1) a sample:
// hann[x * step], cut toward zero. The product of a window step (a float)
// and a sample is exact as a double, so taking it in float rounds it once,
// as the double's conversion did; x runs as an exact double. With SSE2 four
// samples at a time, each by the same steps.
template <bool reverse>
void addHalf(float* dst, const std::int16_t* src, const float* hann, long j, long end, double x, double dx,
             double step) {
#if defined(__SSE2__)
    const __m128d scale = _mm_set1_pd(step), advance = _mm_set1_pd(4 * dx);
    __m128d x01 = _mm_set_pd(x + dx, x), x23 = _mm_set_pd(x + 3 * dx, x + 2 * dx);
    for (; j + 4 <= end; j += 4, x += 4 * dx) {
        alignas(16) std::int32_t k[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(k),
                        _mm_unpacklo_epi64(_mm_cvttpd_epi32(_mm_mul_pd(x01, scale)),
                                           _mm_cvttpd_epi32(_mm_mul_pd(x23, scale))));
        const __m128 w = _mm_setr_ps(hann[k[0]], hann[k[1]], hann[k[2]], hann[k[3]]);
        __m128i s16;
        if constexpr (reverse) {
            s16 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src - j - 3));
            s16 = _mm_shufflelo_epi16(s16, _MM_SHUFFLE(0, 1, 2, 3));
        } else {
            s16 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + j));
        }
        const __m128 v = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(s16, s16), 16));
        _mm_storeu_ps(dst + j, _mm_add_ps(_mm_loadu_ps(dst + j), _mm_mul_ps(w, v)));
        x01 = _mm_add_pd(x01, advance);
        x23 = _mm_add_pd(x23, advance);
    }
#endif
    for (; j < end; ++j, x += dx)
        dst[j] += hann[static_cast<long>(x * step)] * static_cast<float>(src[reverse ? -j : j]);
}

// Adds one grain into dst[from..to]: the left half (j < 0) shaped by
// stepL, the right by stepR.
template <bool reverse>
void addGrain(float* dst, const std::int16_t* src, const float* hann, long from, long to, double stepL, double stepR) {
    if (from > to) return;
    const long split = std::clamp(0L, from, to + 1);
    addHalf<reverse>(dst, src, hann, from, split, static_cast<double>(-from), -1, stepL);
    addHalf<reverse>(dst, src, hann, split, to + 1, static_cast<double>(split), 1, stepR);
}

}  // namespace

void synthesise(const Database& db, const std::vector<SynthPhone>& phones, std::vector<float>& out,
                SynthScratch& scr) {
    const double perMs = db.rate / 1000.0;
    // Phone edges in output samples, rounded from the running total so the
    // whole is exactly the sum of the durations.
    double totalMs = 0;
    const int silence = db.phoneme("_");
    scr.parts.clear();
    scr.pitchTime.clear();
    scr.pitchHz.clear();
    for (const SynthPhone& p : phones) {
        const double start = std::round(totalMs * perMs);
        totalMs += p.durationMs;
        const double end = std::round(totalMs * perMs);
        for (const Target& t : p.targets) {
            scr.pitchTime.push_back(start + (end - start) * t.pos / 100.0);
            scr.pitchHz.push_back(std::clamp(t.f0, 40.0, 600.0));
        }
        if (end <= start) continue;
        const Diphone* in = p.enter >= 0 ? &db.diphones[static_cast<std::size_t>(p.enter)] : nullptr;
        const Diphone* lv = p.leave >= 0 ? &db.diphones[static_cast<std::size_t>(p.leave)] : nullptr;
        const double inLen = in ? in->cutEnd - in->boundary : 0;
        const double lvLen = lv ? lv->boundary - lv->cutStart : 0;
        const double split = inLen + lvLen > 0 ? start + (end - start) * inLen / (inLen + lvLen) : end;
        // In a silence phone, the sound that leads in keeps its pace from
        // the start, the sound that leads out keeps it up to the end.
        const int inAnchor = in && silence >= 0 && in->right == static_cast<std::uint32_t>(silence) ? 1 : 0;
        const int lvAnchor = lv && silence >= 0 && lv->left == static_cast<std::uint32_t>(silence) ? -1 : 0;
        if (split > start)
            scr.parts.push_back(
                {start, split, in ? double(in->boundary) : 0, in ? double(in->cutEnd) : 0, p.enter, inAnchor});
        if (end > split)
            scr.parts.push_back(
                {split, end, lv ? double(lv->cutStart) : 0, lv ? double(lv->boundary) : 0, p.leave, lvAnchor});
    }
    const std::size_t n = static_cast<std::size_t>(std::round(totalMs * perMs));
    out.assign(n, 0.0f);
    if (n == 0 || scr.parts.empty()) return;

    // Targets come in phone order, but a position of 100 followed by 0 in the
    // next phone may tie; keep the curve's times non-decreasing.
    for (std::size_t i = 1; i < scr.pitchTime.size(); ++i)
        scr.pitchTime[i] = std::max(scr.pitchTime[i], scr.pitchTime[i - 1]);
    std::size_t pc = 0;  // pitch cursor: the first point after t
    auto pitchAt = [&](double t) {
        if (scr.pitchTime.empty()) return db.defaultF0;
        while (pc < scr.pitchTime.size() && scr.pitchTime[pc] <= t) ++pc;
        if (pc == 0) return scr.pitchHz.front();
        if (pc == scr.pitchTime.size()) return scr.pitchHz.back();
        const double t0 = scr.pitchTime[pc - 1], t1 = scr.pitchTime[pc];
        const double f0 = scr.pitchHz[pc - 1], f1 = scr.pitchHz[pc];
        return t1 > t0 ? f0 + (f1 - f0) * (t - t0) / (t1 - t0) : f1;
    };

    const auto& hann = halfHann();
    std::size_t pi = 0;  // part cursor
    int lastDiphone = -1;
    std::uint32_t lastMark = 0;
    bool reversedLast = false;
    double lastCentre = -1e9;  // where the last grain went
    double t = 0;
    while (t < static_cast<double>(n)) {
        while (pi + 1 < scr.parts.size() && t >= scr.parts[pi].outEnd) ++pi;
        const SynthScratch::Part& part = scr.parts[pi];
        double period = db.rate / pitchAt(t);
        if (part.diphone < 0) {  // silence: nothing to add, keep the marks going
            t += period;
            lastDiphone = -1;
            continue;
        }
        const Diphone& d = db.diphones[static_cast<std::size_t>(part.diphone)];
        const double span = part.outEnd - part.outStart, srcSpan = part.srcEnd - part.srcStart;
        // Paced: the recording plays as it is, one grain at each recorded
        // mark of the part, the first one after the last grain made (so the
        // pitch marks of the phone before leave no gap), then silence.
        const bool paced = part.anchor != 0 && span > srcSpan;
        std::uint32_t k;
        if (paced) {
            const double shift = part.anchor > 0 ? part.outStart - part.srcStart : part.outEnd - part.srcEnd;
            k = firstMarkAfter(db, d, std::max(lastCentre - shift, part.srcStart - 0.5));
            if (k == d.markCount || markPos(db, d, k) > part.srcEnd || markPos(db, d, k) + shift >= part.outEnd) {
                t = std::max(t + 1, part.outEnd);
                lastDiphone = -1;
                continue;
            }
            t = markPos(db, d, k) + shift;
        } else {
            k = nearestMark(db, d, part.srcStart + (span > 0 ? (t - part.outStart) * srcSpan / span : 0));
        }
        const std::uint32_t m = markPos(db, d, k);
        const bool voiced = (db.marks[d.firstMark + k] & kVoicedBit) != 0;
        const double before = k > 0 ? m - markPos(db, d, k - 1) : db.period;
        const double after = k + 1 < d.markCount ? markPos(db, d, k + 1) - m : db.period;
        double wl = before, wr = after;
        if (paced) {
            period = after;
        } else if (voiced) {
            wl = std::min(wl, period);
            wr = std::min(wr, period);
        } else {
            period = after;
        }
        wl = std::min(wl, static_cast<double>(m));
        wr = std::min(wr, static_cast<double>(d.count - 1 - m));
        const bool reverse = !voiced && !paced && part.diphone == lastDiphone && k == lastMark && !reversedLast;
        if (reverse) wl = wr = std::min(wl, wr);
        reversedLast = reverse;
        lastDiphone = part.diphone;
        lastMark = k;

        const long centre = std::lround(t);
        lastCentre = t;
        const long from = std::max(-static_cast<long>(wl) + 1, -centre);
        const long to = std::min(static_cast<long>(wr) - 1, static_cast<long>(n) - 1 - centre);
        const std::int16_t* src = db.samples.data() + d.first + m;
        const double stepL = wl > 0 ? kWindowSteps / wl : 0, stepR = wr > 0 ? kWindowSteps / wr : 0;
        float* dst = out.data() + centre;
        if (reverse) addGrain<true>(dst, src, hann.data(), from, to, stepL, stepR);
        else addGrain<false>(dst, src, hann.data(), from, to, stepL, stepR);
        t += std::max(period, 2.0);
    }
}

}  // namespace mbr
