// The wave-out device on the shared SDL output. Written blocks wait in a
// queue; the audio callback pulls their frames in order through a resampler
// and, once a block's last frame has gone to the output, marks it done and
// posts MM_WOM_DONE to the window named at opening. One handle may be open
// at a time; a second open answers MMSYSERR_ALLOCATED.
#include <atomic>
#include <chrono>
#include <deque>

#include "platform/sound/audio_output.hpp"
#include "platform/sound/waveout.hpp"

namespace platform::waveout::detail {
namespace {

using audio::detail::PcmFormat;

struct SdlWave {
    HWaveOut handle = 0;
    HWaveOut lastHandle = 0x5D00;
    Hwnd window = 0;
    PcmFormat format;
    std::deque<WaveHdr*> queue;
    std::size_t pos = 0;  // byte offset in the front block
    audio::detail::Resampler resampler;
    std::atomic<std::uint64_t> lastStart{0};
};

SdlWave& wave() {
    static SdlWave* w = new SdlWave;  // the audio thread may use it until the very end
    return *w;
}

void finishFront(SdlWave& w) {
    WaveHdr* h = w.queue.front();
    w.queue.pop_front();
    w.pos = 0;
    // Another thread (a speech engine feeding the device) may poll the
    // done flag, so the flag is written atomically.
    std::atomic_ref<std::uint32_t> flags(h->flags);
    flags.store((flags.load() & ~WHDR_INQUEUE) | WHDR_DONE);
    postMessage(w.window, MM_WOM_DONE, w.handle, reinterpret_cast<LParam>(h));
}

void pull(float* mix, int frames, int outputRate) {
    SdlWave& w = wave();
    if (w.handle == 0 || outputRate <= 0) return;
    std::size_t fb = static_cast<std::size_t>(w.format.frameBytes());
    double step = static_cast<double>(w.format.rate) / outputRate;
    w.resampler.mix(mix, frames, step, [&](float& l, float& r) {
        while (!w.queue.empty()) {
            WaveHdr* h = w.queue.front();
            std::size_t usable = h->data ? h->bufferLength / fb * fb : 0;
            if (w.pos + fb <= usable) {
                if (w.pos == 0) noteBlockStart();
                audio::detail::decodeFrame(h->data + w.pos, w.format, l, r);
                w.pos += fb;
                return true;
            }
            finishFront(w);
        }
        return false;
    });
}

class SdlDevice : public Device {
public:
    MmResult open(HWaveOut* out, const WaveFormat& f, Hwnd window) override {
        if (!audio::detail::formatSupported(f)) return WAVERR_BADFORMAT;
        // The test for a free device and the taking of it are one step:
        // two threads opening at once get one handle between them.
        Guard g;
        SdlWave& w = wave();
        if (w.handle != 0) return MMSYSERR_ALLOCATED;
        if (!audio::detail::openOutput()) return MMSYSERR_NODRIVER;
        w.handle = ++w.lastHandle;
        w.window = window;
        w.format = {static_cast<int>(f.samplesPerSec), f.bitsPerSample, f.channels};
        w.queue.clear();
        w.pos = 0;
        w.resampler.reset();
        audio::detail::setWavePull(pull);
        *out = w.handle;
        return MMSYSERR_NOERROR;
    }

    MmResult prepare(HWaveOut dev, WaveHdr* h) override {
        Guard g;
        if (!valid(dev)) return MMSYSERR_INVALHANDLE;
        if (h->flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        h->flags |= WHDR_PREPARED;
        return MMSYSERR_NOERROR;
    }

    MmResult unprepare(HWaveOut dev, WaveHdr* h) override {
        Guard g;
        if (!valid(dev)) return MMSYSERR_INVALHANDLE;
        if (h->flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        h->flags &= ~WHDR_PREPARED;
        return MMSYSERR_NOERROR;
    }

    MmResult write(HWaveOut dev, WaveHdr* h) override {
        Guard g;
        if (!valid(dev)) return MMSYSERR_INVALHANDLE;
        if (!(h->flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
        if (h->flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        std::atomic_ref<std::uint32_t>(h->flags).store((h->flags & ~WHDR_DONE) | WHDR_INQUEUE);
        wave().queue.push_back(h);
        return MMSYSERR_NOERROR;
    }

    MmResult reset(HWaveOut dev) override {
        Guard g;
        if (!valid(dev)) return MMSYSERR_INVALHANDLE;
        SdlWave& w = wave();
        while (!w.queue.empty()) finishFront(w);
        w.resampler.reset();
        return MMSYSERR_NOERROR;
    }

    MmResult close(HWaveOut dev) override {
        Guard g;
        if (!valid(dev)) return MMSYSERR_INVALHANDLE;
        SdlWave& w = wave();
        if (!w.queue.empty()) return WAVERR_STILLPLAYING;
        w.handle = 0;
        w.resampler.reset();
        return MMSYSERR_NOERROR;
    }

private:
    struct Guard {
        Guard() { audio::detail::lockOutput(); }
        ~Guard() { audio::detail::unlockOutput(); }
    };
    static bool valid(HWaveOut dev) { return dev != 0 && dev == wave().handle; }
};

}  // namespace

Device& sdlDevice() {
    static SdlDevice d;
    return d;
}

void noteBlockStart() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    wave().lastStart.store(
        static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
}

}  // namespace platform::waveout::detail

namespace platform::waveout {

std::uint64_t lastBlockStartNanos() { return detail::wave().lastStart.load(); }

}  // namespace platform::waveout
