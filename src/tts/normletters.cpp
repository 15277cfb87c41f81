// Letters and acronyms. A word in capitals is said as a word when its
// letters make Portuguese syllables (ONU, DETRAN, and with a final stop
// USP, FIESP, PUC: the letter-to-sound rules give the stop its i) and
// spelled otherwise (INSS i êne ésse ésse, IBGE), two capitals spelled;
// the acronym table (portug.sig) settles the exceptions both ways and
// spells the acronyms it lists in any case (inss as INSS). A capitalised
// word whose one vowel opens it and that makes no syllables (Ufrj) and a
// word of consonants alone are spelled too.
#include <array>

#include "tts/normalise.hpp"
#include "tts/ttschars.hpp"

namespace uttspreproc {

namespace {

const std::array<std::string, 256>& names() {
    static const std::array<std::string, 256> table = [] {
        std::array<std::string, 256> n;
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
        for (int c = 32; c <= 126; ++c) n[c] = ttschars::cp1252(low[c - 32]);
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
        for (int c = 161; c <= 220; ++c) n[c] = ttschars::cp1252(high[c - 161]);
        for (int c = 225; c <= 255; ++c) n[c] = n[c - 32];
        return n;
    }();
    return table;
}

}  // namespace

std::string charName(unsigned char c) { return names()[c]; }

std::string scanWord(const std::string& text, std::size_t& pos) {
    using uttsnorm::at;
    const std::size_t start = pos;
    bool allConsonants = true;
    while (uttsnorm::isLetter(at(text, pos))) {
        if (!uttsnorm::isConsonant(at(text, pos))) allConsonants = false;
        ++pos;
        // guarda-chuva, pré- e pós-: the hyphen is the word's; 5 mil-10
        // mil: it is a range's
        if (at(text, pos) == '-' && !uttsnorm::isDigit(at(text, pos + 1))) ++pos;
    }
    std::string word = text.substr(start - 1, pos - start);
    if (allConsonants && !word.empty()) {
        if (at(text, pos) == '.' && !findAbbreviation(word).empty()) return word;
        std::string spelled;
        for (char c : word) spelled += charName(ttschars::byte(c));
        return spelled;
    }
    return word;
}

}  // namespace uttspreproc

