// The SAPI 4 engine on espeak-ng: one mode per espeak-ng voice. The central
// object owns a thread that takes texts from its queue, synthesizes them
// and writes the samples to the wave-out device (one run of blocks, the
// device closed when the run has played) or into the WAV file of the file
// destination. Every notification is a call posted to the main thread.
//
// Generations keep a cut clean: AudioReset moves the central object to a
// new generation and settles the notifications of everything it cut; the
// thread, seeing an older generation on what it holds, stops synthesizing,
// empties the device and posts nothing more for it.
#include "platform/speech/sapi4.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/speech/espeak.hpp"
#include "platform/speech/sapi5_objects.hpp"
#include "platform/system/messages.hpp"
#include "platform/system/system.hpp"

namespace platform::sapi4 {
namespace {

using com::ComPtr;
using com::IUnknown;
using sapi5::detail::IWaveSink;

constexpr Guid kEngineId = guidOf("{5C3B7D10-8E4A-4F0B-9A61-2D7C0E1F4A40}");
// A mode's identifier: this base with the voice's place in its last two bytes.
constexpr Guid kModeBase = guidOf("{5C3B7D10-8E4A-4F0B-9A61-2D7C0E1F0000}");
constexpr std::uint32_t kDefaultDevice = 0xFFFFFFFFu;
constexpr std::uint32_t kNormalSpeed = 175;  // espeak-ng's words per minute
constexpr std::uint16_t kLowPitch = 50, kHighPitch = 250;

template <class I, class T>
HResult answer(T* object, void** out) {
    I* i = object;
    i->AddRef();
    *out = i;
    return com::S_OK;
}

// 100-nanosecond units of a steady clock.
std::uint64_t stamp() {
    return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count() / 100);
}

void copyText(char* to, std::size_t size, const std::string& text) {
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(to, text.data(), n);
    to[n] = '\0';
}

// Windows language identifiers of the espeak-ng languages most likely here.
std::uint16_t languageId(const std::string& language) {
    static const std::pair<const char*, std::uint16_t> table[] = {
        {"pt-br", 0x0416}, {"pt", 0x0816},    {"en-us", 0x0409}, {"en", 0x0809},  {"es", 0x0C0A},
        {"es-419", 0x580A}, {"fr", 0x040C},   {"de", 0x0407},    {"it", 0x0410},  {"ca", 0x0403},
        {"gl", 0x0456},    {"nl", 0x0413},    {"ru", 0x0419},    {"ja", 0x0411},  {"cmn", 0x0804},
    };
    for (auto [name, id] : table)
        if (language == name) return id;
    return 0;
}

Guid modeIdOf(std::size_t index) {
    Guid g = kModeBase;
    g.bytes[14] = static_cast<std::uint8_t>(index >> 8);
    g.bytes[15] = static_cast<std::uint8_t>(index);
    return g;
}

void fillMode(TTSModeInfo& m, std::size_t index, const espeak::VoiceInfo& v) {
    m = TTSModeInfo{};
    m.engineId = kEngineId;
    copyText(m.manufacturer, kNameSize, "eSpeak NG");
    copyText(m.product, kNameSize, "eSpeak NG");
    m.modeId = modeIdOf(index);
    copyText(m.modeName, kNameSize, v.name);
    m.languageId = languageId(v.language);
    copyText(m.dialect, kDialectSize, v.language);
    copyText(m.speaker, kNameSize, v.name);
    copyText(m.style, kNameSize, "Normal");
    m.gender = v.gender == 1 ? GENDER_MALE : v.gender == 2 ? GENDER_FEMALE : GENDER_NEUTRAL;
    m.age = v.age > 0 && v.age < 14 ? TTSAGE_CHILD : TTSAGE_ADULT;
    m.features = TTSFEATURE_ANYWORD | TTSFEATURE_VOLUME | TTSFEATURE_SPEED | TTSFEATURE_PITCH;
    m.interfaces = TTSI_ITTSATTRIBUTES | TTSI_ITTSCENTRAL;
}

// Holds one reference for a posted call (copies share it).
template <class I>
std::shared_ptr<I> held(I* sink) {
    sink->AddRef();
    return std::shared_ptr<I>(sink, [](I* p) { p->Release(); });
}

// ---- the audio destinations ----

class MMAudioDest final : public IAudioMultiMediaDevice {
public:
    HResult QueryInterface(const Guid& iid, void** out) override {
        if (out == nullptr) return com::E_POINTER;
        *out = nullptr;
        if (iid == com::IID_IUnknown || iid == IID_IAudioMultiMediaDevice)
            return answer<IAudioMultiMediaDevice>(this, out);
        return com::E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return refs_.addRef(); }
    std::uint32_t Release() override { return refs_.release(this); }
    HResult DeviceNumGet(std::uint32_t* device) override {
        if (device == nullptr) return com::E_POINTER;
        *device = kDefaultDevice;
        return com::S_OK;
    }
    HResult DeviceNumSet(std::uint32_t device) override {
        return device == kDefaultDevice ? com::S_OK : com::E_INVALIDARG;
    }

private:
    com::RefCounted<MMAudioDest> refs_;
};

// The file destination keeps a WAV file stream of the SAPI 5 layer and
// writes through it.
class AudioFile final : public IAudioFile, public IWaveSink {
public:
    HResult QueryInterface(const Guid& iid, void** out) override {
        if (out == nullptr) return com::E_POINTER;
        *out = nullptr;
        if (iid == com::IID_IUnknown || iid == IID_IAudioFile) return answer<IAudioFile>(this, out);
        if (iid == sapi5::detail::IID_IWaveSink) return answer<IWaveSink>(this, out);
        return com::E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return refs_.addRef(); }
    std::uint32_t Release() override { return refs_.release(this); }

