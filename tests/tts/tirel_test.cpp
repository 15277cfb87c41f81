// The built-in voice's driver on the stand-in engine: loading the engine,
// opening the language files and the output file, the lines the engine is
// fed, the chunks the player gets, and the WAV file it writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/sound/waveout.hpp"
#include "sound/qrwav.hpp"
#include "support/env.hpp"
#include "support/fake_engine.hpp"
#include "support/fresh_system.hpp"
#include "support/temp_dir.hpp"
#include "tts/mbrola.hpp"
#include "tts/uttsprosodia.hpp"
#include "tts/uttstirel.hpp"
#include "support/wav_check.hpp"

namespace {

namespace fs = std::filesystem;
namespace test = platform::waveout::test;

using support::le;

class Tirel : public testing::Test {
protected:
    void SetUp() override {
        support::freshSystem(support::Sound::autoFinish);
        uttsprosodia::setMessageHandler([](const std::string&) {});
    }
    void TearDown() override {
        uttstirel::resetForTests();
        support::closeSystem();
    }
    bool open(const std::string& db = "") {
        const std::string s = support::voiceDataStem();
        return uttstirel::ttsOpen(db, s + ".nrl", s + ".exc", s + ".abr", s + ".pro", s + ".dfn");
    }
    std::vector<std::uint8_t> read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    support::FakeEngine fake_;
    support::TempDir tmp_{"quoril_tirel"};
};

TEST(MbrolaLoad, AllTwentyThreeNamesOrNothing) {
    const struct {
        const char* folder;
        bool loads;
    } cases[] = {{"fake", true}, {"fake-lacking", false}, {"no-such-folder", false}};
    for (const auto& c : cases) {
        platform::setLibraryDirectory(std::string(QUORIL_BUILD_DIR) + "/tests/" + c.folder);
        EXPECT_EQ(mbrola::loadMbrola(), c.loads) << c.folder;
        EXPECT_EQ(mbrola::loaded(), c.loads) << c.folder;
        const auto& e = mbrola::entries();
        EXPECT_EQ(e.appendf0_Phone != nullptr && e.init_MBR != nullptr, c.loads) << c.folder;
        mbrola::unloadMbrola();
        EXPECT_FALSE(mbrola::loaded());
        EXPECT_EQ(mbrola::entries().init_MBR, nullptr);
    }
    platform::setLibraryDirectory("");
}

TEST_F(Tirel, OpenReportsTheFileThatFailed) {
    const struct {
        const char* missing;  // extension taken away, or "" for none
        bool ok;
        std::string error;
    } cases[] = {
        {"", true, ""},
        {".nrl", false, "Erro na base de dados de portugu\xEAs"},
        {".exc", false, "Erro na base de dados de portugu\xEAs"},
        {".abr", false, "Erro no arquivo de abreviaturas"},
        {".pro", false, "Erro no arquivo de pros\xF3" "dia"},
        {".dfn", false, "Erro no arquivo de pros\xF3" "dia"},
    };
    for (const auto& c : cases) {
        uttstirel::resetForTests();
        const fs::path dir = tmp_.path() / (std::string("v") + c.missing);
        fs::create_directories(dir);
        for (const char* ext : {".nrl", ".exc", ".abr", ".pro", ".dfn"})
            if (std::string(ext) != c.missing) fs::copy_file(support::voiceDataStem() + ext, dir / (std::string("portug") + ext));
        const std::string s = (dir / "portug").string();
        EXPECT_EQ(uttstirel::ttsOpen("", s + ".nrl", s + ".exc", s + ".abr", s + ".pro", s + ".dfn"), c.ok) << c.missing;
        EXPECT_EQ(uttstirel::ttsLastError(), c.error) << c.missing;
        EXPECT_TRUE(mbrola::loaded()) << "a language file failing leaves the engine loaded";
    }
}

TEST_F(Tirel, EngineFailuresLeaveTheMessageAlone) {
    fake_->initResult = -1;
    EXPECT_FALSE(open());
    EXPECT_FALSE(mbrola::loaded()) << "a refused database unloads the engine";
    fake_->initResult = 0;
    uttstirel::ttsSetOutputFile((tmp_.path() / "no/such/folder/x.wav").string());
    EXPECT_FALSE(open());
    EXPECT_EQ(uttstirel::ttsLastError(), "");
    support::FakeEngine lacking("fake-lacking");
    EXPECT_FALSE(open());
}

TEST_F(Tirel, DatabaseFoundInTheRegistry) {
    const struct {
        const char* registry;  // default value of ...\databases\BR4, or null for no key
        const char* database;
        std::string engineGets;
    } cases[] = {
        {nullptr, "", "br4"},
        {"/voz/br4", "", "/voz/br4"},
        {"/voz/br4", "BR4", "/voz/br4"},
        {"", "", "/tamiru/tireltts/br4"},
        {"/voz/br4", "/outro/lugar", "/outro/lugar"},
    };
    support::ScopedEnv root("QUORIL_ROOT", nullptr);
    for (const auto& c : cases) {
        platform::setRegistryText(
            c.registry ? std::string("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\TCTS\\Mbrola\\databases\\BR4]\n@=\"") +
                             c.registry + "\"\n"
                       : "");
        fake_.clearLog();
        EXPECT_TRUE(open(c.database));
        EXPECT_EQ(fake_.log().substr(0, fake_.log().find("noerror")), "init " + c.engineGets + "\n")
            << c.database << " / " << (c.registry ? c.registry : "none");
        EXPECT_NE(fake_.log().find("noerror 1\n"), std::string::npos);
    }
}

TEST_F(Tirel, LinesFedToTheEngine) {
    ASSERT_TRUE(open());
    fake_.clearLog();
    EXPECT_TRUE(uttstirel::ttsSpeak(" \t\r\n "));
    EXPECT_EQ(fake_->calls, 0) << "a blank text makes no engine call";
    EXPECT_TRUE(test::blocks().empty());

    EXPECT_TRUE(uttstirel::ttsSpeak("Bom dia."));
    const std::string log = fake_.log();
    ASSERT_EQ(log.rfind("reset\nwrite ", 0), 0u) << log;
    std::size_t writes = 0;
    for (std::size_t at = log.find("write "); at != std::string::npos; at = log.find("write ", at + 1)) {
        const std::size_t end = log.find('\n', at);
        EXPECT_EQ(log[end - 1], '\r') << "each line ends in CR LF";
        ++writes;
    }
    EXPECT_GT(writes, 3u);
    EXPECT_EQ(log.substr(log.size() - 6), "flush\n") << "flushed after the last line";

    // An engine error resets it and fails the utterance; the rest still goes.
    const std::size_t firstLine = log.find("write ") + 6;
    const std::string phone = log.substr(firstLine, log.find_first_of(" \t\r", firstLine) - firstLine);
    std::snprintf(fake_->errorPhone, sizeof fake_->errorPhone, "%s", phone.c_str());
    fake_.clearLog();
    EXPECT_FALSE(uttstirel::ttsSpeak("Bom dia."));
    EXPECT_NE(fake_.log().find("\r\nreset\n"), std::string::npos) << fake_.log();
    EXPECT_EQ(fake_.log().substr(fake_.log().size() - 6), "flush\n");
    fake_->errorPhone[0] = 0;
    fake_->readFaults = 1;
    EXPECT_FALSE(uttstirel::ttsSpeak("Bom dia."));
}

TEST_F(Tirel, ChunksHandedToThePlayer) {
    const struct {
        int onFlush, readLimit, leadingZeros;
        std::vector<std::size_t> blocks;
    } cases[] = {
        {5, 0, 0, {256}},              // 10 bytes, padded with silence
        {128, 0, 0, {256}},
        {12000, 3000, 0, {12000, 12000}},  // handed once half a second would wait
        {20000, 0, 0, {32000, 8000}},
        {0, 0, 0, {}},
        {8000, 0, 8000, {}},                  // silence only
        {14000, 0, 6000, {16064}},   // the opening silence goes, 2 ms of it kept
    };
    ASSERT_TRUE(open());
    for (const auto& c : cases) {
        qrwav::resetForTests();
        test::reset();
        test::setAutoFinish(true);
        qrwav::waveFaster() = qrwav::waveCutSpeech() = true;
        fake_->samplesOnFlush = c.onFlush;
        fake_->readLimit = c.readLimit;
        fake_->leadingZeros = c.leadingZeros;
        EXPECT_TRUE(uttstirel::ttsSpeak("Ol\xE1"));
        EXPECT_TRUE(qrwav::waveFaster() && qrwav::waveCutSpeech()) << "both accelerations are put back";
        const auto blocks = test::blocks();
        std::vector<std::size_t> sizes;
        for (const auto& b : blocks) sizes.push_back(b.size());
        EXPECT_EQ(sizes, c.blocks) << c.onFlush;
        if (!blocks.empty()) {
            EXPECT_EQ(test::openedFormats().front(), (test::Format{16000, 16, 1})) << "played unaltered";
            const std::size_t kept = c.leadingZeros ? 64 : 0;  // 32 silent samples
            for (std::size_t i = 0; i < kept; ++i) ASSERT_EQ(blocks[0][i], 0) << i;
            EXPECT_EQ(le(blocks[0], kept, 2), 300u) << "then the first sound";
        }
        if (c.onFlush == 5) {
            EXPECT_EQ(le(blocks[0], 8, 2), 1500u);
            for (std::size_t i = 10; i < 256; ++i) ASSERT_EQ(blocks[0][i], 0) << i;
        }
    }
}

TEST_F(Tirel, WavFileHoldsWhatWasSpoken) {
    const struct {
        std::vector<const char*> texts;
        int onFlush;
        std::uint32_t dataBytes;
    } cases[] = {
        {{}, 700, 0},
        {{"  "}, 700, 0},
        {{"Bom dia."}, 700, 1400},
        {{"Bom dia.", "Boa noite!"}, 700, 2800},
    };
    int n = 0;
    for (const auto& c : cases) {
        const fs::path wav = tmp_.path() / ("fala" + std::to_string(n++) + ".wav");
        fake_->samplesOnFlush = c.onFlush;
        uttstirel::ttsSetOutputFile(wav.string());
        ASSERT_TRUE(open());
        for (const char* t : c.texts) EXPECT_TRUE(uttstirel::ttsSpeak(t));
        EXPECT_FALSE(uttstirel::ttsSpeaking());
        uttstirel::ttsClose();
        const auto b = read(wav);
        ASSERT_EQ(b.size(), 44u + c.dataBytes);
        EXPECT_EQ(std::string(b.begin(), b.begin() + 4) + std::string(b.begin() + 8, b.begin() + 16) +
                      std::string(b.begin() + 36, b.begin() + 40),
                  "RIFFWAVEfmt data");
        EXPECT_EQ(le(b, 4, 4), b.size() - 8);
        EXPECT_EQ(le(b, 24, 4), 16000u);
        EXPECT_EQ(le(b, 28, 4), 32000u);
        EXPECT_EQ(le(b, 34, 2), 16u);
        EXPECT_EQ(le(b, 40, 4), b.size() - 44);
        EXPECT_TRUE(test::blocks().empty()) << "nothing is played while writing a file";
        EXPECT_FALSE(mbrola::loaded());
    }
}

}  // namespace
