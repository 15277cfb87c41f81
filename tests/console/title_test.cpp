// The window title is the program's path as it is: a program run from a
// folder with accented letters shows them, not what a second code page
// conversion makes of them.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "console/console_fixture.hpp"

extern char** environ;

namespace fs = std::filesystem;

namespace {

using WindowTitle = ConsoleTest;

TEST_F(WindowTitle, AccentedProgramPathShownAsIs) {
    if (std::getenv("QUORIL_TITLE_PROBE")) {
        // The copy of this test program, started from the accented folder.
        qrcrt::openScreen();
        const std::string title = platform::headless::windowTitle();
        const std::string real = fs::read_symlink("/proc/self/exe").string();
        ASSERT_NE(real.find("\xC3\xA7"), std::string::npos) << real;
        EXPECT_EQ(title, platform::utf8ToCp1252(real).substr(0, 80));
        EXPECT_NE(title.find("a\xE7\xE3o"), std::string::npos) << title;
        return;
    }
    std::random_device random;
    const fs::path dir = fs::temp_directory_path() / fs::path("a\xC3\xA7\xC3\xA3o-" + std::to_string(random()));
    fs::create_directories(dir);
    const fs::path copy = dir / "t";
    const fs::path self = fs::read_symlink("/proc/self/exe");
    std::error_code ec;
    fs::create_hard_link(self, copy, ec);
    if (ec) fs::copy_file(self, copy, ec);
    ASSERT_FALSE(ec) << ec.message();

    const std::string program = copy.string();
    std::string filter = "--gtest_filter=WindowTitle.AccentedProgramPathShownAsIs";
    char* argv[] = {const_cast<char*>(program.c_str()), filter.data(), nullptr};
    support::ScopedEnv probe{"QUORIL_TITLE_PROBE", "1"};
    support::ScopedEnv console{"QUORIL_CONSOLE", "headless"};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    fs::remove_all(dir, ec);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the title test failed in the copy run from an accented folder";
}

}  // namespace
