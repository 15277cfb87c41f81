// espeak-ng in this process: started once, synthesizing at its own rate
// (22050 Hz 16-bit mono) into whoever asks, one call at a time; and the
// wave-out run the engines' threads play their samples through.
#include "platform/speech/espeak.hpp"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

namespace platform::espeak {
namespace {

struct Engine {
    std::mutex lock;
    bool ready = false;
    int rate = 0;
    std::vector<VoiceInfo> voices;
};

Engine& engine() {
    static Engine* e = new Engine;  // engine threads may still use it at exit
    return *e;
}

int synthCallback(short* samples, int count, espeak_EVENT* events) {
    auto* receiver = events ? static_cast<SampleReceiver*>(events->user_data) : nullptr;
    if (receiver == nullptr || samples == nullptr || count <= 0) return 0;
    return receiver->samples(samples, count) ? 1 : 0;
}

}  // namespace

bool start() {
    Engine& e = engine();
    std::lock_guard<std::mutex> g(e.lock);
    if (e.ready) return true;
    const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 50, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (rate <= 0) return false;
    espeak_SetSynthCallback(synthCallback);
    e.rate = rate;
    std::vector<VoiceInfo> first, rest;
    if (const espeak_VOICE** list = espeak_ListVoices(nullptr)) {
        for (; *list; ++list) {
            const espeak_VOICE* v = *list;
            if (!v->identifier || !v->name) continue;
            // languages: a priority byte, then the language name.
            const std::string language = v->languages && v->languages[0] ? v->languages + 1 : "";
            VoiceInfo info{v->identifier, v->name, language, v->gender, v->age};
            (language == "pt-br" ? first : rest).push_back(std::move(info));
        }
    }
    if (first.empty() && rest.empty()) return false;
    e.voices = std::move(first);
    e.voices.insert(e.voices.end(), rest.begin(), rest.end());
    e.ready = true;
    return true;
}

int sampleRate() { return engine().rate; }

const std::vector<VoiceInfo>& voices() { return engine().voices; }

void synthesize(SampleReceiver& receiver, const std::string& utf8, const Request& request) {
    Engine& e = engine();
    std::lock_guard<std::mutex> g(e.lock);
    if (!e.ready) return;
    std::string voice = request.voice;
    if (voice.empty() && !e.voices.empty()) voice = e.voices.front().identifier;
    espeak_SetVoiceByName(voice.c_str());
    espeak_SetParameter(espeakRATE, std::clamp(request.wordsPerMinute, espeakRATE_MINIMUM, espeakRATE_MAXIMUM), 0);
    espeak_SetParameter(espeakPITCH, std::clamp(request.pitch, 0, 100), 0);
    const unsigned int flags = espeakCHARS_UTF8 | espeakENDPAUSE | (request.ssml ? espeakSSML : 0);
    espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0, flags, nullptr, &receiver);
}

std::vector<std::uint8_t> littleEndian(const std::int16_t* samples, int count) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::max(count, 0)) * 2);
    for (std::size_t i = 0; i < bytes.size() / 2; ++i) {
        const auto v = static_cast<std::uint16_t>(samples[i]);
        bytes[2 * i] = static_cast<std::uint8_t>(v);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    return bytes;
}

// ---- the wave-out run ----

void DeviceOut::write(const std::int16_t* samples, int count, int rate, const std::function<bool()>& giveUp) {
    reap();
    if (device_ == 0 && !failed_) open(rate, giveUp);
    if (device_ == 0) return;
    auto b = std::make_unique<Block>();
    b->data = littleEndian(samples, count);
    b->header.data = b->data.data();
    b->header.bufferLength = static_cast<std::uint32_t>(b->data.size());
    if (waveOutPrepareHeader(device_, &b->header, sizeof(WaveHdr)) != MMSYSERR_NOERROR) return;
    if (waveOutWrite(device_, &b->header, sizeof(WaveHdr)) != MMSYSERR_NOERROR) {
        waveOutUnprepareHeader(device_, &b->header, sizeof(WaveHdr));
        return;
    }
    blocks_.push_back(std::move(b));
}

bool DeviceOut::drain(const std::function<bool()>& stopWaiting) {
    for (;;) {
        reap();
        if (blocks_.empty()) return true;
        if (stopWaiting()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void DeviceOut::reset() {
    if (device_ != 0 && !blocks_.empty()) waveOutReset(device_);
    for (auto& b : blocks_) waveOutUnprepareHeader(device_, &b->header, sizeof(WaveHdr));
    blocks_.clear();
    close();
}

void DeviceOut::close() {
    if (device_ != 0) waveOutClose(device_);
    device_ = 0;
    failed_ = false;
}

bool DeviceOut::playing() {
    reap();
    return !blocks_.empty();
}

void DeviceOut::reap() {
    const auto done = [](WaveHdr& h) { return (std::atomic_ref<std::uint32_t>(h.flags).load() & WHDR_DONE) != 0; };
    while (!blocks_.empty() && done(blocks_.front()->header)) {
        waveOutUnprepareHeader(device_, &blocks_.front()->header, sizeof(WaveHdr));
        blocks_.pop_front();
    }
}

void DeviceOut::open(int rate, const std::function<bool()>& giveUp) {
    WaveFormat f;
    f.channels = 1;
    f.samplesPerSec = static_cast<std::uint32_t>(rate);
    f.bitsPerSample = 16;
    f.blockAlign = 2;
    f.avgBytesPerSec = f.samplesPerSec * 2;
    // The console's own sounds may hold the device for a moment.
    for (int attempt = 0; attempt < 150 && !giveUp(); ++attempt) {
        const MmResult r = waveOutOpen(&device_, WAVE_MAPPER, &f, 0, 0);
        if (r == MMSYSERR_NOERROR) return;
        device_ = 0;
        if (r != MMSYSERR_ALLOCATED) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    failed_ = true;
}

}  // namespace platform::espeak
