// qrwav: the wave-out player.
//
// The ring. Four buffers of 65534 bytes, each with its block header, are
// handed to the device in turn (1, 2, 3, 4, 1, ...). queuedBlocks counts the
// blocks the device holds; a block is counted off when its notice reaches
// waveBlockReturned through the console window. At most four blocks, about
// 24 s of 11025 Hz 8-bit mono sound, are ahead of the listener.
//
// Short blocks. A block shorter than 256 bytes is played as 256 bytes, the
// rest being silence (128 for 8-bit sound, 0 for 16-bit). The last byte of a
// mono 8-bit block is set to silence, unless the block is a full 65534 bytes,
// so that consecutive sounds do not click.
//
// The pitch-period cut. Voiced speech repeats itself once per pitch period;
// dropping every other period halves the duration and keeps the pitch. The
// cut needs no pitch tracker: from a peak of the waveform it looks `skip`
// bytes ahead and takes the next peak within `window` bytes as the end of
// the period (p1), does the same again from there (p2), keeps p1..p2 and
// drops what lies before p1. At 11025 Hz skip 80 and window 50 bytes cover
// pitch periods of 7..12 ms; other rates (16537 Hz after the 1.5 speed-up,
// 16000 Hz of the built-in voice) take constants four times larger. The cut
// works on 8-bit samples; 16-bit sound is turned into 8-bit first by taking
// each sample's high byte with its sign bit inverted. A kept period that
// meets silence (speech that ends in a pause, or starts after one) would
// join it on a peak: the sound's side of that join, and the end of the
// result, fade to silence over 3 ms in place, so that no step clicks.
#include "sound/qrwav.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "console/qrcrt.hpp"
#include "platform/system/messages.hpp"
#include "platform/system/system.hpp"

namespace qrwav {
namespace {

using namespace platform;

struct State {
    HWaveOut device = 0;
    int rate = 0, bits = 0, channels = 0;
    std::vector<std::uint8_t> blockData[ringBlocks];
    WaveHdr blockHeader[ringBlocks];
    bool blockLocked[ringBlocks] = {};
    int lastBlock = 0;  // 1..4, 0 before the first block
    int queuedBlocks = 0;
    int maxQueued = ringBlocks;
    std::vector<std::uint8_t> readBuffer;
    std::vector<std::uint8_t> cutBuffer;  // the pitch-period cut works here, not on the caller's samples
    bool waveInterruptible = true;
    bool waveWaitAtEnd = true;
    bool waveFaster = false;
    bool waveCutSpeech = false;

