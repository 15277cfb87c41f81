// F12 on NAME.EXE runs the program of the folder the user is in, whatever
// that folder's name holds, and the program gets none of our open files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/system/shell.hpp"
#include "speaking/lineinput.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace {

// A program that writes the descriptors it was started with into report.
void writeProgram(const fs::path& file, const fs::path& report) {
    std::ofstream(file) << "#!/bin/sh\nls /proc/self/fd > '" << report.string() << ".tmp'\nmv '" << report.string()
                        << ".tmp' '" << report.string() << "'\n";
    ::chmod(file.c_str(), 0755);
}

std::string readWhenThere(const fs::path& a, const fs::path& b) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(a) && !fs::exists(b) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(fs::exists(a) ? a : b);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(OpenProgram, FromTheCurrentFolderAsItIsWithoutOurFiles) {
    support::TempDir tmp{"quoril_f12"};
    // Folder names that the ANSI code page cannot hold, or that read
    // differently once backslashes are separators, beside the folder such
    // a spelling would lead to.
    const struct {
        const char* here;
        const char* decoy;
    } cases[] = {
        {"\xCE\xA9" "dir", "?dir"},
        {"d\\e", "d/e"},
    };
    // A descriptor of ours, open without close-on-exec, at a number the
    // listing will not use for itself.
    const int ours = ::dup2(::open("/dev/null", O_RDONLY), 77);
    ASSERT_EQ(ours, 77);
    const fs::path before = fs::current_path();
    for (const auto& c : cases) {
        const fs::path here = tmp.path() / c.here, decoy = tmp.path() / c.decoy;
        fs::create_directories(here);
        fs::create_directories(decoy);
        const fs::path reportHere = tmp.path() / "here", reportDecoy = tmp.path() / "decoy";
        writeProgram(here / "NAME.EXE", reportHere);
        writeProgram(decoy / "NAME.EXE", reportDecoy);

        fs::current_path(here);
        const speaking::LinkRequest r = speaking::linkRequest("NAME.EXE");
        const bool started = platform::runExecutable(r.program);
        fs::current_path(before);
        ASSERT_TRUE(started) << c.here;
        const std::string fds = readWhenThere(reportHere, reportDecoy);
        EXPECT_TRUE(fs::exists(reportHere)) << c.here << ": the program of another folder ran";
        EXPECT_FALSE(fs::exists(reportDecoy)) << c.here;
        std::istringstream list(fds);
        for (std::string fd; list >> fd;) EXPECT_NE(fd, "77") << c.here << ": our file went with the program";
        fs::remove(reportHere);
        fs::remove(reportDecoy);
    }
    ::close(ours);
}

}  // namespace
