// The headless backend: no display at all. Tests script the input (keys,
// characters, mouse, close button, focus) and read back what was drawn, the
// beeps and the message boxes. Metrics are fixed: a cell of 8 x 16 pixels
// with ascent 12, frames of 4, a caption of 20, a 1024 x 768 display whose
// work area is 1024 x 734.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/window/backend.hpp"
#include "platform/system/system.hpp"
#include "platform/window/window_internal.hpp"

namespace platform {
namespace {

constexpr int kFrame = 4, kCaption = 20;
constexpr int kDisplayWidth = 1024, kDisplayHeight = 768, kWorkHeight = 734;
constexpr int kDefaultIdleLimit = 30000;
// The drawing recorded for tests: the newest this many calls of each kind
// (a long run paints without end).
constexpr std::size_t kRecordLimit = std::size_t{1} << 16;

template <class Call>
void keepRecord(std::vector<Call>& list, Call call) {
    if (list.size() >= 2 * kRecordLimit) list.erase(list.begin(), list.begin() + kRecordLimit);
    list.push_back(std::move(call));
}

// A text call as it came; drawCalls() formats it.
struct DrawRecord {
    int x = 0, y = 0;
    Rgb fg, bg;
    std::string text;
};

struct Scripted {
    Msg msg;  // hwnd is filled in when it is handed out
};

struct HeadlessState {
    std::mutex lock;
    std::condition_variable wake;
    bool woken = false;

    std::deque<Scripted> script;
    bool keysWhenWaiting = false;
    bool keyReleases = true;
    bool keepsContents = false;
    int idleLimit = kDefaultIdleLimit;

    bool open = false, maximised = false, active = false;
    int width = 0, height = 0;
    std::string title;
    headless::CaretState caret;

