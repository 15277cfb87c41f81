// Conversion speed: a generated 50 MB text (about a million lines of
// Portuguese-looking words with Latin-1 letters) converted to ZUL, once
// without a screen and once showing every line on the console as the
// program does. Prints MB/s (10^6 bytes per second) and lines/s.
//
//   bench_convert TEXT ZUL    generates TEXT unless it exists, converts it
//   bench_convert --generate TEXT
//   bench_convert --lines TEXT N   writes N lines of 59 letters (61 bytes
//                                  with CR LF) instead
//
// The screen run uses the console QUORIL_CONSOLE names: headless, or
// terminal (run it in a terminal, e.g. inside tmux: the results come on
// standard error once the terminal is given back).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "console/qrcrt.hpp"
#include "converter/converter.hpp"
#include "platform/window/window.hpp"

namespace {

constexpr std::uint64_t targetSize = 50ull * 1000 * 1000;

// A fixed generator, so every run converts the same text.
struct Lcg {
    std::uint64_t state = 0x2545F4914F6CDD1Dull;
    std::uint32_t next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(state >> 33);
    }
    std::uint32_t below(std::uint32_t n) { return next() % n; }
};

void generate(const std::string& name) {
    // Windows-1252: plain letters, and the accented letters of Portuguese.
    static const char plain[] = "abcdefghijlmnopqrstuvxzaeiouaeiosrn";
    static const char accented[] = "\xE1\xE9\xED\xF3\xFA\xE2\xEA\xF4\xE3\xF5\xE7\xE0\xC1\xC9\xCD\xD3\xDA\xC7\xC3";
    static const char* const stops[] = {".", ",", ";", "?", "!", ":"};
    Lcg rng;
    std::ofstream out(name, std::ios::binary);
    std::string line;
    std::uint64_t written = 0;
    while (written < targetSize) {
        line.clear();
        std::uint32_t words = 3 + rng.below(12);
        for (std::uint32_t w = 0; w < words; ++w) {
            if (w) line += ' ';
            std::uint32_t letters = 1 + rng.below(9);
            for (std::uint32_t k = 0; k < letters; ++k)
                line += rng.below(6) == 0 ? accented[rng.below(sizeof accented - 1)] : plain[rng.below(sizeof plain - 1)];
        }
        line += stops[rng.below(6)];
        line += rng.below(10) == 0 ? "\n" : "\r\n";
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
        written += line.size();
    }
}

// Wall-clock and processor time of one run.
struct Timer {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    std::clock_t cpu = std::clock();
    double wallSeconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    }
    double cpuSeconds() const { return static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC; }
};

// Lines of 59 letters and CR LF (61 bytes), as a listing would have them.
void generateLines(const std::string& name, long count) {
    Lcg rng;
    std::ofstream out(name, std::ios::binary);
    std::string line;
    for (long i = 0; i < count; ++i) {
        line.clear();
        for (int k = 0; k < 59; ++k) line += static_cast<char>(k % 8 == 7 ? ' ' : 'a' + rng.below(26));
        line += "\r\n";
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
}

std::string report(const char* what, double megabytes, std::uint64_t lines, const Timer& t) {
    double w = t.wallSeconds(), c = t.cpuSeconds();
    char buf[256];
    std::snprintf(buf, sizeof buf, "%-36s %8.1f MB/s wall (%.3f s), %8.1f MB/s processor (%.3f s), %10.0f lines/s\n",
                  what, megabytes / w, w, megabytes / c, c, static_cast<double>(lines) / w);
    return buf;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--generate") == 0) {
        generate(argv[2]);
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "--lines") == 0) {
        generateLines(argv[2], std::atol(argv[3]));
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TEXT ZUL | --generate TEXT\n", argv[0]);
        return 2;
    }
    const std::string text = argv[1], zulName = argv[2];
    if (!std::filesystem::exists(text)) generate(text);
    const double megabytes = static_cast<double>(std::filesystem::file_size(text)) / 1e6;

    std::uint64_t lines = 0;
    try {
        Timer plain;
        converter::convertFile(text, zulName, [&](const std::string&) { ++lines; });
        std::string results = "input: " + std::to_string(megabytes) + " MB, " + std::to_string(lines) + " lines\n";
        results += report("convzul, conversion only:", megabytes, lines, plain);

        const char* console = std::getenv("QUORIL_CONSOLE");
        const bool headless = console && std::strcmp(console, "headless") == 0;
        const bool terminal = console && std::strcmp(console, "terminal") == 0;
        if (headless || terminal) {
            // Every line written on the screen as the converter shows it,
            // without speech (bench_convert_speaking times the spoken run).
            // The headless window records every paint for tests; the
            // recordings are dropped as they come.
            std::uint64_t shown = 0;
            Timer screen;
            converter::convertFile(text, zulName, [&](const std::string& line) {
                qrcrt::writeText(line);
                qrcrt::writeText("\r\n");
                if (++shown % 1024 == 0 && headless) platform::headless::clearDrawCalls();
            });
            qrcrt::flushOutput();
            results += report(headless ? "convzul, lines on the headless screen:" : "convzul, lines on the terminal:",
                              megabytes, shown, screen);
        } else {
            results += "(set QUORIL_CONSOLE=headless or terminal to time the run with the screen)\n";
        }
        // On the terminal, standard error is held while the screen is up and
        // shown once the terminal is given back, at exit.
        std::fputs(results.c_str(), terminal ? stderr : stdout);
    } catch (const converter::IoError& e) {
        std::fprintf(stderr, "%s\n", e.text().c_str());
        return 1;
    }
    return 0;
}
