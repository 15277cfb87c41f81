// The file device: every block written to it goes at once to a WAV file,
// and comes back finished at once, so a tool can keep what the program
// would have played without playing it and without holding it in memory.
//
// The file takes the format of the first open. A block of another format
// (a voice at 16000 Hz after the console's 11025 Hz sounds) is converted to
// it: mixed to the file's channels, resampled by linear interpolation and
// written in the file's bits. A seekable file gets its sizes in the header
// when it is closed; a pipe keeps 0xFFFFFFFF there, which streaming readers
// take as "up to the end".
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sound/audio_output.hpp"
#include "platform/sound/waveout.hpp"

namespace platform::waveout {
namespace {

using audio::detail::PcmFormat;

constexpr std::size_t kHeaderBytes = 44;
constexpr std::uint32_t kUnknownSize = 0xFFFFFFFFu;

struct FileWave {
    std::FILE* file = nullptr;
    bool ownsFile = false;  // standard output is not closed
    bool seekable = false;
    bool failed = false;
    PcmFormat fileFormat;    // rate 0 until the first open
    PcmFormat blockFormat;   // the format of the open handle
    std::uint64_t dataBytes = 0;
    HWaveOut handle = 0;
    HWaveOut lastHandle = 0x5E00;
    Hwnd window = 0;
    double phase = 0;        // resampling position between two source frames
    bool haveLast = false;
    float lastFrame[2] = {0, 0};
    std::vector<std::uint8_t> converted;
};

std::recursive_mutex& guard() {
    static std::recursive_mutex m;
    return m;
}

FileWave& fw() {
    static FileWave f;
    return f;
}

void put(std::uint8_t* p, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void header(std::uint8_t* h, const PcmFormat& f, std::uint32_t dataSize) {
    const std::uint32_t align = static_cast<std::uint32_t>(f.frameBytes());
    std::copy_n("RIFF", 4, h);
    put(h + 4, dataSize == kUnknownSize ? kUnknownSize : dataSize + 36, 4);
    std::copy_n("WAVEfmt ", 8, h + 8);
    put(h + 16, 16, 4);
    put(h + 20, WAVE_FORMAT_PCM, 2);
    put(h + 22, static_cast<std::uint32_t>(f.channels), 2);
    put(h + 24, static_cast<std::uint32_t>(f.rate), 4);
    put(h + 28, static_cast<std::uint32_t>(f.rate) * align, 4);
    put(h + 32, align, 2);
    put(h + 34, static_cast<std::uint32_t>(f.bits), 2);
    std::copy_n("data", 4, h + 36);
    put(h + 40, dataSize, 4);
}

void emit(FileWave& w, const std::uint8_t* data, std::size_t n) {
    if (w.failed || n == 0) return;
    if (std::fwrite(data, 1, n, w.file) != n) w.failed = true;
    w.dataBytes += n;
}

void encodeFrame(const float in[2], const PcmFormat& f, std::vector<std::uint8_t>& out) {
    for (int c = 0; c < f.channels; ++c) {
        float v = f.channels == 1 ? (in[0] + in[1]) / 2 : in[c];
        v = v > 1.0f ? 1.0f : v < -1.0f ? -1.0f : v;
        if (f.bits == 8) {
            out.push_back(static_cast<std::uint8_t>(128 + static_cast<int>(v * 127.0f)));
        } else {
            const auto s = static_cast<std::int16_t>(v * 32767.0f);
            out.push_back(static_cast<std::uint8_t>(s & 0xFF));
            out.push_back(static_cast<std::uint8_t>((static_cast<std::uint16_t>(s) >> 8) & 0xFF));
        }
    }
}

// A block in another format than the file's: decoded frame by frame and
// resampled into the file's format.
void convert(FileWave& w, const std::uint8_t* data, std::size_t n) {
    const PcmFormat& in = w.blockFormat;
    const std::size_t fb = static_cast<std::size_t>(in.frameBytes());
    const double step = static_cast<double>(in.rate) / w.fileFormat.rate;
    w.converted.clear();
    for (std::size_t p = 0; p + fb <= n; p += fb) {
        float cur[2];
        audio::detail::decodeFrame(data + p, in, cur[0], cur[1]);
        if (!w.haveLast) {
            w.lastFrame[0] = cur[0];
            w.lastFrame[1] = cur[1];
            w.haveLast = true;
        }
        // Output frames that fall between the last source frame and this one.
        while (w.phase < 1.0) {
            const float t = static_cast<float>(w.phase);
            const float mixed[2] = {w.lastFrame[0] + (cur[0] - w.lastFrame[0]) * t,
                                    w.lastFrame[1] + (cur[1] - w.lastFrame[1]) * t};
            encodeFrame(mixed, w.fileFormat, w.converted);
            w.phase += step;
        }
        w.phase -= 1.0;
        w.lastFrame[0] = cur[0];
        w.lastFrame[1] = cur[1];
    }
    emit(w, w.converted.data(), w.converted.size());
}

class FileDevice : public detail::Device {
public:
    MmResult open(HWaveOut* out, const WaveFormat& f, Hwnd window) override {
        std::lock_guard<std::recursive_mutex> g(guard());
        FileWave& w = fw();
        if (w.file == nullptr) return MMSYSERR_NODRIVER;
        if (!audio::detail::formatSupported(f)) return WAVERR_BADFORMAT;
        if (w.handle != 0) return MMSYSERR_ALLOCATED;
        w.blockFormat = {static_cast<int>(f.samplesPerSec), f.bitsPerSample, f.channels};
        if (w.fileFormat.rate == 0) {
            w.fileFormat = w.blockFormat;
            std::uint8_t h[kHeaderBytes];
            header(h, w.fileFormat, kUnknownSize);
            if (std::fwrite(h, 1, kHeaderBytes, w.file) != kHeaderBytes) w.failed = true;
        }
        w.phase = 0;
        w.haveLast = false;
        w.handle = ++w.lastHandle;
        w.window = window;
        *out = w.handle;
        return MMSYSERR_NOERROR;
    }

    MmResult prepare(HWaveOut dev, WaveHdr* h) override {
        std::lock_guard<std::recursive_mutex> g(guard());
        if (!valid(dev)) return MMSYSERR_INVALHANDLE;
        if (h->flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        h->flags |= WHDR_PREPARED;
        return MMSYSERR_NOERROR;
    }

    MmResult unprepare(HWaveOut dev, WaveHdr* h) override {
        std::lock_guard<std::recursive_mutex> g(guard());
        if (!valid(dev)) return MMSYSERR_INVALHANDLE;
        if (h->flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        h->flags &= ~WHDR_PREPARED;
        return MMSYSERR_NOERROR;
    }

    MmResult write(HWaveOut dev, WaveHdr* h) override {
        std::lock_guard<std::recursive_mutex> g(guard());
        FileWave& w = fw();
        if (!valid(dev)) return MMSYSERR_INVALHANDLE;
        if (!(h->flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
        if (h->flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        if (h->data != nullptr) {
            const PcmFormat& b = w.blockFormat;
            const PcmFormat& f = w.fileFormat;
            if (b.rate == f.rate && b.bits == f.bits && b.channels == f.channels) {
                const std::size_t fb = static_cast<std::size_t>(f.frameBytes());
                emit(w, h->data, h->bufferLength / fb * fb);
            } else {
                convert(w, h->data, h->bufferLength);
            }
        }
        // Finished at once, as the device would announce it.
        std::atomic_ref<std::uint32_t> flags(h->flags);
        flags.store((flags.load() & ~WHDR_INQUEUE) | WHDR_DONE);
        postMessage(w.window, MM_WOM_DONE, w.handle, reinterpret_cast<LParam>(h));
        return MMSYSERR_NOERROR;
    }

    MmResult reset(HWaveOut dev) override {
        std::lock_guard<std::recursive_mutex> g(guard());
        return valid(dev) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
    }

    MmResult close(HWaveOut dev) override {
        std::lock_guard<std::recursive_mutex> g(guard());
        if (!valid(dev)) return MMSYSERR_INVALHANDLE;
        fw().handle = 0;
        return MMSYSERR_NOERROR;
    }

private:
    static bool valid(HWaveOut dev) { return dev != 0 && dev == fw().handle; }
};

}  // namespace

namespace detail {
Device& fileDevice() {
    static FileDevice d;
    return d;
}
bool fileDeviceOpen() {
    std::lock_guard<std::recursive_mutex> g(guard());
    return fw().file != nullptr;
}
}  // namespace detail

bool useFileDevice(const std::string& path) {
    std::lock_guard<std::recursive_mutex> g(guard());
    FileWave& w = fw();
    if (w.file != nullptr) return false;
    w = FileWave{};
    if (path == "-") {
        w.file = stdout;
    } else {
        w.file = std::fopen(path.c_str(), "wb");
        w.ownsFile = true;
    }
    if (w.file == nullptr) return false;
    w.seekable = std::fseek(w.file, 0, SEEK_CUR) == 0;
    return true;
}

bool fileDeviceInUse() { return detail::fileDeviceOpen(); }

void fileSilence(int milliseconds) {
    std::lock_guard<std::recursive_mutex> g(guard());
    FileWave& w = fw();
    if (w.file == nullptr || w.fileFormat.rate == 0 || milliseconds <= 0) return;
    const std::size_t frames = static_cast<std::size_t>(w.fileFormat.rate) * static_cast<std::size_t>(milliseconds) / 1000;
    const std::vector<std::uint8_t> quiet(frames * static_cast<std::size_t>(w.fileFormat.frameBytes()),
                                          w.fileFormat.bits == 8 ? 128 : 0);
    emit(w, quiet.data(), quiet.size());
}

bool finishFileDevice() {
    std::lock_guard<std::recursive_mutex> g(guard());
    FileWave& w = fw();
    if (w.file == nullptr) return false;
    if (w.fileFormat.rate == 0) {  // nothing was played: an empty sound of the console's format
        w.fileFormat = {11025, 8, 1};
        std::uint8_t h[kHeaderBytes];
        header(h, w.fileFormat, w.seekable ? 0 : kUnknownSize);
        if (std::fwrite(h, 1, kHeaderBytes, w.file) != kHeaderBytes) w.failed = true;
    } else if (w.seekable && !w.failed) {
        const std::uint32_t size =
            w.dataBytes > kUnknownSize - 36 ? kUnknownSize - 36 : static_cast<std::uint32_t>(w.dataBytes);
        std::uint8_t h[kHeaderBytes];
        header(h, w.fileFormat, size);
        if (std::fseek(w.file, 0, SEEK_SET) != 0 || std::fwrite(h, 1, kHeaderBytes, w.file) != kHeaderBytes)
            w.failed = true;
    }
    if (std::fflush(w.file) != 0) w.failed = true;
    if (w.ownsFile && std::fclose(w.file) != 0) w.failed = true;
    const bool ok = !w.failed;
    w.file = nullptr;
    w.handle = 0;
    return ok;
}

}  // namespace platform::waveout