    int beeps = 0, paints = 0;
    std::vector<std::string> boxes, pixels;
    std::vector<DrawRecord> draws;
    bool boxesShown = true;
    std::pair<int, int> fontAsked{0, 0};
};

HeadlessState& hs() {
    static HeadlessState s;
    return s;
}

std::string hex(Rgb c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02x%02x%02x", c.r, c.g, c.b);
    return buf;
}

std::string rectText(const Rect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

bool isKeyDown(std::uint32_t m) { return m == WM_KEYDOWN || m == WM_SYSKEYDOWN; }
bool isKeyUp(std::uint32_t m) { return m == WM_KEYUP || m == WM_SYSKEYUP; }
bool isChar(std::uint32_t m) { return m == WM_CHAR || m == WM_SYSCHAR; }

// Takes the scripted events to hand out now: all of them, or with
// keysWhenWaiting one key (its key-down, characters and matching key-up) or
// one other event. Called with the lock held; posting happens after.
std::vector<Msg> takeScript(HeadlessState& s, bool oneKey) {
    std::vector<Msg> out;
    const Hwnd hwnd = currentWindow();
    if (hwnd == 0) return out;  // input waits for a window to receive it
    auto take = [&] {
        Msg m = s.script.front().msg;
        s.script.pop_front();
        m.hwnd = hwnd;
        if (m.message == WM_SETFOCUS) s.active = true;
        if (m.message == WM_KILLFOCUS) s.active = false;
        out.push_back(m);
    };
    if (!oneKey) {
        while (!s.script.empty()) take();
        return out;
    }
    if (s.script.empty()) return out;
    const Msg first = s.script.front().msg;
    take();
    if (isKeyDown(first.message)) {
        while (!s.script.empty() && isChar(s.script.front().msg.message)) take();
        if (!s.script.empty() && isKeyUp(s.script.front().msg.message) &&
            s.script.front().msg.wParam == first.wParam)
            take();
    }
    return out;
}

// A scripted resize carries the outer size in wParam (width in the low 16
// bits): the window takes it, and WM_SIZE tells the client size.
constexpr std::uint32_t kScriptedResize = 0xFFFF0001u;

void postAll(const std::vector<Msg>& msgs) {
    for (const auto& m : msgs) {
        if (m.message != kScriptedResize) {
            postMessage(m.hwnd, m.message, m.wParam, m.lParam, m.mods);
            continue;
        }
        {
            auto& s = hs();
            std::lock_guard<std::mutex> g(s.lock);
            s.maximised = false;
            s.width = static_cast<int>(m.wParam & 0xFFFF);
            s.height = static_cast<int>((m.wParam >> 16) & 0xFFFF);
        }
        const Rect client = clientRect(m.hwnd);
        postMessage(m.hwnd, WM_SIZE, 0,
                    static_cast<LParam>((client.width() & 0xFFFF) | ((client.height() & 0xFFFF) << 16)));
        invalidate(m.hwnd, nullptr);
    }
}

void addScript(std::uint32_t message, WParam wParam, LParam lParam, std::uint8_t mods) {
    auto& s = hs();
    {
        std::lock_guard<std::mutex> g(s.lock);
        s.script.push_back(Scripted{Msg{0, message, wParam, lParam, mods}});
        s.woken = true;
    }
    s.wake.notify_all();
}

class HeadlessBackend final : public WindowBackend {
public:
    const char* name() const override { return "headless"; }
    bool init() override { return true; }

    void pollEvents() override {
        auto& s = hs();
        std::vector<Msg> out;
        {
            std::lock_guard<std::mutex> g(s.lock);
            if (!s.keysWhenWaiting) out = takeScript(s, false);
        }
        postAll(out);
    }

    void waitEvents(int milliseconds) override {
        auto& s = hs();
        std::vector<Msg> out;
        {
            std::unique_lock<std::mutex> g(s.lock);
            if (!s.script.empty() && currentWindow() != 0 && (!s.keysWhenWaiting || milliseconds < 0)) {
                out = takeScript(s, s.keysWhenWaiting);
            } else if (milliseconds >= 0) {
                s.wake.wait_for(g, std::chrono::milliseconds(milliseconds), [&] { return s.woken; });
                s.woken = false;
            } else {
                const bool ended =
                    s.wake.wait_for(g, std::chrono::milliseconds(s.idleLimit), [&] { return s.woken; });
                s.woken = false;
                if (!ended) {
                    std::fprintf(stderr, "headless: nothing came in %d ms of waiting for input; quitting\n",
                                 s.idleLimit);
                    out.push_back(Msg{0, WM_QUIT, 255, 0, 0});
                }
            }
        }
        postAll(out);
    }

    void wakeUp() override {
        auto& s = hs();
        {
            std::lock_guard<std::mutex> g(s.lock);
            s.woken = true;
        }
        s.wake.notify_all();
    }

    FontMetrics createFont(const std::string&, int width, int height) override {
        auto& s = hs();
        std::lock_guard<std::mutex> g(s.lock);
        s.fontAsked = {width, height};
        return FontMetrics{8, 16, 12, 0};
    }

    SystemMetrics systemMetrics() override {
        SystemMetrics m;
        m.frameWidth = kFrame;
        m.frameHeight = kFrame;
        m.captionHeight = kCaption;
        m.workArea = Rect{0, 0, kDisplayWidth, kWorkHeight};
        m.displayWidth = kDisplayWidth;
        m.displayHeight = kDisplayHeight;
        return m;
    }

    bool createWindow(const WindowSpec& spec) override {
        auto& s = hs();
        std::lock_guard<std::mutex> g(s.lock);
        s.open = true;
        s.maximised = spec.maximised;
        s.active = true;
        s.width = spec.width;
        s.height = spec.height;
        s.title = spec.title;
        s.caret = {};
        return true;
    }

    void destroyWindow() override {
        auto& s = hs();
        std::lock_guard<std::mutex> g(s.lock);
        s.open = false;
        s.active = false;
        s.caret = {};
    }

    void setTitle(const std::string& title) override {
        auto& s = hs();
        std::lock_guard<std::mutex> g(s.lock);
        s.title = title;
    }

    Rect windowRect() override {
        auto& s = hs();
        std::lock_guard<std::mutex> g(s.lock);
        if (s.maximised) return Rect{-kFrame, -kFrame, kDisplayWidth + kFrame, kWorkHeight + kFrame};
        return Rect{40, 30, 40 + s.width, 30 + s.height};
    }

    Rect clientRect() override {
        auto& s = hs();
        std::lock_guard<std::mutex> g(s.lock);
        const int w = s.maximised ? kDisplayWidth : s.width - 2 * kFrame;
        const int h = s.maximised ? kWorkHeight - kCaption : s.height - 2 * kFrame - kCaption;
        return Rect{0, 0, w > 0 ? w : 0, h > 0 ? h : 0};
    }

    bool isActive() override {
        auto& s = hs();
        std::lock_guard<std::mutex> g(s.lock);
        return s.open && s.active;
    }

    void beginPaint() override {
        auto& s = hs();
        std::lock_guard<std::mutex> g(s.lock);
        ++s.paints;
    }
    void endPaint() override {}

    void drawText(int x, int y, const std::uint8_t* text, int count, Rgb fg, Rgb bg) override {
        auto& s = hs();
        std::lock_guard<std::mutex> g(s.lock);
        keepRecord(s.draws, DrawRecord{x, y, fg, bg,
                                       std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(count))});
    }

    void fillRect(const Rect& r, Rgb colour) override { record("fill " + rectText(r) + " " + hex(colour)); }
    void copyPixels(const Rect& src, int dx, int dy) override {
        record("copy " + rectText(src) + " to " + std::to_string(dx) + "," + std::to_string(dy));
    }
    void captureWindow() override { record("capture"); }
    void stretchCapture(const Rect& src) override { record("stretch " + rectText(src)); }
    void releaseCapture() override { record("release"); }

    void createCaret(int width, int height) override {
        auto& s = hs();
        std::lock_guard<std::mutex> g(s.lock);
        s.caret.exists = true;
        s.caret.shown = false;  // a new caret is hidden until shown
        s.caret.width = width;
        s.caret.height = height;
    }
    void setCaretPos(int x, int y) override {
        auto& s = hs();
        std::lock_guard<std::mutex> g(s.lock);
        s.caret.x = x;
        s.caret.y = y;
    }
    void showCaret() override {
        auto& s = hs();
        std::lock_guard<std::mutex> g(s.lock);
        if (s.caret.exists) s.caret.shown = true;
    }
    void destroyCaret() override {
        auto& s = hs();
        std::lock_guard<std::mutex> g(s.lock);
        s.caret = {};
    }

    void beep() override {
        auto& s = hs();
        std::lock_guard<std::mutex> g(s.lock);
        ++s.beeps;
    }

    bool messageBox(const std::string& title, const std::string& text) override {
        std::fprintf(stderr, "%s: %s\n", cp1252ToUtf8(title).c_str(), cp1252ToUtf8(text).c_str());
        auto& s = hs();
        std::lock_guard<std::mutex> g(s.lock);
        if (!s.boxesShown) return false;
        s.boxes.push_back(title + ": " + text);
        return true;
    }

    bool hasKeyReleases() const override {
        auto& s = hs();
        std::lock_guard<std::mutex> g(s.lock);
        return s.keyReleases;
    }
    bool keepsContents() const override {
        auto& s = hs();
        std::lock_guard<std::mutex> g(s.lock);
        return s.keepsContents;
    }

private:
    static void record(std::string op) {
        auto& s = hs();
        std::lock_guard<std::mutex> g(s.lock);
        keepRecord<std::string>(s.pixels, std::move(op));
    }
};

}  // namespace

std::unique_ptr<WindowBackend> makeHeadlessBackend() { return std::make_unique<HeadlessBackend>(); }

namespace detail {

void resetHeadlessBackend() {
    auto& s = hs();
    std::lock_guard<std::mutex> g(s.lock);
    s.woken = false;
    s.script.clear();
    s.keysWhenWaiting = false;
    s.keyReleases = true;
    s.keepsContents = false;
    s.idleLimit = kDefaultIdleLimit;
    s.open = s.maximised = s.active = false;
    s.width = s.height = 0;
    s.title.clear();
    s.caret = {};
    s.beeps = s.paints = 0;
    s.boxes.clear();
    s.boxesShown = true;
    s.draws.clear();
    s.pixels.clear();
}

}  // namespace detail

namespace headless {

void reset() {
    detail::resetWindowLayer();
    detail::resetHeadlessBackend();
}

void keyDown(std::uint32_t vk, std::uint8_t mods) {
    const bool sys = (mods & MOD_ALT) && !(mods & MOD_CTRL);
    addScript(sys ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, 1, mods);
}

void keyUp(std::uint32_t vk, std::uint8_t mods) {
    const bool sys = (mods & MOD_ALT) && !(mods & MOD_CTRL);
    addScript(sys ? WM_SYSKEYUP : WM_KEYUP, vk, static_cast<LParam>(0xC0000001u), mods);
}

void character(std::uint32_t ch, std::uint8_t mods) { addScript(WM_CHAR, ch, 1, mods); }

void typeKey(std::uint32_t vk, std::uint8_t ch, std::uint8_t mods) {
    keyDown(vk, mods);
    if (ch != 0) character(ch, mods);
    keyUp(vk, mods);
}

// Each byte becomes the key a person would press for it: letters and digits
// their own key (capitals with Shift), Enter, Backspace, Tab and Escape
// their keys (the character then comes from translateMessage), LF as
// Ctrl+Enter, other control bytes as Ctrl+letter; any other byte comes as a
// character on a key with no code of its own (0).
void typeText(const std::string& text) {
    for (char c : text) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b >= 'a' && b <= 'z')
            typeKey(b - 32u, b);
        else if (b >= 'A' && b <= 'Z')
            typeKey(b, b, MOD_SHIFT);
        else if (b >= '0' && b <= '9')
            typeKey(b, b);
        else if (b == ' ')
            typeKey(VK_SPACE, b);
        else if (b == 13)
            typeKey(VK_RETURN);
        else if (b == 10)
            typeKey(VK_RETURN, 0, MOD_CTRL);
        else if (b == 8)
            typeKey(VK_BACK);
        else if (b == 9)
            typeKey(VK_TAB);
        else if (b == 27)
            typeKey(VK_ESCAPE);
        else if (b >= 1 && b <= 26)
            typeKey('A' + b - 1u, 0, MOD_CTRL);
        else
            typeKey(0, b);
    }
}

