// The process's one sound output on SDL2 audio. The device is opened on the
// first sound and stays open; its callback mixes the wave-out blocks, the
// looping in-memory sound and the message beep. QUORIL_AUDIO chooses: sdl,
// test or none (both silent here); unset means sdl, except under the
// headless console, which stays silent unless asked.
#include "platform/sound/audio.hpp"

#include <SDL.h>
#include <alsa/asoundlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sound/audio_output.hpp"
#include "platform/system/messages.hpp"
#include "platform/system/system.hpp"

namespace platform {
namespace audio::detail {
namespace {

// The buffer asked of SDL, in sample frames: 256 frames at 48000 Hz are
// 5.3 ms, which keeps the time from a queued block to its first sample low.
constexpr int wantedFrames = 256;
constexpr int wantedRate = 48000;

struct Output {
    // Guards everything here: the speech runtimes play from threads of
    // their own. The audio callback holds it while it mixes (inside SDL's
    // device lock), so no SDL audio call is made while it is held.
    std::recursive_mutex lock;
    // Serialises opening (the SDL calls), and is never taken by the callback.
    std::mutex openLock;
    SDL_AudioDeviceID device = 0;
    bool subsystem = false;
    int rate = 0, frames = 0;
    std::uint64_t failedAt = 0;
    bool failedOnce = false;
    bool exitHooked = false;
    Pull wavePull = nullptr;

    // The looping sound: the image as given, its samples and format.
    std::vector<std::uint8_t> loopImage;
    PcmFormat loopFormat;
    std::size_t loopOffset = 0, loopLength = 0, loopPos = 0;
    Source loopSource;

    // The beep, rendered at the output rate; beepPos past the end is silence.
    std::vector<float> beepWave;
    std::size_t beepPos = 0;

    std::string error;  // why the last open failed
};

Output& out() {
    static Output* o = new Output;  // kept to the very end; the exit hook closes the device
    return *o;
}

// ALSA writes every failed probe of a missing card to standard error, two
// hundred lines when no sound server runs; the one line that matters is
// ours (unavailableReason).
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

void silenceAlsa() { snd_lib_error_set_handler(quietAlsa); }

bool wantSdl() {
    const char* a = std::getenv("QUORIL_AUDIO");
    if (a && *a) return std::string(a) == "sdl";
    const char* c = std::getenv("QUORIL_CONSOLE");
    return !(c && std::string(c) == "headless");
}

// The looping sound; a stopped or replaced one fades out in its source.
void mixLoop(Output& o, float* mix, int frames) {
    const std::uint8_t* data = o.loopImage.data() + o.loopOffset;
    const auto fb = static_cast<std::size_t>(std::max(o.loopFormat.frameBytes(), 1));
    const std::size_t whole = o.loopLength / fb * fb;
    if (whole == 0 && o.loopSource.idle()) return;
    o.loopSource.mix(mix, frames, [&](float& l, float& r) {
        if (whole == 0) return false;
        if (o.loopPos + fb > whole) o.loopPos = 0;
        decodeFrame(data + o.loopPos, o.loopFormat, l, r);
        o.loopPos += fb;
        return true;
    });
}

std::uint64_t steadyNanos() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

void callback(void*, Uint8* stream, int len) {
    Output& o = out();
    std::lock_guard<std::recursive_mutex> guard(o.lock);
    // Taken with the lock held, so a block written just before counts from
    // after its writing.
    const std::uint64_t start = steadyNanos();
    int frames = len / static_cast<int>(2 * sizeof(float));
    auto* mix = reinterpret_cast<float*>(stream);
    std::fill(mix, mix + 2 * frames, 0.0f);
    if (o.wavePull) o.wavePull(mix, frames, o.rate, start);
    mixLoop(o, mix, frames);
    for (int i = 0; i < frames && o.beepPos < o.beepWave.size(); ++i, ++o.beepPos) {
        mix[2 * i] += o.beepWave[o.beepPos];
        mix[2 * i + 1] += o.beepWave[o.beepPos];
    }
    for (int i = 0; i < 2 * frames; ++i) mix[i] = std::clamp(mix[i], -1.0f, 1.0f);
}

void closeAtExit() {
    Output& o = out();
    if (o.device) {
        SDL_CloseAudioDevice(o.device);  // waits for the audio thread to end
        std::lock_guard<std::recursive_mutex> guard(o.lock);
        o.device = 0;
    }
    if (o.subsystem) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        o.subsystem = false;
    }
}

// Finds the format and data of a RIFF/WAVE image, walking no further than
// its end. False when it is not a PCM image the output can play.
bool parseImage(const std::vector<std::uint8_t>& img, PcmFormat& f, std::size_t& off,
                std::size_t& len) {
    auto u32 = [&](std::size_t p) {
        return static_cast<std::uint32_t>(img[p] | (img[p + 1] << 8) | (img[p + 2] << 16) |
                                          (static_cast<std::uint32_t>(img[p + 3]) << 24));
    };
    auto u16 = [&](std::size_t p) { return static_cast<int>(img[p] | (img[p + 1] << 8)); };
    if (img.size() < 12 || std::memcmp(img.data(), "RIFF", 4) != 0) return false;
    bool haveFormat = false;
    std::size_t p = 12;
    while (p + 8 <= img.size()) {
        std::uint32_t size = u32(p + 4);
        std::size_t body = p + 8;
        if (std::memcmp(&img[p], "fmt ", 4) == 0 && size >= 16 && body + 16 <= img.size()) {
            WaveFormat w;
            w.formatTag = static_cast<std::uint16_t>(u16(body));
            w.channels = static_cast<std::uint16_t>(u16(body + 2));
            w.samplesPerSec = u32(body + 4);
            w.bitsPerSample = static_cast<std::uint16_t>(u16(body + 14));
            if (!formatSupported(w)) return false;
            f = {static_cast<int>(w.samplesPerSec), w.bitsPerSample, w.channels};
            haveFormat = true;
        } else if (std::memcmp(&img[p], "data", 4) == 0) {
            if (!haveFormat) return false;
            off = body;
            len = std::min<std::size_t>(size, img.size() - body);
            return len > 0;
        }
        if (size > img.size() - body) return false;
        p = body + size + (size & 1);
    }
    return false;
}

}  // namespace

bool openOutput() {
    Output& o = out();
    std::lock_guard<std::mutex> opening(o.openLock);
    if (outputOpen()) return true;
    if (!wantSdl()) return false;
    if (o.failedOnce && tickCount() - o.failedAt < 2000) return false;
    if (!o.exitHooked) {
        // The message queue must outlive the audio thread, which posts to it:
        // touching it first makes it be destroyed after this hook has run.
        (void)queuedMessages();
        std::atexit(closeAtExit);
        o.exitHooked = true;
    }
    auto failed = [&o] {
        std::lock_guard<std::recursive_mutex> guard(o.lock);
        o.error = SDL_GetError();
        o.failedOnce = true;
        o.failedAt = tickCount();
        return false;
    };
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "convzul");
    if (!o.subsystem) {
        silenceAlsa();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return failed();
        o.subsystem = true;
    }
    SDL_AudioSpec want{}, have{};
    want.freq = wantedRate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = wantedFrames;
    want.callback = callback;
    // The device opens paused: the callback does not run before it is
    // started below, so the fields it reads are set first.
    SDL_AudioDeviceID dev =
        SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (dev == 0) return failed();
    {
        std::lock_guard<std::recursive_mutex> guard(o.lock);
        o.error.clear();
        o.rate = have.freq;
        o.frames = have.samples;
        o.device = dev;
        o.beepPos = o.beepWave.size();
        o.loopSource.clear();
    }
    SDL_PauseAudioDevice(dev, 0);
    return true;
}

