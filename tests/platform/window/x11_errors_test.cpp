// The X error filter, on a real server (Xvfb): an event sent to a window
// that is gone is dropped; every other error still reaches the handler
// that was there before.
// gtest before Xlib, whose macros (None, Bool) would otherwise clash.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/window/x11_errors.hpp"

extern char** environ;

namespace {

// A virtual display of its own, started and stopped with the test.
class VirtualDisplay {
public:
    VirtualDisplay() {
        int fds[2];
        if (::pipe(fds) != 0) return;
        const std::string fd = std::to_string(fds[1]);
        std::vector<std::string> args = {"Xvfb", "-displayfd", fd, "-screen", "0", "64x64x24", "-nolisten", "tcp"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const bool spawned = ::posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (!spawned) pid_ = -1;
        // Xvfb writes its display number once it accepts connections.
        pollfd p{fds[0], POLLIN, 0};
        std::string number;
        char c = 0;
        while (spawned && ::poll(&p, 1, 30000) == 1 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        if (!number.empty()) name_ = ":" + number;
    }
    ~VirtualDisplay() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

std::vector<int> seen;  // request codes of the errors the earlier handler saw

int earlierHandler(Display*, XErrorEvent* error) {
    seen.push_back(error->request_code);
    return 0;
}

TEST(X11Errors, OnlyEventsSentToGoneWindowsAreDropped) {
    VirtualDisplay server;
    if (server.name().empty()) GTEST_SKIP() << "no Xvfb";
    Display* display = XOpenDisplay(server.name().c_str());
    ASSERT_NE(display, nullptr);
    XErrorHandler before = XSetErrorHandler(earlierHandler);
    platform::handleDisplayErrors();
    platform::handleDisplayErrors();  // twice: still one filter, never calling itself

    const Window root = DefaultRootWindow(display);
    const Window gone = XCreateSimpleWindow(display, root, 0, 0, 8, 8, 0, 0, 0);
    XDestroyWindow(display, gone);
    XSync(display, False);

    struct Row {
        const char* what;
        void (*request)(Display*, Window);
        int reported;  // request code the earlier handler must see; 0 for none
    };
    const Row rows[] = {
        {"event to a gone window",
         [](Display* d, Window w) {
             XEvent ev{};
             ev.xclient.type = ClientMessage;
             ev.xclient.window = w;
             ev.xclient.format = 8;
             XSendEvent(d, w, False, NoEventMask, &ev);
         },
         0},
        {"mapping a gone window", [](Display* d, Window w) { XMapWindow(d, w); }, X_MapWindow},
        {"event with a bad mask",
         [](Display* d, Window) {
             XEvent ev{};
             ev.xclient.type = ClientMessage;
             ev.xclient.format = 8;
             XSendEvent(d, DefaultRootWindow(d), False, static_cast<long>(0x7FFFFFFF), &ev);
         },
         X_SendEvent},
    };
    for (const Row& row : rows) {
        seen.clear();
        row.request(display, gone);
        XSync(display, False);
        if (row.reported == 0) {
            EXPECT_TRUE(seen.empty()) << row.what;
        } else {
            EXPECT_EQ(seen, std::vector<int>{row.reported}) << row.what;
        }
    }
    XSetErrorHandler(before);
    XCloseDisplay(display);
}

}  // namespace
