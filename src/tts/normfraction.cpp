// Fractions: 1/2 (meio, meia before a feminine noun), 3/4 (três quartos),
// 3/100 (três centésimos), 5/12 (cinco doze avos), the mixed 1 3/4 (um e
// três quartos), a unit after one (1/2 h meia hora, 3/4 h três quartos de
// hora), and the dosing interval of leaflets, "de 6/6 h" (de seis em seis
// horas). A slash pair in a date's context is a date (the date kind
// is asked first). The signs ½, ¼ and ¾ are fractions too (1½ um e meio),
// and ratios (escala 1:50, um para cinqüenta).
#include <algorithm>

#include "tts/normalise.hpp"
#include "tts/ttschars.hpp"

namespace uttsnorm {

namespace {

struct Parts {
    std::size_t whole = 0, num = 0, den = 0, end = 0, unitEnd = 0;  // positions; whole 0: none
};

// n/d at p: n of one to three digits, d of one to four.
std::size_t simpleEnd(const std::string& t, std::size_t p, std::size_t& den) {
    const std::size_t a = digitRun(t, p);
    if (a < 1 || a > 3 || at(t, p + a) != '/') return 0;
    den = p + a + 1;
    const std::size_t b = digitRun(t, den);
    const char after = at(t, den + b);
    if (b < 1 || b > 4 || after == '/' || (isLetter(after) && !measureUnitEnd(t, den + b)) ||
        ((after == ',' || after == '.') && isDigit(at(t, den + b + 1))))
        return 0;
    const std::uint64_t n = valueOf(t, p, a), d = valueOf(t, den, b);
    if (n == 0 || d < 2) return 0;
    if (b == 4 && d >= 1900 && d <= 2099) return 0;  // 123/2024: a number and its year
    // 120/80, 1234/2020: a pair, no fraction (3/2 is três meios)
    if (n > d && d > 10) return 0;
    if (n > d && measureUnitEnd(t, den + b)) return 0;  // 120/80 mmHg
    return den + b;
}

bool parse(const std::string& t, std::size_t pos, Parts& f) {
    if (pos > 1 && (isDigit(at(t, pos - 1)) || at(t, pos - 1) == '/' || at(t, pos - 1) == ',' ||
                    (at(t, pos - 1) == '.' && isDigit(at(t, pos - 2)))))
        return false;
    const std::size_t w = digitRun(t, pos);
    if (w >= 1 && w <= 2 && at(t, pos + w) == ' ' && (f.end = simpleEnd(t, pos + w + 1, f.den))) {
        const std::size_t n = pos + w + 1;
        // 1 3/4: the fraction below one
        if (valueOf(t, n, digitRun(t, n)) < valueOf(t, f.den, digitRun(t, f.den))) {
            f.whole = pos;
            f.num = n;
            return true;
        }
    }
    f.whole = 0;
    f.num = pos;
    f.end = simpleEnd(t, pos, f.den);
    return f.end != 0;
}

// de 6/6 h, 8/8h: the same number twice, after "de" or before hours
bool dosing(const std::string& t, const Parts& f) {
    if (f.whole || valueOf(t, f.num, digitRun(t, f.num)) != valueOf(t, f.den, digitRun(t, f.den))) return false;
    if (low(wordBefore(t, f.num)) == "de") return true;
    const std::size_t u = measureUnitEnd(t, f.end);
    return (u && (unitIsFeminine(t, f.end, u) || low(wordAfter(t, f.end)) == "h")) || low(wordAfter(t, f.end)) == "horas" ||
           low(wordAfter(t, f.end)) == "dias";
}

// três quartos, três centésimos, cinco doze avos
std::string fractionWords(std::uint64_t n, std::uint64_t d) {
    static const char* parts[] = {"", "", "meio", "terço", "quarto", "quinto", "sexto", "sétimo", "oitavo", "nono", "décimo"};
    const std::string count = n == 1 ? "um" : number(n);
    const char* plural = n > 1 ? "s " : " ";
    if (d <= 10) return count + " " + ttschars::cp1252(parts[d]) + plural;
    if (d == 100) return count + ttschars::cp1252(" centésimo") + plural;
    if (d == 1000) return count + ttschars::cp1252(" milésimo") + plural;
    return count + " " + number(d) + " avos ";
}

// The inch mark after a fraction: 1/2" (meia polegada).
bool inches(const std::string& t, std::size_t p) {
    return at(t, p) == '"' && !isLetter(at(t, p + 1)) && !isDigit(at(t, p + 1));
}

// ½, ¼, ¾ (and 1½): the sign of a fraction, or 0.
int signOf(char c) {
    const unsigned char b = ttschars::byte(c);
    return b == 0xBD ? 2 : b == 0xBC ? 4 : b == 0xBE ? 34 : 0;
}

std::string signWords(int sign, bool feminine) {
    if (sign == 2) return feminine ? "meia" : "meio";
    return sign == 4 ? "um quarto" : ttschars::cp1252("três quartos");
}

}  // namespace

// 1:50 after escala, proporção, razão, diluição; 1:100 anywhere
std::size_t ratioEnd(const std::string& t, std::size_t pos) {
    const std::size_t a = digitRun(t, pos);
    if (a < 1 || a > 3 || at(t, pos + a) != ':' || (pos > 1 && isDigit(at(t, pos - 1)))) return 0;
    std::size_t b = digitRun(t, pos + a + 1);
    std::size_t e = pos + a + 1 + b;
    // 1:50.000, the thousands grouped
    while (b >= 1 && b <= 3 && at(t, e) == '.' && digitRun(t, e + 1) == 3) {
        e += 4;
        b += 3;
    }
    if (b < 1 || b > 7 || isLetter(at(t, e)) || (at(t, e) == ':' && isDigit(at(t, e + 1)))) return 0;
    static const char* words[] = {"escala", "proporção", "razão", "diluição", "relação", "zoom", "mistura", "traço"};
    // escala 1:50, razão de 3:1
    std::string w = low(wordBefore(t, pos));
    if (w == "de" || w == "na" || w == "em") {
        const std::size_t s = wordBeforeStart(t, pos);
        w = s ? low(wordBefore(t, s)) : std::string();
    }
    for (const char* x : words)
        if (w == ttschars::cp1252(x)) return e;
    return b >= 3 ? e : 0;
}

std::size_t isFraction(const std::string& t, std::size_t pos) {
    if (const std::size_t e = ratioEnd(t, pos)) return e;
    if (signOf(at(t, pos))) {
        const std::size_t u = measureUnitEnd(t, pos + 1);  // ½ kg
        return u ? u : pos + 1;
    }
    if (const std::size_t w = digitRun(t, pos); w && w <= 3 && !isDigit(at(t, pos - 1))) {
        if (signOf(at(t, pos + w))) return pos + w + 1;
        if (at(t, pos + w) == ' ' && signOf(at(t, pos + w + 1))) return pos + w + 2;  // 2 ½
    }
    Parts f;
    if (!parse(t, pos, f)) return 0;
    // de 6/6 h; 1/2 h, 3/4h: the unit is the fraction's
    if (const std::size_t u = measureUnitEnd(t, f.end)) return u;
    // 1/2" (a pipe, a drill): inches
    if (inches(t, f.end) && std::count(t.begin(), t.begin() + static_cast<long>(pos - 1), '"') % 2 == 0)
        return f.end + 1;  // (but "0 1/5" in quotes is no inch)
    // 5/12 avos: the word the reading ends with anyway
    if (at(t, f.end) == ' ' && low(wordAfter(t, f.end)) == "avos") return f.end + 5;
    return f.end;
}

std::string sayFraction(const std::string& t, std::size_t pos, std::size_t end) {
    if (ratioEnd(t, pos) == end && at(t, pos + digitRun(t, pos)) == ':') {  // um para cinqüenta
        const std::size_t b = pos + digitRun(t, pos) + 1;
        std::uint64_t v = 0;
        for (std::size_t q = b; q < end; ++q)
            if (isDigit(at(t, q))) v = v * 10 + static_cast<std::uint64_t>(at(t, q) - '0');
        return number(valueOf(t, pos, digitRun(t, pos))) + " para " + number(v) + " ";
    }
    if (signOf(at(t, pos)) && end > pos + 1) {  // ½ kg meio quilo, ¾ h três quartos de hora
        const int s = signOf(at(t, pos));
        const bool fem = unitIsFeminine(t, pos + 1, end);
        return (s == 2 ? signWords(s, fem) + " " : signWords(s, fem) + " de ") + unitWords(t, pos + 1, end, s == 2) + " ";
    }
    if (const int s = signOf(at(t, end - 1))) {
        const bool feminine = feminineNounAfterCount(wordAfter(t, end), true);
        if (end == pos + 1) return signWords(s, feminine) + " ";
        // 1½ um e meio; 2 ½ xícaras duas e meia
        const bool many = feminine || feminineNounAfterCount(wordAfter(t, end), false);
        const std::string whole = number(valueOf(t, pos, digitRun(t, pos)));
        return (many ? feminineCount(whole) : whole) + " e " + signWords(s, many) + " ";
    }
    Parts f;
    parse(t, pos, f);
    const std::uint64_t n = valueOf(t, f.num, digitRun(t, f.num)), d = valueOf(t, f.den, digitRun(t, f.den));
    if (dosing(t, f)) {
        const std::string before = low(wordBefore(t, f.num));
        // a cada 8/8 h: a cada oito horas
        std::string r = before == "cada" ? number(n) + " "
                                         : (before == "de" ? "" : "de ") + number(n) + " em " + number(n) + " ";
        if (end > f.end) r += unitWords(t, f.end, end, false) + " ";
        return r;
    }
    if (end == f.end + 1 && inches(t, f.end)) {  // meia polegada, três quartos de polegada
        const std::string whole = f.whole ? feminineCount(number(valueOf(t, f.whole, digitRun(t, f.whole)))) + " e " : "";
        if (n == 1 && d == 2) return whole + "meia polegada ";
        return whole + fractionWords(n, d) + "de polegada ";
    }
    if (end > f.end && low(wordAfter(t, f.end)) == "avos" && !measureUnitEnd(t, f.end))
        return (f.whole ? number(valueOf(t, f.whole, digitRun(t, f.whole))) + " e " : std::string()) +
               fractionWords(n, d);  // 5/12 avos
    if (end > f.end) {  // meia hora, três quartos de hora, um e meio litro
        const bool fem = unitIsFeminine(t, f.end, end);
        const std::string unit = unitWords(t, f.end, end, true);
        const std::uint64_t w = f.whole ? valueOf(t, f.whole, digitRun(t, f.whole)) : 0;
        if (f.whole) return (fem ? feminineCount(number(w)) : number(w)) + " " + unitWords(t, f.end, end, w == 1) + " e " +
                            (n == 1 && d == 2 ? (fem ? "meia " : "meio ") : fractionWords(n, d));
        if (n == 1 && d == 2) return std::string(fem ? "meia " : "meio ") + unit + " ";
        return fractionWords(n, d) + "de " + unit + " ";
    }
    const bool feminine = feminineNounAfterCount(wordAfter(t, end), true) || feminineNounAfterCount(wordAfter(t, end), false);
    // 2 1/2 horas: duas e meia horas (the whole agrees with the noun too)
    std::string r;
    if (f.whole) {
        const std::string w = number(valueOf(t, f.whole, digitRun(t, f.whole)));
        r = (feminine ? feminineCount(w) : w) + " e ";
    }
    if (n == 1 && d == 2) {
        // 1/2 alone, a number of its own (simplifique 4/8 para 1/2): um meio
        const char next = at(t, end + (at(t, end) == ' ' ? 1 : 0));
        const bool alone = !f.whole && !isLetter(next) && !isDigit(next);
        // 1/2 do bolo: metade
        const std::string of = low(wordAfter(t, end));
        if (!f.whole && (of == "do" || of == "da" || of == "dos" || of == "das")) return "metade ";
        return r + (feminine ? "meia " : alone ? "um meio " : "meio ");
    }
    return r + fractionWords(n, d);
}

}  // namespace uttsnorm
