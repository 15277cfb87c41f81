// The SAPI 4 server against stand-in engine classes registered under the
// engine's identifiers: what speak hands over, which mode a voice number
// selects, when the attributes are set, what stop asks of the engine, the
// sinks' counters, and the starts that fail half way.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/speech/sapi4.hpp"
#include "platform/window/window.hpp"
#include "servers/sapi4.hpp"
#include "sound/qrwav.hpp"
#include "support/fresh_system.hpp"
#include "support/temp_dir.hpp"

namespace {

namespace com = platform::com;
namespace tts = platform::sapi4;
using com::Guid;
using com::HResult;

std::vector<std::string> log;  // what the engine was asked, in order
int live = 0;                  // stand-in objects not yet deleted
int installedModes = 3;
std::string failAt;            // the call that answers a failure
com::ComPtr<tts::ITTSBufNotifySink> lastBufferSink;
com::ComPtr<tts::ITTSNotifySink> lastNotifySink;
std::string enterOnSelect;     // a directory the engine moves into

template <class Self, class... I>
struct Object : I... {
    Object() { ++live; }
    virtual ~Object() { --live; }
    std::uint32_t AddRef() override { return ++refs; }
    std::uint32_t Release() override {
        const std::uint32_t n = --refs;
        if (n == 0) delete static_cast<Self*>(this);
        return n;
    }
    std::uint32_t refs = 1;
};

template <class I, class T>
HResult answerAs(T* self, void** out) {
    I* i = self;
    i->AddRef();
    *out = i;
    return com::S_OK;
}

HResult verdict(const std::string& call) {
    log.push_back(call);
    return failAt == call.substr(0, call.find(' ')) ? com::E_FAIL : com::S_OK;
}

struct FakeDevice final : Object<FakeDevice, tts::IAudioMultiMediaDevice> {
    static constexpr const char* name = "device";
    HResult QueryInterface(const Guid& iid, void** out) override {
        if (iid != tts::IID_IAudioMultiMediaDevice && iid != com::IID_IUnknown) return com::E_NOINTERFACE;
        return answerAs<tts::IAudioMultiMediaDevice>(this, out);
    }
    HResult DeviceNumGet(std::uint32_t*) override { return com::E_NOTIMPL; }
    HResult DeviceNumSet(std::uint32_t) override { return com::E_NOTIMPL; }
};

struct FakeFile final : Object<FakeFile, tts::IAudioFile> {
    static constexpr const char* name = "file";
    HResult QueryInterface(const Guid& iid, void** out) override {
        if (iid != tts::IID_IAudioFile && iid != com::IID_IUnknown) return com::E_NOINTERFACE;
        return answerAs<tts::IAudioFile>(this, out);
    }
    HResult Set(const std::u16string& name, std::uint32_t append) override {
        return verdict("Set " + std::string(name.begin(), name.end()) + " " + std::to_string(append));
    }
    HResult Flush() override { return verdict("Flush"); }
};

struct FakeCentral final : Object<FakeCentral, tts::ITTSCentral, tts::ITTSAttributes> {
    HResult QueryInterface(const Guid& iid, void** out) override {
        if (iid == tts::IID_ITTSAttributes) return answerAs<tts::ITTSAttributes>(this, out);
        if (iid != com::IID_IUnknown) return com::E_NOINTERFACE;
        return answerAs<tts::ITTSCentral>(this, out);
    }
    HResult TextData(std::uint32_t charset, std::uint32_t flags, tts::SData text, com::IUnknown* sink,
                     Guid iid) override {
        const char* bytes = static_cast<const char*>(text.data);
        EXPECT_EQ(bytes[text.size - 1], '\0');
        EXPECT_EQ(iid, tts::IID_ITTSBufNotifySink);
        lastBufferSink.reset();
        sink->QueryInterface(tts::IID_ITTSBufNotifySink, lastBufferSink.putVoid());
        return verdict("TextData " + std::to_string(charset) + " " + std::to_string(flags) + " [" +
                       std::string(bytes, text.size - 1) + "]");
    }
    HResult AudioReset() override { return verdict("AudioReset"); }
    HResult Register(com::IUnknown* sink, Guid iid, std::uint32_t* key) override {
        EXPECT_EQ(iid, tts::IID_ITTSNotifySink);
        *key = 41;
        const HResult hr = verdict("Register");
        if (com::succeeded(hr)) sink->QueryInterface(tts::IID_ITTSNotifySink, lastNotifySink.putVoid());
        return hr;
    }
    HResult UnRegister(std::uint32_t key) override {
        lastNotifySink.reset();
        return verdict("UnRegister " + std::to_string(key));
    }
    HResult SpeedSet(std::uint32_t v) override { return verdict("SpeedSet " + std::to_string(v)); }
    HResult SpeedGet(std::uint32_t*) override { return com::E_NOTIMPL; }
    HResult PitchSet(std::uint16_t v) override { return verdict("PitchSet " + std::to_string(v)); }
    HResult PitchGet(std::uint16_t*) override { return com::E_NOTIMPL; }
};

struct FakeEnum final : Object<FakeEnum, tts::ITTSEnum> {
    static constexpr const char* name = "enumerator";
    HResult QueryInterface(const Guid& iid, void** out) override {
        if (iid != tts::IID_ITTSEnum && iid != com::IID_IUnknown) return com::E_NOINTERFACE;
        return answerAs<tts::ITTSEnum>(this, out);
    }
    HResult Next(std::uint32_t count, tts::TTSModeInfo* modes, std::uint32_t* fetched) override {
        EXPECT_EQ(count, 1u);
        EXPECT_EQ(fetched, nullptr);
        if (failAt == "Next") return com::E_FAIL;
        if (place >= installedModes) return com::S_FALSE;
        ++place;
        modes->modeId = com::guidOf("{00000000-0000-0000-0000-0000000000" + std::to_string(10 + place) + "}");
        return com::S_OK;
    }
    HResult Skip(std::uint32_t) override { return com::E_NOTIMPL; }
    HResult Reset() override {
        place = 0;
        return verdict("Reset");
    }
    HResult Select(Guid mode, tts::ITTSCentral** central, com::IUnknown* destination) override {
        EXPECT_NE(destination, nullptr);
        if (!enterOnSelect.empty()) std::filesystem::current_path(enterOnSelect);
        const HResult hr = verdict("Select " + std::to_string(mode.bytes[15] - 0x10));
        if (failAt == "SelectLate") {  // fails, yet hands out an object
            *central = new FakeCentral;
            return com::E_FAIL;
        }
        if (com::succeeded(hr)) *central = new FakeCentral;
        return hr;
    }
    int place = 0;
};

template <class T, class I>
HResult make(const Guid& iid, void** out) {
    if (failAt == std::string("create ") + T::name) return com::REGDB_E_CLASSNOTREG;
    I* object = new T;
    const HResult hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

class Sapi4Server : public testing::Test {
protected:
    void SetUp() override {
        support::freshSystem();
        servers::registerServer(servers::ServerKind::sapi4, servers::sapi4::ops());
        com::coInitialize();
        com::registerClass(tts::CLSID_MMAudioDest, make<FakeDevice, tts::IAudioMultiMediaDevice>);
        com::registerClass(tts::CLSID_AudioDestFile, make<FakeFile, tts::IAudioFile>);
        com::registerClass(tts::CLSID_TTSEnumerator, make<FakeEnum, tts::ITTSEnum>);
        log.clear();
        installedModes = 3;
        failAt.clear();
        enterOnSelect.clear();
    }
    void TearDown() override {
        lastBufferSink.reset();
        lastNotifySink.reset();
        support::closeSystem();
        EXPECT_EQ(live, 0);
    }
    // Started on the sound device, log cleared.
    void started() {
        ASSERT_TRUE(servers::serverStart(1, 0, 0, 4, ""));
        log.clear();
    }
};

TEST_F(Sapi4Server, SpeakHandsOverTheTrimmedText) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {" 7 ", {"TextData 0 0 [7.]"}},
        {"\t5\r\n", {"TextData 0 0 [5.]"}},
        {"77", {"TextData 0 0 [77]"}},
        {"  Bom dia.\x01", {"TextData 0 0 [Bom dia.]"}},
        {"", {}},
        {" \t\r\n ", {}},
    };
    started();
    for (const auto& [text, calls] : cases) {
        log.clear();
        servers::serverSpeak(text);
        EXPECT_EQ(log, calls) << "[" << text << "]";
    }
    // Longer than the buffer: cut to it.
    log.clear();
    servers::serverSpeak(std::string(70000, 'a'));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].size(), std::string("TextData 0 0 []").size() + servers::sapi4::kBufferSize - 1);
}

