// The dispatcher: which slot a type number selects, the wait for an idle
// server after a start, the routing of the other operations, and the
// server settings read from QUORIL.INI.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "console/qrcrt.hpp"
#include "platform/system/messages.hpp"
#include "platform/window/window.hpp"
#include "servers/dispatch.hpp"
#include "speaking/settings.hpp"
#include "support/env.hpp"
#include "support/files.hpp"
#include "support/fresh_system.hpp"
#include "support/temp_dir.hpp"

namespace {

using servers::ServerKind;

// What the fake servers were asked, as "kind:operation args".
std::vector<std::string> calls;
int busyAnswersLeft = 0;
bool startAnswer = true;

template <int K>
servers::ServerOps fakeOps() {
    servers::ServerOps ops;
    ops.start = [](int voice, int speed, int pitch, const std::string& out) {
        calls.push_back(std::to_string(K) + ":start " + std::to_string(voice) + " " + std::to_string(speed) +
                        " " + std::to_string(pitch) + " [" + out + "]");
        return startAnswer;
    };
    ops.speak = [](const std::string& text) { calls.push_back(std::to_string(K) + ":speak " + text); };
    ops.busy = [](std::uint8_t mode) {
        calls.push_back(std::to_string(K) + ":busy " + std::to_string(mode));
        return busyAnswersLeft-- > 0;
    };
    ops.stop = [] { calls.push_back(std::to_string(K) + ":stop"); };
    ops.end = [] { calls.push_back(std::to_string(K) + ":end"); };
    return ops;
}

class Dispatch : public testing::Test {
protected:
    void SetUp() override {
        support::freshSystem(support::Sound::untouched);
        calls.clear();
        busyAnswersLeft = 0;
        startAnswer = true;
        servers::registerServer(ServerKind::builtIn, fakeOps<3>());
        servers::registerServer(ServerKind::sapi5, fakeOps<5>());
        servers::registerServer(ServerKind::sapi5Second, fakeOps<54>());
        servers::registerServer(ServerKind::sapi4, fakeOps<4>());
    }
    void TearDown() override { support::closeSystem(); }
};

TEST(ServerKinds, TypeNumbers) {
    const std::pair<int, ServerKind> cases[] = {
        {3, ServerKind::builtIn}, {5, ServerKind::sapi5},  {54, ServerKind::sapi5Second},
        {4, ServerKind::sapi4},   {0, ServerKind::sapi4},  {7, ServerKind::sapi4},
        {-5, ServerKind::sapi4},  {55, ServerKind::sapi4}};
    for (auto [type, kind] : cases) EXPECT_EQ(servers::kindOfType(type), kind) << type;
}

TEST(ServerKinds, EmptySlotsStartNothing) {
    servers::resetForTests();
    EXPECT_EQ(servers::serverType(), 4);
    for (int type : {3, 4, 5, 54, 0}) {
        EXPECT_FALSE(servers::serverStart(1, 2, 3, type, "")) << type;
        EXPECT_EQ(servers::serverType(), type) << "a failed start keeps the type";
        EXPECT_FALSE(servers::serverBusy(0));
        servers::serverSpeak("nada");
        servers::serverStop();
        servers::serverEnd();
    }
}

TEST_F(Dispatch, StartWaitsUntilIdleThenRoutes) {
    busyAnswersLeft = 2;
    EXPECT_TRUE(servers::serverStart(2, -3, 7, 54, "out.wav"));
    EXPECT_EQ(calls, (std::vector<std::string>{"54:start 2 -3 7 [out.wav]", "54:busy 1", "54:busy 1",
                                               "54:busy 1"}));
    calls.clear();
    servers::serverSpeak("ol\xE1");
    EXPECT_FALSE(servers::serverBusy(0));
    servers::serverStop();
    servers::serverEnd();
    EXPECT_EQ(calls, (std::vector<std::string>{"54:speak ol\xE1", "54:busy 0", "54:stop", "54:end"}));
    EXPECT_EQ(servers::serverType(), 54) << "the type outlives the end";
}

TEST_F(Dispatch, FailedStartDoesNotWait) {
    startAnswer = false;
    busyAnswersLeft = 5;
    EXPECT_FALSE(servers::serverStart(0, 0, 0, 7, ""));
    EXPECT_EQ(calls, (std::vector<std::string>{"4:start 0 0 0 []"}));
    EXPECT_EQ(servers::serverType(), 7);
}

TEST_F(Dispatch, BusyPumpsAndWakeIsPosted) {
    servers::serverStart(0, 0, 0, 3, "");
    servers::postSpeechWake();
    platform::Msg msg;
    ASSERT_TRUE(platform::peekMessage(msg, 0, false));
    EXPECT_EQ(msg.message, servers::speechWakeMessage);
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(msg.lParam, 0);
    servers::serverBusy(0);
    EXPECT_EQ(platform::queuedMessages(), 0u) << "serverBusy takes in what is pending";
}

class ServerSettings : public testing::Test {
protected:
    void SetUp() override { speaking::resetSettingsForTests(); }
    void TearDown() override {
        windir_.reset();
        speaking::resetSettingsForTests();
    }
    void settings(const std::string& text) {
        support::writeIni(dir_, text);
        speaking::resetSettingsForTests();
    }
    support::TempDir tmp_{"quoril_srv"};
    const std::filesystem::path dir_ = tmp_.path();
    std::optional<support::ScopedEnv> windir_{std::in_place, "QUORIL_WINDIR", dir_.string()};
};

TEST_F(ServerSettings, WhatTheFileAsksFor) {
    struct Case {
        const char* what;
        std::string ini;
        bool wanted;
        int voice, speed, pitch, type;
    };
    const std::string servfala = "[SERVFALA]\nVOZ=2\nVELOCIDADE=15\nTOM=-3\nTIPOSAPI=5\n";
    const Case cases[] = {
        {"no SAPI key", "[TRADUTOR]\n" + servfala, false, 0, 0, 0, 0},
        {"SAPI=N", "[TRADUTOR]\nSAPI=N\n" + servfala, false, 0, 0, 0, 0},
        {"SAPI=nao", "[TRADUTOR]\nSAPI=nao\n" + servfala, false, 0, 0, 0, 0},
        {"SAPI empty", "[TRADUTOR]\nSAPI=\n" + servfala, false, 0, 0, 0, 0},
        {"type 5, rate 15", "[TRADUTOR]\nSAPI=S\n" + servfala, true, 2, 0, -3, 5},
        {"type 4 keeps 180", "[TRADUTOR]\nSAPI=1\n[SERVFALA]\nVELOCIDADE=180\nTIPOSAPI=4\n", true, 0, 180, 0, 4},
        {"type missing: 0, rate 11 reset", "[TRADUTOR]\nSAPI=S\n[SERVFALA]\nVELOCIDADE=11\n", true, 0, 0, 0, 0},
        {"type 54, rate 10 kept", "[TRADUTOR]\nSAPI=s\n[SERVFALA]\nVELOCIDADE=10\nTIPOSAPI=54\n", true, 0, 10, 0, 54},
        {"not numbers", "[TRADUTOR]\nSAPI=Y\n[SERVFALA]\nVOZ=x\nVELOCIDADE=-2\nTOM=4a\nTIPOSAPI=3\n", true, 0, -2, 4, 3},
    };
    for (const Case& c : cases) {
        settings(c.ini);
        const servers::ServerSettings s = servers::serverSettings();
        EXPECT_EQ(s.wanted, c.wanted) << c.what;
        if (!c.wanted) continue;
        EXPECT_EQ(s.voice, c.voice) << c.what;
        EXPECT_EQ(s.speed, c.speed) << c.what;
        EXPECT_EQ(s.pitch, c.pitch) << c.what;
        EXPECT_EQ(s.type, c.type) << c.what;
    }
}

// With SERVFALA / VELOCIDADE 0 the console speed sets the pace, in each
// voice's own terms; an explicit rate keeps its meaning.
TEST_F(ServerSettings, ConsoleSpeedSetsThePaceOfTheVoicesOwnRate) {
    struct Case {
        std::string servfala;
        int consoleSpeed;
        int voice, speed;
    };
    const Case cases[] = {
        {"TIPOSAPI=3\n", 1, 0, -6},           {"TIPOSAPI=3\n", 3, 0, 0},
        {"TIPOSAPI=3\nVELOCIDADE=0\n", 5, 0, 8}, {"TIPOSAPI=3\nVELOCIDADE=2\n", 5, 0, 2},
        {"TIPOSAPI=54\n", 5, 1, 6},           {"TIPOSAPI=5\nVOZ=3\n", 1, 3, -7},
        {"TIPOSAPI=5\n", 3, 0, 0},            {"TIPOSAPI=4\n", 4, 0, 235},
        {"TIPOSAPI=4\nVELOCIDADE=180\n", 1, 0, 180},
        {"TIPOSAPI=54\nVELOCIDADE=15\n", 2, 1, -4},  // out of range: the voice's own
        {"TIPOSAPI=3\n", 0, 0, 0},            {"TIPOSAPI=3\n", 9, 0, 0},
    };
    for (const Case& c : cases) {
        settings("[TRADUTOR]\nSAPI=S\n[SERVFALA]\n" + c.servfala);
        const servers::ServerSettings s = servers::serverSettings(c.consoleSpeed);
        EXPECT_EQ(s.speed, c.speed) << c.servfala << " speed " << c.consoleSpeed;
        EXPECT_EQ(s.voice, c.voice) << c.servfala << " speed " << c.consoleSpeed;
    }
}

}  // namespace
