// The text both sides of the voice benchmarks read: the lines of a file, one
// utterance each, and their words counted alike (runs of non-blanks).
#pragma once

#include <cstddef>
#include <fstream>
#include <string>
#include <vector>

namespace bench {

inline std::vector<std::string> readCorpus(const char* path, std::size_t& words) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    words = 0;
    for (std::string line; std::getline(in, line);) {
        bool inWord = false;
        for (char c : line) {
            const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
            if (!blank && !inWord) ++words;
            inWord = !blank;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace bench
