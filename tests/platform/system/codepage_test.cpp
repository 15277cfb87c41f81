// The ANSI (Windows-1252) and OEM (code page 850) character sets.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/system/system.hpp"

using namespace platform;

namespace {

TEST(CodePage, KnownAnsiToOemValues) {
    const struct {
        std::uint8_t ansi, oem;
    } cases[] = {
        {0xE7, 0x87},  // ç
        {0xC7, 0x80},  // Ç
        {0xE3, 0xC6},  // ã
        {0xC3, 0xC7},  // Ã
        {0xE9, 0x82},  // é
        {0xE1, 0xA0},  // á
        {0xED, 0xA1},  // í
        {0xF3, 0xA2},  // ó
        {0xFA, 0xA3},  // ú
        {0xF5, 0xE4},  // õ
        {0xEA, 0x88},  // ê
        {0xF4, 0x93},  // ô
        {0xE0, 0x85},  // à
        {0xAA, 0xA6},  // ª
        {0xBA, 0xA7},  // º
        {0xA0, 0xFF},  // no-break space
        {'A', 'A'},    {0x00, 0x00}, {0x0D, 0x0D}, {0x7F, 0x7F},
        // What 850 lacks: the closest plain character.
        {0x93, '"'},   {0x94, '"'},  {0x91, '\''}, {0x92, '\''}, {0x96, '-'}, {0x97, '-'},
        {0x80, 'E'},   {0x8A, 'S'},  {0x9C, 'o'},  {0x8C, 'O'},  {0x9F, 'Y'}, {0x85, '.'},
        {0x83, 0x9F},  // ƒ exists in 850
    };
    for (const auto& c : cases) EXPECT_EQ(ansiToOem(c.ansi), c.oem) << std::hex << int(c.ansi);
}

TEST(CodePage, OemBoxDrawingFallsBackToPlainCharacters) {
    const struct {
        std::uint8_t oem, ansi;
    } cases[] = {
        {0xC4, '-'}, {0xB3, '|'}, {0xDA, '+'}, {0xC5, '+'}, {0xCD, '='}, {0xBA, '|'},
        {0xC9, '+'}, {0xB0, '#'}, {0xDB, '#'}, {0xD5, 'i'}, {0x87, 0xE7}, {0x9F, 0x83},
    };
    for (const auto& c : cases) EXPECT_EQ(oemToAnsi(c.oem), c.ansi) << std::hex << int(c.oem);
}

TEST(CodePage, LatinOneRoundTripsAndNothingIsLost) {
    // Every Latin-1 character exists in 850, and the two tables agree.
    for (int c = 0xA0; c <= 0xFF; ++c)
        EXPECT_EQ(oemToAnsi(ansiToOem(static_cast<std::uint8_t>(c))), c) << std::hex << c;
    for (int c = 0; c < 0x80; ++c) {
        EXPECT_EQ(ansiToOem(static_cast<std::uint8_t>(c)), c);
        EXPECT_EQ(oemToAnsi(static_cast<std::uint8_t>(c)), c);
    }
    // Distinct Latin-1 characters stay distinct.
    std::set<std::uint8_t> seen;
    for (int c = 0xA0; c <= 0xFF; ++c) seen.insert(ansiToOem(static_cast<std::uint8_t>(c)));
    EXPECT_EQ(seen.size(), 96u);
    std::string s = "Convers\xE3o de arquivo \x96 \x93" "a\xE7\xE3o\x94";
    charToOem(s);
    EXPECT_EQ(s, "Convers\xC6o de arquivo - \"a\x87\xC6o\"");
    oemToChar(s);
    EXPECT_EQ(s, "Convers\xE3o de arquivo - \"a\xE7\xE3o\"");
}

TEST(CodePage, UnicodeOfAnsiBytes) {
    EXPECT_EQ(cp1252ToUnicode(0x80), U'\u20AC');
    EXPECT_EQ(cp1252ToUnicode(0xE7), U'\u00E7');
    EXPECT_EQ(cp1252ToUnicode(0x81), U'\u0081');  // undefined byte: itself
    EXPECT_EQ(unicodeToCp1252(U'\u2014'), 0x97);
    EXPECT_EQ(unicodeToCp1252(U'\u0081'), 0x81);
    EXPECT_EQ(unicodeToCp1252(U'\u0080'), 0);  // C1 control that 1252 replaced
    EXPECT_EQ(unicodeToCp1252(U'\u0101'), 0);  // ā
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(unicodeToCp1252(cp1252ToUnicode(static_cast<std::uint8_t>(c))), c == 0 ? 0 : c);
}

TEST(CodePage, Utf8Edges) {
    const struct {
        const char* what;
        std::string utf8, ansi;
    } cases[] = {
        {"ascii", "abc", "abc"},
        {"two bytes", "a\xC3\xA7\xC3\xA3o", "a\xE7\xE3o"},
        {"three bytes, in 1252", "\xE2\x82\xAC \xE2\x80\x94", "\x80 \x97"},
        {"not in 1252", "\xC4\x81", "?"},
        {"four bytes", "\xF0\x9F\x98\x80x", "?x"},
        {"stray continuation", "\x80" "a", "?a"},
        {"truncated at end", "a\xC3", "a?"},
        {"truncated before ascii", "\xE2\x82" "a", "?a"},
        {"overlong slash", "\xC0\xAF", "??"},
        {"overlong three", "\xE0\x80\xAF", "?"},
        {"surrogate", "\xED\xA0\x80", "?"},
        {"above 10FFFF", "\xF4\x90\x80\x80", "?"},
        {"impossible lead", "\xFF\xFE", "??"},
        {"nul kept", std::string("a\0b", 3), std::string("a\0b", 3)},
        {"empty", "", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(utf8ToCp1252(c.utf8), c.ansi) << c.what;
    // Every byte survives the way out and back.
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
    EXPECT_EQ(cp1252ToUtf8("\x80"), "\xE2\x82\xAC");
}

}  // namespace
