// Inside the platform layer: what a window backend provides. Each backend
// (sdl, terminal, headless) fills one WindowBackend record; window.cpp picks
// one from QUORIL_CONSOLE (default: sdl when a display is reachable,
// terminal otherwise) and forwards the public calls of window.hpp to it.
// The backend turns its native events into messages with postMessage,
// addressed to currentWindow(): key-downs and key-ups as WM_KEYDOWN/WM_KEYUP
// (WM_SYSKEYDOWN/WM_SYSKEYUP when Alt is held without Ctrl) with the
// virtual-key code in wParam and the modifiers in mods; typed text as one
// WM_CHAR per Windows-1252 byte; focus, mouse (x in the low 16 bits of
// lParam, y in the next 16) and close-button messages likewise.
#pragma once

#include <memory>
#include <string>

#include "platform/window/window.hpp"

namespace platform {

class WindowBackend {
public:
    virtual ~WindowBackend() = default;
    virtual const char* name() const = 0;
    // Set up the backend; false when it cannot run here (the selection then
    // tries the next one: sdl, then terminal, then headless).
    virtual bool init() = 0;
    virtual void shutdown() {}

    // Turn pending native events into posted messages; never blocks.
    virtual void pollEvents() = 0;
    // Block up to the given milliseconds for a native event (or a wake-up
    // by wakeUp from another thread). -1 waits without limit.
    virtual void waitEvents(int milliseconds) = 0;
    // Called by postMessage from any thread so that waitEvents returns. A
    // wake-up that comes while nobody waits must end the next waitEvents at
    // once (it may come between the queue check and the wait).
    virtual void wakeUp() = 0;

    virtual FontMetrics createFont(const std::string& face, int width, int height) = 0;
    virtual SystemMetrics systemMetrics() = 0;
    virtual bool createWindow(const WindowSpec& spec) = 0;  // one window at a time
    virtual void destroyWindow() = 0;
    virtual void setTitle(const std::string& title) = 0;
    virtual Rect clientRect() = 0;
    virtual Rect windowRect() = 0;
    virtual bool isActive() = 0;

    // Painting: the common layer keeps the invalid region and sends WM_PAINT;
    // the backend draws between beginPaint and endPaint and presents then.
    virtual void beginPaint() = 0;
    virtual void endPaint() = 0;
    virtual void drawText(int x, int y, const std::uint8_t* text, int count, Rgb fg, Rgb bg) = 0;
    virtual void fillRect(const Rect& r, Rgb colour) = 0;
    virtual void copyPixels(const Rect& src, int dx, int dy) = 0;
    virtual void captureWindow() {}
    virtual void stretchCapture(const Rect&) {}
    virtual void releaseCapture() {}

    virtual void createCaret(int width, int height) = 0;
    virtual void setCaretPos(int x, int y) = 0;
    virtual void showCaret() = 0;
    virtual void destroyCaret() = 0;

    // Clipboard: backends without one use the in-process clipboard.
    virtual bool setClipboard(const std::string& cp1252) { (void)cp1252; return false; }
    virtual bool getClipboard(std::string& cp1252) { (void)cp1252; return false; }
    virtual void beep() = 0;
    // Shows the box and also writes "title: text" to standard error where
    // that does not disturb the display; false when no box could be shown.
    virtual bool messageBox(const std::string& title, const std::string& text) = 0;
    virtual bool hasKeyReleases() const = 0;
    // Whether the window's contents are the backend's own and never lost or
    // covered (a terminal's cells), so that moving them is always exact.
    virtual bool keepsContents() const { return false; }
};

std::unique_ptr<WindowBackend> makeSdlBackend();
std::unique_ptr<WindowBackend> makeTerminalBackend();
std::unique_ptr<WindowBackend> makeHeadlessBackend();

// The backend in use (chosen on first use).
WindowBackend& backend();
// The window the backend shows (its handle is given before the backend's
// createWindow is called); 0 when none. Backends address their messages to it.
Hwnd currentWindow();

}  // namespace platform
