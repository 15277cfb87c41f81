// Plain words, and the table of feminine nouns the counts agree with
// (portug.gen). A word is said as written, hyphens inside it kept
// (guarda-chuva, e-mail); nº, n.º and n. before a number are "número";
// letters glued to digits (sha224) are parted from them.
#include <algorithm>

#include "tts/normalise.hpp"
#include "tts/ttschars.hpp"

namespace uttspreproc {

namespace {
std::vector<std::string> feminineNouns;  // sorted, lower case
}

bool loadGenders(const std::string& fileName) {
    feminineNouns.clear();
    std::vector<std::string> lines;
    if (!ttschars::readLines(fileName, lines)) return false;
    for (const std::string& raw : lines) {
        const std::string line = ttschars::trim(raw);
        if (line.empty() || line[0] == ';') continue;
        feminineNouns.push_back(ttschars::lower(line));
    }
    std::sort(feminineNouns.begin(), feminineNouns.end());
    return true;
}

bool isFeminineNoun(const std::string& word) {
    const std::vector<std::string>& t = feminineNouns;
    if (t.empty() || word.size() < 2) return false;
    const std::string w = ttschars::lower(word);
    const auto listed = [&](const std::string& x) { return std::binary_search(t.begin(), t.end(), x); };
    const auto ends = [&](const std::string& e) { return w.size() > e.size() && w.compare(w.size() - e.size(), e.size(), e) == 0; };
    if (listed(w)) return true;
    // The plural back to the singular: -ões, -ães to -ão, -ns to -m, -es, -s.
    if (ends(ttschars::cp1252("ões")) || ends(ttschars::cp1252("ães"))) return listed(w.substr(0, w.size() - 3) + ttschars::cp1252("ão"));
    if (ends("ns")) return listed(w.substr(0, w.size() - 2) + "m");
    if (ends("es") && listed(w.substr(0, w.size() - 2))) return true;
    return ends("s") && listed(w.substr(0, w.size() - 1));
}

void clearGenders() { feminineNouns.clear(); }

}  // namespace uttspreproc

namespace uttsnorm {

namespace {

bool numberSign(char c) { return ttschars::byte(c) == 0xBA || ttschars::byte(c) == 0xB0; }

}  // namespace

std::size_t isWord(const std::string& t, std::size_t pos) {
    const char c = at(t, pos);
    if (!isLetter(c)) return 0;
    // nº, n.º, Nº
    if ((c == 'n' || c == 'N') && !isLetter(at(t, pos - 1))) {
        if (numberSign(at(t, pos + 1))) return pos + 2;
        if (at(t, pos + 1) == '.' && numberSign(at(t, pos + 2))) return pos + 3;
        if (at(t, pos + 1) == '.' && at(t, pos + 2) == ' ' && isDigit(at(t, pos + 3))) return pos + 2;  // n. 10
    }
    std::size_t p = pos;
    uttspreproc::scanWord(t, p);
    return p;
}

std::string sayWord(const std::string& t, std::size_t pos, std::size_t end) {
    const char c = at(t, pos);
    if ((c == 'n' || c == 'N') && end <= pos + 3 && end > pos + 1 &&
        (numberSign(at(t, pos + 1)) || numberSign(at(t, pos + 2)) || at(t, pos + 1) == '.'))
        return ttschars::cp1252("número ");
    std::size_t p = pos;
    std::string r = uttspreproc::scanWord(t, p);
    if (isDigit(at(t, end))) r += ' ';  // sha224
    return r;
}

}  // namespace uttsnorm
