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

#include <atomic>
#include <condition_variable>
#include <deque>
#include <thread>

#include "platform/speech/espeak.hpp"
#include "platform/speech/sapi5_objects.hpp"

namespace platform::sapi5::detail {
namespace {

// SAPI rates -10..10 onto words per minute: 0 is espeak-ng's normal 175,
// the ends its minimum and maximum.
int wordsPerMinute(int rate) {
    if (rate < 0) return espeakRATE_NORMAL + rate * (espeakRATE_NORMAL - espeakRATE_MINIMUM) / 10;
    return espeakRATE_NORMAL + rate * (espeakRATE_MAXIMUM - espeakRATE_NORMAL) / 10;
}

class EspeakVoice final : public VoiceBase, private espeak::SampleReceiver {
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
    bool samples(const std::int16_t* wav, int count) override {
        if (abort_) return true;
        if (current_.sink) {
            if (current_.sink->setFormat(espeak::sampleRate(), 16, 1)) {
                const std::vector<std::uint8_t> bytes = espeak::littleEndian(wav, count);
                current_.sink->write(bytes.data(), bytes.size());
            }
        } else {
            device_.write(wav, count, espeak::sampleRate(), [this] { return abort_.load(); });
        }
        return abort_;
    }

protected:
    std::vector<Token*> listVoices() override {
        std::vector<Token*> out;
        for (const espeak::VoiceInfo& v : espeak::voices()) {
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
        espeak::Request request;
        request.voice = voice;
        request.wordsPerMinute = wordsPerMinute(rate);
        request.ssml = item.xml;
        espeak::synthesize(*this, item.text, request);
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
    espeak::DeviceOut device_;  // the voice thread's own
    std::thread worker_;  // last: starts once everything above exists
};

}  // namespace

HResult createEspeakVoice(const Guid& iid, void** out) {
    if (out == nullptr) return com::E_POINTER;
    *out = nullptr;
    if (!espeak::start()) return com::SPERR_UNINITIALIZED;
    auto* v = new EspeakVoice;
    const HResult hr = static_cast<ISpeechVoice*>(v)->QueryInterface(iid, out);
    static_cast<ISpeechVoice*>(v)->Release();
    return hr;
}

}  // namespace platform::sapi5::detail
