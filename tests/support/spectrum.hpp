// Spectra of sound for the tests: how far the energy above a band edge lies
// below the energy under it, summed over Hann-windowed stretches (half
// overlapping).
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace support {

// In-place radix-2 FFT; the size must be a power of two.
inline void fft(std::vector<std::complex<double>>& a) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w = std::polar(1.0, -2 * M_PI / static_cast<double>(len));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> u = 1;
            for (std::size_t k = 0; k < len / 2; ++k, u *= w) {
                const std::complex<double> x = a[i + k], y = a[i + k + len / 2] * u;
                a[i + k] = x + y;
                a[i + k + len / 2] = x - y;
            }
        }
    }
}

struct BandLevel {
    double db = 0;            // energy above the edge against that below it
    std::size_t windows = 0;  // stretches measured
    std::vector<double> each;  // the same, stretch by stretch, in dB

    // The level that all but the loudest fraction of the stretches stay under.
    double percentile(double fraction) const {
        if (each.empty()) return 0;
        std::vector<double> sorted = each;
        std::sort(sorted.begin(), sorted.end());
        return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(fraction * static_cast<double>(sorted.size())))];
    }
};

// Energy above edge x 1.016 against the energy from 50 Hz up to the edge,
// over stretches of n samples (a power of two). With skipDropouts,
// stretches holding 8 or more exact zeros in a row (a sound server that
// fell behind leaves them) are left out.
inline BandLevel levelAbove(const std::vector<double>& x, int rate, double edge, bool skipDropouts = false,
                            std::size_t n = 8192) {
    std::vector<double> window(n);
    for (std::size_t i = 0; i < n; ++i) window[i] = 0.5 - 0.5 * std::cos(2 * M_PI * static_cast<double>(i) / n);
    double below = 0, above = 0;
    BandLevel out;
    std::vector<std::complex<double>> a(n);
    for (std::size_t at = 0; at + n <= x.size(); at += n / 2) {
        if (skipDropouts) {
            std::size_t run = 0, longest = 0;
            for (std::size_t i = at; i < at + n; ++i) {
                run = x[i] == 0 ? run + 1 : 0;
                longest = std::max(longest, run);
            }
            if (longest >= 8) continue;
        }
        for (std::size_t i = 0; i < n; ++i) a[i] = x[at + i] * window[i];
        fft(a);
        double up = 0, down = 0;
        for (std::size_t k = 1; k < n / 2; ++k) {
            const double f = static_cast<double>(k) * rate / n, p = std::norm(a[k]);
            if (f > edge * 1.016) up += p;
            else if (f > 50 && f < edge) down += p;
        }
        above += up;
        below += down;
        if (down > 0) out.each.push_back(10 * std::log10(std::max(up, 1e-30) / down));
        ++out.windows;
    }
    out.db = below > 0 ? 10 * std::log10(std::max(above, 1e-30) / below) : 0;
    return out;
}

// An exponential sine sweep from f0 to f1 Hz, amplitude 0.5.
inline std::vector<double> sweep(int rate, double seconds, double f0, double f1) {
    const std::size_t n = static_cast<std::size_t>(seconds * rate);
    const double k = std::log(f1 / f0) / seconds;
    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        x[i] = 0.5 * std::sin(2 * M_PI * f0 * (std::exp(k * t) - 1) / k);
    }
    return x;
}

}  // namespace support
