// See resampler.hpp.
#include "platform/sound/resampler.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace platform::audio::detail {
namespace {

constexpr int kPhases = 256;          // table points per source frame
constexpr double kCutoff = 0.44;      // of the source rate: -6 dB
constexpr double kBeta = 7.0;         // Kaiser window: stop band 72 dB down
constexpr int kTableSize = 2 * Resampler::kHalfTaps * kPhases + 2;

double besselI0(double x) {
    double sum = 1, term = 1;
    for (int k = 1; k < 40; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
        if (term < 1e-12 * sum) break;
    }
    return sum;
}

// h(t) at t = i / kPhases - kHalfTaps, zero at both ends and past them.
struct Table {
    std::array<float, kTableSize> h{};
    Table() {
        constexpr double pi = 3.14159265358979323846;
        const double half = Resampler::kHalfTaps, norm = besselI0(kBeta);
        for (int i = 0; i < kTableSize; ++i) {
            const double t = static_cast<double>(i) / kPhases - half;
            const double u = t / half;
            if (std::abs(u) >= 1) continue;
            const double x = 2 * kCutoff * t;
            const double sinc = x == 0 ? 1 : std::sin(pi * x) / (pi * x);
            h[static_cast<std::size_t>(i)] =
                static_cast<float>(2 * kCutoff * sinc * besselI0(kBeta * std::sqrt(1 - u * u)) / norm);
        }
    }
};

const Table& table() {
    static const Table t;
    return t;
}

}  // namespace

Kernel kernelFromEnvironment() {
    const char* k = std::getenv("QUORIL_RESAMPLER");
    return k && std::strcmp(k, "linear") == 0 ? Kernel::linear : Kernel::sinc;
}

void Resampler::setRates(int inRate, int outRate, int channels, Kernel kernel) {
    (void)table();  // built here, on the caller's thread, never in the callback
    kernel_ = kernel;
    in_ = std::max(inRate, 1);
    out_ = std::max(outRate, 1);
    channels_ = channels == 2 ? 2 : 1;
    step_ = static_cast<double>(in_) / out_;
    if (kernel_ == Kernel::linear) {
        scale_ = 1;
        lead_ = 1;
    } else {
        // A source faster than the output: the filter widens with the ratio
        // (its cut-off follows the output's half rate), within the room kept.
        scale_ = std::min(1.0, 1.0 / step_);
        lead_ = static_cast<int>(std::ceil(kHalfTaps / scale_));
        if (2 * lead_ > kMaxTaps) {
            lead_ = kMaxTaps / 2;
            scale_ = static_cast<double>(kHalfTaps) / lead_;
        }
    }
    taps_ = 2 * lead_;
    fadeStep_ = static_cast<float>(1000.0 / (kFadeMs * out_));
    clear();
}

void Resampler::clear() {
    mode_ = Mode::idle;
    mu_ = 0;
    quiet_ = 0;
    write_ = 0;
    gain_ = 1.0f;
    std::fill(left_.begin(), left_.end(), 0.0f);
    std::fill(right_.begin(), right_.end(), 0.0f);
}

void Resampler::fadeOut() {
    if (mode_ == Mode::active) mode_ = Mode::fading;
}

void Resampler::start(float l, float r) {
    clear();
    mode_ = Mode::active;
    push(l, r);
}

void Resampler::push(float l, float r) {
    write_ = write_ + 1 == taps_ ? 0 : write_ + 1;
    const auto w = static_cast<std::size_t>(write_), t = static_cast<std::size_t>(taps_);
    left_[w] = left_[w + t] = l;
    if (channels_ == 2) right_[w] = right_[w + t] = r;
}

void Resampler::render(float& l, float& r) const {
    const auto from = static_cast<std::size_t>(write_ + 1);
    const float* wl = left_.data() + from;
    const float* wr = right_.data() + from;
    double accL = 0, accR = 0;
    if (kernel_ == Kernel::linear) {
        const double c1 = mu_, c0 = 1 - mu_;
        accL = c0 * wl[0] + c1 * wl[1];
        accR = c0 * wr[0] + c1 * wr[1];
    } else {
        // Tap j lies at d = j - lead + 1 - mu source frames from the output
        // time; its weight is scale * h(scale * d), read from the table.
        const float* h = table().h.data();
        const double dp = scale_ * kPhases;
        double p = (scale_ * (1 - lead_ - mu_) + kHalfTaps) * kPhases;
        const double last = kTableSize - 2;
        for (int j = 0; j < taps_; ++j, p += dp) {
            if (p < 0 || p >= last) continue;
            const auto i = static_cast<std::size_t>(p);
            const double f = p - static_cast<double>(i);
            const double c = h[i] + f * (h[i + 1] - h[i]);
            accL += c * wl[j];
            if (channels_ == 2) accR += c * wr[j];
        }
        accL *= scale_;
        accR *= scale_;
    }
    if (channels_ == 1) accR = accL;
    const float g = mode_ == Mode::fading ? gain_ : 1.0f;
    l = static_cast<float>(accL) * g;
    r = static_cast<float>(accR) * g;
}

void Source::setRates(int inRate, int outRate, int channels, Kernel kernel) {
    if (inRate == in_ && outRate == out_ && channels == channels_ && kernel == kernel_) return;
    in_ = inRate;
    out_ = outRate;
    channels_ = channels;
    kernel_ = kernel;
    cut();
}

void Source::cut() {
    if (!r_[a_].idle()) {
        a_ ^= 1;
        r_[a_ ^ 1].fadeOut();
    }
    r_[a_].setRates(in_, out_, channels_, kernel_);
}

void Source::clear() {
    r_[0].clear();
    r_[1].clear();
}

}  // namespace platform::audio::detail
