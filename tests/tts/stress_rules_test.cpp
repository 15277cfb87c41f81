#include <gtest/gtest.h>

#include <tuple>

#include "tts/uttsexcessoes.hpp"
#include "tts/uttsinic.hpp"
#include "tts/uttsportug.hpp"
#include "tts/uttstonica.hpp"
#include "tts_helpers.hpp"

using ttstest::w;
using List = std::vector<std::string>;

namespace {

TEST(Stress, Positions) {
    const std::pair<const char*, std::size_t> cases[] = {
        {"casa", 2}, {"casas", 2}, {"amor", 3}, {"tupi", 4}, {"papai", 4}, {"homem", 2},
        {"jardim", 5}, {"rua", 2}, {"queijo", 3}, {"pague", 2}, {"água", 1}, {"café", 4},
        {"CASA", 2}, {"ÁGUA", 1}, {"brr", 0}, {"", 0}, {"pneu", 3}, {"sagui", 5},
        // the vowel before an i or u between two vowels; a hiatus before nh, nd
        {"meio", 2}, {"feia", 2}, {"praia", 3}, {"apoio", 3}, {"sair", 3}, {"incluir", 6},
        {"raiz", 3}, {"juiz", 3}, {"rainha", 3}, {"ainda", 2}, {"hierarquia", 9}, {"sabia", 4},
        {"homens", 2}, {"imagens", 3}, {"tio", 2},
    };
    for (const auto& [word, pos] : cases) EXPECT_EQ(uttstonica::findStress(w(word)), pos) << word;
}

TEST(Stress, UnstressedWords) {
    for (const char* word : {"NÃO", "SIM", "POR", "DAS", "DOS", "COM", "A", "DE", ""})
        EXPECT_TRUE(uttsportug::isUnstressedWord(w(word))) << word;
    for (const char* word : {"CASA", "NAO", "SIMS", "PORTA"}) EXPECT_FALSE(uttsportug::isUnstressedWord(w(word))) << word;
}

class Rules : public ::testing::Test {
protected:
    void SetUp() override {
        uttsexcessoes::reset();
        uttsinic::freeRules();
    }
    static List convert(const std::string& word, std::size_t stress) {
        List l;
        uttsportug::wordToPhonemes(word, stress, l);
        return l;
    }
};

TEST_F(Rules, OutputsSplitAtAmpersandAndSilentRules) {
    uttsinic::loadRulesText("(AO)=a&w\n(H)=\n(C)=k\n(X)=k&s|a comment\n");
    EXPECT_EQ(convert("CAO", 0), (List{"k", "a", "w", ""}));
    EXPECT_EQ(convert("HX", 0), (List{"k", "s", ""}));  // H silent: no line
    EXPECT_EQ(convert("Q", 0), (List{""}));             // no rule: silent
}

TEST_F(Rules, OnlyElevenOutputCharactersAreUsed) {
    uttsinic::loadRulesText("(A)=a&b&c&d&e&f&g&h&i&j\n");
    EXPECT_EQ(convert("A", 0), (List{"a", "b", "c", "d", "e", "f", ""}));
    EXPECT_EQ(uttsinic::rulesFor('A')[0].output.size(), 19u);
}

TEST_F(Rules, StressMarkGoesOnFirstPhonemeAtOrAfterPosition) {
    uttsinic::loadRulesText("(P)=p\n(AT)=a&t\n(O)=o\n");
    // A two-letter rule covers positions 2 and 3: the mark waits for the
    // rule applied at 4.
    EXPECT_EQ(convert("PATO", 3), (List{"p", "a", "t", ">o", ""}));
    EXPECT_EQ(convert("PATO", 2), (List{"p", ">a", "t", "o", ""}));
    EXPECT_EQ(convert("PATO", 0), (List{"p", "a", "t", "o", ""}));
}

TEST_F(Rules, ContextsAndFileOrder) {
    uttsinic::loadRulesText(
        "; comment\n"
        "%(R)=R\n|(R)=R\n(R)%=r2\n(R)=r\n"
        "#(S)#=z\n(S)%=s2\n(S)=s\n"
        "(C)+=s\n(C)=k\n"
        "(E)\\%=i\n(E)=e\n"
        "(A)=a\n(O)=o\n(N)=n\n(I)=i\n");
    const std::pair<const char*, List> cases[] = {
        {"ROSA", {"R", "o", "z", "a", ""}},
        {"CARO", {"k", "a", "r", "o", ""}},
        {"MAR", {"a", "r2", ""}},
        {"HONRA", {"o", "n", "R", "a", ""}},
        {"CINE", {"s", "i", "n", "i", ""}},
        {"CASES", {"k", "a", "z", "i", "s2", ""}},
    };
    for (const auto& [word, expected] : cases) EXPECT_EQ(convert(word, 0), expected) << word;
}

TEST_F(Rules, StressContext) {
    // "^": the letter after it is the stressed one.
    uttsinic::loadRulesText("^(E)LA\\%=E\n(E)=e\n(A)^I=a\n(AI)=a&j\n(I)=i\n^I(O)%=w\n(O)=o\n(P)=p\n(L)=l\n(S)=s\n(R)=r\n(A)=a\n");
    const std::tuple<const char*, std::size_t, List> cases[] = {
        {"PELA", 2, {"p", ">E", "l", "a", ""}},
        {"PELA", 4, {"p", "e", "l", ">a", ""}},
        {"PELA", 0, {"p", "e", "l", "a", ""}},
        {"SAIR", 3, {"s", "a", ">i", "r", ""}},
        {"SAIR", 2, {"s", ">a", "j", "r", ""}},
        {"RIO", 2, {"r", ">i", "w", ""}},
        {"RIO", 0, {"r", "i", "o", ""}},
    };
    for (const auto& [word, stress, expected] : cases) EXPECT_EQ(convert(word, stress), expected) << word << stress;
}

TEST_F(Rules, EmptyMatchIsNeverChosen) {
    // A rule with nothing between the parentheses, or without them, would
    // never move the reading on. Without ")" the rest of the line is the
    // match.
    uttsinic::loadRulesText("()=x\nA=y\n(A=z\n(B)=b\n");
    EXPECT_EQ(uttsinic::ruleCount(), 2u);
    EXPECT_EQ(convert("AB", 0), (List{"b", ""}));
    EXPECT_EQ(convert("A=Z", 0), (List{""}));  // matched, nothing written
}

TEST_F(Rules, ExceptionsWithFinalSAndM) {
    uttsexcessoes::loadExceptionsText("taxi=tacsi\nqu=ku\n\nsem igual\n");
    std::string word = "TAXI";
    uttsexcessoes::applyExceptions(word);
    EXPECT_EQ(word, "TACSI");
    word = "TAXISMS";
    uttsexcessoes::applyExceptions(word);
    EXPECT_EQ(word, "TACSISMS");
    word = "SMS";  // stripped to nothing: unchanged
    uttsexcessoes::applyExceptions(word);
    EXPECT_EQ(word, "SMS");
    word = "SEM IGUAL";  // a line without "=" never matches a word
    uttsexcessoes::applyExceptions(word);
    EXPECT_EQ(word, "SEM IGUAL");
    EXPECT_EQ(uttsexcessoes::exceptionCount(), 3u);
}

TEST_F(Rules, TextToPhonemesHeadersPausesAndLinking) {
    uttsinic::loadRulesText("(O)S%=u\n(O)=o\n(S)%=s2\n(S)=s\n(A)=a\n(M)=m\n(I)=i\n(G)=g\n(R)%=r2\n");
    const List out = uttsportug::textToPhonemes({"555|", "544|os", "565|amigos", "555|,", "555|mar", "555|os", "555|"});
    const List expected = {";555|",  "__",  "",  ";544|os", "u", "z", "",  ";565|amigos", "a", "m", ">i", "g", "u",
                           "s2",    "",    ";555|,", "_,",    ";555|mar", "m", ">a", "r", "", ";555|os", "u", "s2", "",
                           ";555|", "__",  "",  "__"};
    EXPECT_EQ(out, expected);
}

TEST_F(Rules, LinkingBeforeAReducedA) {
    uttsinic::loadRulesText("(O)S%=u\n(S)%=s2\n%(A)M=@\n(A)=a\n(M)=m\n(I)=i\n(G)=g\n(O)=o\n(S)=s\n");
    const List out = uttsportug::textToPhonemes({"544|os", "565|amigos"});
    ASSERT_GT(out.size(), 3u);
    EXPECT_EQ(out[2], "z");
}

TEST_F(Rules, LinkingIgnoresTheStressMark) {
    uttsinic::loadRulesText("(O)S%=u\n(O)=o\n(S)%=s2\n(U)=u\n(T)=t\n(R)=r\n");
    const List out = uttsportug::textToPhonemes({"555|os", "555|outros"});
    // ";555|os", "u", "s2" -> "z", "", ";555|outros", ">o", ...
    EXPECT_EQ(out[2], "z");
    EXPECT_EQ(out[5], ">o");
}

TEST(WordData, MissingFilesFail) {
    EXPECT_FALSE(uttsportug::loadWordData("/nonexistent/portug.nrl", ttstest::dataFile("portug.exc")));
    EXPECT_FALSE(uttsportug::loadWordData(ttstest::dataFile("portug.nrl"), "/nonexistent/portug.exc"));
    EXPECT_TRUE(uttsportug::loadWordData(ttstest::dataFile("portug.nrl"), ttstest::dataFile("portug.exc")));
}

}  // namespace
