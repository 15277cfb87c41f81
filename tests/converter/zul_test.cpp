// The ZUL line transform and the line reader, over bytes in memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "converter/zul.hpp"
#include "platform/system/system.hpp"

namespace {

using Bytes = std::vector<int>;

Bytes bytesOf(const std::string& s) {
    Bytes b;
    for (unsigned char c : s) b.push_back(c);
    return b;
}

std::vector<std::string> linesOf(const std::string& input, std::size_t chunk) {
    zul::MemorySource source(input, chunk);
    zul::LineReader reader(source, chunk);
    std::vector<std::string> lines;
    std::string line;
    while (reader.next(line)) lines.push_back(line);
    return lines;
}

TEST(ZulMask, CyclesEveryTwentyPositions) {
    const Bytes expected = {11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    for (std::size_t p = 1; p <= 60; ++p) EXPECT_EQ(zul::maskAt(p), expected[(p - 1) % 20]) << "position " << p;
}

TEST(ZulEncode, ByteVectors) {
    struct Case {
        const char* what;
        std::string input;
        Bytes output;
    };
    const std::vector<Case> cases = {
        {"abc", "abc", {106, 110, 110, 13, 10}},
        {"empty input", "", {}},
        {"one empty line", "\r\n", {13, 10}},
        {"a tab at position 13 becomes a line feed", "AAAAAAAAAAAA\t",
         {74, 77, 76, 79, 78, 81, 80, 83, 82, 65, 64, 67, 10, 13, 10}},
        {"Ctrl-Z ends the input", "abc\x1A" "def\r\n", {106, 110, 110, 13, 10}},
        {"Ctrl-Z at the start", "\x1A" "abc", {}},
        {"Ctrl-Z after a line end", "a\r\n\x1A\r\n", {106, 13, 10}},
        {"mixed endings", "a\r\nb\nc\rd\r\n", {106, 13, 10, 105, 13, 10, 104, 13, 10, 111, 13, 10}},
        {"CR then CR LF is two lines", "a\r\r\n", {106, 13, 10, 13, 10}},
        {"LF CR is two line ends", "a\n\rb", {106, 13, 10, 13, 10, 105, 13, 10}},
        {"last line without an end", "x\r\nab", {115, 13, 10, 106, 110, 13, 10}},
        // ANSI to OEM first: é -> 130, ç -> 135, ã -> 198, Á -> 181.
        {"Latin-1 letters", "\xE9\xE7\xE3\xC1", {130 ^ 11, 135 ^ 12, 198 ^ 13, 181 ^ 14, 13, 10}},
        {"NUL bytes are data", std::string("\0\0", 2), {11, 12, 13, 10}},
    };
    for (const auto& c : cases) EXPECT_EQ(bytesOf(zul::encodeText(c.input)), c.output) << c.what;
}

// The ZUL bytes of Windows-1252 lines, each with its CR LF.
std::string zulOf(const std::vector<std::string>& lines) {
    std::string out;
    for (std::string line : lines) {
        zul::encodeLine(line);
        out += line + "\r\n";
    }
    return out;
}

// A UTF-8 file gives the ZUL of its Windows-1252 twin; a Windows-1252 file
// keeps its bytes. The first line with a byte above 127 decides.
TEST(ZulEncode, TextInEitherEncoding) {
    struct Case {
        const char* what;
        std::string input;
        std::vector<std::string> twin;  // the same lines in Windows-1252
        std::uint64_t unkept;
    };
    const std::vector<Case> cases = {
        {"UTF-8", "a\xC3\xA7\xC3\xA3o\r\ncora\xC3\xA7\xC3\xA3o\n", {"a\xE7\xE3o", "cora\xE7\xE3o"}, 0},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBFp\xC3\xA3" "es, voc\xC3\xAA", {"p\xE3" "es, voc\xEA"}, 0},
        {"a byte-order mark alone", "\xEF\xBB\xBF\r\nx", {"", "x"}, 0},
        {"Windows-1252", "voc\xEA \xE9\r\n\x93sim\x94", {"voc\xEA \xE9", "\x93sim\x94"}, 0},
        {"ASCII lines before the deciding one", "abc\nvoc\xC3\xAA", {"abc", "voc\xEA"}, 0},
        {"UTF-8 euro and dashes", "\xE2\x82\xAC 5 \xE2\x80\x94 \xE2\x80\x93", {"\x80 5 \x97 \x96"}, 0},
        {"a Windows-1252 byte in a UTF-8 file", "\xC3\xA9\n\xE9\n", {"\xE9", "\xE9"}, 0},
        {"UTF-8 bytes in a Windows-1252 file", "\xE9\n\xC3\xA9\n", {"\xE9", "\xC3\xA9"}, 0},
        {"both in the deciding line", "\xC3\xA9 \xE9", {"\xC3\xA9 \xE9"}, 0},
        {"characters Windows-1252 lacks", "\xC5\x91 \xC4\x8D \xE2\x86\x92 \xF0\x9F\x98\x80 \xEF\xBC\xA1",
         {"o c > ? A"}, 5},
        {"combining marks", "a\xCC\x83o e\xCC\x81 C\xCC\xA7 c\xCC\x8C", {"\xE3o \xE9 \xC7 c"}, 1},
        {"a sequence cut at a line end", "\xC3\xA9\nfim\xC3\r\n\xA7o\r\n", {"\xE9", "fim\xC3", "\xA7o"}, 0},
        {"Ctrl-Z ends UTF-8 too", "\xC3\xA9\x1A\xC3\xA9", {"\xE9"}, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bytesOf(zul::encodeText(c.input)), bytesOf(zulOf(c.twin))) << c.what;
        zul::MemorySource source(c.input);
        zul::LineReader reader(source);
        platform::TextDecoder decoder;
        std::string line;
        while (reader.next(line)) decoder.decodeLine(line);
        EXPECT_EQ(decoder.unkept(), c.unkept) << c.what;
    }
}

TEST(ZulEncode, PositionsTenThirtyFiftyKeepTheirByte) {
    std::string line(60, 'Q');
    std::string out = zul::encodeText(line);
    ASSERT_EQ(out.size(), 62u);
    for (std::size_t p = 1; p <= 60; ++p) {
        bool kept = p % 20 == 10;
        EXPECT_EQ(out[p - 1] == 'Q', kept) << "position " << p;
        // only the five low bits ever change
        EXPECT_EQ(out[p - 1] & 0xE0, 'Q' & 0xE0);
    }
}

TEST(ZulEncode, ScramblingTwiceGivesTheOemBytesBack) {
    std::string line;
    for (int i = 0; i < 256; ++i) line.push_back(static_cast<char>(i));
    std::string twice = line;
    zul::scrambleLine(twice);
    EXPECT_NE(twice, line);
    zul::scrambleLine(twice);
    EXPECT_EQ(twice, line);
}

// Line ends split across reads must not change the lines.
TEST(ZulLineReader, LinesDoNotDependOnChunkSize) {
    struct Case {
        std::string input;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"\x1A", {}},
        {"abc", {"abc"}},
        {"abc\r\n", {"abc"}},
        {"abc\r", {"abc"}},
        {"abc\n\n", {"abc", ""}},
        {"\r\n\r\n", {"", ""}},
        {"ab\r\ncd\ref\ngh", {"ab", "cd", "ef", "gh"}},
        {"ab\r\r\ncd", {"ab", "", "cd"}},
        {"ab\r\x1A" "cd", {"ab"}},
        {"ab\x1A", {"ab"}},
        {"x\r\n\x1A" "rest\r\n", {"x"}},
        {std::string(70, 'z') + "\r\n" + std::string(3, 'y'), {std::string(70, 'z'), "yyy"}},
    };
    for (const auto& c : cases)
        for (std::size_t chunk : {1u, 2u, 3u, 5u, 64u, 65536u})
            EXPECT_EQ(linesOf(c.input, chunk), c.lines) << "chunk " << chunk << " input " << testing::PrintToString(c.input);
}

TEST(ZulLineReader, StaysEndedAfterTheLastLine) {
    zul::MemorySource source("a\r\nb");
    zul::LineReader reader(source);
    std::string line;
    EXPECT_TRUE(reader.next(line));
    EXPECT_TRUE(reader.next(line));
    EXPECT_EQ(line, "b");
    EXPECT_FALSE(reader.next(line));
    EXPECT_TRUE(line.empty());
    EXPECT_FALSE(reader.next(line));
}

// A long line is measured first and held in one buffer of its own size,
// not grown by doubling.
TEST(ZulLineReader, LongLineIsAllocatedOnce) {
    const std::size_t length = 5 * zul::LineReader::longLine + 123;
    std::string input(length, 'k');
    input += "\r\nshort\r\n";
    zul::MemorySource source(input, 4096);
    zul::LineReader reader(source, 4096);
    std::string line;
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line.size(), length);
    EXPECT_LT(line.capacity(), length + length / 20);
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, "short");
    EXPECT_FALSE(reader.next(line));
}

// A source that cannot look ahead (a pipe) still gives the whole line.
TEST(ZulLineReader, LongLineFromASourceWithoutLookAhead) {
    struct PipeSource : zul::ByteSource {
        std::string data;
        std::size_t pos = 0;
        std::size_t read(char* buffer, std::size_t size) override {
            std::size_t n = std::min(size, data.size() - pos);
            data.copy(buffer, n, pos);
            pos += n;
            return n;
        }
    } source;
    source.data = std::string(3 * zul::LineReader::longLine, 'p') + "\nq";
    zul::LineReader reader(source);
    std::string line;
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line.size(), 3 * zul::LineReader::longLine);
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, "q");
}

}  // namespace
