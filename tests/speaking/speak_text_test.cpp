// How speakText voices each piece of a text: zeros, numbers read or spelled,
// words and the www rule, symbols with their repeat count, hyphens, "://",
// punctuation and its pauses; a key ends the text; the pieces reach the
// sound device in order.
#include <chrono>

#include "output_fixture.hpp"

using Trace = std::vector<std::string>;

namespace {

std::string letter(char c) { return "letter " + std::to_string(static_cast<unsigned char>(c)); }

}  // namespace

class SpeakText : public OutputTest {
protected:
    void SetUp() override {
        OutputTest::SetUp();
        speaking::setLettersDirectory(dir_.string());
        speaking::setSynthLettersDirectory(dir_.string());
    }
};

TEST_F(SpeakText, Pieces) {
    struct Case {
        std::string text;
        Trace pieces;
    };
    const Case cases[] = {
        {"007", {"zero", "zero", "number sete"}},
        {"1234567", {letter('1'), letter('2'), letter('3'), letter('4'), letter('5'), letter('6'), letter('7')}},
        {"123456", {"number cento e vinte e tres mil quatrocentos e cinquenta e seis"}},
        {"12-34", {letter('1'), letter('2'), letter('-'), letter('3'), letter('4')}},
        {"-5", {"minus", "number cinco"}},
        {"10", {"number dez"}},
        {"x 0,5", {"words x ", "zero", letter(','), "number cinco"}},
        // www alone before a non-word character is spelled, in any case
        {"www.", {letter('w'), letter('w'), letter('w'), letter('.'), "pause 250"}},
        {"WwW.x", {letter('W'), letter('w'), letter('W'), letter('.'), "words x "}},
        // at the very end the run takes the appended space; wwwx is a word
        {"www", {"words www "}},
        {"wwwx.", {"words wwwx", letter('.'), "pause 250"}},
        {"******", {letter('*'), letter('*'), letter('*'), letter('*'), "click", "click"}},
        // words in between do not reset the count
        {"*a*b*c*d*", {letter('*'), "words a", letter('*'), "words b", letter('*'), "words c", letter('*'),
                       "words d", "click"}},
        {"3.14", {"number tres", letter('.'), "number quatorze"}},
        {"guarda-chuva", {"words guarda", "words chuva "}},
        {"a, b; c: (d)", {"words a", letter(','), "pause 150", "words  b", letter(';'), "pause 200",
                          "words  c", letter(':'), "pause 200", letter('('), "pause 200",
                          "words d", letter(')'), "pause 200"}},
        {"a - b", {"words a ", letter('-'), "pause 150", "words  b "}},
        {"x--y", {"words x", letter('-'), letter('-'), "words y "}},
        {"a-", {"words a", letter('-'), "pause 150"}},
        {"5-", {letter('5'), letter('-')}},
        {"http://x", {"words http", letter(':'), letter('/'), letter('/'), "words x "}},
        {"a:b", {"words a", letter(':'), "pause 200", "words b "}},
        {"\t#", {letter('#')}},
        {"\xE7\xE3o!", {"words \xE7\xE3o", letter('!')}},
    };
    for (const Case& c : cases) {
        trace_.clear();
        speaking::speakText(c.text);
        EXPECT_EQ(trace_, c.pieces) << c.text;
    }
}

// The signs above 127 that are not letters are symbols: never a vowel or the
// recording of byte 1. Curly quotes, dashes and the ellipsis read as their
// plain forms; the others say their own recordings.
TEST_F(SpeakText, SignsAbove127) {
    struct Case {
        std::string text;
        Trace pieces;
    };
    const std::string l = letter('"');
    const Case cases[] = {
        {"1\xBA", {"number um", "letter 186"}},
        {"2\xAA", {"number dois", "letter 170"}},
        {"28 \xB0" "C", {"number vinte e oito", "letter 176", "words C "}},
        {"\x93oi\x94", {l, "words oi", l}},
        {"d\x92\xE1gua", {"words d", letter('\''), "words \xE1gua "}},
        {"a \x96 b", {"words a ", letter('-'), "pause 150", "words  b "}},
        {"a \x97 b", {"words a ", letter('-'), "pause 150", "words  b "}},
        {"fim\x85 x", {"words fim", letter('.'), "pause 250", "words  x "}},
        {"5 \x80", {"number cinco", "letter 128"}},
        {"\x95 item", {"letter 149", "words  item "}},
        {"2\xD7" "3", {"number dois", "letter 215", "number tres"}},
        {"a\xA0" "b", {"words a b "}},
        {"com\xADpu", {"words com", "words pu "}},
        // the accented letters and the capitals with a caron stay letters
        {"\xC9 \x8A", {"words \xC9 \x8A "}},
    };
    for (const Case& c : cases) {
        trace_.clear();
        speaking::speakText(c.text);
        EXPECT_EQ(trace_, c.pieces) << c.text;
    }
}

// The pieces reach the device in order: two zeros, then the number image.
TEST_F(SpeakText, ZerosThenNumberOnTheDevice) {
    record("_zero", 10);
    record("_sete", 20);
    record("_46", 30);
    record("_um", 40);
    speaking::speakText("007.1");
    EXPECT_EQ(playedFills(), (std::vector<int>{10, 10, 20, 30, 40}));
}

class KeyDuringText : public SpeakText {
protected:
    void onWords(const std::string& run) override {
        if (run == " dois") platform::headless::typeKey('X', 'x');
    }
};

TEST_F(KeyDuringText, KeyEndsTheTextAndIsReadNormally) {
    speaking::speakText("um. dois. tres. quatro. cinco.");
    EXPECT_EQ(trace_, (Trace{"words um", letter('.'), "pause 250", "words  dois"}));
    ASSERT_TRUE(qrcrt::keyWaiting());
    EXPECT_EQ(qrcrt::readKeyCode(), 'x');
    // The next text is spoken again.
    trace_.clear();
    speaking::speakText("seis");
    EXPECT_EQ(trace_, (Trace{"words seis "}));
}

TEST_F(SpeakText, KeyCutsSpellingAndPauses) {
    platform::headless::typeKey('Q', 'q');
    ASSERT_TRUE(qrcrt::keyWaiting());
    speaking::spellText("abc");
    EXPECT_TRUE(trace_.empty());
    const auto start = std::chrono::steady_clock::now();
    speaking::speakPause(2000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_FALSE(speaking::speechBusy());
    EXPECT_EQ(qrcrt::readKeyCode(), 'q');
}

TEST_F(SpeakText, CutPostsItsWakeMessage) {
    platform::clearMessages();
    speaking::cutSpeech();
    platform::Msg msg;
    bool seen = false;
    while (platform::peekMessage(msg)) seen = seen || msg.message == speaking::cutSpeechMessage;
    EXPECT_TRUE(seen);
}
