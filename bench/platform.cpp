// Figures of the platform layer: the code-page conversions that every line
// of a conversion goes through, the message queue's round trip, the wake-up
// of a waiting main thread by another thread, and a settings lookup.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/system.hpp"
#include "platform/window/window.hpp"

using namespace platform;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

LResult quietProc(Hwnd h, std::uint32_t m, WParam w, LParam l) {
    if (m == WM_PAINT) return 0;
    return defWindowProc(h, m, w, l);
}

}  // namespace

int main() {
    // Code pages on 32 MB of Portuguese-looking Windows-1252 text.
    std::string text;
    const std::string line = "A convers\xE3o do arquivo \x93texto\x94 est\xE1 pronta \x96 a\xE7\xE3o n\xBA 1.\r\n";
    while (text.size() < (32u << 20)) text += line;
    auto t0 = Clock::now();
    std::string oem = text;
    charToOem(oem);
    auto t1 = Clock::now();
    std::printf("charToOem:     %7.0f MB/s\n", text.size() / 1e6 / seconds(t0, t1));
    const std::string utf8 = cp1252ToUtf8(text);
    auto t2 = Clock::now();
    const std::string back = utf8ToCp1252(utf8);
    auto t3 = Clock::now();
    std::printf("cp1252ToUtf8:  %7.0f MB/s\n", text.size() / 1e6 / seconds(t1, t2));
    std::printf("utf8ToCp1252:  %7.0f MB/s (of UTF-8 input)%s\n", utf8.size() / 1e6 / seconds(t2, t3),
                back == text ? "" : "  MISMATCH");

    // Queue round trip: post, peek, translate, dispatch.
    headless::reset();
    const Hwnd h = createWindow(WindowSpec{"QrWinCrt", "bench", 648, 428, false, quietProc});
    Msg m;
    while (peekMessage(m, 0, true)) dispatchMessage(m);
    constexpr int kRounds = 1000000;
    auto t4 = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        postMessage(h, WM_KEYDOWN, 'A', 0, 0);
        while (peekMessage(m, 0, true)) {
            translateMessage(m);
            dispatchMessage(m);
        }
    }
    auto t5 = Clock::now();
    std::printf("queue round trip: %.2f M messages/s\n", kRounds / 1e6 / seconds(t4, t5));

    // Another thread posts; how long until the waiting main thread runs.
    std::vector<double> waits;
    for (int i = 0; i < 200; ++i) {
        Clock::time_point posted;
        std::thread poster([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
            posted = Clock::now();
            postMessage(h, MM_WOM_DONE);
        });
        waitMessage();
        const auto woke = Clock::now();
        poster.join();
        while (peekMessage(m, 0, true)) dispatchMessage(m);
        waits.push_back(std::chrono::duration<double, std::micro>(woke - posted).count());
    }
    std::sort(waits.begin(), waits.end());
    std::printf("wake-up of a waiting thread: median %.0f us, 99th %.0f us\n", waits[waits.size() / 2],
                waits[waits.size() * 99 / 100]);

    // A settings lookup in a file of the usual size.
    const auto dir = std::filesystem::temp_directory_path() / "quoril_bench_profile";
    std::filesystem::create_directories(dir);
    {
        std::ofstream ini(dir / "QUORIL.INI");
        for (const char* s : {"QUORIL", "TRADUTOR", "SINTETIZADOR", "SERVFALA", "TIRELTTS", "BRAILLE", "VIDEO"}) {
            ini << "[" << s << "]\r\n";
            for (int k = 0; k < 15; ++k) ini << "CHAVE" << k << "=valor " << k << "\r\n";
        }
        ini << "[VIDEO]\r\nFONTE=Lucida Console\r\n";
    }
    const std::string name = (dir / "QUORIL.INI").string();
    constexpr int kLookups = 20000;
    auto t6 = Clock::now();
    std::size_t total = 0;
    for (int i = 0; i < kLookups; ++i) total += getProfileString("VIDEO", "CHAVE14", "", name, 80).size();
    auto t7 = Clock::now();
    std::printf("settings lookup (105 keys, last section): %.1f us each (%zu)\n",
                seconds(t6, t7) * 1e6 / kLookups, total / kLookups);
    std::filesystem::remove_all(dir);
    return 0;
}
