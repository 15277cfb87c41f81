// Text of unknown encoding arriving from outside: a tool's arguments, and
// the lines of the text files the converter reads.
#include <algorithm>
#include <cstring>

#include "platform/system/system.hpp"

namespace platform {
namespace {

// The well-formed UTF-8 sequence at p (avail bytes left, p[0] above 127):
// its length and code point, or 0 when the bytes there are not one (stray
// continuation byte, impossible lead, overlong form, surrogate, past
// U+10FFFF, or cut short).
std::size_t sequenceAt(const unsigned char* p, std::size_t avail, char32_t& cp) {
    const unsigned char c = p[0];
    std::size_t n;
    char32_t least;
    if (c >= 0xC2 && c <= 0xDF) n = 2, cp = c & 0x1Fu, least = 0x80;
    else if (c >= 0xE0 && c <= 0xEF) n = 3, cp = c & 0x0Fu, least = 0x800;
    else if (c >= 0xF0 && c <= 0xF4) n = 4, cp = c & 0x07u, least = 0x10000;
    else return 0;
    if (n > avail) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((p[k] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (p[k] & 0x3Fu);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

// The index of the first byte above 127 at or after from, or size.
std::size_t firstHighByte(const std::string& s, std::size_t from) {
    const char* p = s.data();
    const std::size_t n = s.size();
    std::size_t i = from;
    // Eight bytes at a time: most of a Portuguese text is ASCII.
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        if (w & 0x8080808080808080ull) break;
    }
    for (; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) >= 0x80) return i;
    return n;
}

// Whether the bytes from `from` on are all well-formed UTF-8.
bool validUtf8(const std::string& s, std::size_t from = 0) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    for (std::size_t i = firstHighByte(s, from); i < s.size(); i = firstHighByte(s, i)) {
        char32_t cp;
        const std::size_t n = sequenceAt(p + i, s.size() - i, cp);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

bool isAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Decodes s[from..] in place (see TextDecoder); answers the characters that
// took a best fit or '?'.
std::uint64_t decodeUtf8InPlace(std::string& s, std::size_t from) {
    auto* p = reinterpret_cast<unsigned char*>(s.data());
    const std::size_t n = s.size();
    std::size_t r = firstHighByte(s, from), w = r;
    std::uint64_t unkept = 0;
    while (r < n) {
        const unsigned char b = p[r];
        if (b < 0x80) {
            // Eight ASCII bytes at once where they are; the store may
            // overlap the bytes just read, never the ones still to read.
            std::uint64_t word;
            if (r + 8 <= n && (std::memcpy(&word, p + r, 8), (word & 0x8080808080808080ull) == 0)) {
                std::memcpy(p + w, &word, 8);
                w += 8;
                r += 8;
                continue;
            }
            p[w++] = b;
            ++r;
            continue;
        }
        // The Latin-1 letters, nearly every sequence of a Portuguese text
        // (p[n] is the string's terminating zero, never a continuation).
        const unsigned char next = p[r + 1];
        if (b == 0xC3 && (next & 0xC0) == 0x80) {
            p[w++] = static_cast<unsigned char>(next + 0x40);
            r += 2;
            continue;
        }
        char32_t cp;
        const std::size_t len = sequenceAt(p + r, n - r, cp);
        if (len == 0) {
            p[w++] = b;  // not UTF-8: the Windows-1252 byte it is
            ++r;
            continue;
        }
        r += len;
        if (cp >= 0x0300 && cp <= 0x036F) {
            // A combining mark: joined to the plain letter before it where
            // Windows-1252 has the pair, otherwise dropped.
            const std::uint8_t joined = w > 0 && isAsciiLetter(p[w - 1]) ? composeCp1252(p[w - 1], cp) : 0;
            if (joined != 0) p[w - 1] = joined;
            else ++unkept;
            continue;
        }
        std::uint8_t c = unicodeToCp1252(cp);
        if (c == 0) {
            ++unkept;
            c = bestFitCp1252(cp);
            if (c == 0) c = '?';
        }
        p[w++] = c;
    }
    s.resize(w);
    return unkept;
}

}  // namespace

std::string externalTextToCp1252(const std::string& text) {
    return validUtf8(text) ? utf8ToCp1252(text) : text;
}

void TextDecoder::decodeLine(std::string& line) {
    if (state_ == State::start) {
        state_ = State::undecided;
        if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            line.erase(0, 3);
            state_ = State::utf8;
        }
    }
    if (state_ == State::cp1252) return;
    const std::size_t high = firstHighByte(line, 0);
    if (high == line.size()) return;
    if (state_ == State::undecided) state_ = validUtf8(line, high) ? State::utf8 : State::cp1252;
    if (state_ == State::utf8) unkept_ += decodeUtf8InPlace(line, high);
}

void Utf16Decoder::put(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void Utf16Decoder::decode(const char* bytes, std::size_t size, std::string& out) {
    constexpr char32_t replacement = 0xFFFD;
    out.reserve(out.size() + size + size / 2);
    for (std::size_t i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (pendingByte_ < 0) {
            pendingByte_ = b;
            continue;
        }
        const char32_t unit = bigEndian_ ? (static_cast<char32_t>(pendingByte_) << 8) | b
                                         : (static_cast<char32_t>(b) << 8) | static_cast<char32_t>(pendingByte_);
        pendingByte_ = -1;
        if (highSurrogate_ != 0) {
            const char32_t high = highSurrogate_;
            highSurrogate_ = 0;
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                put(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00), out);
                continue;
            }
            put(replacement, out);
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) highSurrogate_ = unit;
        else if (unit >= 0xDC00 && unit <= 0xDFFF) put(replacement, out);
        else put(unit, out);
    }
}

void Utf16Decoder::finish(std::string& out) {
    if (highSurrogate_ != 0) put(0xFFFD, out);
    if (pendingByte_ >= 0) put(0xFFFD, out);
    highSurrogate_ = 0;
    pendingByte_ = -1;
}

}  // namespace platform
