// Inside the platform layer: what a window backend provides. Each backend
// (sdl, terminal, headless) fills one WindowBackend record; window.cpp picks
// one from QUORIL_CONSOLE (default: sdl when a display is reachable,
// terminal otherwise) and forwards the public calls of window.hpp to it.
// The backend turns its native events into messages with postMessage.
#pragma once

#include <memory>
#include <string>

#include "platform/window.hpp"

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
    // Called by postMessage from any thread so that waitEvents returns.
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
    virtual void messageBox(const std::string& title, const std::string& text) = 0;
    virtual bool hasKeyReleases() const = 0;
};

std::unique_ptr<WindowBackend> makeSdlBackend();
std::unique_ptr<WindowBackend> makeTerminalBackend();
std::unique_ptr<WindowBackend> makeHeadlessBackend();

// The backend in use (chosen on first use).
WindowBackend& backend();

}  // namespace platform