namespace uttsnorm {

namespace {

bool in(const char* set, char c) { return c && std::string(set).find(c) != std::string::npos; }

// Syllables at i: an onset (one consonant, or a consonant with l or r, ch,
// lh, nh, qu, gu; in the lenient reading also pn, ps, gn, mn), one to three
// vowels, and a coda of l r s z m n x (or ns, rs; in the lenient reading
// also the stops b c d g p t f). The strict reading lets a final stop
// stand alone (said with an i).
bool syllables(const std::string& w, std::size_t i, bool lenient) {
    if (i == w.size()) return true;
    static const char* onsets2[] = {"BL", "BR", "CL", "CR", "DR", "FL", "FR", "GL", "GR", "PL", "PR", "TR", "TL",
                                    "VR", "CH", "LH", "NH", "QU", "GU", "PN", "PS", "GN", "MN"};
    std::vector<std::size_t> starts;
    for (int k = 0; k < (lenient ? 23 : 19); ++k)
        if (w.compare(i, 2, onsets2[k]) == 0) starts.push_back(i + 2);
    if (isConsonant(w[i])) starts.push_back(i + 1);
    starts.push_back(i);
    for (std::size_t v : starts) {
        std::size_t e = v;
        while (e < w.size() && e - v < 3 && isVowelLetter(w[e])) ++e;
        if (e == v) continue;
        if (syllables(w, e, lenient)) return true;
        // a final stop: USP, FIESP, MEC
        if (!lenient && e + 2 >= w.size()) {
            const std::size_t c = e + (e + 2 == w.size() && in("LRSNM", w[e]) ? 1 : 0);
            if (c + 1 == w.size() && in("BCDGKPTF", w[c])) return true;
        }
        for (std::size_t c = 1; c <= 2 && e + c <= w.size(); ++c) {
            const std::string coda = w.substr(e, c);
            const bool ok = c == 1 ? in(lenient ? "LRSZMNXBCDGPTF" : "LRSZMNX", coda[0]) : coda == "NS" || coda == "RS";
            if (ok && syllables(w, e + c, lenient)) return true;
        }
    }
    return false;
}

bool allCapitals(const std::string& w) {
    for (char c : w)
        if (!isUpperLetter(c)) return false;
    return true;
}

bool hasInnerCapital(const std::string& w) {
    for (std::size_t i = 1; i < w.size(); ++i)
        if (isUpperLetter(w[i])) return true;
    return false;
}

bool consonantsOnly(const std::string& w) {
    for (char c : w)
        if (!isConsonant(c)) return false;
    return true;
}

// How the word at pos is said, or empty text when it is a plain word (a
// word of consonants in small letters is left to scanWord).
std::string reading(const std::string& word) {
    const std::string up = ttschars::upper(word);
    const bool caps = word.size() >= 2 && allCapitals(word);
    // inss, ibge and CNPq spelled like their capitals when the table knows
    // them; the words of two capitals (DE, EM) only in capitals
    if (const Acronym* a = acronym(up))
        if (a->reading.empty() || caps || hasInnerCapital(word)) return a->reading.empty() ? spelled(word) : a->reading;
    // ONGs, CPFs: the plural of an acronym
    if (word.size() >= 3 && word.back() == 's' && allCapitals(word.substr(0, word.size() - 1))) {
        const std::string single = reading(word.substr(0, word.size() - 1));
        return single.empty() ? single : single + "s";
    }
    if (consonantsOnly(word)) return caps ? spelled(word) : std::string();
    if (caps && word.size() == 2) return spelled(word);
    if (caps || (hasInnerCapital(word) && word.size() <= 6)) {
        if (syllables(up, 0, false)) return {};
        if (word.size() >= 5 && syllables(up, 0, true)) return {};  // OBTER, PACTO
        return spelled(word);
    }
    // Ufrj, Ufmg: a capital and three consonants after the one vowel that
    // opens the word (in small letters such words are as often commands
    // and English words: only the table spells them)
    std::size_t vowels = 0;
    for (char c : word) vowels += isVowelLetter(c) ? 1 : 0;
    if (isUpperLetter(word[0]) && word.size() >= 4 && word.size() <= 5 && vowels == 1 && isVowelLetter(word[0]) &&
        !syllables(up, 0, true))
        return spelled(word);
    return {};
}

}  // namespace

bool sayable(const std::string& upperWord) { return !upperWord.empty() && syllables(upperWord, 0, false); }
bool sayableLoosely(const std::string& upperWord) { return !upperWord.empty() && syllables(upperWord, 0, true); }

std::string spelled(const std::string& word) {
    std::string r;
    for (char l : word) r += (r.empty() ? "" : " ") + ttschars::trim(uttspreproc::charName(ttschars::byte(l)));
    return r;
}

std::size_t isLetters(const std::string& t, std::size_t pos) {
    if (!isLetter(at(t, pos)) || (pos > 1 && isLetter(at(t, pos - 1)))) return 0;
    std::size_t e = pos;
    while (isLetter(at(t, e))) ++e;
    if (at(t, e) == '-' && isLetter(at(t, e + 1))) return 0;  // guarda-chuva
    if (pos > 1 && at(t, pos - 1) == '-' && isLetter(at(t, pos - 2))) return 0;
    const std::string word = t.substr(pos - 1, e - pos);
    return reading(word).empty() ? 0 : e;
}

std::string sayLetters(const std::string& t, std::size_t pos, std::size_t end) {
    return reading(t.substr(pos - 1, end - pos)) + " ";
}

}  // namespace uttsnorm
