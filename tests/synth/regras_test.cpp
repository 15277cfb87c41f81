// The rule engine: preprocessing, tokens, exceptions, stress and rules.
#include "synth/regras.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string writeFile(const std::string& name, const std::string& content) {
    const fs::path dir = fs::temp_directory_path() / ("regras_test_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(dir);
    const fs::path p = dir / name;
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
}

class Regras : public ::testing::Test {
protected:
    void SetUp() override { regras::resetForTests(); }
    void load(const std::string& rules, const std::string& exceptions = "") {
        ASSERT_TRUE(regras::loadRules(writeFile("r.rgr", rules)));
        ASSERT_TRUE(regras::loadExceptions(writeFile("e.exc", exceptions)));
    }
};

TEST_F(Regras, PreprocessingRewritesWYApostropheAndControls) {
    struct Case { std::string in, out; };
    const std::vector<Case> cases = {
        {"Kiwi", "Kiui"},
        {"w", "w"},                      // a lone w stays
        {"w y", "w y"},
        {"Yara", "iara"},
        {"d'\xE1gua", "da'gua"},         // d' loses its apostrophe, a-acute is a'
        {"o'", "o'"},                    // other apostrophes stay
        {"a\tb", "a \x01 b"},            // a control byte becomes a marker token
        {"\xE7\xE3o", "ssa~o"},          // c-cedilla is ss
        {"\xA6", " \x01 "},              // a byte without reading is a marker too
        {"\x87\x84o", "ssa~o"},          // the same word in the DOS code page
    };
    for (const auto& c : cases) EXPECT_EQ(regras::preprocess(c.in), c.out) << c.in;
}

