// The speech-dispatcher module's plain part: how messages are read, how
// requests are answered, what is said for keys and signs.
#include <gtest/gtest.h>

#include "servers/spdmodule.hpp"

namespace {

using namespace servers::spdmodule;

TEST(SpdModule, ReadsMessagesIntoPiecesWithPausesAndMarks) {
    struct Case {
        const char* message;
        std::vector<Piece> pieces;
    } cases[] = {
        {"plain <b> & text", {{"plain <b> & text", 0, ""}}},
        {"<speak>R$ 1,00 &lt;&#233;&#x41;&amp;&bad;</speak>", {{"R$ 1,00 <\xE9" "A&&bad;", 0, ""}}},
        {"<speak>um<mark name=\"a\"/> dois <mark name='b'/></speak>", {{"um", 0, "a"}, {"dois ", 0, "b"}}},
        {"<speak>um<break time=\"250ms\"/><break time=\"1.5s\"/>dois<break strength=\"weak\"/></speak>",
         {{"um", 1750, ""}, {"dois", 200, ""}}},
        {"<speak><sub alias=\"senhor\">Sr.</sub> Silva<!-- <mark name=\"x\"/> --></speak>", {{"senhor Silva", 0, ""}}},
        {"<speak>a\xE2\x80\x94" "b \xC3\xA7 \xE9</speak>", {{"a\x97" "b \xE7 \xE9", 0, ""}}},  // Windows-1252 bytes pass
        {"<speak>cut <mark name=\"z\"", {{"cut ", 0, ""}}},
    };
    for (const Case& c : cases) {
        const std::vector<Piece> got = readMessage(c.message);
        ASSERT_EQ(got.size(), c.pieces.size()) << c.message;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].text, c.pieces[i].text) << c.message;
            EXPECT_EQ(got[i].pauseMs, c.pieces[i].pauseMs) << c.message;
            EXPECT_EQ(got[i].mark, c.pieces[i].mark) << c.message;
        }
    }
}

class FakeHost : public Host {
public:
    bool init(std::string& m) override { m = "pronta"; return loads; }
    bool audio(const Params& p) override { return !p.empty() && p[0].second == "server"; }
    bool speaking() override { return busy; }
    void speak(Kind, const std::string& text) override { spoken.push_back(text); }
    void stop() override { ++stops; }
    void pause() override {}
    bool set(const Params& params) override {
        bool ok = true;
        for (const auto& [n, v] : params) ok = applySetting(settings, n, v) && ok;
        return ok;
    }
    void logLevel(int l) override { level = l; }
    std::vector<std::string> voices() override { return {"quoril\tpt-BR\tnone"}; }
    bool loads = true, busy = false;
    std::vector<std::string> spoken;
    int stops = 0, level = -1;
    Settings settings;
};

TEST(SpdModule, AnswersEachRequestAndGoesOnAfterABadOne) {
    struct Case {
        std::vector<std::string> lines;
        std::vector<std::string> answers;  // all lines' answers, in order
    } cases[] = {
        {{"INIT"}, {"299-quoril: pronta", "299 OK LOADED SUCCESSFULLY"}},
        {{"HELLO", "", "SPEAK", "um", "..", "dois", "."},
         {"300 ERR UNKNOWN COMMAND", "300 ERR UNKNOWN COMMAND", "202 OK SEND DATA", "200 OK SPEAKING"}},
        {{"STOP", "PAUSE", "KEY", "a", "b", "."}, {"202 OK SEND DATA", "305 ERR EXACTLY ONE LINE EXPECTED"}},
        {{"SET", "rate=50", "pitch=x", "volume=NULL", "."}, {"203 OK RECEIVING SETTINGS", "303 ERR INVALID PARAMETER"}},
        {{"AUDIO", "audio_output_method=pulse", ".", "AUDIO", "audio_output_method=server", "."},
         {"207 OK RECEIVING AUDIO SETTINGS", "300 ERR AUDIO OUTPUT NOT AVAILABLE", "207 OK RECEIVING AUDIO SETTINGS",
          "203 OK AUDIO INITIALIZED"}},
        {{"LOGLEVEL", "log_level=9", "."}, {"207 OK RECEIVING LOGLEVEL SETTINGS", "203 OK LOGLEVEL SET"}},
        {{"LIST VOICES", "QUIT"}, {"200-quoril\tpt-BR\tnone", "200 OK VOICE LIST SENT", "210 OK QUIT"}},
        // Too long a message is read to its end and refused; the next is taken.
        {{"SPEAK", std::string(maxMessageBytes / 2, 'a'), std::string(maxMessageBytes / 2, 'a'), ".", "SPEAK", "b", "."},
         {"202 OK SEND DATA", "301 ERROR CANT SPEAK", "202 OK SEND DATA", "200 OK SPEAKING"}},
    };
    for (const Case& c : cases) {
        FakeHost host;
        Protocol protocol(host);
        std::vector<std::string> answers;
        for (const std::string& l : c.lines)
            for (const std::string& a : protocol.feed(l)) answers.push_back(a);
        EXPECT_EQ(answers, c.answers) << c.lines[0];
    }
    FakeHost host;
    Protocol protocol(host);
    for (const char* l : {"SPEAK", "um", "..", "dois", ".", "SET", "rate=50", "pitch=x", ".", "STOP", "LOGLEVEL", "log_level=9", "."})
        protocol.feed(l);
    EXPECT_EQ(host.spoken, std::vector<std::string>{"um\n.\ndois"});
    EXPECT_EQ(host.settings.rate, 50);  // the good value is taken beside the bad one
    EXPECT_EQ(host.stops, 1);
    EXPECT_EQ(host.level, 5);
    host.busy = true;
    EXPECT_EQ(protocol.feed("SPEAK"), std::vector<std::string>{"401 ERR ALREADY SPEAKING"});
    host.loads = false;
    EXPECT_EQ(protocol.feed("INIT").back(), "399 ERR CANT INIT MODULE");
}

