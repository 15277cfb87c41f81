// Cardinal numbers: 5, 1.000, 25 000 (a blank or a no-break blank between
// thousands), 007. Numbers are cut into five groups of three digits
// (trillions down to units), each group read as hundreds, tens and units and
// followed by its scale word; "e" joins the last group that is read to the
// ones before when that group is under a hundred or a whole hundred (mil e
// cem, but mil novecentos e oitenta). A count agrees with the feminine noun
// it counts: duzentas páginas.
#include <array>

#include "tts/normalise.hpp"
#include "tts/ttschars.hpp"

namespace uttspreproc {

using uttsnorm::at;
using uttsnorm::isDigit;

namespace {

struct Words {
    std::array<std::string, 10> units, teens, tens, hundreds;
};

const Words& words() {
    static const Words w = [] {
        Words w;
        const char* units[] = {"zero", "um", "dois", "três", "quatro", "cinco", "seis", "sete", "oito", "nove"};
        const char* teens[] = {"dez", "onze", "doze", "treze", "quatorze", "quinze", "dezesseis", "dezessete", "dezoito", "dezenove"};
        const char* tens[] = {"", "", "vinte", "trinta", "quarenta", "cinqüenta", "sessenta", "setenta", "oitenta", "noventa"};
        const char* hundreds[] = {"", "cento", "duzentos", "trezentos", "quatrocentos", "quinhentos", "seiscentos", "setecentos", "oitocentos", "novecentos"};
        for (int i = 0; i < 10; ++i) {
            w.units[i] = ttschars::cp1252(units[i]);
            w.teens[i] = ttschars::cp1252(teens[i]);
            w.tens[i] = ttschars::cp1252(tens[i]);
            w.hundreds[i] = ttschars::cp1252(hundreds[i]);
        }
        return w;
    }();
    return w;
}

}  // namespace

std::string groupWords(const std::string& digits) {
    const Words& w = words();
    if (digits.size() != 3 || !isDigit(digits[0]) || !isDigit(digits[1]) || !isDigit(digits[2])) return {};
    const int h = digits[0] - '0', t = digits[1] - '0', u = digits[2] - '0';
    if (digits == "000") return {};
    if (digits == "100") return "cem";
    std::string r;
    if (h != 0) {
        r = w.hundreds[h];
        if (t == 0 && u == 0) return r;
        r += " e ";
    }
    if (t == 1) return r + w.teens[u];
    if (t != 0) {
        r += w.tens[t];
        if (u == 0) return r;
        r += " e ";
    }
    if (u > 0) r += w.units[u];
    return r;
}

std::string cardinalWords(std::uint64_t value) {
    if (value == 0) return "zero";
    std::string digits = std::to_string(value);
    if (digits.size() > 15) digits.erase(0, digits.size() - 15);
    digits.insert(0, 15 - digits.size(), '0');
    static const char* singular[] = {"trilhão ", "bilhão ", "milhão ", "mil "};
    static const char* plural[] = {"trilhões ", "bilhões ", "milhões ", "mil "};
    std::string parts[5];
    int last = -1;
    for (int g = 0; g < 5; ++g) {
        const std::string group = digits.substr(g * 3, 3);
        parts[g] = groupWords(group);
        if (g < 4 && group != "000") parts[g] += " " + ttschars::cp1252(group == "001" ? singular[g] : plural[g]);
        if (!parts[g].empty()) last = g;
    }
    std::string r;
    for (int g = 0; g < 5; ++g) {
        const int value = std::stoi(digits.substr(g * 3, 3));
        if (g == last && !r.empty() && (value < 100 || value % 100 == 0)) r += "e ";
        // a thousand inside a number is "mil", never "um mil"
        if (g == 3 && value == 1 && !r.empty()) parts[g].erase(0, 3);
        r += parts[g];
    }
    if (r.rfind("um mil", 0) == 0 && r.rfind("um milh", 0) != 0) r.erase(0, 3);
    return r;
}

std::string readNumber(const std::string& text, std::size_t& pos) {
    const Words& w = words();
    const std::size_t n = text.size();
    std::size_t end = pos;
    bool dashed = false;
    while (end <= n && (isDigit(text[end - 1]) || text[end - 1] == '-')) {
        dashed = dashed || text[end - 1] == '-';
        ++end;
    }
    if (dashed) {
        std::string r;
        for (; pos < end; ++pos) r += " " + (text[pos - 1] == '-' ? ttschars::cp1252("traço") : w.units[text[pos - 1] - '0']);
        return r;
    }
    std::string zeros;
    while (pos < n && text[pos - 1] == '0' && isDigit(text[pos])) {
        zeros += "zero ";
        ++pos;
    }
    std::uint64_t value = 0;
    while (pos <= n) {
        const char c = text[pos - 1];
        if (isDigit(c)) {
            if (value >= 1000000000000000ULL) break;
            value = value * 10 + static_cast<std::uint64_t>(c - '0');
            ++pos;
        } else if (c == '.' && pos + 3 <= n && isDigit(text[pos]) && isDigit(text[pos + 1]) &&
                   isDigit(text[pos + 2]) && (pos + 3 == n || !isDigit(text[pos + 3]))) {
            ++pos;
        } else {
            break;
        }
    }
    const char next = at(text, pos), next2 = at(text, pos + 1), next3 = at(text, pos + 2);
    const unsigned char ordMasc = 0xBA, ordFem = 0xAA;
    if (pos > n || next == ' ') return zeros + cardinalWords(value);
    if (next == '.' && (ttschars::byte(next2) == ordMasc || ttschars::byte(next2) == ordFem)) {  // 3.º, 1.ª
        pos += 2;
        return ordinalWords(ttschars::byte(next2) == ordMasc ? Gender::masculine : Gender::feminine, value);
    }
    if (ttschars::byte(next) == ordMasc || ttschars::byte(next) == ordFem) {
        ++pos;
        return ordinalWords(ttschars::byte(next) == ordMasc ? Gender::masculine : Gender::feminine, value);
    }
    if ((next == 'o' || next == 'a') && next2 == '.') {
        pos += 2;
        return ordinalWords(next == 'o' ? Gender::masculine : Gender::feminine, value);
    }
    if ((next == 'o' || next == 'a') && next2 == 's' && next3 == '.') {
        pos += 3;
        return ordinalWords(next == 'o' ? Gender::masculine : Gender::feminine, value) + "s";
    }
    return zeros + cardinalWords(value);
}

}  // namespace uttspreproc