void mouse(std::uint32_t message, int x, int y) {
    const LParam lp = static_cast<LParam>((static_cast<std::uint32_t>(y & 0xFFFF) << 16) |
                                          static_cast<std::uint32_t>(x & 0xFFFF));
    addScript(message, 0, lp, 0);
}

void closeButton() { addScript(WM_CLOSE, 0, 0, 0); }

void resize(int width, int height) {
    addScript(kScriptedResize,
              static_cast<WParam>((static_cast<std::uint32_t>(width) & 0xFFFF) |
                                  ((static_cast<std::uint32_t>(height) & 0xFFFF) << 16)),
              0, 0);
}

void focus(bool gained) { addScript(gained ? WM_SETFOCUS : WM_KILLFOCUS, 0, 0, 0); }

void setKeysWhenWaiting(bool on) {
    auto& s = hs();
    std::lock_guard<std::mutex> g(s.lock);
    s.keysWhenWaiting = on;
}

void setKeyReleases(bool on) {
    auto& s = hs();
    std::lock_guard<std::mutex> g(s.lock);
    s.keyReleases = on;
}

void setKeepsContents(bool on) {
    auto& s = hs();
    std::lock_guard<std::mutex> g(s.lock);
    s.keepsContents = on;
}

std::size_t pendingInput() {
    auto& s = hs();
    std::lock_guard<std::mutex> g(s.lock);
    return s.script.size();
}