bool outputOpen() {
    std::lock_guard<std::recursive_mutex> guard(out().lock);
    return out().device != 0;
}
int outputRate() {
    std::lock_guard<std::recursive_mutex> guard(out().lock);
    return out().rate;
}
int outputFrames() {
    std::lock_guard<std::recursive_mutex> guard(out().lock);
    return out().frames;
}

// The same lock whether or not the device is open yet, so that a lock taken
// before another thread opens it is the one released.
void lockOutput() { out().lock.lock(); }
void unlockOutput() { out().lock.unlock(); }

void setWavePull(Pull pull) {
    lockOutput();
    out().wavePull = pull;
    unlockOutput();
}

}  // namespace audio::detail

using namespace audio::detail;

void playSoundLoop(const std::uint8_t* image, std::size_t size) {
    Output& o = out();
    std::vector<std::uint8_t> copy;
    if (image && size) copy.assign(image, image + size);
    PcmFormat f;
    std::size_t off = 0, len = 0;
    bool playable = parseImage(copy, f, off, len);
    if (playable) openOutput();
    lockOutput();
    o.loopImage = std::move(copy);
    o.loopFormat = f;
    o.loopOffset = playable ? off : 0;
    o.loopLength = playable ? len : 0;
    o.loopPos = 0;
    // The sound that was looping fades out as the new one starts.
    o.loopSource.cut();
    if (playable && o.rate > 0) o.loopSource.setRates(f.rate, o.rate, f.channels, kernelFromEnvironment());
    unlockOutput();
}

void stopSoundLoop() {
    Output& o = out();
    lockOutput();
    o.loopImage.clear();
    o.loopLength = 0;
    o.loopSource.cut();
    unlockOutput();
}

namespace audio {

void beep() {
    if (!openOutput()) return;
    Output& o = out();
    lockOutput();
    if (o.beepWave.empty() || o.beepWave.size() != static_cast<std::size_t>(o.rate / 8)) {
        // 125 ms of 880 Hz with 5 ms ramps at both ends.
        std::size_t n = static_cast<std::size_t>(o.rate / 8), ramp = static_cast<std::size_t>(o.rate / 200);
        o.beepWave.assign(n, 0.0f);
        for (std::size_t i = 0; i < n; ++i) {
            float env = 1.0f;
            if (i < ramp) env = static_cast<float>(i) / ramp;
            if (n - i < ramp) env = static_cast<float>(n - i) / ramp;
            o.beepWave[i] = 0.3f * env * std::sin(2.0f * 3.14159265f * 880.0f * i / o.rate);
        }
    }
    o.beepPos = 0;
    unlockOutput();
}

std::vector<std::uint8_t> loopImage() {
    Output& o = out();
    lockOutput();
    std::vector<std::uint8_t> copy = o.loopImage;
    unlockOutput();
    return copy;
}

bool available() { return openOutput(); }

std::string unavailableReason() {
    if (openOutput() || !wantSdl()) return {};
    return out().error.empty() ? std::string("no sound device") : out().error;
}

}  // namespace audio
}  // namespace platform

// Sanitizer builds: the sound server's client libraries keep a few
// allocations to the end of the process by design; they are not ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libpulse\nleak:libasound\nleak:libdbus\nleak:libpipewire\nleak:libSDL2\n";
}
