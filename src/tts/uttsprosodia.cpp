// Prosody and timing.
//
// Patterns: every token gets three digits, for the start of the word, its
// stressed phoneme and its end; each digit picks a percentage of the base
// frequency from TABHERTZ. The first pattern rule whose previous, current
// and next categories fit the token and its neighbours gives the digits; a
// leading "?" repeats the last digit of the previous token, so a phrase's
// melody can run on across words.
//
// Timing: a phoneme lasts its table duration, 80% of it before the stress in
// a word of more than 13 letters and 90% in one of more than 9, and 145% from
// the stressed phoneme on (until a phoneme marked with the diaeresis sign or
// the end of the word), all scaled by the duration factor; however fast the
// voice, a phoneme keeps 20 ms (or its table duration when that is shorter),
// so that the engine still has a pitch period for it. The word's first
// phoneme gets a pitch target at its middle, the stressed one at 80% of it,
// the last one after the stress at its middle.
#include "tts/uttsprosodia.hpp"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "platform/window/window.hpp"
#include "tts/ttschars.hpp"

namespace uttsprosodia {
namespace {

using ttschars::byte;
using ttschars::cp1252;

struct Duration {
    std::string name;
    int ms = 0;
};
struct Keyword {
    std::string word, category;
};

struct State {
    std::vector<Duration> durations;
    std::unordered_map<std::string, int> durationOf;  // the first entry of each name
    std::vector<Keyword> keywords;
    std::vector<PatternRule> patterns;
    int hertz = 230;
    int tabHertz[10] = {};
    std::vector<std::string> diphones;  // sorted without case
    std::unordered_set<std::string> diphoneKeys;  // the same in capitals, for lookups
    bool haveDiphones = false;
    std::string prevPhoneme = "_";
    std::string currentPhoneme;
    std::function<void(const std::string&)> message;
};
State state;

// The state of one buildPhoLines run.
struct Run {
    int lengthening = 100;
    std::string pattern = "555";
    int stress = 0;
    std::size_t wordLength = 0;
    bool wordEnd = false;
    double durationFactor = 1.0;
    double pitchFactor = 1.0;
};

void show(const std::string& text) {
    if (state.message)
        state.message(text);
    else
        platform::messageBox("TirelTTS", text);
}

bool isLetter(char ch) {
    const unsigned char c = byte(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    switch (c & ~0x20u) {
    case 0xC0: case 0xC1: case 0xC2: case 0xC3: case 0xC7: case 0xC9: case 0xCA: case 0xCC:
    case 0xCD: case 0xD1: case 0xD3: case 0xD4: case 0xD5: case 0xD9: case 0xDA: case 0xDC:
        return c >= 0xC0;
    default:
        return false;
    }
}

int compareNoCase(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = byte(ttschars::upper(a[i])), y = byte(ttschars::upper(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// The lines of the section whose header (trimmed) is exactly this text; false
// when there is none. A section ends at the next line beginning with "[".
bool sectionLines(const std::vector<std::string>& lines, const std::string& header, std::vector<std::string>& out) {
    out.clear();
    std::size_t i = 0;
    while (i < lines.size() && ttschars::trim(lines[i]) != header) ++i;
    if (i == lines.size()) return false;
    for (++i; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (!line.empty() && line[0] == '[') break;
        if (line.empty() || line[0] == '*' || line[0] == ';' || ttschars::trim(line).empty()) continue;
        out.push_back(line);
    }
    return true;
}

// Pattern texts are kept at three characters so that a word header always
// has its bar at the fifth place; a "|" inside one would break that.
std::string cleanPattern(std::string p) {
    if (p.size() > 3) p.resize(3);
    while (p.size() < 3) p += '-';
    for (char& c : p)
        if (c == '|' || byte(c) < 32) c = '-';
    return p;
}

// A whole number of milliseconds or hertz from a floating product, kept
// within a range the engine can read.
long toWhole(double v) {
    if (!(v > 0)) return 0;
    if (v > 1e9) return 1000000000L;
    return static_cast<long>(v);
}

std::string pitchPoint(Run& run) {
    char digit;
    int position;
    if (run.stress == 0) {
        digit = run.pattern[0];
        position = 50;
        run.stress = 1;
    } else if (run.stress == 2) {
        digit = run.pattern[1];
        position = 80;
        run.stress = 3;
    } else if (run.stress == 3 && run.wordEnd) {
        digit = run.pattern[2];
        position = 50;
    } else {
        return {};
    }
    if (!ttschars::isDigit(digit)) return {};  // a non-digit sets no target
    const int percentage = state.tabHertz[digit - '0'];
    if (percentage == 0) return {};
    const long hz = toWhole(percentage * run.pitchFactor * state.hertz) / 100;
    return std::to_string(position) + " " + std::to_string(hz);
}

// Puts a filler before the line being built when the database has no
// diphone from the previous phoneme to this one.
void checkDiphone(const std::string& line, TextList& out) {
    const std::string& current = state.currentPhoneme;
    if (current.empty()) return;
    if (!hasDiphone(state.prevPhoneme + "-" + current)) {
        if (state.prevPhoneme == "r2" && hasDiphone("r2-_"))
            out.push_back("_ 50");
        else if (hasDiphone(state.prevPhoneme + "-y"))
            out.push_back("y 50");
        else
            out.push_back("_ 50");
    }
    if (!line.empty()) state.prevPhoneme = current;
}

}  // namespace

void setMessageHandler(std::function<void(const std::string&)> handler) { state.message = std::move(handler); }
int hertz() { return state.hertz; }
int tabHertz(int digit) { return digit >= 0 && digit <= 9 ? state.tabHertz[digit] : 0; }
std::size_t durationCount() { return state.durations.size(); }
std::size_t keywordCount() { return state.keywords.size(); }
const std::vector<PatternRule>& patternRules() { return state.patterns; }

void reset() {
    auto handler = std::move(state.message);
    state = State{};
    state.message = std::move(handler);
}

bool loadProsody(const std::string& fileName) {
    state.durations.clear();
    state.durationOf.clear();
    state.keywords.clear();
    state.patterns.clear();
    state.hertz = 230;
    std::vector<std::string> lines, section;
    if (!ttschars::readLines(fileName, lines)) {
        show(cp1252("Configuração da prosódia não foi achada"));
        return false;
    }

    if (!sectionLines(lines, cp1252("[DURAÇÃO]"), section)) {
        show(cp1252("Duração dos difones errada ou ausente"));
        return false;
    }
    for (const std::string& line : section) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) {
            show(cp1252("Configuração da prosódia: fonema errado: ") + line);
            return false;
        }
        Duration d;
        d.name = ttschars::trim(line.substr(0, eq)).substr(0, 2);
        if (!ttschars::parseInt(ttschars::trim(line.substr(eq + 1)), d.ms)) {
            show(cp1252("Configuração da prosódia: fonema errado: ") + line);
            d.ms = 100;
        }
        if (state.durations.size() < durationCapacity) {
            state.durationOf.try_emplace(d.name, d.ms);
            state.durations.push_back(std::move(d));
        }
    }

    if (!sectionLines(lines, "[CHAVES]", section)) {
        show(cp1252("Prosódia: palavras chaves ausentes"));
        return false;
    }
    for (const std::string& line : section) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) {
            show(cp1252("Configuração da prosódia: chave errada: ") + line);
            return false;
        }
        if (state.keywords.size() >= keywordCapacity) continue;
        Keyword k;
        k.word = ttschars::upper(ttschars::trim(line.substr(0, eq)));
        k.category = ttschars::upper(ttschars::trim(line.substr(eq + 1))).substr(0, 2);
        // A token's category always has two characters: the later stages
        // find the token itself by its place.
        while (k.category.size() < 2) k.category += 'X';
        state.keywords.push_back(std::move(k));
    }
    std::sort(state.keywords.begin(), state.keywords.end(),
              [](const Keyword& a, const Keyword& b) { return a.word < b.word; });

