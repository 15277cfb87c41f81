// The voice's own data files, loaded and run the way the driver does.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tts/uttspreproc.hpp"
#include "tts/uttsinic.hpp"
#include "tts/uttsportug.hpp"
#include "tts/uttsprosodia.hpp"
#include "tts_helpers.hpp"

using ttstest::w;
using List = std::vector<std::string>;

namespace {

class VoiceData : public ::testing::Test {
protected:
    std::vector<std::string> messages;
    void SetUp() override {
        uttsprosodia::reset();
        uttsprosodia::setMessageHandler([this](const std::string& m) { messages.push_back(m); });
        ASSERT_TRUE(uttsportug::loadWordData(ttstest::dataFile("portug.nrl"), ttstest::dataFile("portug.exc")));
        ASSERT_TRUE(uttspreproc::loadAbbreviations(ttstest::dataFile("portug.abr")));
        ASSERT_TRUE(uttsprosodia::loadProsody(ttstest::dataFile("portug.pro")));
        ASSERT_TRUE(uttsprosodia::loadDiphoneList(ttstest::dataFile("portug.dfn")));
        EXPECT_TRUE(messages.empty());
    }
    void TearDown() override { uttsprosodia::setMessageHandler(nullptr); }

    static std::set<std::string> phonemeSet() {
        std::vector<std::string> lines;
        EXPECT_TRUE(ttschars::readLines(ttstest::dataFile("phonemes"), lines));
        std::set<std::string> set;
        for (const auto& l : lines) {
            if (l.empty() || l[0] == ';') continue;
            set.insert(l.substr(0, l.find(' ')));
        }
        return set;
    }
    static List phonemes(const std::string& text) {
        return uttsportug::textToPhonemes(uttsprosodia::assignPatterns(
            uttsprosodia::splitTokens(uttspreproc::normaliseText(text)), true));
    }
    static std::string word(const std::string& utf8) {
        std::string out;
        for (std::string l : phonemes(w(utf8))) {
            if (l.empty() || l[0] == ';' || l[0] == '_') continue;
            out += (out.empty() ? "" : " ") + l;
        }
        return out;
    }
};

TEST_F(VoiceData, EveryRuleOutputIsAPhonemeWithADuration) {
    const auto set = phonemeSet();
    EXPECT_EQ(set.size(), 39u);
    for (int c = 32; c < 256; ++c) {
        for (const auto& r : uttsinic::rulesFor(static_cast<unsigned char>(c))) {
            std::string out = r.output + "&";
            for (std::size_t at; (at = out.find('&')) != std::string::npos; out.erase(0, at + 1)) {
                const std::string p = out.substr(0, at);
                if (p.empty()) continue;
                EXPECT_TRUE(set.count(p)) << "rule " << r.left << "(" << r.match << ")" << r.right << " writes " << p;
            }
        }
    }
    for (const auto& p : set) {
        if (p == "_") continue;
        EXPECT_NE(uttsprosodia::phonemeDuration(p), 100) << p << " has no duration of its own";
    }
    EXPECT_EQ(uttsprosodia::diphoneCount(), set.size() * set.size());
}

TEST_F(VoiceData, WordsReadAsBrazilianPortuguese) {
    const std::pair<const char*, const char*> cases[] = {
        {"casa", "k >a z @"},
        {"cidade", "s i d >a dZ i"},
        {"tia", "tS >i @"},
        {"carro", "k >a R u"},
        {"rato", "R >a t u"},
        {"mar", "m >a r2"},
        {"chuva", "S >u v @"},
        {"filho", "f >i L u"},
        {"ninho", "n >i J u"},
        {"pão", "p >an w"},
        {"mãe", "m >an j"},
        {"bem", "b >en j"},
        {"campo", "k >an p u"},
        {"guerra", "g >E R @"},
        {"quero", "k >E r u"},
        {"água", ">a g w @"},
        {"táxi", "t >a k s i"},
        {"Brasil", "b r a z >i w"},
        {"exame", "e z >an m i"},
        {"meio", "m >e j u"},
        {"praia", "p r >a j @"},
        {"sair", "s a >i r2"},
        {"juiz", "Z u >i s2"},
        {"honra", ">on R @"},
        {"genro", "Z >en R u"},
        {"importância", "in p o r t >an s j @"},
        {"impressora", "in p r e s >o r @"},
        {"símbolo", "s >in b o l u"},
        {"compra", "k >on p r @"},
        {"família", "f @ m >i L @"},
        {"sequência", "s e k w >en s j @"},
        {"sexo", "s >E k s u"},
        {"mexer", "m e S >e r2"},
        {"ômega", ">o m e g @"},
        {"letra", "l >e t r @"},
        {"próprio", "p r >O p r j u"},
    };
    for (const auto& [text, expected] : cases) {
        std::string got = word(text);
        EXPECT_EQ(got, expected) << text;
    }
}

// English words of Brazilian documents, from the exception file's loan words:
// a plural finds its singular, a hyphenated word its parts, and HOMEM is not
// HOME with an M.
TEST_F(VoiceData, LoanWordsReadAsBraziliansSayThem) {
    const std::pair<const char*, const char*> cases[] = {
        {"design", "dZ i z >a j n i"},
        {"marketing", "m >a r k e tS in"},
        {"feedback", "f i dZ i b >E k i"},
        {"home office", "R >o w m i >O f i s i"},
        {"streaming", "i s t r >i m in"},
        {"podcast", "p >O dZ i k a s tS i"},
        {"games", "g >e j m i s2"},
        {"e-book", "i b >u k i"},
        {"shopping", "S >O p in"},
        {"homem", ">o m en j"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(word(text), expected) << text;
}

// Acronyms said as words that end in a stop: Brazilians add an i (úspi).
TEST_F(VoiceData, AcronymsEndingInAStopTakeAnI) {
    const std::pair<const char*, const char*> cases[] = {
        {"USP", ">u s p i"}, {"FIESP", "f i >E s p i"}, {"PUC", "p >u k i"}, {"PIB", "p >i b i"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(word(text), expected) << text;
}

TEST_F(VoiceData, SentenceGivesPlausibleEngineLines) {
    const List lines = uttsprosodia::buildPhoLines(phonemes(w("O Dr. Silva chegou às 14h30 do dia 1º de março.")), 1.0, 1.0);
    std::string comments;
    int phonemeLines = 0, targets = 0;
    for (const auto& l : lines) {
        if (l.empty()) continue;
        if (l[0] == ';') {
            comments += l + " ";
            continue;
        }
        ++phonemeLines;
        // name, duration and at most one pitch target
        const std::size_t blanks = std::count(l.begin(), l.end(), ' ');
        EXPECT_TRUE(blanks == 1 || blanks == 3) << l;
        if (blanks == 3) ++targets;
        const int ms = std::stoi(l.substr(l.find(' ') + 1));
        EXPECT_GT(ms, 20) << l;
        EXPECT_LT(ms, 500) << l;
    }
    EXPECT_NE(comments.find(";doutor ;Silva ;chegou"), std::string::npos) << comments;
    EXPECT_NE(comments.find(w(";primeiro ;de ;março ;.")), std::string::npos) << comments;
    EXPECT_GT(phonemeLines, 40);
    EXPECT_GT(targets, 12);
    EXPECT_EQ(lines.back(), "_ 150");
}

TEST_F(VoiceData, QuestionRisesAndStatementFalls) {
    auto lastTarget = [&](const std::string& text) {
        const List lines = uttsprosodia::buildPhoLines(phonemes(w(text)), 1.0, 1.0);
        int hz = 0;
        for (const auto& l : lines) {
            if (l.empty() || l[0] == ';' || l[0] == '_') continue;
            if (std::count(l.begin(), l.end(), ' ') == 3) hz = std::stoi(l.substr(l.rfind(' ') + 1));
        }
        return hz;
    };
    EXPECT_GT(lastTarget("Ele saiu de casa?"), lastTarget("Ele saiu de casa."));
}

}  // namespace
