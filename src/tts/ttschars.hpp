// Character helpers shared by the built-in voice's stages. Text is
// Windows-1252 bytes; literals in the sources are written in UTF-8 and turned
// into bytes with cp1252() (only code points up to U+00FF occur in them).
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/files.hpp"
#include "platform/system/system.hpp"

namespace ttschars {

inline unsigned char byte(char c) { return static_cast<unsigned char>(c); }

// UTF-8 literal -> Windows-1252 bytes (code points above U+00FF become '?').
inline std::string cp1252(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = byte(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            unsigned cp = ((c & 0x1Fu) << 6) | (byte(utf8[i + 1]) & 0x3Fu);
            out += cp < 0x100 ? static_cast<char>(cp) : '?';
            ++i;
        } else {
            out += '?';
            while (i + 1 < utf8.size() && (byte(utf8[i + 1]) & 0xC0) == 0x80) ++i;
        }
    }
    return out;
}

// Upper/lower case, accented Latin-1 letters included.
inline char upper(char c) {
    unsigned char b = byte(c);
    if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7)) return static_cast<char>(b - 0x20);
    return c;
}
inline char lower(char c) {
    unsigned char b = byte(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7)) return static_cast<char>(b + 0x20);
    return c;
}
inline std::string upper(std::string s) {
    for (char& c : s) c = upper(c);
    return s;
}
inline std::string lower(std::string s) {
    for (char& c : s) c = lower(c);
    return s;
}
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Blanks and control characters at both ends removed.
inline std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && byte(s[b]) <= ' ') ++b;
    while (e > b && byte(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

// A whole decimal number (optional sign), as the system's number reading
// takes it; false for anything else or a value outside 32 bits.
inline bool parseInt(const std::string& text, int& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        if (!isDigit(text[i])) return false;
        v = v * 10 + (text[i] - '0');
        if (v > 2147483648LL) return false;
    }
    if (negative) v = -v;
    if (v > 2147483647LL) return false;
    value = static_cast<int>(v);
    return true;
}

// Reads a text file (a Windows-style name, mapped by the platform) into lines (line feed ends a line; a carriage return
// before it is dropped). False when the file cannot be opened or read.
inline bool readLines(const std::string& fileName, std::vector<std::string>& lines) {
    lines.clear();
    if (fileName.empty()) return false;
    // A regular file only, read without waiting, bounded far above any
    // real language file.
    constexpr std::uint64_t kMaxBytes = 64u << 20;
    std::string text;
    if (platform::readDataFile(platform::toNativeName(fileName), text, kMaxBytes) != 0) return false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return true;
}

}  // namespace ttschars