    HResult Set(const std::u16string& fileName, std::uint32_t append) override {
        if (append != 1) return com::E_INVALIDARG;
        ComPtr<sapi5::ISpeechFileStream> stream;
        ComPtr<IWaveSink> sink;
        HResult hr = sapi5::detail::FileStream::create(sapi5::IID_ISpeechFileStream, stream.putVoid());
        if (com::succeeded(hr)) hr = stream->Open(fileName, sapi5::SSFMCreateForWrite, false);
        if (com::succeeded(hr)) hr = stream->QueryInterface(sapi5::detail::IID_IWaveSink, sink.putVoid());
        if (com::failed(hr)) return hr;
        std::lock_guard<std::mutex> g(lock_);
        if (stream_) stream_->Close();
        stream_ = std::move(stream);
        sink_ = std::move(sink);
        return com::S_OK;
    }
    HResult Flush() override {
        std::lock_guard<std::mutex> g(lock_);
        return stream_ ? stream_->Close() : com::S_OK;
    }
    bool setFormat(int rate, int bits, int channels) override {
        std::lock_guard<std::mutex> g(lock_);
        return sink_ && sink_->setFormat(rate, bits, channels);
    }
    void write(const std::uint8_t* bytes, std::size_t size) override {
        std::lock_guard<std::mutex> g(lock_);
        if (sink_) sink_->write(bytes, size);
    }

private:
    com::RefCounted<AudioFile> refs_;
    std::mutex lock_;
    ComPtr<sapi5::ISpeechFileStream> stream_;
    ComPtr<IWaveSink> sink_;
};

// ---- the central object ----

class Central final : public ITTSCentral, public ITTSAttributes, private espeak::SampleReceiver {
public:
    Central(std::string voice, ComPtr<IWaveSink> file) : voice_(std::move(voice)), file_(std::move(file)) {
        worker_ = std::thread([this] { run(); });
    }
    ~Central() {
        {
            std::lock_guard<std::mutex> g(lock_);
            quit_ = true;
            ++gen_;
            queue_.clear();
        }
        wake_.notify_all();
        worker_.join();
    }

