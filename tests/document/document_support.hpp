// What the document tests share: running zul on a file as a user would,
// reading back the words of its ZUL file, and the tools that make the
// documents at test time.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "converter/zul.hpp"

namespace docsupport {

namespace fs = std::filesystem;

inline std::string readFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

inline void writeFile(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

// Whether a program is on the PATH.
inline bool have(const std::string& program) {
    return std::system(("command -v '" + program + "' >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command line; answers its exit code (-1 when it did not exit).
inline int shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline fs::path buildDir() { return QUORIL_BUILD_DIR; }

struct ZulRun {
    int exitCode = -1;
    std::string err;   // standard error, UTF-8
    double seconds = 0;
};

// zul encode IN OUT in dir, with env (VAR=value ...) before it.
inline ZulRun zulEncode(const fs::path& dir, const std::string& in, const std::string& out, const std::string& env = "") {
    ZulRun r;
    const auto start = std::chrono::steady_clock::now();
    r.exitCode = shell("cd '" + dir.string() + "' && " + env + " ASAN_OPTIONS=detect_leaks=0 '" + (buildDir() / "zul").string() +
                       "' encode '" + in + "' '" + out + "' 2>'" + out + ".err'");
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.err = readFile(dir / (out + ".err"));
    return r;
}

// The lines of a ZUL file, in Windows-1252.
inline std::vector<std::string> zulLines(const fs::path& file) {
    zul::MemorySource source(readFile(file));
    zul::LineReader reader(source);
    std::vector<std::string> lines;
    for (std::string line; reader.next(line);) {
        zul::decodeLine(line);
        lines.push_back(line);
    }
    return lines;
}

// The words of a Windows-1252 text, in small letters, without punctuation.
inline std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::string w;
    for (const char c : text) {
        auto b = static_cast<unsigned char>(c);
        const bool letter = (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b >= 0xC0;
        if (letter) {
            if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7)) b = static_cast<unsigned char>(b + 32);
            w.push_back(static_cast<char>(b));
        } else if (!w.empty()) {
            out.push_back(w);
            w.clear();
        }
    }
    if (!w.empty()) out.push_back(w);
    return out;
}

// How many words of want come back in order in got (their longest common
// subsequence).
inline std::size_t wordsInOrder(const std::vector<std::string>& want, const std::vector<std::string>& got) {
    std::vector<std::size_t> row(got.size() + 1, 0), prev(got.size() + 1, 0);
    for (std::size_t i = 1; i <= want.size(); ++i) {
        for (std::size_t j = 1; j <= got.size(); ++j)
            row[j] = want[i - 1] == got[j - 1] ? prev[j - 1] + 1 : std::max(prev[j], row[j - 1]);
        std::swap(row, prev);
    }
    return prev[got.size()];
}

}  // namespace docsupport
