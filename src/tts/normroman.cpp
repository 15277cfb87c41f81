// Roman numerals: a number after a word that counts (século XXI, Rua XV,
// capítulo IV: vinte e um, quinze, quatro; séculos XV-XVI: quinze a
// dezesseis); an ordinal after a name, up to
// ten (D. Pedro II: segundo; João XXIII: vinte e três); the ordinal of the
// article's gender before a name (a III Conferência: terceira; o II
// Congresso: segundo).
#include <utility>

#include "tts/normalise.hpp"
#include "tts/ttschars.hpp"

namespace uttsnorm {

namespace {

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

enum class Use { none, count, name, feminineName, masculine, feminine };

Use use(const std::string& t, std::size_t pos, std::size_t end, const std::string& w) {
    const std::string before = wordBefore(t, pos);
    if (before.empty()) return Use::none;
    static const char* counting[] = {"século", "séculos", "rua", "r", "avenida", "av", "capítulo", "cap", "volume", "vol",
                                     "seção", "secção", "seções", "tomo", "parte", "artigo", "art", "ato", "livro",
                                     "título", "inciso", "inc", "séc", "sécs", "anexo", "fase", "classe", "grau", "tipo", "nível",
                                     "cláusula", "item", "itens", "questão", "lote", "bloco", "região", "distrito"};
    const std::string l = low(before);
    for (const char* c : counting)
        if (l == ttschars::cp1252(c)) return Use::count;
    // séculos XVIII e XIX: the second as the first
    if (l == "e" || l == "a" || l == ttschars::cp1252("à")) {
        const std::size_t b = wordBeforeStart(t, pos);
        const std::string prev = b ? wordBefore(t, b) : std::string();
        std::size_t pb = b ? wordBeforeStart(t, b) : 0;
        if (pb > 2 && at(t, pb - 1) == '-' && isLetter(at(t, pb - 2))) {  // XV-XVI e XVII
            pb -= 2;
            while (pb > 1 && isLetter(at(t, pb - 1))) --pb;
        }
        if (pb && romanValue(prev) && prev.size() > 0) {
            const Use u = use(t, pb, pb + prev.size(), prev);
            if (u == Use::count || u == Use::name || u == Use::feminineName) return u;
        }
    }
    // a III Conferência, o II Congresso Nacional
    const std::string after = wordAfter(t, end);
    if (!after.empty() && isUpperLetter(after[0]) && at(t, end) == ' ' &&
        w.find_first_not_of("IVX") == std::string::npos) {
        static const char* fem[] = {"a", "da", "na", "pela", "à"};
        static const char* masc[] = {"o", "do", "no", "pelo", "ao"};
        for (const char* f : fem)
            if (l == ttschars::cp1252(f)) return Use::feminine;
        for (const char* m : masc)
            if (l == m) return Use::masculine;
    }
    const bool name = before.size() >= 2 && isUpperLetter(before[0]) && low(before.substr(1)) == before.substr(1);
    if (!name || w.find_first_not_of("IVX") != std::string::npos) return Use::none;
    // Maria I, Elizabeth II: a queen
    static const char* queens[] = {"elizabeth", "isabel", "elisabete", "leonor", "beatriz", "vitória", "ester"};
    bool queen = l.back() == 'a';
    for (const char* q : queens) queen = queen || l == ttschars::cp1252(q);
    return queen ? Use::feminineName : Use::name;
}

}  // namespace

// séculos XV-XVI: the second numeral of a range, its end (or 0).
std::size_t rangeEnd(const std::string& t, std::size_t e) {
    if (at(t, e) != '-') return 0;
    std::size_t f = e + 1;
    while (isLetter(at(t, f))) ++f;
    return f > e + 1 && !isDigit(at(t, f)) && romanValue(t.substr(e, f - e - 1)) ? f : 0;
}

std::size_t isRoman(const std::string& t, std::size_t pos) {
    if (pos > 1 && isLetter(at(t, pos - 1))) return 0;
    std::size_t e = pos;
    while (isLetter(at(t, e))) ++e;
    const std::size_t range = rangeEnd(t, e);
    if (isDigit(at(t, e)) || (at(t, e) == '-' && !range)) return 0;
    const std::string w = t.substr(pos - 1, e - pos);
    if (!romanValue(w) || use(t, pos, e, w) == Use::none) return 0;
    return range ? range : e;
}

std::string sayRoman(const std::string& t, std::size_t pos, std::size_t end) {
    if (const std::size_t dash = t.find('-', pos - 1); dash != std::string::npos && dash + 1 < end) {
        // XV-XVI: quinze a dezesseis
        const std::string first = sayRoman(t, pos, dash + 1);
        const std::string second = t.substr(dash + 1, end - dash - 2);
        const std::string rest = sayRoman(t.substr(0, pos - 1) + second + t.substr(end - 1), pos, pos + second.size());
        return first + "a " + rest;
    }
    const std::string w = t.substr(pos - 1, end - pos);
    const auto v = static_cast<std::uint64_t>(romanValue(w));
    switch (use(t, pos, end, w)) {
    case Use::count: return number(v) + " ";
    case Use::feminine: return uttspreproc::ordinalWords(uttspreproc::Gender::feminine, v) + " ";
    case Use::masculine: return uttspreproc::ordinalWords(uttspreproc::Gender::masculine, v) + " ";
    case Use::feminineName:
        return (v <= 10 ? uttspreproc::ordinalWords(uttspreproc::Gender::feminine, v) : number(v)) + " ";
    default: return (v <= 10 ? uttspreproc::ordinalWords(uttspreproc::Gender::masculine, v) : number(v)) + " ";
    }
}

}  // namespace uttsnorm
