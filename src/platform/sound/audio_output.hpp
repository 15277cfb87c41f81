// Inside the platform layer: the shared SDL audio output and the pieces the
// sound sources share. The output runs at the device's rate as stereo
// floats; every source (the wave-out blocks, the looping sound) is decoded
// and band-limited to it by a resampler of its own (resampler.hpp), the
// beep is made at the output's rate, and the audio callback adds them up.
// Sources are changed, from whatever thread, only with the output locked;
// their pulls run on the audio thread with it locked, inside SDL's own
// device lock. So no SDL audio call is ever made with the output locked:
// opening is serialised by a lock of its own, which the callback never
// takes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/sound/resampler.hpp"
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

// Opens the shared output if it is not open. False when there is no usable
// sound output; a failed attempt is not repeated for 2 s. Never called with
// the output locked.
bool openOutput();
bool outputOpen();
int outputRate();
int outputFrames();
void lockOutput();
void unlockOutput();

// The wave-out device's pull: adds `frames` output frames into mix. Runs on
// the audio thread with the output locked; startNanos is the steady-clock
// time the callback began (when the buffer's first frame was made). Null
// removes it.
using Pull = void (*)(float* mix, int frames, int outputRate, std::uint64_t startNanos);
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
// The SDL device: the first sample of a block goes out at this steady-clock
// time (nanoseconds).
void noteBlockStart(std::uint64_t nanos);

}  // namespace platform::waveout::detail
