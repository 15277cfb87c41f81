// The SAPI 4 engine objects: the mode records of the enumerator, the
// mapping of speed and pitch onto espeak-ng, and notifications that reach
// the sinks only on the thread that pumps, in their order.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound/waveout.hpp"
#include "platform/speech/sapi4.hpp"
#include "platform/system/messages.hpp"

namespace {

namespace com = platform::com;
namespace tts = platform::sapi4;
using com::HResult;

std::vector<std::string> heard;
std::vector<std::thread::id> threads;

// One object for both sinks; it notes every call and the thread it came on.
struct Ears final : tts::ITTSNotifySink, tts::ITTSBufNotifySink {
    HResult QueryInterface(const com::Guid& iid, void** out) override {
        if (iid == tts::IID_ITTSNotifySink) *out = static_cast<tts::ITTSNotifySink*>(this);
        else if (iid == tts::IID_ITTSBufNotifySink) *out = static_cast<tts::ITTSBufNotifySink*>(this);
        else return com::E_NOINTERFACE;
        ++refs;
        return com::S_OK;
    }
    std::uint32_t AddRef() override { return ++refs; }
    std::uint32_t Release() override { return --refs; }  // lives on the test's stack
    HResult note(const char* what) {
        heard.push_back(what);
        threads.push_back(std::this_thread::get_id());
        return com::S_OK;
    }
    HResult AttribChanged(std::uint32_t) override { return note("AttribChanged"); }
    HResult AudioStart(std::uint64_t) override { return note("AudioStart"); }
    HResult AudioStop(std::uint64_t) override { return note("AudioStop"); }
    HResult Visual(std::uint64_t, char, char, std::uint32_t, const void*) override { return note("Visual"); }
    HResult TextDataDone(std::uint64_t, std::uint32_t) override { return note("TextDataDone"); }
    HResult TextDataStarted(std::uint64_t) override { return note("TextDataStarted"); }
    HResult BookMark(std::uint64_t, std::uint32_t) override { return note("BookMark"); }
    HResult WordPosition(std::uint64_t, std::uint32_t) override { return note("WordPosition"); }
    std::uint32_t refs = 0;
};

void pumpOnce() {
    platform::Msg m;
    while (platform::peekMessage(m)) platform::dispatchMessage(m);
}

class Sapi4Engine : public testing::Test {
protected:
    void SetUp() override {
        com::resetForTests();
        com::coInitialize();
        tts::registerClasses();
        platform::clearMessages();
        platform::waveout::useTestDevice(true);
        platform::waveout::test::reset();
        platform::waveout::test::setAutoFinish(true);
        heard.clear();
        threads.clear();
    }
    void TearDown() override {
        platform::clearMessages();
        platform::waveout::test::reset();
        platform::waveout::useTestDevice(false);
        com::resetForTests();
    }
};

TEST_F(Sapi4Engine, ModesAreTheVoicesPortugueseFirst) {
    com::ComPtr<tts::ITTSEnum> modes;
    ASSERT_EQ(com::coCreateInstance(tts::CLSID_TTSEnumerator, tts::IID_ITTSEnum, modes.putVoid()), com::S_OK);
    std::vector<tts::TTSModeInfo> all;
    tts::TTSModeInfo m{};
    std::uint32_t fetched = 9;
    while (modes->Next(1, &m, &fetched) == com::S_OK) all.push_back(m);
    EXPECT_EQ(fetched, 0u) << "the end of the list fetches nothing";
    ASSERT_GT(all.size(), 10u);
    const tts::TTSModeInfo& first = all.front();
    EXPECT_STREQ(first.dialect, "pt-br");
    EXPECT_EQ(first.languageId, 0x0416);
    EXPECT_STREQ(first.manufacturer, "eSpeak NG");
    EXPECT_NE(std::strlen(first.modeName), 0u);
    EXPECT_EQ(first.age, tts::TTSAGE_ADULT);
    for (std::size_t i = 1; i < all.size(); ++i) {
        EXPECT_NE(all[i].modeId, all[i - 1].modeId);
        EXPECT_EQ(all[i].engineId, first.engineId);
    }
    // Reset starts again; Select wants a listed mode and a known destination.
    modes->Reset();
    ASSERT_EQ(modes->Next(1, &m, nullptr), com::S_OK);
    EXPECT_EQ(m.modeId, first.modeId);
    com::ComPtr<tts::ITTSCentral> central;
    com::ComPtr<tts::IAudioMultiMediaDevice> device;
    ASSERT_EQ(com::coCreateInstance(tts::CLSID_MMAudioDest, tts::IID_IAudioMultiMediaDevice, device.putVoid()),
              com::S_OK);
    EXPECT_EQ(modes->Select(com::guidOf("{00000000-0000-0000-0000-000000000001}"), central.put(), device.get()),
              com::E_INVALIDARG);
    EXPECT_EQ(modes->Select(first.modeId, central.put(), modes.get()), com::E_INVALIDARG);
    EXPECT_EQ(modes->Select(first.modeId, central.put(), device.get()), com::S_OK);
    EXPECT_TRUE(central);
}

TEST(Sapi4Attributes, SpeedAndPitchWithinEspeakRanges) {
    const std::pair<std::uint32_t, int> speeds[] = {{0, 80}, {80, 80}, {180, 180}, {450, 450}, {0xFFFFFFFFu, 450}};
    for (auto [wpm, engine] : speeds) EXPECT_EQ(tts::engineSpeed(wpm), engine) << wpm;
    const std::pair<std::uint16_t, int> pitches[] = {{1, 0}, {50, 0}, {150, 50}, {250, 100}, {65533, 100}};
    for (auto [hz, engine] : pitches) EXPECT_EQ(tts::enginePitch(hz), engine) << hz;
}

TEST_F(Sapi4Engine, NotificationsRunOnThePumpingThreadInOrder) {
    com::ComPtr<tts::ITTSEnum> modes;
    ASSERT_EQ(com::coCreateInstance(tts::CLSID_TTSEnumerator, tts::IID_ITTSEnum, modes.putVoid()), com::S_OK);
    tts::TTSModeInfo m{};
    ASSERT_EQ(modes->Next(1, &m, nullptr), com::S_OK);
    com::ComPtr<tts::IAudioMultiMediaDevice> device;
    com::coCreateInstance(tts::CLSID_MMAudioDest, tts::IID_IAudioMultiMediaDevice, device.putVoid());
    com::ComPtr<tts::ITTSCentral> central;
    ASSERT_EQ(modes->Select(m.modeId, central.put(), device.get()), com::S_OK);
    Ears ears;
    std::uint32_t key = 0;
    ASSERT_EQ(central->Register(static_cast<tts::ITTSNotifySink*>(&ears), tts::IID_ITTSNotifySink, &key), com::S_OK);

    const char text[] = "Ol\xE1.";
    ASSERT_EQ(central->TextData(tts::CHARSET_TEXT, 0, {text, sizeof text}, static_cast<tts::ITTSBufNotifySink*>(&ears), tts::IID_ITTSBufNotifySink),
              com::S_OK);
    EXPECT_TRUE(heard.empty()) << "nothing is called before the pump";
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((heard.empty() || heard.back() != "AudioStop") && std::chrono::steady_clock::now() < limit) {
        platform::waitMessageFor(50);
        pumpOnce();
    }
    EXPECT_EQ(heard, (std::vector<std::string>{"TextDataStarted", "AudioStart", "TextDataDone", "AudioStop"}));
    for (auto id : threads) EXPECT_EQ(id, std::this_thread::get_id());
    EXPECT_FALSE(platform::waveout::test::blocks().empty());

    EXPECT_EQ(central->UnRegister(key), com::S_OK);
    EXPECT_EQ(central->UnRegister(key), com::E_INVALIDARG);
    central.reset();
    pumpOnce();
    EXPECT_EQ(ears.refs, 0u) << "every reference the engine took is given back";
}

}  // namespace
