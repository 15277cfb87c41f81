// The SAPI 4 voice server. Start creates the audio destination, the
// enumerator, the chosen mode's record and its central object, then the
// two sinks; every failure on the way releases what was made and answers
// false, and the current directory is put back whatever happens (engines
// may change it while they load).
#include "servers/sapi4.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "console/qrcrt.hpp"
#include "platform/speech/com.hpp"
#include "platform/speech/sapi4.hpp"
#include "platform/system/system.hpp"
#include "sound/qrwav.hpp"

namespace servers::sapi4 {
namespace {

namespace com = platform::com;
namespace tts = platform::sapi4;
using com::ComPtr;
using com::Guid;
using com::HResult;

constexpr int kBusyPause = 20;         // ms before a text while others are pending
constexpr int kBeforeReset = 50;       // ms
constexpr int kAfterReset = 150;       // ms

struct Sapi4State {
    std::string outputFile;
    ComPtr<tts::IAudioMultiMediaDevice> device;
    ComPtr<tts::IAudioFile> file;
    ComPtr<tts::ITTSEnum> enumerator;
    std::unique_ptr<tts::TTSModeInfo> mode;
    ComPtr<tts::ITTSCentral> central;
    ComPtr<tts::ITTSNotifySink> notifySink;
    std::uint32_t key = 0;
    ComPtr<tts::ITTSBufNotifySink> bufferSink;
    // Touched on the console's thread only (the sinks run there).
    int pendingBuffers = 0;
    bool audioActive = false;
    std::array<char, kBufferSize> buffer{};
    bool exitHooked = false;
};

Sapi4State& state() {
    static Sapi4State* s = new Sapi4State;  // released by moduleEnd, at exit
    return *s;
}

template <class Self, class I, const Guid& Iid>
class Sink : public I {
public:
    HResult QueryInterface(const Guid& iid, void** out) override {
        if (out == nullptr) return com::E_POINTER;
        *out = nullptr;
        if (iid != com::IID_IUnknown && iid != Iid) return com::E_NOINTERFACE;
        AddRef();
        *out = static_cast<I*>(this);
        return com::S_OK;
    }
    std::uint32_t AddRef() override { return refs_.addRef(); }
    std::uint32_t Release() override { return refs_.release(static_cast<Self*>(this)); }

private:
    com::RefCounted<Self> refs_;
};

class TTSBufNotifySink final : public Sink<TTSBufNotifySink, tts::ITTSBufNotifySink, tts::IID_ITTSBufNotifySink> {
public:
    HResult TextDataDone(std::uint64_t, std::uint32_t) override {
        int& n = state().pendingBuffers;
        n = std::max(0, n - 1);
        return com::S_OK;
    }
    HResult TextDataStarted(std::uint64_t) override {
        ++state().pendingBuffers;
        return com::S_OK;
    }
    HResult BookMark(std::uint64_t, std::uint32_t) override { return com::S_OK; }
    HResult WordPosition(std::uint64_t, std::uint32_t) override { return com::S_OK; }
};

class TTSNotifySink final : public Sink<TTSNotifySink, tts::ITTSNotifySink, tts::IID_ITTSNotifySink> {
public:
    HResult AttribChanged(std::uint32_t) override { return com::S_OK; }
    HResult AudioStart(std::uint64_t) override {
        state().audioActive = true;
        return com::S_OK;
    }
    HResult AudioStop(std::uint64_t) override {
        state().audioActive = false;
        return com::S_OK;
    }
    HResult Visual(std::uint64_t, char, char, std::uint32_t, const void*) override { return com::S_OK; }
};

std::u16string toUtf16(const std::string& text) {
    std::u16string out;
    for (char c : text) out += static_cast<char16_t>(platform::cp1252ToUnicode(static_cast<std::uint8_t>(c)));
    return out;
}

// Releases the engine's objects in the order the end gives: the file
// (completed), the device, the enumerator, the buffer sink, the notify
// sink (unregistered), the central object.
void releaseAll(Sapi4State& s) {
    if (s.file) s.file->Flush();
    s.file.reset();
    s.device.reset();
    s.enumerator.reset();
    s.bufferSink.reset();
    if (s.notifySink && s.central) s.central->UnRegister(s.key);
    s.notifySink.reset();
    s.key = 0;
    s.central.reset();
    s.mode.reset();
}

// Steps 3 to 8 of a start; false leaves the release to the caller.
bool build(Sapi4State& s, int voice) {
    if (!s.outputFile.empty()) {
        if (com::failed(com::coCreateInstance(tts::CLSID_AudioDestFile, tts::IID_IAudioFile, s.file.putVoid())) ||
            s.file->Set(toUtf16(s.outputFile), 1) != com::S_OK)
            return false;
    } else if (com::failed(com::coCreateInstance(tts::CLSID_MMAudioDest, tts::IID_IAudioMultiMediaDevice,
                                                 s.device.putVoid()))) {
        return false;
    }
    if (com::failed(com::coCreateInstance(tts::CLSID_TTSEnumerator, tts::IID_ITTSEnum, s.enumerator.putVoid())))
        return false;
    s.enumerator->Reset();

    // Next, voice times: past the end of the list nothing more is fetched
    // and the record keeps the last mode, so the calls stop there.
    s.mode = std::make_unique<tts::TTSModeInfo>();
    bool found = false;
    for (int i = 0; i < voice; ++i) {
        tts::TTSModeInfo next{};
        const HResult hr = s.enumerator->Next(1, &next, nullptr);
        if (com::failed(hr)) return false;
        if (hr != com::S_OK) break;
        *s.mode = next;
        found = true;
    }
    if (!found) return false;

    com::IUnknown* destination = s.file ? static_cast<com::IUnknown*>(s.file.get())
                                        : static_cast<com::IUnknown*>(s.device.get());
    if (com::failed(s.enumerator->Select(s.mode->modeId, s.central.put(), destination)) || !s.central) return false;

    *s.bufferSink.put() = new TTSBufNotifySink;
    *s.notifySink.put() = new TTSNotifySink;
    if (com::failed(s.central->Register(s.notifySink.get(), tts::IID_ITTSNotifySink, &s.key))) {
        // Never registered: nothing to give back to UnRegister.
        s.notifySink.reset();
        return false;
    }
    return true;
}

}  // namespace

bool start(int voice, int speed, int pitch, const std::string& outputFile) {
    Sapi4State& s = state();
    if (!s.exitHooked) {
        s.exitHooked = true;
        std::atexit(moduleEnd);
    }
    releaseAll(s);  // a second start replaces the first
    tts::registerClasses();
    s.outputFile = outputFile;
    if (voice == 0) voice = 1;

    const std::string directory = platform::currentDirectory();
    struct Restore {
        const std::string& directory;
        ~Restore() { platform::setCurrentDirectory(directory); }
    } restore{directory};

    if (!build(s, voice)) {
        releaseAll(s);
        return false;
    }
    ComPtr<tts::ITTSAttributes> attributes;
    if (com::succeeded(s.central->QueryInterface(tts::IID_ITTSAttributes, attributes.putVoid()))) {
        if (speed != 0) attributes->SpeedSet(static_cast<std::uint32_t>(speed));
        if (pitch != 0) attributes->PitchSet(static_cast<std::uint16_t>(pitch));
    }
    return true;
}

void speak(const std::string& text) {
    Sapi4State& s = state();
    const auto blank = [](char c) { return static_cast<std::uint8_t>(c) <= ' '; };
    const auto first = std::find_if_not(text.begin(), text.end(), blank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    if (first >= last) return;
    std::string t(first, last);
    // A lone digit is read as a number only with a full stop after it.
    if (t.size() == 1 && t[0] >= '0' && t[0] <= '9') t += '.';
    if (!s.central) return;
    if (qrwav::waveInterruptible() && qrcrt::keyWaiting()) return;

    const std::size_t n = std::min(t.size(), kBufferSize - 1);
    std::memcpy(s.buffer.data(), t.data(), n);
    s.buffer[n] = '\0';
    if (s.pendingBuffers > 0) qrcrt::pauseFor(kBusyPause);
    if (!s.central) return;  // a pump may have run anything
    const tts::SData data{s.buffer.data(), static_cast<std::uint32_t>(n + 1)};
    if (com::failed(s.central->TextData(tts::CHARSET_TEXT, 0, data, s.bufferSink.get(), tts::IID_ITTSBufNotifySink)))
        stop();
}

bool busy(std::uint8_t mode) {
    const Sapi4State& s = state();
    if (mode == 1) return s.pendingBuffers > 0;
    return s.pendingBuffers > 0 || s.audioActive;
}

void stop() {
    Sapi4State& s = state();
    // Texts handed over whose sound has not begun are cut as well: a key
    // pressed in that moment would otherwise leave the whole text to be
    // heard.
    if ((s.audioActive || s.pendingBuffers > 0) && s.central) {
        qrcrt::pauseFor(kBeforeReset);
        if (s.central) s.central->AudioReset();
        qrcrt::pauseFor(kAfterReset);
    }
    s.audioActive = false;
    s.pendingBuffers = 0;
}

void end() { releaseAll(state()); }

void moduleEnd() {
    Sapi4State& s = state();
    releaseAll(s);
    s.outputFile.clear();
}

ServerOps ops() {
    ServerOps o;
    o.start = start;
    o.speak = speak;
    o.busy = busy;
    o.stop = stop;
    o.end = end;
    return o;
}

int pendingBuffers() { return state().pendingBuffers; }
bool audioActive() { return state().audioActive; }

void resetForTests() {
    moduleEnd();
    state().pendingBuffers = 0;
    state().audioActive = false;
}

}  // namespace servers::sapi4
