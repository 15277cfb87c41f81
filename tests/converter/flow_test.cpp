// The converter as the user meets it: both names typed on the headless
// console, the messages on the screen, the files on disk, the message box
// and the exit code of every way the run can end.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "console/qrcrt.hpp"
#include "converter/converter.hpp"
#include "converter/zul.hpp"
#include "platform/system/messages.hpp"
#include "platform/system/system.hpp"
#include "platform/window/window.hpp"
#include "speaking/output.hpp"

namespace fs = std::filesystem;

namespace {

struct ProcessEnded {
    int code;
};

std::string readFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream f(p, std::ios::binary);
    f << bytes;
}

// Whether the current user can really create files in dir (root can
// anywhere, whatever the permission bits say).
bool canCreateIn(const fs::path& dir) {
    fs::path probe = dir / "probe";
    bool ok = static_cast<bool>(std::ofstream(probe));
    fs::remove(probe);
    return ok;
}

struct Outcome {
    int exitCode = -1;
    std::string screen;                  // every text painted, in order
    std::vector<std::string> boxes;      // "title: text"
    std::string standardError;
};

class ConverterFlow : public testing::Test {
protected:
    // A new console, as at the start of a run.
    static void freshConsole() {
        platform::headless::reset();
        qrcrt::resetForTests();
        speaking::resetOutputForTests();
        // No diphone database here: a synthesizer that starts and says nothing.
        speaking::setSynthesizerForTests([] { return 0; }, [](const std::string&) {});
        platform::headless::setKeysWhenWaiting(true);
    }

