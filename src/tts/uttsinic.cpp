#include "tts/uttsinic.hpp"

#include <array>

#include "tts/ttschars.hpp"

namespace uttsinic {
namespace {

struct State {
    std::array<std::vector<Rule>, 256> lists;  // codes below 32 stay empty
};
State state;

void addLine(const std::string& line) {
    if (line.empty() || line[0] == ';') return;
    const std::size_t open = line.find('(');
    if (open == std::string::npos) return;
    Rule r;
    r.left = line.substr(0, open);
    std::size_t close = line.find(')', open + 1);
    if (close == std::string::npos) {
        r.match = line.substr(open + 1);
    } else {
        r.match = line.substr(open + 1, close - open - 1);
        const std::size_t eq = line.find('=', close + 1);
        if (eq == std::string::npos) {
            r.right = line.substr(close + 1);
        } else {
            r.right = line.substr(close + 1, eq - close - 1);
            const std::size_t bar = line.find('|', eq + 1);
            r.output = line.substr(eq + 1, bar == std::string::npos ? std::string::npos : bar - eq - 1);
        }
    }
    if (r.left.size() > 5) r.left.resize(5);
    if (r.match.size() > 5) r.match.resize(5);
    if (r.right.size() > 5) r.right.resize(5);
    if (r.output.size() > 20) r.output.resize(20);
    if (r.match.empty()) return;
    const unsigned char first = ttschars::byte(r.match[0]);
    if (first < 32) return;
    state.lists[first].push_back(std::move(r));
}

}  // namespace

void freeRules() {
    for (auto& l : state.lists) {
        l.clear();
        l.shrink_to_fit();
    }
}

bool loadRules(const std::string& fileName) {
    freeRules();
    std::vector<std::string> lines;
    if (!ttschars::readLines(fileName, lines)) return false;
    for (const std::string& line : lines) addLine(line);
    return true;
}

void loadRulesText(const std::string& text) {
    freeRules();
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        addLine(line);
        if (end == std::string::npos) break;
        start = end + 1;
    }
}

const std::vector<Rule>& rulesFor(unsigned char c) { return state.lists[c]; }

std::size_t ruleCount() {
    std::size_t n = 0;
    for (const auto& l : state.lists) n += l.size();
    return n;
}

}  // namespace uttsinic
