// The speech-dispatcher module as speech-dispatcher runs it: the program
// sd_quoril of the build tree, on pipes, with the voice of the build tree
// and its sound sent back as 705 AUDIO events. Its end after QUIT, and
// messages meant to hurt it: each is stopped at once, in the protocol's
// order of events, in little memory.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Under the sanitizers the module is several times slower and bigger.
#if defined(__has_feature)
#define SANITIZER_FEATURE(name) __has_feature(name)
#else
#define SANITIZER_FEATURE(name) 0
#endif
#if defined(__SANITIZE_THREAD__) || SANITIZER_FEATURE(thread_sanitizer)
constexpr bool threadSanitizer = true;
#else
constexpr bool threadSanitizer = false;
#endif
#if defined(__SANITIZE_ADDRESS__) || SANITIZER_FEATURE(address_sanitizer)
constexpr bool addressSanitizer = true;
#else
constexpr bool addressSanitizer = false;
#endif
constexpr bool sanitized = threadSanitizer || addressSanitizer;

std::string buildDir() {
    const char* b = std::getenv("QUORIL_BUILD_DIR");
    return b ? b : QUORIL_BUILD_DIR;
}

// One run of the module. Lines it writes are collected as they come (705
// AUDIO blocks hold escaped binary sound, never a line end).
class ModuleRun {
public:
    ModuleRun() {
        ::signal(SIGPIPE, SIG_IGN);
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
        const std::string program = buildDir() + "/sd_quoril";
        const std::string windir = buildDir() + "/etc";
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::setenv("QUORIL_WINDIR", windir.c_str(), 1);
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        to_ = in[1];
        from_ = out[0];
    }
    ~ModuleRun() {
        if (to_ >= 0) ::close(to_);
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (from_ >= 0) ::close(from_);
    }
    bool started() const { return pid_ > 0; }

