#include <gtest/gtest.h>

#include <sstream>

#include "tts/normalise.hpp"
#include "tts/uttspreproc.hpp"
#include "tts_helpers.hpp"

using ttstest::w;
namespace pre = uttspreproc;

namespace {

struct Case {
    const char* text;
    const char* expected;
};

// The words of a text (Windows-1252), one blank between them: what is said
// does not hang on how many blanks part the words.
std::string squeezed(const std::string& text) {
    std::istringstream in(text);
    std::string r, word;
    while (in >> word) r += (r.empty() ? "" : " ") + word;
    return r;
}
std::string said(const char* text) { return squeezed(pre::normaliseText(w(text))); }
std::string words(const char* expected) { return squeezed(w(expected)); }

class Normalise : public ::testing::Test {
protected:
    void SetUp() override {
        pre::reset();
        const std::string abr = ttstest::tempFile(
            "t.abr", w("; comment\nSr = senhor\nDr=doutor\n  \nBR = Brasil\npág = página\na.C = antes de Cristo\n"));
        ASSERT_TRUE(pre::loadAbbreviations(abr));
        uttsnorm::loadTables(ttstest::dataFile("portug"));
    }
};

TEST_F(Normalise, NumbersSignsAndSymbols) {
    const Case cases[] = {
        {"1º", "primeiro "},
        {"2ª", "segunda "},
        {"3os.", "terceiros "},
        {"21a. vez", "vigésima primeira  vez"},
        {"3333-4444", "três três três três, quatro quatro quatro quatro "},
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
        {"1520", "mil quinhentos e vinte "},
        {"fim...", "fim... "},
        {"a\tb\r\n", "a bê"},
        {"R$ 5", "cinco reais "},
        {"guarda-chuva", "guarda-chuva"},
    };
    for (const Case& c : cases) EXPECT_EQ(said(c.text), words(c.expected)) << c.text;
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
        {"fim do Sr.", "fim do senhor."},      // end of the line
        {"Dra. Ana", "Dra. Ana"},              // not listed
        {"500 a.C. e", "quinhentos  antes de Cristo e"},
        {"500 a.C.", "quinhentos  antes de Cristo."},
    };
    for (const Case& c : cases) EXPECT_EQ(said(c.text), words(c.expected)) << c.text;
}

