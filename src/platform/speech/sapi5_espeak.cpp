// The second SAPI 5 runtime: espeak-ng in this process. The engine is one
// per process and not reentrant, so every call into it holds one lock; each
// voice object speaks on a thread of its own, which takes texts from the
// voice's queue, synthesizes them at 22050 Hz 16-bit mono and writes the
// samples as blocks to the wave-out device (opened for a run of texts and
// closed when the run has finished playing, so the console's own sounds
// can have the device between runs) or into the WAV file of a file stream.
// The speak-complete event is set when the queue is empty and the last
// block has played.
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <thread>

#include "platform/speech/sapi5_objects.hpp"
#include "platform/sound/waveout.hpp"

namespace platform::sapi5::detail {
namespace {

struct VoiceInfo {
    std::string identifier, name;
};

struct Engine {
    std::mutex lock;
    bool ready = false;
    int rate = 0;
    std::vector<VoiceInfo> voices;  // Brazilian Portuguese first
};

Engine& engine() {
    static Engine* e = new Engine;  // voice threads may still use it at exit
    return *e;
}

int synthCallback(short* samples, int count, espeak_EVENT* events);

// Starts the engine once; false when its data cannot be loaded.
bool startEngine() {
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
            VoiceInfo info{v->identifier, v->name};
            const std::string languages = v->languages ? v->languages + 1 : "";
            (languages == "pt-br" ? first : rest).push_back(std::move(info));
        }
    }
    if (first.empty() && rest.empty()) return false;
    e.voices = std::move(first);
    e.voices.insert(e.voices.end(), rest.begin(), rest.end());
    e.ready = true;
    return true;
}

// SAPI rates -10..10 onto words per minute: 0 is espeak-ng's normal 175,
// the ends its minimum and maximum.
int wordsPerMinute(int rate) {
    if (rate < 0) return espeakRATE_NORMAL + rate * (espeakRATE_NORMAL - espeakRATE_MINIMUM) / 10;
    return espeakRATE_NORMAL + rate * (espeakRATE_MAXIMUM - espeakRATE_NORMAL) / 10;
}

