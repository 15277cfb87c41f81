// Inside the platform layer: what the message queue and the window layer
// ask of each other.
#pragma once

#include "platform/window/backend.hpp"
#include "platform/system/messages.hpp"

namespace platform::detail {

// The backend when one has been chosen, else null; safe from any thread
// (postMessage uses it to wake a waiting main thread).
WindowBackend* activeBackend();
// Hand a message to its window's procedure (or the default one); 0 when the
// window does not exist. WM_PAINT is validated afterwards when the
// procedure did not paint.
LResult deliver(const Msg& msg);
// The window with an invalid region matching the filter (0 = any), or 0.
Hwnd paintPending(Hwnd filter);
// Drop the queued messages of a window that is gone.
void forgetMessagesFor(Hwnd hwnd);
// Tests: forget the window, its invalid region and the in-process
// clipboard, and make the headless backend the one in use.
void resetWindowLayer();
// The process ends: the backend gives the display back (the terminal's
// modes, the SDL window). Its object is left alive, since another thread may
// still post and wake it.
void shutdownBackend();
// The headless backend's own reset (recordings, script, window).
void resetHeadlessBackend();

}  // namespace platform::detail
