// Letter-to-sound. At each letter the rules of that letter are tried in file
// order; the first whose match, left context and right context hold is
// applied: its output (phonemes separated by "&") is added and the reading
// moves past its match. A letter without a rule is silent. Context symbols:
// left  # vowel, % word start, ] A O Á Â Ó Ô, _ vowel or word start, | N R S;
// right # vowel, % word end, & L M N R Z, * consonant but L R (not consumed),
// + E I É Í, [ word end or consonant but H (not consumed), \ optional S;
// both  ^ the letter after it is the stressed one (not consumed), so that a
// vowel's quality and the split of two vowels can follow the stress.
#include "tts/uttsportug.hpp"

#include "tts/ttschars.hpp"
#include "tts/uttsexcessoes.hpp"
#include "tts/uttsinic.hpp"
#include "tts/uttstonica.hpp"

namespace uttsportug {
namespace {

using ttschars::byte;

bool isVowel(char ch) {
    switch (byte(ttschars::upper(ch))) {
    case 'A': case 'E': case 'I': case 'O': case 'U':
    case 0xC0: case 0xC1: case 0xC2: case 0xC3: case 0xC9: case 0xCA: case 0xCC:
    case 0xCD: case 0xD3: case 0xD4: case 0xD5: case 0xD9: case 0xDA: case 0xDC:
        return true;
    default:
        return false;
    }
}

bool isConsonant(char ch) {
    const unsigned char c = byte(ttschars::upper(ch));
    if (c >= 'A' && c <= 'Z') return !isVowel(static_cast<char>(c));
    return c == 0xC7 || c == 0xD1;
}

bool isPunctuation(char c) {
    switch (c) {
    case ' ': case '!': case '(': case ')': case ',': case '.': case ':': case ';': case '?':
        return true;
    default:
        return false;
    }
}

bool oneOf(char c, const char* set) {
    for (; *set; ++set)
        if (c == *set) return true;
    return false;
}

char upAZ(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// Word character at 1-based j (j must be within 1..n).
bool matchHolds(const std::string& w, std::size_t p, const std::string& match) {
    for (std::size_t k = 0; k < match.size(); ++k) {
        if (p + k > w.size()) return false;
        if (upAZ(w[p + k - 1]) != match[k]) return false;
    }
    return true;
}

bool leftHolds(const std::string& w, std::size_t p, const std::string& left, std::size_t stress) {
    const long n = static_cast<long>(w.size());
    long j = static_cast<long>(p) - 1;
    auto in = [&](long k) { return k >= 1 && k <= n; };
    for (std::size_t k = left.size(); k-- > 0;) {
        const char s = left[k];
        const char c = in(j) ? upAZ(w[static_cast<std::size_t>(j - 1)]) : '\0';
        switch (s) {
        case '#':
            if (!in(j) || !isVowel(c)) return false;
            --j;
            break;
        case '%':
            if (j != 0) return false;
            break;
        case ']':
            if (!in(j) || !oneOf(c, "AO\xC1\xC2\xD3\xD4")) return false;
            --j;
            break;
        case '_':
            if (j == 0) break;
            if (!in(j) || !isVowel(c)) return false;
            --j;
            break;
        case '|':
            if (!in(j) || !oneOf(c, "NRS")) return false;
            --j;
            break;
        case '^':
            if (static_cast<std::size_t>(j + 1) != stress) return false;
            break;
        default:
            if (!in(j) || c != s) return false;
            --j;
        }
    }
    return true;
}

bool rightHolds(const std::string& w, std::size_t p, const std::string& match, const std::string& right,
                std::size_t stress) {
    const std::size_t n = w.size();
    std::size_t j = p + match.size();
    for (char s : right) {
        const bool in = j >= 1 && j <= n;
        const char c = in ? upAZ(w[j - 1]) : '\0';
        switch (s) {
        case '#':
            if (!in || !isVowel(c)) return false;
            ++j;
            break;
        case '%':
            if (j <= n) return false;
            break;
        case '&':
            if (!in || !oneOf(c, "LMNRZ")) return false;
            ++j;
            break;
        case '*':
            if (!in || !isConsonant(c) || c == 'L' || c == 'R') return false;
            break;
        case '+':
            if (!in || !oneOf(c, "EI\xC9\xCD")) return false;
            ++j;
            break;
        case '[':
            if (in && (!isConsonant(c) || c == 'H')) return false;
            break;
        case '\\':
            if (in && c == 'S') ++j;
            break;
        case '^':
            if (j != stress) return false;
            break;
        default:
            if (!in || c != s) return false;
            ++j;
        }
    }
    return true;
}

// The stress position is that of the word (0 for none), for "^".
const uttsinic::Rule* chooseRule(const std::string& w, std::size_t p, std::size_t stress) {
    const unsigned char c = byte(w[p - 1]);
    if (c < 32) return nullptr;
    for (const uttsinic::Rule& r : uttsinic::rulesFor(c))
        if (matchHolds(w, p, r.match) && leftHolds(w, p, r.left, stress) && rightHolds(w, p, r.match, r.right, stress))
            return &r;
    return nullptr;
}

// The first phoneme of a word, its marks put aside, is a vowel or glide
// ("@" is the reduced a of amigos).
bool beginsWithVowel(const std::string& line) {
    std::size_t k = 0;
    while (k < line.size() && (line[k] == '>' || byte(line[k]) == 0xA8)) ++k;
    return k < line.size() && oneOf(line[k], "aeiouwyEO@");
}

}  // namespace

bool loadWordData(const std::string& rulesFile, const std::string& exceptionsFile) {
    uttsexcessoes::reset();
    if (!uttsinic::loadRules(rulesFile)) return false;
    return uttsexcessoes::loadExceptions(exceptionsFile);
}

bool isUnstressedWord(const std::string& word) {
    if (word.size() < 3) return true;
    return word == "POR" || word == "DAS" || word == "DOS" || word == "COM" || word == "N\xC3O" || word == "SIM";
}

void punctuationPause(char c, TextList& list) {
    switch (c) {
    case ',': case ':': case ';': case '.': case '(': case ')': case '!': case '?':
        list.push_back(std::string("_") + c);
        break;
    default:
        break;
    }
}

void wordToPhonemes(const std::string& word, std::size_t stress, TextList& list) {
    bool marked = stress < 1;  // no mark to give
    std::string current;
    std::size_t p = 1;
    while (p <= word.size()) {
        const uttsinic::Rule* r = chooseRule(word, p, stress);
        if (!r) {
            ++p;
            continue;
        }
        const std::size_t used = r->output.size() < 11 ? r->output.size() : 11;
        for (std::size_t k = 0; k < used; ++k) {
            if (!marked && p >= stress) {
                current += '>';
                marked = true;
            }
            if (r->output[k] == '&') {
                list.push_back(current);
                current.clear();
            } else {
                current += r->output[k];
            }
        }
        if (!r->output.empty()) {
            list.push_back(current);
            current.clear();
        }
        p += r->match.size();
    }
    list.push_back(current);
}

void linkWords(TextList& list) {
    for (std::size_t i = 3; i + 1 < list.size();) {
        if (!list[i].empty() && list[i][0] == ';') {
            if (beginsWithVowel(list[i + 1])) {
                std::string& last = list[i - 2];
                if (last == "r2") last = "r";
                else if (last == "s2") last = "z";
            }
            i += 2;
        } else {
            ++i;
        }
    }
}

TextList textToPhonemes(const TextList& patterned) {
    TextList out;
    for (const std::string& entry : patterned) {
        out.push_back(";" + entry);
        std::string word = ttschars::upper(entry.size() > 4 ? entry.substr(4) : std::string());
        if (word.empty()) {
            out.push_back("__");
            out.push_back("");
        } else if (isPunctuation(word[0])) {
            punctuationPause(word[0], out);
        } else {
            uttsexcessoes::applyExceptions(word);
            const std::size_t stress = isUnstressedWord(word) ? 0 : uttstonica::findStress(word);
            wordToPhonemes(word, stress, out);
        }
    }
    out.push_back("__");
    linkWords(out);
    return out;
}

}  // namespace uttsportug
