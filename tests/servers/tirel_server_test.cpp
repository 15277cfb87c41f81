// The built-in voice as server type 3, on the stand-in engine: where its
// files are found, the factors made of speed and pitch, and busy, stop and
// end with their wake-up posts.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/sound/waveout.hpp"
#include "platform/system/messages.hpp"
#include "platform/window/window.hpp"
#include "servers/dispatch.hpp"
#include "servers/tirel.hpp"
#include "sound/qrwav.hpp"
#include "speaking/settings.hpp"
#include "support/env.hpp"
#include "support/fake_engine.hpp"
#include "support/files.hpp"
#include "support/fresh_system.hpp"
#include "support/temp_dir.hpp"
#include "tts/uttsprosodia.hpp"
#include "tts/uttstirel.hpp"

namespace {

namespace fs = std::filesystem;
namespace test = platform::waveout::test;

std::string registryWith(const char* value) {
    if (!value) return "";
    std::string escaped;
    for (const char* p = value; *p; ++p) escaped += *p == '\\' ? std::string("\\\\") : std::string(1, *p);
    return "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\TCTS\\Mbrola\\databases\\BR4]\n@=\"" + escaped + "\"\n";
}

int wakePosts() {
    int n = 0;
    platform::Msg msg;
    while (platform::peekMessage(msg, 0, true)) n += msg.message == servers::speechWakeMessage;
    return n;
}

class TirelServer : public testing::Test {
protected:
    void SetUp() override {
        support::freshSystem(support::Sound::testDevice);
        uttsprosodia::setMessageHandler([](const std::string&) {});
        servers::registerTirelServer();
        settings("");
    }
    void TearDown() override {
        support::closeSystem();
        windir_.reset();
        speaking::resetSettingsForTests();
    }
    void settings(const std::string& tirel) {
        support::writeIni(dir_, "[TIRELTTS]\n" + tirel);
        speaking::resetSettingsForTests();
        servers::tirel::resetForTests();
    }
    // The voice's files from the source tree.
    void realFiles() { settings("DIR=" + fs::path(support::voiceDataStem()).parent_path().string() + "\n"); }

    support::TempDir tmp_{"quoril_tirel_srv"};
    const fs::path dir_ = tmp_.path();
    std::optional<support::ScopedEnv> windir_{std::in_place, "QUORIL_WINDIR", dir_.string()};
    support::FakeEngine fake_;
};

TEST_F(TirelServer, FilesFoundOnce) {
    const struct {
        std::string ini;
        const char* registry;
        std::string database, rules, diphones;
    } cases[] = {
        {"", nullptr, "br4", "\\tamiru\\tireltts\\portug.nrl", "\\tamiru\\tireltts\\portug.dfn"},
        {"DIR=c:\\voz\n", nullptr, "br4", "c:\\voz\\portug.nrl", "c:\\voz\\portug.dfn"},
        {"", "c:\\voz\\br4", "br4", "c:\\voz\\portug.nrl", "c:\\voz\\portug.dfn"},
        {"DIR=/srv/voz/\nBASE=pt\nMBROLA_DB=br1\n", "c:\\voz\\br4", "br1", "/srv/voz/pt.nrl", "/srv/voz/pt.dfn"},
        {"DIR=/srv/voz\n", nullptr, "br4", "/srv/voz\\portug.nrl", "/srv/voz\\portug.dfn"},
    };
    for (const auto& c : cases) {
        settings(c.ini);
        platform::setRegistryText(registryWith(c.registry));
        const servers::tirel::VoiceFiles f = servers::tirel::voiceFiles();
        EXPECT_EQ(f.database, c.database) << c.ini;
        EXPECT_EQ(f.rules, c.rules) << c.ini;
        EXPECT_EQ(f.diphones, c.diphones) << c.ini;
        support::writeIni(dir_, "[TIRELTTS]\nDIR=c:\\outro\n");
        speaking::resetSettingsForTests();
        EXPECT_EQ(servers::tirel::voiceFiles().rules, c.rules) << "read once";
    }
}

TEST_F(TirelServer, FactorsFromSpeedAndPitch) {
    const struct {
        int speed, pitch;
        bool filesThere;
        double duration, pitchFactor;
    } cases[] = {
        {0, 0, true, 0.8, 1.0},         {3, 0, true, 0.635, 1.0},
        {-3, -5, true, 1.013, 6.0 / 11}, {-10, 11, true, 1.51, 2.0},
        {10, 0, false, 0.25, 1.0},      {-1000, 1000, true, 1.51, 2.0},
        {1000, -1000, true, 0.25, 1.0 / 11},
    };
    for (const auto& c : cases) {
        if (c.filesThere) realFiles();
        else settings("DIR=" + (dir_ / "nada").string() + "\n");
        EXPECT_EQ(servers::serverStart(0, c.speed, c.pitch, 3, ""), c.filesThere) << c.speed;
        EXPECT_NEAR(uttstirel::durationFactor(), c.duration, 1e-4) << c.speed;
        EXPECT_NEAR(uttstirel::pitchFactor(), c.pitchFactor, 1e-4) << c.pitch;
        if (c.filesThere) servers::serverEnd();
    }
}

TEST_F(TirelServer, KeyDuringBusyStopsTheSound) {
    realFiles();
    fake_->samplesOnFlush = 8000;
    ASSERT_TRUE(servers::serverStart(0, 0, 0, 3, ""));
    servers::serverSpeak("Bom dia.");
    EXPECT_TRUE(servers::tirel::busy(0));
    EXPECT_EQ(qrwav::queuedBlocks(), 1);
    wakePosts();
    platform::headless::typeKey('A', 'a');
    EXPECT_FALSE(servers::tirel::busy(0));
    EXPECT_EQ(wakePosts(), 2) << "one from stop, one from busy";
    EXPECT_EQ(qrwav::queuedBlocks(), 0);
    EXPECT_FALSE(qrwav::deviceOpen());
}

TEST_F(TirelServer, WritingAFileNeverKeepsTheConsoleWaiting) {
    realFiles();
    fake_->samplesOnFlush = 8000;
    const fs::path wav = dir_ / "fala.wav";
    ASSERT_TRUE(servers::serverStart(0, 0, 0, 3, wav.string()));
    wakePosts();
    servers::serverSpeak("Bom dia.");
    EXPECT_EQ(wakePosts(), 1) << "speak wakes the console";
    EXPECT_FALSE(servers::tirel::busy(0));
    EXPECT_EQ(wakePosts(), 1) << "and so does every busy";
    servers::serverEnd();
    EXPECT_EQ(fs::file_size(wav), 44u + 16000u);
    EXPECT_TRUE(test::blocks().empty());
    EXPECT_EQ(fake_.log().substr(fake_.log().size() - 6), "close\n");
}

}  // namespace