    void SetUp() override {
        freshConsole();
        platform::setExitHandler([](int code) { throw ProcessEnded{code}; });
        std::random_device random;
        dir_ = fs::temp_directory_path() /
               ("convzul-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                std::to_string(random()));
        fs::create_directories(dir_);
    }

    void TearDown() override {
        platform::setExitHandler({});
        qrcrt::resetForTests();
        std::error_code ec;
        for (auto& entry : fs::recursive_directory_iterator(dir_, ec))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }

    // Types the two names (Windows-1252), each ended by Enter, and runs the
    // flow to its end.
    Outcome run(const std::string& inName, const std::string& outName) {
        platform::headless::typeText(inName + "\r");
        platform::headless::typeText(outName + "\r");
        Outcome o;
        testing::internal::CaptureStderr();
        try {
            converter::run();
        } catch (const ProcessEnded& e) {
            o.exitCode = e.code;
        }
        o.standardError = testing::internal::GetCapturedStderr();
        for (const std::string& call : platform::headless::drawCalls()) {
            auto colon = call.find(':');
            o.screen += call.substr(colon + 1) + "\n";
        }
        o.boxes = platform::headless::messageBoxes();
        return o;
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

bool shows(const Outcome& o, const std::string& text) { return o.screen.find(text) != std::string::npos; }

TEST_F(ConverterFlow, ConvertsAndSaysSo) {
    const std::string input = "abc\r\nlinha dois\nsem fim";
    writeFile(path("in.txt"), input);
    Outcome o = run(path("in.txt"), path("out.zul"));
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_TRUE(o.boxes.empty()) << testing::PrintToString(o.boxes);
    EXPECT_EQ(readFile(path("out.zul")), zul::encodeText(input));
    EXPECT_TRUE(shows(o, converter::titleText));
    EXPECT_TRUE(shows(o, converter::askInputText));
    EXPECT_TRUE(shows(o, converter::askOutputText));
    EXPECT_TRUE(shows(o, "linha dois")) << "each line is shown as read";
    EXPECT_TRUE(shows(o, converter::doneText));
    EXPECT_EQ(readFile(path("in.txt")), input);
}

// Names the user may type: spaces, accents (Windows-1252 on the keyboard,
// UTF-8 on disk), backslashes standing for slashes.
TEST_F(ConverterFlow, NamesWithSpacesAccentsAndBackslashes) {
    fs::create_directories(dir_ / "sub dir");
    const fs::path inPath = dir_ / "sub dir" / fs::path("ação x.txt");
    writeFile(inPath, "\xE9\r\n");
    std::string typedIn = path("sub dir") + "\\a\xE7\xE3o x.txt";
    std::string typedOut = path("sub dir") + "/sa\xED" "da.zul";
    for (char& c : typedOut)
        if (c == '/') c = '\\';
    Outcome o = run(typedIn, typedOut);
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_TRUE(shows(o, converter::doneText));
    EXPECT_EQ(readFile(dir_ / "sub dir" / fs::path("saída.zul")), std::string("\x89\r\n"));
}

// A Linux user's UTF-8 file converts as its Windows-1252 twin does, and the
// screen and the voice give the accented letters, not their UTF-8 bytes;
// a character the ZUL cannot hold is told once.
TEST_F(ConverterFlow, Utf8FileConvertsAsItsWindows1252Twin) {
    const std::string utf8 = "\xEF\xBB\xBF" "a\xC3\xA7\xC3\xA3o, cora\xC3\xA7\xC3\xA3o\npr\xC3\xB3ximo \xC5\x91\n";
    const std::string twin = "a\xE7\xE3o, cora\xE7\xE3o\r\npr\xF3ximo o\r\n";
    writeFile(path("twin.txt"), twin);
    Outcome o = run(path("twin.txt"), path("twin.zul"));
    ASSERT_EQ(o.exitCode, 0);
    EXPECT_FALSE(shows(o, converter::unkeptText(1)));

    freshConsole();
    std::string spoken;
    speaking::setSynthesizerForTests([] { return 0; }, [&](const std::string& run) { spoken += run; });
    writeFile(path("utf8.txt"), utf8);
    o = run(path("utf8.txt"), path("utf8.zul"));
    ASSERT_EQ(o.exitCode, 0);
    EXPECT_EQ(readFile(path("utf8.zul")), readFile(path("twin.zul")));
    for (const std::string& text : {std::string("a\xE7\xE3o, cora\xE7\xE3o"), std::string("pr\xF3ximo o")}) {
        EXPECT_TRUE(shows(o, text)) << text;
        EXPECT_NE(spoken.find(text.substr(0, 4)), std::string::npos) << spoken;
    }
    EXPECT_FALSE(shows(o, "\xC3")) << "no UTF-8 bytes on the screen";
    EXPECT_EQ(spoken.find('\xC3'), std::string::npos) << "nor in the voice";
    EXPECT_TRUE(shows(o, converter::unkeptText(1)));
    EXPECT_NE(spoken.find("caractere n\xE3o p\xF4" "de ser mantido"), std::string::npos) << spoken;
    EXPECT_LT(o.screen.find(converter::unkeptText(1)), o.screen.find(converter::doneText));
}

// Every line shown and spoken is already in the file: the window closed
// while a line is spoken ends the run with that line kept.
TEST_F(ConverterFlow, WindowClosedDuringALineKeepsIt) {
    writeFile(path("in.txt"), "um\r\ndois\r\ntr\xEAs\r\n");
    std::string atExit;
    platform::setExitHandler([&](int code) {
        atExit = readFile(path("out.zul"));
        throw ProcessEnded{code};
    });
    speaking::setSynthesizerForTests([] { return 0; }, [](const std::string& run) {
        if (run == "dois ") {
            platform::headless::setKeysWhenWaiting(false);
            platform::headless::closeButton();
        }
    });
    Outcome o = run(path("in.txt"), path("out.zul"));
    EXPECT_NE(o.exitCode, -1) << "the close ends the run";
    EXPECT_FALSE(shows(o, converter::doneText));
    EXPECT_EQ(atExit, zul::encodeText("um\r\ndois\r\n"));
}

// An empty file converts to an empty one; a file that is not text (NUL
// bytes and no UTF-16 mark) is refused, on the screen and aloud, before
// the output exists; Notepad's UTF-16 converts as its UTF-8 twin.
TEST_F(ConverterFlow, EmptyBinaryAndUtf16Inputs) {
    struct Case {
        const char* what;
        std::string bytes;
        bool refused;
        std::string zulOf;  // the text whose ZUL is expected
    };
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    const std::vector<Case> cases = {
        {"empty file", "", false, ""},
        {"all 256 bytes", all, true, ""},
        {"NUL bytes and no line end", std::string("\0\x01\xFF\x80", 4), true, ""},
        {"UTF-16 LE", std::string("\xFF\xFE" "a\0\xE7\0\r\0\n\0\xAC\x20", 12), false, "a\xC3\xA7\r\n\xE2\x82\xAC"},
    };
    const std::string notText = document::failureText({document::Problem::notText, {}});
    for (const auto& c : cases) {
        freshConsole();
        std::string spoken;
        speaking::setSynthesizerForTests([] { return 0; }, [&](const std::string& run) { spoken += run; });
        fs::remove(path("out.zul"));
        writeFile(path("in.bin"), c.bytes);
        Outcome o = run(path("in.bin"), path("out.zul"));
        EXPECT_EQ(o.exitCode, 0) << c.what;
        EXPECT_EQ(shows(o, converter::doneText), !c.refused) << c.what;
        EXPECT_EQ(shows(o, notText), c.refused) << c.what;
        EXPECT_EQ(spoken.find("de texto nem") != std::string::npos, c.refused) << c.what << ": " << spoken;
        EXPECT_EQ(fs::exists(path("out.zul")), !c.refused) << c.what;
        if (!c.refused) {
            EXPECT_EQ(readFile(path("out.zul")), zul::encodeText(c.zulOf)) << c.what;
        }
    }
}

// Refusals the flow handles itself: a message, nothing written, exit 0.
TEST_F(ConverterFlow, RefusesSameFileUnderAnyName) {
    const std::string input = "keep me\r\n";
    struct Case {
        const char* what;
        std::string in, out;
    };
    writeFile(path("in.txt"), input);
    fs::create_symlink(path("in.txt"), path("link.txt"));
    fs::create_hard_link(path("in.txt"), path("hard.txt"));
    const std::vector<Case> cases = {
        {"equal names", path("in.txt"), path("in.txt")},
        {"./ in the path", path("in.txt"), path(".") + "/in.txt"},
        {"parent steps", path("in.txt"), path("..") + "/" + dir_.filename().string() + "/in.txt"},
        {"backslashes", path("in.txt"), [&] {
             std::string s = path("in.txt");
             for (char& c : s)
                 if (c == '/') c = '\\';
             return s;
         }()},
        {"symbolic link", path("in.txt"), path("link.txt")},
        {"hard link", path("hard.txt"), path("in.txt")},
        {"two empty names", "", ""},
    };
    for (const auto& c : cases) {
        freshConsole();
        Outcome o = run(c.in, c.out);
        EXPECT_EQ(o.exitCode, 0) << c.what;
        EXPECT_TRUE(shows(o, converter::sameNamesText)) << c.what;
        EXPECT_FALSE(shows(o, converter::doneText)) << c.what;
        EXPECT_TRUE(o.boxes.empty()) << c.what;
        EXPECT_EQ(readFile(path("in.txt")), input) << c.what;
    }
}

TEST_F(ConverterFlow, MissingOrUnreadableInput) {
    writeFile(path("locked.txt"), "secret\r\n");
    fs::permissions(path("locked.txt"), fs::perms::none);
    const bool lockWorks = !std::ifstream(path("locked.txt")).is_open();
    fs::create_directories(dir_ / "folder");
    struct Case {
        const char* what;
        std::string in;
        bool skip;
    };
    const std::vector<Case> cases = {
        {"missing file", path("nothing.txt"), false},
        {"a directory", path("folder"), false},
        {"no read permission", path("locked.txt"), !lockWorks},
        {"empty input name", "", false},
    };
    for (const auto& c : cases) {
        if (c.skip) continue;
        freshConsole();
        Outcome o = run(c.in, path("out.zul"));
        EXPECT_EQ(o.exitCode, 0) << c.what;
        EXPECT_TRUE(shows(o, converter::noInputText)) << c.what;
        EXPECT_FALSE(fs::exists(path("out.zul"))) << c.what << ": the output must not be created";
        EXPECT_TRUE(o.boxes.empty()) << c.what;
    }
}

// Failures after the input opened: a message box with the error, the same
// text on standard error, exit code 1, never "Ok, convertido".
TEST_F(ConverterFlow, OutputFailuresEndWithCodeOne) {
    const std::string input = "uma linha\r\noutra\r\n";
    writeFile(path("in.txt"), input);
    fs::create_directories(dir_ / "readonly");
    fs::permissions(dir_ / "readonly", fs::perms::owner_read | fs::perms::owner_exec);
    const bool readOnlyWorks = !canCreateIn(dir_ / "readonly");
    fs::create_directories(dir_ / "adir");
    struct Case {
        const char* what;
        std::string out;
        std::string inBox;  // part of the error text
        bool skip;
        std::string reason = {};  // the system's, in Portuguese
    };
    const std::vector<Case> cases = {
        {"directory missing", path("no/such/dir/out.zul"), "Erro de entrada/sa\xED" "da 3:", false,
         "Arquivo ou pasta inexistente"},
        {"directory not writable", path("readonly/out.zul"), "Erro de entrada/sa\xED" "da 5:", !readOnlyWorks,
         "Permiss\xE3o negada"},
        {"output is a directory", path("adir"), "Erro de entrada/sa\xED" "da 5:", false, "\xC9 uma pasta"},
        {"disk full", "/dev/full", "Erro de entrada/sa\xED" "da 101:", !fs::exists("/dev/full"),
         "N\xE3o h\xE1 espa\xE7o dispon\xEDvel no dispositivo"},
    };
    for (const auto& c : cases) {
        if (c.skip) continue;
        freshConsole();
        Outcome o = run(path("in.txt"), c.out);
        EXPECT_EQ(o.exitCode, 1) << c.what;
        ASSERT_EQ(o.boxes.size(), 1u) << c.what;
        EXPECT_NE(o.boxes[0].find(c.inBox + " " + c.reason), std::string::npos) << c.what << ": " << o.boxes[0];
        // Standard error gets the text too (its encoding is the backend's).
        const std::string code = c.inBox.substr(c.inBox.find("da "));
        EXPECT_NE(o.standardError.find("Erro de entrada/sa"), std::string::npos) << c.what;
        EXPECT_NE(o.standardError.find(code), std::string::npos) << c.what << ": " << o.standardError;
        EXPECT_FALSE(shows(o, converter::doneText)) << c.what;
        EXPECT_EQ(readFile(path("in.txt")), input) << c.what;
    }
}

// Waits on its own thread until the screen shows a text (or, with an
// empty text, until both names were taken), then acts as the user would.
// A run that does not end within a minute after that gets the fallback,
// so that a fault ends the test instead of hanging it.
class UserAtTheWindow {
public:
    UserAtTheWindow(std::string shown, std::function<void()> act, std::function<void()> fallback)
        : thread_([this, shown = std::move(shown), act = std::move(act), fallback = std::move(fallback)] {
              if (!waitFor([&] { return screenShows(shown); })) return;
              act();
              std::unique_lock<std::mutex> g(lock_);
              if (!ended_.wait_for(g, std::chrono::seconds(60), [&] { return done_; })) {
                  gaveUp_ = true;
                  g.unlock();
                  fallback();
              }
          }) {}
    ~UserAtTheWindow() { finish(); }
    void finish() {
        {
            std::lock_guard<std::mutex> g(lock_);
            done_ = true;
        }
        ended_.notify_all();
        if (thread_.joinable()) thread_.join();
    }
    bool gaveUp() const { return gaveUp_; }

private:
    static bool screenShows(const std::string& text) {
        if (text.empty())
            return platform::headless::pendingInput() == 0 &&
                   screenShows(converter::askOutputText);
        for (const std::string& call : platform::headless::drawCalls())
            if (call.find(text) != std::string::npos) return true;
        return false;
    }
    bool waitFor(const std::function<bool()>& ready) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        std::unique_lock<std::mutex> g(lock_);
        while (!ready()) {
            if (done_ || std::chrono::steady_clock::now() > until) return false;
            ended_.wait_for(g, std::chrono::milliseconds(5));
        }
        return true;
    }

    std::mutex lock_;
    std::condition_variable ended_;
    bool done_ = false;
    std::atomic<bool> gaveUp_{false};
    std::thread thread_;
};

// Ways out while the input or the output would hold the run for ever: the
// window's close button, Ctrl+Break and a signal from outside are heard,
// and a named pipe without a reader is an output failure, not a wait.
TEST_F(ConverterFlow, NothingHoldsTheRunForEver) {
    ASSERT_EQ(::mkfifo(path("in.fifo").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(path("out.fifo").c_str(), 0600), 0);
    std::string lines;
    for (int i = 1; i <= 50; ++i) lines += "linha " + std::to_string(i) + "\r\n";
    int writer = -1;
    std::string atExit;  // the output file as the process ends
    platform::setExitHandler([&](int code) {
        atExit = readFile(path("out.zul"));
        throw ProcessEnded{code};
    });
    auto press = [](std::uint32_t vk, std::uint8_t mods) {
        return [vk, mods] {
            platform::headless::setKeysWhenWaiting(false);
            platform::headless::keyDown(vk, mods);
        };
    };
    struct Case {
        const char* what;
        std::string in, out;
        std::string shown;  // what the user waits for before acting
        std::function<void()> act, fallback;
        int exitCode;  // -2: whatever closing the window gives
        bool box;
        std::string kept;  // in out.zul when the process ends
    };
    const Case cases[] = {
        {"endless line from a pipe, then Ctrl+Break", path("in.fifo"), path("out.zul"), "",
         press(platform::VK_CANCEL, platform::MOD_CTRL), [] { std::_Exit(3); }, 255, false, ""},
        {"window closed while a pipe is being read", path("in.fifo"), path("out.zul"), "linha 50",
         [] {
             platform::headless::setKeysWhenWaiting(false);
             platform::headless::closeButton();
         },
         [&] {
             ::close(writer);
             writer = -1;
         },
         -2, false, zul::encodeText(lines)},
        {"SIGTERM while a pipe is being read", path("in.fifo"), path("out.zul"), "linha 50",
         [] {
             platform::endOnSignals();  // as the backend's start does
             ::raise(SIGTERM);
         },
         [&] {
             ::close(writer);
             writer = -1;
         },
         255, false, zul::encodeText(lines)},
        {"output pipe without a reader", path("in.txt"), path("out.fifo"), "", [] {},
         [&] { (void)::open(path("out.fifo").c_str(), O_RDONLY | O_NONBLOCK); }, 1, true, ""},
    };
    writeFile(path("in.txt"), lines);
    for (const auto& c : cases) {
        freshConsole();
        fs::remove(path("out.zul"));
        atExit.clear();
        std::thread feeder;
        const bool endless = std::string(c.what).find("endless") != std::string::npos;
        if (c.in == path("in.fifo"))
            feeder = std::thread([&] {
                writer = ::open(path("in.fifo").c_str(), O_WRONLY);
                if (writer < 0) return;
                if (!endless) {
                    (void)!::write(writer, lines.data(), lines.size());
                    return;
                }
                // One line without end, until the reader goes (EPIPE, the
                // signal held back in this thread).
                sigset_t pipe;
                sigemptyset(&pipe);
                sigaddset(&pipe, SIGPIPE);
                pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
                const std::string xs(65536, 'x');
                while (::write(writer, xs.data(), xs.size()) > 0) {
                }
                struct timespec none = {0, 0};
                (void)sigtimedwait(&pipe, nullptr, &none);
            });
        UserAtTheWindow user(c.shown, c.act, c.fallback);
        Outcome o = run(c.in, c.out);
        user.finish();
        if (endless) {
            // A feeder still waiting for a reader is let go.
            const int reader = ::open(path("in.fifo").c_str(), O_RDONLY | O_NONBLOCK);
            if (reader >= 0) ::close(reader);
        }
        if (feeder.joinable()) feeder.join();
        if (writer >= 0) ::close(writer);
        writer = -1;
        EXPECT_FALSE(user.gaveUp()) << c.what << ": the run did not end";
        if (c.exitCode != -2) {
            EXPECT_EQ(o.exitCode, c.exitCode) << c.what;
        }
        EXPECT_NE(o.exitCode, -1) << c.what;
        EXPECT_EQ(o.boxes.size(), c.box ? 1u : 0u) << c.what;
        EXPECT_FALSE(shows(o, converter::doneText)) << c.what;
        if (!c.kept.empty()) {
            EXPECT_EQ(atExit, c.kept) << c.what;
        }
    }
}

// A line larger than memory fails the read like any input failure; the
// lines before it stay in the output.
TEST_F(ConverterFlow, LineLargerThanMemoryIsAnInputFailure) {
    struct Exhausting : zul::ByteSource {
        bool first = true;
        std::size_t read(char* buffer, std::size_t size) override {
            if (!first) throw std::bad_alloc();  // as the growing line would
            first = false;
            const std::string text = "um\r\ndois\r\nmuito longa";
            std::copy(text.begin(), text.end(), buffer);
            return std::min(size, text.size());
        }
    } source;
    platform::OutputFile out;
    ASSERT_EQ(out.create(path("out.zul")), 0);
    try {
        converter::convertLines(source, "grande.txt", out, "out.zul", nullptr);
        ADD_FAILURE() << "no error";
    } catch (const converter::IoError& e) {
        EXPECT_EQ(e.code, 100);
        EXPECT_NE(e.text().find("grande.txt"), std::string::npos) << e.text();
    }
    EXPECT_EQ(out.close(), 0);
    EXPECT_EQ(readFile(path("out.zul")), zul::encodeText("um\r\ndois\r\n"));
}

}  // namespace

namespace {

// A document read by a stand-in for the document helper: a page told when
// the last was told long enough ago, then its paragraphs shown and spoken;
// one whose reading fails half-way says why and costs no file, not even the
// one the output would have replaced. The helper's protocol is lerdoc's
// (pages on descriptor 3).
class DocumentFlow : public ConverterFlow {
protected:
    void helper(const std::string& body) {
        writeFile(path("helper.sh"), "#!/bin/sh\n" + body);
        fs::permissions(path("helper.sh"), fs::perms::owner_all);
        ::setenv("QUORIL_DOCUMENT_HELPER", path("helper.sh").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("QUORIL_DOCUMENT_HELPER");
        ConverterFlow::TearDown();
    }
};

TEST_F(DocumentFlow, PagesThenParagraphsHeardAFailureCostsNoFile) {
    writeFile(path("carta.pdf"), "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    struct Case {
        const char* what;
        std::string script;
        std::vector<std::string> shown;  // in order
        std::string zulOf;               // "" : the earlier output untouched
    };
    const std::vector<Case> cases = {
        {"two pages, the third told",
         "echo 'pages 12' >&3; echo 'page 1' >&3\n"
         "printf 'Prezados vizinhos, a reuni\\303\\243o ser\\303\\241 na pra-\\n\\303\\247a central.\\n\\nSegundo par\\303\\241grafo.\\n\\f'\n"
         "sleep 2.5; echo 'page 3' >&3; printf 'Terceira p\\303\\241gina.\\n\\f'\n",
         {"Lendo a p\xE1gina 3 de 12", "Prezados vizinhos, a reuni\xE3o ser\xE1 na pra\xE7" "a central.",
          "Segundo par\xE1grafo.", "Terceira p\xE1gina.", converter::doneText},
         "Prezados vizinhos, a reuni\xE3o ser\xE1 na pra\xE7" "a central.\r\nSegundo par\xE1grafo.\r\nTerceira p\xE1gina.\r\n"},
        {"damaged after its first page",
         "echo 'pages 2' >&3; printf 'Uma linha.\\n\\f'; echo 'error damaged' >&3; exit 1\n",
         {document::failureText({document::Problem::damaged, {}})}, ""},
        {"a scan without text", "echo 'pages 1' >&3; printf '\\f \\n\\f'\n",
         {document::failureText({document::Problem::noText, {}})}, ""},
    };
    for (const auto& c : cases) {
        freshConsole();
        std::string spoken;
        speaking::setSynthesizerForTests([] { return 0; }, [&](const std::string& run) { spoken += run; });
        helper(c.script);
        writeFile(path("out.zul"), "earlier");
        Outcome o = run(path("carta.pdf"), path("out.zul"));
        EXPECT_EQ(o.exitCode, 0) << c.what;
        std::size_t at = 0;
        for (const std::string& text : c.shown) {
            const std::size_t found = o.screen.find(text, at);
            EXPECT_NE(found, std::string::npos) << c.what << ": " << text << " in order in\n" << o.screen;
            if (found != std::string::npos) at = found + text.size();
            EXPECT_NE(spoken.find(text.substr(0, text.find_first_of(" ,"))), std::string::npos) << c.what << ": " << text << " spoken";
        }
        EXPECT_EQ(shows(o, converter::doneText), !c.zulOf.empty()) << c.what;
        EXPECT_EQ(readFile(path("out.zul")), c.zulOf.empty() ? "earlier" : zul::encodeText(c.zulOf)) << c.what;
        EXPECT_EQ(shows(o, "Uma linha."), false) << c.what;
    }
}

}  // namespace
