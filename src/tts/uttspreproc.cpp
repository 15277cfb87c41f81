// Text normalisation: the classifier. A line is read left to right; at
// each position the kinds of token are asked in turn whether one of theirs
// starts there (a number: money, date, range, time, code, fraction,
// measure, decimal, ordinal, cardinal; a word: money, date, electronic
// address, plate, abbreviation, roman numeral, letters, plain word) and the
// first that answers says it. Between tokens: a spaced dash is a comma, a
// dash or plus before a number or an amount is "menos" or "mais", "..."
// stays, a full stop inside a word is "ponto", the phrasing punctuation
// stays, quotes are silent and any other character is said by its name. Each kind lives in a
// file of its own (normcardinal.cpp, normdate.cpp ...) with its tables in
// data/tireltts.
#include "tts/uttspreproc.hpp"

#include "tts/normalise.hpp"
#include "tts/ttschars.hpp"

namespace uttspreproc {

namespace {

using namespace uttsnorm;
using ttschars::byte;

struct Kind {
    std::size_t (*is)(const std::string&, std::size_t);
    std::string (*say)(const std::string&, std::size_t, std::size_t);
};

const Kind numberKinds[] = {
    {isMoney, sayMoney},       {isDate, sayDate},         {isRange, sayRange},     {isTime, sayTime},
    {isCode, sayCode},         {isFraction, sayFraction}, {isMeasure, sayMeasure}, {isDecimal, sayDecimal},
    {isOrdinal, sayOrdinal},   {isCardinal, sayCardinal},
};
const Kind wordKinds[] = {
    {isMoney, sayMoney},   {isDate, sayDate},   {isElectronic, sayElectronic}, {isCode, sayCode},
    {isAbbreviation, sayAbbreviation}, {isRoman, sayRoman}, {isLetters, sayLetters}, {isWord, sayWord},
};

bool isKeptPunctuation(char c) {
    switch (c) {
    case ' ': case '!': case '(': case ')': case ',': case '.': case ':': case ';': case '?':
        return true;
    default:
        return false;
    }
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

// The token of a kind at pos: its end, and its words in out.
std::size_t token(const std::string& t, std::size_t pos, std::string& out) {
    const char c = at(t, pos);
    if (isDigit(c) || byte(c) == 0xBC || byte(c) == 0xBD || byte(c) == 0xBE) {  // ¼ ½ ¾
        for (const Kind& k : numberKinds)
            if (const std::size_t e = k.is(t, pos); e > pos) {
                out = k.say(t, pos, e);
                return e;
            }
    } else if (isLetter(c) || c == '$' || c == '<' || byte(c) == 0x80 || byte(c) == 0xA3 || byte(c) == 0xA5) {
        for (const Kind& k : wordKinds)
            if (const std::size_t e = k.is(t, pos); e > pos) {
                out = k.say(t, pos, e);
                return e;
            }
    }
    return 0;
}

// A full stop after a short word and before a small letter or a digit
// ends no sentence (cj. 5, qd. 3): an abbreviation the table lacks.
bool innerStop(const std::string& t, std::size_t pos) {
    if (!isLetter(at(t, pos - 1)) || at(t, pos + 1) != ' ') return false;
    const char next = at(t, pos + 2);
    if (!(isDigit(next) || (isLetter(next) && !isUpperLetter(next)))) return false;
    std::size_t b = pos - 1;
    while (b > 1 && isLetter(at(t, b - 1))) --b;
    return pos - b <= 4;
}

// The two capitals of a Brazilian state at p, a word of their own.
bool stateCode(const std::string& t, std::size_t p) {
    static const char* codes = "AC AL AP AM BA CE DF ES GO MA MT MS MG PA PB PR PE PI RJ RN RS RO RR SC SP SE TO";
    if (!isUpperLetter(at(t, p)) || !isUpperLetter(at(t, p + 1)) || isLetter(at(t, p + 2)) || isDigit(at(t, p + 2)) ||
        at(t, p + 2) == '/')
        return false;
    return std::string(codes).find(t.substr(p - 1, 2)) != std::string::npos;
}

}  // namespace

void reset() {
    clearAbbreviations();
    clearGenders();
    uttsnorm::resetTables();
}

std::string normaliseText(const std::string& raw) {
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
        std::string said;
        if (from + 2 <= n && text.compare(from - 1, 3, " - ") == 0) {
            r += ",";
            ++pos;
        } else if (c == '-' && at(text, pos + 1) == '-' &&
                   !((pos == 1 || isBlank(at(text, pos - 1))) && isLetter(at(text, pos + 2)) &&
                     !isUpperLetter(at(text, pos + 2)))) {
            // -- a dash typed as two hyphens (--include is an option)
            while (at(text, pos) == '-') ++pos;
            r += ", ";
        } else if (byte(c) == 0xA7 && byte(at(text, pos + 1)) == 0xA7) {
            r += ttschars::cp1252(" parágrafos ");  // §§ 1º e 2º
            pos += 2;
        } else if (c == '/' && isLetter(at(text, pos - 1)) && stateCode(text, pos + 1)) {
            r += ", ";  // Brasília/DF, Recife/PE: the city and its state
            ++pos;
        } else if (c == '=' && at(text, pos - 1) == ' ' && at(text, pos + 1) == ' ') {
            r += "igual a";  // 1 cm = 10 mm
            ++pos;
        } else if (c == '-' && isDigit(at(text, pos + 1)) &&
                   (byte(at(text, pos - 1)) == 0xBA || byte(at(text, pos - 1)) == 0xAA ||
                    (isLetter(at(text, pos - 1)) && low(wordBefore(text, pos)) == "mil"))) {
            r += " a ";  // arts. 5º-7º, 5 mil-10 mil: a range
            ++pos;
        } else if (c == '-' && isLetter(at(text, pos - 1)) && isDigit(at(text, pos + 1))) {
            r += ' ';  // UTF-8, Covid-19: a hyphen, no sign
            ++pos;
        } else if ((c == '-' || c == '+') && pos < n &&
                   (isDigit(text[pos]) || (!isDigit(at(text, pos - 1)) && isMoney(text, pos + 1)))) {
            if (!r.empty() && r.back() != ' ') r += ' ';
            r += c == '-' ? "menos " : "mais ";
            ++pos;
        } else if (const std::size_t e = token(text, pos, said)) {
            r += said;
            pos = e;
        } else if (byte(c) == 0x80) {
            r += " euro ";
            ++pos;
        } else if (pos + 2 <= n && text.compare(pos - 1, 3, "...") == 0) {
            r += "... ";
            pos += 3;
        } else if (c == '.' && pos < n && text[pos] != ' ') {
            r += " ponto ";
            ++pos;
        } else if (c == '.' && innerStop(text, pos)) {
            ++pos;
        } else {
            if (isKeptPunctuation(c) || c == '\t')
                r += c == '\t' ? ' ' : c;
            else if (c == '"')
                r += ' ';  // quotes are heard in the voice, not named (as “ ” are not)
            else if (c != '\n' && c != '\r')
                r += " " + charName(byte(c)) + " ";
            ++pos;
        }
    }
    return r;
}

}  // namespace uttspreproc
