// Clock times: 14h30, 14h30min, 18H15, 9h, 9:05, 9:05:30, 08:00h, 8:30 h,
// and 9.45 where a word of time comes before (às, das, até ...) or an h
// after. Hours are feminine: uma hora, vinte e uma horas.
#include "tts/normalise.hpp"
#include "tts/ttschars.hpp"

namespace uttsnorm {

namespace {

struct Clock {
    std::uint64_t hours = 0, minutes = 0, seconds = 0;
    std::size_t end = 0;
};

bool wordEnds(const std::string& t, std::size_t p) { return !isLetter(at(t, p)) && !isDigit(at(t, p)); }

// The h (or " h") that may follow 08:00 or 9.45.
std::size_t hourSign(const std::string& t, std::size_t p) {
    if ((at(t, p) == 'h' || at(t, p) == 'H') && wordEnds(t, p + 1)) return p + 1;
    if (at(t, p) == ' ' && (at(t, p + 1) == 'h' || at(t, p + 1) == 'H') && wordEnds(t, p + 2)) return p + 2;
    if (at(t, p) == 'h' && at(t, p + 1) == 's' && wordEnds(t, p + 2)) return p + 2;  // 8:00hs
    // 14:00 horas: the word is the time's own
    if (at(t, p) == ' ') {
        const std::string w = low(wordAfter(t, p));
        if (w == "horas" || w == "hora" || w == "hrs" || w == "hs" || w == "hr") return p + 1 + w.size();
    }
    return 0;
}

bool parse(const std::string& t, std::size_t pos, bool dotted, Clock& c) {
    if (pos > 1 && (isDigit(at(t, pos - 1)) || at(t, pos - 1) == ',' || at(t, pos - 1) == '.')) return false;
    const std::size_t h = digitRun(t, pos);
    if (h < 1 || h > 2) return false;
    const char sep = at(t, pos + h);
    c.hours = valueOf(t, pos, h);
    const std::size_t mp = pos + h + 1, m = digitRun(t, mp);
    std::size_t end = mp;
    if (sep == 'h' || sep == 'H') {
        if (m != 0 && m != 2) return false;
        if (m == 2) c.minutes = valueOf(t, mp, 2);
        end = mp + m;
        if (m == 2 && startsAt(t, end, "min")) end += 3;
        else if (m == 2 && at(t, end) == 'm' && wordEnds(t, end + 1)) end += 1;
        else if (m == 0 && at(t, end) == 's' && wordEnds(t, end + 1)) end += 1;  // 8hs
        if (!wordEnds(t, end)) return false;
        if (c.hours > 24 || (c.hours == 24 && c.minutes)) return false;
    } else if (sep == ':' || sep == '.') {
        if (m != 2 || (sep == ':' && ratioEnd(t, pos))) return false;
        c.minutes = valueOf(t, mp, 2);
        end = mp + 2;
        if (sep == ':' && at(t, end) == ':' && digitRun(t, end + 1) == 2) {
            c.seconds = valueOf(t, end + 1, 2);
            end += 3;
            if (c.seconds > 59) return false;
        }
        const std::size_t signed_ = hourSign(t, end);
        if (sep == '.' && !dotted && !signed_) return false;
        if (signed_) end = signed_;
        if (isDigit(at(t, end)) || isLetter(at(t, end))) return false;
        if ((at(t, end) == '.' || at(t, end) == ',' || at(t, end) == ':') && isDigit(at(t, end + 1))) return false;
        if (c.hours > 23) return false;
    } else {
        return false;
    }
    if (c.minutes > 59) return false;
    c.end = end;
    return true;
}

bool timeWordBefore(const std::string& t, std::size_t pos) {
    const std::string w = low(wordBefore(t, pos));
    static const char* words[] = {"às", "as", "das", "até", "após", "desde", "entre", "partir"};
    for (const char* x : words)
        if (w == ttschars::cp1252(x)) return true;
    return false;
}

}  // namespace

std::size_t timeEnd(const std::string& t, std::size_t pos, bool dotted) {
    Clock c;
    return parse(t, pos, dotted, c) ? c.end : 0;
}

std::size_t isTime(const std::string& t, std::size_t pos) {
    Clock c;
    return parse(t, pos, timeWordBefore(t, pos), c) ? c.end : 0;
}

std::string sayTime(const std::string& t, std::size_t pos, std::size_t) {
    Clock c;
    parse(t, pos, true, c);
    std::string r = feminineCount(number(c.hours)) + (c.hours == 1 ? " hora" : " horas");
    if (c.minutes) r += " e " + number(c.minutes) + (c.minutes == 1 ? " minuto" : " minutos");
    if (c.seconds) r += " e " + number(c.seconds) + (c.seconds == 1 ? " segundo" : " segundos");
    return r + " ";
}

}  // namespace uttsnorm
