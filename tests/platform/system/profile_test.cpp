// Settings files read with the kernel's rules.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/system/system.hpp"
#include "support/env.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;
using platform::getProfileInt;
using platform::getProfileString;
using platform::profileStringFromText;

namespace {

struct ProfileCase {
    const char* what;
    const char* text;
    const char* section;
    const char* key;
    const char* defaultValue;
    std::size_t size;
    const char* expected;
};

TEST(Profile, ValueLookupFollowsTheKernelRules) {
    const ProfileCase cases[] = {
        {"plain", "[VIDEO]\nLENTO=S\n", "VIDEO", "LENTO", "N", 80, "S"},
        {"names without case", "[video]\nlento=S\n", "VIDEO", "Lento", "N", 80, "S"},
        {"names trimmed", "  [ VIDEO ]  \n \tLENTO \t= S\n", " VIDEO", "LENTO\t", "N", 80, "S"},
        {"value trimmed", "[A]\nK=  two words \t\n", "A", "K", "", 80, "two words"},
        {"double quotes removed", "[A]\nK=\" padded \"\n", "A", "K", "", 80, " padded "},
        {"single quotes removed", "[A]\nK='x'\n", "A", "K", "", 80, "x"},
        {"one pair only", "[A]\nK=\"\"x\"\"\n", "A", "K", "", 80, "\"x\""},
        {"unmatched quotes kept", "[A]\nK=\"x'\n", "A", "K", "", 80, "\"x'"},
        {"lone quote kept", "[A]\nK=\"\n", "A", "K", "", 80, "\""},
        {"semicolon is value", "[A]\nK=a;b ; c\n", "A", "K", "", 80, "a;b ; c"},
        {"equals in value", "[A]\nK=a=b\n", "A", "K", "", 80, "a=b"},
        {"first key wins", "[A]\nK=1\nK=2\n", "A", "K", "", 80, "1"},
        {"first section wins", "[A]\nX=1\n[B]\n[A]\nK=2\n", "A", "K", "d", 80, "d"},
        {"line without equals ignored", "[A]\nK\nK=v\n", "A", "K", "", 80, "v"},
        {"comment line", "[A]\n;K=1\nK=2\n", "A", "K", "", 80, "2"},
        {"key outside any section", "K=1\n[A]\n", "A", "K", "d", 80, "d"},
        {"key of another section", "[A]\nK=1\n[B]\nK=2\n", "B", "K", "", 80, "2"},
        {"missing key takes default", "[A]\nX=1\n", "A", "K", "dflt", 80, "dflt"},
        {"missing section takes default", "[B]\nK=1\n", "A", "K", "dflt", 80, "dflt"},
        {"default loses trailing blanks", "", "A", "K", "d  \t", 80, "d"},
        {"empty value is a value", "[A]\nK=\n", "A", "K", "dflt", 80, ""},
        {"CR LF lines", "[A]\r\nK=v\r\nL=w\r\n", "A", "L", "", 80, "w"},
        {"last line without end", "[A]\nK=v", "A", "K", "", 80, "v"},
        {"cut to size - 1", "[A]\nK=abcdef\n", "A", "K", "", 4, "abc"},
        {"size 1 gives nothing", "[A]\nK=abcdef\n", "A", "K", "", 1, ""},
        {"size 0 gives nothing", "[A]\nK=abcdef\n", "A", "K", "", 0, ""},
        {"default cut too", "", "A", "K", "abcdef", 2, "a"},
        {"section without bracket end", "[A\nK=v\n", "A", "K", "", 80, "v"},
        {"Windows-1252 value", "[A]\nNOME=Jo\xE3o\n", "A", "NOME", "", 80, "Jo\xE3o"},
        {"UTF-8 file with mark", "\xEF\xBB\xBF[A]\nNOME=Jo\xC3\xA3o\n", "A", "NOME", "", 80, "Jo\xE3o"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(profileStringFromText(c.text, c.section, c.key, c.defaultValue, c.size), c.expected) << c.what;
}

TEST(Profile, NumbersTakeLeadingDigits) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {{"13", 13},     {" 28 ", 28},  {"12abc", 12},   {"abc", -5},        {"", -5},
                 {"-3", -3},     {"+4", 4},     {"007", 7},      {"99999999999", 2147483647},
                 {"- 3", -5},    {"3.5", 3}};
    for (const auto& c : cases) EXPECT_EQ(platform::parseProfileInt(c.text, -5), c.expected) << c.text;
}

class ProfileFiles : public ::testing::Test {
protected:
    void write(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    support::TempDir tmp{"quoril_profile"};
    const fs::path dir = tmp.path();
    support::ScopedEnv windir{"QUORIL_WINDIR", dir.string() + "/"};
};

TEST_F(ProfileFiles, NameWithoutDirectoryIsInTheWindowsDirectory) {
    write("quoril.ini", "[VIDEO]\nALTURALETRA=28\nFONTE=Lucida Console\n");
    EXPECT_EQ(platform::windowsDirectory(), dir.string());
    // Windows names have no case: QUORIL.INI finds quoril.ini.
    EXPECT_EQ(getProfileString("VIDEO", "FONTE", "", "QUORIL.INI", 80), "Lucida Console");
    EXPECT_EQ(getProfileInt("VIDEO", "ALTURALETRA", 0, "QUORIL.INI"), 28);
    EXPECT_EQ(getProfileInt("VIDEO", "LARGURALETRA", 13, "QUORIL.INI"), 13);
}

TEST_F(ProfileFiles, NameWithDirectoryIsReadThere) {
    write("outro.ini", "[S]\nK=v\n");
    EXPECT_EQ(getProfileString("S", "K", "d", dir.string() + "/outro.ini"), "v");
}

TEST_F(ProfileFiles, MissingFileGivesTheDefaults) {
    EXPECT_EQ(getProfileString("VIDEO", "CORFUNDO", "0", "NADA.INI", 80), "0");
    EXPECT_EQ(getProfileInt("VIDEO", "CORFUNDO", 7, "NADA.INI"), 7);
}

TEST_F(ProfileFiles, DirectoryInsteadOfFileGivesTheDefault) {
    fs::create_directories(dir / "QUORIL.INI");
    EXPECT_EQ(getProfileString("VIDEO", "FONTE", "dflt", "QUORIL.INI"), "dflt");
}

}  // namespace
