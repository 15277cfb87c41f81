// Ranges and pairs: 1643-1715 and 10-20 (mil seiscentos e quarenta e três
// a mil setecentos e quinze), 2019-22 (dois mil e dezenove a vinte e dois), clock times 8h-12h and 13h30-17h (das oito
// horas às doze horas), scores and sizes 2 x 1 (dois a um) and 1920 x 1080
// (por), two figures of one measure 120/80 mmHg (cento e vinte por oitenta),
// two measures 0% - 100% (zero por cento a cem por cento), versions 2.0-3.0
// (dois ponto zero a três ponto zero).
// A telephone number (3333-4444, 321-4567) is no range.
#include "tts/normalise.hpp"
#include "tts/ttschars.hpp"

namespace uttsnorm {

namespace {

enum class Pair { none, numbers, times, score, slash, measures, decimals, versions };

// 2.0 or 1.10 (a version, never a thousand) at p: its end, or 0.
std::size_t versionEnd(const std::string& t, std::size_t p) {
    const std::size_t a = digitRun(t, p);
    if (a < 1 || a > 2 || at(t, p + a) != '.') return 0;
    const std::size_t b = digitRun(t, p + a + 1);
    return b >= 1 && b <= 2 ? p + a + 1 + b : 0;
}

// 2.0: dois ponto zero
std::string versionWords(const std::string& t, std::size_t p, std::size_t e) {
    const std::size_t a = digitRun(t, p);
    return number(valueOf(t, p, a)) + " ponto " + chunkWords(t.substr(p + a, e - p - a - 1)) + " ";
}

// The value of a number written with "." between thousands.
std::uint64_t plainValue(const std::string& t, std::size_t p, std::size_t e) {
    std::uint64_t v = 0;
    for (; p < e; ++p)
        if (isDigit(at(t, p)) && v < 100000000000000000ULL) v = v * 10 + static_cast<std::uint64_t>(at(t, p) - '0');
    return v;
}

struct Parts {
    Pair kind = Pair::none;
    std::size_t second = 0, end = 0;
};

// The dash of a range, blanks allowed around it: the position after it.
std::size_t dashAfter(const std::string& t, std::size_t p, bool blanks) {
    std::size_t q = p;
    if (blanks && at(t, q) == ' ') ++q;
    if (at(t, q) != '-') return 0;
    ++q;
    if (blanks && at(t, q) == ' ') ++q;
    return (q == p + 1 || q == p + 3) ? q : 0;
}

bool parse(const std::string& t, std::size_t pos, Parts& r) {
    if (pos > 1 && (isDigit(at(t, pos - 1)) || isLetter(at(t, pos - 1)) || at(t, pos - 1) == '-')) return false;
    // times
    if (const std::size_t e = timeEnd(t, pos, false)) {
        const std::size_t s = dashAfter(t, e, true);
        if (s && timeEnd(t, s, false) && (at(t, e - 1) == 'h' || at(t, e - 1) == 'H' || isDigit(at(t, e - 1)))) {
            r = {Pair::times, s, timeEnd(t, s, false)};
            return true;
        }
    }
    // 0% - 100%, 10 cm-20 cm: two measures
    if (const std::size_t e = isMeasure(t, pos)) {
        const std::size_t s = dashAfter(t, e, true);
        if (const std::size_t e2 = s ? isMeasure(t, s) : 0) {
            r = {Pair::measures, s, e2};
            return true;
        }
    }
    const std::size_t a = digitRun(t, pos);
    // 8-12h, 8 - 12h: the hour sign after the second only
    if (a >= 1 && a <= 2 && dashAfter(t, pos + a, true)) {
        const std::size_t s = dashAfter(t, pos + a, true);
        const std::size_t e = timeEnd(t, s, false);
        if (e && valueOf(t, pos, a) <= 23 && (at(t, e - 1) == 'h' || at(t, e - 1) == 'H') &&
            valueOf(t, pos, a) < valueOf(t, s, digitRun(t, s))) {
            r = {Pair::times, s, e};
            return true;
        }
    }
    if (a < 1) return false;
    // scores and sizes
    std::size_t q = pos + a;
    const bool spaced = at(t, q) == ' ';
    if (spaced) ++q;
    if ((at(t, q) == 'x' || at(t, q) == 'X') && (at(t, q + 1) == ' ') == spaced) {
        const std::size_t d = q + 1 + (spaced ? 1 : 0);
        const std::size_t b = digitRun(t, d);
        if (b && !(at(t, d + b) == ',' && isDigit(at(t, d + b + 1)))) {
            // 10 x 20 cm: a size and its unit
            const std::size_t unit = measureUnitEnd(t, d + b);
            if (unit || !isLetter(at(t, d + b))) {
                r = {Pair::score, d, unit ? unit : d + b};
                return true;
            }
        }
    }
    // 120/80 mmHg: two figures of one measure
    if (at(t, pos + a) == '/' && a <= 3) {
        const std::size_t bp = pos + a + 1, b = digitRun(t, bp);
        const std::size_t unit = b && b <= 3 ? measureUnitEnd(t, bp + b) : 0;
        if (unit && valueOf(t, pos, a) > valueOf(t, bp, b)) {
            r = {Pair::slash, bp, unit};
            return true;
        }
    }
    // 1.5-2.0, versão 2.0-3.0: versions
    if (const std::size_t v = versionEnd(t, pos); v && at(t, v) == '-') {
        const std::size_t v2 = versionEnd(t, v + 1);
        if (v2 && !isDigit(at(t, v2)) && !(at(t, v2) == '.' && isDigit(at(t, v2 + 1)))) {
            r = {Pair::versions, v + 1, v2};
            return true;
        }
    }
    // 1,5-2,0 mg: decimals
    if (const std::size_t de = isDecimal(t, pos); de && t.substr(pos - 1, de - pos).find(',') != std::string::npos) {
        const std::size_t s = dashAfter(t, de, false);
        const std::size_t e2 = s ? (isDecimal(t, s) ? isDecimal(t, s) : isCardinal(t, s)) : 0;
        if (e2 && !isDigit(at(t, e2)) && !(at(t, e2) == '-' && isDigit(at(t, e2 + 1)))) {
            const std::size_t unit = measureUnitEnd(t, e2);
            r = {Pair::decimals, s, unit ? unit : e2};
            return true;
        }
        return false;
    }
    // numbers, 1.000-2.000 with their thousands, 1939 - 1945 with blanks,
    // and a unit after them
    const std::size_t ae = isCardinal(t, pos);
    const bool blanks = at(t, ae) == ' ' && at(t, ae + 1) == '-' && at(t, ae + 2) == ' ';
    if (at(t, ae) != '-' && !blanks) return false;
    const std::size_t bp = ae + (blanks ? 3 : 1), be = isCardinal(t, bp);
    if (!be) return false;
    const char after = at(t, be);
    if (after == '-' || ((after == '.' || after == ',') && isDigit(at(t, be + 1)))) return false;
    const bool grouped = ae != pos + a || be != bp + digitRun(t, bp);
    const std::size_t b = digitRun(t, bp);
    if (!grouped && (a > 4 || b > 4 || (a == 3 && b == 4))) return false;  // 321-4567
    if (blanks && grouped) return false;
    const std::uint64_t from = plainValue(t, pos, ae), to = plainValue(t, bp, be);
    const std::size_t unit = measureUnitEnd(t, be);
    // 1500-3000 mg, 1500-3000 (round figures) are ranges, 3333-4444 a code
    const bool round = from % 100 == 0 && to % 100 == 0;
    // 2019-22: the second year by its last two figures
    const bool shortYear = !grouped && a == 4 && b == 2 && from >= 1500 && from <= 2199 && to > from % 100;
    if ((from >= to && !shortYear) || (!grouped && to > 2100 && !unit && !round) || (at(t, pos) == '0' && ae > pos + 1) ||
        at(t, bp) == '0')
        return false;
    r = {Pair::numbers, bp, unit ? unit : be};
    return true;
}

}  // namespace

std::size_t isRange(const std::string& t, std::size_t pos) {
    Parts r;
    return parse(t, pos, r) ? r.end : 0;
}

std::string sayRange(const std::string& t, std::size_t pos, std::size_t end) {
    Parts r;
    parse(t, pos, r);
    if (r.kind == Pair::times) {
        const std::size_t e1 = timeEnd(t, pos, false);
        std::string first = e1 ? sayTime(t, pos, e1) : feminineCount(number(valueOf(t, pos, digitRun(t, pos)))) + " ";
        const std::string before = low(wordBefore(t, pos));
        const bool between = before == "entre";
        const bool opened = between || before == "das" || before == "de" || before == "da";
        const bool oneFirst = valueOf(t, pos, digitRun(t, pos)) == 1;
        const std::string open = opened ? "" : (oneFirst ? "da " : "das ");
        const bool oneSecond = valueOf(t, r.second, digitRun(t, r.second)) == 1;
        return open + first + (between ? "e " : oneSecond ? ttschars::cp1252("à ") : ttschars::cp1252("às ")) +
               sayTime(t, r.second, end);
    }
    if (r.kind == Pair::versions)
        return versionWords(t, pos, r.second - 1) + "a " + versionWords(t, r.second, end);
    if (r.kind == Pair::measures)
        return sayMeasure(t, pos, isMeasure(t, pos)) + "a " + sayMeasure(t, r.second, end);
    if (r.kind == Pair::decimals) {
        const std::size_t e2 = isDecimal(t, r.second) ? isDecimal(t, r.second) : isCardinal(t, r.second);
        std::string said = sayDecimal(t, pos, isDecimal(t, pos)) + "a " +
                           (isDecimal(t, r.second) ? sayDecimal(t, r.second, e2) : number(plainValue(t, r.second, e2)) + " ");
        // 0,5-1 kg: the unit agrees with the second figure
        if (end > e2) said += unitWords(t, e2, end, !isDecimal(t, r.second) && plainValue(t, r.second, e2) == 1) + " ";
        return said;
    }
    if (r.kind == Pair::numbers) {
        const std::size_t be = isCardinal(t, r.second);
        // entre 10-20: entre dez e vinte
        const std::string joint = low(wordBefore(t, pos)) == "entre" ? " e " : " a ";
        const std::string words = number(plainValue(t, pos, isCardinal(t, pos))) + joint + number(plainValue(t, r.second, be));
        if (end > be)  // 100-200 mg
            return (unitIsFeminine(t, be, end) ? feminineCount(words) : words) + " " + unitWords(t, be, end, false) + " ";
        return (feminineNounAfterCount(wordAfter(t, end), false) ? feminineCount(words) : words) + " ";
    }
    const std::uint64_t from = valueOf(t, pos, digitRun(t, pos)), to = valueOf(t, r.second, digitRun(t, r.second));
    if (r.kind == Pair::slash) {
        const std::size_t be = r.second + digitRun(t, r.second);
        return number(from) + " por " + number(to) + " " + unitWords(t, be, end, false) + " ";
    }
    if (r.kind == Pair::score) {
        const std::size_t be = r.second + digitRun(t, r.second);
        if (end > be) return number(from) + " por " + number(to) + " " + unitWords(t, be, end, false) + " ";
        const bool small = digitRun(t, pos) <= 2 && digitRun(t, r.second) <= 2;
        return number(from) + (small ? " a " : " por ") + number(to) + " ";
    }
    return {};
}

}  // namespace uttsnorm
