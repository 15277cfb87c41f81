// The window layer's common part: choosing the backend, the one window and
// its procedure, the invalid region behind WM_PAINT, and the in-process
// clipboard. Every drawing call goes straight to the backend.
//
// Backend choice: QUORIL_CONSOLE names one of sdl, terminal, headless. When
// it is unset, sdl is tried when a display is reachable ($DISPLAY or
// $WAYLAND_DISPLAY), then terminal, then headless; a named backend that
// cannot start falls back the same way, in that order.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/system/system.hpp"
#include "platform/window/backend.hpp"
#include "platform/window/window.hpp"
#include "platform/window/window_internal.hpp"

namespace platform {

// The sdl and terminal backends are built only when their sources are in
// the tree (cmake/platform.cmake says so); without them the choice skips them.
#ifndef QUORIL_HAVE_SDL_BACKEND
std::unique_ptr<WindowBackend> makeSdlBackend() { return nullptr; }
#endif
#ifndef QUORIL_HAVE_TERMINAL_BACKEND
std::unique_ptr<WindowBackend> makeTerminalBackend() { return nullptr; }
#endif

namespace {

struct WindowLayer {
    std::mutex chooseLock;
    std::unique_ptr<WindowBackend> owned;
    std::atomic<WindowBackend*> active{nullptr};
    // The backend shut down on the way out: kept, never destroyed, since a
    // call from another thread may still be inside it.
    WindowBackend* retired = nullptr;

    // The one window (main thread only).
    Hwnd hwnd = 0;
    Hwnd nextHandle = 1;
    WndProc proc = nullptr;
    bool invalid = false;
    Rect invalidRect;
    bool paintBegun = false;  // beginPaint ran during the current WM_PAINT

