// The document reader's limits as the environment may set them, read the
// same way by the program that starts the helper and by the helper itself.
#pragma once

#include <algorithm>
#include <cstdlib>

namespace platform::document {

// A limit from the environment: a positive whole number, at most a million
// (megabytes or seconds), so that no product of it overflows; else fallback.
inline long envLimit(const char* name, long fallback) {
    const char* v = std::getenv(name);
    if (!v || !*v) return fallback;
    char* end;
    const long n = std::strtol(v, &end, 10);
    return *end == 0 && n > 0 ? std::min(n, 1000000L) : fallback;
}

}  // namespace platform::document
