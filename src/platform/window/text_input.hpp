// Typed text at the edge of the window backends.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

// The WM_CHAR values of a UTF-8 text typed at the keyboard, one per
// character: its Windows-1252 byte, or, for a character Windows-1252 lacks,
// its code point (above 0xFF), so that the program can refuse it aloud
// instead of losing it unheard. C1 controls and malformed sequences
// (overlong forms, surrogates, truncated or stray bytes) give nothing.
std::vector<std::uint32_t> typedCharacters(const char* utf8);

}  // namespace platform
