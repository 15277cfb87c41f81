#include "platform/document/extraction.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/system.hpp"
#include "platform/document/limits.hpp"

extern char** environ;

namespace platform::document {
namespace {

namespace fs = std::filesystem;
using ::document::Failure;
using ::document::Problem;
using Clock = std::chrono::steady_clock;


bool executable(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec) && ::access(p.c_str(), X_OK) == 0;
}

// The problem a helper's "error" line names.
Failure failureNamed(std::string_view line) {
    line.remove_prefix(6);  // "error "
    const std::size_t space = line.find(' ');
    const std::string_view name = line.substr(0, space);
    const std::string package = space == std::string_view::npos ? std::string() : std::string(line.substr(space + 1));
    if (name == "damaged") return {Problem::damaged, {}};
    if (name == "encrypted") return {Problem::encrypted, {}};
    if (name == "missing-tool") return {Problem::missingTool, package};
    if (name == "image-too-large") return {Problem::imageTooLarge, {}};
    if (name == "no-memory") return {Problem::noMemory, {}};
    if (name == "too-slow") return {Problem::tooSlow, {}};
    if (name == "unsupported") return {Problem::unsupported, {}};
    return {Problem::failed, {}};
}

// The helper running now, if any: a program that ends while it works (a
// quit, a signal, a closed window end the process without unwinding)
// takes it and its tools along.
std::atomic<pid_t> running{-1};

void endRunningHelper() {
    const pid_t pid = running.exchange(-1);
    if (pid > 0) {
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
    }
}

class ChildExtraction : public ::document::Extraction {
public:
    ChildExtraction(pid_t pid, int text, int status, const ::document::Hooks& hooks, const Limits& limits)
        : pid_(pid), text_(text), status_(status), hooks_(hooks), limits_(limits), lastActivity_(Clock::now()),
          lastProgress_(Clock::now()) {
        static const bool hooked = (platform::addExitHook(endRunningHelper), true);
        (void)hooked;
        running = pid;
    }

    ~ChildExtraction() override {
        stop();
        closeFd(text_);
        closeFd(status_);
    }

    std::size_t read(char* buffer, std::size_t size) override {
        if (failure_) throw failure_;
        while (text_ >= 0) {
            pollfd fds[2] = {{text_, POLLIN, 0}, {status_, POLLIN, 0}};
            const int ready = ::poll(fds, status_ >= 0 ? 2 : 1, 50);
            if (hooks_.pump) hooks_.pump();
            if (ready < 0 && errno != EINTR) fatal({Problem::failed, {}});
            if (status_ >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) readStatus();
            if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
                const ssize_t n = ::read(text_, buffer, size);
                if (n > 0) {
                    lastActivity_ = Clock::now();
                    given_ += static_cast<unsigned long long>(n);
                    if (given_ > limits_.textBytes) fatal({Problem::tooMuchText, {}});
                    return static_cast<std::size_t>(n);
                }
                if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                    closeFd(text_);
                    break;
                }
            }
            if (Clock::now() - lastActivity_ > std::chrono::seconds(limits_.idleSeconds)) fatal({Problem::tooSlow, {}});
        }
        finishChild();
        if (failure_) throw failure_;
        return 0;
    }

