// The rule engine. Four steps per word:
//
// 1. Preprocessing turns the text into plain ASCII: accented letters of the
//    Windows (and of the old DOS) code pages become the letter followed by
//    its accent mark, c-cedilla becomes "ss", a w or y inside a word becomes
//    u or i, the apostrophe of d' disappears, and bytes with no reading
//    become a byte-1 marker that is spelled later.
// 2. The scanner cuts tokens: a word is a letter followed by letters and
//    accent marks; anything else is a token of one character.
// 3. The exception table replaces whole words (a plural s or a final m is
//    stripped, the rest looked up and the letter put back).
// 4. Stress: unless the word carries an acute, grave, circumflex or tilde,
//    a backwards scan finds the stressed vowel the way Portuguese spelling
//    implies it (oxytone after i, u, l, n, r, x, z and final om; paroxytone
//    after a, e, o, am, em, as, es, os) and upper-cases it, also when the
//    mark falls on the word's first letters.
// 5. The rules rewrite the word: at each position the first rule of the
//    letter's list whose match, left context and right context all fit
//    gives the piece; a letter without a rule gives " /_X", the recorded
//    letter. Pieces are joined by '/', and the stressed letter's piece gets
//    its first vowel upper-cased.
#include "synth/regras.hpp"

#include "platform/system/files.hpp"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace regras {
namespace {

constexpr std::size_t maxExceptions = 15000;
constexpr std::size_t maxWord = 255;
constexpr std::size_t maxExceptionLine = 255;

struct PhoneticRule {
    std::string left;    // at most 5
    std::string match;   // at most 5, upper case
    std::string right;   // at most 5
    std::string output;  // at most 11
};

struct Exception {
    std::string key;
    std::string replacement;
};

struct State {
    std::array<std::vector<PhoneticRule>, 64> lists;  // codes 32..95
    std::vector<Exception> exceptions;                // sorted by key
    // The word being transcribed, 1-based: w[1..n]; w[0] unused.
    std::string w = std::string(1, '\0');
    int vowels = 0;
    bool explicitAccent = false;
};

State& st() {
    static State s;
    return s;
}

bool isVowel(unsigned char c) {
    switch (c) {
        case 'A': case 'E': case 'I': case 'O': case 'U':
        case 'a': case 'e': case 'i': case 'o': case 'u':
            return true;
        default:
            return false;
    }
}
bool isLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isConsonant(unsigned char c) { return isLetter(c) && !isVowel(c); }
bool isAccentMark(unsigned char c) {
    return c == '"' || c == '\'' || c == '^' || c == '`' || c == '~';
}
bool isWordChar(unsigned char c) { return isLetter(c) || isAccentMark(c); }
bool isPauseChar(unsigned char c) {
    return c == ' ' || c == '!' || c == ',' || c == '.' || c == ':' || c == ';' || c == '?';
}
bool isFrontVowel(unsigned char c) { return c == 'E' || c == 'I' || c == 'e' || c == 'i'; }
bool isBackVowel(unsigned char c) { return c == 'A' || c == 'O' || c == 'a' || c == 'o'; }
unsigned char upper(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }
unsigned char lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

// Readings of the bytes 128..255: the DOS accented letters (128..165) and
// the Windows Latin-1 letters (192..255). "\xE7" is c-cedilla, read "ss".
const char* const transliterationTable[128] = {
    // 128..143
    "\xE7", "u\"", "e'", "a^", "a~", "a`", "a'", "\xE7", "e^", "e\"", "e`", "i\"", "i^", "i`", "a~", "a'",
    // 144..159
    "e'", "ae", "-", "o^", "o~", "o`", "u^", "u`", "y-", "o~", "u\"", "", "", "", "", "",
    // 160..175
    "a'", "i'", "o'", "u'", "nh", "nh", "", "\xA7", "?", "", "", "\xAA", "", "!", "\"", "\"",
    // 176..191
    "", "", "", "", "", "", "", "", "", "", "", "\xBA", "", "", "", "?",
    // 192..207
    "a`", "a'", "a^", "a~", "a~", "a", "ae", "\xE7", "e`", "e'", "e^", "e\"", "i`", "i'", "i^", "i\"",
    // 208..223
    "", "nh", "o`", "o'", "o^", "o~", "o`", "x", "0", "u`", "u'", "u^", "u", "", "", "",
    // 224..239
    "a`", "a'", "a^", "a~", "a~", "a", "ae", "\xE7", "e`", "e'", "e^", "e\"", "i`", "i'", "i^", "i\"",
    // 240..255
    "", "nh", "o`", "o'", "o^", "o~", "o`", "x", "0", "u`", "u'", "u^", "u", "", "", "",
};

// ---- the scanner ----

// Reads the next token of text from pos into the word buffer.
bool nextToken(const std::string& text, std::size_t& pos) {
    State& s = st();
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (pos >= text.size()) return false;
    s.w.assign(1, '\0');
    s.vowels = 0;
    s.explicitAccent = false;
    unsigned char c = lower(static_cast<unsigned char>(text[pos]));
    if (!isLetter(c)) {
        s.w.push_back(static_cast<char>(c));
        ++pos;
        return true;
    }
    // A word longer than the buffer goes on as the next token.
    while (pos < text.size() && isWordChar(static_cast<unsigned char>(text[pos])) &&
           s.w.size() <= maxWord) {
        c = lower(static_cast<unsigned char>(text[pos]));
        s.w.push_back(static_cast<char>(c));
        if (isVowel(c)) ++s.vowels;
        ++pos;
        if (pos < text.size()) {
            unsigned char next = static_cast<unsigned char>(text[pos]);
            if (isAccentMark(next) && next != '"') s.explicitAccent = true;
        }
    }
    return true;
}

// ---- exceptions ----

const Exception* findException(const std::string& key) {
    const auto& ex = st().exceptions;
    auto it = std::lower_bound(ex.begin(), ex.end(), key,
                               [](const Exception& e, const std::string& k) { return e.key < k; });
    if (it != ex.end() && it->key == key) return &*it;
    return nullptr;
}

void lookupException() {
    State& s = st();
    if (s.exceptions.empty()) return;
    std::string word = s.w.substr(1);
    std::string suffix;
    while (!word.empty()) {
        if (const Exception* e = findException(word)) {
            std::string result = e->replacement + suffix;
            if (result.size() > maxWord) result.resize(maxWord);
            s.w = std::string(1, '\0') + result;
            return;
        }
        char last = word.back();
        if (last != 's' && last != 'm') return;
        suffix.insert(suffix.begin(), last);
        word.pop_back();
    }
}

// ---- stress ----

enum class Stress { start, finalCons, finalM, finalS, finalIU, penult, penultIU, markHere, markPrevious };

void markStress() {
    State& s = st();
    std::string& w = s.w;
    const int n = static_cast<int>(w.size()) - 1;
    if (s.explicitAccent) return;
    if (s.vowels < 2 && !(s.vowels == 1 && n >= 1 && w[n] == 'l')) return;
    // Positions outside the word read as no letter.
    auto at = [&](int i) -> unsigned char {
        return (i >= 1 && i <= n) ? static_cast<unsigned char>(w[i]) : 0;
    };
    auto mark = [&](int i) {
        if (i >= 1 && i <= n) w[i] = static_cast<char>(upper(static_cast<unsigned char>(w[i])));
    };
    auto isLM = [](unsigned char c) {
        return c == 'l' || c == 'm' || c == 'n' || c == 'r' || c == 'z';
    };
    Stress state = Stress::start;
    for (int i = n; i >= 1; --i) {
        if (state == Stress::markHere) { mark(i + 1); return; }
        if (state == Stress::markPrevious) { mark(i + 2); return; }
        const unsigned char c = at(i);
        switch (state) {
            case Stress::start:
                if (c == 'a' || c == 'e' || c == 'o') state = Stress::penult;
                else if (c == 'i' || c == 'u') state = Stress::finalIU;
                else if (c == 'l' || c == 'n' || c == 'r' || c == 'x' || c == 'z') state = Stress::finalCons;
                else if (c == 'm') state = Stress::finalM;
                else if (c == 's') state = Stress::finalS;
                break;
            case Stress::finalCons:
                if (isVowel(c)) state = Stress::markHere;
                break;
            case Stress::finalM:
                if (c == 'a' || c == 'e') state = Stress::penult;
                else if (c == 'i' || c == 'u') state = Stress::finalIU;
                else if (c == 'o') state = Stress::markHere;
                break;
            case Stress::finalS:
                if (c == 'a' || c == 'e' || c == 'o') state = Stress::penult;
                else if (c == 'i' || c == 'u') state = Stress::finalIU;
                break;
            case Stress::finalIU:
                if (isConsonant(c) || (at(i - 1) == 'u' && (at(i - 2) == 'g' || at(i - 2) == 'q')))
                    state = Stress::markPrevious;
                else
                    state = Stress::markHere;
                break;
            case Stress::penult:
                if (c == 'a' || c == 'e' || c == 'o') state = Stress::markHere;
                else if (c == 'i' || c == 'u') state = Stress::penultIU;
                break;
            case Stress::penultIU: {
                const unsigned char c2 = at(i + 2), c3 = at(i + 3);
                if (isConsonant(c) || (c == 'u' && (at(i - 1) == 'g' || at(i - 1) == 'q')))
                    state = Stress::markPrevious;
                else if (isLM(c2) && ((c2 == 'n' && c3 == 'h') || (c2 == 'r' && c3 == 'r') ||
                                      (isConsonant(c3) && c3 != 'h')))
                    state = Stress::markPrevious;
                else
                    state = Stress::markHere;
                break;
            }
            case Stress::markHere:
            case Stress::markPrevious:
                break;
        }
    }
    // A mark chosen on the first letter is still pending when the scan
    // runs out (vida, linha, ela): apply it.
    if (state == Stress::markHere) mark(1);
    else if (state == Stress::markPrevious) mark(2);
}

// ---- spelling ----

bool isSpelledToken() {
    const std::string& w = st().w;
    if (w.size() < 2) return false;
    if (w[1] == '\x01') return true;
    for (std::size_t i = 1; i < w.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(w[i]);
        if (!isConsonant(c) && !isPauseChar(c)) return false;
    }
    return true;
}

void spellToken(std::string& out) {
    const std::string& w = st().w;
    for (std::size_t i = 1; i < w.size(); ++i) {
        out += "[ /_";
        out += w[i];
        out += ']';
    }
}

// ---- rules ----

// Left context: pattern read from its last character back, k from pos - 1.
bool leftMatches(const std::string& pattern, int k) {
    const std::string& w = st().w;
    const int n = static_cast<int>(w.size()) - 1;
    auto at = [&](int i) { return static_cast<unsigned char>(w[i]); };
    for (int j = static_cast<int>(pattern.size()) - 1; j >= 0; --j) {
        const unsigned char p = static_cast<unsigned char>(pattern[j]);
        switch (p) {
            case '%':
                if (k != 0 && k != n + 1) return false;
                break;
            case '#':
                if (k <= 0 || k > n) return false;
                if (!isVowel(at(k)) && !isAccentMark(at(k))) return false;
                while (k >= 1 && (isVowel(at(k)) || isAccentMark(at(k)))) --k;
                break;
            case ']':
                if (k <= 0 || k > n) return false;
                if (isBackVowel(at(k))) k -= 1;
                else if (isAccentMark(at(k)) && k >= 2 && isBackVowel(at(k - 1))) k -= 2;
                else return false;
                break;
            case '_':
                if (k <= 0) break;
                if (isVowel(at(k))) k -= 1;
                else if (isAccentMark(at(k)) && k >= 2 && isVowel(at(k - 1))) k -= 2;
                else return false;
                break;
            case '|':
                if (k <= 0) return false;
                if (at(k) != 'n' && at(k) != 'r' && at(k) != 's') return false;
                k -= 1;
                break;
            default:
                if (k < 1 || k > n || upper(at(k)) != p) return false;
                k -= 1;
                break;
        }
    }
    return true;
}

// Right context: pattern read from its first character on, k after the match.
bool rightMatches(const std::string& pattern, int k) {
    const std::string& w = st().w;
    const int n = static_cast<int>(w.size()) - 1;
    auto at = [&](int i) { return (i >= 1 && i <= n) ? static_cast<unsigned char>(w[i]) : 0; };
    for (const char pc : pattern) {
        const unsigned char p = static_cast<unsigned char>(pc);
        switch (p) {
            case '%':
                if (k != 0 && k != n + 1) return false;
                break;
            case '#':
                if (k <= 0 || k > n) return false;
                if (!isVowel(at(k)) && !isAccentMark(at(k))) return false;
                while (k <= n && (isVowel(at(k)) || isAccentMark(at(k)))) ++k;
                break;
            case '&': {
                const unsigned char c = at(k);
                if (k > n || !(c == 'l' || c == 'm' || c == 'n' || c == 'r' || c == 'z')) return false;
                k += 1;
                break;
            }
            case '*':
                if (k > n || !isConsonant(at(k)) || at(k) == 'r' || at(k) == 'l') return false;
                break;
            case '+':
                if (k > n || !isFrontVowel(at(k))) return false;
                k += isAccentMark(at(k + 1)) ? 2 : 1;
                break;
            case '[':
                if (k == n + 1) break;
                if (k > n || !isConsonant(at(k)) || at(k) == 'h') return false;
                break;
            case '\\':
                if (k <= n && at(k) == 's') k += 1;
                break;
            default:
                if (k > n || upper(at(k)) != p) return false;
                k += 1;
                break;
        }
    }
    return true;
}

void applyRules(std::string& out) {
    State& s = st();
    const std::string& w = s.w;
    const int n = static_cast<int>(w.size()) - 1;
    out += '[';
    int pos = 1;
    while (pos <= n) {
        const unsigned char letter = static_cast<unsigned char>(w[pos]);
        const unsigned char c = upper(letter);
        std::string piece = " /_";
        piece += static_cast<char>(c);
        int advance = 1;
        if (c >= 32 && c <= 95) {
            for (const PhoneticRule& r : s.lists[c - 32]) {
                const int len = static_cast<int>(r.match.size());
                bool ok = pos + len - 1 <= n;
                for (int j = 0; ok && j < len; ++j)
                    ok = upper(static_cast<unsigned char>(w[pos + j])) ==
                         static_cast<unsigned char>(r.match[j]);
                if (!ok || !leftMatches(r.left, pos - 1) || !rightMatches(r.right, pos + len)) continue;
                piece = r.output;
                advance = len;
                break;
            }
        }
        if (isVowel(letter) && letter >= 'A' && letter <= 'Z') {
            for (char& pc : piece) {
                if (isVowel(static_cast<unsigned char>(pc))) {
                    pc = static_cast<char>(upper(static_cast<unsigned char>(pc)));
                    break;
                }
            }
        }
        out += piece;
        pos += advance;
        if (pos <= n) out += '/';
    }
    out += ']';
}

// A rule or exception file: a regular file, read without waiting, bounded
// far above any real one.
bool readWhole(const std::string& fileName, std::string& text) {
    constexpr std::uint64_t kMaxBytes = 64u << 20;
    return platform::readDataFile(fileName, text, kMaxBytes) == 0;
}

std::string field(const std::string& text, std::size_t max) {
    return text.size() > max ? text.substr(0, max) : text;
}

}  // namespace

