// The normaliser's tables beside the abbreviations: units (portug.uni),
// currencies and scale words (portug.moe), months and weekdays
// (portug.cal), acronyms and how they are said (portug.sig). Every file is
// "key = field | field | ..." lines, ";" starting a comment; a missing file
// leaves its table empty (the kind then reads less, never wrongly).
#include <algorithm>

#include "tts/normalise.hpp"
#include "tts/ttschars.hpp"

namespace uttsnorm {
namespace {

Tables state;

// "key = a | b | c": the key and the fields, trimmed; false for a comment,
// a blank line or a line without "=".
bool fields(const std::string& raw, std::string& key, std::vector<std::string>& out) {
    const std::string line = ttschars::trim(raw);
    if (line.empty() || line[0] == ';') return false;
    const std::size_t eq = line.find('=', 1);  // "=" itself may not be a key
    if (eq == std::string::npos) return false;
    key = ttschars::trim(line.substr(0, eq));
    out.clear();
    std::string rest = line.substr(eq + 1);
    for (std::size_t i = 0;;) {
        const std::size_t bar = rest.find('|', i);
        out.push_back(ttschars::trim(rest.substr(i, bar == std::string::npos ? std::string::npos : bar - i)));
        if (bar == std::string::npos) break;
        i = bar + 1;
    }
    return !key.empty() && !out.empty() && !out[0].empty();
}

void loadUnits(const std::string& file) {
    std::vector<std::string> lines, f;
    std::string key;
    if (!ttschars::readLines(file, lines)) return;
    for (const std::string& l : lines) {
        if (!fields(l, key, f) || key.size() > 16) continue;
        Unit u{key, f[0], f.size() > 1 && !f[1].empty() ? f[1] : f[0] + "s", f.size() > 2 && f[2] == "f"};
        state.units.push_back(std::move(u));
    }
    std::stable_sort(state.units.begin(), state.units.end(),
                     [](const Unit& a, const Unit& b) { return a.symbol.size() > b.symbol.size(); });
}

void loadCurrencies(const std::string& file) {
    std::vector<std::string> lines, f;
    std::string key;
    if (!ttschars::readLines(file, lines)) return;
    for (const std::string& l : lines) {
        if (!fields(l, key, f) || key.size() > 8) continue;
        state.currencies.push_back({key, f[0], f.size() > 1 && !f[1].empty() ? f[1] : f[0] + "s",
                                    f.size() > 2 && f[2] == "escala", f.size() > 2 && f[2] == "f"});
    }
    std::stable_sort(state.currencies.begin(), state.currencies.end(),
                     [](const Currency& a, const Currency& b) { return a.sign.size() > b.sign.size(); });
}

// "mes 1 = janeiro | jan", "sem 2 = segunda-feira | seg | 2a"
void loadCalendar(const std::string& file) {
    std::vector<std::string> lines, f;
    std::string key;
    if (!ttschars::readLines(file, lines)) return;
    for (const std::string& l : lines) {
        if (!fields(l, key, f)) continue;
        const std::size_t blank = key.find(' ');
        int n = 0;
        if (blank == std::string::npos || !ttschars::parseInt(key.substr(blank + 1), n) || n < 1 || n > 12) continue;
        CalendarName c;
        c.month = key.compare(0, blank, "mes") == 0;
        c.number = n;
        c.name = f[0];
        for (std::size_t i = 1; i < f.size(); ++i)
            if (!f[i].empty()) c.abbreviations.push_back(low(f[i]));
        state.calendar.push_back(std::move(c));
    }
}

// "USP = úspi" (said as the text given), "OAB = letras" (spelled).
void loadAcronyms(const std::string& file) {
    std::vector<std::string> lines, f;
    std::string key;
    if (!ttschars::readLines(file, lines)) return;
    for (const std::string& l : lines) {
        if (!fields(l, key, f) || key.size() > 16) continue;
        state.acronyms.push_back({ttschars::upper(key), f[0] == "letras" ? std::string() : f[0]});
    }
    std::sort(state.acronyms.begin(), state.acronyms.end(),
              [](const Acronym& a, const Acronym& b) { return a.letters < b.letters; });
}

const CalendarName* named(const std::string& word, bool month) {
    const std::string w = low(word);
    for (const CalendarName& c : state.calendar) {
        if (c.month != month) continue;
        if (low(c.name) == w) return &c;
        for (const std::string& a : c.abbreviations)
            if (a == w) return &c;
    }
    return nullptr;
}

}  // namespace

const Tables& tables() { return state; }
void resetTables() { state = Tables{}; }

bool loadTables(const std::string& base) {
    state = Tables{};
    loadUnits(base + ".uni");
    loadCurrencies(base + ".moe");
    loadCalendar(base + ".cal");
    loadAcronyms(base + ".sig");
    return !state.units.empty();
}

const Unit* unitAt(const std::string& t, std::size_t p, std::size_t& len) {
    for (const Unit& u : state.units) {
        if (!startsAt(t, p, u.symbol)) continue;
        const char after = at(t, p + u.symbol.size());
        // km but not kmz; the unit ends at a sign, a blank or ² ³.
        if (isLetter(after) || (isDigit(after) && after != '2' && after != '3')) continue;
        len = u.symbol.size();
        return &u;
    }
    return nullptr;
}

const CalendarName* monthNamed(const std::string& word) { return named(word, true); }
const CalendarName* weekdayNamed(const std::string& word) { return named(word, false); }

const char* monthName(int month) {
    for (const CalendarName& c : state.calendar)
        if (c.month && c.number == month) return c.name.c_str();
    return nullptr;
}

const Acronym* acronym(const std::string& upperLetters) {
    const auto it = std::lower_bound(state.acronyms.begin(), state.acronyms.end(), upperLetters,
                                     [](const Acronym& a, const std::string& k) { return a.letters < k; });
    return it != state.acronyms.end() && it->letters == upperLetters ? &*it : nullptr;
}

}  // namespace uttsnorm
