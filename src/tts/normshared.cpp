// Character helpers and words the normaliser's kinds share.
#include <algorithm>

#include "tts/normalise.hpp"
#include "tts/ttschars.hpp"

namespace uttsnorm {

using ttschars::byte;

bool isLetter(char ch) {
    const unsigned char c = byte(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    switch (c & ~0x20u) {  // the capital of an accented letter
    case 0xC0: case 0xC1: case 0xC2: case 0xC3: case 0xC7: case 0xC9: case 0xCA: case 0xCC:
    case 0xCD: case 0xD1: case 0xD3: case 0xD4: case 0xD5: case 0xD9: case 0xDA: case 0xDC:
        return c >= 0xC0;
    default:
        return false;
    }
}

bool isConsonant(char ch) {
    unsigned char c = byte(ch);
    if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 32);
    if (c >= 'A' && c <= 'Z') return c != 'A' && c != 'E' && c != 'I' && c != 'O' && c != 'U';
    return c == 0xC7 || c == 0xD1 || c == 0xE7 || c == 0xF1;
}

bool isVowelLetter(char c) { return isLetter(c) && !isConsonant(c); }
bool isUpperLetter(char c) { return isLetter(c) && ttschars::upper(c) == c; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || byte(c) == 0xA0; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t digitRun(const std::string& s, std::size_t p) {
    std::size_t k = 0;
    while (isDigit(at(s, p + k))) ++k;
    return k;
}

std::uint64_t valueOf(const std::string& s, std::size_t p, std::size_t len) {
    std::uint64_t v = 0;
    for (std::size_t k = 0; k < len && k < 18; ++k) v = v * 10 + static_cast<std::uint64_t>(at(s, p + k) - '0');
    return v;
}

bool startsAt(const std::string& t, std::size_t p, const std::string& s) {
    return p >= 1 && !s.empty() && t.size() >= p - 1 + s.size() && t.compare(p - 1, s.size(), s) == 0;
}

std::string wordAfter(const std::string& t, std::size_t p) {
    if (isBlank(at(t, p))) ++p;
    std::size_t e = p;
    while (isLetter(at(t, e)) || (at(t, e) == '-' && isLetter(at(t, e + 1)) && e > p)) ++e;
    return e > p ? t.substr(p - 1, e - p) : std::string();
}

std::size_t wordBeforeStart(const std::string& t, std::size_t p) {
    std::size_t e = p - 1;
    while (e >= 1 && isBlank(t[e - 1])) --e;
    if (e >= 1 && t[e - 1] == '.') --e;
    std::size_t b = e;
    while (b >= 1 && isLetter(t[b - 1])) --b;
    return b < e ? b + 1 : 0;
}

std::string wordBefore(const std::string& t, std::size_t p) {
    const std::size_t b = wordBeforeStart(t, p);
    if (b == 0) return {};
    std::size_t e = b;
    while (isLetter(at(t, e))) ++e;
    return t.substr(b - 1, e - b);
}

std::string low(const std::string& s) { return ttschars::lower(s); }

std::string number(std::uint64_t v) { return ttschars::trim(uttspreproc::cardinalWords(v)); }

std::string feminineCount(const std::string& words) {
    std::vector<std::string> w;
    for (std::size_t i = 0; i < words.size();) {
        const std::size_t e = words.find(' ', i);
        if (e != i) w.push_back(words.substr(i, e == std::string::npos ? std::string::npos : e - i));
        if (e == std::string::npos) break;
        i = e + 1;
    }
    std::string r;
    for (std::size_t i = 0; i < w.size(); ++i) {
        std::string x = w[i];
        const std::string next = i + 1 < w.size() ? w[i + 1] : std::string();
        const bool scale = next.rfind("milh", 0) == 0 || next.rfind("bilh", 0) == 0 || next.rfind("trilh", 0) == 0;
        if (!scale) {
            if (x == "um") x = "uma";
            else if (x == "dois") x = "duas";
            else if (x.size() > 5 && x.compare(x.size() - 5, 5, "entos") == 0) x.replace(x.size() - 5, 5, "entas");
        }
        r += (i ? " " : "") + x;
    }
    return r;
}

bool feminineNounAfterCount(const std::string& word, bool one) {
    if (word.size() < 2) return false;
    // After any count but one the noun is plural: "o trem 21 chega" and
    // "2 contra 1" hold a verb and a preposition, not a counted noun.
    if (!one && byte(word.back()) != 's' && byte(word.back()) != 'S') return false;
    return uttspreproc::isFeminineNoun(word);
}

std::string counted(std::uint64_t v, const std::string& t, std::size_t p) {
    const std::string words = number(v);
    std::string next = wordAfter(t, p);
    bool one = v == 1;
    if (next == "mil") {  // 2 mil pessoas: duas mil
        next = wordAfter(t, p + (isBlank(at(t, p)) ? 1 : 0) + 3);
        one = false;
    }
    return feminineNounAfterCount(next, one) ? feminineCount(words) : words;
}

std::string digitsOneByOne(const std::string& digits) {
    std::string r;
    for (char d : digits)
        if (isDigit(d)) r += (r.empty() ? "" : " ") + number(static_cast<std::uint64_t>(d - '0'));
    return r;
}

std::string chunkWords(const std::string& digits) {
    std::string r;
    std::size_t i = 0;
    while (i + 1 < digits.size() && digits[i] == '0') {
        r += "zero ";
        ++i;
    }
    std::uint64_t v = 0;
    for (std::size_t k = i; k < digits.size() && k < i + 18; ++k) v = v * 10 + static_cast<std::uint64_t>(digits[k] - '0');
    return r + number(v);
}

}  // namespace uttsnorm