TEST_F(Sapi4Server, VoiceNumberSelectsAMode) {
    const std::pair<int, std::string> cases[] = {{0, "Select 1"}, {1, "Select 1"}, {2, "Select 2"},
                                                 {3, "Select 3"}, {5, "Select 3"}, {2000000000, "Select 3"}};
    for (const auto& [voice, select] : cases) {
        log.clear();
        ASSERT_TRUE(servers::serverStart(voice, 0, 0, 4, "")) << voice;
        EXPECT_EQ(log, (std::vector<std::string>{"Reset", select, "Register"})) << voice;
        servers::serverEnd();
    }
}

TEST_F(Sapi4Server, SpeedAndPitchOnlyWhenNotZero) {
    const struct {
        int speed, pitch;
        std::vector<std::string> calls;
    } cases[] = {
        {0, 0, {}},
        {180, 0, {"SpeedSet 180"}},
        {0, 120, {"PitchSet 120"}},
        {200, -3, {"SpeedSet 200", "PitchSet 65533"}},
    };
    for (const auto& c : cases) {
        log.clear();
        ASSERT_TRUE(servers::serverStart(1, c.speed, c.pitch, 4, ""));
        log.erase(log.begin(), log.begin() + 3);  // Reset, Select, Register
        EXPECT_EQ(log, c.calls) << c.speed << " " << c.pitch;
        servers::serverEnd();
    }
}

