// Errors the X server reports about events sent to windows that are gone.
#pragma once

namespace platform {

// Puts a filter in front of the process's X error handler: an event sent to
// a window that no longer exists is dropped silently; every other error
// goes on to the handler that was there before (Xlib's own ends the
// program). Call it before SDL opens the display, so that SDL's handler
// passes errors on to the filter and puts the filter back when it closes.
// Idempotent.
void filterGoneWindowErrors();

}  // namespace platform
