// The screen's speed, for scripts/bench-screen: the files it converts, and
// the runs it needs inside one process.
//
//   bench_screen --generate TEXT          about 20 MB of short lines (25 bytes
//                                         on average, as a listing of words)
//   bench_screen --long TEXT MEGABYTES    one line of that many MB (10^6)
//   bench_screen --headless TEXT ZUL      the program on the headless console:
//                                         both names typed, then a key that
//                                         cuts the speech of every line;
//                                         prints "lines seconds"
//   bench_screen --plain TEXT ZUL         the conversion alone, no screen and
//                                         no speech (the peer of the memory
//                                         figures); prints "lines seconds"
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "converter/converter.hpp"
#include "platform/system/system.hpp"
#include "platform/window/window.hpp"

namespace {

struct Lcg {
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    std::uint32_t below(std::uint32_t n) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(state >> 33) % n;
    }
};

void generate(const std::string& name) {
    static const char* const words[] = {"casa", "n\xE3o", "a\xE7\xE3o", "rua", "123", "feira", "de", "o",
                                        "cidade", "www.x", "-5", "p\xE1gina", "sol", "3,14", "mar", "e"};
    Lcg rng;
    std::ofstream out(name, std::ios::binary);
    std::string line;
    std::uint64_t written = 0;
    while (written < 20'000'000) {
        line.clear();
        const std::uint32_t n = 2 + rng.below(8);
        for (std::uint32_t w = 0; w < n; ++w) {
            if (w) line += ' ';
            line += words[rng.below(sizeof words / sizeof *words)];
        }
        line += rng.below(8) == 0 ? "\n" : ".\r\n";
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
        written += line.size();
    }
}

void generateLong(const std::string& name, std::uint64_t megabytes) {
    std::string block(1 << 20, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = i % 7 == 6 ? ' ' : static_cast<char>('a' + i % 23);
    std::ofstream out(name, std::ios::binary);
    const std::uint64_t size = megabytes * 1'000'000;
    for (std::uint64_t done = 0; done < size; done += block.size())
        out.write(block.data(), static_cast<std::streamsize>(std::min<std::uint64_t>(block.size(), size - done)));
    out << "\r\n";
}

double since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

struct Ended {
    int code;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--generate") == 0) {
        generate(argv[2]);
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "--long") == 0) {
        generateLong(argv[2], std::strtoull(argv[3], nullptr, 10));
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "--plain") == 0) {
        std::uint64_t lines = 0;
        const auto t = std::chrono::steady_clock::now();
        try {
            converter::convertFile(argv[2], argv[3], [&](const std::string&) { ++lines; });
        } catch (const converter::IoError& e) {
            std::fprintf(stderr, "%s\n", e.text().c_str());
            return 1;
        }
        std::printf("%llu %.3f\n", static_cast<unsigned long long>(lines), since(t));
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "--headless") == 0) {
        ::setenv("QUORIL_CONSOLE", "headless", 1);
        platform::headless::reset();
        // Every key at once, as typed ahead: the two names, then one that
        // stays queued and cuts every line's speech.
        platform::headless::typeText(std::string(argv[2]) + "\r" + argv[3] + "\rx");
        platform::setExitHandler([](int code) { throw Ended{code}; });
        const auto t = std::chrono::steady_clock::now();
        int code = -1;
        try {
            converter::run();
        } catch (const Ended& e) {
            code = e.code;
        }
        const double seconds = since(t);
        if (code != 0) {
            std::fprintf(stderr, "bench_screen: the program ended with %d\n", code);
            return 1;
        }
        std::uint64_t lines = 0;
        std::ifstream in(argv[2], std::ios::binary);
        std::string block(1 << 16, '\0');
        while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0)
            lines += static_cast<std::uint64_t>(std::count(block.begin(), block.begin() + in.gcount(), '\n'));
        std::printf("%llu %.3f\n", static_cast<unsigned long long>(lines), seconds);
        return 0;
    }
    std::fprintf(stderr, "usage: %s --generate TEXT | --long TEXT MB | --headless TEXT ZUL | --plain TEXT ZUL\n",
                 argv[0]);
    return 2;
}
