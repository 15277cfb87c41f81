// The wave-out device on the shared SDL output. Written blocks wait in a
// queue; the audio callback pulls their frames in order through one
// resampler, so consecutive blocks join without a seam, and once it has
// taken a block's last frame it marks the block done and posts MM_WOM_DONE
// to the window named at opening. One handle may be open at a time; a second
// open answers MMSYSERR_ALLOCATED. Closing lets the resampler ring out; a
// reset or a change of format fades what is sounding out within 3 ms.
#include <algorithm>
#include <atomic>
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
    audio::detail::Source source;
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

void pull(float* mix, int frames, int outputRate, std::uint64_t startNanos) {
    SdlWave& w = wave();
    if (outputRate <= 0 || (w.queue.empty() && w.source.idle())) return;
    const std::size_t fb = static_cast<std::size_t>(std::max(w.format.frameBytes(), 1));
    const audio::detail::Resampler& playing = w.source.playing();
    w.source.mix(mix, frames, [&](float& l, float& r) {
        while (!w.queue.empty()) {
            WaveHdr* h = w.queue.front();
            std::size_t usable = h->data ? h->bufferLength / fb * fb : 0;
            if (w.pos + fb <= usable) {
                // The frame taken now goes out once the filter has reached it.
                if (w.pos == 0)
                    noteBlockStart(startNanos + static_cast<std::uint64_t>(
                                                    (playing.position() + playing.latencyFrames()) * 1e9 / outputRate));
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
        // The output opens (SDL calls) before the output is locked.
        if (!audio::detail::openOutput()) return MMSYSERR_NODRIVER;
        const int rate = audio::detail::outputRate();
        const audio::detail::Kernel kernel = audio::detail::kernelFromEnvironment();
        // The test for a free device and the taking of it are one step:
        // two threads opening at once get one handle between them.
        Guard g;
        SdlWave& w = wave();
        if (w.handle != 0) return MMSYSERR_ALLOCATED;
        w.handle = ++w.lastHandle;
        w.window = window;
        w.format = {static_cast<int>(f.samplesPerSec), f.bitsPerSample, f.channels};
        w.queue.clear();
        w.pos = 0;
        // The same format carries on from the sound before, still ringing
        // out; another one fades it.
        w.source.setRates(w.format.rate, rate, w.format.channels, kernel);
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
        w.source.cut();
        return MMSYSERR_NOERROR;
    }

    MmResult close(HWaveOut dev) override {
        Guard g;
        if (!valid(dev)) return MMSYSERR_INVALHANDLE;
        SdlWave& w = wave();
        if (!w.queue.empty()) return WAVERR_STILLPLAYING;
        w.handle = 0;
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

void noteBlockStart(std::uint64_t nanos) { wave().lastStart.store(nanos); }

}  // namespace platform::waveout::detail

namespace platform::waveout {

std::uint64_t lastBlockStartNanos() { return detail::wave().lastStart.load(); }

}  // namespace platform::waveout
