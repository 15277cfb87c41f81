// The SAPI 5 voice servers. Each variant keeps its voice object, its file
// stream (when the start named an output file), the event connection and
// the speak-complete event taken at start.
#include "servers/sapi5.hpp"

#include "console/qrcrt.hpp"
#include "platform/speech/com.hpp"
#include "platform/speech/sapi5.hpp"
#include "platform/system/system.hpp"
#include "platform/window/window.hpp"
#include "servers/dispatch.hpp"

namespace servers::sapi5 {
namespace {

namespace com = platform::com;
namespace sp = platform::sapi5;
using com::ComPtr;
using com::Guid;

constexpr std::int32_t kSpeakFlags = sp::SVSFlagsAsync | sp::SVSFIsNotXML;  // 17
constexpr std::int32_t kStopFlags = sp::SVSFPurgeBeforeSpeak;               // 2
constexpr int kBusyTimeout = 20;   // ms
constexpr int kStopPause = 50;     // ms
constexpr int kEndPoll = 300;      // ms
constexpr int kConnectPoll = 20;   // ms
constexpr std::uint64_t kConnectBound = 15000;  // ms, outside the dispatcher

// The receiver of the voice's events: connected, never acted upon.
class EventSink final : public com::IDispatch {
public:
    com::HResult QueryInterface(const Guid& iid, void** out) override {
        if (out == nullptr) return com::E_POINTER;
        *out = nullptr;
        if (iid != com::IID_IUnknown && iid != com::IID_IDispatch && iid != sp::IID_ISpeechVoiceEvents)
            return com::E_NOINTERFACE;
        AddRef();
        *out = static_cast<com::IDispatch*>(this);
        return com::S_OK;
    }
    std::uint32_t AddRef() override { return refs_.addRef(); }
    std::uint32_t Release() override { return refs_.release(this); }
    com::HResult GetIDOfName(const std::u16string&, com::DispId*) override { return com::DISP_E_UNKNOWNNAME; }
    com::HResult InvokePut(com::DispId, std::uint16_t, com::IDispatch*) override { return com::S_OK; }

private:
    com::RefCounted<EventSink> refs_;
};

struct Variant {
    Guid voiceClass, streamClass;
    bool lateBound = false;  // Voice and AudioOutputStream put by name
    const char* runtime;     // what the user knows it by
};
const Variant kStandard{sp::CLSID_SpVoice, sp::CLSID_SpFileStream, false, "o speech-dispatcher"};
const Variant kSecond{sp::CLSID_SpVoiceSecond, sp::CLSID_SpFileStreamSecond, true, "o espeak-ng"};

struct VariantState {
    ComPtr<sp::ISpeechVoice> voice;
    ComPtr<com::IConnectionPoint> events;
    std::uint32_t cookie = 0;
    ComPtr<sp::ISpeechFileStream> stream;
    com::Handle complete = 0;
};

VariantState& state5() {
    static VariantState s;
    return s;
}
VariantState& state54() {
    static VariantState s;
    return s;
}

void release(VariantState& s) {
    if (s.stream) s.stream->Close();
    s.stream.reset();
    if (s.events) s.events->Unadvise(s.cookie);
    s.events.reset();
    s.voice.reset();
    s = VariantState{};
}

// The active object of the class if the platform has one, else a new one.
bool obtainVoice(const Variant& v, VariantState& s) {
    ComPtr<com::IUnknown> active;
    if (com::succeeded(com::getActiveObject(v.voiceClass, active.put())) &&
        com::succeeded(active->QueryInterface(sp::IID_ISpeechVoice, s.voice.putVoid()))) {
    } else if (com::failed(com::coCreateInstance(v.voiceClass, sp::IID_ISpeechVoice, s.voice.putVoid()))) {
        return false;
    }
    ComPtr<com::IConnectionPointContainer> container;
    if (com::failed(s.voice->QueryInterface(com::IID_IConnectionPointContainer, container.putVoid())) ||
        com::failed(container->FindConnectionPoint(sp::IID_ISpeechVoiceEvents, s.events.put())))
        return false;
    auto* sink = new EventSink;
    const com::HResult hr = s.events->Advise(sink, &s.cookie);
    sink->Release();
    if (com::failed(hr)) {
        s.events.reset();
        return false;
    }
    return true;
}

template <class I>
com::HResult assign(const Variant& v, VariantState& s, const char16_t* name, I* value,
                    com::HResult (sp::ISpeechVoice::*member)(I*)) {
    if (!v.lateBound) return (s.voice.get()->*member)(value);
    return com::putPropertyByName(s.voice.get(), name, value);
}

std::u16string toUtf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (char c : text) out += static_cast<char16_t>(platform::cp1252ToUnicode(static_cast<std::uint8_t>(c)));
    return out;
}

// A voice that first connects to a server of its own keeps its
// speak-complete event clear until it has: wait for it, pumping messages,
// within the dispatcher's start bound (or a bound of its own when started
// outside the dispatcher).
bool waitUntilConnected(VariantState& s) {
    com::Handle ready = 0;
    if (com::failed(s.voice->get_SpeakCompleteEvent(&ready)) || ready == 0) return true;
    const std::uint64_t until = platform::tickCount() + kConnectBound;
    while (com::waitForSingleObject(ready, kBusyTimeout) == com::WAIT_TIMEOUT) {
        if (serverOverdue() || platform::tickCount() >= until) return false;
        qrcrt::pauseFor(kConnectPoll);
    }
    return true;
}

bool refuse(VariantState& s, const std::string& why) {
    serverFailed(why);
    release(s);
    return false;
}

bool startVariant(const Variant& v, VariantState& s, int voice, int speed, const std::string& outputFile) {
    release(s);
    const std::string runtime = v.runtime;
    if (!obtainVoice(v, s)) return refuse(s, runtime + " n\xE3o iniciou");
    if (!waitUntilConnected(s)) return refuse(s, runtime + " n\xE3o respondeu");
    s.voice->put_EventInterests(sp::SVEAllEvents);
    ComPtr<sp::ISpeechObjectTokens> tokens;
    std::int32_t count = 0;
    if (com::failed(s.voice->GetVoices(u"", u"", tokens.put())) || com::failed(tokens->get_Count(&count)))
        return refuse(s, runtime + " n\xE3o est\xE1 dispon\xEDvel");
    if (count <= 0) return refuse(s, runtime + " n\xE3o tem nenhuma voz");
    if (voice < 1 || voice > count) {
        voice = 1;
        speed = 0;
    }
    ComPtr<sp::ISpeechObjectToken> token;
    if (com::failed(tokens->Item(voice - 1, token.put())) ||
        com::failed(assign(v, s, u"Voice", token.get(), &sp::ISpeechVoice::putref_Voice))) {
        release(s);
        return false;
    }
    s.voice->put_Rate(speed);  // a refused rate leaves the voice's own
    if (com::failed(s.voice->get_SpeakCompleteEvent(&s.complete)) || s.complete == 0) {
        release(s);
        return false;
    }
    if (!outputFile.empty()) {
        ComPtr<sp::ISpeechBaseStream> base;
        if (com::failed(com::coCreateInstance(v.streamClass, sp::IID_ISpeechFileStream, s.stream.putVoid())) ||
            com::failed(s.stream->Open(toUtf16(outputFile), sp::SSFMCreateForWrite, true)) ||
            com::failed(s.stream->QueryInterface(sp::IID_ISpeechBaseStream, base.putVoid())) ||
            com::failed(assign(v, s, u"AudioOutputStream", base.get(), &sp::ISpeechVoice::putref_AudioOutputStream))) {
            release(s);
            return false;
        }
    }
    return true;
}

void speakVariant(VariantState& s, const std::string& text) {
    const std::u16string wide = toUtf16(text.empty() ? std::string(" ") : text);
    std::int32_t stream = 0;
    if (!s.voice || com::failed(s.voice->Speak(wide, kSpeakFlags, &stream))) platform::messageBeep();
}

bool busyVariant(VariantState& s) {
    if (!s.voice) return false;
    if (com::waitForSingleObject(s.complete, kBusyTimeout) == com::WAIT_TIMEOUT) {
        postSpeechWake();
        return true;
    }
    return false;
}

void stopVariant(VariantState& s) {
    if (s.voice) s.voice->Speak(u" ", kStopFlags, nullptr);
    qrcrt::pauseFor(kStopPause);
}

void endVariant(VariantState& s) {
    while (busyVariant(s) && !serverOverdue()) qrcrt::pauseFor(kEndPoll);
    release(s);
}

}  // namespace

