// The band-limited resampler between each sound source and the output.
//
// A source at rate r reaches an output at rate R by convolution with a
// windowed sinc: each output frame at source time t is the sum of the
// source frames k near t weighted by h(k - t), where h is a low-pass whose
// stop band starts at the source's half rate (r/2), so that no image of
// any source frequency is left above r/2: images lie at least 70 dB below
// what made them. h is sinc(2 fc t) under a Kaiser window (beta 7) that
// reaches 20 source frames either side, with fc = 0.44 r; the response is
// within 1 dB up to 0.41 r (4.5 kHz at 11025 Hz). When the source is faster
// than the output, the filter is widened by r/R so that its stop band starts
// at the output's half rate instead (no aliases).
//
// The output runs 20 source frames behind the newest frame taken (1.8 ms at
// 11025 Hz, 1.25 ms at 16000, 0.9 ms at 22050): that is the delay the filter
// adds. h is tabulated at 256 points per source frame and interpolated.
//
// The resampler keeps the last source frames it took, so successive pulls
// join without a seam whatever sizes the source's blocks have. A source that
// runs dry is continued with silence until the filter has rung out, then
// the resampler idles; frames that come again start afresh, exactly as if
// the silence had been there. A cut fades what is sounding to silence
// within 3 ms instead of stopping it on a step.
//
// Everything here is fixed storage: setting rates, pulling and cutting never
// allocate, so they may run in the audio callback.
#pragma once

#include <array>
#include <cstddef>

namespace platform::audio::detail {

// The kernel: the band-limited one, or linear interpolation (a two-frame
// triangle) for comparison (QUORIL_RESAMPLER=linear).
enum class Kernel { sinc, linear };
Kernel kernelFromEnvironment();

class Resampler {
public:
    static constexpr int kHalfTaps = 20;    // source frames either side of the centre
    static constexpr int kMaxTaps = 256;    // the widest filter (fast source, slow output)
    static constexpr double kFadeMs = 3.0;  // a cut fades out over this long

    // Source and output rates (Hz), 1 or 2 channels. Clears the state.
    void setRates(int inRate, int outRate, int channels, Kernel kernel = Kernel::sinc);
    int inRate() const { return in_; }
    int channels() const { return channels_; }
    Kernel kernel() const { return kernel_; }

    // Back to idle at once, the kept frames forgotten.
    void clear();
    // Takes no more frames: what is sounding fades to silence within kFadeMs.
    void fadeOut();
    bool idle() const { return mode_ == Mode::idle; }

    // Output frames from taking a source frame to its centre going out.
    double latencyFrames() const { return lead_ / step_; }
    // While mix runs: the index (within its call) of the output frame
    // being made; the fetch may read it.
    int position() const { return at_; }

    // Adds `frames` interleaved stereo output frames into out. fetch(l, r)
    // answers the next source frame (mono: l and r alike), or false when
    // there is none for now.
    template <class Fetch>
    void mix(float* out, int frames, Fetch&& fetch) {
        for (at_ = 0; at_ < frames; ++at_) {
            if (mode_ == Mode::idle) {
                float l, r;
                if (!fetch(l, r)) break;
                start(l, r);
            }
            float yl, yr;
            render(yl, yr);
            out[2 * at_] += yl;
            out[2 * at_ + 1] += yr;
            if (mode_ == Mode::fading && (gain_ -= fadeStep_) <= 0.0f) {
                clear();
                break;
            }
            for (mu_ += step_; mu_ >= 1.0; mu_ -= 1.0) {
                float l = 0, r = 0;
                if (mode_ == Mode::active && fetch(l, r)) {
                    quiet_ = 0;
                } else {
                    l = r = 0;
                    ++quiet_;
                }
                push(l, r);
            }
            if (quiet_ >= taps_) {  // rung out: every kept frame is silence
                clear();
                break;
            }
        }
        at_ = 0;
    }

private:
    enum class Mode { idle, active, fading };
    void start(float l, float r);
    void push(float l, float r);
    void render(float& l, float& r) const;

    Kernel kernel_ = Kernel::sinc;
    int in_ = 0, out_ = 0, channels_ = 1;
    int taps_ = 2;        // frames the filter spans
    int lead_ = 1;        // frames the newest lies ahead of the output
    double step_ = 1.0;   // source frames per output frame
    double scale_ = 1.0;  // filter narrowing (< 1 when the source is faster)
    float fadeStep_ = 0;
    Mode mode_ = Mode::idle;
    double mu_ = 0;  // output time past frame (newest - lead), 0..1
    int quiet_ = 0;  // silent frames pushed since the last real one
    int write_ = 0;  // where the newest frame went (and write_ + taps_)
    float gain_ = 1.0f;
    int at_ = 0;
    std::array<float, 2 * kMaxTaps> left_{}, right_{};
};

// One sound source's resampling: the resampler that plays it and a second
// one in which a cut sound fades out, so that what follows a cut starts at
// once, not after the fade.
class Source {
public:
    // A change of rates or channels cuts what is sounding; the same ones
    // keep it (so blocks of one format join without a seam).
    void setRates(int inRate, int outRate, int channels, Kernel kernel);
    // What is sounding fades out; the next frames start afresh.
    void cut();
    // Forgets everything at once (nothing is sounding any more).
    void clear();
    bool idle() const { return r_[0].idle() && r_[1].idle(); }
    const Resampler& playing() const { return r_[a_]; }

    template <class Fetch>
    void mix(float* out, int frames, Fetch&& fetch) {
        Resampler& tail = r_[a_ ^ 1];
        if (!tail.idle()) tail.mix(out, frames, [](float&, float&) { return false; });
        r_[a_].mix(out, frames, fetch);
    }

private:
    Resampler r_[2];
    int a_ = 0;
    int in_ = 0, out_ = 0, channels_ = 0;
    Kernel kernel_ = Kernel::sinc;
};

}  // namespace platform::audio::detail
