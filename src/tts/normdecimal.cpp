// Decimal numbers: 3,14 (três vírgula quatorze), 1.234,5, 0,05 (zero
// vírgula zero cinco), 2,71828 (past three decimals the digits one by one:
// dois vírgula sete um oito dois oito) and the point of 2.5 or 1.5.2,
// said "ponto".
#include "tts/normalise.hpp"
#include "tts/ttschars.hpp"

namespace uttsnorm {

namespace {

// Where the whole part at pos ends (thousands with "." or blanks).
std::size_t wholeEnd(const std::string& t, std::size_t pos) { return isCardinal(t, pos); }

std::string decimals(const std::string& digits) {
    return digits.size() > 3 ? digitsOneByOne(digits) : chunkWords(digits);
}

}  // namespace

std::size_t isDecimal(const std::string& t, std::size_t pos) {
    std::size_t p = wholeEnd(t, pos);
    if (!p) return 0;
    bool any = false;
    while ((at(t, p) == ',' || at(t, p) == '.') && digitRun(t, p + 1) > 0) {
        p += 1 + digitRun(t, p + 1);
        any = true;
    }
    return any ? p : 0;
}

std::string sayDecimal(const std::string& t, std::size_t pos, std::size_t end) {
    std::size_t p = wholeEnd(t, pos);
    std::string r = sayCardinal(t, pos, p);
    while (p < end) {
        const bool comma = at(t, p) == ',';
        const std::size_t k = digitRun(t, p + 1);
        r += (comma ? ttschars::cp1252("vírgula ") : std::string("ponto ")) + decimals(t.substr(p, k)) + " ";
        p += 1 + k;
    }
    return r;
}

}  // namespace uttsnorm