bool start5(int voice, int speed, int, const std::string& outputFile) {
    return startVariant(kStandard, state5(), voice, speed, outputFile);
}
void speak5(const std::string& text) { speakVariant(state5(), text); }
bool busy5(std::uint8_t) { return busyVariant(state5()); }
void stop5() { stopVariant(state5()); }
void end5() { endVariant(state5()); }

bool start54(int voice, int speed, int, const std::string& outputFile) {
    return startVariant(kSecond, state54(), voice, speed, outputFile);
}
void speak54(const std::string& text) { speakVariant(state54(), text); }
bool busy54(std::uint8_t) { return busyVariant(state54()); }
void stop54() { stopVariant(state54()); }
void end54() { endVariant(state54()); }

void resetForTests() {
    release(state5());
    release(state54());
}

}  // namespace servers::sapi5

namespace servers {

void registerSapi5Servers() {
    platform::com::coInitialize();
    platform::sapi5::registerRuntimes();
    ServerOps five;
    five.start = sapi5::start5;
    five.speak = sapi5::speak5;
    five.busy = sapi5::busy5;
    five.stop = sapi5::stop5;
    five.end = sapi5::end5;
    if (!serverRegistered(ServerKind::sapi5)) registerServer(ServerKind::sapi5, five);
    ServerOps second;
    second.start = sapi5::start54;
    second.speak = sapi5::speak54;
    second.busy = sapi5::busy54;
    second.stop = sapi5::stop54;
    second.end = sapi5::end54;
    if (!serverRegistered(ServerKind::sapi5Second)) registerServer(ServerKind::sapi5Second, second);
}

}  // namespace servers
