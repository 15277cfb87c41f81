// Typed text at the edge of the window backends.
#include "platform/window/text_input.hpp"

#include "platform/system/system.hpp"

namespace platform {

std::vector<std::uint32_t> typedCharacters(const char* utf8) {
    std::vector<std::uint32_t> out;
    if (utf8 == nullptr) return out;
    const auto* p = reinterpret_cast<const unsigned char*>(utf8);
    while (*p != 0) {
        const unsigned char lead = *p;
        int extra = 0;
        char32_t cp = 0, min = 0;
        if (lead < 0x80) {
            extra = 0, cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, cp = lead & 0x1F, min = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, cp = lead & 0x0F, min = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, cp = lead & 0x07, min = 0x10000;
        } else {
            ++p;  // a stray continuation byte or an invalid lead
            continue;
        }
        int i = 1;
        for (; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) break;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        p += i;  // a truncated sequence resumes at the byte that broke it
        if (i <= extra) continue;
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) continue;
        if (cp >= 0x80 && cp < 0xA0) continue;
        const std::uint8_t c = unicodeToCp1252(cp);
        out.push_back(c != 0 ? c : static_cast<std::uint32_t>(cp));
    }
    return out;
}

}  // namespace platform
