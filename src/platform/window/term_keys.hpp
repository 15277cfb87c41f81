// Key and colour translation of the terminal window, kept apart from
// ncurses so that it can be checked on its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/system/messages.hpp"
#include "platform/window/window.hpp"

namespace platform::termkeys {

struct Key {
    std::uint32_t vk = 0;
    std::uint8_t mods = 0;
};

// What one character read from the terminal becomes: a key-down of vk (0:
// none) and a WM_CHAR of ch (0: none; control characters are left to
// translateMessage), both with mods. ch is a Windows-1252 byte, or the code
// point (above 0xFF) of a character Windows-1252 lacks.
struct Event {
    std::uint32_t vk = 0;
    std::uint8_t mods = 0;
    std::uint32_t ch = 0;
};

// A character (after any ESC prefix, which the caller turns into MOD_ALT).
// Control bytes are Ctrl+letter except Tab, Enter (13; 10 is Ctrl+Enter),
// Escape and the two Backspaces: 127, and 8, which is Ctrl+Backspace when
// the terminal's Backspace sends 127.
Event fromCharacter(char32_t ch, std::uint8_t mods, bool backspaceIsDel);

// The ncurses function key n (KEY_F(n)), 1 to 72: F1 to F12 in groups of
// twelve, plain, Shift, Ctrl, Ctrl+Shift, Alt, Alt+Shift (as xterm sends
// them). False for other numbers.
bool functionKey(int n, Key& key);

// The byte sequences that xterm-like terminals send for the cursor, editing
// and function keys, plain and with every modifier combination.
struct Sequence {
    std::string text;
    Key key;
};
std::vector<Sequence> xtermSequences();

}  // namespace platform::termkeys

namespace platform::termcolour {

// The terminal colour nearest to an RGB colour: with 256 colours one of the
// fixed cube and grey entries (16 to 255); otherwise one of the 16 standard
// colours, or of the first 8 when the terminal has only 8 and the colour is
// a background (a foreground 8 to 15 is then drawn bold).
int nearest(Rgb colour, int colours, bool foreground);
// Perceived brightness, 0 to 255.
int luminance(Rgb colour);

}  // namespace platform::termcolour