    HResult QueryInterface(const Guid& iid, void** out) override {
        if (out == nullptr) return com::E_POINTER;
        *out = nullptr;
        if (iid == com::IID_IUnknown || iid == IID_ITTSCentral) return answer<ITTSCentral>(this, out);
        if (iid == IID_ITTSAttributes) return answer<ITTSAttributes>(this, out);
        return com::E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return refs_.addRef(); }
    std::uint32_t Release() override { return refs_.release(this); }

    HResult TextData(std::uint32_t charset, std::uint32_t, SData text, IUnknown* bufferSink,
                     Guid sinkInterface) override {
        if (charset != CHARSET_TEXT) return com::E_INVALIDARG;
        if (text.data == nullptr) return com::E_POINTER;
        const char* bytes = static_cast<const char*>(text.data);
        const std::string ansi(bytes, strnlen(bytes, text.size));
        Item item{cp1252ToUtf8(ansi), nullptr};
        if (bufferSink != nullptr) {
            if (sinkInterface != IID_ITTSBufNotifySink) return com::E_NOINTERFACE;
            ITTSBufNotifySink* sink = nullptr;
            if (com::failed(bufferSink->QueryInterface(IID_ITTSBufNotifySink, reinterpret_cast<void**>(&sink))))
                return com::E_NOINTERFACE;
            item.sink = std::shared_ptr<ITTSBufNotifySink>(sink, [](ITTSBufNotifySink* p) { p->Release(); });
        }
        {
            std::lock_guard<std::mutex> g(lock_);
            if (item.sink) {
                const std::uint64_t t = stamp();
                platform::postCall([s = item.sink, t] { s->TextDataStarted(t); });
            }
            queue_.push_back(std::move(item));
        }
        wake_.notify_all();
        return com::S_OK;
    }

    HResult AudioReset() override {
        {
            std::lock_guard<std::mutex> g(lock_);
            ++gen_;
            for (Item& item : queue_) textDone(item);
            queue_.clear();
            if (inHand_) textDone(*inHand_);
            inHand_.reset();
            if (audioOn_) audioNotice(false);
        }
        wake_.notify_all();
        return com::S_OK;
    }

    HResult Register(IUnknown* notifySink, Guid sinkInterface, std::uint32_t* key) override {
        if (notifySink == nullptr || key == nullptr) return com::E_POINTER;
        if (sinkInterface != IID_ITTSNotifySink) return com::E_NOINTERFACE;
        ITTSNotifySink* sink = nullptr;
        if (com::failed(notifySink->QueryInterface(IID_ITTSNotifySink, reinterpret_cast<void**>(&sink))))
            return com::E_NOINTERFACE;
        std::lock_guard<std::mutex> g(lock_);
        *key = nextKey_++;
        sinks_[*key] = std::shared_ptr<ITTSNotifySink>(sink, [](ITTSNotifySink* p) { p->Release(); });
        return com::S_OK;
    }

    HResult UnRegister(std::uint32_t key) override {
        std::shared_ptr<ITTSNotifySink> gone;  // released outside the lock
        std::lock_guard<std::mutex> g(lock_);
        auto it = sinks_.find(key);
        if (it == sinks_.end()) return com::E_INVALIDARG;
        gone = std::move(it->second);
        sinks_.erase(it);
        return com::S_OK;
    }

