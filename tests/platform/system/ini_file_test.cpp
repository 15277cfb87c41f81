// The settings file the build writes: read back by the system, its folders
// are found even when the installation's path has accented letters.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>

#include "platform/system/system.hpp"
#include "support/env.hpp"
#include "support/temp_dir.hpp"

extern char** environ;

namespace fs = std::filesystem;

namespace {

TEST(GeneratedSettings, AccentedInstallationPathIsFound) {
    support::TempDir tmp{"quoril_ini"};
    const fs::path data = tmp.path() / fs::path("\xC3\x81rea de Trabalho") / fs::path("instala\xC3\xA7\xC3\xA3o");
    fs::create_directories(data / "som" / "letras");
    fs::create_directories(data / "som" / "difones");
    const fs::path etc = tmp.path() / "etc";
    fs::create_directories(etc);

    std::vector<std::string> args = {"cmake",
                                     "-DTEMPLATE=" QUORIL_SOURCE_DIR "/data/QUORIL.INI.in",
                                     "-DOUTPUT=" + (etc / "QUORIL.INI").string(),
                                     "-DQUORIL_DATA_DIR=" + data.string(),
                                     "-P",
                                     QUORIL_SOURCE_DIR "/cmake/scripts/write_ini.cmake"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    const support::ScopedEnv windir("QUORIL_WINDIR", etc.string());
    const struct {
        const char* section;
        const char* key;
    } folders[] = {{"QUORIL", "PGMQUORIL"}, {"TRADUTOR", "DIRLETRAS"}, {"TRADUTOR", "DIRDIFONES"}};
    for (const auto& f : folders) {
        const std::string value = platform::getProfileString(f.section, f.key, "", "QUORIL.INI");
        EXPECT_NE(value.find("instala\xE7\xE3o"), std::string::npos) << f.key << ": " << value;
        EXPECT_TRUE(platform::directoryExists(value)) << f.key << ": " << value;
    }
}

}  // namespace
