// Text normalisation. A line is read left to right: a spaced dash becomes a
// comma, a dash before a digit a minus sign, digits a number (with its
// decimal or point parts), letters a word (an abbreviation when the file
// lists it and ". " follows), "..." stays, a full stop inside a word is read
// "ponto", the phrasing punctuation stays and any other character is said by
// its name. Numbers are cut into five groups of three digits (trillions down
// to units), each group read as hundreds, tens and units and followed by its
// scale word; "e" joins the last group that is read to the ones before.
#include "tts/uttspreproc.hpp"

#include <array>
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
        if (g == last && !r.empty()) r += "e ";
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

std::string normaliseText(const std::string& text) {
    const Words& w = words();
    const std::size_t n = text.size();
    if (n == 1) return charName(byte(text[0]));
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
        } else if (isDigit(c)) {
            r += readNumber(text, pos) + " ";
            while (pos < n && (text[pos - 1] == ',' || text[pos - 1] == '.') && isDigit(text[pos])) {
                r += text[pos - 1] == ',' ? w.comma : w.point;
                ++pos;
                r += readNumber(text, pos) + " ";
            }
        } else if (isLetter(c)) {
            std::string word = scanWord(text, pos);
            std::string expansion;
            if (at(text, pos) == '.' && at(text, pos + 1) == ' ') expansion = findAbbreviation(word);
            if (!expansion.empty()) {
                r += expansion;
                ++pos;
            } else {
                r += word;
            }
        } else if (pos + 2 <= n && text.compare(pos - 1, 3, "...") == 0) {
            r += "... ";
            pos += 3;
        } else if (c == '.' && pos < n && text[pos] != ' ') {
            r += " ponto ";
            ++pos;
        } else {
            if (isKeptPunctuation(c))
                r += c;
            else if (c != '\t' && c != '\n' && c != '\r')
                r += " " + charName(byte(c)) + " ";
            ++pos;
        }
    }
    return r;
}

}  // namespace uttspreproc
