// What the X server reports that Xlib would otherwise answer by ending the
// process its own way.
#pragma once

namespace platform {

// Puts our handlers in front of the process's X error handlers; call it
// before SDL opens the display, so that SDL's own handler passes errors on
// to ours and puts ours back when it closes. Idempotent.
//
//  - An event sent to a window that no longer exists is dropped silently;
//    every other error goes on to the handler that was there before.
//  - The connection to the display lost (the X server ended, the session
//    closed) ends the program as a quit does, with exit code 255 and a
//    message on standard error. From then on nothing may call SDL's video
//    functions: displayLost() says so.
void handleDisplayErrors();
bool displayLost();

}  // namespace platform