private:
    static void closeFd(int& fd) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }

    // Ends the helper and whatever it started (its process group).
    void stop() {
        if (pid_ <= 0) return;
        running = -1;
        ::kill(-pid_, SIGKILL);
        ::kill(pid_, SIGKILL);
        int st;
        while (::waitpid(pid_, &st, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }

    [[noreturn]] void fatal(const Failure& f) {
        stop();
        failure_ = f;
        closeFd(text_);
        throw failure_;
    }

    void readStatus() {
        char chunk[512];
        const ssize_t n = ::read(status_, chunk, sizeof chunk);
        if (n <= 0) {
            if (n == 0 || (errno != EINTR && errno != EAGAIN)) closeFd(status_);
            return;
        }
        statusText_.append(chunk, static_cast<std::size_t>(n));
        if (statusText_.size() > 65536) statusText_.clear();  // nobody says that much
        for (std::size_t end; (end = statusText_.find('\n')) != std::string::npos;) {
            const std::string line = statusText_.substr(0, end);
            statusText_.erase(0, end + 1);
            lastActivity_ = Clock::now();
            if (line.rfind("pages ", 0) == 0) {
                pages_ = std::atoi(line.c_str() + 6);
            } else if (line.rfind("page ", 0) == 0) {
                const int page = std::atoi(line.c_str() + 5);
                // A page is told when the last was told long enough ago.
                if (hooks_.progress && pages_ > 1 && Clock::now() - lastProgress_ >= std::chrono::seconds(2)) {
                    lastProgress_ = Clock::now();
                    hooks_.progress(page, pages_);
                }
            } else if (line.rfind("error ", 0) == 0 && !failure_) {
                failure_ = failureNamed(line);
            }
        }
    }

    // The text has ended: the helper's last words and its exit.
    void finishChild() {
        if (pid_ <= 0) return;
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        int st = 0;
        for (;;) {
            const pid_t r = ::waitpid(pid_, &st, WNOHANG);
            if (r == pid_) {
                running = -1;
                break;
            }
            if (r < 0 && errno != EINTR) {
                st = 0;
                break;
            }
            if (Clock::now() > deadline) {
                stop();
                if (!failure_) failure_ = {Problem::tooSlow, {}};
                return;
            }
            if (status_ >= 0) {
                pollfd fd = {status_, POLLIN, 0};
                if (::poll(&fd, 1, 50) > 0) readStatus();
            } else {
                platform::sleepFor(20);
            }
            if (hooks_.pump) hooks_.pump();
        }
        pid_ = -1;
        // Its last words, if any are still in the pipe.
        while (status_ >= 0) {
            pollfd fd = {status_, POLLIN, 0};
            if (::poll(&fd, 1, 100) <= 0) break;
            readStatus();
        }
        if (failure_) return;
        if (WIFSIGNALED(st)) {
            const int sig = WTERMSIG(st);
            failure_ = {sig == SIGXCPU || sig == SIGKILL ? Problem::tooSlow : Problem::failed, {}};
        } else if (WEXITSTATUS(st) != 0) {
            failure_ = {Problem::failed, {}};
        }
    }

    pid_t pid_;
    int text_, status_;
    const ::document::Hooks& hooks_;
    Limits limits_;
    Clock::time_point lastActivity_, lastProgress_;
    unsigned long long given_ = 0;
    int pages_ = 0;
    std::string statusText_;
    Failure failure_;
};

}  // namespace

Limits limits() {
    Limits l;
    l.idleSeconds = static_cast<int>(envLimit("QUORIL_DOCUMENT_IDLE_SECONDS", l.idleSeconds));
    l.textBytes = static_cast<unsigned long long>(envLimit("QUORIL_DOCUMENT_TEXT_MB", static_cast<long>(l.textBytes >> 20))) << 20;
    l.memoryMegabytes = envLimit("QUORIL_DOCUMENT_MEMORY_MB", l.memoryMegabytes);
    return l;
}

std::string helperPath() {
    if (const char* named = std::getenv("QUORIL_DOCUMENT_HELPER"); named && *named) return executable(named) ? named : "";
    const fs::path self = fs::path(platform::executablePath()).parent_path();
    for (const fs::path& p : {self / "lerdoc", self.parent_path() / "lib" / "quoril" / "lerdoc"})
        if (executable(p)) return p.string();
    return {};
}

std::unique_ptr<::document::Extraction> startExtraction(const std::string& nativeName, const std::string& kindName,
                                                        const ::document::Hooks& hooks, Failure& failure) {
    const std::string helper = helperPath();
    if (helper.empty()) {
        failure = {Problem::noHelper, {}};
        return nullptr;
    }
    int text[2], status[2];
    if (::pipe2(text, O_CLOEXEC) != 0) {
        failure = {Problem::failed, {}};
        return nullptr;
    }
    if (::pipe2(status, O_CLOEXEC) != 0) {
        ::close(text[0]);
        ::close(text[1]);
        failure = {Problem::failed, {}};
        return nullptr;
    }
    const Limits l = limits();
    // The helper's own limits go through its environment.
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string_view(*e).rfind("QUORIL_DOCUMENT_MEMORY_MB=", 0) != 0) env.emplace_back(*e);
    env.push_back("QUORIL_DOCUMENT_MEMORY_MB=" + std::to_string(l.memoryMegabytes));
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string kind = kindName, name = nativeName, program = helper;
    char* argv[] = {program.data(), kind.data(), name.data(), nullptr};

    // Standard input from nowhere, the text on 1, the helper's words on 3,
    // the libraries' chatter to nowhere; its own process group, so that
    // the tools it starts end with it; signals as a new program has them.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, text[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, status[1], 3);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int e = ::posix_spawn(&pid, program.c_str(), &actions, &attr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(text[1]);
    ::close(status[1]);
    if (e != 0) {
        ::close(text[0]);
        ::close(status[0]);
        failure = {e == ENOENT || e == EACCES ? Problem::noHelper : Problem::failed, {}};
        return nullptr;
    }
    return std::make_unique<ChildExtraction>(pid, text[0], status[0], hooks, l);
}

}  // namespace platform::document