std::pair<int, int> fontAsked() {
    auto& s = hs();
    std::lock_guard<std::mutex> g(s.lock);
    return s.fontAsked;
}

void setMessageBoxesShown(bool shown) {
    auto& s = hs();
    std::lock_guard<std::mutex> g(s.lock);
    s.boxesShown = shown;
}

void setIdleLimit(int milliseconds) {
    auto& s = hs();
    std::lock_guard<std::mutex> g(s.lock);
    s.idleLimit = milliseconds > 0 ? milliseconds : 1;
}

int beeps() {
    auto& s = hs();
    std::lock_guard<std::mutex> g(s.lock);
    return s.beeps;
}

std::vector<std::string> messageBoxes() {
    auto& s = hs();
    std::lock_guard<std::mutex> g(s.lock);
    return s.boxes;
}

std::vector<std::string> drawCalls() {
    auto& s = hs();
    std::lock_guard<std::mutex> g(s.lock);
    std::vector<std::string> calls;
    calls.reserve(s.draws.size());
    for (const DrawRecord& d : s.draws)
        calls.push_back(std::to_string(d.x) + "," + std::to_string(d.y) + "," + hex(d.fg) + "," + hex(d.bg) + ":" +
                        d.text);
    return calls;
}

std::vector<std::string> pixelCalls() {
    auto& s = hs();
    std::lock_guard<std::mutex> g(s.lock);
    return s.pixels;
}

void clearDrawCalls() {
    auto& s = hs();
    std::lock_guard<std::mutex> g(s.lock);
    s.draws.clear();
    s.pixels.clear();
}

int paints() {
    auto& s = hs();
    std::lock_guard<std::mutex> g(s.lock);
    return s.paints;
}

CaretState caret() {
    auto& s = hs();
    std::lock_guard<std::mutex> g(s.lock);
    return s.caret;
}

bool windowOpen() {
    auto& s = hs();
    std::lock_guard<std::mutex> g(s.lock);
    return s.open;
}

std::string windowTitle() {
    auto& s = hs();
    std::lock_guard<std::mutex> g(s.lock);
    return s.title;
}

bool windowMaximised() {
    auto& s = hs();
    std::lock_guard<std::mutex> g(s.lock);
    return s.maximised;
}

bool windowActive() {
    auto& s = hs();
    std::lock_guard<std::mutex> g(s.lock);
    return s.open && s.active;
}

}  // namespace headless

}  // namespace platform
