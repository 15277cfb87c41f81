// Which file "mbrola.dll" resolves to in a folder: the plain name of the
// build tree, else the highest versioned name an installed system has; and
// what the dynamic loader finds by a versioned name.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/speech/library.hpp"

namespace fs = std::filesystem;

TEST(LibraryFile, PlainNameElseHighestVersion) {
    struct Case {
        const char* name;
        std::vector<const char*> files;
        const char* expected;  // empty: not found
    } cases[] = {
        {"mbrola.dll", {"libmbrola.so", "libmbrola.so.1"}, "libmbrola.so"},
        {"mbrola.dll", {"libmbrola.so.1"}, "libmbrola.so.1"},
        {"mbrola.dll", {"libmbrola.so.2", "libmbrola.so.10", "libmbrola.so.9"}, "libmbrola.so.10"},
        {"mbrola.dll", {"libmbrola.so.1.0", "libmbrola.so.x", "libmbrolax.so.1"}, ""},
        {"mbrola.dll", {"libother.so.1"}, ""},
        {"libmbrola.so.1", {"libmbrola.so.1", "libmbrola.so.2"}, "libmbrola.so.1"},
    };
    const fs::path base = fs::temp_directory_path() / ("quoril-libfile-" + std::to_string(::getpid()));
    int n = 0;
    for (const Case& c : cases) {
        const fs::path dir = base / std::to_string(n++);
        fs::create_directories(dir);
        for (const char* f : c.files) std::ofstream(dir / f) << "x";
        platform::setLibraryDirectory(dir.string());
        const std::string got = platform::libraryFile(c.name);
        EXPECT_EQ(got.empty() ? std::string() : fs::path(got).filename().string(), c.expected)
            << c.name << " in case " << n;
    }
    platform::setLibraryDirectory("");
    fs::remove_all(base);
}

// A library installed in the system's folders is found by the loader's own
// search, as a package's /usr/lib/libmbrola.so.1 is, whatever folder the
// program runs from; a name with a folder, or one the loader lacks, is not.
TEST(LibraryFile, TheLoaderFindsAVersionedNameInTheSystemFolders) {
    const std::string libc = platform::loaderFile("libc.so.6");
    EXPECT_TRUE(fs::path(libc).is_absolute()) << libc;
    EXPECT_EQ(fs::path(libc).filename().string().rfind("libc", 0), 0u) << libc;
    EXPECT_EQ(platform::loaderFile("libquoril-nonesuch.so.1"), "");
    EXPECT_EQ(platform::loaderFile("./libc.so.6"), "");
    EXPECT_EQ(platform::loaderFile(""), "");
}
