// The batch tool zul beside the converter: on the converter's edge cases it
// writes the converter's own bytes, decoding gives text that encodes back
// to the same ZUL, and its command line refuses what the converter refuses.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "converter/converter.hpp"
#include "support/converter_run.hpp"
#include "support/fresh_system.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void writeFile(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

class ZulTool : public testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(tool_)) GTEST_SKIP() << tool_ << " is not built";
    }

    // Runs zul with the arguments (a shell command line, in the test's
    // folder); answers its exit code, standard error in err_.
    int zul(const std::string& arguments) {
        const std::string command =
            "cd '" + dir_.string() + "' && '" + tool_.string() + "' " + arguments + " 2>zul.err" + (arguments.find('>') == std::string::npos ? " >zul.out" : "");
        const int status = std::system(command.c_str());
        err_ = readFile(dir_ / "zul.err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // The converter's own ZUL of a file, typed at the headless console.
    std::string convzul(const std::string& in) {
        support::freshSystem();
        speaking::setSynthesizerForTests([] { return 0; }, [](const std::string&) {});
        const int code = support::runConverter((dir_ / in).string(), (dir_ / "convzul.zul").string());
        support::closeSystem();
        EXPECT_EQ(code, 0) << in;
        return readFile(dir_ / "convzul.zul");
    }

    const fs::path tool_ = fs::path(QUORIL_BUILD_DIR) / "zul";
    support::TempDir tmp_{"quoril_zul"};
    const fs::path dir_ = tmp_.path();
    std::string err_;
};

TEST_F(ZulTool, RoundTripsOnTheConvertersEdgeCases) {
    std::string longLine(70000, 'x');
    for (std::size_t i = 0; i < longLine.size(); i += 7) longLine[i] = '\xE7';
    struct Case {
        const char* what;
        std::string text;
        bool roundTrip;  // false: the format cannot give it back
    };
    const std::vector<Case> cases = {
        {"empty file", "", true},
        {"one empty line", "\r\n", true},
        {"abc", "abc", true},
        {"mixed line ends, no end at the last", "a\r\nb\nc\rd\r\n\r\nfim", true},
        {"CR then CR LF", "a\r\r\nb", true},
        {"Ctrl-Z ends the input", "abc\x1A" "def\r\n", true},
        {"UTF-16 LE with its mark", std::string("\xFF\xFE" "a\0\xE7\0\r\0\n\0\xAC\x20", 12), true},
        {"UTF-16 BE with its mark, a byte cut off", std::string("\xFE\xFF\0a\0\xE7\0\n\x20", 9), true},
        {"Windows-1252 letters", "a\xE7\xE3o, cora\xE7\xE3o, voc\xEA, \xE9\r\n", true},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" "a\xC3\xA7\xC3\xA3o\nvoc\xC3\xAA \xC5\x91\n", true},
        {"a line longer than a read", longLine + "\r\n" + longLine, true},
        {"a tab at position 13 becomes a line feed", "AAAAAAAAAAAA\tX", false},
        {"daggers take box-drawing bytes", "\x86\x87", false},
        {"NUL after a Ctrl-Z (padding)", std::string("abc\r\n\x1A\0\0", 7), true},
    };
    for (const auto& c : cases) {
        writeFile(dir_ / "in.txt", c.text);
        const std::string expected = convzul("in.txt");
        ASSERT_EQ(zul("encode in.txt out.zul"), 0) << c.what << ": " << err_;
        EXPECT_EQ(readFile(dir_ / "out.zul"), expected) << c.what;
        ASSERT_EQ(zul("encode - - <in.txt >piped.zul"), 0) << c.what << ": " << err_;
        EXPECT_EQ(readFile(dir_ / "piped.zul"), expected) << c.what << ": through standard input and output";
        if (!c.roundTrip) continue;
        for (const char* as : {"", "--utf8 "}) {
            ASSERT_EQ(zul(std::string("decode ") + as + "out.zul back.txt"), 0) << c.what << ": " << err_;
            ASSERT_EQ(zul("encode back.txt again.zul"), 0) << c.what << ": " << err_;
            EXPECT_EQ(readFile(dir_ / "again.zul"), expected) << c.what << ", decoded " << as;
        }
    }
    // Decoding gives the text itself where it had CR LF; in UTF-8, the box
    // pieces too (┼).
    writeFile(dir_ / "in.txt", "a\xE7\xE3o\r\nvoc\xEA\r\n");
    ASSERT_EQ(zul("encode in.txt out.zul && '" + tool_.string() + "' decode out.zul back.txt"), 0) << err_;
    EXPECT_EQ(readFile(dir_ / "back.txt"), "a\xE7\xE3o\r\nvoc\xEA\r\n");
    writeFile(dir_ / "box.zul", "\xCE\r\n");  // code page 850's C5 at position 1 (mask 11)
    ASSERT_EQ(zul("decode -u box.zul box.txt"), 0) << err_;
    EXPECT_EQ(readFile(dir_ / "box.txt"), "\xE2\x94\xBC\n");
}

TEST_F(ZulTool, CommandLine) {
    writeFile(dir_ / "a.txt", "um\r\n");
    writeFile(dir_ / "b.md", "dois\r\n");
    writeFile(dir_ / "b.txt", "tr\xEAs\r\n");
    writeFile(dir_ / "bin.dat", std::string("\x7F" "ELF\x02\x01\x01\0\0", 9));
    fs::create_directories(dir_ / "out");
    fs::create_symlink(dir_ / "a.txt", dir_ / "link.txt");
    struct Case {
        const char* what;
        std::string arguments;
        int exitCode;
        std::string told;  // in standard error (UTF-8)
    };
    const std::vector<Case> cases = {
        {"many files into a folder", "encode -d out a.txt b.md", 0, ""},
        {"two inputs, one output name", "encode -d out b.md b.txt", 1, "Nomes tem que ser diferentes"},
        {"same file by a link", "encode a.txt link.txt", 1, "Nomes tem que ser diferentes"},
        {"output is the input on standard input", "encode - a.txt <a.txt", 1, "Nomes tem que ser diferentes"},
        {"an output over a later input", "decode -d . a.zul a.txt", 1, "Nomes tem que ser diferentes"},
        {"missing input, the rest converted", "encode -d out nada.txt a.txt", 1, "nada.txt: Arquivo inexistente"},
        {"full disk", "encode a.txt /dev/full", 1, "Não há espaço disponível no dispositivo"},
        {"not text, no output", "encode bin.dat out/bin.zul", 1, "bin.dat: O arquivo não é de texto"},
        {"not text on standard input", "encode - out/bin.zul <bin.dat", 1, "não é de texto"},
        {"no command", "", 2, "encode ou decode"},
        {"one name", "encode a.txt", 2, "faltam"},
        {"three names without -d", "encode a.txt b.txt c.zul", 2, "-d PASTA"},
        {"an unknown option", "encode -x a.txt b.zul", 2, "-x"},
        {"help", "--help", 0, ""},
    };
    for (const auto& c : cases) {
        fs::remove_all(dir_ / "out");
        fs::create_directories(dir_ / "out");
        EXPECT_EQ(zul(c.arguments), c.exitCode) << c.what << ": " << err_;
        EXPECT_NE(err_.find(c.told), std::string::npos) << c.what << ": " << err_;
        EXPECT_EQ(readFile(dir_ / "a.txt"), "um\r\n") << c.what << ": the input is never touched";
        EXPECT_FALSE(fs::exists(dir_ / "out/bin.zul")) << c.what << ": nothing written for what is refused";
    }
    EXPECT_EQ(zul("encode -d out a.txt b.md"), 0) << err_;
    EXPECT_EQ(readFile(dir_ / "out/a.zul"), zul::encodeText("um\r\n"));
    EXPECT_EQ(readFile(dir_ / "out/b.zul"), zul::encodeText("dois\r\n"));
}

}  // namespace
