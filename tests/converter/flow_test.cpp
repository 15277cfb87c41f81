// The converter as the user meets it: both names typed on the headless
// console, the messages on the screen, the files on disk, the message box
// and the exit code of every way the run can end.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "console/qrcrt.hpp"
#include "converter/converter.hpp"
#include "converter/zul.hpp"
#include "platform/system/messages.hpp"
#include "platform/system/system.hpp"
#include "platform/window/window.hpp"
#include "speaking/output.hpp"

namespace fs = std::filesystem;

namespace {

struct ProcessEnded {
    int code;
};

std::string readFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream f(p, std::ios::binary);
    f << bytes;
}

// Whether the current user can really create files in dir (root can
// anywhere, whatever the permission bits say).
bool canCreateIn(const fs::path& dir) {
    fs::path probe = dir / "probe";
    bool ok = static_cast<bool>(std::ofstream(probe));
    fs::remove(probe);
    return ok;
}

struct Outcome {
    int exitCode = -1;
    std::string screen;                  // every text painted, in order
    std::vector<std::string> boxes;      // "title: text"
    std::string standardError;
};

class ConverterFlow : public testing::Test {
protected:
    // A new console, as at the start of a run.
    static void freshConsole() {
        platform::headless::reset();
        qrcrt::resetForTests();
        speaking::resetOutputForTests();
        // No diphone database here: a synthesizer that starts and says nothing.
        speaking::setSynthesizerForTests([] { return 0; }, [](const std::string&) {});
        platform::headless::setKeysWhenWaiting(true);
    }