// A listed abbreviation once per gender: the article before it chooses
// (the last field may mark the gender); a plural of a listed one; a full
// stop of an abbreviation inside the line neither "ponto" nor an end.
TEST_F(Normalise, AbbreviationsAgreeWithTheirArticle) {
    pre::loadGenders(ttstest::tempFile("a.gen", w("folha\nreferência\ncláusula\ndata\nrolagem\n")));
    ASSERT_TRUE(pre::loadAbbreviations(ttstest::tempFile(
        "g.abr", w("ref = referência | f\nref = referido | m\nfl = folha\nsec = secretaria\nD = dom\n"
                   "máx = máximo\nmín = mínimo\nmar = março\n"))));
    uttsnorm::loadTables(ttstest::dataFile("portug"));
    const Case cases[] = {
        {"do ref. artigo", "do referido artigo"},
        {"a ref. cláusula", "a referida cláusula"},   // an adjective before a noun
        {"Ref.: pedido 12", "referência: pedido doze"},  // the noun before a label's colon
        {"ref. 5", "referência cinco"},
        {"o ref.", "o referido."},                         // the article's gender
        {"D. Maria e D. Pedro", "dona Maria e dom Pedro"},
        {"Data máx.", "Data máxima."},
        {"Valor de rolagem mín.", "Valor de rolagem mínimo."},
        {"de seg. a sex. e no dom. 5", "de segunda-feira a sexta-feira e no domingo cinco"},
        {"o mar. A praia", "o mar. A praia"},           // a word that ends a sentence
        {"as fls. 3 e 4", "as folhas três e quatro"},
        {"na fl. 2 e na ter. que vem", "na folha dois e na terça-feira que vem"},
        {"fim da sec.", "fim da secretaria."},
    };
    for (const Case& c : cases) EXPECT_EQ(said(c.text), words(c.expected)) << c.text;
    EXPECT_EQ(pre::findAbbreviation("ref"), w("referência"));  // the gender field is no part of it
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
        {1100, "mil e cem"},
        {1980, "mil novecentos e oitenta"},
        {2300, "dois mil e trezentos"},
        {1001000, "um milhão e mil "},
        {1250000, "um milhão duzentos e cinqüenta mil "},
        {1000100, "um milhão e cem"},
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

class Readings : public Normalise {};

TEST_F(Readings, DatesTimesAndMoney) {
    const Case cases[] = {
        {"25/12/2026", "vinte e cinco de dezembro de dois mil e vinte e seis "},
        {"1/1/1900", "primeiro de janeiro de mil e novecentos "},
        {"32/1/2000", "trinta e dois  barra um  barra dois mil  "},  // no such day
        {"14h30", "quatorze horas e trinta minutos "},
        {"9h", "nove horas "},
        {"1h15min", "uma hora e quinze minutos "},
        {"21h", "vinte e uma horas "},
        {"9:05", "nove horas e cinco minutos "},
        {"25:00", "vinte e cinco :zero zero "},  // not a time
        {"R$ 1.234,56", "mil duzentos e trinta e quatro reais e cinqüenta e seis centavos "},
        {"R$1,00", "um real "},
        {"R$ 0,50", "cinqüenta centavos "},
        {"R$ 2.000.000", "dois milhões de reais "},
        {"US$ 10", "dez dólares "},
    };
    for (const Case& c : cases) EXPECT_EQ(said(c.text), words(c.expected)) << c.text;
    EXPECT_EQ(pre::normaliseText("5 \x80"), "cinco euros ");  // the euro sign of Windows-1252
}

TEST_F(Readings, RangesUnitsAndSigns) {
    const Case cases[] = {
        {"1643-1715", "mil seiscentos e quarenta e três a mil setecentos e quinze "},
        {"10-20", "dez a vinte "},
        {"20-10", "dois zero, um zero "},            // falling: a code, no range
        {"2345-6789", "dois três quatro cinco, seis sete oito nove "},
        {"100 km/h", "cem quilômetros por hora "},
        {"1 km", "um quilômetro "},
        {"25°C", "vinte e cinco graus Célsius "},
        {"2,5 kg", "dois vírgula cinco quilos "},
        {"nº 5", "número  cinco "},
        {"5km", "cinco quilômetros "},
    };
    for (const Case& c : cases) EXPECT_EQ(said(c.text), words(c.expected)) << c.text;
}

TEST_F(Readings, RomanNumeralsAcronymsAndGluedWords) {
    const Case cases[] = {
        {"século XXI", "século vinte e um"},
        {"Pedro II", "Pedro segundo"},
        {"Rua XV", "Rua quinze"},
        {"João XXIII", "João vinte e três"},
        {"Vitamina C", "Vitamina  sê"},        // a single C is no regnal number
        {"o XV", "o xis vê"},                    // after no name: spelled
        {"INSS", "i êne ésse ésse"},
        {"ONU", "ONU"},
        {"ATENÇÃO", "ATENÇÃO"},
        {"IBGE", "i bê jê é"},
        {"sha224", "sha duzentos e vinte e quatro "},
    };
    for (const Case& c : cases) EXPECT_EQ(said(c.text), words(c.expected)) << c.text;
}

// What documents hold, read as a Brazilian reads it: ordinal signs, clock
// times with h, the lone crase, dotted abbreviations with blanks, roman
// numerals after seção, ranges, money with its scale, codes and telephone
// numbers in groups, counts agreeing with feminine nouns, fractions,
// scores, e-mail, CEP and the typographic signs.
TEST_F(Readings, DocumentText) {
    pre::loadGenders(ttstest::tempFile("t.gen", w("; feminine\npessoa\npágina\ncasa\npizza\nhora\nimagem\ncanção\n")));
    ASSERT_TRUE(pre::loadAbbreviations(ttstest::tempFile(
        "d.abr", w("Prof = professor\nProfa = professora\nSr = senhor\nSra = senhora\np = página\nex = exemplo\n"
                   "p.ex = por exemplo\n"))));
    uttsnorm::loadTables(ttstest::dataFile("portug"));
    const Case cases[] = {
        {"3.º", "terceiro "},
        {"1.ª vez", "primeira  vez"},
        {"Profª Ana", "professora Ana"},
        {"Sr.ª Ana", "senhora Ana"},
        {"Xyzª", "Xyz"},
        {"n.º 7", "número  sete "},
        {"nº 7", "número  sete "},
        {"08:00h", "oito horas "},
        {"8:30 h.", "oito horas e trinta minutos ."},
        {"às 8h", "às oito horas "},
        {"à", "à"},
        {"p. ex. isto", "por exemplo isto"},
        {"use, p. ex., isto", "use, por exemplo, isto"},
        {"seção III", "seção três"},
        {"de 1643-1715.", "de mil seiscentos e quarenta e três a mil setecentos e quinze ."},
        {"10-20 páginas", "dez a vinte  páginas"},
        {"1-2 horas", "uma a duas  horas"},
        {"R$ 2 milhões", "dois milhões de reais "},
        {"US$ 10 mil", "dez mil dólares "},
        {"R$ 1,5 bilhão", "um vírgula cinco bilhão de reais "},
        {"01310-100", "zero um três um zero, um zero zero "},
        {"123.456.789-09", "um dois três, quatro cinco seis, sete oito nove, zero nove "},
        {"12.345.678/0001-95", "um dois, três quatro cinco, seis sete oito barra zero zero zero um, nove cinco "},
        {"(11) 98765-4321", "(onze ) nove oito sete seis cinco, quatro três dois um "},
        {"0800 123 4567", "zero oitocentos, um dois três, quatro cinco seis sete "},
        {"1 pessoa", "uma  pessoa"},
        {"101 pessoas", "cento e uma  pessoas"},
        {"500 páginas", "quinhentas  páginas"},
        {"2200 casas", "duas mil e duzentas  casas"},
        {"2.000.200 casas", "dois milhões e duzentas  casas"},
        {"2 imagens", "duas  imagens"},
        {"2 canções", "duas  canções"},
        {"2 dias", "dois  dias"},
        {"2,5 horas", "dois vírgula cinco  horas"},
        {"1/2 pizza", "meia  pizza"},
        {"1/2 litro", "meio  litro"},
        {"3/4", "três quartos "},
        {"2/3", "dois terços "},
        {"5/12", "cinco doze avos "},
        {"2 x 1", "dois a um "},
        {"3x0", "três a zero "},
        {"1920 x 1080", "mil novecentos e vinte por mil e oitenta "},
        {"um e-mail", "um e-mail"},
        {"CEP", "CEP"},
    };
    for (const Case& c : cases) EXPECT_EQ(said(c.text), words(c.expected)) << c.text;
    // the Windows-1252 dash and ellipsis signs
    EXPECT_EQ(pre::normaliseText("a \x97 b"), w("a , bê"));
    EXPECT_EQ(pre::normaliseText("fim\x85"), "fim... ");
}

TEST(Numbers, OrdinalWords) {
    EXPECT_EQ(pre::ordinalWords(pre::Gender::masculine, 1234), w("milésimo ducentésimo trigésimo quarto"));
    EXPECT_EQ(pre::ordinalWords(pre::Gender::feminine, 21), w("vigésima primeira"));
    EXPECT_EQ(pre::ordinalWords(pre::Gender::masculine, 10), w("décimo"));
    // the hundreds spelt as dictionaries spell them
    EXPECT_EQ(pre::ordinalWords(pre::Gender::masculine, 480), w("quadringentésimo octogésimo"));
    EXPECT_EQ(pre::ordinalWords(pre::Gender::feminine, 700), w("septingentésima"));
    EXPECT_EQ(pre::ordinalWords(pre::Gender::masculine, 800), w("octingentésimo"));
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
