// Text of unknown encoding arriving from outside.
#include "platform/system/system.hpp"

namespace platform {
namespace {

// Whether every sequence is well-formed UTF-8: no stray continuation bytes,
// no overlong forms, no surrogates, nothing past U+10FFFF.
bool validUtf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n = 0;
        char32_t cp = 0;
        if (c < 0x80) n = 1, cp = c;
        else if ((c & 0xE0) == 0xC0) n = 2, cp = c & 0x1Fu;
        else if ((c & 0xF0) == 0xE0) n = 3, cp = c & 0x0Fu;
        else if ((c & 0xF8) == 0xF0) n = 4, cp = c & 0x07u;
        else return false;
        if (i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k) {
            const unsigned char b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        static constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n;
    }
    return true;
}

}  // namespace

std::string externalTextToCp1252(const std::string& text) {
    return validUtf8(text) ? utf8ToCp1252(text) : text;
}

}  // namespace platform
