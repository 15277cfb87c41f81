// Inside the console window: the one state record the screen, keyboard,
// braille and tone files share, and the handlers they lend each other.
// Not for use outside src/console.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "console/qrcrt.hpp"
#include "platform/window/window.hpp"

namespace qrcrt::detail {

constexpr std::size_t queueSize = 64;

struct State {
    // ---- the screen ----
    bool open = false;
    platform::Hwnd hwnd = 0;
    std::vector<std::uint8_t> chars;  // screenColumns x screenRows, row-major
    std::vector<std::uint8_t> attrs;
    // The text window, 0-based screen cells, inclusive.
    int winLeft = 0, winTop = 0, winRight = screenColumns - 1, winBottom = screenRows - 1;
    // The cursor, 0-based inside the text window; the column may stand one
    // past the right edge (pending wrap).
    int column = 0, row = 0;
    std::uint8_t attribute = 0x0F;
    std::array<std::uint8_t, 16> colourTable{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    platform::FontMetrics font;
    bool fixedColours = false;
    bool pixelScroll = false;
    bool maximise = false;
    int magnification = 2;
    bool magnifying = false;
    std::string fontFace;  // set by the program; else FONTE
    std::string title;
    int configuredBraille = 0;
    bool breakEnabled = true;  // Ctrl+Break ends the program
    bool finished = false;     // the process is ending with the window open
    bool exitHooked = false;
    bool narrowTold = false;  // that the window shows fewer than 80 columns
    std::vector<std::string> screenNotice;  // for takeScreenNotice

    // ---- standard output ----
    std::string outBuffer;

    // ---- the key queue ----
    std::array<std::uint8_t, queueSize> queue{};
    std::array<bool, queueSize> queueAlt{};  // Alt held when the byte was queued
    std::size_t count = 0;
    bool lastAlt = false;
    bool waiting = false;  // readKeyCode sleeps for a key
    bool focused = false;
    bool caretShown = false;

    // ---- the braille keyboard ----
    int braille = 0;
    std::uint8_t chord = 0;
    std::uint8_t held = 0;
    bool capital = false;
    bool capitalLock = false;
    bool numberMode = false;

    // ---- the tone ----
    bool tonePlaying = false;
    std::vector<std::uint8_t> toneBuffer;

    // ---- hooks of other modules ----
    NoticeHandler notice;
    std::function<void(const std::string&)> brailleRefused;
    bool noticeArmed = false;
    std::function<platform::LResult(platform::WParam, platform::LParam)> copyData;
    MessageHook hook;
};

State& state();

// The keyboard half of the window procedure.
void onKeyDown(std::uint32_t vk);
// False when the release is left to the default handling.
bool onKeyUp(std::uint32_t vk);
void onChar(std::uint8_t ch);
void onLackingCharacter();
void onFocus(bool gained);
// Queue bytes with their Alt mark; false (nothing queued) when they do not fit.
bool queueBytes(std::initializer_list<std::uint8_t> bytes, bool alt);
void hideCaret();

// The braille chords: the byte a completed chord gives, or -1 for none.
int chordCharacter(std::uint8_t chord);
void clearSigns();
// Whether a key is one of the six dot keys or the space bar; its bit.
std::uint8_t brailleBit(std::uint32_t vk);
// The character of the chord table for dots 1 to 6 (no signs applied).
std::uint8_t chordTableCharacter(std::uint8_t dots);

// The braille display: sends the line again when it changed (every pump).
void refreshBrailleDisplay();
void resetBrailleDisplay();

}  // namespace qrcrt::detail
