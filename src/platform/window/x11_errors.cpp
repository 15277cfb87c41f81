// An X error is reported on the connection that made the request, at some
// later point, and Xlib's default handler then ends the whole process.
// SDL sends events to windows in two ways that can meet a window already
// destroyed, through no fault of anyone's:
//
//  - the wake-up it sends to its own window over a second connection each
//    time an event arrives while it waits: when that event is Alt+F4 or the
//    last key of the program, the window can be destroyed on the first
//    connection before the server reads the wake-up from the second, and
//    the error arrives as SDL closes the second connection;
//  - the answer to another program asking for our clipboard, when that
//    program's window has gone in the meantime.
//
// Either error used to end the program with status 1 and an "X Error"
// message on the way out (or in the middle of a conversion, for the
// clipboard). Such an event has nobody to reach, so dropping it is all
// there is to do.
//
// A lost connection is another matter: Xlib's handler called exit(), whose
// destructors asked SDL to destroy the window, and SDL then waited for the
// dead server's answer, spinning for ever at full speed. Ours ends the
// program through the exit hooks (every converted line is already in the
// output file) while the window layer leaves SDL alone. Whichever thread
// meets the lost connection first (a sound or speech thread waking the
// main one goes through SDL's second connection) ends the program; a
// report after that finds it ending and ends at once.
#include "platform/window/x11_errors.hpp"

#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "platform/system/system.hpp"

namespace platform {
namespace {

XErrorHandler previous = nullptr;
std::atomic<bool> lost{false};
pid_t program = 0;  // SDL shows its message boxes from a child process

int onError(Display* display, XErrorEvent* error) {
    if (error->request_code == X_SendEvent && error->error_code == BadWindow) return 0;
    return previous != nullptr ? previous(display, error) : 0;
}

// Xlib's rule: this handler does not return.
int onConnectionLost(Display*) {
    // The message box's child: the program's exit hooks are not its own.
    if (::getpid() != program) std::_Exit(1);
    // A second report (SDL keeps two connections), or one while the
    // program was ending anyway: nothing is left to do but to end.
    if (lost.exchange(true) || exitStarted()) std::_Exit(255);
    std::fputs((cp1252ToUtf8("A conex\xE3o com a tela foi perdida; o programa termina.") + "\n").c_str(), stderr);
    exitProcess(255);
}

}  // namespace

void handleDisplayErrors() {
    XErrorHandler before = XSetErrorHandler(onError);
    if (before != onError) previous = before;
    program = ::getpid();
    XSetIOErrorHandler(onConnectionLost);
}

bool displayLost() { return lost.load(); }

}  // namespace platform
