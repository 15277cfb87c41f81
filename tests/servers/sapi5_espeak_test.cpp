// The second runtime for real: espeak-ng speaking into a WAV file through
// the type 54 server, its voice list and rate rule, and the start that
// answers false when espeak-ng's data cannot be loaded.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "console/qrcrt.hpp"
#include "platform/speech/com.hpp"
#include "platform/speech/sapi5.hpp"
#include "platform/window/window.hpp"
#include "servers/dispatch.hpp"
#include "servers/sapi5.hpp"
#include "support/fresh_system.hpp"
#include "support/temp_dir.hpp"
#include "support/wav_check.hpp"

namespace {

namespace com = platform::com;
namespace sp = platform::sapi5;
namespace fs = std::filesystem;

using support::le;

class SecondRuntime : public testing::Test {
protected:
    void SetUp() override {
        support::freshSystem(support::Sound::untouched);
        servers::registerSapi5Servers();
    }
    void TearDown() override { support::closeSystem(); }
    support::TempDir tmp{"quoril_sapi5"};
    const fs::path dir = tmp.path();
};

TEST_F(SecondRuntime, WritesSpeechIntoAValidWavFile) {
    if (std::getenv("QUORIL_NO_ESPEAK_DATA")) GTEST_SKIP();
    const fs::path wav = dir / "fala.wav";
    ASSERT_TRUE(servers::serverStart(1, 0, 0, 54, wav.string()));
    servers::serverSpeak("Bom dia. Esta \xE9 a segunda voz.");
    servers::serverSpeak("");
    servers::serverEnd();

    const std::vector<std::uint8_t> b = support::fileBytes(wav);
    ASSERT_GE(b.size(), 44u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le(b, 4, 4), b.size() - 8);
    EXPECT_EQ(le(b, 20, 2), 1u);  // PCM
    EXPECT_EQ(le(b, 22, 2), 1u);  // mono
    EXPECT_EQ(le(b, 34, 2), 16u);
    const std::uint32_t rate = le(b, 24, 4);
    EXPECT_EQ(rate, 22050u);
    EXPECT_EQ(le(b, 28, 4), rate * 2);
    EXPECT_EQ(le(b, 40, 4), b.size() - 44);

    // Speech: more than a second of it, loud enough, with pauses and voiced parts.
    support::expectSpeech16(b, rate);
}

TEST_F(SecondRuntime, VoicesRateAndStop) {
    if (std::getenv("QUORIL_NO_ESPEAK_DATA")) GTEST_SKIP();
    ASSERT_EQ(com::coInitialize(), com::S_FALSE);
    com::ComPtr<sp::ISpeechVoice> voice;
    ASSERT_EQ(com::coCreateInstance(sp::CLSID_SpVoiceSecond, sp::IID_ISpeechVoice, voice.putVoid()), com::S_OK);
    com::ComPtr<sp::ISpeechObjectTokens> tokens;
    ASSERT_EQ(voice->GetVoices(u"", u"", tokens.put()), com::S_OK);
    std::int32_t count = 0;
    tokens->get_Count(&count);
    EXPECT_GT(count, 10);
    com::ComPtr<sp::ISpeechObjectToken> first;
    ASSERT_EQ(tokens->Item(0, first.put()), com::S_OK);
    std::u16string id;
    first->get_Id(&id);
    EXPECT_EQ(id, u"roa/pt-BR");
    com::ComPtr<sp::ISpeechObjectToken> outside;
    EXPECT_EQ(tokens->Item(count, outside.put()), com::E_INVALIDARG);

    for (int r : {-10, 4, 10}) EXPECT_EQ(voice->put_Rate(r), com::S_OK) << r;
    for (int r : {-11, 11, 100}) EXPECT_EQ(voice->put_Rate(r), com::E_INVALIDARG) << r;
    std::int32_t rate = 0;
    voice->get_Rate(&rate);
    EXPECT_EQ(rate, 10);

    // A purge ends a long text at once; the voice is idle afterwards.
    com::Handle done = 0;
    voice->get_SpeakCompleteEvent(&done);
    EXPECT_EQ(com::waitForSingleObject(done, 0), com::WAIT_OBJECT_0);
    voice->Speak(std::u16string(400, u'a'), 17, nullptr);
    voice->Speak(u" ", 2, nullptr);
    EXPECT_EQ(com::waitForSingleObject(done, 2000), com::WAIT_OBJECT_0);
}

// Run in a child process whose espeak-ng data directory is empty: the
// runtime cannot start, so the type 54 server answers false.
TEST_F(SecondRuntime, NoDataNoServer) {
    if (std::getenv("QUORIL_NO_ESPEAK_DATA")) {
        EXPECT_FALSE(servers::serverStart(1, 0, 0, 54, ""));
        return;
    }
    const fs::path empty = dir / "no-data";
    fs::create_directories(empty);
    const std::string self = std::string(QUORIL_BUILD_DIR) + "/tests/test_servers";
    const std::string command = "QUORIL_NO_ESPEAK_DATA=1 ESPEAK_DATA_PATH='" + empty.string() + "' '" + self +
                                "' --gtest_filter=SecondRuntime.NoDataNoServer >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

}  // namespace
