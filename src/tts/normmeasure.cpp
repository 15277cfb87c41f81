// Measures: a number and a unit of the unit table after it, a blank
// allowed between: 2 L (dois litros), 1 h (uma hora), 20 s, 3 km², 5 cm³,
// 100 m2, 120 km/h, 5 mg/kg, 500 mg/dia, -5 °C, 2,5%, 3x. The unit agrees
// with the count (singular for one and for a decimal under two) and the
// count with the unit's gender.
#include "tts/normalise.hpp"
#include "tts/ttschars.hpp"

namespace uttsnorm {

namespace {

struct UnitParts {
    const Unit* unit = nullptr;
    int power = 0;  // 2 square, 3 cubic
    const Unit* per = nullptr;
    int perPower = 0;
    std::string perWord;
    std::size_t end = 0;
};

// Squares and cubes go with units of length only (m², km2).
bool ofLength(const Unit& u) {
    const std::string& s = u.symbol;
    return s == "m" || (s.size() == 2 && s[1] == 'm' && std::string("kcdmµ").find(s[0]) != std::string::npos);
}

std::size_t power(const std::string& t, std::size_t p, const Unit& u, int& pw) {
    const unsigned char c = ttschars::byte(at(t, p));
    if (c == 0xB2 || c == 0xB3) {
        pw = c == 0xB2 ? 2 : 3;
        return p + 1;
    }
    if ((c == '2' || c == '3') && ofLength(u) && !isDigit(at(t, p + 1)) && !isLetter(at(t, p + 1))) {
        pw = c - '0';
        return p + 1;
    }
    pw = 0;
    return p;
}

bool parseUnit(const std::string& t, std::size_t p, UnitParts& u) {
    if (isBlank(at(t, p)) && at(t, p) != '\t') ++p;
    std::size_t len = 0;
    u.unit = unitAt(t, p, len);
    if (!u.unit) return false;
    p = power(t, p + len, *u.unit, u.power);
    if (at(t, p) == '/') {
        std::size_t len2 = 0;
        if (const Unit* per = unitAt(t, p + 1, len2)) {
            u.per = per;
            p = power(t, p + 1 + len2, *per, u.perPower);
        } else if (const std::string w = wordAfter(t, p + 1); w.size() >= 3 && !isBlank(at(t, p + 1))) {
            u.perWord = w;  // 500 mg/dia
            p += 1 + w.size();
        }
    }
    // a unit is a word of its own: "5 m" but not "5 mesas" (unitAt checks
    // letters), nor a unit glued to digits
    if (isDigit(at(t, p))) return false;
    u.end = p;
    return true;
}

std::string powerWord(int pw, bool one) {
    if (pw == 2) return one ? " quadrado" : " quadrados";
    if (pw == 3) return ttschars::cp1252(one ? " cúbico" : " cúbicos");
    return {};
}

// The number part of a measure: its end, or 0.
std::size_t numberEnd(const std::string& t, std::size_t pos) {
    if (const std::size_t d = isDecimal(t, pos)) return d;
    return isCardinal(t, pos);
}

}  // namespace

std::size_t measureUnitEnd(const std::string& t, std::size_t p) {
    UnitParts u;
    return parseUnit(t, p, u) ? u.end : 0;
}

std::string unitWords(const std::string& t, std::size_t p, std::size_t, bool one) {
    UnitParts u;
    if (!parseUnit(t, p, u)) return {};
    std::string r = (one ? u.unit->singular : u.unit->plural) + powerWord(u.power, one);
    if (u.per) r += " por " + u.per->singular + (u.perPower == 2 ? " ao quadrado" : u.perPower == 3 ? " ao cubo" : "");
    if (!u.perWord.empty()) r += " por " + u.perWord;
    return r;
}

bool unitIsFeminine(const std::string& t, std::size_t p, std::size_t) {
    UnitParts u;
    return parseUnit(t, p, u) && u.unit->feminine;
}

namespace {

// 45º after ângulo, gire, temperatura: degrees written with the ordinal sign
bool degreeSign(const std::string& t, std::size_t pos, std::size_t n) {
    if (ttschars::byte(at(t, n)) != 0xBA || isLetter(at(t, n + 1)) || isDigit(at(t, n + 1))) return false;
    static const char* words[] = {"ângulo", "ângulos", "gire", "girar", "gira", "girou", "rotação", "rotacione",
                                  "inclinação", "temperatura", "temperaturas", "febre", "faz", "fez",
                                  "latitude", "longitude", "abertura", "angulação", "máxima", "mínima"};
    // o 3º andar: a noun after it makes it an ordinal
    const std::string next = low(wordAfter(t, n + 1));
    static const char* links[] = {"de", "e", "a", "à", "ao", "em", "no", "na", "por", "para", "com", "hoje", "lá",
                                  "ontem", "amanhã", "ou", "até", "durante", "pela", "pelo"};
    bool link = next.empty();
    for (const char* x : links) link = link || next == ttschars::cp1252(x);
    if (!link) return false;
    // the word of angles or temperatures up to three words before (gire a peça 90º)
    for (std::size_t p = pos, i = 0; p && i < 3; p = wordBeforeStart(t, p), ++i) {
        const std::string w = low(wordBefore(t, p));
        for (const char* x : words)
            if (w == ttschars::cp1252(x)) return true;
    }
    return false;
}

}  // namespace

std::size_t isMeasure(const std::string& t, std::size_t pos) {
    if (pos > 1 && (isDigit(at(t, pos - 1)) || isLetter(at(t, pos - 1)))) return 0;
    const std::size_t n = numberEnd(t, pos);
    if (!n) return 0;
    if (const std::size_t u = measureUnitEnd(t, n)) return u;
    return degreeSign(t, pos, n) ? n + 1 : 0;
}

std::string sayMeasure(const std::string& t, std::size_t pos, std::size_t end) {
    const std::size_t n = numberEnd(t, pos);
    const std::size_t whole = isCardinal(t, pos);
    const bool decimal = whole != n;
    const std::uint64_t v = valueOf(t, pos, digitRun(t, pos));
    // singular for one and for a whole part under two: 1,80 metro, 0,75 ponto
    const bool one = decimal ? v <= 1 : v == 1 && whole == pos + 1;
    std::string said;
    if (decimal) {
        said = sayDecimal(t, pos, n);
    } else {
        std::string digits;
        for (std::size_t q = pos; q < n; ++q)
            if (isDigit(at(t, q))) digits += at(t, q);
        said = (digits.size() > 1 && digits[0] == '0') ? chunkWords(digits) : number(valueOf(digits, 1, digits.size()));
        if (unitIsFeminine(t, n, end)) said = feminineCount(said);
        said += " ";
    }
    if (end == n + 1 && ttschars::byte(at(t, n)) == 0xBA) return said + (one ? "grau " : "graus ");
    return said + unitWords(t, n, end, one) + " ";
}

}  // namespace uttsnorm
