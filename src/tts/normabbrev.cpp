// Abbreviations: a word of the abbreviation table followed by a full stop
// (Sr., pág., a.C., p. ex.), a title with the ordinal sign (Profª, Sr.ª),
// the plural of a listed one (fls. from fl.), those written with a slash
// (s/n, c/c, p/), and the weekdays and months
// of the calendar table (seg., ter., jan.). The full stop is part of the
// abbreviation: never said "ponto", never the end of a sentence (only the
// end of the line keeps it). Where the table lists an abbreviation more
// than once, the article before it chooses the expansion of its gender (o
// ref. referido, a ref. referência); a line may mark the gender with a last
// field, "ref = referência | f".
#include <algorithm>

#include "tts/normalise.hpp"
#include "tts/ttschars.hpp"

namespace uttspreproc {

namespace {

struct Abbreviation {
    std::string abbreviation;  // upper case
    std::string written;       // as the file writes it (Cel, cel)
    std::string expansion;
    char gender = 0;  // 'm', 'f' or unmarked
};

std::vector<Abbreviation> table;

}  // namespace

std::size_t abbreviationCount() { return table.size(); }
void clearAbbreviations() { table.clear(); }

bool loadAbbreviations(const std::string& fileName) {
    table.clear();
    // The tables of the other kinds lie beside the abbreviations.
    std::string base = fileName;
    const std::size_t dot = base.find_last_of('.'), slash = base.find_last_of("/\\");
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) base.erase(dot);
    uttsnorm::loadTables(base);
    std::vector<std::string> lines;
    if (!ttschars::readLines(fileName, lines)) return false;
    for (const std::string& raw : lines) {
        if (table.size() >= abbreviationCapacity) break;
        std::string line = ttschars::trim(raw);
        if (line.empty() || line[0] == ';') continue;
        std::size_t eq = line.find('=');
        Abbreviation a;
        if (eq == std::string::npos) {
            a.expansion = line.substr(0, 999);
        } else {
            a.written = ttschars::trim(line.substr(0, eq));
            a.abbreviation = ttschars::upper(a.written);
            a.expansion = ttschars::trim(line.substr(eq + 1, 999));
            const std::size_t bar = a.expansion.rfind('|');
            if (bar != std::string::npos) {
                const std::string g = ttschars::trim(a.expansion.substr(bar + 1));
                if (g == "m" || g == "f") a.gender = g[0];
                a.expansion = ttschars::trim(a.expansion.substr(0, bar));
            }
        }
        table.push_back(std::move(a));
    }
    return true;
}

std::string findAbbreviation(const std::string& word) {
    const std::string key = ttschars::upper(word);
    for (const Abbreviation& a : table)
        if (a.abbreviation == key) return a.expansion;
    return {};
}

}  // namespace uttspreproc

