// Signals from outside end the program as a quit message does.
//
// SIGTERM, SIGINT, SIGHUP and SIGQUIT each write one byte into a pipe and
// nothing else: that is all a handler may safely do. A thread of ours reads
// the pipe and posts WM_QUIT with exit code 255, so the main thread ends the
// program from its message loop, the way Ctrl+Break does: the exit hooks
// run, the terminal is given back, and the output file keeps every line
// converted (each is written out as soon as it is converted).
//
// A second signal of the same kind ends the process at once, the system's
// way, and so does the first when the message loop has not ended the
// program within a few seconds (the main thread may be stuck in a call that
// does not come back) and has not begun to end it. A signal that was ignored when the program started
// (nohup, a background job) stays ignored.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/system/messages.hpp"
#include "platform/system/system.hpp"

namespace platform {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};
constexpr auto kGraceTime = std::chrono::seconds(8);

// Written by the handler, read by the watcher; set once, never closed.
int signalPipe[2] = {-1, -1};

void setDisposition(int signo, void (*handler)(int)) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(signo, &sa, nullptr);
}

void onSignal(int signo) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    (void)!::write(signalPipe[1], &byte, 1);
    setDisposition(signo, SIG_DFL);
    errno = saved;
}

void watch() {
    for (;;) {
        unsigned char byte = 0;
        const ssize_t n = ::read(signalPipe[0], &byte, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n != 1) return;
        postQuitMessage(255);
        // Still here after the grace time: the main thread does not read
        // its messages. The signal then does what it does by default.
        std::this_thread::sleep_for(kGraceTime);
        if (exitStarted()) continue;
        setDisposition(byte, SIG_DFL);
        ::kill(::getpid(), byte);
    }
}

}  // namespace

void endOnSignals() {
    static std::once_flag once;
    std::call_once(once, [] {
        // A write to a socket or pipe whose other end is gone (BRLTTY or
        // speech-dispatcher stopping) is an error the writer handles, never
        // the end of the program.
        ::signal(SIGPIPE, SIG_IGN);
        if (::pipe2(signalPipe, O_CLOEXEC) != 0) return;
        ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
        std::thread(watch).detach();
        for (int signo : kSignals) {
            struct sigaction old {};
            if (::sigaction(signo, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
            setDisposition(signo, onSignal);
        }
    });
}

}  // namespace platform
