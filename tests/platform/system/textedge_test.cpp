// Arguments and input of the tools come in either encoding: "três" typed in
// a UTF-8 terminal and "três" from a Windows-1252 file must both reach the
// voice as the same letters.
#include <gtest/gtest.h>

#include "platform/system/system.hpp"

namespace {

TEST(ExternalText, Utf8OrWindows1252) {
    const struct {
        const char* what;
        std::string in, ansi;
    } cases[] = {
        {"UTF-8", "tr\xC3\xAAs", "tr\xEAs"},
        {"Windows-1252", "tr\xEAs", "tr\xEAs"},
        {"UTF-8 euro and dash", "\xE2\x82\xAC\xE2\x80\x94", "\x80\x97"},
        {"Windows-1252 that looks like a lead byte", "a\xC3", "a\xC3"},
        {"Windows-1252 pair that is overlong UTF-8", "\xC0\xAF", "\xC0\xAF"},
        {"Windows-1252 encoded surrogate-like run", "\xED\xA0\x80", "\xED\xA0\x80"},
        {"ascii", "casa", "casa"},
        {"empty", "", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::externalTextToCp1252(c.in), c.ansi) << c.what;
}

}  // namespace
