// The desktop's open verb: whatever a text holds, it reaches the program
// as one argument and nothing else runs.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/system/shell.hpp"
#include "shell_recorder.hpp"
#include "support/env.hpp"

namespace {

std::string expectedArgument(const std::string& text) { return text[0] == '-' ? "./" + text : text; }

TEST(ShellOpen, AHostileTextIsOneArgumentOfTheNamedProgram) {
    ShellRecorder rec;
    const std::string program = rec.install("browser");
    for (const std::string& text : rec.hostileTexts()) {
        ASSERT_TRUE(platform::shellOpen(program, text)) << text;
        std::vector<std::string> args;
        ASSERT_TRUE(rec.arguments(args)) << text;
        EXPECT_EQ(args, std::vector<std::string>{expectedArgument(text)}) << text;
    }
    EXPECT_FALSE(rec.anythingRan());
}

TEST(ShellOpen, AHostileTextIsOneArgumentOfXdgOpen) {
    ShellRecorder rec;
    rec.install("xdg-open");
    const char* old = std::getenv("PATH");
    const support::ScopedEnv path("PATH", rec.dir.string() + ":" + (old ? old : ""));
    for (const std::string& text : rec.hostileTexts()) {
        EXPECT_TRUE(platform::shellOpen("", text)) << text;
        std::vector<std::string> args;
        ASSERT_TRUE(rec.arguments(args)) << text;
        ASSERT_EQ(args.size(), 1u) << text;
        const auto expected = platform::shellOpenCommand("", text);
        ASSERT_EQ(expected.size(), 2u);
        EXPECT_EQ(args[0], expected[1]) << text;
        EXPECT_NE(args[0][0], '-') << "never an option";
    }
    EXPECT_FALSE(rec.anythingRan());
}

TEST(ShellOpen, Commands) {
    using V = std::vector<std::string>;
    EXPECT_EQ(platform::shellOpenCommand("", "www.example.org"), (V{"xdg-open", "http://www.example.org"}));
    EXPECT_EQ(platform::shellOpenCommand("", "https://x.org/a b"), (V{"xdg-open", "https://x.org/a b"}));
    EXPECT_EQ(platform::shellOpenCommand("", "-x.txt"), (V{"xdg-open", "./-x.txt"}));
    // A document is a file, never an address: "ab:" is no scheme.
    EXPECT_EQ(platform::shellOpenCommand("", "ab:cd.odt"), (V{"xdg-open", "./ab:cd.odt"}));
    EXPECT_EQ(platform::shellOpenCommand("", "sub\\nota.doc"), (V{"xdg-open", "./sub/nota.doc"}));
    EXPECT_EQ(platform::shellOpenCommand("", "/tmp/a:b.odt"), (V{"xdg-open", "/tmp/a:b.odt"}));
    EXPECT_EQ(platform::shellOpenCommand("firefox", "www.x.org"), (V{"firefox", "www.x.org"}));
    EXPECT_EQ(platform::shellOpenCommand("/usr/bin/prog", ""), (V{"/usr/bin/prog"}));
    EXPECT_EQ(platform::shellOpenCommand("", ""), V{});
    // Text beyond Windows-1252's ASCII reaches the program as UTF-8.
    EXPECT_EQ(platform::shellOpenCommand("", "http://x.org/a\xE7\xE3o"), (V{"xdg-open", "http://x.org/a\xC3\xA7\xC3\xA3o"}));
}

TEST(ShellOpen, MissingProgramsAndFilesThatDoNotRunAreFailures) {
    ShellRecorder rec;
    EXPECT_FALSE(platform::shellOpen((rec.dir / "none").string(), "x"));
    EXPECT_FALSE(platform::shellOpen("quoril-no-such-program", "x"));
    std::ofstream(rec.dir / "plain.exe") << "text";
    EXPECT_FALSE(platform::runExecutable((rec.dir / "plain.exe").string())) << "not executable";
    EXPECT_FALSE(platform::runExecutable(rec.dir.string())) << "a directory";
    EXPECT_FALSE(platform::runExecutable((rec.dir / "none.exe").string()));
    const std::string program = rec.install("tool.exe");
    ASSERT_TRUE(platform::runExecutable(program));
    std::vector<std::string> args;
    ASSERT_TRUE(rec.arguments(args));
    EXPECT_TRUE(args.empty()) << "run without arguments";
}

}  // namespace