    State() : readBuffer(blockBytes), cutBuffer(blockBytes) {
        for (auto& b : blockData) b.assign(blockBytes, 128);
    }
};

State& st() {
    // Never destroyed: the audio thread may read the block buffers until the
    // output is closed at exit.
    static State* s = new State;
    return *s;
}

bool sameId(const std::uint8_t* p, const char* id) {
    for (int i = 0; i < 4; ++i)
        if (std::tolower(p[i]) != id[i]) return false;
    return true;
}

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

int le16(const std::uint8_t* p) { return p[0] | p[1] << 8; }

// Notices of a device that has since been closed (left in the queue when
// the player was reset) are not ours to count off.
void noticeHandler(std::uint32_t message, WParam wParam, LParam lParam) {
    if (message == MM_WOM_DONE && wParam == st().device && wParam != 0)
        waveBlockReturned(reinterpret_cast<WaveHdr*>(lParam));
}

bool keyStops() { return st().waveInterruptible && qrcrt::keyWaiting(); }

// The first position of the largest byte in from..to (inclusive, cut at the
// buffer's end).
std::size_t peak(const std::uint8_t* b, std::size_t length, std::size_t from, std::size_t to) {
    to = std::min(to, length - 1);
    std::size_t best = from;
    for (std::size_t i = from + 1; i <= to; ++i)
        if (b[i] > b[best]) best = i;
    return best;
}

bool nearSilence(std::uint8_t v) { return std::abs(v - 128) <= 1; }

// Scales count bytes toward silence (128): in, the first ones from silence;
// out, the last ones to silence.
void fadeBytes(std::uint8_t* p, std::size_t count, bool in) {
    for (std::size_t j = 0; j < count; ++j) {
        std::uint8_t& v = in ? p[j] : p[count - 1 - j];
        v = static_cast<std::uint8_t>(128 + (v - 128) * static_cast<int>(j + 1) / static_cast<int>(count + 1));
    }
}

// Piece size of playWaveFile: the last piece keeps at least 257 bytes.
std::size_t pieceSize(std::size_t remaining) {
    if (remaining <= blockBytes) return remaining;
    if (remaining < blockBytes + 256) return blockBytes - 256;
    return blockBytes;
}

}  // namespace

bool& waveInterruptible() { return st().waveInterruptible; }
bool& waveWaitAtEnd() { return st().waveWaitAtEnd; }
bool& waveFaster() { return st().waveFaster; }
bool& waveCutSpeech() { return st().waveCutSpeech; }
int queuedBlocks() { return st().queuedBlocks; }
bool deviceOpen() { return st().device != 0; }

MmResult openWaveOut(int rate, int bits, int channels) {
    State& s = st();
    if (rate != s.rate || bits != s.bits || channels != s.channels) {
        // Let the sound of the old format finish; the device closes when the
        // queue is found empty.
        while (waveStillPlaying()) platform::waitMessageFor(20);
    }
    s.rate = rate;
    s.bits = bits;
    s.channels = channels;
    if (s.device != 0) return MMSYSERR_NOERROR;

    WaveFormat format;
    format.formatTag = WAVE_FORMAT_PCM;
    format.channels = static_cast<std::uint16_t>(channels);
    format.samplesPerSec = static_cast<std::uint32_t>(rate);
    format.blockAlign = static_cast<std::uint16_t>((bits / 8) * channels);
    format.avgBytesPerSec = format.blockAlign * format.samplesPerSec;
    format.bitsPerSample = static_cast<std::uint16_t>(bits);
    qrcrt::setNoticeHandler(noticeHandler, true);
    qrcrt::openScreen();
    Hwnd window = qrcrt::windowHandle();

    MmResult result = MMSYSERR_NOERROR;
    for (int attempt = 1; attempt <= 100; ++attempt) {
        HWaveOut device = 0;
        result = waveOutOpen(&device, WAVE_MAPPER, &format, window, CALLBACK_WINDOW | WAVE_ALLOWSYNC);
        if (result == MMSYSERR_NOERROR) s.device = device;
        if (result != MMSYSERR_ALLOCATED || attempt == 100) break;
        qrcrt::pauseFor(100);
    }
    return result;
}

bool queueWaveBlock(const std::uint8_t* samples, std::size_t length) {
    State& s = st();
    if (samples == nullptr || length == 0 || length > blockBytes || s.device == 0) return false;
    for (int i = 0; i < 40 && s.queuedBlocks >= s.maxQueued; ++i) {
        qrcrt::pumpMessages();
        qrcrt::pauseFor(50);
    }
    if (s.queuedBlocks >= s.maxQueued) return false;

    ++s.queuedBlocks;
    int previous = s.lastBlock;
    s.lastBlock = s.lastBlock % ringBlocks + 1;
    int k = s.lastBlock - 1;
    s.blockLocked[k] = true;
    std::uint8_t* buffer = s.blockData[k].data();
    std::size_t played = std::max<std::size_t>(length, 256);
    bool mono8 = s.bits == 8 && s.channels == 1;
    if (length < 256) std::memset(buffer + length, s.bits == 8 ? 128 : 0, 256 - length);
    std::memcpy(buffer, samples, length);
    if (mono8 && length != blockBytes) buffer[length - 1] = 128;

    WaveHdr& h = s.blockHeader[k];
    h = WaveHdr{};
    h.data = buffer;
    h.bufferLength = static_cast<std::uint32_t>(played);
    h.user = static_cast<std::uintptr_t>(s.lastBlock);
    MmResult r = waveOutPrepareHeader(s.device, &h, sizeof(WaveHdr));
    if (r == MMSYSERR_NOERROR) {
        r = waveOutWrite(s.device, &h, sizeof(WaveHdr));
        if (r == MMSYSERR_NOERROR) return true;
        // A block the device did not take never comes back: count it off now.
        waveOutUnprepareHeader(s.device, &h, sizeof(WaveHdr));
    }
    --s.queuedBlocks;
    s.lastBlock = previous;
    s.blockLocked[k] = false;
    return false;
}

void waveBlockReturned(WaveHdr* header) {
    if (header == nullptr) return;
    State& s = st();
    std::uintptr_t index = header->user;
    MmResult r = waveOutUnprepareHeader(s.device, header, sizeof(WaveHdr));
    if (r != MMSYSERR_NOERROR) {
        const char* text = nullptr;
        switch (r) {
        case MMSYSERR_INVALHANDLE: text = "Specified device handle is invalid."; break;
        case MMSYSERR_NODRIVER: text = "No device driver is present."; break;
        case MMSYSERR_NOMEM: text = "Unable to allocate or lock memory."; break;
        case WAVERR_STILLPLAYING:
            text = "The data block pointed to by the pwh parameter is still in queue";
            break;
        default: break;
        }
        if (text) {
            qrcrt::writeText(text);
            qrcrt::flushOutput();
        }
        qrcrt::readLine();
    }
    if (index >= 1 && index <= ringBlocks) s.blockLocked[index - 1] = false;
    if (s.queuedBlocks > 0) --s.queuedBlocks;
}

std::size_t cutPitchPeriods(std::uint8_t* buffer, std::size_t length, int bits, int rate) {
    if (buffer == nullptr) return 0;
    if (bits == 16) {
        length /= 2;
        for (std::size_t i = 0; i < length; ++i) buffer[i] = buffer[2 * i + 1] ^ 128;
    }
    if (length < 1000) return length;
    std::size_t start = 200, skip = 80, window = 50;
    if (rate != 11025) {
        start = 800;
        skip = 320;
        window = 200;
    }
    const std::size_t fade = static_cast<std::size_t>(std::max(rate, 1000)) * 3 / 1000;
    std::size_t read = peak(buffer, length, start, start + skip + window);
    std::size_t write = read;
    std::size_t span = 2 * (skip + window);
    while (length > span && read < length - span) {
        std::size_t p1 = peak(buffer, length, read + skip, read + skip + window);
        std::size_t p2 = peak(buffer, length, p1 + skip, p1 + skip + window);
        std::size_t n = p2 - p1 + 1;
        std::memmove(buffer + write, buffer + p1, n);
        if (write > 0 && nearSilence(buffer[write]) && !nearSilence(buffer[write - 1]))
            fadeBytes(buffer + write - std::min(fade, write), std::min(fade, write), false);
        else if (write > 0 && nearSilence(buffer[write - 1]) && !nearSilence(buffer[write]))
            fadeBytes(buffer + write, std::min(fade, n), true);
        write += n;
        read = p2;
    }
    while (read < length && std::abs(static_cast<int>(buffer[write]) - 128) > 20) buffer[write++] = buffer[read++];
    if (write > 0 && !nearSilence(buffer[write - 1]))
        fadeBytes(buffer + write - std::min(fade, write), std::min(fade, write), false);
    return write;
}

int playWaveData(const std::uint8_t* samples, std::size_t length, int rate, int channels, int bits) {
    State& s = st();
    if (s.waveFaster) rate = static_cast<int>(static_cast<long long>(rate) * 3 / 2);
    bool cut = s.waveCutSpeech && channels == 1;
    int deviceBits = cut && bits == 16 ? 8 : bits;
    MmResult r = openWaveOut(rate, deviceBits, channels);
    if (r != MMSYSERR_NOERROR) return static_cast<int>(r);
    if (samples == nullptr) return 0;

    std::size_t done = 0;
    while (done < length) {
        while (s.queuedBlocks >= s.maxQueued) {
            if (keyStops()) {
                stopWave();
                return 0;
            }
            qrcrt::pauseFor(10);
        }
        if (keyStops()) {
            stopWave();
            return 0;
        }
        std::size_t piece = std::min(length - done, blockBytes);
        if (cut) {
            std::memcpy(s.cutBuffer.data(), samples + done, piece);
            std::size_t n = cutPitchPeriods(s.cutBuffer.data(), piece, bits, rate);
            if (n > 0) queueWaveBlock(s.cutBuffer.data(), n);
        } else {
            queueWaveBlock(samples + done, piece);
        }
        done += piece;
    }
    return 0;
}

void playWaveImage(const std::uint8_t* image) {
    if (image == nullptr) return;
    if (!sameId(image, "riff")) return;
    playWaveImage(image, static_cast<std::size_t>(le32(image + 4)) + 8);
}

void playWaveImage(const std::uint8_t* image, std::size_t size) {
    if (image == nullptr || size < 20) return;
    if (!sameId(image, "riff") || !sameId(image + 12, "fmt ")) return;
    // Nothing beyond the end the RIFF header gives is read.
    std::size_t end = std::min(size, static_cast<std::size_t>(le32(image + 4)) + 8);
    std::uint32_t formatSize = le32(image + 16);
    if (end < 20 || formatSize < 16 || formatSize > end - 20) return;
    const std::uint8_t* format = image + 20;
    int channels = le16(format + 2);
    auto rate = le32(format + 4);
    int bits = le16(format + 14);
    std::size_t p = 20 + formatSize;
    while (end >= 8 && p <= end - 8) {
        std::size_t chunk = le32(image + p + 4);
        std::size_t body = p + 8;
        if (sameId(image + p, "data")) {
            std::size_t length = std::min(chunk, end - body);
            if (rate > 0x7FFFFFFFu) return;
            playWaveData(image + body, length, static_cast<int>(rate), channels, bits);
            return;
        }
        if (chunk > end - body) return;
        p = body + chunk;
    }
}

int playWaveFile(const std::string& fileName) {
    State& s = st();
    if (keyStops()) return 0;
    std::error_code ec;
    std::filesystem::path path(platform::toNativeName(fileName));
    if (!std::filesystem::is_regular_file(path, ec)) return -1;
    std::ifstream file(path, std::ios::binary);
    if (!file) return -1;
    std::uintmax_t fileSize = std::filesystem::file_size(path, ec);
    if (ec) return -1;

    auto readExactly = [&](std::uint8_t* to, std::size_t n) {
        file.read(reinterpret_cast<char*>(to), static_cast<std::streamsize>(n));
        return static_cast<std::size_t>(file.gcount()) == n;
    };

    int result = -1;
    std::uint8_t head[12], chunk[8];
    std::uint32_t rate = 0;
    int channels = 0, bits = 0;
    std::int32_t dataSize = 0;
    bool headerOk = false;
    do {
        if (!readExactly(head, 12) || !sameId(head, "riff")) break;
        if (!readExactly(chunk, 8) || !sameId(chunk, "fmt ")) break;
        std::uint32_t formatSize = le32(chunk + 4);
        // The format body goes into the read buffer; one that does not fit,
        // or that is too short to hold the fields, refuses the file.
        if (formatSize < 16 || formatSize > s.readBuffer.size()) break;
        if (!readExactly(s.readBuffer.data(), formatSize)) break;
        channels = le16(s.readBuffer.data() + 2);
        rate = le32(s.readBuffer.data() + 4);
        bits = le16(s.readBuffer.data() + 14);
        bool found = false;
        while (readExactly(chunk, 8)) {
            if (sameId(chunk, "data")) {
                found = true;
                break;
            }
            // Other chunks are skipped by seeking; one that runs past the
            // end of the file refuses it.
            std::uint64_t here = static_cast<std::uint64_t>(file.tellg());
            std::uint64_t next = here + le32(chunk + 4);
            if (next > fileSize) break;
            file.seekg(static_cast<std::streamoff>(next));
            if (!file) break;
        }
        if (!found || rate > 0x7FFFFFFFu) break;
        dataSize = static_cast<std::int32_t>(le32(chunk + 4));
        headerOk = true;
    } while (false);

    if (headerOk) {
        result = 0;
        std::size_t remaining = dataSize > 0 ? static_cast<std::size_t>(dataSize) : 0;
        while (remaining > 0) {
            std::size_t piece = pieceSize(remaining);
            result = -1;
            file.read(reinterpret_cast<char*>(s.readBuffer.data()), static_cast<std::streamsize>(piece));
            std::size_t got = static_cast<std::size_t>(file.gcount());
            if (got == 0) break;
            result = playWaveData(s.readBuffer.data(), got, static_cast<int>(rate), channels, bits);
            if (result != 0 || keyStops()) break;
            remaining -= piece;
            if (got < piece) break;
        }
    }
    file.close();
    if (s.waveWaitAtEnd) {
        while (waveStillPlaying()) platform::waitMessage();
    }
    return result;
}

bool waveStillPlaying() {
    State& s = st();
    qrcrt::pumpMessages();
    if (keyStops() || s.queuedBlocks == 0) stopWave();
    return s.queuedBlocks > 0;
}

void stopWave() {
    State& s = st();
    if (s.device != 0) {
        if (s.queuedBlocks > 0) waveOutReset(s.device);
        qrcrt::pumpMessages();
        waveOutClose(s.device);
        qrcrt::pumpMessages();
        // The reset returned every block; any notice that did not come
        // through must not leave the ring counted full.
        s.queuedBlocks = 0;
        for (bool& locked : s.blockLocked) locked = false;
    }
    s.device = 0;
}

void resetForTests() {
    State& s = st();
    if (s.device != 0) {
        waveOutReset(s.device);
        for (auto& h : s.blockHeader) waveOutUnprepareHeader(s.device, &h, sizeof(WaveHdr));
        waveOutClose(s.device);
    }
    s = State{};
}

}  // namespace qrwav
