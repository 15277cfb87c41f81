// See lines.hpp.
#include "lines.hpp"

#include <charconv>
#include <cmath>

namespace mbr {
namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

bool number(std::string_view t, double& v) {
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    return ec == std::errc{} && end == t.data() + t.size() && std::isfinite(v);
}

PhoneLine fail(std::string text) {
    PhoneLine p;
    p.kind = PhoneLine::Error;
    p.error = std::move(text);
    return p;
}

}  // namespace

PhoneLine parseLine(std::string_view line) {
    if (const auto semi = line.find(';'); semi != std::string_view::npos) line = line.substr(0, semi);
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && blank(line[i])) ++i;
        const std::size_t from = i;
        while (i < line.size() && !blank(line[i])) ++i;
        if (i > from) words.push_back(line.substr(from, i - from));
    }
    PhoneLine p;
    if (words.empty()) return p;
    if (words.size() == 1 && words[0] == "#") {
        p.kind = PhoneLine::Flush;
        return p;
    }
    const std::string shown(words[0].substr(0, 32));
    if (words.size() < 2) return fail("phone '" + shown + "' has no duration");
    if (!number(words[1], p.durationMs) || p.durationMs < 0 || p.durationMs > kMaxDurationMs)
        return fail("phone '" + shown + "': bad duration '" + std::string(words[1].substr(0, 32)) + "'");
    if (words.size() % 2 != 0) return fail("phone '" + shown + "': pitch targets come in pairs");
    if ((words.size() - 2) / 2 > kMaxTargets) return fail("phone '" + shown + "': too many pitch targets");
    for (std::size_t k = 2; k + 1 < words.size(); k += 2) {
        Target t;
        if (!number(words[k], t.pos) || !number(words[k + 1], t.f0) || t.f0 <= 0 || t.f0 > 2000)
            return fail("phone '" + shown + "': bad pitch target");
        t.pos = std::fmin(100.0, std::fmax(0.0, t.pos));
        p.targets.push_back(t);
    }
    p.kind = PhoneLine::Phone;
    p.name.assign(words[0]);
    return p;
}

}  // namespace mbr
