// Ordinal numbers: 1º, 2ª, 3.º, 1.ª, 2o., 21a., 3os. (the sign gives the
// gender). From 2000 on the cardinal is said.
#include "tts/normalise.hpp"
#include "tts/ttschars.hpp"

namespace uttspreproc {

std::string ordinalWords(Gender gender, std::uint64_t value) {
    if (value >= 2000) return cardinalWords(value);
    if (value == 0) return "zero";
    static const char* units[] = {"", "primeiro", "segundo", "terceiro", "quarto", "quinto", "sexto", "sétimo", "oitavo", "nono"};
    static const char* tens[] = {"", "décimo", "vigésimo", "trigésimo", "quadragésimo", "quinquagésimo", "sexagésimo", "septuagésimo", "octogésimo", "nonagésimo"};
    static const char* hundreds[] = {"", "centésimo", "ducentésimo", "tricentésimo", "quadringentésimo", "quingentésimo", "seiscentésimo", "septingentésimo", "octingentésimo", "nongentésimo"};
    std::string r;
    int place = 0;
    for (std::uint64_t v = value; v > 0 && place < 4; v /= 10, ++place) {
        const int d = static_cast<int>(v % 10);
        if (d == 0) continue;
        std::string word = ttschars::cp1252(place == 0 ? units[d] : place == 1 ? tens[d] : place == 2 ? hundreds[d] : "milésimo");
        if (gender == Gender::feminine && !word.empty()) word.back() = 'a';
        r = word + " " + r;
    }
    return ttschars::trim(r);
}

}  // namespace uttspreproc

namespace uttsnorm {

std::size_t isOrdinal(const std::string& t, std::size_t pos) {
    std::size_t p = pos;
    if (!isDigit(at(t, p))) return 0;
    while (isDigit(at(t, p)) || (at(t, p) == '.' && digitRun(t, p + 1) == 3)) ++p;
    const unsigned char a = ttschars::byte(at(t, p)), b = ttschars::byte(at(t, p + 1));
    const char c = at(t, p + 2);
    const auto sign = [](unsigned char x) { return x == 0xBA || x == 0xAA; };
    if (sign(a)) return p + 1;
    if (a == '.' && sign(b)) return p + 2;
    if ((a == 'o' || a == 'a') && b == '.') return p + 2;
    if ((a == 'o' || a == 'a') && b == 's' && c == '.') return p + 3;
    return 0;
}

std::string sayOrdinal(const std::string& t, std::size_t pos, std::size_t end) {
    const std::string token = t.substr(pos - 1, end - pos);
    std::size_t q = 1;
    return uttspreproc::readNumber(token, q) + " ";
}

}  // namespace uttsnorm
