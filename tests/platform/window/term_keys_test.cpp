// What the terminal window makes of the characters and key sequences a
// terminal sends, and of the console's colours.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/window/term_keys.hpp"

using namespace platform;

namespace {

TEST(TerminalKeys, CharactersBecomeKeyDownsAndCharacters) {
    const struct {
        char32_t in;
        std::uint8_t mods;       // MOD_ALT when an ESC came first
        bool backspaceIsDel;     // the terminal's Backspace sends 127
        std::uint32_t vk;
        std::uint8_t outMods;
        std::uint32_t ch;
    } cases[] = {
        {'a', 0, true, 'A', 0, 'a'},
        {'Z', 0, true, 'Z', MOD_SHIFT, 'Z'},
        {'5', 0, true, '5', 0, '5'},
        {'%', 0, true, '5', MOD_SHIFT, '%'},
        {' ', 0, true, VK_SPACE, 0, ' '},
        {';', 0, true, 0xBA, 0, ';'},
        {'?', 0, true, 0xBF, MOD_SHIFT, '?'},
        // Control bytes: the key with Ctrl; translateMessage makes the
        // character, so none is given here.
        {1, 0, true, 'A', MOD_CTRL, 0},
        {3, 0, true, 'C', MOD_CTRL, 0},   // Ctrl+C is a key like any other
        {26, 0, true, 'Z', MOD_CTRL, 0},
        {13, 0, true, VK_RETURN, 0, 0},
        {10, 0, true, VK_RETURN, MOD_CTRL, 0},
        {9, 0, true, VK_TAB, 0, 0},
        {27, 0, true, VK_ESCAPE, 0, 0},
        {127, 0, true, VK_BACK, 0, 0},
        {8, 0, true, VK_BACK, MOD_CTRL, 0},
        {8, 0, false, VK_BACK, 0, 0},
        {0, 0, true, VK_SPACE, MOD_CTRL, ' '},
        // Latin-1 and the Windows-1252 extras: characters without a key.
        {U'\u00E7', 0, true, 0, 0, 0xE7},
        {U'\u00C9', 0, true, 0, 0, 0xC9},
        {U'\u20AC', 0, true, 0, 0, 0x80},
        {U'\u2026', 0, true, 0, 0, 0x85},
        // What Windows-1252 lacks comes as its code point, to be refused
        // aloud; C1 controls give nothing.
        {U'\u4E2D', 0, true, 0, 0, 0x4E2D},
        {U'\u0141', 0, true, 0, 0, 0x141},
        {char32_t{0x85}, 0, true, 0, 0, 0},
        // Alt: a system key, no character; with Ctrl too, a plain key.
        {'x', MOD_ALT, true, 'X', MOD_ALT, 0},
        {1, MOD_ALT, true, 'A', MOD_CTRL | MOD_ALT, 0},
        {27, MOD_ALT, true, VK_ESCAPE, MOD_ALT, 0},
    };
    for (const auto& c : cases) {
        const auto ev = termkeys::fromCharacter(c.in, c.mods, c.backspaceIsDel);
        EXPECT_EQ(ev.vk, c.vk) << "character " << static_cast<unsigned>(c.in);
        EXPECT_EQ(ev.mods, c.outMods) << "character " << static_cast<unsigned>(c.in);
        EXPECT_EQ(ev.ch, c.ch) << "character " << static_cast<unsigned>(c.in);
    }
}

TEST(TerminalKeys, FunctionKeyNumbersCarryTheirModifiers) {
    const struct {
        int n;
        std::uint32_t vk;
        std::uint8_t mods;
    } cases[] = {
        {1, VK_F1, 0},
        {12, VK_F12, 0},
        {13, VK_F1, MOD_SHIFT},
        {33, VK_F9, MOD_CTRL},
        {45, VK_F9, MOD_CTRL | MOD_SHIFT},   // the second chord of Ctrl+Alt+F9
        {47, VK_F11, MOD_CTRL | MOD_SHIFT},
        {48, VK_F12, MOD_CTRL | MOD_SHIFT},
        {52, VK_F4, MOD_ALT},
        {72, VK_F12, MOD_ALT | MOD_SHIFT},
    };
    for (const auto& c : cases) {
        termkeys::Key k;
        ASSERT_TRUE(termkeys::functionKey(c.n, k)) << c.n;
        EXPECT_EQ(k.vk, c.vk) << c.n;
        EXPECT_EQ(k.mods, c.mods) << c.n;
    }
    termkeys::Key k;
    EXPECT_FALSE(termkeys::functionKey(0, k));
    EXPECT_FALSE(termkeys::functionKey(73, k));
}

TEST(TerminalKeys, XtermSequencesAreDistinctAndDecodeTheModifierParameter) {
    const auto all = termkeys::xtermSequences();
    std::set<std::string> seen;
    for (const auto& s : all) {
        EXPECT_TRUE(seen.insert(s.text).second) << "twice: " << s.text.substr(1);
        ASSERT_GE(s.text.size(), 3u);
        EXPECT_EQ(s.text[0], '\033');
    }
    auto find = [&](const std::string& text) -> termkeys::Key {
        for (const auto& s : all)
            if (s.text == text) return s.key;
        ADD_FAILURE() << "missing " << text.substr(1);
        return {};
    };
    const struct {
        const char* text;
        std::uint32_t vk;
        std::uint8_t mods;
    } cases[] = {
        {"\033[A", VK_UP, 0},
        {"\033OB", VK_DOWN, 0},
        {"\033[1;5A", VK_UP, MOD_CTRL},
        {"\033[1;5D", VK_LEFT, MOD_CTRL},
        {"\033[1;3C", VK_RIGHT, MOD_ALT},
        {"\033[1;2H", VK_HOME, MOD_SHIFT},
        {"\033[1;8F", VK_END, MOD_CTRL | MOD_ALT | MOD_SHIFT},
        {"\033[2;2~", VK_INSERT, MOD_SHIFT},
        {"\033[2;5~", VK_INSERT, MOD_CTRL},
        {"\033[5;5~", VK_PRIOR, MOD_CTRL},
        {"\033[3~", VK_DELETE, 0},
        {"\033OP", VK_F1, 0},
        {"\033[1;2P", VK_F1, MOD_SHIFT},
        {"\033[20;6~", VK_F9, MOD_CTRL | MOD_SHIFT},
        {"\033[23;6~", VK_F11, MOD_CTRL | MOD_SHIFT},
        {"\033[24;6~", VK_F12, MOD_CTRL | MOD_SHIFT},
        {"\033[24~", VK_F12, 0},
        {"\033[Z", VK_TAB, MOD_SHIFT},
    };
    for (const auto& c : cases) {
        const auto k = find(c.text);
        EXPECT_EQ(k.vk, c.vk) << std::string(c.text).substr(1);
        EXPECT_EQ(k.mods, c.mods) << std::string(c.text).substr(1);
    }
}

TEST(TerminalColours, TheConsolePaletteFindsItsNearestTerminalColours) {
    const struct {
        Rgb colour;
        int colours;
        bool foreground;
        int index;
    } cases[] = {
        {{0, 0, 0}, 16, true, 0},
        {{0, 0, 255}, 16, true, 4},
        {{255, 0, 0}, 16, true, 9},
        {{192, 192, 192}, 16, false, 7},
        {{128, 128, 128}, 16, false, 8},
        {{128, 128, 255}, 16, true, 12},
        {{255, 255, 255}, 16, false, 15},
        // Eight colours: backgrounds stay among them, foregrounds may be
        // bright (drawn bold).
        {{255, 255, 255}, 8, false, 7},
        {{255, 255, 255}, 8, true, 15},
        {{255, 255, 0}, 8, false, 3},
        // 256 colours: the fixed cube and greys.
        {{255, 255, 0}, 256, true, 226},
        {{0, 0, 128}, 256, false, 18},
        {{192, 192, 192}, 256, false, 250},
        {{0, 0, 0}, 256, false, 16},
        {{255, 255, 255}, 256, true, 231},
    };
    for (const auto& c : cases)
        EXPECT_EQ(termcolour::nearest(c.colour, c.colours, c.foreground), c.index)
            << int(c.colour.r) << "," << int(c.colour.g) << "," << int(c.colour.b) << " of " << c.colours;
    EXPECT_GT(termcolour::luminance({255, 255, 255}), termcolour::luminance({0, 0, 255}));
}

}  // namespace