    if (!sectionLines(lines, cp1252("[PROSÓDIA]"), section)) {
        show(cp1252("Prosódia: especificações ausentes"));
        return false;
    }
    for (const std::string& raw : section) {
        const std::string line = ttschars::upper(raw);
        if (line.rfind("HERTZ=", 0) == 0) {
            int v;
            if (ttschars::parseInt(ttschars::trim(line.substr(6)), v)) state.hertz = v;
            continue;
        }
        if (line.rfind("TABHERTZ=", 0) == 0) {
            std::string rest = line.substr(9) + ",";
            for (int i = 0; i < 10; ++i) {
                const std::size_t comma = rest.find(',');
                int v;
                // A missing or unreadable value sets no pitch for its digit.
                state.tabHertz[i] = ttschars::parseInt(ttschars::trim(rest.substr(0, comma)), v) && v > 0 ? v : 0;
                rest = comma == std::string::npos ? std::string() : rest.substr(comma + 1);
            }
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) {
            show(cp1252("Configuração da prosódia: chave errada: ") + raw);
            return false;
        }
        if (state.patterns.size() >= patternCapacity) continue;
        PatternRule r;
        r.pattern = cleanPattern(ttschars::trim(line.substr(eq + 1)));
        std::string fields = ttschars::trim(line.substr(0, eq)) + "|||";
        std::string* parts[3] = {&r.previous, &r.current, &r.next};
        for (std::string* part : parts) {
            const std::size_t bar = fields.find('|');
            *part = fields.substr(0, std::min<std::size_t>(bar, 3));
            fields.erase(0, bar + 1);
        }
        state.patterns.push_back(std::move(r));
    }
    return true;
}

std::string wordCategory(const std::string& word) {
    const std::string key = ttschars::upper(word);
    long lo = 1, hi = static_cast<long>(state.keywords.size());
    while (lo <= hi) {
        const long mid = (lo + hi) / 2;
        const Keyword& k = state.keywords[static_cast<std::size_t>(mid - 1)];
        if (k.word == key) return k.category;
        if (k.word > key) hi = mid - 1;
        else lo = mid + 1;
    }
    return {};
}

std::string nextToken(const std::string& text, std::size_t& pos, bool& isSymbol) {
    const std::size_t n = text.size();
    isSymbol = true;
    while (pos <= n && text[pos - 1] == ' ') ++pos;
    if (pos < n && text[pos - 1] == '.' && text[pos] == '.') {
        while (pos <= n && text[pos - 1] == '.') ++pos;
        return ".-";
    }
    if (pos <= n && !isLetter(text[pos - 1])) {
        const char c = text[pos - 1];
        ++pos;
        return std::string(2, c);
    }
    isSymbol = false;
    const std::size_t start = pos;
    while (pos <= n && isLetter(text[pos - 1])) ++pos;
    return text.substr(start - 1, pos - start);
}

TextList splitTokens(const std::string& text) {
    TextList list{"[--]"};
    std::size_t pos = 1;
    while (pos <= text.size()) {
        bool symbol;
        std::string token = nextToken(text, pos, symbol);
        if (token.empty()) break;
        std::string category;
        if (symbol) {
            category = token;
            token = token.substr(0, 1);
        } else {
            category = wordCategory(token);
            if (category.empty()) category = "XX";
        }
        list.push_back("[" + category + "]" + token);
        if (token[0] == '!' || token[0] == '.' || token[0] == '?') list.push_back("[--]");
    }
    return list;
}

TextList assignPatterns(const TextList& tokens, bool useRules) {
    TextList out;
    std::string previous, current, next;
    char carried = '5';
    auto category = [](const std::string& entry) { return entry.size() >= 2 ? entry.substr(1, 2) : std::string(); };
    for (std::size_t i = 0; i <= tokens.size(); ++i) {
        if (i < tokens.size() && tokens[i].empty()) continue;
        previous = std::move(current);
        current = std::move(next);
        next = i < tokens.size() ? tokens[i] : std::string();
        if (current.empty()) continue;
        const std::string p = category(previous), c = category(current), n = category(next);
        std::string pattern;
        if (useRules) {
            for (const PatternRule& r : state.patterns) {
                if ((r.previous.empty() || r.previous == p) && (r.current.empty() || r.current == c) &&
                    (r.next.empty() || r.next == n)) {
                    pattern = r.pattern;
                    break;
                }
            }
        }
        if (pattern.empty()) pattern = "555";
        if (pattern[0] == '?') pattern[0] = carried;
        carried = pattern[2];
        out.push_back(pattern + "|" + (current.size() > 4 ? current.substr(4) : std::string()));
    }
    return out;
}

bool loadDiphoneList(const std::string& fileName) {
    freeDiphoneList();
    std::vector<std::string> lines;
    if (!ttschars::readLines(fileName, lines)) return false;
    auto nameChar = [](char c) {
        return c == '2' || c == '@' || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    };
    for (std::size_t k = lines.size(); k-- > 0;) {
        const std::string line = ttschars::trim(lines[k]);
        if (line.empty() || line[0] == '!' || line[0] == '*' || line[0] == ';') continue;
        std::size_t i = 0;
        while (i < line.size() && nameChar(line[i])) ++i;
        const std::string first = line.substr(0, i);
        if (i < line.size()) ++i;
        while (i < line.size() && !nameChar(line[i])) ++i;
        const std::size_t start = i;
        while (i < line.size() && nameChar(line[i])) ++i;
        state.diphones.push_back(first + "-" + line.substr(start, i - start));
    }
    std::sort(state.diphones.begin(), state.diphones.end(),
              [](const std::string& a, const std::string& b) { return compareNoCase(a, b) < 0; });
    for (const std::string& d : state.diphones) state.diphoneKeys.insert(ttschars::upper(d));
    state.haveDiphones = true;
    return true;
}

void freeDiphoneList() {
    state.diphones.clear();
    state.diphones.shrink_to_fit();
    state.diphoneKeys = {};
    state.haveDiphones = false;
}

std::size_t diphoneCount() { return state.diphones.size(); }

// Equal without case is equal in capitals: a hash lookup, not a bisection
// of case-blind comparisons (most of the timing stage's time).
bool hasDiphone(const std::string& pair) { return state.diphoneKeys.count(ttschars::upper(pair)) > 0; }

int phonemeDuration(const std::string& name) {
    const auto it = state.durationOf.find(name);
    return it == state.durationOf.end() ? 100 : it->second;
}

TextList buildPhoLines(const TextList& phonemes, double durationFactor, double pitchFactor) {
    TextList out;
    Run run;
    run.durationFactor = durationFactor;
    run.pitchFactor = pitchFactor;
    state.prevPhoneme = "_";
    const unsigned char diaeresis = 0xA8;
    for (std::size_t i = 0; i < phonemes.size(); ++i) {
        std::string line = phonemes[i];
        run.wordEnd = i + 1 == phonemes.size() || phonemes[i + 1].empty();
        if (line.empty()) {
            run.lengthening = 100;
            state.currentPhoneme.clear();
        } else if (line[0] == ';' && line.size() >= 5 && line[4] == '|') {
            run.pattern = line.substr(1, 3);
            line.erase(1, 4);
            run.wordLength = line.size();
            run.stress = 0;
        } else {
            if (line[0] == '>') {
                run.lengthening = 145;
                run.stress = 2;
                line.erase(0, 1);
                if (!line.empty() && byte(line[0]) == diaeresis) line.erase(0, 1);
            } else if (byte(line[0]) == diaeresis) {
                line.erase(0, 1);
                run.lengthening = 100;
            }
            // Nothing left once the marks are gone: no phoneme, and the
            // stress passes on to the next one.
            if (line.empty()) continue;
            long duration;
            if (line[0] == '_') {
                int ms = 100;
                if (line.size() >= 2 && line[1] == ' ') {
                    if (!ttschars::parseInt(ttschars::trim(line.substr(2)), ms)) ms = 100;
                } else if (line.size() >= 2) {
                    ms = phonemeDuration(line);
                }
                duration = ms;
                line = "_";
            } else {
                duration = phonemeDuration(line);
                if (run.stress < 2) {
                    if (run.wordLength > 13)
                        duration = duration * 80 / 100;
                    else if (run.wordLength > 9)
                        duration = duration * 90 / 100;
                }
            }
            long written = toWhole(static_cast<double>(duration) * run.lengthening * durationFactor) / 100;
            if (line != "_") written = std::max(written, std::min(duration, shortestPhonemeMs));
            state.currentPhoneme = line;
            line += " " + std::to_string(written);
            const std::string pitch = pitchPoint(run);
            if (!pitch.empty()) line += " " + pitch;
        }
        checkDiphone(line, out);
        out.push_back(std::move(line));
    }
    return out;
}

}  // namespace uttsprosodia