    bool send(const std::string& text) {
        for (std::size_t done = 0; done < text.size();) {
            const ssize_t n = ::write(to_, text.data() + done, text.size() - done);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    void closeInput() {
        ::close(to_);
        to_ = -1;
    }

    // Reads until a line starts with prefix; false at the end of output or
    // after the time given.
    bool waitFor(const std::string& prefix, std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        for (;;) {
            for (; seen_ < lines.size(); ++seen_)
                if (lines[seen_].rfind(prefix, 0) == 0) {
                    ++seen_;
                    return true;
                }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0 || !readSome(static_cast<int>(left))) return false;
        }
    }

    // Waits for the end; the exit status (-1: did not end in time) and the
    // peak memory in kB.
    int finish(std::chrono::seconds limit, long& peakKb) {
        const auto end = Clock::now() + limit;
        for (;;) {
            int status = 0;
            rusage usage{};
            const pid_t r = ::wait4(pid_, &status, WNOHANG, &usage);
            if (r == pid_) {
                reaped_ = true;
                peakKb = usage.ru_maxrss;
                return status;
            }
            if (Clock::now() > end) return -1;
            readSome(20);  // keeps the pipe from filling
        }
    }

    // The 7xx events, without sound: "701", "700-name", "703" ...
    std::vector<std::string> events() const {
        std::vector<std::string> out;
        for (const std::string& l : lines)
            if (l.size() >= 4 && l[0] == '7' && l.rfind("705", 0) != 0 && (l[3] == ' ' || l.rfind("700-", 0) == 0))
                out.push_back(l[3] == ' ' ? l.substr(0, 3) : l);
        return out;
    }

    std::vector<std::string> lines;

private:
    bool readSome(int milliseconds) {
        pollfd p{from_, POLLIN, 0};
        if (::poll(&p, 1, milliseconds) <= 0) return true;
        char buf[65536];
        const ssize_t n = ::read(from_, buf, sizeof buf);
        if (n <= 0) return false;
        for (ssize_t i = 0; i < n; ++i) {
            if (buf[i] != '\n') {
                if (partial_.size() < 200) partial_ += buf[i];  // sound lines are long: their start is enough
                continue;
            }
            lines.push_back(partial_);
            partial_.clear();
        }
        return true;
    }

    pid_t pid_ = -1;
    int to_ = -1, from_ = -1;
    bool reaped_ = false;
    std::string partial_;
    std::size_t seen_ = 0;
};

bool ready(ModuleRun& m) {
    return m.started() && m.send("INIT\n") && m.waitFor("299 OK", std::chrono::seconds(60)) &&
           m.send("AUDIO\naudio_output_method=server\n.\n") && m.waitFor("203 OK AUDIO", std::chrono::seconds(10));
}

// speech-dispatcher's way out: QUIT, its answer read, the pipe closed. The
// reader of the requests meets the end of input while the program ends.
// Four modules at a time, so that the voice's loading overlaps.
TEST(SpdModuleProcess, EndsCleanlyAfterQuitEveryTime) {
    int runs = threadSanitizer ? 48 : 200;
    if (const char* n = std::getenv("QUORIL_QUIT_RUNS")) runs = std::atoi(n);
    constexpr int together = 4;
    int failed = 0;
    for (int run = 0; run < runs && failed < 3; run += together) {
        std::vector<std::unique_ptr<ModuleRun>> batch;
        for (int i = 0; i < together; ++i) {
            batch.push_back(std::make_unique<ModuleRun>());
            ASSERT_TRUE(batch.back()->started());
            ASSERT_TRUE(batch.back()->send("INIT\nAUDIO\naudio_output_method=server\n.\nSPEAK\nUm.\n.\nQUIT\n"));
        }
        for (int i = 0; i < together; ++i) {
            ModuleRun& m = *batch[static_cast<std::size_t>(i)];
            ASSERT_TRUE(m.waitFor("299 OK", std::chrono::seconds(60))) << "run " << run + i << ": no voice";
            ASSERT_TRUE(m.waitFor("210 OK QUIT", std::chrono::seconds(20))) << "run " << run + i;
            m.closeInput();
            long peak = 0;
            const int status = m.finish(std::chrono::seconds(20), peak);
            if (status != 0) {
                ++failed;
                ADD_FAILURE() << "run " << run + i << ": ended with status " << status
                              << (status > 0 && WIFSIGNALED(status) ? " (a signal)" : "");
            }
        }
    }
}

// Messages meant to hurt the module, each followed by STOP: the answer
// comes at once whatever the message holds, events come in the protocol's
// order, and the module's memory stays far below what holding the whole
// message's sound or analysis would take.
TEST(SpdModuleProcess, StopsHostileMessagesAtOnceInLittleMemory) {
    std::string prose;
    const std::string sentences[] = {
        "O rio corria devagar entre as pedras, e as crian\xC3\xA7" "as da vila desciam para ver os barcos. ",
        "Em 1998 a escola tinha 347 alunos; hoje s\xC3\xA3" "o mais de mil, vindos de tr\xC3\xAAs cidades! ",
        "Quem diria? A professora ainda guarda o caderno de chamada, com a letra de cada um.\n",
    };
    for (std::size_t i = 0; prose.size() < 1000000; ++i) prose += sentences[i % 3];
    std::string breaks = "<speak>";
    for (int i = 0; breaks.size() < 38000; ++i)
        breaks += "<mark name=\"m" + std::to_string(i) + "\"/><break time=\"10s\"/>";
    breaks += "</speak>";
    std::string underscores;
    while (underscores.size() < 1000000) underscores += "shift_";
    underscores += "a";

    struct Case {
        const char* name;
        std::string request;  // the message with its request, ended by "."
        bool stopAtFirstSound;  // else at once
    } cases[] = {
        {"1 MB of prose", "SPEAK\n" + prose + "\n.\n", true},
        {"a million digits", "SPEAK\n" + std::string(1000000, '7') + "\n.\n", false},
        {"38 kB of marks and breaks", "SPEAK\n" + breaks + "\n.\n", true},
        {"a key named by 1 MB", "KEY\n" + underscores + "\n.\n", false},
        {"1 MB of '&'", "SPEAK\n<speak>" + std::string(1000000, '&') + "</speak>\n.\n", false},
    };
    // The module with its voice takes some tens of MB (under 90 under
    // AddressSanitizer, more under ThreadSanitizer); the faults this guards
    // against took hundreds of MB within seconds, and GBs in the end.
    const long limitKb = (threadSanitizer ? 400 : sanitized ? 200 : 100) * 1024;
    const auto stopLimit = std::chrono::milliseconds(sanitized ? 500 : 100);
    for (const Case& c : cases) {
        ModuleRun m;
        ASSERT_TRUE(ready(m)) << c.name;
        ASSERT_TRUE(m.send(c.request)) << c.name;
        ASSERT_TRUE(m.waitFor("200 OK SPEAKING", std::chrono::seconds(20))) << c.name;
        if (c.stopAtFirstSound) {
            ASSERT_TRUE(m.waitFor("705", std::chrono::seconds(20))) << c.name << ": no sound";
            m.waitFor("never", std::chrono::seconds(3));  // let it run on a little
        }
        const auto t0 = Clock::now();
        ASSERT_TRUE(m.send("STOP\n"));
        const bool stopped = m.waitFor("703 STOP", std::chrono::seconds(30));
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0);
        EXPECT_TRUE(stopped) << c.name;
        EXPECT_LE(took, stopLimit) << c.name;
        ASSERT_TRUE(m.send("QUIT\n"));
        EXPECT_TRUE(m.waitFor("210 OK QUIT", std::chrono::seconds(10))) << c.name;
        m.closeInput();
        long peakKb = 0;
        EXPECT_EQ(m.finish(std::chrono::seconds(20), peakKb), 0) << c.name;
        EXPECT_LT(peakKb, limitKb) << c.name;
        const std::vector<std::string> events = m.events();
        ASSERT_FALSE(events.empty()) << c.name;
        EXPECT_EQ(events.front(), "701") << c.name;
        EXPECT_EQ(events.back(), "703") << c.name;
        std::printf("%s: STOP answered in %lld ms, peak %ld MB\n", c.name, static_cast<long long>(took.count()),
                    peakKb / 1024);
    }
}

}  // namespace