// Long texts reach the voice in groups of bounded length, cut where the
// reading pauses anyway when it can.
TEST(SpdModule, CutsLongTextsIntoBoundedGroups) {
    std::string sentences;
    while (sentences.size() < 5000) sentences += "Uma frase curta termina aqui. E outra! ";
    std::string words;
    while (words.size() < 5000) words += "palavra ";
    struct Case {
        std::string text;
        char groupEnd;  // what every group but the last ends with (0: anything)
    } cases[] = {
        {"Curto. Texto.", 0},
        {sentences, '.'},
        {words, 'a'},
        {std::string(1000000, '7'), 0},
        {std::string(5000, ' '), 0},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> groups = textGroups(c.text);
        std::string joined;
        for (std::size_t i = 0; i < groups.size(); ++i) {
            joined += groups[i];
            EXPECT_LE(groups[i].size(), 2 * groupBytes);
            if (c.groupEnd && i + 1 < groups.size()) {
                EXPECT_TRUE(groups[i].back() == c.groupEnd || groups[i].back() == '!') << groups[i];
            }
        }
        EXPECT_EQ(joined, c.text);
        EXPECT_GE(groups.size(), c.text.size() / (2 * groupBytes));
    }
}

TEST(SpdModule, SaysKeysCharactersAndSigns) {
    Settings all, most, spell;
    all.punctuation = "all";
    most.punctuation = "most";
    spell.spelling = true;
    struct Case {
        std::string got, want;
    } cases[] = {
        {keyText("shift_kp-enter"), "shift enter do teclado num\xE9rico"},
        {keyText("control_alt_delete"), "control alt delete"},
        {keyText("kp-*"), "asterisco do teclado num\xE9rico"},
        {keyText("double-quote"), "aspas"},
        {keyText("\xC3\xBA"), "\xFA"},
        {keyText("$"), "cifr\xE3o"},
        {keyText("shift__a_"), "shift _a_"},
        {characterText(" "), "espa\xE7o"},
        {characterText("\xC3\xA7"), "\xE7"},
        {spokenText("R$ 1.234,56, ok!", all), "R$ 1.234,56 v\xEDrgula,  ok exclama\xE7\xE3o! "},
        {spokenText("a@b (c)", most), "a arroba b (c)"},
        {spokenText("R$ 5", Settings{}), "R$ 5"},
        {spokenText("ab c", spell), "a, b, espa\xE7o, c, "},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(SpdModule, MapsRatePitchAndVolumeWithinBounds) {
    // The module's rates fall on the converter's pace range: about three
    // times faster and twice slower than the voice's own.
    EXPECT_NEAR(durationFactorForRate(0) / durationFactorForRate(100), 3.0, 0.25);
    EXPECT_NEAR(durationFactorForRate(-100) / durationFactorForRate(0), 2.0, 0.15);
    EXPECT_DOUBLE_EQ(durationFactorForRate(500), durationFactorForRate(100));
    EXPECT_LT(durationFactorForRate(50), durationFactorForRate(10));
    EXPECT_NEAR(pitchFactorFor(100) * pitchFactorFor(-100), 1.0, 1e-9);
    EXPECT_DOUBLE_EQ(volumeGain(100), 1.0);
    EXPECT_DOUBLE_EQ(volumeGain(0), 0.5);
    EXPECT_DOUBLE_EQ(volumeGain(-100), 0.0);
    EXPECT_DOUBLE_EQ(volumeGain(-1000), 0.0);
}

}  // namespace
