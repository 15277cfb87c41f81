// The terminal shows what the console holds: after converting 100,000 lines
// in a tmux pane (the terminal backend drawing only at its own pace), the
// pane shows the 25 rows the headless screen holds after the same run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "console/qrcrt.hpp"
#include "platform/system/system.hpp"
#include "speaking/output.hpp"
#include "support/converter_run.hpp"
#include "support/env.hpp"
#include "support/files.hpp"
#include "support/fresh_system.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace {

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        pclose(p);
    }
    return out;
}

// Lines of words with Latin-1 letters; every 97th is longer than a row.
std::string input() {
    static const char* const words[] = {"casa", "p\xE1gina", "a\xE7\xE3o", "rua", "123", "\xC9poca", "de", "-5"};
    std::string text;
    std::uint32_t x = 7;
    for (int i = 0; i < 100000; ++i) {
        std::string line = std::to_string(i);
        const int n = i % 97 == 0 ? 30 : 1 + i % 6;
        for (int w = 0; w < n; ++w) {
            x = x * 1103515245u + 12345u;
            line += " " + std::string(words[(x >> 16) % 8]);
        }
        text += line + "\r\n";
    }
    return text;
}

// Row r (1-based) of the console, as UTF-8, without trailing spaces.
std::string consoleRow(int r) {
    std::string row;
    for (int c = 1; c <= qrcrt::screenColumns; ++c) row += static_cast<char>(qrcrt::screenChar(r, c));
    row.erase(row.find_last_not_of(' ') + 1);
    return platform::cp1252ToUtf8(row);
}

// The first 80 characters of a UTF-8 line, without trailing spaces.
std::string first80(const std::string& line) {
    std::size_t at = 0;
    for (int chars = 0; at < line.size() && chars < 80; ++chars) {
        ++at;
        while (at < line.size() && (static_cast<unsigned char>(line[at]) & 0xC0) == 0x80) ++at;
    }
    std::string cut = line.substr(0, at);
    cut.erase(cut.find_last_not_of(' ') + 1);
    return cut;
}

TEST(TerminalScreen, ShowsTheHeadlessScreenAfter100000Lines) {
    const char* buildDir = std::getenv("QUORIL_BUILD_DIR");
    const fs::path build = buildDir ? buildDir : QUORIL_BUILD_DIR;
    const fs::path bin = build / "convzul", etc = build / "etc";
    if (run("command -v tmux").empty()) GTEST_SKIP() << "tmux is not installed";
    if (!fs::exists(bin) || !fs::exists(etc / "QUORIL.INI")) GTEST_SKIP() << bin << " or its settings are not built";

    support::TempDir dir("terminal-screen");
    std::ofstream(dir.path() / "in.txt", std::ios::binary) << input();

    // The headless screen (a synthesizer that says nothing, no recordings).
    std::vector<std::string> expected;
    {
        support::freshSystem();
        support::writeIni(dir.path(), "");
        support::ScopedEnv windir("QUORIL_WINDIR", dir.path().string());
        // A key at the first line cuts all speech, as in the pane; the
        // screen is taken at its last paint, once "Ok, convertido" is on it.
        bool cut = false;
        speaking::setSynthesizerForTests([] { return 0; }, [&](const std::string&) {
            if (cut || qrcrt::cursorRow() < 6) return;
            cut = true;
            platform::headless::setKeysWhenWaiting(false);
            platform::headless::typeKey('X', 'x');
        });
        qrcrt::setMessageHook([&](const platform::Msg& m) {
            if (m.message == platform::WM_PAINT && consoleRow(qrcrt::screenRows - 1) == "Ok, convertido") {
                expected.clear();
                for (int r = 1; r <= qrcrt::screenRows; ++r) expected.push_back(consoleRow(r));
            }
            return false;
        });
        ASSERT_EQ(support::runConverter((dir.path() / "in.txt").string(), (dir.path() / "headless.zul").string()), 0);
        support::closeSystem();
        ASSERT_EQ(expected.size(), static_cast<std::size_t>(qrcrt::screenRows));
    }

    const std::string sock = "convzul-screen-" + std::to_string(getpid());
    const std::string tmux = "tmux -L " + sock + " ";
    struct Server {
        std::string kill;
        ~Server() { std::system(kill.c_str()); }
    } server{tmux + "kill-server >/dev/null 2>&1"};
    std::ofstream(dir.path() / "tmux.conf") << "set -g alternate-screen off\n";
    const std::string program = "cd '" + dir.path().string() +
                                "' && LANG=C.UTF-8 LC_ALL=C.UTF-8 SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 "
                                "QUORIL_CONSOLE=terminal QUORIL_WINDIR='" + etc.string() + "' '" + bin.string() +
                                "' 2>err; echo $? > rc; sleep 600";
    ASSERT_EQ(std::system((tmux + "-f '" + (dir.path() / "tmux.conf").string() +
                           "' new-session -d -x 100 -y 30 \"" + program + "\"").c_str()),
              0);
    const auto pane = [&] { return run(tmux + "capture-pane -p -t 0 2>/dev/null"); };
    const auto waitFor = [&](const std::string& text) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (std::chrono::steady_clock::now() < end) {
            if (pane().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    };
    ASSERT_TRUE(waitFor("Qual o arquivo a converter?")) << pane();
    std::system((tmux + "send-keys -t 0 -l in.txt && " + tmux + "send-keys -t 0 Enter").c_str());
    ASSERT_TRUE(waitFor("Qual o arquivo de sa")) << pane();
    std::system((tmux + "send-keys -t 0 -l terminal.zul && " + tmux + "send-keys -t 0 Enter x").c_str());
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(200);
    while (!fs::exists(dir.path() / "rc") && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(fs::exists(dir.path() / "rc")) << "the program did not end; the pane:\n" << pane();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    std::vector<std::string> shown;
    const std::string all = pane();
    for (std::size_t at = 0; at < all.size() && shown.size() < expected.size();) {
        std::size_t nl = all.find('\n', at);
        if (nl == std::string::npos) nl = all.size();
        shown.push_back(first80(all.substr(at, nl - at)));
        at = nl + 1;
    }
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(run("cat '" + (dir.path() / "rc").string() + "'"), "0\n");
    EXPECT_EQ(run("cmp '" + (dir.path() / "headless.zul").string() + "' '" + (dir.path() / "terminal.zul").string() +
                  "' && echo same"),
              "same\n");
}

}  // namespace
