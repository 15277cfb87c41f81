// Windows names on the Linux file system.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/system/system.hpp"
#include "support/env.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;
using platform::mapPath;

namespace {

using support::ScopedEnv;

TEST(Paths, WindowsNamesMapOntoTheRoot) {
    const struct {
        const char* root;  // null: unset
        const char* in;
        const char* out;
    } cases[] = {
        {nullptr, "C:\\QUORIL\\SOM\\_65.wav", "/QUORIL/SOM/_65.wav"},
        {nullptr, "\\dados\\texto.txt", "/dados/texto.txt"},
        {nullptr, "d:/x", "/x"},
        {nullptr, "C:", "/"},
        {nullptr, "C:\\", "/"},
        {nullptr, "C:relativo", "/relativo"},
        {nullptr, "texto.txt", "texto.txt"},
        {nullptr, "sub\\texto.txt", "sub/texto.txt"},
        {nullptr, "/home/ana/texto.txt", "/home/ana/texto.txt"},
        {nullptr, "C:\\\\dir\\\\a", "/dir/a"},
        {nullptr, "", ""},
        {"/srv/q", "C:\\QUORIL\\x", "/srv/q/QUORIL/x"},
        {"/srv/q/", "\\x", "/srv/q/x"},
        {"/srv/q", "C:\\", "/srv/q"},
        {"/srv/q", "/home/ana/t.txt", "/home/ana/t.txt"},
        {"/srv/q", "rel\\t.txt", "rel/t.txt"},
        {"", "C:\\x", "/x"},
        {nullptr, "\\\\servidor\\pasta", "/servidor/pasta"},
        {nullptr, "C:\\Usu\xE1rios\\Jos\xE9 Silva\\a.txt", "/Usu\xE1rios/Jos\xE9 Silva/a.txt"},
    };
    for (const auto& c : cases) {
        ScopedEnv root("QUORIL_ROOT", c.root);
        EXPECT_EQ(mapPath(c.in), c.out) << c.in << " with root " << (c.root ? c.root : "(unset)");
    }
}

TEST(Paths, AccentedNamesWithSpacesAndOtherCaseAreFound) {
    const fs::path base = fs::temp_directory_path() / "quoril_paths_test";
    fs::remove_all(base);
    // The directory as a Linux user made it: UTF-8, spaces, lower case.
    const fs::path dir = base / "Usu\xC3\xA1rios" / "Jos\xC3\xA9 Silva";
    fs::create_directories(dir);
    std::ofstream(dir / "li\xC3\xA7\xC3\xA3o.txt") << "x";
    ScopedEnv root("QUORIL_ROOT", base.c_str());

    const std::string exact = "C:\\Usu\xE1rios\\Jos\xE9 Silva\\li\xE7\xE3o.txt";
    EXPECT_EQ(platform::toNativeName(exact), (dir / "li\xC3\xA7\xC3\xA3o.txt").string());
    EXPECT_TRUE(platform::fileExists(exact));
    // Upper case, accented capitals included, as a Windows user may type it.
    EXPECT_TRUE(platform::fileExists("C:\\USU\xC1RIOS\\JOS\xC9 SILVA\\LI\xC7\xC3O.TXT"));
    EXPECT_TRUE(platform::directoryExists("\\usu\xE1rios\\jos\xE9 silva"));
    EXPECT_FALSE(platform::fileExists("\\usu\xE1rios\\jos\xE9 silva"));
    EXPECT_FALSE(platform::fileExists("C:\\Usu\xE1rios\\Outro\\li\xE7\xE3o.txt"));
    EXPECT_FALSE(platform::fileExists(""));
    fs::remove_all(base);
}

// A '?' typed where a name on disk has a byte that is not UTF-8, or a
// character Windows-1252 lacks, is a '?', not that file: a name for the
// output must never find (and truncate) a file of another name.
TEST(Paths, QuestionMarksAreNoWildcard) {
    support::TempDir tmp{"quoril_paths_q"};
    std::ofstream(tmp.path() / "a\xFF" "b.zul") << "x";                 // not UTF-8
    std::ofstream(tmp.path() / "c\xD0\x96" "d.zul") << "x";             // Cyrillic Zhe
    std::ofstream(tmp.path() / "Ol\xC3\xA1.zul") << "x";               // "Olá"
    const struct {
        std::string typed, found;  // found: the name on disk, empty when none
    } cases[] = {
        {"a?b.zul", ""},
        {"A?B.ZUL", ""},
        {"c?d.zul", ""},
        {"OL\xC1.ZUL", "Ol\xC3\xA1.zul"},
        {"ol?.zul", ""},
    };
    for (const auto& c : cases) {
        const std::string native = platform::toNativeName(tmp.path().string() + "/" + c.typed);
        const std::string expected = tmp.path().string() + "/" + (c.found.empty() ? platform::cp1252ToUtf8(c.typed) : c.found);
        EXPECT_EQ(native, expected) << c.typed;
    }
}

TEST(Paths, ProcessPaths) {
    const std::string exe = platform::executablePath();
    EXPECT_NE(exe.find("test_platform"), std::string::npos) << exe;
    EXPECT_TRUE(platform::fileExists(exe));
    const std::string cwd = platform::currentDirectory();
    ASSERT_FALSE(cwd.empty());
    EXPECT_EQ(cwd[0], '/');
    EXPECT_TRUE(cwd == "/" || cwd.back() != '/');
}

}  // namespace
