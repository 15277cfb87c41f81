#include <gtest/gtest.h>

#include "tts/uttsprosodia.hpp"
#include "tts_helpers.hpp"

using ttstest::w;
using List = std::vector<std::string>;
namespace pro = uttsprosodia;

namespace {

class Prosody : public ::testing::Test {
protected:
    std::vector<std::string> messages;
    void SetUp() override {
        pro::reset();
        pro::setMessageHandler([this](const std::string& m) { messages.push_back(m); });
    }
    void TearDown() override { pro::setMessageHandler(nullptr); }
    bool load(const std::string& utf8) { return pro::loadProsody(ttstest::tempFile("t.pro", w(utf8))); }
};

const char* const kSections =
    "[PROSÓDIA]\nHERTZ=230\nTABHERTZ=0,50,60,70,80,90,100,110,120,130\n|??|=?31\nxx|XX|=-7x\n"
    "[CHAVES]\no = ar\nde=pr\n"
    "[DURAÇÃO]\n* vowels\na=80\n_,=200\nxyz = 55\n";

TEST_F(Prosody, SectionsInAnyOrder) {
    ASSERT_TRUE(load(kSections));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(pro::hertz(), 230);
    EXPECT_EQ(pro::tabHertz(7), 110);
    EXPECT_EQ(pro::tabHertz(0), 0);
    EXPECT_EQ(pro::phonemeDuration("a"), 80);
    EXPECT_EQ(pro::phonemeDuration("_,"), 200);
    EXPECT_EQ(pro::phonemeDuration("xy"), 55);  // names are cut to two characters
    EXPECT_EQ(pro::phonemeDuration("b"), 100);
    EXPECT_EQ(pro::wordCategory("O"), "AR");
    EXPECT_EQ(pro::wordCategory("de"), "PR");
    EXPECT_EQ(pro::wordCategory("casa"), "");
    ASSERT_EQ(pro::patternRules().size(), 2u);
    EXPECT_EQ(pro::patternRules()[1].previous, "XX");
    EXPECT_EQ(pro::patternRules()[1].pattern, "-7X");
}

TEST_F(Prosody, MessagesAndFailures) {
    const std::pair<const char*, const char*> cases[] = {
        {"[CHAVES]\n[PROSÓDIA]\n", "Duração dos difones errada ou ausente"},
        {"[DURAÇÃO]\na\n[CHAVES]\n[PROSÓDIA]\n", "Configuração da prosódia: fonema errado: a"},
        {"[DURAÇÃO]\n[PROSÓDIA]\n", "Prosódia: palavras chaves ausentes"},
        {"[DURAÇÃO]\n[CHAVES]\nsem igual\n[PROSÓDIA]\n", "Configuração da prosódia: chave errada: sem igual"},
        {"[DURAÇÃO]\n[CHAVES]\n", "Prosódia: especificações ausentes"},
        {"[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\nnada\n", "Configuração da prosódia: chave errada: nada"},
    };
    for (const auto& [file, message] : cases) {
        messages.clear();
        EXPECT_FALSE(load(file)) << file;
        EXPECT_EQ(messages, (std::vector<std::string>{w(message)})) << file;
    }
    messages.clear();
    EXPECT_FALSE(pro::loadProsody("/nonexistent/portug.pro"));
    EXPECT_EQ(messages, (std::vector<std::string>{w("Configuração da prosódia não foi achada")}));
}

TEST_F(Prosody, BadDurationShowsMessageAndTakes100) {
    ASSERT_TRUE(load("[DURAÇÃO]\na=8x\ne=70\n[CHAVES]\n[PROSÓDIA]\nHERTZ=abc\nTABHERTZ=1,2\n"));
    EXPECT_EQ(messages, (std::vector<std::string>{w("Configuração da prosódia: fonema errado: a=8x")}));
    EXPECT_EQ(pro::phonemeDuration("a"), 100);
    EXPECT_EQ(pro::phonemeDuration("e"), 70);
    EXPECT_EQ(pro::hertz(), 230);  // unreadable: the default stays
    EXPECT_EQ(pro::tabHertz(1), 2);
    EXPECT_EQ(pro::tabHertz(2), 0);  // missing values set no pitch
}

TEST_F(Prosody, TablesStopAtCapacity) {
    std::string file = "[DURAÇÃO]\n";
    for (int i = 0; i < 150; ++i) file += "d" + std::to_string(i) + "=1\n";
    file += "[CHAVES]\n";
    for (int i = 0; i < 1100; ++i) file += "k" + std::to_string(i) + "=AA\n";
    file += "[PROSÓDIA]\n";
    for (int i = 0; i < 350; ++i) file += "|X" + std::to_string(i) + "|=123\n";
    ASSERT_TRUE(load(file));
    EXPECT_EQ(pro::durationCount(), pro::durationCapacity);
    EXPECT_EQ(pro::keywordCount(), pro::keywordCapacity);
    EXPECT_EQ(pro::patternRules().size(), pro::patternCapacity);
}

TEST_F(Prosody, Tokens) {
    ASSERT_TRUE(load(kSections));
    EXPECT_EQ(pro::splitTokens("Ele saiu. Ela ficou!"),
              (List{"[--]", "[XX]Ele", "[XX]saiu", "[..].", "[--]", "[XX]Ela", "[XX]ficou", "[!!]!", "[--]"}));
    EXPECT_EQ(pro::splitTokens("..."), (List{"[--]", "[.-].", "[--]"}));
    EXPECT_EQ(pro::splitTokens("o dia, de"), (List{"[--]", "[AR]o", "[XX]dia", "[,,],", "[PR]de"}));
    EXPECT_EQ(pro::splitTokens("   "), (List{"[--]"}));
}

TEST_F(Prosody, Patterns) {
    ASSERT_TRUE(load("[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\n|AA|=554\n|BB|=?31\n|XX|?" "?=?49\n"));
    EXPECT_EQ(pro::assignPatterns({"[AA]um", "[BB]dois"}, true), (List{"554|um", "431|dois"}));
    EXPECT_EQ(pro::assignPatterns({"[--]", "[XX]sim", "[??]?", "[--]"}, true),
              (List{"555|", "549|sim", "555|?", "555|"}));
    EXPECT_EQ(pro::assignPatterns({"[AA]um", "", "[BB]dois"}, false), (List{"555|um", "555|dois"}));
    pro::reset();
    EXPECT_EQ(pro::assignPatterns({"[AA]um"}, true), (List{"555|um"}));
}

class Timing : public Prosody {
protected:
    void SetUp() override {
        Prosody::SetUp();
        ASSERT_TRUE(load("[DURAÇÃO]\na=80\n__=150\n[CHAVES]\n[PROSÓDIA]\nHERTZ=230\n"
                         "TABHERTZ=0,50,60,70,80,100,100,110,120,130\n"));
        ASSERT_TRUE(pro::loadDiphoneList(ttstest::tempFile("all.dfn", "a a\na _\n_ a\n_ _\n")));
    }
};

TEST_F(Timing, LongWordsStressAndPitch) {
    // A twelve-letter word: unstressed phonemes at 90%, stressed at 145%.
    const List lines = pro::buildPhoLines({";575|abcdefghijkl", "a", ">a", "a", ""}, 1.0, 1.0);
    EXPECT_EQ(lines, (List{";abcdefghijkl", "a 72 50 230", "a 116 80 253", "a 116 50 230", ""}));
    const List fourteen = pro::buildPhoLines({";555|abcdefghijklmn", "a", ""}, 1.0, 1.0);
    EXPECT_EQ(fourteen[1], "a 64 50 230");
}

TEST_F(Timing, FactorsPausesAndMarks) {
    const List lines = pro::buildPhoLines({";555|ab", ">a", "\xA8" "a", "a", "_ 350", "__", "_", "_,", ""}, 0.5, 2.0);
    EXPECT_EQ(lines, (List{";ab", "a 58 80 460", "a 40", "a 40", "_ 175", "_ 75", "_ 50", "_ 50 50 460", ""}));
}

TEST_F(Timing, SinglePhonemeGetsFirstTargetOnly) {
    EXPECT_EQ(pro::buildPhoLines({";555|a", "a", ""}, 1.0, 1.0), (List{";a", "a 80 50 230", ""}));
    // The first phoneme stressed: only the second digit.
    EXPECT_EQ(pro::buildPhoLines({";575|a", ">a", ""}, 1.0, 1.0), (List{";a", "a 116 80 253", ""}));
}

TEST_F(Timing, NonDigitOrZeroPatternGivesNoTarget) {
    EXPECT_EQ(pro::buildPhoLines({";-x0|ab", "a", ">a", "a", ""}, 1.0, 1.0),
              (List{";ab", "a 80", "a 116", "a 116", ""}));
}

TEST_F(Timing, MarksAloneGiveNoLine) {
    EXPECT_EQ(pro::buildPhoLines({";555|ab", ">", "a", ""}, 1.0, 1.0), (List{";ab", "a 116 80 230", ""}));
}

TEST_F(Timing, DiphoneGapsAndList) {
    const std::string dfn = ttstest::tempFile("t.dfn", "; comment\n! x\n\na e 1234\nr2-_\n_ a\na r2\n_ m\nm a\n");
    ASSERT_TRUE(pro::loadDiphoneList(dfn));
    EXPECT_TRUE(pro::hasDiphone("A-E"));
    EXPECT_TRUE(pro::hasDiphone("a-e"));
    EXPECT_FALSE(pro::hasDiphone("e-a"));
    EXPECT_EQ(pro::diphoneCount(), 6u);
    const List lines = pro::buildPhoLines({";555|ama", "a", "r2", "m", "a", "e", "i", ""}, 1.0, 1.0);
    // r2-m missing, r2-_ present: a pause; m-a ok; a-e ok; e-i missing: pause.
    EXPECT_EQ(lines, (List{";ama", "a 80 50 230", "r2 100", "_ 50", "m 100", "a 80", "e 100", "_ 50", "i 100", ""}));
    ASSERT_TRUE(pro::loadDiphoneList(ttstest::tempFile("y.dfn", "e y\n")));
    EXPECT_EQ(pro::buildPhoLines({";555|e", "e", "e", ""}, 1.0, 1.0), (List{";e", "_ 50", "e 100 50 230", "y 50", "e 100", ""}));
    EXPECT_FALSE(pro::loadDiphoneList("/nonexistent/portug.dfn"));
}

}  // namespace
