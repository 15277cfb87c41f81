// Dates: 25/12/2026, 1/1/99, 04-07-2025, 04.07.2025, the ISO 2025-07-04
// (2025-07-04T10:00 with its hour), the American 12/31/2002,
// 07/2025 and jul/2025 (month and year), 4 jul. 2025, 15-mar-2025, and a
// day and month without the year (04/07; 5/12 where the text says it is a date: after
// "dia", "em", "até", "desde", "a partir de", a weekday, or before a clock
// time). The first day of a month is "primeiro": 1/5, 1 de maio, dia 1;
// dia 05 is dia cinco.
// Month names come from the calendar table.
#include <algorithm>
#include <utility>

#include "tts/normalise.hpp"
#include "tts/ttschars.hpp"

namespace uttsnorm {

namespace {

struct Date {
    std::uint64_t day = 0, month = 0;
    std::size_t yearPos = 0, yearLen = 0, end = 0;
};

bool valid(const Date& d) { return d.month >= 1 && d.month <= 12 && d.day <= 31 && monthName(int(d.month)); }

// A year of two or four digits at p followed by no digit nor separator-digit.
bool year(const std::string& t, std::size_t p, bool fourOnly, Date& d) {
    const std::size_t y = digitRun(t, p);
    if (y != 4 && (y != 2 || fourOnly)) return false;
    const char after = at(t, p + y);
    if ((after == '/' || after == '-' || after == '.' || after == ',') && isDigit(at(t, p + y + 1))) return false;
    if (isLetter(after)) return false;
    d.yearPos = p;
    d.yearLen = y;
    d.end = p + y;
    return true;
}

bool dateContext(const std::string& t, std::size_t pos, std::size_t end) {
    const std::string before = low(wordBefore(t, pos));
    // até 1/3 do valor, entre 1/4 e 1/2 da área, até 3/4 de xícara: shares
    {
        std::size_t p = end;
        std::string w = low(wordAfter(t, p));
        if (at(t, p) == ' ' && (w == "e" || w == "a" || w == ttschars::cp1252("até"))) {  // 1/4 e 1/2 da
            p += 2 + w.size();
            const std::size_t a = digitRun(t, p);
            if (a && at(t, p + a) == '/') p += a + 1 + digitRun(t, p + a + 1);
            w = low(wordAfter(t, p));
        }
        if (at(t, p) == ' ' && (w == "do" || w == "da" || w == "dos" || w == "das" ||
                                (w == "de" && !isDigit(at(t, p + 4)))))
        {
            const std::string part = low(wordAfter(t, p + 3));  // em 5/12 de manhã
            if (!(w == "de" && (part == ttschars::cp1252("manhã") || part == "tarde" || part == "noite" ||
                                part == "madrugada")))
                return false;
        }
    }
    // reduziu em 1/3, dividir em 1/8: a share
    if (before == "em") {
        const std::size_t b = wordBeforeStart(t, pos);
        const std::string verb = b ? low(wordBefore(t, b)) : std::string();
        static const char* change[] = {"reduz", "aument", "cresc", "diminu", "divid", "multiplic", "cai", "sub",
                                       "sob", "elev", "acresc", "recu", "baix", "cort", "corrig", "reajust"};
        for (const char* c : change)
            if (verb.compare(0, std::string(c).size(), c) == 0 && verb.size() > 3) return false;
    }
    // the second of two days of one month: de 5 a 10/12, 25 e 26/10
    if (const std::size_t b = wordBeforeStart(t, pos); b && (before == "a" || before == "e")) {
        std::size_t q = b - 1;
        while (q >= 1 && isBlank(at(t, q))) --q;
        if (ttschars::byte(at(t, q)) == 0xBA) --q;
        std::size_t s = q;
        while (s >= 1 && isDigit(at(t, s))) --s;
        if (q > s && q - s <= 2 && (s == 0 || isBlank(at(t, s))) && valueOf(t, s + 1, q - s) >= 1 &&
            valueOf(t, s + 1, q - s) <= 31)
            return true;
    }
    // quarta, 10/7; segunda (5/5); hoje, 5/5: a weekday or a word of dates
    // and a comma or a bracket before
    std::string marked;
    {
        std::size_t q = pos - 1;
        while (q >= 1 && isBlank(at(t, q))) --q;
        if (at(t, q) == ',' || at(t, q) == '(' || at(t, q) == ':') {
            marked = low(wordBefore(t, q));
            if (weekdayNamed(marked)) return true;
        }
    }
    static const char* words[] = {"dia", "dias", "em", "até", "desde", "data", "entre", "hoje", "amanhã", "prazo",
                                  "vencimento", "validade", "emissão", "entrega", "feriado", "aniversário", "nascimento",
                                  "início", "término", "encerramento", "abertura", "inscrições", "postagem", "natal"};
    for (const char* w : words)
        if (before == ttschars::cp1252(w) || (marked == ttschars::cp1252(w) && marked != "em")) return true;
    if (weekdayNamed(before)) return true;
    if (before == "de" || before == "em" || before == "a" || before == "e" || before == ttschars::cp1252("até")) {
        // a partir de 5/12, o feriado de 2/11, de 1/6 a 30/6
        const std::size_t b = wordBeforeStart(t, pos);
        static const char* nouns[] = {"partir", "feriado", "data", "dia", "prazo", "vencimento", "semana",
                                      "entrega", "período", "sessão", "reunião", "evento"};
        const std::string w = b ? low(wordBefore(t, b)) : std::string();
        for (const char* x : nouns)
            if (w == ttschars::cp1252(x)) return true;
        // the second of two dates: 1/6 a 30/6 (but 1 3/4 de 6/6 h is a
        // share and a dosing interval)
        if (b && before != "de" && before != "em") {
            std::size_t q = b - 1;
            while (q >= 1 && isBlank(at(t, q))) --q;
            std::size_t s = q;
            while (s >= 1 && (isDigit(at(t, s)) || at(t, s) == '/')) --s;
            if (s < q && std::count(t.begin() + static_cast<long>(s), t.begin() + static_cast<long>(q), '/') == 1 &&
                isDigit(at(t, s + 1)) && isDigit(at(t, q)))
                return true;
        }
    }
    // the first of two dates: 1/6 a 30/6
    {
        std::size_t p = end;
        const std::string w = low(wordAfter(t, p));
        if ((w == "a" || w == ttschars::cp1252("até")) && at(t, p) == ' ') {
            p += 2 + w.size();
            const std::size_t a = digitRun(t, p);
            if (a >= 1 && a <= 2 && at(t, p + a) == '/' && digitRun(t, p + a + 1) >= 1 && digitRun(t, p + a + 1) <= 2 &&
                valueOf(t, p + a + 1, digitRun(t, p + a + 1)) <= 12)
                return true;
        }
    }
    // before a clock time: 5/12 às 14h, 5/12, 9h
    std::size_t p = end;
    while (isBlank(at(t, p)) || at(t, p) == ',' || at(t, p) == '-') ++p;
    const std::string next = low(wordAfter(t, p));
    if (next == ttschars::cp1252("às") || next == "as" || next == "das") p += next.size() + 1;
    while (isBlank(at(t, p))) ++p;
    return timeEnd(t, p, false) != 0;
}

// Lei 5/2020, Portaria nº 5/2020, Processo 12/2024: a number and its year
bool documentNumber(const std::string& t, std::size_t pos) {
    std::size_t q = pos - 1;
    while (q >= 1 && isBlank(at(t, q))) --q;
    if (ttschars::byte(at(t, q)) == 0xBA || ttschars::byte(at(t, q)) == 0xB0) return true;  // nº 5/2020
    const std::string w = low(wordBefore(t, pos));
    static const char* kinds[] = {"lei", "leis", "decreto", "portaria", "resolução", "processo", "ofício", "edital",
                                  "parecer", "instrução", "circular", "memorando", "medida", "emenda", "ata",
                                  "contrato", "convênio", "pregão", "licitação", "nota", "protocolo", "n", "nº",
                                  "número", "art", "artigo", "inciso"};
    for (const char* k : kinds)
        if (w == ttschars::cp1252(k)) return true;
    return false;
}

bool parse(const std::string& t, std::size_t pos, Date& d) {
    if (pos > 1 && (isDigit(at(t, pos - 1)) || at(t, pos - 1) == '/' || at(t, pos - 1) == '-')) return false;
    const std::size_t a = digitRun(t, pos);
    // jul/2025, julho/2025
    if (a == 0) {
        if (pos > 1 && isLetter(at(t, pos - 1))) return false;
        std::size_t e = pos;
        while (isLetter(at(t, e))) ++e;
        const CalendarName* m = monthNamed(t.substr(pos - 1, e - pos));
        if (!m) return false;
        const bool stop = at(t, e) == '.';
        if (stop) ++e;
        // jul/2025, jul/25, dez. 2022, dezembro 2022
        if (at(t, e) == '/' ? !year(t, e + 1, false, d) : (at(t, e) != ' ' || !year(t, e + 1, true, d))) return false;
        // Jan 2025 as jan. 2025, but mar 2025 and dez 2025 may be words
        const std::string w = low(t.substr(pos - 1, e - pos));
        if (at(t, e) == ' ' && !stop && w != low(m->name) && (w == "mar" || w == "dez")) return false;
        const std::uint64_t y = valueOf(t, d.yearPos, d.yearLen);
        if (at(t, e) == ' ' && (y < 1500 || y > 2199)) return false;
        d.month = static_cast<std::uint64_t>(m->number);
        return true;
    }
    // 1º/5/2025, 1º.1.2025: the first day with its ordinal sign
    const bool sign = a >= 1 && a <= 2 && ttschars::byte(at(t, pos + a)) == 0xBA &&
                      (at(t, pos + a + 1) == '/' || at(t, pos + a + 1) == '.') && isDigit(at(t, pos + a + 2));
    const char s1 = at(t, pos + a + (sign ? 1 : 0));
    const std::size_t p2 = pos + a + (sign ? 2 : 1), b = digitRun(t, p2);
    // 2025-07-04, 2025/07/04
    if (a == 4 && (s1 == '-' || s1 == '/') && b >= 1 && b <= 2 && at(t, p2 + b) == s1) {
        const std::size_t p3 = p2 + b + 1, c = digitRun(t, p3);
        // 2025-07-04T10:00: the hour after the T
        const bool clock = at(t, p3 + c) == 'T' && isDigit(at(t, p3 + c + 1));
        if (c < 1 || c > 2 || isDigit(at(t, p3 + c)) || (isLetter(at(t, p3 + c)) && !clock)) return false;
        d.yearPos = pos;
        d.yearLen = 4;
        d.month = valueOf(t, p2, b);
        d.day = valueOf(t, p3, c);
        d.end = p3 + c + (clock ? 1 : 0);
        return d.day >= 1 && valid(d);
    }
    if (a < 1 || a > 2) return false;
    // 1º de maio, 1.º de maio, 1° de maio: the first day with its sign
    {
        std::size_t q = pos + a;
        if (at(t, q) == '.') ++q;
        const unsigned char o = ttschars::byte(at(t, q));
        if ((o == 0xBA || o == 0xB0) && at(t, q + 1) == ' ' && low(wordAfter(t, q + 1)) == "de") {
            const std::string m = low(wordAfter(t, q + 4));
            const CalendarName* c = monthNamed(m);
            d.day = valueOf(t, pos, a);
            if (c && m == low(c->name) && d.day >= 1 && d.day <= 31) {
                d.end = q + 1;
                return true;
            }
        }
    }
    // 4 jul. 2025, 4 jul 2025, 1 de maio
    if (s1 == ' ') {
        std::size_t e = p2;
        while (isLetter(at(t, e))) ++e;
        const std::string w = t.substr(p2 - 1, e - p2);
        d.day = valueOf(t, pos, a);
        if (low(w) == "de") {
            const CalendarName* m = monthNamed(wordAfter(t, e));
            if (!m || low(wordAfter(t, e)) != low(m->name) || d.day < 1 || d.day > 31) return false;
            d.end = pos + a;  // only the day: the words stay as written
            return true;
        }
        const CalendarName* m = monthNamed(w);
        if (!m || w.size() != 3 || d.day < 1 || d.day > 31) return false;
        d.month = static_cast<std::uint64_t>(m->number);
        const bool stop = at(t, e) == '.';
        if (stop) ++e;
        if (at(t, e) == ' ' && year(t, e + 1, true, d)) return true;
        d.end = e;
        return stop;  // 4 set. (4 set alone may be no date)
    }
    if (s1 != '/' && s1 != '-' && s1 != '.') return false;
    if (b == 0 && s1 != '.' && isLetter(at(t, p2))) {  // 15-mar-2025, 15/mar/2025, 15/mar
        std::size_t e = p2;
        while (isLetter(at(t, e))) ++e;
        const CalendarName* m = monthNamed(t.substr(p2 - 1, e - p2));
        d.day = valueOf(t, pos, a);
        if (!m || d.day < 1 || d.day > 31) return false;
        d.month = static_cast<std::uint64_t>(m->number);
        if (at(t, e) == s1 && year(t, e + 1, false, d)) return true;
        d.end = e;
        return !isDigit(at(t, e)) && at(t, e) != s1;
    }
    if (b < 1 || b > 2) {
        // 07/2025: a month and its year
        if (s1 != '/' || b != 4 || !year(t, p2, true, d)) return false;
        d.month = valueOf(t, pos, a);
        d.day = 0;
        const std::uint64_t y = valueOf(t, p2, 4);
        return y >= 1900 && y <= 2099 && valid(d) && !documentNumber(t, pos);
    }
    d.day = valueOf(t, pos, a);
    d.month = valueOf(t, p2, b);
    // 12/31/2002, the American order, with its year only
    if (d.month > 12 && d.day <= 12 && at(t, p2 + b) == s1 && digitRun(t, p2 + b + 1) == 4) std::swap(d.day, d.month);
    if (d.day < 1 || !valid(d)) return false;
    if (at(t, p2 + b) == s1) return year(t, p2 + b + 1, s1 != '/', d);
    // a day and a month alone: written with a zero, or in a date's context
    if (s1 != '/' || isDigit(at(t, p2 + b)) || isLetter(at(t, p2 + b)) || at(t, p2 + b) == '/') return false;
    if ((at(t, p2 + b) == ',' || at(t, p2 + b) == '.') && isDigit(at(t, p2 + b + 1))) return false;
    d.end = p2 + b;
    return sign || at(t, pos) == '0' || at(t, p2) == '0' || dateContext(t, pos, d.end);
}

std::string day(std::uint64_t v) { return v == 1 ? std::string("primeiro") : number(v); }

// jan.-mar., seg-sex: a span of months or of weekdays (janeiro a março,
// segunda a sexta).
struct Span {
    const CalendarName* from = nullptr;
    const CalendarName* to = nullptr;
    std::size_t end = 0;
};

std::size_t letterRun(const std::string& t, std::size_t p) {
    std::size_t q = p;
    while (isLetter(at(t, q))) ++q;
    return q - p;
}

bool span(const std::string& t, std::size_t pos, Span& s) {
    if (pos > 1 && isLetter(at(t, pos - 1))) return false;
    const std::size_t a = letterRun(t, pos);
    if (a < 3) return false;
    const std::string first = t.substr(pos - 1, a);
    const bool month = monthNamed(first) != nullptr;
    s.from = month ? monthNamed(first) : weekdayNamed(first);
    if (s.from == nullptr) return false;
    std::size_t q = pos + a;
    if (at(t, q) == '.') ++q;
    if (at(t, q) != '-') return false;
    ++q;
    const std::size_t b = letterRun(t, q);
    if (b < 3) return false;
    s.to = month ? monthNamed(t.substr(q - 1, b)) : weekdayNamed(t.substr(q - 1, b));
    if (s.to == nullptr || s.to == s.from) return false;
    // (a full stop after it is left to the sentence: silent before a small
    // letter, the end of the sentence before a capital)
    s.end = q + b;
    return !isDigit(at(t, s.end)) && at(t, s.end) != '-';
}

// segunda-feira: segunda, as a span says it
std::string spanName(const CalendarName& c) {
    const std::size_t dash = c.name.find('-');
    return dash == std::string::npos ? c.name : c.name.substr(0, dash);
}

}  // namespace

std::size_t isDate(const std::string& t, std::size_t pos) {
    Date d;
    if (parse(t, pos, d)) return d.end;
    if (Span s; span(t, pos, s)) return s.end;
    // dia 1: the first of the month
    const char after = at(t, pos + 1);
    const bool alone = after == '\0' || isBlank(after) || after == ',' || after == ';' || after == ')' ||
                       after == '!' || after == '?' || (after == '.' && !isDigit(at(t, pos + 2)));
    if (at(t, pos) == '1' && alone && !isDigit(at(t, pos - 1)) && low(wordBefore(t, pos)) == "dia") return pos + 1;
    // de 1 a 5 de maio, 1 e 2 de junho: the first of two days
    if (at(t, pos) == '1' && after == ' ' && !isDigit(at(t, pos - 1))) {
        const std::string w = low(wordAfter(t, pos + 1));
        std::size_t q = pos + 2 + w.size();
        const std::size_t b = (w == "a" || w == "e") && at(t, q) == ' ' ? digitRun(t, q + 1) : 0;
        if (b >= 1 && b <= 2) {
            q += 1 + b;
            const CalendarName* m = at(t, q) == ' ' && low(wordAfter(t, q)) == "de" ? monthNamed(wordAfter(t, q + 3)) : nullptr;
            if (m && low(wordAfter(t, q + 3)) == low(m->name)) return pos + 1;
        }
    }
    // dia 05, dia 01: the day without its zero
    if (at(t, pos) == '0' && digitRun(t, pos) == 2 && at(t, pos + 1) != '0' && !isDigit(at(t, pos - 1)) &&
        low(wordBefore(t, pos)) == "dia") {
        const char after2 = at(t, pos + 2);
        if (after2 == '\0' || isBlank(after2) || after2 == ',' || after2 == ';' || after2 == ')' ||
            (after2 == '.' && !isDigit(at(t, pos + 3))))
            return pos + 2;
    }
    return 0;
}

std::string sayDate(const std::string& t, std::size_t pos, std::size_t) {
    Date d;
    if (!parse(t, pos, d)) {
        if (Span s; span(t, pos, s))
            return spanName(*s.from) + (low(wordBefore(t, pos)) == "entre" ? " e " : " a ") + spanName(*s.to) + " ";
        return day(valueOf(t, pos, digitRun(t, pos))) + " ";  // dia 1, dia 05
    }
    if (!d.month) return day(d.day) + " ";      // 1 de maio: the rest is words
    std::string r = d.day ? day(d.day) + " de " : std::string();
    r += monthName(int(d.month));
    if (d.yearLen) r += " de " + number(valueOf(t, d.yearPos, d.yearLen));
    if (at(t, d.end - 1) == 'T') r += ttschars::cp1252(" às");
    return r + " ";
}

}  // namespace uttsnorm