    HResult SpeedSet(std::uint32_t wordsPerMinute) override {
        std::lock_guard<std::mutex> g(lock_);
        speed_ = static_cast<std::uint32_t>(engineSpeed(wordsPerMinute));
        return com::S_OK;
    }
    HResult SpeedGet(std::uint32_t* wordsPerMinute) override {
        if (wordsPerMinute == nullptr) return com::E_POINTER;
        std::lock_guard<std::mutex> g(lock_);
        *wordsPerMinute = speed_;
        return com::S_OK;
    }
    HResult PitchSet(std::uint16_t hertz) override {
        std::lock_guard<std::mutex> g(lock_);
        pitch_ = std::clamp(hertz, kLowPitch, kHighPitch);
        return com::S_OK;
    }
    HResult PitchGet(std::uint16_t* hertz) override {
        if (hertz == nullptr) return com::E_POINTER;
        std::lock_guard<std::mutex> g(lock_);
        *hertz = pitch_;
        return com::S_OK;
    }

private:
    struct Item {
        std::string text;  // UTF-8
        std::shared_ptr<ITTSBufNotifySink> sink;
    };

    // ---- notifications (lock_ held) ----
    void textDone(const Item& item) {
        if (!item.sink) return;
        const std::uint64_t t = stamp();
        platform::postCall([s = item.sink, t] { s->TextDataDone(t, 0); });
    }
    void audioNotice(bool start) {
        audioOn_ = start;
        const std::uint64_t t = stamp();
        for (auto& [key, sink] : sinks_)
            platform::postCall([s = sink, t, start] { start ? s->AudioStart(t) : s->AudioStop(t); });
    }

    // ---- the engine's thread ----
    bool stale() const { return gen_.load() != speaking_; }

    bool samples(const std::int16_t* wav, int count) override {
        if (stale()) return true;
        {
            std::lock_guard<std::mutex> g(lock_);
            if (stale()) return true;
            if (!audioOn_) audioNotice(true);
        }
        if (file_) {
            if (file_->setFormat(espeak::sampleRate(), 16, 1)) {
                const std::vector<std::uint8_t> bytes = espeak::littleEndian(wav, count);
                file_->write(bytes.data(), bytes.size());
            }
        } else {
            device_.write(wav, count, espeak::sampleRate(), [this] { return stale() || quit_.load(); });
        }
        return stale();
    }

    void run() {
        std::unique_lock<std::mutex> l(lock_);
        for (;;) {
            if (speaking_ != gen_) {
                // A cut (or the end): what the device holds goes.
                speaking_ = gen_;
                l.unlock();
                device_.reset();
                l.lock();
                continue;  // another cut may have come meanwhile
            }
            if (quit_) break;
            if (!queue_.empty()) {
                inHand_ = std::move(queue_.front());
                queue_.pop_front();
                espeak::Request request;
                request.voice = voice_;
                request.wordsPerMinute = static_cast<int>(speed_);
                request.pitch = enginePitch(pitch_);
                const std::string text = inHand_->text;
                l.unlock();
                espeak::synthesize(*this, text, request);
                l.lock();
                if (inHand_ && !stale()) textDone(*inHand_);
                inHand_.reset();
                continue;
            }
            if (device_.playing()) {
                // The run plays out; a new text or a cut ends the wait.
                l.unlock();
                const bool drained = device_.drain([this] { return stale() || quit_ || pending(); });
                l.lock();
                if (!drained) continue;
            }
            if (audioOn_) {
                device_.close();
                audioNotice(false);
                continue;
            }
            wake_.wait(l, [this] { return quit_ || !queue_.empty() || speaking_ != gen_; });
        }
    }

    bool pending() {
        std::lock_guard<std::mutex> g(lock_);
        return !queue_.empty();
    }

