// Telephone numbers and codes: groups of digits joined by "-", "." or "/"
// with at least one "-" (98765-4321, 321-4567, CEP 01310-100, CPF
// 123.456.789-09, CNPJ 12.345.678/0001-95), a number of service 0800
// (0300, 0500, 0900) with its groups after blanks, and vehicle plates
// (ABC-1234, ABC1234, the Mercosul BRA2E19) read letter by letter and digit
// by digit, and IP addresses (192.168.0.1, its numbers with "ponto"). The
// digits are said one by one, a comma between groups, "barra" for "/";
// never "menos".
#include "tts/normalise.hpp"
#include "tts/ttschars.hpp"

namespace uttsnorm {

namespace {

// Digits one by one, as Brazilians read a telephone or a document number;
// a number of service opens with its prefix (0800: zero oitocentos).
std::string groupOfCode(const std::string& g, bool first) {
    if (first && g.size() == 4 && g[0] == '0' && g.compare(2, 2, "00") == 0 && g[1] != '0')
        return "zero " + chunkWords(g.substr(1));
    return digitsOneByOne(g);
}

struct Groups {
    std::vector<std::string> groups;
    std::vector<char> seps;
    std::size_t end = 0;
};

bool digitCode(const std::string& t, std::size_t pos, Groups& c) {
    if (pos > 1 && (isDigit(at(t, pos - 1)) || isLetter(at(t, pos - 1)))) return false;
    std::size_t p = pos;
    const std::size_t first = digitRun(t, p);
    if (!first) return false;
    c.groups.push_back(t.substr(p - 1, first));
    p += first;
    const std::string& g0 = c.groups[0];
    const bool service = g0.size() == 4 && g0[0] == '0' && g0.compare(2, 2, "00") == 0 && g0[1] != '0';
    bool dash = false;
    for (;;) {
        if (c.groups.size() > 8) return false;  // no code has so many groups
        const char sep = at(t, p);
        const bool joined = sep == '-' || sep == '.' || sep == '/' || (service && sep == ' ');
        const std::size_t k = joined ? digitRun(t, p + 1) : 0;
        if (k == 0 || (sep == ' ' && k < 3)) break;
        dash = dash || sep == '-';
        c.seps.push_back(sep);
        c.groups.push_back(t.substr(p, k));
        p += 1 + k;
    }
    if (c.groups.size() < 2 || (!dash && !(service && c.seps.front() == ' ')) || isLetter(at(t, p)) ||
        isDigit(at(t, p)))
        return false;
    c.end = p;
    return true;
}

bool upperAscii(char c) { return c >= 'A' && c <= 'Z'; }

// ABC-1234, ABC 1234 is no plate (a word and a number); ABC1234, BRA2E19.
std::size_t plateEnd(const std::string& t, std::size_t pos) {
    if (pos > 1 && (isLetter(at(t, pos - 1)) || isDigit(at(t, pos - 1)))) return 0;
    for (std::size_t i = 0; i < 3; ++i)
        if (!upperAscii(at(t, pos + i))) return 0;
    std::size_t p = pos + 3;
    std::size_t e = 0;
    if (at(t, p) == '-' && digitRun(t, p + 1) == 4) e = p + 5;
    else if (digitRun(t, p) == 4) e = p + 4;
    else if (isDigit(at(t, p)) && upperAscii(at(t, p + 1)) && digitRun(t, p + 2) == 2) e = p + 4;
    if (!e || isLetter(at(t, e)) || isDigit(at(t, e))) return 0;
    return e;
}

// 192.168.0.1: four numbers of up to three digits.
std::size_t addressEnd(const std::string& t, std::size_t pos) {
    if (pos > 1 && (isDigit(at(t, pos - 1)) || at(t, pos - 1) == '.')) return 0;
    std::size_t p = pos;
    bool thousands = true;  // 1.000.000.000 is a number
    for (int i = 0; i < 4; ++i) {
        const std::size_t k = digitRun(t, p);
        if (k < 1 || k > 3 || valueOf(t, p, k) > 255) return 0;
        if (i > 0 && k != 3) thousands = false;
        p += k;
        if (i < 3) {
            if (at(t, p) != '.') return 0;
            ++p;
        }
    }
    if (thousands) return 0;
    return isDigit(at(t, p)) || isLetter(at(t, p)) || (at(t, p) == '.' && isDigit(at(t, p + 1))) ? 0 : p;
}

}  // namespace

std::size_t isCode(const std::string& t, std::size_t pos) {
    if (isLetter(at(t, pos))) return plateEnd(t, pos);
    if (const std::size_t e = addressEnd(t, pos)) return e;
    Groups c;
    return digitCode(t, pos, c) ? c.end : 0;
}

std::string sayCode(const std::string& t, std::size_t pos, std::size_t end) {
    if (isLetter(at(t, pos))) {
        std::string r;
        for (std::size_t p = pos; p < end; ++p) {
            const char c = at(t, p);
            if (c == '-') continue;
            r += (isDigit(c) ? number(static_cast<std::uint64_t>(c - '0')) : ttschars::trim(uttspreproc::charName(ttschars::byte(c)))) + " ";
        }
        return r;
    }
    if (addressEnd(t, pos) == end) {  // an IP address: its numbers, "ponto" between
        std::string r;
        for (std::size_t p = pos; p < end;) {
            const std::size_t k = digitRun(t, p);
            r += (r.empty() ? "" : " ponto ") + number(valueOf(t, p, k));
            p += k + 1;
        }
        return r + " ";
    }
    Groups c;
    digitCode(t, pos, c);
    std::string r = groupOfCode(c.groups[0], true);
    for (std::size_t i = 1; i < c.groups.size(); ++i)
        r += (c.seps[i - 1] == '/' ? " barra " : ", ") + groupOfCode(c.groups[i], false);
    return r + " ";
}

}  // namespace uttsnorm