namespace uttsnorm {

namespace {

using uttspreproc::table;

bool among(const std::string& w, std::initializer_list<const char*> list) {
    for (const char* x : list)
        if (w == ttschars::cp1252(x)) return true;
    return false;
}

// 'm' or 'f' for an article or a determiner that shows a gender, else 0.
char genderOf(const std::string& word) {
    const std::string w = low(word);
    if (among(w, {"o", "os", "do", "dos", "no", "nos", "ao", "aos", "pelo", "pelos", "um", "uns", "num", "dum",
                  "este", "esse", "aquele", "deste", "desse", "daquele", "neste", "nesse", "seu", "meu", "nosso"}))
        return 'm';
    if (among(w, {"a", "as", "da", "das", "na", "nas", "à", "às", "pela", "pelas", "uma", "umas", "numa", "duma",
                  "esta", "essa", "aquela", "desta", "dessa", "daquela", "nesta", "nessa", "sua", "minha", "nossa"}))
        return 'f';
    return 0;
}

char genderOfExpansion(const uttspreproc::Abbreviation& a) {
    if (a.gender) return a.gender;
    const std::string first = a.expansion.substr(0, a.expansion.find(' '));
    return uttspreproc::isFeminineNoun(first) ? 'f' : 'm';
}

// The plural of an expansion: the first word takes it (folha folhas,
// artigo artigos, ação ações, mulher mulheres, jornal jornais).
std::string plural(const std::string& e) {
    const std::size_t cut = std::min(e.find(' '), e.size());
    std::string w = e.substr(0, cut);
    const auto ends = [&](const std::string& s) { return w.size() > s.size() && w.compare(w.size() - s.size(), s.size(), s) == 0; };
    if (ends(ttschars::cp1252("ão"))) w.replace(w.size() - 2, 2, ttschars::cp1252("ões"));
    else if (ends("r") || ends("z")) w += "es";
    else if (ends("l")) w.replace(w.size() - 1, 1, "is");
    else if (ends("m")) w.replace(w.size() - 1, 1, "ns");
    else if (!ends("s")) w += "s";
    return w + e.substr(cut);
}

// Weekdays and months written short: seg., ter., jan., dez. Those that are
// also words (ter, dez, mar) need a small letter or a digit after them.
std::string calendarWord(const std::string& t, const std::string& word, std::size_t stop) {
    const CalendarName* c = weekdayNamed(word);
    if (!c) c = monthNamed(word);
    if (!c || word.size() > 4) return {};  // segunda. ends a sentence
    const std::string w = low(word);
    if (w == "ter" || w == "dez" || w == "mar" || w == "sex" || w == "dom") {
        std::size_t p = stop + 1;
        while (isBlank(at(t, p))) ++p;
        const char next = at(t, p);
        if (!next || isUpperLetter(next)) return {};
    }
    return c->name;
}

// The title with the ordinal sign at pos: its end and expansion.
std::size_t title(const std::string& t, std::size_t pos, std::string& out) {
    const auto sign = [](char c) { return ttschars::byte(c) == 0xAA || ttschars::byte(c) == 0xBA; };
    std::size_t e = pos;
    while (isLetter(at(t, e))) ++e;
    const bool dotted = at(t, e) == '.' && sign(at(t, e + 1));
    if (e == pos || (!sign(at(t, e)) && !dotted) || (e == pos + 1 && (at(t, pos) == 'n' || at(t, pos) == 'N')))
        return 0;  // nº is a number's sign
    const std::string word = t.substr(pos - 1, e - pos);
    const char s = dotted ? at(t, e + 1) : at(t, e);
    out = uttspreproc::findAbbreviation(word + s);
    if (out.empty()) out = uttspreproc::findAbbreviation(word + (ttschars::byte(s) == 0xAA ? "a" : "o"));
    if (out.empty()) out = word;
    return e + (dotted ? 2 : 1);
}

// a.C., d.C., p.ex. (blanks allowed after the inner stops), followed by a
// full stop and a blank, a comma or the end of the line.
std::size_t dotted(const std::string& t, std::size_t pos, std::string& out) {
    for (const auto& a : table) {
        const std::size_t len = a.abbreviation.size();
        if (a.abbreviation.find_first_of(". ") == std::string::npos) continue;  // a.C, p.ex, et al
        std::size_t q = pos;
        bool same = true;
        for (std::size_t i = 0; i < len && same; ++i) {
            same = ttschars::upper(at(t, q)) == a.abbreviation[i];
            ++q;
            if (same && a.abbreviation[i] == '.' && at(t, q) == ' ') ++q;
        }
        if (!same) continue;
        if (at(t, q) == ':' || (at(t, q) == ',' && at(t, q - 1) != ' ')) {  // p. ex: 9:30
            out = a.expansion;
            return q;
        }
        if (at(t, q) != '.') continue;
        const char after = at(t, q + 1);
        if (after != '\0' && !isBlank(after) && after != ',' && after != ';' && after != ')' && after != ':') continue;
        out = a.expansion;
        return q + 1;
    }
    return 0;
}

// What follows the full stop at e: blanks skipped.
std::size_t nextAfter(const std::string& t, std::size_t stop) {
    std::size_t p = stop + 1;
    while (isBlank(at(t, p))) ++p;
    return p;
}

bool endsIn(const std::string& s, char c) { return !s.empty() && s.back() == c && s.find(' ') == std::string::npos; }

// Weekdays and months that are also words (ter, mar, dez, sex, dom) are
// the abbreviation before a day, a date or a year, in a list of weekdays
// or months (seg. a sex., jan. e mar.), and the weekday after the article
// that goes with it (na ter., no dom.).
bool calendarUse(const std::string& t, std::size_t pos, std::size_t stop, const std::string& word) {
    const std::size_t n = nextAfter(t, stop);
    if (isDigit(at(t, n)) || (at(t, n) == ',' && isDigit(at(t, nextAfter(t, n))))) return true;  // ter., 6/5
    const auto calendar = [](const std::string& w) { return weekdayNamed(w) || monthNamed(w); };
    const std::string next = low(wordAfter(t, n - 1 > stop ? n - 1 : stop + 1));
    if (next == "a" || next == "e" || next == "ou") {
        const std::string then = wordAfter(t, n + next.size());
        if (calendar(then)) return true;
    }
    const std::string before = low(wordBefore(t, pos));
    if (calendar(before) && before.size() <= 3) return true;
    // 25 de dez., dez. de 2025
    if (before == "de") {
        std::size_t q = wordBeforeStart(t, pos) - 1;
        while (q >= 1 && isBlank(at(t, q))) --q;
        if (isDigit(at(t, q))) return true;
    }
    if (next == "de" && isDigit(at(t, n + 3))) return true;
    if (before == "a" || before == "e" || before == "ou" || before == ttschars::cp1252("à")) {
        const std::size_t b = wordBeforeStart(t, pos);
        if (b && calendar(wordBefore(t, b))) return true;
    }
    const std::string w = low(word);
    if (w == "ter" || w == "sex") return before == "na" || before == "da" || before == "toda" || before == "nas";
    if (w == "dom") return before == "no" || before == "do" || before == "todo";
    return false;
}

bool ambiguous(const std::string& word) {
    const std::string w = low(word);
    return w == "ter" || w == "mar" || w == "dez" || w == "sex" || w == "dom";
}

// A first name a woman bears (Maria, Ana, Beatriz): for D. (dona).
bool womansName(const std::string& name) {
    if (name.size() < 2 || !isUpperLetter(name[0])) return false;
    static const char* names[] = {"beatriz", "isabel", "inês", "raquel", "ester", "ruth", "carmen", "leonor",
                                  "mercedes", "lourdes", "glória", "zilda", "ivone"};
    const std::string l = low(name);
    for (const char* n : names)
        if (l == ttschars::cp1252(n)) return true;
    return l.back() == 'a';
}

// The expansion of a listed word. Where the table lists the word more than
// once: before ":" or a number the noun (Ref.: pedido, referência); before
// a word the adjective in -o (ref. contrato, referido); else the one of
// the article's gender (do ref.).
std::string expansionFor(const std::string& word, const std::string& before, const std::string& next, bool label) {
    const std::string key = ttschars::upper(word);
    const char want = genderOf(before);
    std::vector<const uttspreproc::Abbreviation*> found;
    for (const auto& a : table)
        if (a.abbreviation == key) found.push_back(&a);
    // Cel. coronel, cel. celular: the one written as the text writes it
    bool cases = false;
    for (const auto* a : found) cases = cases || a->written != found.front()->written;
    for (const auto* a : found)
        if (cases && a->written == word) return a->expansion;
    if (found.size() > 1) {
        for (const auto* a : found) {
            const bool adjective = endsIn(a->expansion, 'o');
            if (label && !adjective) return a->expansion;
            if (!label && !next.empty() && adjective) return a->expansion;
        }
        for (const auto* a : found)
            if (!label && next.empty() && want && genderOfExpansion(*a) == want) return a->expansion;
    }
    if (!found.empty()) return found.front()->expansion;
    // fls. from fl., arts. from art.
    if (key.size() >= 3 && key.back() == 'S') {
        const std::string single = expansionFor(word.substr(0, word.size() - 1), before, next, label);
        if (!single.empty()) return plural(single);
    }
    return {};
}

std::size_t parse(const std::string& t, std::size_t pos, std::string& out) {
    if (!isLetter(at(t, pos)) || (pos > 1 && (isLetter(at(t, pos - 1)) || isDigit(at(t, pos - 1))))) return 0;
    if (const std::size_t e = title(t, pos, out)) return e;
    if (const std::size_t e = dotted(t, pos, out)) return e;
    std::size_t e = pos;
    while (isLetter(at(t, e))) ++e;
    if (at(t, e) == '/') {
        // s/n, c/c, e/ou, and p/ or c/ before a blank: as the table says
        std::size_t f = e + 1;
        while (isLetter(at(t, f))) ++f;
        if (isDigit(at(t, f)) || at(t, f) == '/' || (f == e + 1 && at(t, f) != ' ')) return 0;
        out = uttspreproc::findAbbreviation(t.substr(pos - 1, f - pos));
        return out.empty() ? 0 : f;
    }
    if (at(t, e) != '.') return 0;
    const char after = at(t, e + 1);
    if (after != '\0' && !isBlank(after) && after != ',' && after != ';' && after != ')' && after != ':' &&
        !(after == '/' && isLetter(at(t, e + 2))))  // Tel./Fax
        return 0;
    const std::string word = t.substr(pos - 1, e - pos);
    if (ambiguous(word) && !calendarUse(t, pos, e, word)) return 0;
    const std::string before = wordBefore(t, pos);
    // José R. Silva: an initial between names is its letter
    if (word.size() == 1 && isUpperLetter(word[0]) && before.size() > 1 && isUpperLetter(before[0]) &&
        at(t, e + 1) == ' ' && isUpperLetter(at(t, e + 2)) && uttspreproc::findAbbreviation(before).empty()) {
        out = ttschars::trim(uttspreproc::charName(ttschars::byte(word[0])));
        return e + 1;
    }
    const std::size_t n = nextAfter(t, e);
    const std::string next = at(t, e + 1) == ' ' ? wordAfter(t, e + 1) : std::string();
    out = expansionFor(word, before, next, at(t, n) == ':' || isDigit(at(t, n)) || after == ':');
    if (out == "dom" && womansName(next)) out = "dona";  // D. Maria
    // séc. XIX-XX, pág. 10-15: the plural the table lists (sécs., págs.)
    if (!out.empty() && (isDigit(at(t, n)) || isUpperLetter(at(t, n)))) {
        const std::size_t r = isDigit(at(t, n)) ? isRange(t, n) : isRoman(t, n);
        const std::string many = uttspreproc::findAbbreviation(word + (word.size() == 1 ? word : std::string("s")));
        if (r && t.find('-', n - 1) < r - 1 && !many.empty()) out = many;
    }
    if (endsIn(out, 'o')) {
        // referido before a feminine noun is referida; Data máx. is máxima,
        // Temperatura máx. de 30 graus too, and Qtd. mín. (quantidade)
        // (but valor de rolagem mín. agrees with the noun "de" hangs on)
        const std::size_t nounStart = wordBeforeStart(t, pos);
        const std::string beforeNoun = nounStart ? low(wordBefore(t, nounStart)) : std::string();
        std::string noun = before;
        if (nounStart && at(t, nounStart + before.size()) == '.') {
            const std::string x = uttspreproc::findAbbreviation(before);
            if (!x.empty()) noun = x.substr(0, x.find(' '));
        }
        const bool nounAfter = !next.empty() && !isUpperLetter(next[0]) && uttspreproc::isFeminineNoun(next) &&
                               !genderOf(next);
        const bool nounBefore = !genderOf(before) && uttspreproc::isFeminineNoun(noun) && beforeNoun != "de" &&
                                beforeNoun != "do" && beforeNoun != "da";
        const bool linkAfter = among(low(next), {"de", "em", "para", "por", "e", "ou", "que", "com", "sem", "até"});
        // only an adjective has a feminine (máxima, referida, aproximada;
        // the nouns artigo, capítulo, século keep their gender)
        const auto ends = [&](const char* e) { return out.size() > 3 && out.compare(out.size() - 3, 3, e) == 0; };
        if ((nounAfter || (next.empty() && nounBefore) ||
             (!nounAfter && nounBefore && (!isLetter(at(t, n)) || linkAfter))) &&
            (ends("imo") || ends("ido") || ends("ado")))
            out.back() = 'a';
    }
    if (out.empty()) out = calendarWord(t, word, e);
    return out.empty() ? 0 : e + 1;
}

}  // namespace

std::size_t isAbbreviation(const std::string& t, std::size_t pos) {
    std::string out;
    return parse(t, pos, out);
}

std::string sayAbbreviation(const std::string& t, std::size_t pos, std::size_t end) {
    std::string out;
    parse(t, pos, out);
    // at the end of the line the stop still ends the sentence
    std::size_t p = end;
    while (p <= t.size() && (t[p - 1] == '\r' || t[p - 1] == '\n' || t[p - 1] == '\t')) ++p;
    if (at(t, end - 1) == '.' && p > t.size()) return out + ".";
    const char next = at(t, end);
    return next == ',' || next == ';' || next == ':' || next == ')' ? out : out + " ";
}

}  // namespace uttsnorm