std::string transliterate(unsigned char c) {
    if (c < 128) return std::string(1, static_cast<char>(c));
    std::string piece = transliterationTable[c - 128];
    if (piece == "\xE7" || piece == "\xC7") piece = "ss";
    return piece;
}

std::string preprocess(const std::string& input) {
    std::string text = input;
    std::string out;
    out.reserve(text.size() + 8);
    const std::size_t len = text.size();
    for (std::size_t i = 0; i < len; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        const bool letterBefore = i > 0 && isLetter(static_cast<unsigned char>(text[i - 1]));
        const bool letterAfter = i + 1 < len && isLetter(static_cast<unsigned char>(text[i + 1]));
        if ((c == 'W' || c == 'w') && (letterBefore || letterAfter)) {
            c = 'u';
            text[i] = 'u';
        } else if ((c == 'Y' || c == 'y') && (letterBefore || letterAfter)) {
            c = 'i';
            text[i] = 'i';
        } else if (c == '\'' && i > 0 && (text[i - 1] == 'D' || text[i - 1] == 'd')) {
            continue;
        }
        std::string piece;
        if (c < 32) piece.clear();
        else if (c < 128) piece.assign(1, static_cast<char>(c));
        else piece = transliterate(c);
        if (piece.empty()) out += " \x01 ";
        else out += piece;
    }
    return out;
}

