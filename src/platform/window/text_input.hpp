// Typed text at the edge of the window backends.
#pragma once

#include <string>

namespace platform {

// The Windows-1252 bytes of a UTF-8 text typed at the keyboard, one per
// character; characters that Windows-1252 lacks, C1 controls and malformed
// sequences (overlong forms, surrogates, truncated or stray bytes) give
// nothing.
std::string typedText(const char* utf8);

}  // namespace platform
