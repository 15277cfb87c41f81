// Conversion with speech cut by a key: a generated file of 100000 lines
// converted on the headless console with a key pressed before the first
// line, so every line is written and its speech cut at once, as when the
// user presses a key to hurry the conversion. Beside it, the same file with
// the lines only written on the screen, as the converter did before it
// spoke. Prints lines per second.
//
//   bench_convert_speaking [TEXT ZUL]   (default: files in the temp directory)
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "console/qrcrt.hpp"
#include "converter/converter.hpp"
#include "platform/window/window.hpp"
#include "speaking/output.hpp"

namespace {

constexpr int kLines = 100000;

void generate(const std::string& name) {
    std::ofstream out(name, std::ios::binary);
    std::uint32_t x = 12345;
    static const char* const words[] = {"casa", "n\xE3o", "a\xE7\xE3o", "rua", "123", "feira", "007",
                                        "cidade", "www.x", "-5", "p\xE1gina", "sol", "3.14", "mar"};
    for (int i = 0; i < kLines; ++i) {
        std::string line;
        const int n = 3 + static_cast<int>((x >> 8) % 10);
        for (int w = 0; w < n; ++w) {
            x = x * 1103515245u + 12345u;
            if (w) line += ' ';
            line += words[(x >> 16) % (sizeof words / sizeof *words)];
        }
        line += ".\r\n";
        out << line;
    }
}

double seconds(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QUORIL_CONSOLE", "headless", 0);
    const auto tmp = std::filesystem::temp_directory_path();
    const std::string text = argc == 3 ? argv[1] : (tmp / "bench_convert_speaking.txt").string();
    const std::string zul = argc == 3 ? argv[2] : (tmp / "bench_convert_speaking.zul").string();
    if (!std::filesystem::exists(text)) generate(text);

    // No database is needed: every line's speech is cut before it starts.
    speaking::setSynthesizerForTests([] { return 0; }, {});
    speaking::startSpeech(0, "");
    try {
        std::uint64_t shown = 0;
        auto t = std::chrono::steady_clock::now();
        converter::convertFile(text, zul, [&](const std::string& line) {
            qrcrt::writeText(line);
            qrcrt::writeText("\r\n");
            if (++shown % 1024 == 0) platform::headless::clearDrawCalls();
        });
        const double written = seconds(t);

        platform::headless::typeKey('X', 'x');
        shown = 0;
        t = std::chrono::steady_clock::now();
        converter::convertFile(text, zul, [&](const std::string& line) {
            speaking::writeLineSpoken(line);
            if (++shown % 1024 == 0) platform::headless::clearDrawCalls();
        });
        const double spoken = seconds(t);
        std::printf("lines written only:            %9.0f lines/s (%.3f s)\n", shown / written, written);
        std::printf("lines spoken, cut by a key:    %9.0f lines/s (%.3f s)\n", shown / spoken, spoken);
        std::printf("key still waiting at the end:  %s\n", qrcrt::keyWaiting() ? "yes" : "no");
    } catch (const converter::IoError& e) {
        std::fprintf(stderr, "%s\n", e.text().c_str());
        return 1;
    }
    speaking::endSpeech();
    return 0;
}
