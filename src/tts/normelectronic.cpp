// E-mail addresses and web addresses: fulano@exemplo.com.br, www.gov.br,
// https://www.gov.br/saude. Said piece by piece: "arroba", "ponto",
// "barra", "dois pontos", "sublinhado" (a hyphen between words unsaid); a
// piece that can be said as a word is a word (gov, saude), one that cannot
// is spelled (br, www), numbers are numbers.
#include "tts/normalise.hpp"
#include "tts/ttschars.hpp"

namespace uttsnorm {

namespace {

bool addressChar(char c) {
    return isLetter(c) || isDigit(c) || c == '.' || c == '-' || c == '_' || c == '+' || c == '%' || c == '/' ||
           c == ':' || c == '@' || c == '?' || c == '=' || c == '&' || c == '#' || c == '~';
}

// The end of the address, dropping the stops and signs that end a sentence.
// Addresses are short: a run of their characters longer than this is no
// address (and a long line is read in linear time).
constexpr std::size_t longest = 256;

std::size_t addressEnd(const std::string& t, std::size_t p) {
    const std::size_t start = p;
    while (addressChar(at(t, p)) && p - start < longest) ++p;
    while (p > 1 && (at(t, p - 1) == '.' || at(t, p - 1) == ':' || at(t, p - 1) == '?' || at(t, p - 1) == ',')) --p;
    return p;
}

// A piece of four letters or more with a vowel is a word (wget, gnome);
// one of three a word when it makes syllables (gov, org, gnu, but tse);
// shorter ones and those without a vowel are spelled (br, sp, html).
bool sayablePiece(const std::string& piece) {
    if (const Acronym* a = acronym(ttschars::upper(piece))) return !a->reading.empty();
    bool vowel = false;
    for (char c : piece) vowel = vowel || isVowelLetter(c);
    const std::string up = ttschars::upper(piece);
    if (piece.size() == 3) return sayable(up) || sayableLoosely(up) || sayableLoosely(up + "I");
    return piece.size() > 3 && vowel;
}

// gnu.org/licenses, tse.jus.br: a name whose last part is a top-level
// domain.
std::size_t domainEnd(const std::string& t, std::size_t pos) {
    static const char* domains[] = {"com", "org", "net", "br", "gov", "edu", "io", "info", "pt", "jus", "leg", "mil"};
    std::size_t p = pos, dots = 0, lastPiece = 0;
    for (;;) {
        if (p - pos > longest) return 0;
        const std::size_t s = p;
        while (isLetter(at(t, p)) || isDigit(at(t, p)) || at(t, p) == '-') ++p;
        if (p == s) return 0;
        lastPiece = s;
        if (at(t, p) != '.' || !(isLetter(at(t, p + 1)) || isDigit(at(t, p + 1)))) break;
        ++p;
        ++dots;
    }
    if (!dots || isLetter(at(t, p)) || at(t, p) == '@') return 0;
    const std::string tld = low(t.substr(lastPiece - 1, p - lastPiece));
    bool known = false;
    for (const char* d : domains) known = known || tld == d;
    if (!known) return 0;
    return at(t, p) == '/' ? addressEnd(t, p) : p;
}

}  // namespace

std::size_t isElectronic(const std::string& t, std::size_t pos) {
    // <bugs@gnu.org>: the angle brackets are not said
    if (at(t, pos) == '<') {
        const std::size_t e = isElectronic(t, pos + 1);
        return e && at(t, e) == '>' ? e + 1 : 0;
    }
    if (pos > 1 && addressChar(at(t, pos - 1))) return 0;
    const std::string head = low(t.substr(pos - 1, 8));
    if (head.rfind("http://", 0) == 0 || head.rfind("https://", 0) == 0 || head.rfind("www.", 0) == 0) {
        const std::size_t e = addressEnd(t, pos);
        return e > pos + 4 ? e : 0;
    }
    if (const std::size_t e = domainEnd(t, pos)) return e;
    // name@domain.tld
    std::size_t p = pos;
    while ((isLetter(at(t, p)) || isDigit(at(t, p)) || at(t, p) == '.' || at(t, p) == '-' || at(t, p) == '_' ||
            at(t, p) == '+') && p - pos < longest)
        ++p;
    if (p == pos || at(t, p) != '@') return 0;
    const std::size_t e = addressEnd(t, p + 1);
    const std::string domain = t.substr(p, e - p - 1);
    if (domain.find('.') == std::string::npos || domain.find('@') != std::string::npos) return 0;
    return e;
}

std::string sayElectronic(const std::string& t, std::size_t pos, std::size_t end) {
    std::string r;
    std::size_t p = pos;
    while (p < end) {
        const char c = at(t, p);
        if (isLetter(c)) {
            std::size_t e = p;
            while (e < end && isLetter(at(t, e))) ++e;
            const std::string piece = t.substr(p - 1, e - p);
            const Acronym* a = acronym(ttschars::upper(piece));
            if (a && !a->reading.empty()) r += a->reading + " ";
            else if (sayablePiece(piece)) r += low(piece) + " ";
            else
                for (char l : piece) r += ttschars::trim(uttspreproc::charName(ttschars::byte(l))) + " ";
            p = e;
        } else if (isDigit(c)) {
            const std::size_t k = digitRun(t, p);
            r += (k > 4 ? digitsOneByOne(t.substr(p - 1, k)) : chunkWords(t.substr(p - 1, k))) + " ";
            p += k;
        } else {
            static const std::pair<char, const char*> names[] = {
                {'.', "ponto"}, {'@', "arroba"}, {'/', "barra"}, {':', "dois pontos"},
                {'_', "sublinhado"}, {'?', "interrogação"}, {'=', "igual"}, {'&', "é comercial"}, {'#', "sustenido"},
                {'~', "til"}, {'+', "mais"}, {'%', "por cento"}};
            for (const auto& [ch, name] : names)
                if (ch == c) r += ttschars::cp1252(name) + " ";
            ++p;
        }
    }
    return r;
}

}  // namespace uttsnorm