    void SetUp() override {
        freshConsole();
        platform::setExitHandler([](int code) { throw ProcessEnded{code}; });
        std::random_device random;
        dir_ = fs::temp_directory_path() /
               ("convzul-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                std::to_string(random()));
        fs::create_directories(dir_);
    }

    void TearDown() override {
        platform::setExitHandler({});
        qrcrt::resetForTests();
        std::error_code ec;
        for (auto& entry : fs::recursive_directory_iterator(dir_, ec))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }

    // Types the two names (Windows-1252), each ended by Enter, and runs the
    // flow to its end.
    Outcome run(const std::string& inName, const std::string& outName) {
        platform::headless::typeText(inName + "\r");
        platform::headless::typeText(outName + "\r");
        Outcome o;
        testing::internal::CaptureStderr();
        try {
            converter::run();
        } catch (const ProcessEnded& e) {
            o.exitCode = e.code;
        }
        o.standardError = testing::internal::GetCapturedStderr();
        for (const std::string& call : platform::headless::drawCalls()) {
            auto colon = call.find(':');
            o.screen += call.substr(colon + 1) + "\n";
        }
        o.boxes = platform::headless::messageBoxes();
        return o;
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

bool shows(const Outcome& o, const std::string& text) { return o.screen.find(text) != std::string::npos; }

TEST_F(ConverterFlow, ConvertsAndSaysSo) {
    const std::string input = "abc\r\nlinha dois\nsem fim";
    writeFile(path("in.txt"), input);
    Outcome o = run(path("in.txt"), path("out.zul"));
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_TRUE(o.boxes.empty()) << testing::PrintToString(o.boxes);
    EXPECT_EQ(readFile(path("out.zul")), zul::encodeText(input));
    EXPECT_TRUE(shows(o, converter::titleText));
    EXPECT_TRUE(shows(o, converter::askInputText));
    EXPECT_TRUE(shows(o, converter::askOutputText));
    EXPECT_TRUE(shows(o, "linha dois")) << "each line is shown as read";
    EXPECT_TRUE(shows(o, converter::doneText));
    EXPECT_EQ(readFile(path("in.txt")), input);
}

// Names the user may type: spaces, accents (Windows-1252 on the keyboard,
// UTF-8 on disk), backslashes standing for slashes.
TEST_F(ConverterFlow, NamesWithSpacesAccentsAndBackslashes) {
    fs::create_directories(dir_ / "sub dir");
    const fs::path inPath = dir_ / "sub dir" / fs::u8path("ação x.txt");
    writeFile(inPath, "\xE9\r\n");
    std::string typedIn = path("sub dir") + "\\a\xE7\xE3o x.txt";
    std::string typedOut = path("sub dir") + "/sa\xED" "da.zul";
    for (char& c : typedOut)
        if (c == '/') c = '\\';
    Outcome o = run(typedIn, typedOut);
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_TRUE(shows(o, converter::doneText));
    EXPECT_EQ(readFile(dir_ / "sub dir" / fs::u8path("saída.zul")), std::string("\x89\r\n"));
}

TEST_F(ConverterFlow, EmptyAndBinaryInputs) {
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    const std::vector<Case> cases = {
        {"empty file", ""},
        {"all 256 bytes, cut at the Ctrl-Z", all},
        {"NUL bytes and no line end", std::string("\0\x01\xFF\x80", 4)},
    };
    for (const auto& c : cases) {
        freshConsole();
        writeFile(path("in.bin"), c.bytes);
        Outcome o = run(path("in.bin"), path("out.zul"));
        EXPECT_EQ(o.exitCode, 0) << c.what;
        EXPECT_TRUE(shows(o, converter::doneText)) << c.what;
        EXPECT_EQ(readFile(path("out.zul")), zul::encodeText(c.bytes)) << c.what;
    }
}

// Refusals the flow handles itself: a message, nothing written, exit 0.
TEST_F(ConverterFlow, RefusesSameFileUnderAnyName) {
    const std::string input = "keep me\r\n";
    struct Case {
        const char* what;
        std::string in, out;
    };
    writeFile(path("in.txt"), input);
    fs::create_symlink(path("in.txt"), path("link.txt"));
    fs::create_hard_link(path("in.txt"), path("hard.txt"));
    const std::vector<Case> cases = {
        {"equal names", path("in.txt"), path("in.txt")},
        {"./ in the path", path("in.txt"), path(".") + "/in.txt"},
        {"parent steps", path("in.txt"), path("..") + "/" + dir_.filename().string() + "/in.txt"},
        {"backslashes", path("in.txt"), [&] {
             std::string s = path("in.txt");
             for (char& c : s)
                 if (c == '/') c = '\\';
             return s;
         }()},
        {"symbolic link", path("in.txt"), path("link.txt")},
        {"hard link", path("hard.txt"), path("in.txt")},
        {"two empty names", "", ""},
    };
    for (const auto& c : cases) {
        freshConsole();
        Outcome o = run(c.in, c.out);
        EXPECT_EQ(o.exitCode, 0) << c.what;
        EXPECT_TRUE(shows(o, converter::sameNamesText)) << c.what;
        EXPECT_FALSE(shows(o, converter::doneText)) << c.what;
        EXPECT_TRUE(o.boxes.empty()) << c.what;
        EXPECT_EQ(readFile(path("in.txt")), input) << c.what;
    }
}

TEST_F(ConverterFlow, MissingOrUnreadableInput) {
    writeFile(path("locked.txt"), "secret\r\n");
    fs::permissions(path("locked.txt"), fs::perms::none);
    const bool lockWorks = !std::ifstream(path("locked.txt")).is_open();
    fs::create_directories(dir_ / "folder");
    struct Case {
        const char* what;
        std::string in;
        bool skip;
    };
    const std::vector<Case> cases = {
        {"missing file", path("nothing.txt"), false},
        {"a directory", path("folder"), false},
        {"no read permission", path("locked.txt"), !lockWorks},
        {"empty input name", "", false},
    };
    for (const auto& c : cases) {
        if (c.skip) continue;
        freshConsole();
        Outcome o = run(c.in, path("out.zul"));
        EXPECT_EQ(o.exitCode, 0) << c.what;
        EXPECT_TRUE(shows(o, converter::noInputText)) << c.what;
        EXPECT_FALSE(fs::exists(path("out.zul"))) << c.what << ": the output must not be created";
        EXPECT_TRUE(o.boxes.empty()) << c.what;
    }
}

// Failures after the input opened: a message box with the error, the same
// text on standard error, exit code 1, never "Ok, convertido".
TEST_F(ConverterFlow, OutputFailuresEndWithCodeOne) {
    const std::string input = "uma linha\r\noutra\r\n";
    writeFile(path("in.txt"), input);
    fs::create_directories(dir_ / "readonly");
    fs::permissions(dir_ / "readonly", fs::perms::owner_read | fs::perms::owner_exec);
    const bool readOnlyWorks = !canCreateIn(dir_ / "readonly");
    fs::create_directories(dir_ / "adir");
    struct Case {
        const char* what;
        std::string out;
        std::string inBox;  // part of the error text
        bool skip;
    };
    const std::vector<Case> cases = {
        {"directory missing", path("no/such/dir/out.zul"), "Erro de entrada/sa\xED" "da 3:", false},
        {"directory not writable", path("readonly/out.zul"), "Erro de entrada/sa\xED" "da 5:", !readOnlyWorks},
        {"output is a directory", path("adir"), "Erro de entrada/sa\xED" "da 5:", false},
        {"disk full", "/dev/full", "Erro de entrada/sa\xED" "da 101:", !fs::exists("/dev/full")},
    };
    for (const auto& c : cases) {
        if (c.skip) continue;
        freshConsole();
        Outcome o = run(path("in.txt"), c.out);
        EXPECT_EQ(o.exitCode, 1) << c.what;
        ASSERT_EQ(o.boxes.size(), 1u) << c.what;
        EXPECT_NE(o.boxes[0].find(c.inBox), std::string::npos) << c.what << ": " << o.boxes[0];
        // Standard error gets the text too (its encoding is the backend's).
        const std::string code = c.inBox.substr(c.inBox.find("da "));
        EXPECT_NE(o.standardError.find("Erro de entrada/sa"), std::string::npos) << c.what;
        EXPECT_NE(o.standardError.find(code), std::string::npos) << c.what << ": " << o.standardError;
        EXPECT_FALSE(shows(o, converter::doneText)) << c.what;
        EXPECT_EQ(readFile(path("in.txt")), input) << c.what;
    }
}

}  // namespace
