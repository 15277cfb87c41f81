#include <gtest/gtest.h>

#include "tts/uttspreproc.hpp"
#include "tts_helpers.hpp"

using ttstest::w;
namespace pre = uttspreproc;

namespace {

struct Case {
    const char* text;
    const char* expected;
};

class Normalise : public ::testing::Test {
protected:
    void SetUp() override {
        pre::reset();
        const std::string abr = ttstest::tempFile("t.abr", w("; comment\nSr = senhor\nDr=doutor\n  \nBR = Brasil\npág = página\n"));
        ASSERT_TRUE(pre::loadAbbreviations(abr));
    }
};

TEST_F(Normalise, NumbersSignsAndSymbols) {
    const Case cases[] = {
        {"1º", "primeiro "},
        {"2ª", "segunda "},
        {"3os.", "terceiros "},
        {"21a. vez", "vigésima primeira  vez"},
        {"3333-4444", " três três três três traço quatro quatro quatro quatro "},
        {"007", "zero zero sete "},
        {"1.000.000", "um milhão  "},
        {"1.000 reais", "mil   reais"},
        {"3,14", "três vírgula quatorze "},
        {"2.5", "dois ponto cinco "},
        {"-5", "menos cinco "},
        {"a - b", "a , bê"},
        {"x.y", "xis ponto ípsilon"},
        {"?", "interrogação"},
        {"7", "séte"},
        {"1520", "mil e quinhentos e vinte "},
        {"fim...", "fim... "},
        {"a\tb\r\n", "abê"},
        {"R$ 5", "érre cifrão  cinco "},
        {"guarda-chuva", "guarda-chuva"},
    };
    for (const Case& c : cases) EXPECT_EQ(pre::normaliseText(w(c.text)), w(c.expected)) << c.text;
}

TEST_F(Normalise, TwentyDigitsAreReadAsTwoNumbers) {
    // The first sixteen digits make one number of which the last fifteen are
    // read; the four left over make a second one.
    const std::string r = pre::normaliseText("12345678901234567890");
    EXPECT_EQ(r, pre::cardinalWords(234567890123456ULL) + " " + pre::cardinalWords(7890) + " ");
}

TEST_F(Normalise, AbbreviationsNeedFullStopAndBlank) {
    const Case cases[] = {
        {"O Sr. Silva", "O senhor Silva"},
        {"o sr. e a pág. dois", "o senhor e a página dois"},
        {"do BR. Sim", "do Brasil Sim"},        // consonants only, listed: not spelled
        {"Sr.Silva", "Sr ponto Silva"},        // no blank after the stop
        {"fim do Sr.", "fim do Sr."},          // last character
        {"Dra. Ana", "Dra. Ana"},              // not listed
    };
    for (const Case& c : cases) EXPECT_EQ(pre::normaliseText(w(c.text)), w(c.expected)) << c.text;
}

TEST(Numbers, CardinalWords) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "zero"},
        {1, "um"},
        {15, "quinze"},
        {100, "cem"},
        {101, "cento e um"},
        {110, "cento e dez"},
        {999, "novecentos e noventa e nove"},
        {1000, "mil "},
        {1001, "mil e um"},
        {2000, "dois mil "},
        {1000000, "um milhão "},
        {2000005, "dois milhões e cinco"},
        {1000000000000ULL, "um trilhão "},
        {50, "cinqüenta"},
    };
    for (const auto& [v, text] : cases) EXPECT_EQ(pre::cardinalWords(v), w(text)) << v;
    EXPECT_EQ(pre::groupWords("000"), "");
    EXPECT_EQ(pre::groupWords("010"), "dez");
    EXPECT_EQ(pre::groupWords("x1"), "");  // not three digits
}

TEST(Numbers, OrdinalWords) {
    EXPECT_EQ(pre::ordinalWords(pre::Gender::masculine, 1234), w("milésimo ducentésimo trigésimo quarto"));
    EXPECT_EQ(pre::ordinalWords(pre::Gender::feminine, 21), w("vigésima primeira"));
    EXPECT_EQ(pre::ordinalWords(pre::Gender::masculine, 10), w("décimo"));
    EXPECT_EQ(pre::ordinalWords(pre::Gender::masculine, 0), "zero");
    EXPECT_EQ(pre::ordinalWords(pre::Gender::masculine, 2000), "dois mil ");
}

TEST(CharNames, TableAndLowerCaseAccents) {
    EXPECT_EQ(pre::charName('C'), w(" sê"));
    EXPECT_EQ(pre::charName('J'), w("jóta"));
    EXPECT_EQ(pre::charName('j'), w("jota"));
    EXPECT_EQ(pre::charName(0xC7), w("Cê cedilha"));
    EXPECT_EQ(pre::charName(0xE7), w("Cê cedilha"));  // ç takes Ç's name
    EXPECT_EQ(pre::charName(0xF7), w("vezes"));
    EXPECT_EQ(pre::charName(0x80), "");
    EXPECT_EQ(pre::charName(0xDE), "");
    EXPECT_EQ(pre::charName(5), "");
}

TEST(Abbreviations, LinesWithoutEqualsAndCapacity) {
    pre::reset();
    std::string text = "sem igual\n";
    for (int i = 0; i < 2100; ++i) text += "A" + std::to_string(i) + "=x\n";
    ASSERT_TRUE(pre::loadAbbreviations(ttstest::tempFile("big.abr", text)));
    EXPECT_EQ(pre::abbreviationCount(), pre::abbreviationCapacity);
    EXPECT_EQ(pre::findAbbreviation(""), "sem igual");  // empty abbreviation
    EXPECT_EQ(pre::findAbbreviation("sem igual"), "");
    EXPECT_EQ(pre::findAbbreviation("a5"), "x");
    EXPECT_EQ(pre::findAbbreviation("A1999"), "");  // past the capacity
    EXPECT_FALSE(pre::loadAbbreviations("/nonexistent/portug.abr"));
    EXPECT_EQ(pre::abbreviationCount(), 0u);
}

}  // namespace