// The wave-out device for one run of texts (used by the voice's thread only).
class DeviceOut {
public:
    // Queues the samples as one block; opens the device first if needed.
    // Samples are dropped when there is no device.
    void write(const std::int16_t* samples, int count, int rate, const std::atomic<bool>& abort) {
        reap();
        if (device_ == 0 && !failed_) open(rate, abort);
        if (device_ == 0) return;
        auto b = std::make_unique<Block>();
        b->data.resize(static_cast<std::size_t>(count) * 2);
        for (int i = 0; i < count; ++i) {
            const auto v = static_cast<std::uint16_t>(samples[i]);
            b->data[2 * static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v);
            b->data[2 * static_cast<std::size_t>(i) + 1] = static_cast<std::uint8_t>(v >> 8);
        }
        b->header.data = b->data.data();
        b->header.bufferLength = static_cast<std::uint32_t>(b->data.size());
        if (waveOutPrepareHeader(device_, &b->header, sizeof(WaveHdr)) != MMSYSERR_NOERROR) return;
        if (waveOutWrite(device_, &b->header, sizeof(WaveHdr)) != MMSYSERR_NOERROR) {
            waveOutUnprepareHeader(device_, &b->header, sizeof(WaveHdr));
            return;
        }
        blocks_.push_back(std::move(b));
    }
    // Waits until every block has played. Answers false, leaving the rest
    // queued, as soon as stopWaiting answers true.
    template <class Stop>
    bool drain(Stop stopWaiting) {
        for (;;) {
            reap();
            if (blocks_.empty()) return true;
            if (stopWaiting()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // Cuts what is queued and closes the device.
    void reset() {
        if (device_ != 0 && !blocks_.empty()) waveOutReset(device_);
        for (auto& b : blocks_) waveOutUnprepareHeader(device_, &b->header, sizeof(WaveHdr));
        blocks_.clear();
        close();
    }
    void close() {
        if (device_ != 0) waveOutClose(device_);
        device_ = 0;
        failed_ = false;
    }

private:
    struct Block {
        WaveHdr header;
        std::vector<std::uint8_t> data;
    };
    static bool done(WaveHdr& h) {
        return (std::atomic_ref<std::uint32_t>(h.flags).load() & WHDR_DONE) != 0;
    }
    void reap() {
        while (!blocks_.empty() && done(blocks_.front()->header)) {
            waveOutUnprepareHeader(device_, &blocks_.front()->header, sizeof(WaveHdr));
            blocks_.pop_front();
        }
    }
    void open(int rate, const std::atomic<bool>& abort) {
        WaveFormat f;
        f.channels = 1;
        f.samplesPerSec = static_cast<std::uint32_t>(rate);
        f.bitsPerSample = 16;
        f.blockAlign = 2;
        f.avgBytesPerSec = f.samplesPerSec * 2;
        // The console's own sounds may hold the device for a moment.
        for (int attempt = 0; attempt < 150 && !abort; ++attempt) {
            const MmResult r = waveOutOpen(&device_, WAVE_MAPPER, &f, 0, 0);
            if (r == MMSYSERR_NOERROR) return;
            device_ = 0;
            if (r != MMSYSERR_ALLOCATED) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        failed_ = true;
    }
    HWaveOut device_ = 0;
    bool failed_ = false;
    std::deque<std::unique_ptr<Block>> blocks_;
};

class EspeakVoice final : public VoiceBase {
public:
    EspeakVoice() : worker_([this] { run(); }) {}
    ~EspeakVoice() override {
        {
            std::lock_guard<std::mutex> g(lock_);
            quit_ = true;
            queue_.clear();
            abort_ = true;
        }
        wake_.notify_all();
        worker_.join();
    }

    HResult putref_AudioOutputStream(ISpeechBaseStream* stream) override {
        ComPtr<IWaveSink> sink;
        if (stream != nullptr && com::failed(stream->QueryInterface(IID_IWaveSink, sink.putVoid())))
            return com::E_INVALIDARG;
        std::lock_guard<std::mutex> g(lock_);
        IWaveSink* s = sink.get();
        if (s) s->AddRef();
        *sink_.put() = s;
        return com::S_OK;
    }

    HResult Speak(const std::u16string& text, std::int32_t flags, std::int32_t* streamNumber) override {
        {
            std::lock_guard<std::mutex> g(lock_);
            if (flags & SVSFPurgeBeforeSpeak) {
                queue_.clear();
                if (working_) abort_ = true;
            }
            // Whitespace alone is nothing to hear (a stop's space among them):
            // it is not queued, so it costs no sentence pause on the device.
            if (text.find_first_not_of(u" \t\r\n") != std::u16string::npos) {
                queue_.push_back(Item{utf16ToUtf8(text), (flags & SVSFIsNotXML) == 0, ++streams_});
                com::resetEvent(completeEvent());
            }
            // A purge may have taken texts the voice's thread never saw:
            // with nothing queued and nothing in hand, speech is complete.
            if (queue_.empty() && !working_) com::setEvent(completeEvent());
            if (streamNumber) *streamNumber = streams_;
        }
        wake_.notify_all();
        if (!(flags & SVSFlagsAsync)) com::waitForSingleObject(completeEvent(), -1);
        return com::S_OK;
    }

    // Called on the voice's thread, engine lock held.
    int samples(const short* wav, int count) {
        if (abort_) return 1;
        if (wav == nullptr || count <= 0) return 0;
        if (current_.sink) {
            if (current_.sink->setFormat(engine().rate, 16, 1)) {
                std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count) * 2);
                for (int i = 0; i < count; ++i) {
                    const auto v = static_cast<std::uint16_t>(wav[i]);
                    bytes[2 * static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v);
                    bytes[2 * static_cast<std::size_t>(i) + 1] = static_cast<std::uint8_t>(v >> 8);
                }
                current_.sink->write(bytes.data(), bytes.size());
            }
        } else {
            device_.write(wav, count, engine().rate, abort_);
        }
        return abort_ ? 1 : 0;
    }

protected:
    std::vector<Token*> listVoices() override {
        std::vector<Token*> out;
        for (const VoiceInfo& v : engine().voices) {
            std::u16string id(v.identifier.begin(), v.identifier.end());
            std::u16string name(v.name.begin(), v.name.end());
            out.push_back(new Token(v.identifier, id, name));
        }
        return out;
    }
    void voiceChosen(Token*) override {}
    void rateChosen(int) override {}

private:
    struct Item {
        std::string text;
        bool xml = false;
        std::int32_t stream = 0;
    };
    struct Current {
        ComPtr<IWaveSink> sink;
    };

    void speakItem(const Item& item) {
        std::string voice;
        int rate = 0;
        {
            std::lock_guard<std::mutex> g(settingsLock_);
            voice = voice_ ? voice_->key() : std::string();
            rate = rate_;
        }
        {
            std::lock_guard<std::mutex> g(lock_);
            IWaveSink* s = sink_.get();
            if (s) s->AddRef();
            *current_.sink.put() = s;
        }
        Engine& e = engine();
        std::lock_guard<std::mutex> g(e.lock);
        if (voice.empty() && !e.voices.empty()) voice = e.voices.front().identifier;
        espeak_SetVoiceByName(voice.c_str());
        espeak_SetParameter(espeakRATE, wordsPerMinute(rate), 0);
        unsigned int flags = espeakCHARS_UTF8 | espeakENDPAUSE | (item.xml ? espeakSSML : 0);
        espeak_Synth(item.text.c_str(), item.text.size() + 1, 0, POS_CHARACTER, 0, flags, nullptr, this);
        current_.sink.reset();
    }

    void run() {
        std::unique_lock<std::mutex> l(lock_);
        for (;;) {
            if (quit_) break;
            if (queue_.empty()) {
                // The queue is done: let the device play out (a purge or a
                // new text ends the wait), then signal idle.
                l.unlock();
                const bool drained = device_.drain([this] { return abort_ || !queueEmpty(); });
                if (!drained && abort_) device_.reset();
                l.lock();
                if (!queue_.empty()) continue;
                if (!drained) continue;
                device_.close();
                working_ = false;
                abort_ = false;
                com::setEvent(completeEvent());
                wake_.wait(l, [this] { return quit_ || !queue_.empty(); });
                continue;
            }
            Item item = std::move(queue_.front());
            queue_.pop_front();
            working_ = true;
            abort_ = false;
            l.unlock();
            speakItem(item);
            if (abort_) device_.reset();
            l.lock();
        }
        l.unlock();
        device_.reset();
    }

    bool queueEmpty() {
        std::lock_guard<std::mutex> g(lock_);
        return queue_.empty();
    }

    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<Item> queue_;
    bool working_ = false, quit_ = false;
    std::atomic<bool> abort_{false};
    std::int32_t streams_ = 0;
    ComPtr<IWaveSink> sink_;
    Current current_;    // the voice thread's own
    DeviceOut device_;   // the voice thread's own
    std::thread worker_;  // last: starts once everything above exists
};

int synthCallback(short* samples, int count, espeak_EVENT* events) {
    auto* voice = events ? static_cast<EspeakVoice*>(events->user_data) : nullptr;
    return voice ? voice->samples(samples, count) : 0;
}

}  // namespace

HResult createEspeakVoice(const Guid& iid, void** out) {
    if (out == nullptr) return com::E_POINTER;
    *out = nullptr;
    if (!startEngine()) return com::SPERR_UNINITIALIZED;
    auto* v = new EspeakVoice;
    const HResult hr = static_cast<ISpeechVoice*>(v)->QueryInterface(iid, out);
    static_cast<ISpeechVoice*>(v)->Release();
    return hr;
}

}  // namespace platform::sapi5::detail
