// The program's message queue.
//
// One first-in-first-out queue for the main thread. Any thread posts (under
// the lock, then wakes the backend so that a wait returns); only the main
// thread peeks, translates and dispatches. As on Windows, a window's paint
// request is not a queued message: when the window has an invalid region and
// nothing else is queued for it, peek makes up a WM_PAINT, so painting comes
// after all input.
#include <algorithm>
#include <deque>
#include <map>
#include <mutex>

#include "platform/window/backend.hpp"
#include "platform/system/messages.hpp"
#include "platform/system/system.hpp"
#include "platform/window/window_internal.hpp"

namespace platform {
namespace {

struct QueueState {
    std::mutex lock;
    std::deque<Msg> queue;
    // Where the last removed message stood: translateMessage puts the
    // character it makes there, right behind its key-down.
    std::size_t insertAt = 0;
    // The key state of the newest key message taken from the queue, and the
    // one of the message being dispatched (main thread only).
    std::uint8_t liveMods = 0;
    int dispatchDepth = 0;
    std::uint8_t dispatchMods = 0;
    // Posted calls by number (the message's wParam).
    std::map<WParam, std::function<void()>> calls;
    WParam nextCall = 1;
};

QueueState& state() {
    static QueueState s;
    return s;
}

bool isKeyMessage(std::uint32_t m) { return m >= WM_KEYDOWN && m <= WM_SYSCHAR; }

// Whether anything is there for peek (queued or a paint); main thread.
bool anythingThere() {
    auto& s = state();
    {
        std::lock_guard<std::mutex> g(s.lock);
        if (!s.queue.empty()) return true;
    }
    return detail::paintPending(0) != 0;
}

}  // namespace

void postMessage(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam, std::uint8_t mods) {
    auto& s = state();
    {
        std::lock_guard<std::mutex> g(s.lock);
        s.queue.push_back(Msg{hwnd, message, wParam, lParam, mods});
    }
    if (WindowBackend* b = detail::activeBackend()) b->wakeUp();
}

void postCall(std::function<void()> call) {
    auto& s = state();
    WParam id = 0;
    {
        std::lock_guard<std::mutex> g(s.lock);
        id = s.nextCall++;
        s.calls.emplace(id, std::move(call));
    }
    postMessage(0, WM_POSTED_CALL, id, 0);
}

void postQuitMessage(int exitCode) {
    postMessage(0, WM_QUIT, static_cast<WParam>(static_cast<unsigned>(exitCode)));
}

bool peekMessage(Msg& msg, Hwnd hwnd, bool remove) {
    backend().pollEvents();
    auto& s = state();
    {
        std::lock_guard<std::mutex> g(s.lock);
        for (std::size_t i = 0; i < s.queue.size(); ++i) {
            if (hwnd != 0 && s.queue[i].hwnd != hwnd) continue;
            msg = s.queue[i];
            if (remove) {
                s.queue.erase(s.queue.begin() + static_cast<std::ptrdiff_t>(i));
                s.insertAt = i;
                if (isKeyMessage(msg.message)) s.liveMods = msg.mods;
            }
            return true;
        }
    }
    if (Hwnd p = detail::paintPending(hwnd)) {
        msg = Msg{p, WM_PAINT, 0, 0, 0};
        return true;
    }
    return false;
}

void waitMessage() {
    for (;;) {
        backend().pollEvents();
        if (anythingThere()) return;
        backend().waitEvents(-1);
    }
}

bool waitMessageFor(int milliseconds) {
    const std::uint64_t deadline = tickCount() + static_cast<std::uint64_t>(std::max(0, milliseconds));
    for (;;) {
        backend().pollEvents();
        if (anythingThere()) return true;
        const std::uint64_t now = tickCount();
        if (now >= deadline) return false;
        backend().waitEvents(static_cast<int>(deadline - now));
    }
}

void translateMessage(const Msg& msg) {
    if (msg.message != WM_KEYDOWN) return;
    const bool ctrl = msg.mods & MOD_CTRL, alt = msg.mods & MOD_ALT;
    int ch = -1;
    switch (msg.wParam) {
    case VK_RETURN: ch = ctrl ? 10 : 13; break;
    case VK_BACK: ch = ctrl ? 127 : 8; break;
    case VK_ESCAPE: ch = 27; break;
    case VK_TAB:
        if (!ctrl) ch = 9;
        break;
    // Ctrl+[ \ ] give ESC, FS and GS, as the Windows layouts have them (the
    // key left of Z, where a layout has one, is a second backslash).
    case 0xDB:
        if (ctrl && !alt) ch = 27;
        break;
    case 0xDC:
    case 0xE2:
        if (ctrl && !alt) ch = 28;
        break;
    case 0xDD:
        if (ctrl && !alt) ch = 29;
        break;
    default:
        if (msg.wParam >= 'A' && msg.wParam <= 'Z' && ctrl && !alt) ch = static_cast<int>(msg.wParam - 'A' + 1);
    }
    if (ch < 0) return;
    auto& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    const std::size_t at = std::min(s.insertAt, s.queue.size());
    s.queue.insert(s.queue.begin() + static_cast<std::ptrdiff_t>(at),
                   Msg{msg.hwnd, WM_CHAR, static_cast<WParam>(ch), msg.lParam, msg.mods});
    s.insertAt = at + 1;
}

LResult dispatchMessage(const Msg& msg) {
    auto& s = state();
    if (msg.hwnd == 0 && msg.message == WM_POSTED_CALL) {
        std::function<void()> call;
        {
            std::lock_guard<std::mutex> g(s.lock);
            auto it = s.calls.find(msg.wParam);
            if (it == s.calls.end()) return 0;
            call = std::move(it->second);
            s.calls.erase(it);
        }
        call();
        return 0;
    }
    const int depth = s.dispatchDepth;
    const std::uint8_t savedMods = s.dispatchMods;
    // Key messages carry their own key state; any other message sees the key
    // state of the message around it, or the live one.
    if (isKeyMessage(msg.message))
        s.dispatchMods = msg.mods;
    else if (depth == 0)
        s.dispatchMods = s.liveMods;
    ++s.dispatchDepth;
    struct Restore {
        QueueState& s;
        int depth;
        std::uint8_t mods;
        ~Restore() {
            s.dispatchDepth = depth;
            s.dispatchMods = mods;
        }
    } restore{s, depth, savedMods};
    return detail::deliver(msg);
}

bool keyDown(std::uint32_t vk) {
    auto& s = state();
    const std::uint8_t mods = s.dispatchDepth > 0 ? s.dispatchMods : s.liveMods;
    switch (vk) {
    case VK_SHIFT: return mods & MOD_SHIFT;
    case VK_CONTROL: return mods & MOD_CTRL;
    case VK_MENU: return mods & MOD_ALT;
    default: return false;
    }
}

std::size_t queuedMessages() {
    auto& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.queue.size();
}

void clearMessages() {
    auto& s = state();
    std::map<WParam, std::function<void()>> dropped;  // released outside the lock
    std::lock_guard<std::mutex> g(s.lock);
    s.queue.clear();
    s.insertAt = 0;
    s.liveMods = 0;
    dropped.swap(s.calls);
}

namespace detail {

void forgetMessagesFor(Hwnd hwnd) {
    if (hwnd == 0) return;
    auto& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.queue.erase(std::remove_if(s.queue.begin(), s.queue.end(), [&](const Msg& m) { return m.hwnd == hwnd; }),
                  s.queue.end());
    s.insertAt = std::min(s.insertAt, s.queue.size());
}

}  // namespace detail

}  // namespace platform
