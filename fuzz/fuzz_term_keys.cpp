// The terminal's keys: the input is typed into a pseudo-terminal on which
// the terminal window runs (ncurses with the xterm sequences it is taught,
// Alt as an ESC before a key, the control bytes), and every key message it
// posts is taken from the queue as the console takes it. Each input ends
// with Ctrl+Shift+F12, so that all of it is known to have been read.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/system/messages.hpp"
#include "platform/system/system.hpp"
#include "platform/window/window.hpp"

namespace {

int master = -1;
bool endSeen = false;

platform::LResult procedure(platform::Hwnd, std::uint32_t message, platform::WParam wParam, platform::LParam) {
    if (message == platform::WM_KEYDOWN && wParam == platform::VK_F12 && platform::keyDown(platform::VK_CONTROL) &&
        platform::keyDown(platform::VK_SHIFT))
        endSeen = true;
    if (message == platform::WM_CHAR && wParam == 0) std::abort();  // a character is never 0
    return 0;
}

void drain() {
    char buf[4096];
    while (::read(master, buf, sizeof buf) > 0) {
    }
}

// A pseudo-terminal as standard input and output, and the window on it.
bool open() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return false;
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    if (slave < 0 || ::dup2(slave, STDIN_FILENO) < 0 || ::dup2(slave, STDOUT_FILENO) < 0) return false;
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    setenv("TERM", "xterm-256color", 1);
    setenv("QUORIL_CONSOLE", "terminal", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (std::string(platform::backendName()) != "terminal") return false;
    platform::WindowSpec spec;
    spec.className = "QrWinCrt";
    spec.title = "teclas";
    spec.width = 80;
    spec.height = 25;
    spec.proc = procedure;
    return platform::createWindow(spec) != 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = [] {
        const bool ok = open();
        if (!ok) std::fputs("fuzz_term_keys: no pseudo-terminal here, nothing tried\n", stderr);
        return ok;
    }();
    if (!ready) return 0;
    if (size > 256) return 0;
    std::string typed(reinterpret_cast<const char*>(data), size);
    typed += "\033[24;6~";  // Ctrl+Shift+F12
    endSeen = false;
    std::size_t sent = 0;
    const std::uint64_t until = platform::tickCount() + 500;
    while (!endSeen && platform::tickCount() < until) {
        if (sent < typed.size()) {
            const ssize_t n = ::write(master, typed.data() + sent, typed.size() - sent);
            if (n > 0) sent += static_cast<std::size_t>(n);
        }
        platform::Msg msg;
        while (platform::peekMessage(msg)) {
            platform::translateMessage(msg);
            platform::dispatchMessage(msg);
        }
        drain();
        if (!endSeen) platform::waitMessageFor(2);
    }
    return 0;
}