#include "platform/window/text_input.hpp"

namespace {

TEST(TypedText, Utf8BecomesWindows1252AndTheRestIsKeptForAWarning) {
    using V = std::vector<std::uint32_t>;
    const struct {
        const char* in;
        V out;
    } cases[] = {
        {"abc", {'a', 'b', 'c'}},
        {"\xC3\xA7\xC3\xA3o", {0xE7, 0xE3, 'o'}},       // ção
        {"\xE2\x82\xAC", {0x80}},                      // euro sign
        {"\xE2\x80\x9Cx\xE2\x80\x9D", {0x93, 'x', 0x94}}, // curly quotes
        // Not in Windows-1252: the code point, so that it is not lost unheard.
        {"\xC5\x81\xC3\xB3" "d\xC5\xBA", {0x141, 0xF3, 'd', 0x17A}},  // Łódź
        {"a\xE4\xB8\xAD" "b", {'a', 0x4E2D, 'b'}},
        {"\xF0\x9F\x98\x80!", {0x1F600, '!'}},         // outside the BMP
        {"\xC2\x85", {}},                               // a C1 control
        {"\xC0\xAF" "x", {'x'}},                        // overlong '/'
        {"\xED\xA0\x80y", {'y'}},                       // a surrogate
        {"\xC3" "z", {'z'}},                            // truncated, then z
        {"\x80\xBFq", {'q'}},                           // stray continuations
        {"\xF8\x88\x80\x80\x80w", {'w'}},               // five-byte form
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(typedCharacters(c.in), c.out) << c.in;
    EXPECT_EQ(typedCharacters(nullptr), V{});
}

}  // namespace
