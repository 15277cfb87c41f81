// Money: R$ 1.234,56, R$1,00, US$ 5, $ 5, € 5, 5 € (the sign before or
// after), R$ 2 milhões, US$ 10 mil, R$ 3 mi, R$ 2,5 bi (the scale word or
// its abbreviation after the amount: "três milhões de reais"), ranges (R$
// 10-20, R$ 2 a 3 milhões: dois a três milhões de reais). Signs,
// names and scale words come from the currency table.
#include "tts/normalise.hpp"
#include "tts/ttschars.hpp"

namespace uttsnorm {

namespace {

struct Amount {
    const Currency* currency = nullptr;
    std::size_t num = 0, numEnd = 0;  // the amount
    std::uint64_t whole = 0, cents = 0;
    bool hasCents = false;
    std::size_t decimals = 0, decLen = 0;  // 2,5 bi: the digits after the comma
    const Currency* scale = nullptr;       // mi, bi, milhões
    std::size_t upTo = 0;                  // the second amount of a range
    std::size_t end = 0;
};

const Currency* signAt(const std::string& t, std::size_t p) {
    for (const Currency& c : tables().currencies) {
        if (c.scale || !startsAt(t, p, c.sign)) continue;
        // R$ but not a word ending in R; a sign of letters stands alone
        if (isLetter(c.sign.back()) && isLetter(at(t, p + c.sign.size()))) continue;
        if (isLetter(c.sign[0]) && p > 1 && isLetter(at(t, p - 1))) continue;
        return &c;
    }
    return nullptr;
}

const Currency* scaleAfter(const std::string& t, std::size_t p, std::size_t& end) {
    if (at(t, p) != ' ') return nullptr;
    const std::string w = wordAfter(t, p);
    if (w.empty()) return nullptr;
    for (const Currency& c : tables().currencies) {
        if (!c.scale || (w != c.sign && w != c.singular && w != c.plural)) continue;
        end = p + 1 + w.size();
        return &c;
    }
    return nullptr;
}

// The amount at p: thousands with "." or blanks, two digits of cents after
// ",", or any decimals when a scale word follows.
bool amount(const std::string& t, std::size_t p, Amount& a) {
    const std::size_t e = isCardinal(t, p);
    if (!e) return false;
    a.num = p;
    std::string digits;
    for (std::size_t q = p; q < e; ++q)
        if (isDigit(at(t, q))) digits += at(t, q);
    if (digits.size() > 15) return false;
    a.whole = valueOf(digits, 1, digits.size());
    std::size_t q = e;
    const std::size_t k = at(t, q) == ',' ? digitRun(t, q + 1) : 0;
    std::size_t scaleEnd = 0;
    if (k >= 1 && k <= 3 && (a.scale = scaleAfter(t, q + 1 + k, scaleEnd))) {
        a.decimals = q + 1;
        a.decLen = k;
        a.end = scaleEnd;
    } else if (k == 2) {
        a.hasCents = true;
        a.cents = valueOf(t, q + 1, 2);
        a.end = q + 3;
    } else if (k == 0 && (a.scale = scaleAfter(t, q, scaleEnd))) {
        a.end = scaleEnd;
    } else if (k == 0) {
        a.end = q;
    } else {
        return false;
    }
    a.numEnd = a.decimals ? a.decimals + a.decLen : e;
    return !isDigit(at(t, a.end)) && !(at(t, a.end) == ',' && isDigit(at(t, a.end + 1)));
}

bool parse(const std::string& t, std::size_t pos, Amount& a) {
    if (const Currency* c = signAt(t, pos)) {
        std::size_t p = pos + c->sign.size();
        if (at(t, p) == ' ' || ttschars::byte(at(t, p)) == 0xA0) ++p;
        if (!amount(t, p, a)) return false;
        a.currency = c;
        // R$ 10-20, R$ 10 a 20: the second amount of a range in this currency
        if (!a.scale) {
            std::size_t q = a.end;
            const std::string w = at(t, q) == ' ' ? low(wordAfter(t, q)) : std::string();
            if (at(t, q) == '-') q += 1;
            else if (at(t, q) == ' ' && at(t, q + 1) == '-' && at(t, q + 2) == ' ') q += 3;
            else if (w == "a") q += 3;
            else q = 0;
            if (q && startsAt(t, q, c->sign)) q += c->sign.size() + (at(t, q + c->sign.size()) == ' ' ? 1 : 0);
            Amount b;
            // R$ 2-3 mil, R$ 2 a 3 milhões: the scale of the second is the first's too
            if (q && isDigit(at(t, q)) && amount(t, q, b) && !b.decimals && !a.hasCents &&
                (b.scale ? b.whole > a.whole : b.whole * 100 + b.cents > a.whole * 100 + a.cents)) {
                a.upTo = q;
                a.end = b.end;
            }
        }
        return true;
    }
    if (!isDigit(at(t, pos)) || (pos > 1 && (isDigit(at(t, pos - 1)) || at(t, pos - 1) == ','))) return false;
    if (!amount(t, pos, a)) return false;
    std::size_t q = a.end;
    if (at(t, q) == ' ') ++q;
    const Currency* c = signAt(t, q);
    if (!c || isLetter(c->sign[0])) return false;  // 5 €, never "5 R"
    a.currency = c;
    a.end = q + c->sign.size();
    return true;
}

std::string count(std::uint64_t v, bool feminine) {
    return feminine ? feminineCount(number(v)) : number(v);
}

// mil duzentos e trinta e quatro reais e cinqüenta e seis centavos
std::string plainAmount(std::uint64_t whole, std::uint64_t cents, const Currency& c) {
    std::string r;
    if (whole || !cents) {
        r = count(whole, c.feminine) + " " + (whole == 1 ? c.singular : c.plural);
        if (whole >= 1000000 && whole % 1000000 == 0) r = number(whole) + " de " + c.plural;
    }
    if (cents) r += (r.empty() ? "" : " e ") + number(cents) + (cents == 1 ? " centavo" : " centavos");
    return r + " ";
}

}  // namespace

std::size_t isMoney(const std::string& t, std::size_t pos) {
    Amount a;
    return parse(t, pos, a) ? a.end : 0;
}

std::string sayMoney(const std::string& t, std::size_t pos, std::size_t) {
    Amount a;
    parse(t, pos, a);
    const Currency& c = *a.currency;
    const bool fem = c.feminine;
    if (a.upTo) {  // dez a vinte reais
        Amount b;
        amount(t, a.upTo, b);
        if (b.scale) {  // dois a três mil reais, dois a três milhões de reais
            const bool thousand = b.scale->singular == "mil";
            return (thousand ? count(a.whole, fem) : number(a.whole)) + " a " +
                   (thousand ? count(b.whole, fem) : number(b.whole)) + " " +
                   (thousand ? b.scale->singular + " " : b.scale->plural + " de ") + c.plural + " ";
        }
        if (!a.cents && !b.hasCents) return count(a.whole, fem) + " a " + count(b.whole, fem) + " " + c.plural + " ";
        return plainAmount(a.whole, a.cents, c) + "a " + plainAmount(b.whole, b.cents, c);
    }
    if (a.scale) {
        // R$ 2 mil (duas mil libras), R$ 1 mil (mil reais), R$ 2,5 bi
        const bool thousand = a.scale->singular == "mil";
        std::string r = thousand ? count(a.whole, fem) : number(a.whole);
        if (a.decimals) r += ttschars::cp1252(" vírgula ") + chunkWords(t.substr(a.decimals - 1, a.decLen));
        else if (thousand && a.whole == 1) r.clear();
        const std::string& scale = thousand || a.whole < 2 ? a.scale->singular : a.scale->plural;
        return r + (r.empty() ? "" : " ") + scale + (thousand ? " " : " de ") + c.plural + " ";
    }
    return plainAmount(a.whole, a.cents, c);
}

}  // namespace uttsnorm
