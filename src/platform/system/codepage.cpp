// The two 8-bit character sets of the system: Windows-1252 (the ANSI code
// page, in which all text inside the program is kept) and code page 850 (the
// OEM code page of the ZUL files and of the line-drawing characters). Both
// are given as full tables of Unicode code points; the ANSI <-> OEM tables
// are built from them once. Where the other side lacks a character, the
// conversion takes a best fit: the unaccented letter, a plain quote or dash,
// '+', '-', '|' for the box-drawing pieces; '?' only when nothing is close.
#include <array>
#include <string>

#include "platform/system/system.hpp"

namespace platform {
namespace {

// Windows-1252. The five undefined bytes (81, 8D, 8F, 90, 9D) map to the C1
// control of the same number, as Windows does.
constexpr std::array<char16_t, 256> kCp1252 = {
    0x0000, 0x0001, 0x0002, 0x0003, 0x0004, 0x0005, 0x0006, 0x0007,  // 00
    0x0008, 0x0009, 0x000A, 0x000B, 0x000C, 0x000D, 0x000E, 0x000F,  // 08
    0x0010, 0x0011, 0x0012, 0x0013, 0x0014, 0x0015, 0x0016, 0x0017,  // 10
    0x0018, 0x0019, 0x001A, 0x001B, 0x001C, 0x001D, 0x001E, 0x001F,  // 18
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0027,  // 20
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,  // 28
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,  // 30
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,  // 38
    0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,  // 40
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,  // 48
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,  // 50
    0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F,  // 58
    0x0060, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,  // 60
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,  // 68
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,  // 70
    0x0078, 0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x007F,  // 78
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,  // A0
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,  // A8
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,  // B8
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,  // C0
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,  // C8
    0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7,  // D0
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,  // D8
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,  // E0
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,  // E8
    0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,  // F0
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,  // F8
};

// Code page 850 (multilingual Latin-1 DOS).
constexpr std::array<char16_t, 256> kCp850 = {
    0x0000, 0x0001, 0x0002, 0x0003, 0x0004, 0x0005, 0x0006, 0x0007,  // 00
    0x0008, 0x0009, 0x000A, 0x000B, 0x000C, 0x000D, 0x000E, 0x000F,  // 08
    0x0010, 0x0011, 0x0012, 0x0013, 0x0014, 0x0015, 0x0016, 0x0017,  // 10
    0x0018, 0x0019, 0x001A, 0x001B, 0x001C, 0x001D, 0x001E, 0x001F,  // 18
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0027,  // 20
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,  // 28
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,  // 30
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,  // 38
    0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,  // 40
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,  // 48
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,  // 50
    0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F,  // 58
    0x0060, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,  // 60
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,  // 68
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,  // 70
    0x0078, 0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x007F,  // 78
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,  // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,  // B0
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,  // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,  // C8
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,  // D0
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,  // D8
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,  // E0
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,  // E8
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,  // F0
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,  // F8
};

struct BestFit {
    char16_t from;
    std::uint8_t to;
};

// Windows-1252 characters that code page 850 lacks. The accented letters of
// Latin-1 all exist there; these are the typographic extras of 80-9F. Four
// take what Windows gives them, so that ZUL files match byte for byte: the
// euro sign has no fit, the daggers become the crosses of the box set and
// the bullet the OEM bullet (byte 7).
constexpr BestFit kAnsiBestFit[] = {
    {0x20AC, '?'},  {0x201A, '\''}, {0x201E, '"'},  {0x2026, '.'},  {0x2020, 0xC5},
    {0x2021, 0xCE}, {0x02C6, '^'},  {0x2030, '%'},  {0x0160, 'S'},  {0x2039, '<'},
    {0x0152, 'O'},  {0x017D, 'Z'},  {0x2018, '\''}, {0x2019, '\''}, {0x201C, '"'},
    {0x201D, '"'},  {0x2022, 0x07}, {0x2013, '-'},  {0x2014, '-'},  {0x02DC, '~'},
    {0x2122, 'T'},  {0x0161, 's'},  {0x203A, '>'},  {0x0153, 'o'},  {0x017E, 'z'},
    {0x0178, 'Y'},
};

// Code page 850 characters that Windows-1252 lacks: the box-drawing set,
// shades and blocks, the dotless i and the double low line.
constexpr BestFit kOemBestFit[] = {
    {0x2591, '#'}, {0x2592, '#'}, {0x2593, '#'}, {0x2588, '#'}, {0x2584, '_'}, {0x2580, '-'},
    {0x25A0, '#'}, {0x2502, '|'}, {0x2551, '|'}, {0x2500, '-'}, {0x2550, '='}, {0x2524, '+'},
    {0x2563, '+'}, {0x2557, '+'}, {0x255D, '+'}, {0x2510, '+'}, {0x2514, '+'}, {0x2534, '+'},
    {0x252C, '+'}, {0x251C, '+'}, {0x253C, '+'}, {0x255A, '+'}, {0x2554, '+'}, {0x2569, '+'},
    {0x2566, '+'}, {0x2560, '+'}, {0x256C, '+'}, {0x2518, '+'}, {0x250C, '+'}, {0x0131, 'i'},
    {0x2017, '_'},
};

template <std::size_t N>
std::uint8_t lookup(const std::array<char16_t, 256>& table, char16_t cp, const BestFit (&fits)[N]) {
    for (int i = 0; i < 256; ++i)
        if (table[i] == cp) return static_cast<std::uint8_t>(i);
    for (const auto& f : fits)
        if (f.from == cp) return f.to;
    return '?';
}

struct Tables {
    std::array<std::uint8_t, 256> ansiToOem{}, oemToAnsi{};
    Tables() {
        for (int i = 0; i < 256; ++i) {
            ansiToOem[i] = lookup(kCp850, kCp1252[i], kAnsiBestFit);
            oemToAnsi[i] = lookup(kCp1252, kCp850[i], kOemBestFit);
        }
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Letters of Latin Extended-A (U+0100 to U+017F) without their marks; a
// '.' where Windows-1252 has the letter itself (Œ œ Š š Ÿ Ž ž) and '?' for
// the two ligatures IJ ij.
constexpr char kLatinExtendedA[] =
    "AaAaAaCcCcCcCcDd"   // 0100
    "DdEeEeEeEeEeGgGg"   // 0110
    "GgGgHhHhIiIiIiIi"   // 0120
    "Ii??JjKkkLlLlLlL"   // 0130
    "lLlNnNnNnnNnOoOo"   // 0140
    "Oo..RrRrRrSsSsSs"   // 0150
    "..TtTtTtUuUuUuUu"   // 0160
    "UuUuWwYy.ZzZz..s";  // 0170
static_assert(sizeof kLatinExtendedA == 129);

// Other characters that come up in Portuguese and European texts, with the
// plain character Windows takes for them.
constexpr struct {
    char16_t from;
    char to;
} kUnicodeBestFit[] = {
    {0x0180, 'b'}, {0x01CD, 'A'}, {0x01CE, 'a'}, {0x01CF, 'I'}, {0x01D0, 'i'}, {0x01D1, 'O'}, {0x01D2, 'o'},
    {0x01D3, 'U'}, {0x01D4, 'u'}, {0x01D5, 'U'}, {0x01D6, 'u'}, {0x01D7, 'U'}, {0x01D8, 'u'}, {0x01D9, 'U'},
    {0x01DA, 'u'}, {0x01DB, 'U'}, {0x01DC, 'u'}, {0x0218, 'S'}, {0x0219, 's'}, {0x021A, 'T'}, {0x021B, 't'},
    {0x02B9, '\''}, {0x02BA, '"'}, {0x02BC, '\''}, {0x02C8, '\''}, {0x02CB, '`'}, {0x02CD, '_'},
    {0x2000, ' '}, {0x2001, ' '}, {0x2002, ' '}, {0x2003, ' '}, {0x2004, ' '}, {0x2005, ' '}, {0x2006, ' '},
    {0x2007, ' '}, {0x2008, ' '}, {0x2009, ' '}, {0x200A, ' '}, {0x202F, ' '}, {0x205F, ' '}, {0x3000, ' '},
    {0x2010, '-'}, {0x2011, '-'}, {0x2012, '-'}, {0x2015, '-'}, {0x2212, '-'}, {0x2043, '-'},
    {0x201B, '\''}, {0x201F, '"'}, {0x2032, '\''}, {0x2033, '"'}, {0x2035, '`'}, {0x2024, '.'},
    {0x2044, '/'}, {0x2215, '/'}, {0x2216, '\\'}, {0x2217, '*'}, {0x2223, '|'}, {0x2236, ':'},
    {0x223C, '~'}, {0x2264, '='}, {0x2265, '='}, {0x226A, '<'}, {0x226B, '>'},
    {0x2190, '<'}, {0x2192, '>'}, {0x2191, '^'}, {0x2193, 'v'}, {0x2219, '\x95'}, {0x25CF, '\x95'},
    {0x2116, 'N'},
};

// The letters Windows-1252 has for a plain letter and a combining mark
// (text written decomposed, as some systems save it: e + U+0301 is é).
struct Composition {
    char16_t mark;
    const char* bases;    // plain letters
    const char* results;  // the Windows-1252 letter of each
};
constexpr Composition kCompositions[] = {
    {0x0300, "AEIOUaeiou", "\xC0\xC8\xCC\xD2\xD9\xE0\xE8\xEC\xF2\xF9"},
    {0x0301, "AEIOUYaeiouy", "\xC1\xC9\xCD\xD3\xDA\xDD\xE1\xE9\xED\xF3\xFA\xFD"},
    {0x0302, "AEIOUaeiou", "\xC2\xCA\xCE\xD4\xDB\xE2\xEA\xEE\xF4\xFB"},
    {0x0303, "ANOano", "\xC3\xD1\xD5\xE3\xF1\xF5"},
    {0x0308, "AEIOUYaeiouy", "\xC4\xCB\xCF\xD6\xDC\x9F\xE4\xEB\xEF\xF6\xFC\xFF"},
    {0x030A, "Aa", "\xC5\xE5"},
    {0x030C, "SZsz", "\x8A\x8E\x9A\x9E"},
    {0x0327, "Cc", "\xC7\xE7"},
};

}  // namespace

std::uint8_t ansiToOem(std::uint8_t c) { return tables().ansiToOem[c]; }
std::uint8_t oemToAnsi(std::uint8_t c) { return tables().oemToAnsi[c]; }

void charToOem(std::string& text) { charToOem(text.data(), text.size()); }

void oemToChar(std::string& text) {
    const auto& t = tables().oemToAnsi;
    for (auto& ch : text) ch = static_cast<char>(t[static_cast<std::uint8_t>(ch)]);
}

char32_t cp1252ToUnicode(std::uint8_t c) { return kCp1252[c]; }

std::uint8_t unicodeToCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<std::uint8_t>(cp);
    for (int i = 0x80; i < 0xA0; ++i)
        if (kCp1252[i] == cp) return static_cast<std::uint8_t>(i);
    return 0;
}

std::uint8_t bestFitCp1252(char32_t cp) {
    if (cp >= 0x0100 && cp <= 0x017F) {
        const char c = kLatinExtendedA[cp - 0x0100];
        if (c == '.') return unicodeToCp1252(cp);
        return c == '?' ? 0 : static_cast<std::uint8_t>(c);
    }
    // The full-width forms of the ASCII characters.
    if (cp >= 0xFF01 && cp <= 0xFF5E) return static_cast<std::uint8_t>(cp - 0xFF01 + 0x21);
    for (const auto& f : kUnicodeBestFit)
        if (f.from == cp) return static_cast<std::uint8_t>(f.to);
    return 0;
}

std::uint8_t composeCp1252(std::uint8_t base, char32_t mark) {
    for (const auto& c : kCompositions) {
        if (c.mark != mark) continue;
        for (std::size_t i = 0; c.bases[i]; ++i)
            if (static_cast<std::uint8_t>(c.bases[i]) == base) return static_cast<std::uint8_t>(c.results[i]);
        return 0;
    }
    return 0;
}

const std::uint8_t* ansiToOemTable() { return tables().ansiToOem.data(); }

void charToOem(char* text, std::size_t size) {
    const auto& t = tables().ansiToOem;
    for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>(t[static_cast<std::uint8_t>(text[i])]);
}

std::string oemToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char ch : text) appendUtf8(out, kCp850[static_cast<std::uint8_t>(ch)]);
    return out;
}

std::string cp1252ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char ch : text) appendUtf8(out, kCp1252[static_cast<std::uint8_t>(ch)]);
    return out;
}

// Decodes strictly: overlong forms, surrogates, code points above 10FFFF and
// truncated sequences are invalid. Each invalid sequence (the lead byte and
// the continuation bytes that fitted it) becomes one '?'.
std::string utf8ToCp1252(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const auto b = static_cast<std::uint8_t>(text[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        int extra = 0;
        char32_t cp = 0, min = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1, cp = b & 0x1F, min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2, cp = b & 0x0F, min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3, cp = b & 0x07, min = 0x10000;
        } else {
            out += '?';  // stray continuation byte or an impossible lead
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < extra; ++k, ++j) {
            if (j >= n || (static_cast<std::uint8_t>(text[j]) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (static_cast<std::uint8_t>(text[j]) & 0x3F);
        }
        if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        i = j;
        if (!ok) {
            out += '?';
            continue;
        }
        const std::uint8_t c = unicodeToCp1252(cp);
        out += c ? static_cast<char>(c) : '?';
    }
    return out;
}

}  // namespace platform
