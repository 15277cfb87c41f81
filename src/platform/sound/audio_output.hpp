// Inside the platform layer: the shared SDL audio output and the pieces the
// sound sources share. The output runs at the device's rate as stereo
// floats; every source (the wave-out blocks, the looping sound, the beep)
// is decoded and resampled by linear interpolation into it, and the audio
// callback adds them up. Sources are changed, from whatever thread, only
// with the output locked; their pulls run on the audio thread with it
// locked. Opening the output takes the same lock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/sound/waveout.hpp"

namespace platform::audio::detail {

struct PcmFormat {
    int rate = 0, bits = 0, channels = 0;
    int frameBytes() const { return (bits / 8) * channels; }
};

// Whether the wave-out devices accept the format.
inline bool formatSupported(const WaveFormat& f) {
    return f.formatTag == WAVE_FORMAT_PCM && (f.bitsPerSample == 8 || f.bitsPerSample == 16) &&
           (f.channels == 1 || f.channels == 2) && f.samplesPerSec >= 1000 &&
           f.samplesPerSec <= 192000;
}

// One frame at p as left and right in -1..1 (mono is copied to both).
inline void decodeFrame(const std::uint8_t* p, const PcmFormat& f, float& l, float& r) {
    if (f.bits == 8) {
        l = (static_cast<int>(p[0]) - 128) / 128.0f;
        r = f.channels == 2 ? (static_cast<int>(p[1]) - 128) / 128.0f : l;
    } else {
        auto s16 = [](const std::uint8_t* q) {
            return static_cast<std::int16_t>(static_cast<std::uint16_t>(q[0] | (q[1] << 8)));
        };
        l = s16(p) / 32768.0f;
        r = f.channels == 2 ? s16(p + 2) / 32768.0f : l;
    }
}

// Linear-interpolation resampler over a pulled stream of source frames.
// fetch(l, r) answers the next source frame, or false when there is none
// for now; the stream then fades to silence within one source frame and
// starts afresh when frames come again.
class Resampler {
public:
    void reset() { active_ = false; }

    // Adds frames into mix (interleaved stereo); step = source rate / output rate.
    template <class Fetch>
    void mix(float* mix, int frames, double step, Fetch&& fetch) {
        if (active_ && !haveB_) haveB_ = fetch(bl_, br_);
        for (int i = 0; i < frames; ++i) {
            if (!active_) {
                if (!fetch(al_, ar_)) return;
                active_ = true;
                frac_ = 0;
                haveB_ = fetch(bl_, br_);
            }
            float l = haveB_ ? bl_ : 0.0f, r = haveB_ ? br_ : 0.0f;
            mix[2 * i] += al_ + (l - al_) * static_cast<float>(frac_);
            mix[2 * i + 1] += ar_ + (r - ar_) * static_cast<float>(frac_);
            frac_ += step;
            while (frac_ >= 1.0) {
                frac_ -= 1.0;
                if (!haveB_ && !(haveB_ = fetch(bl_, br_))) {
                    active_ = false;
                    break;
                }
                al_ = bl_;
                ar_ = br_;
                haveB_ = fetch(bl_, br_);
            }
        }
    }

private:
    bool active_ = false, haveB_ = false;
    double frac_ = 0;
    float al_ = 0, ar_ = 0, bl_ = 0, br_ = 0;
};

// Opens the shared output if it is not open (main thread). False when there
// is no usable sound output; a failed attempt is not repeated for 2 s.
bool openOutput();
bool outputOpen();
int outputRate();
int outputFrames();
void lockOutput();
void unlockOutput();

// The wave-out device's pull: adds `frames` output frames into mix. Runs on
// the audio thread with the output locked. Null removes it.
using Pull = void (*)(float* mix, int frames, int outputRate);
void setWavePull(Pull pull);

}  // namespace platform::audio::detail

namespace platform::waveout::detail {

// What each wave-out device provides; waveout.cpp forwards the public calls.
class Device {
public:
    virtual ~Device() = default;
    virtual MmResult open(HWaveOut* device, const WaveFormat& format, Hwnd window) = 0;
    virtual MmResult prepare(HWaveOut device, WaveHdr* header) = 0;
    virtual MmResult unprepare(HWaveOut device, WaveHdr* header) = 0;
    virtual MmResult write(HWaveOut device, WaveHdr* header) = 0;
    virtual MmResult reset(HWaveOut device) = 0;
    virtual MmResult close(HWaveOut device) = 0;
};

Device& sdlDevice();
Device& testDevice();
Device& fileDevice();
bool fileDeviceOpen();  // useFileDevice named a file not yet finished
void noteBlockStart();  // the SDL device: a block's first sample went out

}  // namespace platform::waveout::detail
