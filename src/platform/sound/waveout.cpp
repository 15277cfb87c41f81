// The wave-out calls, forwarded to the device in use: the file device while
// a tool writes to one, the test device when a test asks for it or
// QUORIL_AUDIO=test, SDL audio otherwise.
#include "platform/sound/waveout.hpp"

#include <cstdlib>
#include <string>

#include "platform/sound/audio_output.hpp"

namespace platform {
namespace {

struct Selection {
    bool forced = false;
    bool forcedTest = false;
};

Selection& selection() {
    static Selection s;
    return s;
}

waveout::detail::Device& device() {
    if (waveout::detail::fileDeviceOpen()) return waveout::detail::fileDevice();
    auto& s = selection();
    bool test = s.forced ? s.forcedTest : false;
    if (!s.forced) {
        const char* a = std::getenv("QUORIL_AUDIO");
        test = a && std::string(a) == "test";
    }
    return test ? waveout::detail::testDevice() : waveout::detail::sdlDevice();
}

}  // namespace

MmResult waveOutOpen(HWaveOut* out, std::uint32_t deviceId, const WaveFormat* format, Hwnd window,
                     std::uint32_t flags) {
    (void)flags;
    if (out == nullptr || format == nullptr) return MMSYSERR_INVALPARAM;
    *out = 0;
    if (deviceId != WAVE_MAPPER && deviceId != 0) return MMSYSERR_BADDEVICEID;
    return device().open(out, *format, window);
}

MmResult waveOutPrepareHeader(HWaveOut dev, WaveHdr* header, std::uint32_t headerSize) {
    if (header == nullptr || headerSize < sizeof(WaveHdr)) return MMSYSERR_INVALPARAM;
    return device().prepare(dev, header);
}

MmResult waveOutUnprepareHeader(HWaveOut dev, WaveHdr* header, std::uint32_t headerSize) {
    if (header == nullptr || headerSize < sizeof(WaveHdr)) return MMSYSERR_INVALPARAM;
    return device().unprepare(dev, header);
}

MmResult waveOutWrite(HWaveOut dev, WaveHdr* header, std::uint32_t headerSize) {
    if (header == nullptr || headerSize < sizeof(WaveHdr)) return MMSYSERR_INVALPARAM;
    return device().write(dev, header);
}

MmResult waveOutReset(HWaveOut dev) { return device().reset(dev); }

MmResult waveOutClose(HWaveOut dev) { return device().close(dev); }

namespace waveout {

void useTestDevice(bool on) {
    selection().forced = on;
    selection().forcedTest = on;
}

bool testDeviceInUse() { return &device() == &detail::testDevice(); }

int outputBufferFrames() { return audio::detail::outputFrames(); }
int outputRate() { return audio::detail::outputRate(); }

}  // namespace waveout
}  // namespace platform
