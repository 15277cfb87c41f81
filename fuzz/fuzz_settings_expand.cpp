// The '@' expansion of settings values: the input is a stored value, a zero
// byte, and the installation directory. Whatever the two hold, the
// expansion ends, asks for the directory at most once per '@' of the value,
// and grows the value by at most one directory per '@'.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "speaking/settings.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t zero = input.find('\0');
    const std::string stored = input.substr(0, zero);
    const std::string dir = zero == std::string::npos ? "/opt/quoril@\\x" : input.substr(zero + 1);

    const auto markers = static_cast<std::size_t>(std::count(stored.begin(), stored.end(), '@'));
    std::size_t asked = 0;
    const std::string out = speaking::expandAt(stored, [&] {
        ++asked;
        return dir;
    });
    if (asked > markers) std::abort();
    if (out.size() != stored.size() + asked * dir.size() - asked) std::abort();
    return 0;
}
