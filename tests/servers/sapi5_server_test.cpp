// The SAPI 5 servers against a stand-in voice class registered under each
// runtime's identifiers: which voice and rate a start chooses, how the
// voice and the stream are assigned, what speak, busy, stop and end ask of
// the voice, and the failures that answer false.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "console/qrcrt.hpp"
#include "platform/speech/com.hpp"
#include "platform/system/messages.hpp"
#include "platform/speech/sapi5.hpp"
#include "platform/window/window.hpp"
#include "servers/dispatch.hpp"
#include "servers/sapi5.hpp"
#include "support/fresh_system.hpp"

namespace {

namespace com = platform::com;
namespace sp = platform::sapi5;
using com::HResult;

// What the stand-ins were asked, in order.
std::vector<std::string> log;
int installedVoices = 2;
bool refuseSpeak = false;
bool refuseStream = false;
std::string openedFile;

std::string narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

#define NO_NAMES                                                                          \
    HResult GetIDOfName(const std::u16string&, com::DispId*) override { return com::DISP_E_UNKNOWNNAME; } \
    HResult InvokePut(com::DispId, std::uint16_t, com::IDispatch*) override { return com::DISP_E_MEMBERNOTFOUND; }

template <class Self, class... Ifaces>
struct Object : Ifaces... {
    std::uint32_t AddRef() override { return refs.addRef(); }
    std::uint32_t Release() override { return refs.release(static_cast<Self*>(this)); }
    com::RefCounted<Self> refs;
};

struct FakeToken final : Object<FakeToken, sp::ISpeechObjectToken> {
    explicit FakeToken(int n) : number(n) {}
    HResult QueryInterface(const com::Guid& iid, void** out) override {
        if (iid != sp::IID_ISpeechObjectToken && iid != com::IID_IDispatch && iid != com::IID_IUnknown)
            return com::E_NOINTERFACE;
        AddRef();
        *out = static_cast<sp::ISpeechObjectToken*>(this);
        return com::S_OK;
    }
    NO_NAMES
    HResult get_Id(std::u16string* id) override { *id = u"v" + std::u16string(1, char16_t('0' + number)); return com::S_OK; }
    HResult GetDescription(std::u16string* d) override { return get_Id(d); }
    int number;
};

struct FakeTokens final : Object<FakeTokens, sp::ISpeechObjectTokens> {
    HResult QueryInterface(const com::Guid&, void**) override { return com::E_NOINTERFACE; }
    NO_NAMES
    HResult get_Count(std::int32_t* c) override { *c = installedVoices; return com::S_OK; }
    HResult Item(std::int32_t i, sp::ISpeechObjectToken** t) override {
        log.push_back("Item " + std::to_string(i));
        if (i < 0 || i >= installedVoices) return com::E_INVALIDARG;
        *t = new FakeToken(i + 1);
        return com::S_OK;
    }
};

struct FakeStream final : Object<FakeStream, sp::ISpeechFileStream> {
    HResult QueryInterface(const com::Guid& iid, void** out) override {
        if (iid != sp::IID_ISpeechFileStream && iid != sp::IID_ISpeechBaseStream && iid != com::IID_IDispatch &&
            iid != com::IID_IUnknown)
            return com::E_NOINTERFACE;
        AddRef();
        *out = static_cast<sp::ISpeechFileStream*>(this);
        return com::S_OK;
    }
    NO_NAMES
    HResult Open(const std::u16string& name, std::int32_t mode, bool events) override {
        openedFile = narrow(name);
        log.push_back("Open " + std::to_string(mode) + (events ? " events" : ""));
        return com::S_OK;
    }
    HResult Close() override { log.push_back("Close"); return com::S_OK; }
};

struct FakeVoice final : Object<FakeVoice, sp::ISpeechVoice, com::IConnectionPointContainer, com::IConnectionPoint> {
    FakeVoice() : event(com::createEvent(true, true)) {}
    ~FakeVoice() { com::closeHandle(event); log.push_back("voice released"); }
    HResult QueryInterface(const com::Guid& iid, void** out) override {
        if (iid == com::IID_IConnectionPointContainer) {
            AddRef();
            *out = static_cast<com::IConnectionPointContainer*>(this);
            return com::S_OK;
        }
        if (iid != sp::IID_ISpeechVoice && iid != com::IID_IDispatch && iid != com::IID_IUnknown) return com::E_NOINTERFACE;
        AddRef();
        *out = static_cast<sp::ISpeechVoice*>(this);
        return com::S_OK;
    }
    HResult GetIDOfName(const std::u16string& name, com::DispId* id) override {
        if (name == u"Voice") *id = 1;
        else if (name == u"AudioOutputStream") *id = 2;
        else return com::DISP_E_UNKNOWNNAME;
        return com::S_OK;
    }
    HResult InvokePut(com::DispId id, std::uint16_t flags, com::IDispatch* value) override {
        log.push_back("late " + std::to_string(id) + " flags " + std::to_string(flags));
        if (id == 1) {
            com::ComPtr<sp::ISpeechObjectToken> t;
            if (com::failed(value->QueryInterface(sp::IID_ISpeechObjectToken, t.putVoid()))) return com::E_INVALIDARG;
            return putref_Voice(t.get());
        }
        return refuseStream ? com::E_NOTIMPL : com::S_OK;
    }
    HResult FindConnectionPoint(const com::Guid& iid, com::IConnectionPoint** out) override {
        if (iid != sp::IID_ISpeechVoiceEvents) return com::E_NOINTERFACE;
        AddRef();
        *out = this;
        return com::S_OK;
    }
    HResult Advise(com::IUnknown* sink, std::uint32_t* cookie) override {
        sink->AddRef();
        this->sink = sink;
        *cookie = 7;
        log.push_back("Advise");
        return com::S_OK;
    }
    HResult Unadvise(std::uint32_t cookie) override {
        log.push_back("Unadvise " + std::to_string(cookie));
        if (sink) sink->Release();
        sink = nullptr;
        return com::S_OK;
    }
    HResult put_EventInterests(std::int32_t i) override { log.push_back("EventInterests " + std::to_string(i)); return com::S_OK; }
    HResult get_EventInterests(std::int32_t*) override { return com::E_NOTIMPL; }
    HResult GetVoices(const std::u16string& req, const std::u16string& opt, sp::ISpeechObjectTokens** t) override {
        log.push_back("GetVoices [" + narrow(req) + "][" + narrow(opt) + "]");
        *t = new FakeTokens;
        return com::S_OK;
    }
    HResult putref_Voice(sp::ISpeechObjectToken* t) override {
        std::u16string id;
        t->get_Id(&id);
        log.push_back("Voice " + narrow(id));
        return com::S_OK;
    }
    HResult get_Voice(sp::ISpeechObjectToken**) override { return com::E_NOTIMPL; }
    HResult put_Rate(std::int32_t r) override {
        if (r < -10 || r > 10) return com::E_INVALIDARG;
        rate = r;
        log.push_back("Rate " + std::to_string(r));
        return com::S_OK;
    }
    HResult get_Rate(std::int32_t* r) override { *r = rate; return com::S_OK; }
    HResult get_SpeakCompleteEvent(com::Handle* h) override { *h = event; return com::S_OK; }
    HResult putref_AudioOutputStream(sp::ISpeechBaseStream*) override {
        log.push_back("AudioOutputStream");
        return refuseStream ? com::E_NOTIMPL : com::S_OK;
    }
    HResult Speak(const std::u16string& text, std::int32_t flags, std::int32_t*) override {
        log.push_back("Speak [" + narrow(text) + "] " + std::to_string(flags));
        return refuseSpeak ? com::E_FAIL : com::S_OK;
    }
    com::Handle event;
    com::IUnknown* sink = nullptr;
    int rate = 3;  // the voice's own rate before any is set
};

FakeVoice* lastVoice = nullptr;
HResult makeVoice(const com::Guid& iid, void** out) {
    auto* v = new FakeVoice;
    lastVoice = v;
    const HResult hr = static_cast<sp::ISpeechVoice*>(v)->QueryInterface(iid, out);
    v->Release();
    return hr;
}
HResult makeStream(const com::Guid& iid, void** out) {
    auto* s = new FakeStream;
    const HResult hr = s->QueryInterface(iid, out);
    s->Release();
    return hr;
}

struct Variant {
    int type;
    com::Guid voiceClass, streamClass;
    bool lateBound;
};
const Variant kVariants[] = {
    {5, sp::CLSID_SpVoice, sp::CLSID_SpFileStream, false},
    {54, sp::CLSID_SpVoiceSecond, sp::CLSID_SpFileStreamSecond, true},
};

class Sapi5Server : public testing::TestWithParam<Variant> {
protected:
    void SetUp() override {
        support::freshSystem(support::Sound::untouched);
        servers::registerSapi5Servers();
        com::registerClass(GetParam().voiceClass, makeVoice);
        com::registerClass(GetParam().streamClass, makeStream);
        log.clear();
        installedVoices = 2;
        refuseSpeak = refuseStream = false;
        openedFile.clear();
    }
    void TearDown() override { support::closeSystem(); }
    bool start(int voice, int speed, int pitch = 0, const std::string& file = "") {
        log.clear();
        return servers::serverStart(voice, speed, pitch, GetParam().type, file);
    }
    // The log entries that begin with prefix.
    static std::vector<std::string> entries(const std::string& prefix) {
        std::vector<std::string> out;
        for (const auto& e : log)
            if (e.rfind(prefix, 0) == 0) out.push_back(e);
        return out;
    }
};

TEST_P(Sapi5Server, VoiceAndRateChosenAtStart) {
    struct Case {
        int voice, speed;
        std::string chosen;
        std::vector<std::string> rates;
    };
    const Case cases[] = {
        {0, 7, "Voice v1", {"Rate 0"}},   {-3, 7, "Voice v1", {"Rate 0"}},
        {3, -4, "Voice v1", {"Rate 0"}},  {2, -5, "Voice v2", {"Rate -5"}},
        {1, 10, "Voice v1", {"Rate 10"}}, {2, 11, "Voice v2", {}},  // refused: the voice keeps its own
        {1, -11, "Voice v1", {}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(start(c.voice, c.speed)) << c.voice;
        EXPECT_EQ(entries("Voice"), std::vector<std::string>{c.chosen}) << c.voice << " " << c.speed;
        EXPECT_EQ(entries("Rate"), c.rates) << c.voice << " " << c.speed;
        std::int32_t rate = 0;
        lastVoice->get_Rate(&rate);
        if (c.rates.empty()) {
            EXPECT_EQ(rate, 3) << "a refused rate leaves the voice's own";
        }
        servers::serverEnd();
    }
}

TEST_P(Sapi5Server, StartSequenceAndAssignment) {
    ASSERT_TRUE(start(2, 1, 0, "C:\\saida\\fala.wav"));
    const std::string late = GetParam().lateBound ? "late" : "";
    std::vector<std::string> expected = {"Advise", "EventInterests 33790", "GetVoices [][]", "Item 1"};
    if (GetParam().lateBound) expected.push_back("late 1 flags 8");
    expected.insert(expected.end(), {"Voice v2", "Rate 1", "Open 3 events"});
    expected.push_back(GetParam().lateBound ? "late 2 flags 8" : "AudioOutputStream");
    EXPECT_EQ(log, expected);
    EXPECT_EQ(openedFile, "C:\\saida\\fala.wav");
    log.clear();
    servers::serverEnd();
    EXPECT_EQ(log, (std::vector<std::string>{"Close", "Unadvise 7", "voice released"}));
}

TEST_P(Sapi5Server, PitchHasNoEffect) {
    ASSERT_TRUE(start(2, -2, 0));
    const auto first = log;
    servers::serverEnd();
    for (int pitch : {-100, 5, 32767}) {
        ASSERT_TRUE(start(2, -2, pitch));
        EXPECT_EQ(log, first) << pitch;
        servers::serverEnd();
    }
}

TEST_P(Sapi5Server, Failures) {
    installedVoices = 0;
    EXPECT_FALSE(start(1, 0)) << "no voice installed";
    EXPECT_EQ(entries("voice released").size(), 1u) << "nothing is left running";
    installedVoices = 2;
    refuseStream = true;
    EXPECT_FALSE(start(1, 0, 0, "x.wav")) << "a refused output stream";
    com::registerClass(GetParam().voiceClass, nullptr);
    EXPECT_FALSE(start(1, 0)) << "runtime not installed";
    EXPECT_EQ(servers::serverType(), GetParam().type);
}

TEST_P(Sapi5Server, ActiveObjectIsPreferred) {
    com::ComPtr<sp::ISpeechVoice> active;
    ASSERT_EQ(makeVoice(sp::IID_ISpeechVoice, active.putVoid()), com::S_OK);
    std::uint32_t reg = 0;
    ASSERT_EQ(com::registerActiveObject(active.get(), GetParam().voiceClass, &reg), com::S_OK);
    com::registerClass(GetParam().voiceClass, nullptr);
    EXPECT_TRUE(start(1, 0));
    servers::serverEnd();
    com::revokeActiveObject(reg);
}

TEST_P(Sapi5Server, SpeakBusyStop) {
    ASSERT_TRUE(start(1, 0));
    EXPECT_FALSE(servers::serverBusy(1)) << "idle right after start";
    log.clear();
    const int beeps = platform::headless::beeps();
    servers::serverSpeak("");
    servers::serverSpeak("ol\xE1");
    EXPECT_EQ(log, (std::vector<std::string>{"Speak [ ] 17", "Speak [ol\xE1] 17"}));
    EXPECT_EQ(platform::headless::beeps(), beeps);

    // While the event is not signalled busy answers true and posts the wake message.
    com::resetEvent(lastVoice->event);
    EXPECT_TRUE(servers::serverBusy(0));
    platform::Msg msg;
    bool woke = false;
    while (platform::peekMessage(msg, 0, true)) woke |= msg.message == servers::speechWakeMessage;
    EXPECT_TRUE(woke);
    com::setEvent(lastVoice->event);
    EXPECT_FALSE(servers::serverBusy(0));

    log.clear();
    servers::serverStop();
    EXPECT_EQ(log, std::vector<std::string>{"Speak [ ] 2"});

    refuseSpeak = true;
    servers::serverSpeak("x");
    EXPECT_EQ(platform::headless::beeps(), beeps + 1) << "a failed speak beeps once";
    servers::serverEnd();
}

TEST_P(Sapi5Server, VariantsKeepSeparateState) {
    ASSERT_TRUE(start(1, 0));
    // The other variant was never started: it speaks nothing and is idle.
    log.clear();
    if (GetParam().type == 5) {
        servers::sapi5::speak54("x");
        EXPECT_FALSE(servers::sapi5::busy54(0));
    } else {
        servers::sapi5::speak5("x");
        EXPECT_FALSE(servers::sapi5::busy5(0));
    }
    EXPECT_TRUE(entries("Speak").empty());
    servers::serverEnd();
}

INSTANTIATE_TEST_SUITE_P(Types, Sapi5Server, testing::ValuesIn(kVariants),
                         [](const auto& info) { return "type" + std::to_string(info.param.type); });

}  // namespace