TEST_F(Regras, TransliterationTableBothHalves) {
    struct Case { int byte; std::string out; };
    const std::vector<Case> cases = {
        // DOS (Portuguese) code page half
        {128, "ss"}, {129, "u\""}, {130, "e'"}, {131, "a^"}, {132, "a~"}, {133, "a`"}, {134, "a'"},
        {135, "ss"}, {136, "e^"}, {141, "i`"}, {142, "a~"}, {143, "a'"}, {144, "e'"}, {145, "ae"},
        {146, "-"}, {147, "o^"}, {148, "o~"}, {152, "y-"}, {153, "o~"}, {154, "u\""}, {155, ""},
        {159, ""}, {160, "a'"}, {161, "i'"}, {162, "o'"}, {163, "u'"}, {164, "nh"}, {165, "nh"},
        {166, ""}, {167, "\xA7"}, {168, "?"}, {171, "\xAA"}, {173, "!"}, {174, "\""}, {175, "\""},
        {176, ""}, {186, ""}, {187, "\xBA"}, {190, ""}, {191, "?"},
        // Windows Latin-1 half
        {192, "a`"}, {193, "a'"}, {194, "a^"}, {195, "a~"}, {196, "a~"}, {197, "a"}, {198, "ae"},
        {199, "ss"}, {201, "e'"}, {202, "e^"}, {205, "i'"}, {208, ""}, {209, "nh"}, {211, "o'"},
        {212, "o^"}, {213, "o~"}, {215, "x"}, {216, "0"}, {218, "u'"}, {220, "u"}, {221, ""},
        {223, ""}, {224, "a`"}, {225, "a'"}, {226, "a^"}, {227, "a~"}, {231, "ss"}, {233, "e'"},
        {234, "e^"}, {237, "i'"}, {240, ""}, {241, "nh"}, {243, "o'"}, {244, "o^"}, {245, "o~"},
        {247, "x"}, {250, "u'"}, {252, "u"}, {253, ""}, {255, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(regras::transliterate(static_cast<unsigned char>(c.byte)), c.out) << c.byte;
    // The Portuguese letters that the DOS and Windows pages both have read alike.
    const std::vector<std::pair<int, int>> samePairs = {
        {225, 160}, {233, 130}, {237, 161}, {243, 162}, {250, 163}, {226, 131}, {234, 136},
        {244, 147}, {224, 133}, {231, 135}, {227, 132}, {245, 148}, {199, 128}, {201, 144}};
    for (auto [ansi, oem] : samePairs)
        EXPECT_EQ(regras::transliterate(static_cast<unsigned char>(ansi)),
                  regras::transliterate(static_cast<unsigned char>(oem))) << ansi;
}

TEST_F(Regras, StressMarks) {
    load("");
    struct Case { std::string word, marked; };
    const std::vector<Case> cases = {
        {"batom", "batOm"}, {"papai", "papAi"}, {"tupi", "tupI"}, {"mel", "mEl"},
        // a mark chosen on the first letters is applied when the scan ends
        {"ela", "Ela"}, {"vida", "vIda"}, {"linha", "lInha"}, {"tudo", "tUdo"}, {"mundo", "mUndo"},
        {"saia", "sAia"}, {"maria", "marIa"}, {"casa", "cAsa"}, {"casas", "cAsas"},
        {"falar", "falAr"}, {"cantam", "cAntam"}, {"felizes", "felIzes"}, {"rainha", "raInha"},
        {"bom", "bom"},                  // one vowel: nothing to choose
        {"caf\xE9", "cafe'"},            // an accent is the mark
        {"m\xE3os", "ma~os"},
        {"ling\xFCi\xE7""a", "linguIssa"},  // u after g does not take the mark
        {"CASA", "cAsa"},
    };
    for (const auto& c : cases) EXPECT_EQ(regras::stressedWord(c.word), c.marked) << c.word;
}

// The voice's own rule and exception files on words whose reading the
// rules once got wrong.
TEST_F(Regras, VoiceFilesReadPortuguese) {
    ASSERT_TRUE(regras::loadRules(QUORIL_SOURCE_DIR "/data/regras.rgr"));
    ASSERT_TRUE(regras::loadExceptions(QUORIL_SOURCE_DIR "/data/portug.exc"));
    struct Case { std::string word, out; };
    const std::vector<Case> cases = {
        {"tamb\xE9m", "[ t/a~/ b/E~y]"},               // nasal after an accented vowel
        {"ci\xEAncia", "[ s/i/E~/ s/i/a^]"},
        {"\xEDntima", "[I~/ tch/i/ m/a^]"},
        {"casas", "[ k/A/ z/a^/s]"},                      // reduced final a
        {"mesmo", "[ m/E^/z/ m/u]"},                     // s voiced before m
        {"fixado", "[ f/i/k s/A/ d/u]"},                 // x as ks
        {"reflex\xE3o", "[ rr/e^/ f/l/e^/k s/A~w]"},
        {"pedra", "[ p/E/ d/r/a^]"},                     // open and closed stressed e, o
        {"papel", "[ p/a/ p/E/w]"},
        {"hotel", "[/o^/ t/E/w]"},
        {"pobre", "[ p/O/ b/r/i]"},
        {"novos", "[ n/O/ v/u/s]"},
        {"homem", "[O^/ m/e~y]"},
        {"vida", "[ v/I/ d/a^]"},                        // stress on the first syllable
        {"cama", "[ k/A~/ m/a^]"},
    };
    for (const auto& c : cases) EXPECT_EQ(regras::transcribe(c.word), c.out) << c.word;
}

TEST_F(Regras, ExceptionsWithStrippedSuffix) {
    load("", "casa=kaza\nzebra=zEbra\n\ncasa=wrong\nfoo\n");
    EXPECT_EQ(regras::exceptionCount(), 3u);  // the repeated key keeps its first replacement
    struct Case { std::string word, result; };
    const std::vector<Case> cases = {
        {"casa", "kAza"}, {"casas", "kAzas"}, {"casam", "kAzam"},
        {"casinha", "casInha"},         // not a stripped form
        {"zebras", "zEbras"},
        {"foo", ""},                     // a key without '=' has an empty replacement
    };
    for (const auto& c : cases) EXPECT_EQ(regras::stressedWord(c.word), c.result) << c.word;
}

TEST_F(Regras, EmptyExceptionFile) {
    load("");
    EXPECT_EQ(regras::exceptionCount(), 0u);
    EXPECT_EQ(regras::stressedWord("casas"), "cAsas");
}

TEST_F(Regras, MissingFilesFail) {
    EXPECT_FALSE(regras::loadRules("/nonexistent/dir/regras.rgr"));
    EXPECT_FALSE(regras::loadExceptions("/nonexistent/dir/portug.exc"));
}

TEST_F(Regras, TokensSpellingAndDefaultPieces) {
    load("");
    struct Case { std::string text, out; };
    const std::vector<Case> cases = {
        {"cds", "[ /_c][ /_d][ /_s]"},
        {"CDs", "[ /_c][ /_d][ /_s]"},
        {"\t", "[ /_\x01]"},
        {"w", "[ /_w]"},
        {"abc123", "[ /_A/ /_B/ /_C][ /_1][ /_2][ /_3]"},
        {"a, b", "[ /_A][ /_,][ /_b]"},
        {"  ", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(regras::transcribe(c.text), c.out) << c.text;
}

TEST_F(Regras, RuleFieldsAndContexts) {
    load(
        "first rule lines carry no parenthesis and are skipped\n"
        "(C)+= s|c before e or i\n"
        "(CH)= x\n"
        "(C)= k\n"
        "%(R)= rr\n"
        "(RR)= rr\n"
        "(R)%=r\n"
        "(R)= r\n"
        "#(S)#= z\n"
        "(S)= s\n"
        "(AN)[=a~\n"
        "(A)=a\n"
        "(E)\\%=i\n"
        "(E)=e^\n"
        "(I)=i\n"
        "(O)=o^\n"
        "(T)=  t\n"
        "(L)%=w\n"
        "(L)= l\n"
        "(N)= n\n"
        "(G)+= j\n"
        "(G)= g\n"
        "](U)=w\n"
        "(U)=u\n"
        "|(X)= x\r\n"
        "_(X)= ks\n"
        "(X)=x\n"
        "(M)*=~\n"
        "(M)= m\n"
        "(P)= p\n"
        "(D)= d\n"
        "(V)= v\n");
    struct Case { std::string text, out; };
    const std::vector<Case> cases = {
        {"casa", "[ k/A/ z/a]"},             // stress reaches the rule's vowel
        {"cena", "[ s/E^/ n/a]"},
        {"chave", "[ x/A/ v/i]"},
        {"rosas", "[ rr/O^/ z/a/ s]"},
        {"carro", "[ k/A/ rr/o^]"},
        {"mar", "[ m/a/r]"},
        {"canto", "[ k/A~/  t/o^]"},
        {"cantes", "[ k/A~/  t/i/ s]"},
        {"gelo", "[ j/E^/ l/o^]"},
        {"gato", "[ g/A/  t/o^]"},
        {"sal", "[ s/A/w]"},
        {"mau", "[ m/A/w]"},
        {"lixo", "[ l/I/ ks/o^]"},            // '_' after a vowel; the mark due on the
                                              // first letters is applied
        {"xale", "[ ks/A/ l/i]"},             // '_' also holds at the start
        {"campo", "[ k/A/~/ p/o^]"},
        {"dica", "[ d/I/ k/a]"},
    };
    for (const auto& c : cases) EXPECT_EQ(regras::transcribe(c.text), c.out) << c.text;
    EXPECT_GT(regras::ruleCount(), 25u);
    regras::freeRules();
    EXPECT_EQ(regras::ruleCount(), 0u);
}

TEST_F(Regras, FieldsAreCutToTheirLengths) {
    load("ABCDEFG(BCDEFGH)XYZUVW=0123456789ABCDEF|rest\n(Q)=\n(Z\n");
    EXPECT_EQ(regras::ruleCount(), 3u);
    // "(Q)=" has an empty output: the letter vanishes.
    EXPECT_EQ(regras::transcribe("aqa"), "[ /_A// /_A]");
}

TEST_F(Regras, LongWordsGoOnAsNextToken) {
    load("");
    const std::string word(300, 'b');
    const std::string out = regras::transcribe(word);
    // 255 letters spelled, then 45 more.
    std::size_t groups = 0;
    for (char c : out) groups += c == ']';
    EXPECT_EQ(groups, 300u);
}

}  // namespace
