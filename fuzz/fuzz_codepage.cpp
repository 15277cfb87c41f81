// The code-page conversions at the edges: Windows-1252 to UTF-8 and back,
// text of unknown encoding, typed UTF-8, and the OEM table of the ZUL
// format. Any bytes convert without a fault, and what must round-trip does.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/system/system.hpp"
#include "platform/window/text_input.hpp"

namespace {

// Whether the text is well-formed UTF-8 (shortest forms, no surrogates).
bool validUtf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        char32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
        for (std::size_t k = 1; k < n; ++k) {
            const unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // Windows-1252 out to UTF-8 is always UTF-8, and comes back as it was
    // for every byte the code page defines.
    const std::string utf8 = platform::cp1252ToUtf8(text);
    if (!validUtf8(utf8)) std::abort();
    bool defined = true;
    for (unsigned char c : text)
        defined = defined && platform::unicodeToCp1252(platform::cp1252ToUnicode(c)) == c;
    if (defined && platform::utf8ToCp1252(utf8) != text) std::abort();

    // Bytes from outside: UTF-8 when they are, else taken as they are.
    const std::string outside = platform::externalTextToCp1252(text);
    if (!validUtf8(text) && outside != text) std::abort();
    if (outside.size() > text.size()) std::abort();
    if (platform::utf8ToCp1252(text).size() > text.size()) std::abort();

    // The OEM table: one byte for one byte, both ways.
    std::string oem = text;
    platform::charToOem(oem);
    if (oem.size() != text.size()) std::abort();
    std::string back = oem;
    platform::oemToChar(back);
    if (back.size() != text.size()) std::abort();
    for (std::size_t i = 0; i < text.size(); ++i)
        if (platform::ansiToOem(static_cast<std::uint8_t>(text[i])) != static_cast<std::uint8_t>(oem[i])) std::abort();

    // Typed UTF-8: one value per character, none for what is malformed.
    const std::string typed = text.substr(0, text.find('\0'));
    const auto chars = platform::typedCharacters(typed.c_str());
    if (chars.size() > typed.size()) std::abort();
    for (std::uint32_t ch : chars)
        if (ch == 0 || ch > 0x10FFFF) std::abort();
    return 0;
}
