// The keyboard: key messages become bytes in a queue of 64, PC-console
// style: characters as themselves, function and cursor keys as 0 and a code,
// Ctrl+Alt letters and digits as 0 and their scan code. The queue is filled
// only while messages are pumped, and every wait of the program pumps; a
// full queue drops further keys (characters at 64 bytes, two-byte keys at
// more than 62). Each byte remembers whether Alt was held, so the line
// editor can tell Alt+Left from Left after the fact.
#include <algorithm>

#include "console/qrcrt.hpp"
#include "console/qrcrt_state.hpp"
#include "platform/system/system.hpp"
#include "platform/window/window.hpp"

namespace qrcrt {

using detail::state;
using detail::State;

namespace {

struct FunctionKey {
    std::uint32_t vk;
    std::uint8_t plain, withCtrl;
};

constexpr FunctionKey functionKeys[] = {
    {platform::VK_F1, 59, 94},      {platform::VK_F2, 60, 95},      {platform::VK_F3, 61, 96},
    {platform::VK_F4, 62, 97},      {platform::VK_F5, 63, 98},      {platform::VK_F6, 64, 99},
    {platform::VK_F7, 65, 100},     {platform::VK_F8, 66, 101},     {platform::VK_F9, 67, 102},
    {platform::VK_F10, 68, 103},    {platform::VK_F11, 69, 104},    {platform::VK_F12, 70, 105},
    {platform::VK_INSERT, 82, 255}, {platform::VK_DELETE, 83, 83},  {platform::VK_HOME, 71, 119},
    {platform::VK_END, 79, 117},    {platform::VK_PRIOR, 73, 132},  {platform::VK_NEXT, 81, 118},
    {platform::VK_UP, 72, 113},     {platform::VK_DOWN, 80, 114},   {platform::VK_LEFT, 75, 115},
    {platform::VK_RIGHT, 77, 116},
};

// PC scan codes of the letters A to Z.
constexpr std::uint8_t letterScanCodes[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                              49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};

// The Alt code of a letter or digit key, 0 for any other key.
std::uint8_t altCode(std::uint32_t vk) {
    if (vk >= 'A' && vk <= 'Z') return letterScanCodes[vk - 'A'];
    if (vk >= '1' && vk <= '9') return static_cast<std::uint8_t>(120 + (vk - '1'));
    if (vk == '0') return 129;
    return 0;
}

bool isLetterKey(std::uint32_t vk) { return vk >= 'A' && vk <= 'Z'; }

int caretX(const State& s) { return (s.winLeft + s.column) * s.font.cellWidth; }
int caretY(const State& s) { return (s.winTop + s.row) * s.font.cellHeight + s.font.ascent; }

void showCaretNow(State& s) {
    if (!s.hwnd || s.caretShown) return;
    platform::createCaret(s.hwnd, s.font.cellWidth, 2);
    platform::setCaretPos(s.hwnd, caretX(s), caretY(s));
    platform::showCaret(s.hwnd);
    s.caretShown = true;
}

[[noreturn]] void quitNow() {
    detail::hideCaret();
    platform::exitProcess(255);
}

void handle(const platform::Msg& msg) {
    if (msg.message == platform::WM_QUIT) quitNow();
    State& s = state();
    // Messages for the thread reach no window procedure: the hook sees them here.
    if (msg.hwnd == 0 && s.hook && s.hook(msg)) return;
    platform::translateMessage(msg);
    platform::dispatchMessage(msg);
}

}  // namespace

namespace detail {

bool queueBytes(std::initializer_list<std::uint8_t> bytes, bool alt) {
    State& s = state();
    if (s.count + bytes.size() > queueSize) return false;
    for (std::uint8_t b : bytes) {
        s.queueAlt[s.count] = alt;
        s.queue[s.count++] = b;
    }
    return true;
}

void hideCaret() {
    State& s = state();
    if (!s.caretShown) return;
    s.caretShown = false;
    if (s.hwnd) platform::destroyCaret(s.hwnd);
}

void onKeyDown(std::uint32_t vk) {
    State& s = state();
    if (vk == platform::VK_CANCEL && s.breakEnabled) platform::exitProcess(255);
    bool ctrl = platform::keyDown(platform::VK_CONTROL);
    bool shift = platform::keyDown(platform::VK_SHIFT);
    bool alt = platform::keyDown(platform::VK_MENU);
    // Linux desktops keep Ctrl+Alt+F-keys for switching terminals: Ctrl+Shift
    // stands in for them on F9, F11 and F12.
    if (ctrl && shift && !alt &&
        (vk == platform::VK_F9 || vk == platform::VK_F11 || vk == platform::VK_F12))
        alt = true;
    if (alt) {
        if (ctrl && vk == platform::VK_F12) {
            setBrailleMode(0);
            return;
        }
        if (ctrl && vk == platform::VK_F11) {
            setBrailleMode(s.braille + 1);
            return;
        }
        if (std::uint8_t code = altCode(vk)) {
            if (s.count <= queueSize - 2) queueBytes({0, code}, true);
            return;
        }
    }
    if (s.braille != 0 && !ctrl) {
        if (std::uint8_t bit = brailleBit(vk)) {
            s.chord |= bit;
            s.held |= bit;
            return;
        }
    }
    if (s.count > queueSize - 2) return;
    for (const auto& key : functionKeys) {
        if (key.vk != vk) continue;
        std::uint8_t code = ctrl ? key.withCtrl : key.plain;
        if (vk == platform::VK_INSERT && !ctrl && shift) code = 254;
        queueBytes({0, code}, alt);
        return;
    }
}

bool onKeyUp(std::uint32_t vk) {
    State& s = state();
    if (s.braille == 0) return false;
    if (platform::keyDown(platform::VK_CONTROL) || (!isLetterKey(vk) && vk != platform::VK_SPACE)) {
        clearSigns();
        return false;
    }
    s.held &= static_cast<std::uint8_t>(~brailleBit(vk));
    if (s.held != 0) return true;
    int c = chordCharacter(s.chord);
    s.chord = 0;
    if (c >= 0 && s.count < queueSize) queueBytes({static_cast<std::uint8_t>(c)}, false);
    return true;
}

void onChar(std::uint8_t ch) {
    State& s = state();
    if (s.braille != 0 && (ch == ' ' || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z'))) return;
    if (s.count >= queueSize) return;
    bool ctrl = platform::keyDown(platform::VK_CONTROL);
    bool alt = platform::keyDown(platform::VK_MENU);
    // Ctrl+Alt combinations queue their Alt code on the key-down alone.
    if (ctrl && alt && ch < 32) return;
    if (ctrl && ch == 13) ch = 10;
    if (ctrl && ch == 8) ch = 127;
    queueBytes({ch}, alt);
}

void onLackingCharacter() {
    State& s = state();
    if (s.count <= queueSize - 2) queueBytes({0, lackingCharacterCode}, false);
}

void onFocus(bool gained) {
    State& s = state();
    if (gained) {
        s.focused = true;
        if (s.waiting) showCaretNow(s);
    } else {
        if (s.waiting) hideCaret();
        s.focused = false;
    }
}

}  // namespace detail

bool keyWaiting() {
    openScreen();
    pumpMessages();
    return state().count > 0;
}

std::uint8_t readKeyCode() {
    State& s = state();
    if (s.count == 0) {
        s.waiting = true;
        openScreen();
        if (s.focused) showCaretNow(s);
        while (!keyWaiting()) platform::waitMessage();
        detail::hideCaret();
        s.waiting = false;
    }
    std::uint8_t b = s.queue[0];
    s.lastAlt = s.queueAlt[0];
    std::copy(s.queue.begin() + 1, s.queue.begin() + s.count, s.queue.begin());
    std::copy(s.queueAlt.begin() + 1, s.queueAlt.begin() + s.count, s.queueAlt.begin());
    --s.count;
    return b;
}

bool altHeld() { return state().lastAlt; }

std::size_t readBlock(char* buffer, std::size_t size) {
    if (!buffer || size < 2) return 0;  // no room for the CR LF that ends a line
    std::size_t n = 0;
    for (;;) {
        std::uint8_t c = readKeyCode();
        if (c == 0) {
            // A function or cursor key: its code is no character of the line.
            if (state().count > 0) readKeyCode();
        } else if (c == 8) {
            if (n > 0) {
                --n;
                writeChar(8);
            }
        } else if (c == 13) {
            buffer[n++] = '\r';
            buffer[n++] = '\n';
            static const std::uint8_t crlf[] = {13, 10};
            writeBlock(crlf, 2);
            return n;
        } else if (c >= 32) {
            if (n < size - 2) {
                buffer[n++] = static_cast<char>(c);
                writeChar(c);
            }
        }
    }
}

void pumpMessages() {
    platform::Msg msg;
    while (platform::peekMessage(msg, 0, true)) handle(msg);
    detail::refreshBrailleDisplay();
}

void pumpWindowMessages() {
    platform::Hwnd hwnd = state().hwnd;
    if (!hwnd) return;
    platform::Msg msg;
    while (platform::peekMessage(msg, hwnd, true)) handle(msg);
}

void pauseFor(int milliseconds) {
    if (milliseconds > 0) platform::sleepFor(milliseconds);
    pumpMessages();
    pumpWindowMessages();
}

void clearKeys() { state().count = 0; }

std::size_t queuedKeys() { return state().count; }

}  // namespace qrcrt
