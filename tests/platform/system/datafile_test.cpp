// Data files are read only when they are regular files, without waiting
// for a pipe or a device, and never past their limit; the settings and the
// registry read through the same door.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/system/files.hpp"
#include "platform/system/registry.hpp"
#include "platform/system/system.hpp"
#include "support/env.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace {

TEST(DataFiles, OnlyRegularFilesWithinTheLimit) {
    support::TempDir tmp{"quoril_data"};
    const fs::path fifo = tmp.path() / "fifo", small = tmp.path() / "small", big = tmp.path() / "big";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(small, std::ios::binary) << "abc\r\n";
    std::ofstream(big, std::ios::binary) << std::string(2000, 'x');
    const struct {
        std::string path;
        int error;
        std::string content;
    } cases[] = {
        {small.string(), 0, "abc\r\n"},
        {big.string(), platform::fileerror::tooLarge, ""},
        {fifo.string(), platform::fileerror::notRegular, ""},
        {"/dev/zero", platform::fileerror::notRegular, ""},
        {tmp.path().string(), platform::fileerror::notRegular, ""},
        {(tmp.path() / "none").string(), platform::fileerror::notFound, ""},
    };
    for (const auto& c : cases) {
        std::string content = "old";
        EXPECT_EQ(platform::readDataFile(c.path, content, 1000), c.error) << c.path;
        EXPECT_EQ(content, c.content) << c.path;
    }
}

// QUORIL.INI and registry.reg that are a pipe or a device: no settings and
// no keys, at once.
TEST(DataFiles, SettingsAndRegistryThatAreNoFiles) {
    support::TempDir tmp{"quoril_data"};
    const support::ScopedEnv windir("QUORIL_WINDIR", tmp.path().string());
    ASSERT_EQ(::mkfifo((tmp.path() / "QUORIL.INI").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", tmp.path() / "registry.reg");
    platform::reloadRegistry();
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(platform::getProfileString("TRADUTOR", "SAPI", "nada", "QUORIL.INI"), "nada");
    platform::HKey key = 0;
    EXPECT_NE(platform::regOpenKeyEx(platform::HKEY_LOCAL_MACHINE, "SOFTWARE", key), platform::ERROR_SUCCESS);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10)) << "waited for a pipe";
    platform::reloadRegistry();
}

}  // namespace
