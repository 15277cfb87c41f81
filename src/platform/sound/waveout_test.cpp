// The test device: it plays nothing. It records the format of every open and
// the bytes of every written block, and finishes blocks (posting their
// notices, as the real device does) when the test asks, or at once with
// autoFinish. Scripted results let a test make opening, preparing or
// unpreparing fail.
#include <atomic>
#include <deque>
#include <mutex>

#include "platform/sound/audio_output.hpp"
#include "platform/sound/waveout.hpp"

namespace platform::waveout {
namespace {

struct TestWave {
    HWaveOut handle = 0;
    HWaveOut lastHandle = 0x7E00;
    Hwnd window = 0;
    std::deque<WaveHdr*> queue;
    std::vector<test::Format> formats;
    std::vector<std::vector<std::uint8_t>> blocks;
    int openAttempts = 0, closes = 0, resets = 0;
    bool autoFinish = false;
    std::deque<MmResult> openResults;
    MmResult unprepareResult = MMSYSERR_NOERROR;
    MmResult prepareResult = MMSYSERR_NOERROR;
    std::function<void(std::size_t)> writeHook;
};

// The device is used from the main thread and from speech engines' threads.
std::recursive_mutex& guard() {
    static std::recursive_mutex m;
    return m;
}

TestWave& tw() {
    static TestWave t;
    return t;
}

void finishFront(TestWave& t) {
    WaveHdr* h = t.queue.front();
    t.queue.pop_front();
    // Another thread (a speech engine feeding the device) may poll the
    // done flag, so the flag is written atomically.
    std::atomic_ref<std::uint32_t> flags(h->flags);
    flags.store((flags.load() & ~WHDR_INQUEUE) | WHDR_DONE);
    postMessage(t.window, MM_WOM_DONE, t.handle, reinterpret_cast<LParam>(h));
}

class TestDevice : public detail::Device {
public:
    MmResult open(HWaveOut* out, const WaveFormat& f, Hwnd window) override {
        std::lock_guard<std::recursive_mutex> g(guard());
        TestWave& t = tw();
        ++t.openAttempts;
        if (!t.openResults.empty()) {
            MmResult r = t.openResults.front();
            t.openResults.pop_front();
            if (r != MMSYSERR_NOERROR) return r;
        }
        if (!audio::detail::formatSupported(f)) return WAVERR_BADFORMAT;
        if (t.handle != 0) return MMSYSERR_ALLOCATED;
        t.handle = ++t.lastHandle;
        t.window = window;
        t.formats.push_back({f.samplesPerSec, f.bitsPerSample, f.channels});
        *out = t.handle;
        return MMSYSERR_NOERROR;
    }

    MmResult prepare(HWaveOut dev, WaveHdr* h) override {
        std::lock_guard<std::recursive_mutex> g(guard());
        if (!valid(dev)) return MMSYSERR_INVALHANDLE;
        if (tw().prepareResult != MMSYSERR_NOERROR) return tw().prepareResult;
        if (h->flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        h->flags |= WHDR_PREPARED;
        return MMSYSERR_NOERROR;
    }

    MmResult unprepare(HWaveOut dev, WaveHdr* h) override {
        std::lock_guard<std::recursive_mutex> g(guard());
        if (!valid(dev)) return MMSYSERR_INVALHANDLE;
        if (tw().unprepareResult != MMSYSERR_NOERROR) return tw().unprepareResult;
        if (h->flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        h->flags &= ~WHDR_PREPARED;
        return MMSYSERR_NOERROR;
    }

    MmResult write(HWaveOut dev, WaveHdr* h) override {
        std::lock_guard<std::recursive_mutex> g(guard());
        TestWave& t = tw();
        if (!valid(dev)) return MMSYSERR_INVALHANDLE;
        if (!(h->flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
        if (h->flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        std::atomic_ref<std::uint32_t>(h->flags).store((h->flags & ~WHDR_DONE) | WHDR_INQUEUE);
        t.blocks.emplace_back(h->data, h->data + (h->data ? h->bufferLength : 0));
        t.queue.push_back(h);
        if (t.autoFinish) finishFront(t);
        if (t.writeHook) {
            auto hook = t.writeHook;  // the hook may replace itself
            hook(t.blocks.size());
        }
        return MMSYSERR_NOERROR;
    }

    MmResult reset(HWaveOut dev) override {
        std::lock_guard<std::recursive_mutex> g(guard());
        TestWave& t = tw();
        if (!valid(dev)) return MMSYSERR_INVALHANDLE;
        ++t.resets;
        while (!t.queue.empty()) finishFront(t);
        return MMSYSERR_NOERROR;
    }

    MmResult close(HWaveOut dev) override {
        std::lock_guard<std::recursive_mutex> g(guard());
        TestWave& t = tw();
        if (!valid(dev)) return MMSYSERR_INVALHANDLE;
        if (!t.queue.empty()) return WAVERR_STILLPLAYING;
        t.handle = 0;
        ++t.closes;
        return MMSYSERR_NOERROR;
    }

private:
    static bool valid(HWaveOut dev) { return dev != 0 && dev == tw().handle; }
};

}  // namespace

namespace detail {
Device& testDevice() {
    static TestDevice d;
    return d;
}
}  // namespace detail

namespace test {

void reset() {
    std::lock_guard<std::recursive_mutex> g(guard());
    HWaveOut last = tw().lastHandle;
    tw() = TestWave{};
    tw().lastHandle = last + 0x100;  // handles of before the reset stay invalid
}

std::vector<Format> openedFormats() {
    std::lock_guard<std::recursive_mutex> g(guard());
    return tw().formats;
}
int openAttempts() {
    std::lock_guard<std::recursive_mutex> g(guard());
    return tw().openAttempts;
}
int closes() {
    std::lock_guard<std::recursive_mutex> g(guard());
    return tw().closes;
}
int resets() {
    std::lock_guard<std::recursive_mutex> g(guard());
    return tw().resets;
}
std::vector<std::vector<std::uint8_t>> blocks() {
    std::lock_guard<std::recursive_mutex> g(guard());
    return tw().blocks;
}
std::size_t pending() {
    std::lock_guard<std::recursive_mutex> g(guard());
    return tw().queue.size();
}

void finishBlocks(int n) {
    std::lock_guard<std::recursive_mutex> g(guard());
    TestWave& t = tw();
    while (!t.queue.empty() && n != 0) {
        finishFront(t);
        if (n > 0) --n;
    }
}

void setAutoFinish(bool on) {
    std::lock_guard<std::recursive_mutex> g(guard());
    tw().autoFinish = on;
}

void scriptOpenResults(std::vector<MmResult> results) {
    std::lock_guard<std::recursive_mutex> g(guard());
    tw().openResults.assign(results.begin(), results.end());
}

void scriptUnprepareResult(MmResult result) {
    std::lock_guard<std::recursive_mutex> g(guard());
    tw().unprepareResult = result;
}
void scriptPrepareResult(MmResult result) {
    std::lock_guard<std::recursive_mutex> g(guard());
    tw().prepareResult = result;
}
void setWriteHook(std::function<void(std::size_t)> hook) {
    std::lock_guard<std::recursive_mutex> g(guard());
    tw().writeHook = std::move(hook);
}

}  // namespace test
}  // namespace platform::waveout
