// The six-key braille keyboard. F, D, S, J, K and L are dots 1 to 6 and
// the space bar is the seventh key; a chord is every key pressed until all
// are released again. A chord of dots gives the character of the table; the
// space bar with dots gives a control character (space+dot 1 is Ctrl+A).
// Mode 2 adds the signs: the capital sign (dots 46, twice for a lock), the
// number sign (dots 3456: a to j become digits until a tilde) and the
// apostrophe as a full stop among digits. Switching modes is heard: a
// 100 Hz tone for off, 800 Hz then 1600 Hz for mode 1 or 400 Hz for mode 2.
#include "console/qrcrt.hpp"
#include "console/qrcrt_state.hpp"
#include "platform/system/system.hpp"
#include "platform/window/window.hpp"

namespace qrcrt {

using detail::state;
using detail::State;

namespace {

// The character of each chord of dots 1 to 6 (bit 0 = dot 1).
constexpr std::uint8_t chordTable[64] = {
    32,  97,  44,  98,  39,  107, 59,  108, 94,  99,  105, 102, 237, 109, 115, 112,
    126, 101, 58,  104, 42,  111, 33,  114, 172, 100, 106, 103, 227, 110, 116, 113,
    253, 226, 63,  234, 45,  117, 34,  118, 123, 238, 245, 224, 243, 120, 232, 231,
    36,  251, 255, 252, 125, 122, 61,  225, 95,  244, 119, 239, 35,  121, 250, 233,
};

constexpr std::uint8_t spaceBit = 64;

// The signs of mode 2; -1 when the character produces nothing.
int applySigns(State& s, std::uint8_t c) {
    if (s.numberMode) {
        if (c == '\'')
            c = '.';
        else if (c >= 'a' && c <= 'i')
            c = static_cast<std::uint8_t>('1' + (c - 'a'));
        else if (c == 'j')
            c = '0';
        else if (c == '~')
            s.numberMode = false;
    }
    if ((s.capital || s.capitalLock) && c >= 'a' && c <= 'z') c = static_cast<std::uint8_t>(c - 32);
    if (c == '#') {
        s.numberMode = true;
        return -1;
    }
    if (c == '{') {
        if (s.capital) s.capitalLock = true;
        s.capital = true;
        return -1;
    }
    s.capital = false;
    return c;
}

}  // namespace

namespace detail {

std::uint8_t brailleBit(std::uint32_t vk) {
    switch (vk) {
    case 'F': return 1;
    case 'D': return 2;
    case 'S': return 4;
    case 'J': return 8;
    case 'K': return 16;
    case 'L': return 32;
    case platform::VK_SPACE: return spaceBit;
    default: return 0;
    }
}

void clearSigns() {
    State& s = state();
    s.capital = false;
    s.capitalLock = false;
    s.numberMode = false;
}

std::uint8_t chordTableCharacter(std::uint8_t dots) { return chordTable[dots & 63]; }

int chordCharacter(std::uint8_t chord) {
    State& s = state();
    if (chord & spaceBit) {
        clearSigns();
        return chord == spaceBit ? ' ' : chordTable[chord & 63] & 31;
    }
    std::uint8_t c = chordTable[chord & 63];
    return s.braille == 2 ? applySigns(s, c) : c;
}

}  // namespace detail

void setBrailleMode(int mode) {
    State& s = state();
    if (mode > 2) mode = 1;
    if (mode < 0) mode = 0;
    if (mode == 0) {
        s.chord = 0;
        s.held = 0;
        detail::clearSigns();
        if (s.braille != 0) {
            toneOn(100);
            pauseFor(200);
            toneOff();
        }
    } else {
        // Chords need key releases, which a terminal never reports: refuse
        // before any tone, so that nobody hears a mode that is not on.
        if (!platform::hasKeyReleases()) {
            const std::string reason =
                "Teclado braille indispon\xEDvel: o terminal n\xE3o informa as teclas soltas";
            if (s.brailleRefused) {
                s.brailleRefused(reason);
            } else {
                platform::messageBeep();
                if (cursorColumn() != 1) writeText("\r\n");
                writeLine(reason);
                flushOutput();
            }
            return;
        }
        toneOn(800);
        pauseFor(200);
        toneOn(mode == 1 ? 1600 : 400);
        pauseFor(200);
        toneOff();
    }
    s.braille = mode;
}

int brailleMode() { return state().braille; }

void setBrailleRefusalHandler(std::function<void(const std::string&)> handler) {
    state().brailleRefused = std::move(handler);
}

}  // namespace qrcrt