    // The in-process clipboard, for backends without one.
    std::string clipboard;
};

WindowLayer& layer() {
    static WindowLayer s;
    return s;
}

std::unique_ptr<WindowBackend> make(const std::string& name) {
    if (name == "sdl") return makeSdlBackend();
    if (name == "terminal") return makeTerminalBackend();
    if (name == "headless") return makeHeadlessBackend();
    return nullptr;
}

bool displayReachable() {
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

std::unique_ptr<WindowBackend> choose() {
    const char* env = std::getenv("QUORIL_CONSOLE");
    const std::string wanted = env ? env : "";
    std::vector<std::string> order;
    if (wanted == "headless") {
        order = {"headless"};
    } else if (wanted == "terminal") {
        order = {"terminal", "headless"};
    } else if (wanted == "sdl") {
        order = {"sdl", "terminal", "headless"};
    } else {
        if (!wanted.empty())
            std::fprintf(stderr, "QUORIL_CONSOLE=%s is not a backend (sdl, terminal, headless)\n", wanted.c_str());
        if (displayReachable()) order.push_back("sdl");
        order.push_back("terminal");
        order.push_back("headless");
    }
    for (const auto& name : order) {
        auto b = make(name);
        if (b && b->init()) return b;
        if (name == wanted) std::fprintf(stderr, "the %s backend cannot start here\n", name.c_str());
    }
    auto b = makeHeadlessBackend();
    b->init();
    return b;
}

bool isOurs(Hwnd hwnd) { return hwnd != 0 && hwnd == layer().hwnd; }

Rect intersect(const Rect& a, const Rect& b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

bool empty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace

WindowBackend& backend() {
    auto& s = layer();
    if (WindowBackend* b = s.active.load(std::memory_order_acquire)) return *b;
    std::lock_guard<std::mutex> g(s.chooseLock);
    if (!s.active.load()) {
        // A signal from outside ends the program from its message loop,
        // whichever backend shows it.
        endOnSignals();
        s.owned = choose();
        s.active.store(s.owned.get(), std::memory_order_release);
    }
    return *s.active.load();
}

Hwnd currentWindow() { return layer().hwnd; }

namespace detail {

WindowBackend* activeBackend() { return layer().active.load(std::memory_order_acquire); }

LResult deliver(const Msg& msg) {
    auto& s = layer();
    if (!isOurs(msg.hwnd)) return 0;
    const bool paint = msg.message == WM_PAINT;
    const bool outerBegun = s.paintBegun;
    if (paint) s.paintBegun = false;
    const WndProc proc = s.proc;
    const LResult r = proc ? proc(msg.hwnd, msg.message, msg.wParam, msg.lParam)
                           : defWindowProc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    // A procedure that answered WM_PAINT without painting leaves the region
    // valid all the same (else the paint would come back forever).
    if (paint && isOurs(msg.hwnd) && !s.paintBegun) s.invalid = false;
    if (paint) s.paintBegun = outerBegun;
    return r;
}

Hwnd paintPending(Hwnd filter) {
    auto& s = layer();
    if (s.hwnd == 0 || !s.invalid) return 0;
    if (filter != 0 && filter != s.hwnd) return 0;
    return s.hwnd;
}

void shutdownBackend() {
    auto& s = layer();
    std::lock_guard<std::mutex> g(s.chooseLock);
    if (!s.active.load() || s.retired) return;
    WindowBackend* b = s.owned.release();
    s.retired = b;
    // Whatever still runs on the way out talks to a headless stand-in.
    s.owned = makeHeadlessBackend();
    s.owned->init();
    s.active.store(s.owned.get(), std::memory_order_release);
    s.hwnd = 0;
    s.proc = nullptr;
    b->shutdown();
}

void resetWindowLayer() {
    auto& s = layer();
    {
        std::lock_guard<std::mutex> g(s.chooseLock);
        WindowBackend* b = s.active.load();
        if (!b || std::strcmp(b->name(), "headless") != 0) {
            s.active.store(nullptr);
            if (s.owned) s.owned->shutdown();
            s.owned = makeHeadlessBackend();
            s.owned->init();
            s.active.store(s.owned.get(), std::memory_order_release);
        }
    }
    s.hwnd = 0;
    s.proc = nullptr;
    s.invalid = false;
    s.invalidRect = Rect{};
    s.paintBegun = false;
    s.clipboard.clear();
    clearMessages();
}

}  // namespace detail

const char* backendName() { return backend().name(); }

FontMetrics createFont(const std::string& face, int width, int height) {
    return backend().createFont(face, width, height);
}

SystemMetrics systemMetrics() { return backend().systemMetrics(); }

Hwnd createWindow(const WindowSpec& spec) {
    auto& s = layer();
    if (s.hwnd != 0) {
        std::fprintf(stderr, "createWindow: a window is already open\n");
        return 0;
    }
    const Hwnd h = s.nextHandle++;
    if (s.nextHandle == 0) s.nextHandle = 1;
    s.hwnd = h;
    s.proc = spec.proc;
    s.invalid = false;
    if (!backend().createWindow(spec)) {
        s.hwnd = 0;
        s.proc = nullptr;
        return 0;
    }
    // WM_CREATE's lParam points at the window's description; -1 refuses the window.
    const LResult r = sendMessage(h, WM_CREATE, 0, reinterpret_cast<LParam>(&spec));
    if (r == -1) {
        backend().destroyWindow();
        s.hwnd = 0;
        s.proc = nullptr;
        return 0;
    }
    invalidate(h);
    return h;
}

void destroyWindow(Hwnd hwnd) {
    auto& s = layer();
    if (!isOurs(hwnd)) return;
    sendMessage(hwnd, WM_DESTROY);
    if (!isOurs(hwnd)) return;  // destroyed again from inside WM_DESTROY
    backend().destroyWindow();
    s.hwnd = 0;
    s.proc = nullptr;
    s.invalid = false;
    detail::forgetMessagesFor(hwnd);
}

LResult sendMessage(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) {
    if (!isOurs(hwnd)) return 0;
    return dispatchMessage(Msg{hwnd, message, wParam, lParam, 0});
}

LResult defWindowProc(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) {
    (void)lParam;
    switch (message) {
    case WM_CLOSE:
        destroyWindow(hwnd);
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4) postMessage(hwnd, WM_CLOSE);
        return 0;
    case WM_PAINT:
        beginPaint(hwnd);
        endPaint(hwnd);
        return 0;
    default:
        return 0;
    }
}

void detachWindowProc(Hwnd hwnd) {
    if (isOurs(hwnd)) layer().proc = nullptr;
}

void setWindowTitle(Hwnd hwnd, const std::string& title) {
    if (isOurs(hwnd)) backend().setTitle(title);
}

Rect clientRect(Hwnd hwnd) { return isOurs(hwnd) ? backend().clientRect() : Rect{}; }
Rect windowRect(Hwnd hwnd) { return isOurs(hwnd) ? backend().windowRect() : Rect{}; }
bool isActiveWindow(Hwnd hwnd) { return isOurs(hwnd) && backend().isActive(); }

void invalidate(Hwnd hwnd, const Rect* r) {
    auto& s = layer();
    if (!isOurs(hwnd)) return;
    const Rect client = backend().clientRect();
    const Rect add = r ? intersect(*r, client) : client;
    if (empty(add)) return;
    if (!s.invalid) {
        s.invalidRect = add;
        s.invalid = true;
    } else {
        s.invalidRect = Rect{std::min(s.invalidRect.left, add.left), std::min(s.invalidRect.top, add.top),
                             std::max(s.invalidRect.right, add.right), std::max(s.invalidRect.bottom, add.bottom)};
    }
}

void updateWindow(Hwnd hwnd) {
    if (isOurs(hwnd) && layer().invalid) dispatchMessage(Msg{hwnd, WM_PAINT, 0, 0, 0});
}

Rect beginPaint(Hwnd hwnd) {
    auto& s = layer();
    if (!isOurs(hwnd)) return Rect{};
    const Rect r = s.invalid ? s.invalidRect : Rect{};
    s.invalid = false;
    s.paintBegun = true;
    backend().beginPaint();
    return r;
}

void endPaint(Hwnd hwnd) {
    if (isOurs(hwnd)) backend().endPaint();
}

void drawText(Hwnd hwnd, int x, int y, const std::uint8_t* text, int count, Rgb fg, Rgb bg) {
    if (isOurs(hwnd) && text && count > 0) backend().drawText(x, y, text, count, fg, bg);
}

void fillRect(Hwnd hwnd, const Rect& r, Rgb colour) {
    if (isOurs(hwnd)) backend().fillRect(r, colour);
}

void copyPixels(Hwnd hwnd, const Rect& src, int dx, int dy) {
    if (isOurs(hwnd)) backend().copyPixels(src, dx, dy);
}

void captureWindow(Hwnd hwnd) {
    if (isOurs(hwnd)) backend().captureWindow();
}

void stretchCapture(Hwnd hwnd, const Rect& src) {
    if (isOurs(hwnd)) backend().stretchCapture(src);
}

void releaseCapture(Hwnd hwnd) {
    if (isOurs(hwnd)) backend().releaseCapture();
}

void createCaret(Hwnd hwnd, int width, int height) {
    if (isOurs(hwnd)) backend().createCaret(width, height);
}

void setCaretPos(Hwnd hwnd, int x, int y) {
    if (isOurs(hwnd)) backend().setCaretPos(x, y);
}

void showCaret(Hwnd hwnd) {
    if (isOurs(hwnd)) backend().showCaret();
}

void destroyCaret(Hwnd hwnd) {
    if (isOurs(hwnd)) backend().destroyCaret();
}

bool setClipboardText(const std::string& text) {
    // The clipboard holds a zero-terminated text: anything after a NUL is
    // not part of it.
    const std::string t = text.substr(0, text.find('\0'));
    if (backend().setClipboard(t)) return true;
    layer().clipboard = t;
    return true;
}

bool getClipboardText(std::string& text) {
    if (backend().getClipboard(text)) return true;
    text = layer().clipboard;
    return true;
}

void messageBeep() { backend().beep(); }

bool messageBox(const std::string& title, const std::string& text) { return backend().messageBox(title, text); }

bool hasKeyReleases() { return backend().hasKeyReleases(); }
bool keepsContents() { return backend().keepsContents(); }

}  // namespace platform