TEST_F(Sapi4Server, SinksKeepTheCounters) {
    started();
    ASSERT_TRUE(lastNotifySink);
    servers::serverSpeak("um");
    ASSERT_TRUE(lastBufferSink);
    tts::ITTSBufNotifySink* buf = lastBufferSink.get();
    tts::ITTSNotifySink* note = lastNotifySink.get();

    buf->TextDataDone(0, 0);  // without its start
    EXPECT_EQ(servers::sapi4::pendingBuffers(), 0);
    buf->TextDataStarted(0);
    EXPECT_TRUE(servers::serverBusy(1));
    note->AudioStart(0);
    buf->TextDataDone(0, 0);
    EXPECT_FALSE(servers::serverBusy(1));
    EXPECT_TRUE(servers::serverBusy(0)) << "the sound still plays";
    note->AudioStop(0);
    EXPECT_FALSE(servers::serverBusy(0));
    for (HResult hr : {buf->BookMark(0, 1), buf->WordPosition(0, 2), note->AttribChanged(3),
                       note->Visual(0, 'a', 'b', 0, nullptr)})
        EXPECT_EQ(hr, com::S_OK);
    EXPECT_FALSE(servers::serverBusy(0));
}

TEST_F(Sapi4Server, StopResetsTheEngineOnlyWhenSomethingIsUnderway) {
    const struct {
        const char* what;
        bool started, audio;
        std::vector<std::string> calls;
    } cases[] = {
        {"nothing", false, false, {}},
        {"sound playing", true, true, {"AudioReset"}},
        {"text taken, no sound yet", true, false, {"AudioReset"}},
    };
    started();
    servers::serverSpeak("um");
    for (const auto& c : cases) {
        if (c.started) lastBufferSink->TextDataStarted(0);
        if (c.audio) lastNotifySink->AudioStart(0);
        log.clear();
        servers::serverStop();
        EXPECT_EQ(log, c.calls) << c.what;
        EXPECT_FALSE(servers::serverBusy(0)) << c.what;
        EXPECT_EQ(servers::sapi4::pendingBuffers(), 0) << c.what;
    }
}

TEST_F(Sapi4Server, WaitingKeyDropsTheTextWhenInterruptible) {
    started();
    for (bool interruptible : {true, false}) {
        qrwav::waveInterruptible() = interruptible;
        platform::headless::typeKey('K', 'k');
        log.clear();
        servers::serverSpeak("ola");
        EXPECT_EQ(log.size(), interruptible ? 0u : 1u) << interruptible;
        qrcrt::clearKeys();
    }
    qrwav::waveInterruptible() = true;
}

TEST_F(Sapi4Server, FailedTextDataStops) {
    started();
    lastNotifySink->AudioStart(0);
    failAt = "TextData";
    servers::serverSpeak("ola");
    EXPECT_EQ(log, (std::vector<std::string>{"TextData 0 0 [ola]", "AudioReset"}));
    EXPECT_FALSE(servers::serverBusy(0));
}

TEST_F(Sapi4Server, FailedStartHoldsNothingAndKeepsTheDirectory) {
    support::TempDir tmp{"quoril_sapi4"};
    const std::filesystem::path before = std::filesystem::current_path();
    const struct {
        const char* failAt;
        int voice;
        std::string file;
    } cases[] = {
        {"create device", 1, ""},
        {"create file", 1, "saida.wav"},
        {"Set", 1, "saida.wav"},
        {"create enumerator", 1, ""},
        {"Next", 2, ""},
        {"", -1, ""},
        {"Select", 1, "saida.wav"},
        {"SelectLate", 1, ""},
        {"Register", 1, ""},
    };
    for (const auto& c : cases) {
        failAt = c.failAt;
        enterOnSelect = tmp.path().string();
        EXPECT_FALSE(servers::serverStart(c.voice, 0, 0, 4, c.file)) << c.failAt;
        EXPECT_EQ(live, 0) << c.failAt;
        EXPECT_EQ(std::filesystem::current_path(), before) << c.failAt;
        servers::serverSpeak("nada");  // no central: nothing happens
        servers::serverStop();
        servers::serverEnd();
    }
    // A started file destination: completed at the end, then released.
    failAt.clear();
    enterOnSelect = tmp.path().string();
    ASSERT_TRUE(servers::serverStart(1, 0, 0, 4, "saida.wav"));
    EXPECT_EQ(std::filesystem::current_path(), before);
    log.clear();
    servers::serverEnd();
    EXPECT_EQ(log, (std::vector<std::string>{"Flush", "UnRegister 41"}));
    EXPECT_EQ(live, 0);
}

}  // namespace