    com::RefCounted<Central> refs_;
    const std::string voice_;
    const ComPtr<IWaveSink> file_;  // null: the wave-out device
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<Item> queue_;
    std::optional<Item> inHand_;
    std::map<std::uint32_t, std::shared_ptr<ITTSNotifySink>> sinks_;
    std::uint32_t nextKey_ = 1;
    std::uint32_t speed_ = kNormalSpeed;
    std::uint16_t pitch_ = 150;
    bool audioOn_ = false;           // AudioStart posted, AudioStop not yet
    std::atomic<std::uint64_t> gen_{1};
    std::atomic<bool> quit_{false};
    std::uint64_t speaking_ = 1;     // the generation the thread works for (its own)
    espeak::DeviceOut device_;       // the thread's own
    std::thread worker_;
};

// ---- the enumerator ----

class Enumerator final : public ITTSEnum {
public:
    HResult QueryInterface(const Guid& iid, void** out) override {
        if (out == nullptr) return com::E_POINTER;
        *out = nullptr;
        if (iid == com::IID_IUnknown || iid == IID_ITTSEnum) return answer<ITTSEnum>(this, out);
        return com::E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return refs_.addRef(); }
    std::uint32_t Release() override { return refs_.release(this); }

    HResult Next(std::uint32_t count, TTSModeInfo* modes, std::uint32_t* fetched) override {
        if (modes == nullptr && count > 0) return com::E_POINTER;
        const auto& voices = espeak::voices();
        std::uint32_t n = 0;
        for (; n < count && place_ < voices.size(); ++n, ++place_) fillMode(modes[n], place_, voices[place_]);
        if (fetched) *fetched = n;
        return n == count ? com::S_OK : com::S_FALSE;
    }
    HResult Skip(std::uint32_t count) override {
        const std::size_t total = espeak::voices().size();
        const std::size_t left = total - place_;
        place_ = std::min<std::size_t>(total, place_ + count);
        return count <= left ? com::S_OK : com::S_FALSE;
    }
    HResult Reset() override {
        place_ = 0;
        return com::S_OK;
    }
    HResult Select(Guid modeId, ITTSCentral** central, IUnknown* audioDestination) override {
        if (central == nullptr) return com::E_POINTER;
        *central = nullptr;
        const auto& voices = espeak::voices();
        std::size_t index = 0;
        while (index < voices.size() && modeIdOf(index) != modeId) ++index;
        if (index == voices.size()) return com::E_INVALIDARG;
        ComPtr<IWaveSink> file;
        if (audioDestination != nullptr &&
            com::failed(audioDestination->QueryInterface(sapi5::detail::IID_IWaveSink, file.putVoid()))) {
            ComPtr<IAudioMultiMediaDevice> device;
            if (com::failed(audioDestination->QueryInterface(IID_IAudioMultiMediaDevice, device.putVoid())))
                return com::E_INVALIDARG;
        }
        *central = new Central(voices[index].identifier, std::move(file));
        return com::S_OK;
    }

private:
    com::RefCounted<Enumerator> refs_;
    std::size_t place_ = 0;
};

template <class Object, class I>
HResult create(const Guid& iid, void** out) {
    if (out == nullptr) return com::E_POINTER;
    *out = nullptr;
    I* object = new Object;
    const HResult hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

HResult createEnumerator(const Guid& iid, void** out) {
    if (out == nullptr) return com::E_POINTER;
    *out = nullptr;
    if (!espeak::start()) return com::E_FAIL;
    return create<Enumerator, ITTSEnum>(iid, out);
}

}  // namespace

int engineSpeed(std::uint32_t wordsPerMinute) {
    return static_cast<int>(std::clamp<std::uint32_t>(wordsPerMinute, 80, 450));
}

int enginePitch(std::uint16_t hertz) {
    return (std::clamp(hertz, kLowPitch, kHighPitch) - kLowPitch) / 2;
}

void registerClasses() {
    const std::pair<Guid, com::Factory> classes[] = {
        {CLSID_MMAudioDest, create<MMAudioDest, IAudioMultiMediaDevice>},
        {CLSID_AudioDestFile, create<AudioFile, IAudioFile>},
        {CLSID_TTSEnumerator, createEnumerator},
    };
    for (const auto& [clsid, factory] : classes)
        if (!com::classRegistered(clsid)) com::registerClass(clsid, factory);
}

}  // namespace platform::sapi4
