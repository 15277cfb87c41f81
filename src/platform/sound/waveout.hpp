// The sound room of the platform layer. It stands in for the Windows
// multimedia wave-out device, the looping in-memory sound and the message
// beep, and offers the sound player the wave-out calls with their Windows
// names and result codes (this file) and the shared output (audio.hpp).
//
// The wave-out device: PCM blocks played in order on the default output,
// with the Windows names, result codes and block-header flags. Opening names
// a window; each block that has been played is announced by posting
// MM_WOM_DONE to it (wParam the device handle, lParam the block header).
// Two devices stand behind it: SDL audio (the process's one sound output,
// see audio.hpp) and a test device that records what it is given. The test
// device is chosen by useTestDevice(true) or QUORIL_AUDIO=test.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/system/messages.hpp"

namespace platform {

using MmResult = std::uint32_t;
using HWaveOut = std::uintptr_t;  // 0 is "no device"

// Result codes (the Windows numbers).
enum : MmResult {
    MMSYSERR_NOERROR = 0,
    MMSYSERR_ERROR = 1,
    MMSYSERR_BADDEVICEID = 2,
    MMSYSERR_NOTENABLED = 3,
    MMSYSERR_ALLOCATED = 4,
    MMSYSERR_INVALHANDLE = 5,
    MMSYSERR_NODRIVER = 6,
    MMSYSERR_NOMEM = 7,
    MMSYSERR_NOTSUPPORTED = 8,
    MMSYSERR_INVALFLAG = 10,
    MMSYSERR_INVALPARAM = 11,
    WAVERR_BADFORMAT = 32,
    WAVERR_STILLPLAYING = 33,
    WAVERR_UNPREPARED = 34,
    WAVERR_SYNC = 35,
};

// The default device ("wave mapper") and the open flags.
constexpr std::uint32_t WAVE_MAPPER = 0xFFFFFFFFu;
enum : std::uint32_t {
    CALLBACK_WINDOW = 0x00010000u,
    WAVE_ALLOWSYNC = 0x0002u,
};

// Block-header flags.
enum : std::uint32_t {
    WHDR_DONE = 0x01,      // the device has finished with the block
    WHDR_PREPARED = 0x02,  // prepared and not yet unprepared
    WHDR_BEGINLOOP = 0x04,
    WHDR_ENDLOOP = 0x08,
    WHDR_INQUEUE = 0x10,   // written and not yet finished
};

constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

// The 16-byte PCM format description.
struct WaveFormat {
    std::uint16_t formatTag = WAVE_FORMAT_PCM;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
};

// One block handed to the device. The caller owns the header and the data;
// both must stay valid until the block comes back unprepared.
struct WaveHdr {
    std::uint8_t* data = nullptr;
    std::uint32_t bufferLength = 0;
    std::uint32_t bytesRecorded = 0;
    std::uintptr_t user = 0;
    std::uint32_t flags = 0;
    std::uint32_t loops = 0;
    WaveHdr* next = nullptr;
    std::uintptr_t reserved = 0;
};

// Opens the default device for the format. Only PCM with 8 or 16 bits and
// 1 or 2 channels at 1000..192000 samples per second is accepted
// (WAVERR_BADFORMAT otherwise). MMSYSERR_ALLOCATED while another handle is
// open; MMSYSERR_NODRIVER when there is no usable sound output.
MmResult waveOutOpen(HWaveOut* device, std::uint32_t deviceId, const WaveFormat* format,
                     Hwnd window, std::uint32_t flags);
// Marks the header prepared. The buffer length must be a whole number of
// sample frames' worth or more (any tail shorter than a frame is not played).
MmResult waveOutPrepareHeader(HWaveOut device, WaveHdr* header, std::uint32_t headerSize);
// WAVERR_STILLPLAYING while the block is queued; unpreparing a block that is
// not prepared answers success.
MmResult waveOutUnprepareHeader(HWaveOut device, WaveHdr* header, std::uint32_t headerSize);
// Queues a prepared block behind the others (WAVERR_UNPREPARED otherwise).
MmResult waveOutWrite(HWaveOut device, WaveHdr* header, std::uint32_t headerSize);
// Stops at once and returns every queued block, in order, through notices
// posted before this returns.
MmResult waveOutReset(HWaveOut device);
// WAVERR_STILLPLAYING while blocks are queued.
MmResult waveOutClose(HWaveOut device);

namespace waveout {

// Choose the test device (true) or the one the environment names (false):
// QUORIL_AUDIO=test the test device, =none no device, =sdl SDL audio; when
// unset, SDL audio, except under the headless console where there is none.
void useTestDevice(bool on);
// Whether the test device is in use.
bool testDeviceInUse();

// ---- the file device: what would be played goes to a WAV file instead ----
// From now on every open, write and close goes to a WAV file (path "-":
// standard output), each block finished at once. The file takes the format
// of the first open; later blocks in another format are converted to it.
// False when a file is already in use or this one cannot be created.
bool useFileDevice(const std::string& path);
bool fileDeviceInUse();
// Appends that many milliseconds of silence (a pause the program waits out
// with nothing playing). Nothing before the first open.
void fileSilence(int milliseconds);
// Writes the sizes into the header (a pipe keeps 0xFFFFFFFF there), closes
// the file and gives the device back. False when any write failed.
bool finishFileDevice();

// The steady-clock time (nanoseconds) at which the first sample of the most
// recently started block went to the SDL output, or 0: when the audio
// callback began the buffer that holds it, plus its place in that buffer
// (the resampler's delay included).
std::uint64_t lastBlockStartNanos();
// The SDL output's buffer size in sample frames and its rate (0 before the
// output is open).
int outputBufferFrames();
int outputRate();

// ---- the test device: records formats and blocks; blocks finish on demand ----
namespace test {

struct Format {
    std::uint32_t rate = 0;
    std::uint16_t bits = 0, channels = 0;
    bool operator==(const Format&) const = default;
};
// Forget everything recorded, close any open handle, clear the scripts.
void reset();
// The formats of every successful open, in order.
std::vector<Format> openedFormats();
// Attempts to open (successful or not), closes and resets so far.
int openAttempts();
int closes();
int resets();
// The bytes of every written block (its buffer length), in order.
std::vector<std::vector<std::uint8_t>> blocks();
// Blocks written and not finished yet.
std::size_t pending();
// Finish the oldest n queued blocks (all when n < 0), posting their notices.
void finishBlocks(int n = -1);
// With autoFinish on, every written block finishes at once.
void setAutoFinish(bool on);
// The results answered by the next opens, in order (after that: success).
void scriptOpenResults(std::vector<MmResult> results);
// The result answered by every later unprepare (success: the real answer).
void scriptUnprepareResult(MmResult result);
// The result answered by every later prepare (success: the real answer).
void scriptPrepareResult(MmResult result);
// Called after each written block is recorded, with its number (1, 2, ...):
// a test can press a key or finish blocks at a chosen moment of playback.
void setWriteHook(std::function<void(std::size_t blockNumber)> hook);

}  // namespace test
}  // namespace waveout
}  // namespace platform
