// The message queue: Windows message numbers, virtual-key codes and the one
// queue of the program's thread. Any thread may post; only the main thread
// peeks, waits and dispatches.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

using Hwnd = std::uint32_t;  // 0 is "no window"
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

// Window messages (the Windows numbers).
enum : std::uint32_t {
    WM_NULL = 0x0000,
    WM_CREATE = 0x0001,
    WM_DESTROY = 0x0002,
    WM_SIZE = 0x0005,
    WM_ACTIVATE = 0x0006,
    WM_SETFOCUS = 0x0007,
    WM_KILLFOCUS = 0x0008,
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_GETMINMAXINFO = 0x0024,
    WM_COPYDATA = 0x004A,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102,
    WM_SYSKEYDOWN = 0x0104,
    WM_SYSKEYUP = 0x0105,
    WM_SYSCHAR = 0x0106,
    WM_TIMER = 0x0113,
    WM_MOUSEMOVE = 0x0200,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    MM_MCINOTIFY = 0x03B9,
    MM_WOM_OPEN = 0x03BB,
    MM_WOM_CLOSE = 0x03BC,
    MM_WOM_DONE = 0x03BD,
    WM_USER = 0x0400,
};

// Virtual-key codes (the Windows numbers). Letters and digits are their
// upper-case ASCII codes ('A' = 0x41, '0' = 0x30).
enum : std::uint32_t {
    VK_CANCEL = 0x03,  // Ctrl+Break
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,  // Alt
    VK_PAUSE = 0x13,
    VK_CAPITAL = 0x14,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,  // Page Up
    VK_NEXT = 0x22,   // Page Down
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_F1 = 0x70,
    VK_F2,
    VK_F3,
    VK_F4,
    VK_F5,
    VK_F6,
    VK_F7,
    VK_F8,
    VK_F9,
    VK_F10,
    VK_F11,
    VK_F12,
};

// Modifier bits carried by every key message (the key state at the moment
// the event happened).
enum : std::uint8_t { MOD_SHIFT = 1, MOD_CTRL = 2, MOD_ALT = 4 };

struct Msg {
    Hwnd hwnd = 0;
    std::uint32_t message = WM_NULL;
    WParam wParam = 0;
    LParam lParam = 0;
    std::uint8_t mods = 0;  // MOD_* at the time of the event (key messages)
};

// Post a message to the queue. Safe from any thread; wakes waitMessage.
void postMessage(Hwnd hwnd, std::uint32_t message, WParam wParam = 0, LParam lParam = 0,
                 std::uint8_t mods = 0);
// Post a call for the main thread, the way a single-threaded apartment
// takes calls from other threads: a thread message (hwnd 0) numbered
// WM_POSTED_CALL that runs the call when it is dispatched. Calls still
// queued when the messages are cleared are dropped unrun.
constexpr std::uint32_t WM_POSTED_CALL = 0xC0A1;  // in the registered-message range
void postCall(std::function<void()> call);

// Post WM_QUIT with the exit code.
void postQuitMessage(int exitCode);

// Look at the first message (for hwnd, or any when hwnd is 0) without
// blocking. First asks the window backend to turn pending native events into
// messages. Returns false when there is none. With remove, takes it out.
// WM_QUIT and other thread messages (hwnd 0) come only when hwnd is 0. When
// nothing is queued for the window and it has an invalid region, answers a
// WM_PAINT, which stays until the window is painted (dispatch it).
bool peekMessage(Msg& msg, Hwnd hwnd = 0, bool remove = true);
// Block until the queue holds a message (the backend's native events are
// polled while waiting). Returns at once when one is already queued.
void waitMessage();
// Like waitMessage, but gives up after the given milliseconds; true when a
// message is there.
bool waitMessageFor(int milliseconds);
// Key-down messages that produce a control character (Enter 13, Ctrl+Enter
// 10, Backspace 8, Ctrl+Backspace 127, Escape 27, Tab 9, Ctrl+letter 1 to 26
// and Ctrl+[ \ ] 27 to 29 unless Alt is held too) put the matching WM_CHAR into the queue right
// behind the key-down's place, before anything queued later. Printable characters come from the backend's text input as
// WM_CHAR messages of their own, so this posts nothing for them.
void translateMessage(const Msg& msg);
// Hand the message to the window procedure of its window. The key state
// answered by keyDown() during the call is the one the message carries.
LResult dispatchMessage(const Msg& msg);

// Whether Shift, Ctrl or Alt (VK_SHIFT, VK_CONTROL, VK_MENU) is held, as of
// the message being dispatched (or the live state outside a dispatch).
bool keyDown(std::uint32_t vk);

// Number of messages waiting (for tests and diagnostics).
std::size_t queuedMessages();
// Drop every queued message (tests start fresh).
void clearMessages();

}  // namespace platform
