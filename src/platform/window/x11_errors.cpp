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
#include "platform/window/x11_errors.hpp"

#include <X11/Xlib.h>
#include <X11/Xproto.h>

namespace platform {
namespace {

XErrorHandler previous = nullptr;

int onError(Display* display, XErrorEvent* error) {
    if (error->request_code == X_SendEvent && error->error_code == BadWindow) return 0;
    return previous != nullptr ? previous(display, error) : 0;
}

}  // namespace

void filterGoneWindowErrors() {
    XErrorHandler before = XSetErrorHandler(onError);
    if (before != onError) previous = before;
}

}  // namespace platform
