#include "tts/uttsexcessoes.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include "tts/ttschars.hpp"

namespace uttsexcessoes {
namespace {

struct Entry {
    std::string word, replacement;
};
struct State {
    std::vector<Entry> table;
};
State state;

void addLine(std::string line) {
    if (line.size() > 255) line.resize(255);
    line = ttschars::upper(line);
    if (line.empty()) return;
    line += "|=|";
    const std::size_t eq = line.find('=');
    const std::size_t bar = line.find('|', eq + 1);
    state.table.push_back({line.substr(0, eq), line.substr(eq + 1, bar - eq - 1)});
}

void sortTable() {
    std::sort(state.table.begin(), state.table.end(),
              [](const Entry& a, const Entry& b) { return a.word < b.word; });
}

// Bisection over the sorted table; -1 when absent.
long find(const std::string& word) {
    long lo = 1, hi = static_cast<long>(state.table.size());
    while (lo <= hi) {
        const long mid = (lo + hi) / 2;
        const std::string& key = state.table[static_cast<std::size_t>(mid - 1)].word;
        if (word == key) return mid - 1;
        if (word > key) lo = mid + 1;
        else hi = mid - 1;
    }
    return -1;
}

}  // namespace

void reset() { state = State{}; }

std::size_t exceptionCount() { return state.table.size(); }

bool loadExceptions(const std::string& fileName) {
    std::vector<std::string> lines;
    if (!ttschars::readLines(fileName, lines)) return false;
    state.table.clear();
    for (std::string& line : lines) {
        if (state.table.size() >= exceptionCapacity) break;
        addLine(std::move(line));
    }
    sortTable();
    return true;
}

void loadExceptionsText(const std::string& text) {
    state.table.clear();
    std::size_t start = 0;
    while (start < text.size() && state.table.size() < exceptionCapacity) {
        std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        addLine(std::move(line));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    sortTable();
}

void applyExceptions(std::string& word) {
    std::string rest = word, suffix;
    for (;;) {
        const long i = find(rest);
        if (i >= 0) {
            word = state.table[static_cast<std::size_t>(i)].replacement + suffix;
            return;
        }
        if (rest.empty() || (rest.back() != 'S' && rest.back() != 'M')) break;
        suffix.insert(suffix.begin(), rest.back());
        rest.pop_back();
        if (rest.empty()) break;
    }
    word = rest + suffix;
}

}  // namespace uttsexcessoes
