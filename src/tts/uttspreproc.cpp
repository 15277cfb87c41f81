// Text normalisation. A line is read left to right: a spaced dash becomes a
// comma, a dash before a digit a minus sign, digits a number (with its
// decimal or point parts), letters a word (an abbreviation when the file
// lists it and ". " follows), "..." stays, a full stop inside a word is read
// "ponto", the phrasing punctuation stays and any other character is said by
// its name. Numbers are cut into five groups of three digits (trillions down
// to units), each group read as hundreds, tens and units and followed by its
// scale word; "e" joins the last group that is read to the ones before when
// that group is under a hundred or a whole hundred (mil e cem, but mil
// novecentos e oitenta).
//
// Beyond that a line may hold things a listener expects read as a person
// would: dates (25/12/2026), clock times (14h30, 9:05, 9h), money (R$
// 1.234,56, US$ 5, 5 €), ranges of years (1643-1715), units after a number
// (km/h, °C, kg), nº, roman numerals after a name or in "século XXI",
// acronyms (spelled unless they can be said as a word), abbreviations with
// inner stops (a.C.) or at the end of the line, letters glued to digits
// (sha224) and words separated by a tab.
#include "tts/uttspreproc.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "tts/ttschars.hpp"

namespace uttspreproc {
namespace {

using ttschars::byte;
using ttschars::cp1252;
using ttschars::isDigit;

struct Abbreviation {
    std::string abbreviation;  // upper case
    std::string expansion;
};

struct State {
    std::vector<Abbreviation> table;
    std::vector<std::string> feminineNouns;  // sorted, lower case
};
State state;

struct Words {
    std::array<std::string, 10> units, teens, tens, hundreds;
    std::array<std::string, 10> ordUnits, ordTens, ordHundreds;
    std::string thousandth, comma, point, minus, dash;
    std::array<std::string, 256> names;
};

const Words& words() {
    static const Words w = [] {
        Words w;
        const char* units[] = {"zero", "um", "dois", "três", "quatro", "cinco", "seis", "sete", "oito", "nove"};
        const char* teens[] = {"dez", "onze", "doze", "treze", "quatorze", "quinze", "dezesseis", "dezessete", "dezoito", "dezenove"};
        const char* tens[] = {"", "", "vinte", "trinta", "quarenta", "cinqüenta", "sessenta", "setenta", "oitenta", "noventa"};
        const char* hundreds[] = {"", "cento", "duzentos", "trezentos", "quatrocentos", "quinhentos", "seiscentos", "setecentos", "oitocentos", "novecentos"};
        const char* ordUnits[] = {"", "primeiro", "segundo", "terceiro", "quarto", "quinto", "sexto", "sétimo", "oitavo", "nono"};
        const char* ordTens[] = {"", "décimo", "vigésimo", "trigésimo", "quadragésimo", "quinquagésimo", "sexagésimo", "septuagésimo", "octagésimo", "nonagésimo"};
        const char* ordHundreds[] = {"", "centésimo", "ducentésimo", "tricentésimo", "quadrigentésimo", "quingentésimo", "seiscentésimo", "septigentésimo", "octigentésimo", "nongentésimo"};
        for (int i = 0; i < 10; ++i) {
            w.units[i] = cp1252(units[i]);
            w.teens[i] = cp1252(teens[i]);
            w.tens[i] = cp1252(tens[i]);
            w.hundreds[i] = cp1252(hundreds[i]);
            w.ordUnits[i] = cp1252(ordUnits[i]);
            w.ordTens[i] = cp1252(ordTens[i]);
            w.ordHundreds[i] = cp1252(ordHundreds[i]);
        }
        w.thousandth = cp1252("milésimo");
        w.comma = cp1252("vírgula ");
        w.point = "ponto ";
        w.minus = "menos ";
        w.dash = cp1252("traço");
        // Names of the characters 32-126, 161-220.
        const char* low[] = {
            "espaço", "exclamação", "aspas", "sustenido", "cifrão", "porcento", "é comercial", "apóstrofo",
            "abre parênteses", "fecha parênteses", "asterisco", "mais", "vírgula", "traço", "ponto", "barra",
            "zéro", "um", "dois", "três", "quatro", "cinco", "seis", "séte", "oito", "nóve",
            "dois pontos", "ponto e vírgula", "menor que", "igual", "maior que", "interrogação", "arrôba",
            "a", "bê", " sê", " dê", "é", "éfe", "jê", "agá", "i", "jóta", "cá", "éle", "ême", "êne", "ó",
            "pê", "quê", "érre", "ésse", "tê", "u", "vê", "dábliu", "xis", "ípsilon", "zê",
            "abre colchete", "barra invertida", "fecha colchete", "circunflexo", "sublinhado", "crase",
            "a", "bê", " sê", " dê", "é", "éfe", "jê", "agá", "i", "jota", "cá", "éle", "ême", "ene", "ó",
            "pê", "quê", "érre", "ésse", "tê", "u", "vê", "dábliu", "xis", "ípsilon", "zê",
            "abre chave", "barra vertical", "fecha chave", "til"};
        static_assert(sizeof(low) / sizeof(low[0]) == 95);
        for (int c = 32; c <= 126; ++c) w.names[c] = cp1252(low[c - 32]);
        const char* high[] = {
            "exclamação reversa", "centavos de dólar", "libras", "símbolo de moeda", "iene",
            "barra interrompida", "parágrafo", "trema", "copyright", "ordinal feminino", "Aspas esquerdas",
            "negação", "hífen", "Marca registrada", "mácron", "grau", "mais ou menos", "elevado ao quadrado",
            "elevado ao cubo", "acento agudo", "mi", "pi", "ponto no meio", "cedilha", "expoente um",
            "ordinal masculino", "aspas direitas", "um quarto", "um meio", "três quartos", "interrogação reversa",
            "A grave", "A agudo", "A circunflexo", "A com til", "A com trema", "A bola", "A É", "Cê cedilha",
            "É grave", "É agudo", "É circunflexo", "É com trema", "I grave", "I agudo", "I circunflexo",
            "I com trema", "Dê cortado", "N com til", "Ó grave", "Ó agudo", "Ó circunflexo", "Ó com til",
            "Ó tremado", "vezes", "Ó cortado", "U grave", "U agudo", "U circunflexo", "U com trema"};
        static_assert(sizeof(high) / sizeof(high[0]) == 60);
        for (int c = 161; c <= 220; ++c) w.names[c] = cp1252(high[c - 161]);
        for (int c = 225; c <= 255; ++c) w.names[c] = w.names[c - 32];
        return w;
    }();
    return w;
}

bool isLetter(char ch) {
    unsigned char c = byte(ch);
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

bool isKeptPunctuation(char c) {
    switch (c) {
    case ' ': case '!': case '(': case ')': case ',': case '.': case ':': case ';': case '?':
        return true;
    default:
        return false;
    }
}

// Character at 1-based position p, or 0 past either end.
char at(const std::string& s, std::size_t p) { return p >= 1 && p <= s.size() ? s[p - 1] : '\0'; }

}  // namespace

void reset() { state = State{}; }

bool loadGenders(const std::string& fileName) {
    state.feminineNouns.clear();
    std::vector<std::string> lines;
    if (!ttschars::readLines(fileName, lines)) return false;
    for (const std::string& raw : lines) {
        const std::string line = ttschars::trim(raw);
        if (line.empty() || line[0] == ';') continue;
        state.feminineNouns.push_back(ttschars::lower(line));
    }
    std::sort(state.feminineNouns.begin(), state.feminineNouns.end());
    return true;
}

bool isFeminineNoun(const std::string& word) {
    const std::vector<std::string>& t = state.feminineNouns;
    if (t.empty() || word.size() < 2) return false;
    const std::string w = ttschars::lower(word);
    const auto listed = [&](const std::string& x) { return std::binary_search(t.begin(), t.end(), x); };
    const auto ends = [&](const std::string& e) { return w.size() > e.size() && w.compare(w.size() - e.size(), e.size(), e) == 0; };
    if (listed(w)) return true;
    // The plural back to the singular: -ões, -ães to -ão, -ns to -m, -es, -s.
    if (ends(cp1252("ões")) || ends(cp1252("ães"))) return listed(w.substr(0, w.size() - 3) + cp1252("ão"));
    if (ends("ns")) return listed(w.substr(0, w.size() - 2) + "m");
    if (ends("es") && listed(w.substr(0, w.size() - 2))) return true;
    return ends("s") && listed(w.substr(0, w.size() - 1));
}

std::size_t abbreviationCount() { return state.table.size(); }

bool loadAbbreviations(const std::string& fileName) {
    state.table.clear();
    std::vector<std::string> lines;
    if (!ttschars::readLines(fileName, lines)) return false;
    for (const std::string& raw : lines) {
        if (state.table.size() >= abbreviationCapacity) break;
        std::string line = ttschars::trim(raw);
        if (line.empty() || line[0] == ';') continue;
        std::size_t eq = line.find('=');
        Abbreviation a;
        if (eq == std::string::npos) {
            a.expansion = line.substr(0, 999);
        } else {
            a.abbreviation = ttschars::upper(ttschars::trim(line.substr(0, eq)));
            a.expansion = ttschars::trim(line.substr(eq + 1, 999));
        }
        state.table.push_back(std::move(a));
    }
    return true;
}

std::string findAbbreviation(const std::string& word) {
    const std::string key = ttschars::upper(word);
    for (const Abbreviation& a : state.table)
        if (a.abbreviation == key) return a.expansion;
    return {};
}

std::string charName(unsigned char c) { return words().names[c]; }

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
        if (g < 4 && group != "000") parts[g] += " " + cp1252(group == "001" ? singular[g] : plural[g]);
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

std::string ordinalWords(Gender gender, std::uint64_t value) {
    if (value >= 2000) return cardinalWords(value);
    if (value == 0) return "zero";
    const Words& w = words();
    std::string r;
    int place = 0;
    for (std::uint64_t v = value; v > 0 && place < 4; v /= 10, ++place) {
        const int d = static_cast<int>(v % 10);
        if (d == 0) continue;
        std::string word = place == 0 ? w.ordUnits[d] : place == 1 ? w.ordTens[d] : place == 2 ? w.ordHundreds[d] : w.thousandth;
        if (gender == Gender::feminine && !word.empty()) word.back() = 'a';
        r = word + " " + r;
    }
    return ttschars::trim(r);
}

std::string scanWord(const std::string& text, std::size_t& pos) {
    const std::size_t start = pos;
    bool allConsonants = true;
    while (isLetter(at(text, pos))) {
        if (!isConsonant(at(text, pos))) allConsonants = false;
        ++pos;
        if (at(text, pos) == '-') ++pos;
    }
    std::string word = text.substr(start - 1, pos - start);
    if (allConsonants && !word.empty()) {
        if (at(text, pos) == '.' && !findAbbreviation(word).empty()) return word;
        std::string spelled;
        for (char c : word) spelled += charName(byte(c));
        return spelled;
    }
    return word;
}

std::string readNumber(const std::string& text, std::size_t& pos) {
    const Words& w = words();
    const std::size_t n = text.size();
    // A run of digits and dashes (a telephone number) is read digit by digit.
    std::size_t end = pos;
    bool dashed = false;
    while (end <= n && (isDigit(text[end - 1]) || text[end - 1] == '-')) {
        dashed = dashed || text[end - 1] == '-';
        ++end;
    }
    if (dashed) {
        std::string r;
        for (; pos < end; ++pos)
            r += " " + (text[pos - 1] == '-' ? w.dash : w.units[text[pos - 1] - '0']);
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
    const char next = at(text, pos);
    const char next2 = at(text, pos + 1);
    const char next3 = at(text, pos + 2);
    const unsigned char ordMasc = 0xBA, ordFem = 0xAA;
    if (pos > n || next == ' ') return zeros + cardinalWords(value);
    if (next == '.' && (byte(next2) == ordMasc || byte(next2) == ordFem)) {  // 3.º, 1.ª
        pos += 2;
        return ordinalWords(byte(next2) == ordMasc ? Gender::masculine : Gender::feminine, value);
    }
    if (byte(next) == ordMasc) {
        ++pos;
        return ordinalWords(Gender::masculine, value);
    }
    if (byte(next) == ordFem) {
        ++pos;
        return ordinalWords(Gender::feminine, value);
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

namespace {

// Length of the run of digits at 1-based position p.
std::size_t digitRun(const std::string& s, std::size_t p) {
    std::size_t k = 0;
    while (isDigit(at(s, p + k))) ++k;
    return k;
}

std::uint64_t valueOf(const std::string& s, std::size_t p, std::size_t len) {
    std::uint64_t v = 0;
    for (std::size_t k = 0; k < len && k < 15; ++k) v = v * 10 + static_cast<std::uint64_t>(s[p - 1 + k] - '0');
    return v;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Words of a number, without the blank a scale word leaves at the end.
std::string number(std::uint64_t v) { return ttschars::trim(cardinalWords(v)); }

// The feminine words of a count of hours or reais' cents: uma, duas.
std::string feminine(std::uint64_t v) {
    std::string r = number(v);
    auto ends = [&](const std::string& t) { return r.size() >= t.size() && r.compare(r.size() - t.size(), t.size(), t) == 0 && (r.size() == t.size() || r[r.size() - t.size() - 1] == ' '); };
    if (ends("um")) r += "a";
    else if (ends("dois")) r.replace(r.size() - 4, 4, "duas");
    return r;
}

// The words of a count in the feminine, word by word (uma, duas, duzentas
// ... novecentas), except those that count millions and more, which agree
// with milhão: "dois milhões e duzentas mil casas".
std::string feminineCount(const std::string& words) {
    std::vector<std::string> w;
    for (std::size_t i = 0; i < words.size();) {
        const std::size_t e = words.find(' ', i);
        w.push_back(words.substr(i, e == std::string::npos ? std::string::npos : e - i));
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

// The word after position p (one blank or none before it), or empty.
std::string wordAfter(const std::string& t, std::size_t p) {
    if (at(t, p) == ' ') ++p;
    std::size_t e = p;
    while (isLetter(at(t, e))) ++e;
    return e > p ? t.substr(p - 1, e - p) : std::string();
}

// A count in the feminine when the noun after p is feminine.
std::string agreeing(const std::string& words, const std::string& t, std::size_t p) {
    return isFeminineNoun(wordAfter(t, p)) ? feminineCount(words) : words;
}

// One chunk of a code read as a number, its leading zeros said one by one:
// 09 is "zero nove", 100 "cem", 00 "zero zero".
std::string chunkWords(const std::string& digits) {
    std::string r;
    std::size_t i = 0;
    while (i + 1 < digits.size() && digits[i] == '0') {
        r += "zero ";
        ++i;
    }
    std::uint64_t v = 0;
    for (std::size_t k = i; k < digits.size(); ++k) v = v * 10 + static_cast<std::uint64_t>(digits[k] - '0');
    return r + number(v);
}

// A group of a code in the pieces Brazilians say: up to three digits at
// once, four as two pairs (43 21), five as a pair and three (98 765), more
// as threes first; a group of four that opens with 0 as zero and three
// (0800: zero oitocentos).
std::string groupOfCode(const std::string& g) {
    if (g.size() <= 3) return chunkWords(g);
    if (g.size() == 4 && g[0] == '0') return "zero " + chunkWords(g.substr(1));
    if (g.size() == 4) return chunkWords(g.substr(0, 2)) + " " + chunkWords(g.substr(2));
    if (g.size() == 5) return chunkWords(g.substr(0, 2)) + " " + chunkWords(g.substr(2));
    return chunkWords(g.substr(0, 3)) + " " + groupOfCode(g.substr(3));
}

// Telephone numbers, CEP, CPF, CNPJ and other codes: groups of digits
// joined by "-", "." or "/" with at least one "-" (98765-4321,
// 01310-100, 123.456.789-09, 12.345.678/0001-95), or a number of service
// 0800 (0300, 0500, 0900) with its groups after blanks. Each group is said
// in pieces, a comma between groups, "barra" for "/"; never "menos".
bool readCode(const std::string& t, std::size_t& pos, std::string& out) {
    if (pos > 1 && (isDigit(at(t, pos - 1)) || isLetter(at(t, pos - 1)))) return false;
    std::vector<std::string> groups;
    std::vector<char> seps;
    std::size_t p = pos;
    const std::size_t first = digitRun(t, p);
    groups.push_back(t.substr(p - 1, first));
    p += first;
    const std::string g0 = groups[0];
    const bool service = g0.size() == 4 && g0[0] == '0' && g0.compare(2, 2, "00") == 0 && g0[1] != '0';
    bool dash = false;
    for (;;) {
        const char sep = at(t, p);
        const bool joined = sep == '-' || sep == '.' || sep == '/' || (service && sep == ' ');
        const std::size_t k = joined ? digitRun(t, p + 1) : 0;
        if (k == 0 || (sep == ' ' && k < 3)) break;
        dash = dash || sep == '-';
        seps.push_back(sep);
        groups.push_back(t.substr(p, k));
        p += 1 + k;
    }
    if (groups.size() < 2 || (!dash && !(service && seps.front() == ' ')) || isLetter(at(t, p)) ||
        isDigit(at(t, p)))
        return false;
    out = groupOfCode(groups[0]);
    for (std::size_t i = 1; i < groups.size(); ++i)
        out += (seps[i - 1] == '/' ? " barra " : ", ") + groupOfCode(groups[i]);
    out += " ";
    pos = p;
    return true;
}

// 1/2, 3/4, 2/3: meio (meia before a feminine noun), três quartos, dois
// terços; beyond a tenth with "avos" (três onze avos).
bool readFraction(const std::string& t, std::size_t& pos, std::string& out) {
    if (pos > 1 && (isDigit(at(t, pos - 1)) || at(t, pos - 1) == '/')) return false;
    const std::size_t a = digitRun(t, pos);
    if (a < 1 || a > 2 || at(t, pos + a) != '/') return false;
    const std::size_t bp = pos + a + 1, b = digitRun(t, bp);
    if (b < 1 || b > 2 || at(t, bp + b) == '/' || isLetter(at(t, bp + b)) ||
        ((at(t, bp + b) == ',' || at(t, bp + b) == '.') && isDigit(at(t, bp + b + 1))))
        return false;
    const std::uint64_t n = valueOf(t, pos, a), d = valueOf(t, bp, b);
    if (n == 0 || d < 2) return false;
    static const char* parts[] = {"", "", "meio", "terço", "quarto", "quinto", "sexto", "sétimo", "oitavo", "nono", "décimo"};
    const std::size_t end = bp + b;
    if (n == 1 && d == 2) {
        out = isFeminineNoun(wordAfter(t, end)) ? "meia " : "meio ";
    } else {
        const std::string count = n == 1 ? "um" : number(n);
        out = d <= 10 ? count + " " + cp1252(parts[d]) + (n > 1 ? "s " : " ") : count + " " + number(d) + " avos ";
    }
    pos = end;
    return true;
}

std::string counted(std::uint64_t v, const std::string& words, const char* one, const char* many) {
    return words + " " + cp1252(v == 1 ? one : many);
}

// 25/12/2026, 1/1/99: day and month in range, a year of two or four digits.
bool readDate(const std::string& t, std::size_t& pos, std::string& out) {
    const std::size_t d = digitRun(t, pos);
    if (d < 1 || d > 2 || at(t, pos + d) != '/') return false;
    const std::size_t mp = pos + d + 1, m = digitRun(t, mp);
    if (m < 1 || m > 2 || at(t, mp + m) != '/') return false;
    const std::size_t yp = mp + m + 1, y = digitRun(t, yp);
    if ((y != 2 && y != 4) || at(t, yp + y) == '/') return false;
    const std::uint64_t day = valueOf(t, pos, d), month = valueOf(t, mp, m);
    if (day < 1 || day > 31 || month < 1 || month > 12) return false;
    static const char* months[] = {"janeiro", "fevereiro", "março", "abril", "maio", "junho", "julho",
                                   "agosto", "setembro", "outubro", "novembro", "dezembro"};
    out = (day == 1 ? std::string("primeiro") : number(day)) + " de " + cp1252(months[month - 1]) + " de " +
          number(valueOf(t, yp, y)) + " ";
    pos = yp + y;
    return true;
}

// 14h30, 14h30min, 9h, 9:05, 9:05:30.
bool readTime(const std::string& t, std::size_t& pos, std::string& out) {
    const std::size_t h = digitRun(t, pos);
    if (h < 1 || h > 2) return false;
    const char sep = at(t, pos + h);
    if (sep != 'h' && sep != ':') return false;
    const std::uint64_t hours = valueOf(t, pos, h);
    const std::size_t mp = pos + h + 1, m = digitRun(t, mp);
    std::uint64_t minutes = 0, seconds = 0;
    std::size_t end = mp;
    if (sep == 'h') {
        if (m != 0 && m != 2) return false;
        if (m == 2) minutes = valueOf(t, mp, 2);
        end = mp + m;
        if (m == 2 && t.compare(end - 1, 3, "min") == 0) end += 3;
        if (isLetter(at(t, end)) || isDigit(at(t, end))) return false;
    } else {
        if (m != 2) return false;
        minutes = valueOf(t, mp, 2);
        end = mp + 2;
        if (at(t, end) == ':' && digitRun(t, end + 1) == 2) {
            seconds = valueOf(t, end + 1, 2);
            end += 3;
            if (seconds > 59) return false;
        }
        // 08:00h, 8:00 h: the hour sign after the time says nothing more.
        if (at(t, end) == 'h' && !isLetter(at(t, end + 1)) && !isDigit(at(t, end + 1))) end += 1;
        else if (at(t, end) == ' ' && at(t, end + 1) == 'h' && !isLetter(at(t, end + 2)) && !isDigit(at(t, end + 2)))
            end += 2;
        if (isDigit(at(t, end)) || isLetter(at(t, end))) return false;
    }
    if (hours > 23 || minutes > 59) return false;
    out = counted(hours, feminine(hours), "hora", "horas");
    if (minutes) out += " e " + counted(minutes, number(minutes), "minuto", "minutos");
    if (seconds) out += " e " + counted(seconds, number(seconds), "segundo", "segundos");
    out += " ";
    pos = end;
    return true;
}

// An amount at p: digits with "." between thousands, and "," with two
// digits of cents. Gives the end position.
bool amount(const std::string& t, std::size_t p, std::uint64_t& whole, std::uint64_t& cents, bool& hasCents, std::size_t& end) {
    std::size_t k = digitRun(t, p);
    if (k == 0) return false;
    whole = valueOf(t, p, k);
    std::size_t q = p + k;
    while (at(t, q) == '.' && digitRun(t, q + 1) == 3) {
        whole = whole * 1000 + valueOf(t, q + 1, 3);
        q += 4;
    }
    hasCents = at(t, q) == ',' && digitRun(t, q + 1) == 2;
    cents = hasCents ? valueOf(t, q + 1, 2) : 0;
    if (hasCents) q += 3;
    end = q;
    return true;
}

std::string money(std::uint64_t whole, std::uint64_t cents, const char* one, const char* many) {
    std::string r;
    if (whole || !cents) {
        r = counted(whole, number(whole), one, many);
        if (whole >= 1000000 && whole % 1000000 == 0) r = number(whole) + " de " + cp1252(many);
    }
    if (cents) r += (r.empty() ? "" : " e ") + counted(cents, number(cents), "centavo", "centavos");
    return r + " ";
}

// R$ 2 milhões, US$ 10 mil, R$ 1,5 bilhão: the amount at p with its scale
// word, the currency after it ("dois milhões de reais", "dez mil dólares").
bool scaledMoney(const std::string& t, std::size_t p, const char* many, std::string& out, std::size_t& pos) {
    const std::size_t k = digitRun(t, p);
    std::size_t q = p + k;
    std::string said = number(valueOf(t, p, k));
    if (at(t, q) == ',' && digitRun(t, q + 1) >= 1 && digitRun(t, q + 1) <= 2) {
        said += " " + cp1252("vírgula ") + chunkWords(t.substr(q, digitRun(t, q + 1)));
        q += 1 + digitRun(t, q + 1);
    }
    if (at(t, q) != ' ') return false;
    static const char* scales[] = {"mil", "milhão", "milhões", "bilhão", "bilhões", "trilhão", "trilhões"};
    const std::string word = wordAfter(t, q);
    for (const char* sc : scales) {
        if (word != cp1252(sc)) continue;
        out = said + " " + word + (word == "mil" ? " " : " de ") + cp1252(many) + " ";
        pos = q + 1 + word.size();
        return true;
    }
    return false;
}

// R$ 1.234,56, US$ 5, € 5, 5 € (the sign before or after the amount).
bool readMoney(const std::string& t, std::size_t& pos, std::string& out) {
    struct Sign { const char* text; const char* one; const char* many; };
    static const Sign signs[] = {{"R$", "real", "reais"}, {"US$", "dólar", "dólares"}, {"\x80", "euro", "euros"}};
    for (const Sign& s : signs) {
        const std::size_t len = std::strlen(s.text);
        if (t.compare(pos - 1, len, s.text) == 0 && !isLetter(at(t, pos - 1))) {
            std::size_t p = pos + len;
            if (at(t, p) == ' ') ++p;
            std::uint64_t whole, cents;
            bool hasCents;
            std::size_t end;
            if (!amount(t, p, whole, cents, hasCents, end) || isDigit(at(t, end))) return false;
            if (scaledMoney(t, p, s.many, out, pos)) return true;
            out = money(whole, cents, s.one, s.many);
            pos = end;
            return true;
        }
    }
    if (!isDigit(at(t, pos))) return false;
    std::uint64_t whole, cents;
    bool hasCents;
    std::size_t end;
    if (!amount(t, pos, whole, cents, hasCents, end)) return false;
    std::size_t q = end;
    if (at(t, q) == ' ') ++q;
    if (byte(at(t, q)) != 0x80) return false;
    out = money(whole, cents, "euro", "euros");
    pos = q + 1;
    return true;
}

// 1643-1715, 10-20: two numbers, the second above the first and at most
// 2100 (a telephone number such as 3333-4444 keeps its reading digit by
// digit).
bool readRange(const std::string& t, std::size_t& pos, std::string& out) {
    const std::size_t a = digitRun(t, pos);
    if (a < 1 || a > 4 || at(t, pos + a) != '-') return false;
    const std::size_t bp = pos + a + 1, b = digitRun(t, bp);
    const char after = at(t, bp + b);
    if (b < 1 || b > 4 || after == '-' || ((after == '.' || after == ',') && isDigit(at(t, bp + b + 1)))) return false;
    const std::uint64_t from = valueOf(t, pos, a), to = valueOf(t, bp, b);
    if (from >= to || to > 2100 || at(t, pos) == '0' || at(t, bp) == '0') return false;
    out = agreeing(number(from) + " a " + number(to), t, bp + b) + " ";
    pos = bp + b;
    return true;
}

// A unit right after a number (one blank allowed): its name, singular for
// exactly one.
bool readUnit(const std::string& t, std::size_t& pos, bool one, std::string& out) {
    struct Unit { const char* text; const char* single; const char* plural; };
    static const Unit units[] = {
        {"km/h", "quilômetro por hora", "quilômetros por hora"}, {"km", "quilômetro", "quilômetros"},
        {"kg", "quilo", "quilos"}, {"cm", "centímetro", "centímetros"}, {"mm", "milímetro", "milímetros"},
        {"mg", "miligrama", "miligramas"}, {"ml", "mililitro", "mililitros"}, {"m", "metro", "metros"},
        {"g", "grama", "gramas"}, {"KB", "quilobyte", "quilobytes"}, {"MB", "megabyte", "megabytes"},
        {"GB", "gigabyte", "gigabytes"}, {"\xB0" "C", "grau Celsius", "graus Celsius"},
        {"\xBA" "C", "grau Celsius", "graus Celsius"}, {"\xB0" "F", "grau Fahrenheit", "graus Fahrenheit"},
        {"\xB0", "grau", "graus"}, {"\x80", "euro", "euros"}};
    std::size_t p = pos;
    if (at(t, p) == ' ') ++p;
    for (const Unit& u : units) {
        const std::size_t len = std::strlen(u.text);
        if (t.compare(p - 1, len, u.text) != 0 || isLetter(at(t, p + len)) || isDigit(at(t, p + len))) continue;
        out = cp1252(one ? u.single : u.plural) + " ";
        pos = p + len;
        return true;
    }
    return false;
}

// The value of a roman numeral written in capitals, or 0.
int romanValue(const std::string& w) {
    if (w.empty() || w.size() > 12) return 0;
    auto digit = [](char c) {
        switch (c) {
        case 'I': return 1; case 'V': return 5; case 'X': return 10; case 'L': return 50;
        case 'C': return 100; case 'D': return 500; case 'M': return 1000; default: return 0;
        }
    };
    int v = 0;
    for (std::size_t i = 0; i < w.size(); ++i) {
        const int d = digit(w[i]);
        if (!d) return 0;
        v += i + 1 < w.size() && digit(w[i + 1]) > d ? -d : d;
    }
    if (v <= 0 || v >= 4000) return 0;
    static const std::pair<int, const char*> parts[] = {{1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"},
        {90, "XC"}, {50, "L"}, {40, "XL"}, {10, "X"}, {9, "IX"}, {5, "V"}, {4, "IV"}, {1, "I"}};
    std::string again;
    for (int rest = v; const auto& [n, s] : parts)
        while (rest >= n) { again += s; rest -= n; }
    return again == w ? v : 0;
}

// The word before 1-based position p (letters only), skipping blanks and
// one full stop.
std::string wordBefore(const std::string& t, std::size_t p) {
    std::size_t e = p - 1;
    while (e >= 1 && t[e - 1] == ' ') --e;
    if (e >= 1 && t[e - 1] == '.') --e;
    std::size_t b = e;
    while (b >= 1 && isLetter(t[b - 1])) --b;
    return t.substr(b, e - b);
}

// XXI in "século XXI" or "Rua XV" is a number; II after a name (D. Pedro
// II) an ordinal up to ten and a number beyond.
bool readRoman(const std::string& t, std::size_t& pos, std::string& out) {
    if (pos > 1 && isLetter(at(t, pos - 1))) return false;
    std::size_t e = pos;
    while (isLetter(at(t, e))) ++e;
    if (isDigit(at(t, e)) || at(t, e) == '-') return false;
    const std::string w = t.substr(pos - 1, e - pos);
    const int v = romanValue(w);
    if (!v) return false;
    const std::string before = wordBefore(t, pos);
    if (before.empty()) return false;
    static const char* counting[] = {"século", "séculos", "rua", "avenida", "capítulo", "cap", "volume", "vol",
                                     "seção", "secção", "seções",
                                     "tomo", "parte", "artigo", "art", "ato", "livro", "título", "inciso", "anexo"};
    const std::string low = ttschars::lower(before);
    bool count = false;
    for (const char* c : counting) count = count || low == cp1252(c);
    const bool name = before.size() >= 2 && byte(before[0]) == byte(ttschars::upper(before[0])) &&
                      ttschars::lower(before.substr(1)) == before.substr(1) && !isDigit(before[0]);
    if (count) out = number(static_cast<std::uint64_t>(v));
    else if (name && w.find_first_not_of("IVX") == std::string::npos)
        out = v <= 10 ? ordinalWords(Gender::masculine, static_cast<std::uint64_t>(v)) : number(static_cast<std::uint64_t>(v));
    else return false;
    pos = e;
    return true;
}

bool isVowelLetter(char c) {
    return isLetter(c) && !isConsonant(c);
}

// Whether a word in capitals can be said as Portuguese syllables: an onset
// (one consonant, or a consonant with l or r, ch, lh, nh, qu, gu), vowels,
// and a coda of l r s z m n x (or ns, rs).
bool sayable(const std::string& w, std::size_t i) {
    if (i == w.size()) return true;
    static const char* onsets2[] = {"BL", "BR", "CL", "CR", "DR", "FL", "FR", "GL", "GR", "PL", "PR", "TR", "TL",
                                    "VR", "CH", "LH", "NH", "QU", "GU"};
    std::vector<std::size_t> starts;
    for (const char* o : onsets2)
        if (w.compare(i, 2, o) == 0) starts.push_back(i + 2);
    if (i < w.size() && isConsonant(w[i])) starts.push_back(i + 1);
    starts.push_back(i);
    for (std::size_t v : starts) {
        std::size_t e = v;
        while (e < w.size() && e - v < 3 && isVowelLetter(w[e])) ++e;
        if (e == v) continue;
        if (sayable(w, e)) return true;
        for (std::size_t c = 1; c <= 2 && e + c <= w.size(); ++c) {
            const std::string coda = w.substr(e, c);
            const bool ok = c == 1 ? std::string("LRSZMNX").find(coda[0]) != std::string::npos : coda == "NS" || coda == "RS";
            if (ok && sayable(w, e + c)) return true;
        }
    }
    return false;
}

bool isCapitalWord(const std::string& w) {
    if (w.size() < 2) return false;
    for (char c : w)
        if (!isLetter(c) || ttschars::upper(c) != c) return false;
    return true;
}

// a.C., d.C., p.ex.: a listed abbreviation with stops inside, followed by a
// full stop and a blank or the end of the line.
bool readDotted(const std::string& t, std::size_t& pos, std::string& out) {
    if (pos > 1 && isLetter(at(t, pos - 1))) return false;
    for (const Abbreviation& a : state.table) {
        const std::size_t len = a.abbreviation.size();
        if (a.abbreviation.find('.') == std::string::npos) continue;
        // The text may put a blank after an inner stop: p. ex. as p.ex.
        std::size_t q = pos;
        bool same = true;
        for (std::size_t i = 0; i < len && same; ++i) {
            same = ttschars::upper(at(t, q)) == a.abbreviation[i];
            ++q;
            if (same && a.abbreviation[i] == '.' && at(t, q) == ' ') ++q;
        }
        if (!same || at(t, q) != '.') continue;
        const char after = at(t, q + 1);
        if (after != '\0' && !isSpace(after) && after != ',' && after != ';' && after != ')') continue;
        out = a.expansion;
        pos = q + 1;
        if (after == '\0') out += '.';
        return true;
    }
    return false;
}

// Before the reading: the typographic dashes are hyphens (a spaced one a
// pause) and the ellipsis sign three full stops.
std::string plainSigns(const std::string& raw) {
    std::string t;
    t.reserve(raw.size());
    for (char ch : raw) {
        if (byte(ch) == 150 || byte(ch) == 151) t += '-';
        else if (byte(ch) == 133) t += "...";
        else t += ch;
    }
    return t;
}

bool isOrdinalSign(char c) { return byte(c) == 0xAA || byte(c) == 0xBA; }

// Profª, Prof.ª, Drª, Sr.ª: a title with the ordinal sign, found in the
// abbreviations as written or with a or o for the sign (Profa); an unknown
// one is its word, the sign unsaid.
bool readTitle(const std::string& t, std::size_t& pos, std::string& out) {
    std::size_t e = pos;
    while (isLetter(at(t, e))) ++e;
    const bool dotted = at(t, e) == '.' && isOrdinalSign(at(t, e + 1));
    if (!isOrdinalSign(at(t, e)) && !dotted) return false;
    const std::string word = t.substr(pos - 1, e - pos);
    const char sign = dotted ? at(t, e + 1) : at(t, e);
    out = findAbbreviation(word + sign);
    if (out.empty()) out = findAbbreviation(word + (byte(sign) == 0xAA ? "a" : "o"));
    if (out.empty()) out = word;
    pos = e + (dotted ? 2 : 1);
    return true;
}

}  // namespace

std::string normaliseText(const std::string& raw) {
    const Words& w = words();
    const std::string text = plainSigns(raw);
    const std::size_t n = text.size();
    if (n == 1) {
        // A letter with no name of its own (à) is said as itself.
        const std::string name = charName(byte(text[0]));
        return name.empty() && isLetter(text[0]) ? text : name;
    }
    std::string r;
    std::size_t pos = 1;
    while (pos <= n) {
        const char c = text[pos - 1];
        const std::size_t from = pos == 1 ? 1 : pos - 1;
        if (from + 2 <= n && text.compare(from - 1, 3, " - ") == 0) {
            r += ",";
            ++pos;
        } else if (c == '-' && pos < n && isDigit(text[pos])) {
            r += w.minus;
            ++pos;
        } else if (std::string said; readMoney(text, pos, said) ||
                   (isDigit(c) && (readDate(text, pos, said) || readTime(text, pos, said) ||
                                   readRange(text, pos, said) || readFraction(text, pos, said) ||
                                   readCode(text, pos, said)))) {
            r += said;
        } else if (isDigit(c)) {
            const std::size_t start = pos;
            std::string said = readNumber(text, pos) + " ";
            const bool cardinal = isDigit(at(text, pos - 1));  // not an ordinal (1º, 2a.)
            bool one = pos == start + 1 && c == '1', whole = cardinal;
            while (pos < n && (text[pos - 1] == ',' || text[pos - 1] == '.') && isDigit(text[pos])) {
                said += text[pos - 1] == ',' ? w.comma : w.point;
                ++pos;
                said += readNumber(text, pos) + " ";
                one = whole = false;
            }
            std::string unit;
            const bool hasUnit = isDigit(at(text, pos - 1)) && readUnit(text, pos, one, unit);
            // A count agrees with its noun: duzentas páginas, uma hora.
            if (whole && isFeminineNoun(hasUnit ? unit.substr(0, unit.find(' ')) : wordAfter(text, pos)))
                said = feminineCount(ttschars::trim(said)) + " ";
            r += said + unit;
            // A score or a size: 2 x 1 is "dois a um", 1920 x 1080 "por".
            std::size_t q = pos + (at(text, pos) == ' ' ? 1 : 0);
            if (whole && !hasUnit && (at(text, q) == 'x' || at(text, q) == 'X')) {
                const std::size_t d = q + 1 + (at(text, q + 1) == ' ' ? 1 : 0);
                if (isDigit(at(text, d)) && (at(text, q + 1) == ' ') == (q > pos)) {
                    r += pos - start <= 2 && digitRun(text, d) <= 2 ? "a " : "por ";
                    pos = d;
                }
            }
        } else if ((c == 'n' || c == 'N') && !isLetter(at(text, pos - 1)) &&
                   (byte(at(text, pos + 1)) == 0xBA || byte(at(text, pos + 1)) == 0xB0 ||
                    (at(text, pos + 1) == '.' && (byte(at(text, pos + 2)) == 0xBA || byte(at(text, pos + 2)) == 0xB0)))) {
            // nº, n.º, Nº
            r += cp1252("número ");
            pos += at(text, pos + 1) == '.' ? 3 : at(text, pos + 2) == '.' ? 3 : 2;
        } else if ((c == 'e' || c == 'E') && ttschars::lower(text.substr(pos - 1, 6)) == "e-mail" &&
                   !isLetter(at(text, pos + 6)) && !isLetter(at(text, pos - 1))) {
            r += text[pos - 1] == 'E' ? "Email" : "email";  // one word, as it is said
            pos += 6;
        } else if (std::string said; isLetter(c) && (readDotted(text, pos, said) || readRoman(text, pos, said) ||
                                                     readTitle(text, pos, said))) {
            r += said;
        } else if (isLetter(c)) {
            std::string word = scanWord(text, pos);
            std::string expansion;
            const char after = at(text, pos + 1);
            const bool lineEnd = after == '\0' || after == '\r' || after == '\n' || after == '\t';
            if (at(text, pos) == '.' && (after == ' ' || lineEnd)) expansion = findAbbreviation(word);
            if (!expansion.empty()) {
                r += expansion;
                if (lineEnd) r += '.';
                ++pos;
            } else if (isCapitalWord(word) && word.find('-') == std::string::npos && !sayable(word, 0) &&
                       word != "CEP") {  // CEP is said as a word
                for (char l : word) r += (r.empty() || r.back() == ' ' ? "" : " ") + ttschars::trim(charName(byte(l)));
            } else {
                r += word;
            }
            if (isDigit(at(text, pos))) r += ' ';  // sha224
        } else if (byte(c) == 0x80) {
            r += " euro ";
            ++pos;
        } else if (pos + 2 <= n && text.compare(pos - 1, 3, "...") == 0) {
            r += "... ";
            pos += 3;
        } else if (c == '.' && pos < n && text[pos] != ' ') {
            r += " ponto ";
            ++pos;
        } else {
            if (isKeptPunctuation(c) || c == '\t')
                r += c == '\t' ? ' ' : c;
            else if (c != '\t' && c != '\n' && c != '\r')
                r += " " + charName(byte(c)) + " ";
            ++pos;
        }
    }
    return r;
}

}  // namespace uttspreproc