void loadRulesFromText(const std::string& text) {
    State& s = st();
    for (auto& list : s.lists) list.clear();
    s.exceptions.clear();
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        PhoneticRule r;
        const std::size_t open = line.find('(');
        if (open == std::string::npos) continue;  // no match: not a rule
        r.left = field(line.substr(0, open), 5);
        std::string rest = line.substr(open + 1);
        const std::size_t close = rest.find(')');
        r.match = field(rest.substr(0, close), 5);
        if (close != std::string::npos) {
            rest = rest.substr(close + 1);
            const std::size_t eq = rest.find('=');
            r.right = field(rest.substr(0, eq), 5);
            if (eq != std::string::npos) {
                rest = rest.substr(eq + 1);
                r.output = field(rest.substr(0, rest.find('|')), 11);
            }
        }
        if (r.match.empty()) continue;
        const unsigned char first = static_cast<unsigned char>(r.match[0]);
        if (first < 32 || first > 95) continue;
        s.lists[first - 32].push_back(std::move(r));
    }
}

bool loadRules(const std::string& fileName) {
    std::string text;
    const bool ok = readWhole(fileName, text);
    loadRulesFromText(text);
    return ok;
}

void loadExceptionsFromText(const std::string& text) {
    State& s = st();
    s.exceptions.clear();
    std::istringstream in(text);
    std::string line;
    while (s.exceptions.size() < maxExceptions && std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > maxExceptionLine) line.resize(maxExceptionLine);
        if (line.empty()) continue;
        // A line without '=' is all key, with an empty replacement.
        const std::size_t eq = line.find('=');
        Exception e;
        e.key = line.substr(0, eq);
        if (eq != std::string::npos) {
            const std::string rest = line.substr(eq + 1);
            e.replacement = rest.substr(0, rest.find('|'));
        }
        s.exceptions.push_back(std::move(e));
    }
    // Sorted by key in byte order; of repeated keys the first in the file wins.
    std::stable_sort(s.exceptions.begin(), s.exceptions.end(),
                     [](const Exception& a, const Exception& b) { return a.key < b.key; });
    s.exceptions.erase(std::unique(s.exceptions.begin(), s.exceptions.end(),
                                   [](const Exception& a, const Exception& b) { return a.key == b.key; }),
                       s.exceptions.end());
}

bool loadExceptions(const std::string& fileName) {
    std::string text;
    if (!readWhole(fileName, text)) {
        st().exceptions.clear();
        return false;
    }
    loadExceptionsFromText(text);
    return true;
}

std::string transcribe(const std::string& input) {
    const std::string text = preprocess(input);
    std::string out;
    std::size_t pos = 0;
    while (nextToken(text, pos)) {
        lookupException();
        markStress();
        if (isSpelledToken()) spellToken(out);
        else applyRules(out);
    }
    return out;
}

std::string stressedWord(const std::string& input) {
    const std::string text = preprocess(input);
    std::size_t pos = 0;
    if (!nextToken(text, pos)) return {};
    lookupException();
    markStress();
    return st().w.substr(1);
}

void freeRules() {
    for (auto& list : st().lists) {
        list.clear();
        list.shrink_to_fit();
    }
}

std::size_t ruleCount() {
    std::size_t n = 0;
    for (const auto& list : st().lists) n += list.size();
    return n;
}

std::size_t exceptionCount() { return st().exceptions.size(); }

void resetForTests() { st() = State{}; }

}  // namespace regras