namespace uttsnorm {

namespace {

// 25 000, 1 500 000: a head of one to three digits and groups of three
// after single blanks; the end of the last group, or 0.
std::size_t spacedEnd(const std::string& t, std::size_t pos) {
    const std::size_t head = digitRun(t, pos);
    if (head < 1 || head > 3) return 0;
    std::size_t p = pos + head, groups = 0;
    while ((at(t, p) == ' ' || ttschars::byte(at(t, p)) == 0xA0) && digitRun(t, p + 1) == 3) {
        p += 4;
        ++groups;
    }
    return groups ? p : 0;
}

}  // namespace

std::size_t isCardinal(const std::string& t, std::size_t pos) {
    if (!isDigit(at(t, pos))) return 0;
    if (const std::size_t e = spacedEnd(t, pos)) return e;
    std::size_t p = pos;
    for (;;) {
        p += digitRun(t, p);
        if (at(t, p) == '.' && digitRun(t, p + 1) == 3) {
            ++p;
            continue;
        }
        return p;
    }
}

std::string sayCardinal(const std::string& t, std::size_t pos, std::size_t end) {
    std::string digits;
    for (std::size_t p = pos; p < end; ++p)
        if (isDigit(at(t, p))) digits += at(t, p);
    // Past sixteen digits the first sixteen make one number (the last
    // fifteen of them read) and the rest another.
    std::string r;
    while (digits.size() > 16) {
        std::size_t q = 1;
        r += uttspreproc::readNumber(digits.substr(0, 16), q) + " ";
        digits.erase(0, 16);
    }
    std::size_t zeros = 0;
    while (zeros + 1 < digits.size() && digits[zeros] == '0') ++zeros;
    const std::uint64_t value = valueOf(digits, zeros + 1, digits.size() - zeros);
    for (std::size_t i = 0; i < zeros; ++i) r += "zero ";
    return r + (zeros ? number(value) : counted(value, t, end)) + " ";
}

}  // namespace uttsnorm
