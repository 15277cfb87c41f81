// Starting and ending speech: the speed and its per-speed settings, the
// directories, a speech server started from the settings or not, the
// synthesizer failure, and speech handed to a server.
#include "output_fixture.hpp"

#include <algorithm>
#include <fstream>
#include <random>

#include <sys/stat.h>

#include "sound/qrwav.hpp"
#include "speaking/sounds.hpp"

namespace {

struct ProcessEnded {
    int code;
};

// What the fake servers were asked.
std::vector<std::string> serverCalls;
bool serverStarts = true;
int serverBusyAnswers = 0;

servers::ServerOps fakeServer() {
    servers::ServerOps ops;
    ops.start = [](int voice, int speed, int pitch, const std::string& out) {
        serverCalls.push_back("start " + std::to_string(voice) + " " + std::to_string(speed) + " " +
                              std::to_string(pitch) + " [" + out + "]");
        return serverStarts;
    };
    ops.speak = [](const std::string& text) { serverCalls.push_back("speak " + text); };
    ops.busy = [](std::uint8_t) { return serverBusyAnswers-- > 0; };
    ops.stop = [] { serverCalls.push_back("stop"); };
    ops.end = [] { serverCalls.push_back("end"); };
    return ops;
}

std::string row(int r) {
    std::string text;
    for (int c = 1; c <= qrcrt::screenColumns; ++c) text += static_cast<char>(qrcrt::screenChar(r, c));
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

}  // namespace

class StartSpeech : public OutputTest {
protected:
    void SetUp() override {
        OutputTest::SetUp();
        serverCalls.clear();
        serverStarts = true;
        serverBusyAnswers = 0;
        for (auto kind : {servers::ServerKind::builtIn, servers::ServerKind::sapi5,
                          servers::ServerKind::sapi5Second, servers::ServerKind::sapi4})
            servers::registerServer(kind, fakeServer());
    }
};

TEST_F(StartSpeech, Speed) {
    struct Case {
        int given;
        const char* velocidade;  // TRADUTOR / VELOCIDADE, or null
        int speed;
    };
    const Case cases[] = {{9, nullptr, 3}, {0, nullptr, 3}, {0, "5", 5}, {-1, "2", 2}, {0, "7", 3},
                          {0, "x", 3},     {4, "2", 4},     {6, "1", 3}, {0, "0", 3}};
    for (const Case& c : cases) {
        freshOutput();
        settings(c.velocidade ? std::string("[TRADUTOR]\nVELOCIDADE=") + c.velocidade + "\n" : "");
        speaking::startSpeech(c.given, "");
        EXPECT_EQ(speaking::speechSpeed(), c.speed) << c.given << " " << (c.velocidade ? c.velocidade : "-");
    }
}

TEST_F(StartSpeech, PerSpeedSettings) {
    settings(
        "[SINTETIZADOR]\nDIFONES2=ABCDEFGHIJ\nPAUSAPONTO2=400\nPAUSAVIRG2=x\nPAUSADOISPONTOS2=90\n"
        "CORTAFALA2=sim\nRAPIDINHO2=nao\nPAUSAPONTO3=999\nRAPIDINHO3=S\n");
    speaking::startSpeech(2, "");
    EXPECT_EQ(qrtradut::databaseName(), "ABCDEFGH");
    EXPECT_EQ(speaking::pauses().fullStop, 400);
    EXPECT_EQ(speaking::pauses().comma, 150) << "not a number: the default";
    EXPECT_EQ(speaking::pauses().colon, 90);
    EXPECT_TRUE(qrwav::waveCutSpeech());
    EXPECT_FALSE(qrwav::waveFaster());

    speaking::startSpeech(3, "");
    EXPECT_EQ(speaking::pauses().fullStop, 999);
    EXPECT_EQ(speaking::pauses().comma, 150);
    EXPECT_EQ(speaking::pauses().colon, 200);
    EXPECT_FALSE(qrwav::waveCutSpeech());
    EXPECT_TRUE(qrwav::waveFaster());
    EXPECT_EQ(qrtradut::databaseName(), "ABCDEFGH") << "no name for speed 3: the one in use stays";
}

// Pauses out of range are held to 0..5 s.
TEST_F(StartSpeech, PausesOutOfRangeAreBounded) {
    struct Case { const char* value; int pause; };
    const Case cases[] = {{"2147483647", 5000}, {"5001", 5000}, {"-1", 0}, {"-2147483648", 0}, {"4999", 4999}};
    for (const Case& c : cases) {
        freshOutput();
        const std::string v = c.value;
        settings("[SINTETIZADOR]\nPAUSAPONTO1=" + v + "\nPAUSAVIRG1=" + v + "\nPAUSADOISPONTOS1=" + v + "\n");
        speaking::startSpeech(1, "");
        EXPECT_EQ(speaking::pauses().fullStop, c.pause) << c.value;
        EXPECT_EQ(speaking::pauses().comma, c.pause) << c.value;
        EXPECT_EQ(speaking::pauses().colon, c.pause) << c.value;
    }
}

TEST_F(StartSpeech, Directories) {
    settings("[TRADUTOR]\nDIRLETRAS=/som/letras\n");
    speaking::startSpeech(0, "mensagens");
    EXPECT_EQ(speaking::messageDirectory(), "mensagens\\");
    EXPECT_EQ(speaking::messageSoundDirectory(), "mensagens\\");
    EXPECT_EQ(speaking::lettersDirectory(), "/som/letras\\");
    speaking::startSpeech(0, "");
    EXPECT_EQ(speaking::messageDirectory(), "");
    EXPECT_TRUE(speaking::typedEcho());
    EXPECT_TRUE(speaking::firstKeyClearing());
}

TEST_F(StartSpeech, ServerFromTheSettings) {
    struct Case {
        const char* what;
        std::string ini;
        std::vector<std::string> calls;
        bool active;
        int type;
    };
    const std::string servfala = "[SERVFALA]\nVOZ=2\nVELOCIDADE=15\nTOM=3\n";
    const Case cases[] = {
        {"SAPI absent", servfala + "TIPOSAPI=5\n", {}, false, 4},
        {"SAPI=N", "[TRADUTOR]\nSAPI=N\n" + servfala + "TIPOSAPI=5\n", {}, false, 4},
        {"type 5, rate 15", "[TRADUTOR]\nSAPI=S\n" + servfala + "TIPOSAPI=5\n", {"start 2 0 3 []"}, true, 5},
        {"type 3, rate 15", "[TRADUTOR]\nSAPI=S\n" + servfala + "TIPOSAPI=3\n", {"start 2 0 3 []"}, true, 3},
        {"type 4 keeps 15", "[TRADUTOR]\nSAPI=S\n" + servfala + "TIPOSAPI=4\n", {"start 2 15 3 []"}, true, 4},
        {"type missing", "[TRADUTOR]\nSAPI=S\n" + servfala, {"start 2 0 3 []"}, true, 0},
    };
    for (const Case& c : cases) {
        freshOutput();
        serverCalls.clear();
        settings(c.ini);
        speaking::startSpeech(0, "");
        EXPECT_EQ(serverCalls, c.calls) << c.what;
        EXPECT_EQ(speaking::serverActive(), c.active) << c.what;
        EXPECT_EQ(speaking::serverTypeInUse(), c.type) << c.what;
    }
}

// A server that cannot start, is not ready in time or stops answering
// hands over to the diphone synthesizer, and the user is told why once, on
// the screen and aloud; a restart of speech (Ctrl+F4) tries it no more.
TEST_F(StartSpeech, FailedServerHandsOverAndIsToldOnce) {
    servers::setServerBoundsForTests({300, 300, 0, 300, 300});
    struct Case {
        const char* what;
        int type;
        bool starts;
        int busy;  // answers true this many times
        std::string toldOnScreen;
    };
    const Case cases[] = {
        {"start refused, with its reason", 3, false, 0,
         "Voz embutida indispon\xEDvel: a biblioteca do motor n\xE3o foi encontrada (libmbrola.so)"},
        {"start refused, no reason", 54, false, 0, "Servidor de fala indispon\xEDvel: n\xE3o iniciou"},
        {"never idle after the start", 5, true, 1 << 30,
         "Servidor de fala indispon\xEDvel: n\xE3o ficou pronto em 1 segundo"},
        {"an utterance that never ends", 5, true, 0,
         "Servidor de fala indispon\xEDvel: parou de responder (uma fala n\xE3o terminou em 1 segundo)"},
    };
    for (const Case& c : cases) {
        freshOutput();
        qrcrt::resetForTests();
        platform::headless::reset();
        serverCalls.clear();
        trace_.clear();
        serverStarts = c.starts;
        serverBusyAnswers = c.busy;
        servers::registerServer(servers::kindOfType(c.type), [&] {
            servers::ServerOps ops = fakeServer();
            if (c.type == 3)
                ops.start = [](int, int, int, const std::string&) {
                    servers::serverFailed("a biblioteca do motor n\xE3o foi encontrada", "libmbrola.so");
                    return false;
                };
            return ops;
        }());
        settings("[TRADUTOR]\nSAPI=S\n[SERVFALA]\nTIPOSAPI=" + std::to_string(c.type) + "\n");
        speaking::startSpeech(0, "");
        speaking::speakText("primeira");
        if (speaking::serverActive()) {
            serverBusyAnswers = 1 << 30;  // what is said now never ends
            speaking::speakText("segunda");
        }
        EXPECT_FALSE(speaking::serverActive()) << c.what;
        EXPECT_EQ(speaking::serverTypeInUse(), c.type) << c.what;
        EXPECT_EQ(row(1) + row(2), c.toldOnScreen) << c.what;
        const std::string aloud = c.toldOnScreen.substr(0, c.toldOnScreen.find(" ("));
        EXPECT_NE(std::find(trace_.begin(), trace_.end(), "words " + aloud.substr(0, aloud.find(':'))),
                  trace_.end())
            << c.what << ": told aloud";
        EXPECT_EQ(trace_.back(), c.starts && c.busy == 0 ? "words segunda " : "words primeira ") << c.what;
        // A speed change starts speech again: the server is not tried, nor
        // the failure told, again.
        const std::size_t calls = serverCalls.size();
        trace_.clear();
        speaking::endSpeech();
        speaking::startSpeech(2, "");
        speaking::speakText("ola");
        EXPECT_EQ(serverCalls.size(), calls) << c.what;
        EXPECT_EQ(trace_, (std::vector<std::string>{"words ola "})) << c.what;
    }
    servers::setServerBoundsForTests({});
}

TEST_F(StartSpeech, TextGoesWholeToTheServer) {
    settings("[TRADUTOR]\nSAPI=S\n[SERVFALA]\nTIPOSAPI=5\n");
    speaking::startSpeech(0, "");
    serverCalls.clear();
    speaking::speakText("007 - www.");
    EXPECT_EQ(trace_, (std::vector<std::string>{"server 007 - www."}));
    serverBusyAnswers = 3;
    speaking::finishSpeech();
    EXPECT_EQ(serverBusyAnswers, -1) << "finishSpeech waited until the server was idle";
    serverBusyAnswers = 1;
    speaking::finishSpeech();
    EXPECT_EQ(serverBusyAnswers, 1) << "nothing pending: no wait";
    serverBusyAnswers = 0;

    // A key waiting: the text is skipped, and the key stays.
    platform::headless::typeKey('K', 'k');
    speaking::speakText("nada");
    EXPECT_EQ(serverCalls, (std::vector<std::string>{"speak 007 - www."}));
    EXPECT_EQ(qrcrt::readKeyCode(), 'k');

    serverBusyAnswers = 1;
    speaking::cutSpeech();
    speaking::cutSpeech();  // idle now: not stopped again
    speaking::endSpeech();
    EXPECT_EQ(serverCalls, (std::vector<std::string>{"speak 007 - www.", "stop", "end"}));
    EXPECT_FALSE(speaking::serverActive());
}

// Every wait cuts what sounds once a key is waiting, and leaves the key:
// the player's sound and a long message of the speech server alike (a key
// that says nothing must still silence the server).
TEST_F(StartSpeech, AWaitingKeyCutsTheSoundInEveryWait) {
    const struct {
        const char* name;
        void (*wait)();
    } waits[] = {
        {"speechBusy", [] { EXPECT_FALSE(speaking::speechBusy()); }},
        {"waitWhileSpeaking", speaking::waitWhileSpeaking},
        {"finishSpeech", speaking::finishSpeech},
    };
    settings("[TRADUTOR]\nSAPI=S\n[SERVFALA]\nTIPOSAPI=5\n");
    speaking::startSpeech(0, "");
    platform::waveout::test::setAutoFinish(false);
    const std::vector<std::uint8_t> samples(20000, 128);
    for (const auto& w : waits) {
        serverCalls.clear();
        speaking::speakText("uma mensagem longa");
        serverBusyAnswers = 1000000;
        ASSERT_EQ(qrwav::playWaveData(samples.data(), samples.size(), 11025, 1, 8), 0);
        ASSERT_GT(qrwav::queuedBlocks(), 0);
        platform::headless::typeKey('K', 'k');
        w.wait();
        serverBusyAnswers = 0;  // the fake server does not stop by itself
        EXPECT_EQ(serverCalls, (std::vector<std::string>{"speak uma mensagem longa", "stop"})) << w.name;
        EXPECT_EQ(qrwav::queuedBlocks(), 0) << w.name;
        EXPECT_EQ(qrcrt::readKeyCode(), 'k') << w.name;
        qrwav::stopWave();  // whatever a wait left sounding (this test's device never ends a block)
    }
    platform::waveout::test::setAutoFinish(true);
}

TEST_F(StartSpeech, BuiltInVoiceIsAlwaysStoppedOnACut) {
    settings("[TRADUTOR]\nSAPI=S\n[SERVFALA]\nTIPOSAPI=3\n");
    speaking::startSpeech(0, "");
    serverCalls.clear();
    speaking::cutSpeech();
    EXPECT_EQ(serverCalls, (std::vector<std::string>{"stop"}));
}

TEST_F(StartSpeech, SynthesizerFailureStopsTheProgram) {
    settings("[SINTETIZADOR]\nDIFONES3=VOZX\n");
    synthResult_ = 2;
    platform::setExitHandler([](int code) { throw ProcessEnded{code}; });
    platform::headless::setKeysWhenWaiting(true);
    platform::headless::typeText("qualquer\r");
    int code = -1;
    try {
        speaking::startSpeech(0, "");
    } catch (const ProcessEnded& e) {
        code = e.code;
    }
    EXPECT_EQ(code, 1);
    // The screen is gone with the window; what was painted tells.
    std::string painted;
    for (const std::string& call : platform::headless::drawCalls()) painted += call.substr(call.find(':') + 1) + "\n";
    EXPECT_NE(painted.find("Erro de inicializa\xE7\xE3o: 2"), std::string::npos) << painted;
    EXPECT_NE(painted.find("Banco de dados de voz: VOZX"), std::string::npos) << painted;
    EXPECT_EQ(platform::headless::pendingInput(), 0u) << "the line was read before closing";
    EXPECT_TRUE(trace_.empty()) << "the messages are written, not spoken";
}

TEST_F(StartSpeech, BrailleThatTheWindowCannotOfferIsRefusedAloud) {
    // A terminal reports no key releases: Ctrl+Alt+F11 must not sound the
    // mode's tones; the warning tone comes, then the reason, written and said.
    platform::headless::setKeyReleases(false);
    speaking::startSpeech(0, "");
    speaking::writeSpoken("Arquivo: ");
    const std::size_t before = platform::waveout::test::blocks().size();
    trace_.clear();
    platform::headless::keyDown(platform::VK_F11, platform::MOD_CTRL | platform::MOD_ALT);
    EXPECT_FALSE(qrcrt::keyWaiting());
    EXPECT_EQ(qrcrt::brailleMode(), 0);
    const std::string reason =
        "Teclado braille indispon\xEDvel: o terminal n\xE3o informa as teclas soltas";
    EXPECT_EQ(row(1), "Arquivo:");
    EXPECT_EQ(row(2), reason);
    const auto blocks = platform::waveout::test::blocks();
    ASSERT_GT(blocks.size(), before);
    const auto& warning = speaking::warningImage();
    const auto& first = blocks[before];
    ASSERT_LE(first.size() + 44, warning.size());
    EXPECT_TRUE(std::equal(first.begin(), first.end(), warning.begin() + 44)) << "the warning tone comes first";
    ASSERT_FALSE(trace_.empty());
    EXPECT_EQ(trace_.front(), "words Teclado braille indispon\xEDvel");
}

// The real synthesizer without what it needs: the messages on the screen,
// a failure exit code, and standard error naming what is missing.
TEST_F(StartSpeech, MissingVoiceFilesAreNamedOnStandardError) {
    namespace fs = std::filesystem;
    // Short folder names: the synthesizer holds directories of limited length.
    const fs::path base = fs::temp_directory_path() / ("qv" + std::to_string(std::random_device{}() % 100000));
    const fs::path letters = base / "letras", diphones = base / "difones";
    fs::create_directories(letters);
    fs::create_directories(diphones);
    const std::string dirs = "[TRADUTOR]\nDIRLETRAS=" + letters.string() + "\nDIRDIFONES=" + diphones.string() +
                             "\n[SINTETIZADOR]\nDIFONES1=VOZ\nDIFONES2=VOZ\nDIFONES3=VOZ\nDIFONES4=VOZ\nDIFONES5=VOZ\n";
    struct Case {
        const char* what;
        std::string ini;  // empty: no settings file at all
        std::vector<std::string> files;
        std::string named;
    };
    const Case cases[] = {
        {"no settings file", "", {}, (dir_ / "QUORIL.INI").string()},
        {"settings file that is a pipe", "fifo", {}, "um arquivo comum: " + (dir_ / "QUORIL.INI").string()},
        {"no diphone folder", "[TRADUTOR]\nDIRLETRAS=" + letters.string() + "\nDIRDIFONES=" + (base / "nada").string() +
                                  "\n",
         {}, (base / "nada").string()},
        {"no database", dirs, {}, (diphones / "VOZ.IND").string()},
        {"no rules", dirs, {"VOZ.IND", "VOZ.DIF"}, (diphones / "regras.rgr").string()},
    };
    speaking::setSynthesizerForTests({}, {});
    platform::setExitHandler([](int code) { throw ProcessEnded{code}; });
    for (const auto& c : cases) {
        for (const char* f : {"VOZ.IND", "VOZ.DIF"}) fs::remove(diphones / f);
        for (const auto& f : c.files) std::ofstream(diphones / f) << "";
        if (c.ini.empty() || c.ini == "fifo") fs::remove(dir_ / "QUORIL.INI");
        else settings(c.ini);
        if (c.ini == "fifo") {
            ASSERT_EQ(::mkfifo((dir_ / "QUORIL.INI").c_str(), 0600), 0);
        }
        platform::headless::reset();
        qrcrt::resetForTests();
        platform::headless::setKeysWhenWaiting(true);
        platform::headless::typeText("\r");
        int code = -1;
        testing::internal::CaptureStderr();
        try {
            speaking::startSpeech(0, "");
        } catch (const ProcessEnded& e) {
            code = e.code;
        }
        const std::string err = testing::internal::GetCapturedStderr();
        std::string painted;
        for (const std::string& call : platform::headless::drawCalls()) painted += call.substr(call.find(':') + 1);
        EXPECT_NE(code, 0) << c.what;
        EXPECT_NE(code, -1) << c.what;
        EXPECT_NE(painted.find("Erro de inicializa\xE7\xE3o:"), std::string::npos) << c.what;
        EXPECT_NE(err.find("Erro de inicializa"), std::string::npos) << c.what << ": " << err;
        EXPECT_NE(err.find(c.named), std::string::npos) << c.what << ": " << err;
        if (c.ini == "fifo") fs::remove(dir_ / "QUORIL.INI");
    }
    fs::remove_all(base);
}

TEST_F(StartSpeech, WriteLineSpokenWritesThenSpeaks) {
    speaking::startSpeech(0, "");
    speaking::writeLineSpoken("Qual o arquivo?");
    speaking::writeSpoken("fim");
    EXPECT_EQ(row(1), "Qual o arquivo?");
    EXPECT_EQ(row(2), "fim");
    EXPECT_EQ(qrcrt::cursorColumn(), 4);
    EXPECT_EQ(trace_, (std::vector<std::string>{"words Qual o arquivo", "letter 63", "words fim "}));
}

// Without a sound device the user is told so on the screen; a message box
// the desktop cannot show is written and spoken instead.
TEST_F(StartSpeech, WhatCannotBeHeardOrShownIsWritten) {
    testing::internal::CaptureStderr();
    {
        support::ScopedEnv audio("QUORIL_AUDIO", "sdl");
        support::ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
        speaking::startSpeech(0, "");
        speaking::startSpeech(2, "");  // a speed change starts speech again
    }
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(row(1).rfind("Sem som: o dispositivo de som n\xE3o abriu (", 0), 0u) << row(1);
    // A line longer than the screen is broken at blanks, never in a word:
    // its rows joined by blanks are the line.
    std::string rows = row(1);
    for (int r = 2; r < qrcrt::cursorRow(); ++r) rows += " " + row(r);
    EXPECT_NE(told.find("convzul: " + platform::cp1252ToUtf8(rows) + "\n"), std::string::npos) << told;
    for (int r = 2; r <= qrcrt::cursorRow(); ++r) EXPECT_EQ(row(r).rfind("Sem som", 0), std::string::npos) << "told once";

    speaking::showMessage("convzul", "caixa");
    EXPECT_EQ(platform::headless::messageBoxes(), std::vector<std::string>{"convzul: caixa"});
    const int rowAfter = qrcrt::cursorRow();
    platform::headless::setMessageBoxesShown(false);
    speaking::showMessage("convzul", "Erro de entrada");
    EXPECT_EQ(row(rowAfter), "convzul: Erro de entrada");
    EXPECT_NE(trace_.back().find("Erro de entrada"), std::string::npos) << trace_.back();
}
