// The input edge on text: a UTF-16 file (Notepad's "Unicode") reads as its
// UTF-8 twin does, whatever its byte order, its last line end or a byte
// cut off its end; a file with NUL bytes and no mark is refused before a
// byte of it is given out; a plain text file passes byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "converter/zul.hpp"
#include "document/reader.hpp"
#include "platform/system/system.hpp"

namespace {

struct Read {
    document::Failure failure;
    std::vector<std::string> lines;  // Windows-1252, as the converter writes them
    std::uint64_t unkept = 0;
    std::string bytes;               // what the reader gave out
};

// The input as the converter reads it, in chunks of the given size.
Read readAll(const std::string& input, std::size_t chunk) {
    zul::MemorySource file(input, chunk);
    document::Reader reader(file, "");
    Read r;
    r.failure = reader.open();
    if (r.failure) return r;
    // The bytes given out, then the same again split into decoded lines.
    char buffer[7];
    for (std::size_t n; (n = reader.read(buffer, sizeof buffer)) > 0;) r.bytes.append(buffer, n);
    zul::MemorySource again(r.bytes, chunk);
    zul::LineReader lines(again);
    platform::TextDecoder decoder;
    for (std::string line; lines.next(line);) {
        decoder.decodeLine(line);
        r.lines.push_back(line);
    }
    r.unkept = decoder.unkept();
    return r;
}

std::string utf16(const std::u16string& text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t u : text) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
}

TEST(TextInput, Utf16AndFilesThatAreNotText) {
    const std::u16string text = u"a\u00E7\u00E3o\r\nvoc\u00EA \u20AC\r\nfim";
    const std::vector<std::string> lines = {"a\xE7\xE3o", "voc\xEA \x80", "fim"};
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> lines;
        std::uint64_t unkept;
        document::Problem problem;
    };
    const std::string le = utf16(text, false), be = utf16(text, true);
    const std::vector<Case> cases = {
        {"little endian, no line end at the end", le, lines, 0, document::Problem::none},
        {"big endian, no line end at the end", be, lines, 0, document::Problem::none},
        {"little endian, a line end at the end", utf16(text + u"\n", false), lines, 0, document::Problem::none},
        {"big endian, CR LF at the end", utf16(text + u"\r\n", true), lines, 0, document::Problem::none},
        {"little endian, an odd byte count (a byte cut off)", le + "x", {"a\xE7\xE3o", "voc\xEA \x80", "fim?"}, 1,
         document::Problem::none},
        {"big endian, the last character cut in half", be.substr(0, be.size() - 1), {"a\xE7\xE3o", "voc\xEA \x80", "fi?"}, 1,
         document::Problem::none},
        {"a character beyond the 16 bits, as a surrogate pair", utf16(u"x\U0001F600y", false), {"x?y"}, 1,
         document::Problem::none},
        {"a lone surrogate", utf16(u"x\xD800y", true), {"x?y"}, 1, document::Problem::none},
        {"only the mark", "\xFF\xFE", {}, 0, document::Problem::none},
        {"NUL bytes without a mark", std::string("a\0b\r\n", 5), {}, 0, document::Problem::notText},
        {"UTF-16 without its mark", le.substr(2), {}, 0, document::Problem::notText},
        {"NUL after a Ctrl-Z is padding, not text", std::string("a\r\n\x1A\0\0", 6), {"a"}, 0, document::Problem::none},
        {"Windows-1252 text, byte for byte", "a\xE7\xE3o\r\n", {"a\xE7\xE3o"}, 0, document::Problem::none},
    };
    for (const auto& c : cases) {
        for (const std::size_t chunk : {std::size_t(1), std::size_t(3), std::size_t(65536)}) {
            const Read r = readAll(c.bytes, chunk);
            EXPECT_EQ(r.failure.problem, c.problem) << c.what << ", chunk " << chunk;
            EXPECT_EQ(r.lines, c.lines) << c.what << ", chunk " << chunk;
            EXPECT_EQ(r.unkept, c.unkept) << c.what << ", chunk " << chunk;
        }
    }
    // A text file is given out exactly as it is, and its ZUL is today's.
    const std::string cp1252 = "linha \xE9\r\n\r\nsem fim";
    EXPECT_EQ(readAll(cp1252, 65536).bytes, cp1252);
    // The UTF-16 file and its UTF-8 twin make the same ZUL.
    const std::string twin = "a\xC3\xA7\xC3\xA3o\r\nvoc\xC3\xAA \xE2\x82\xAC\r\nfim";
    EXPECT_EQ(zul::encodeText(readAll(le, 65536).bytes), zul::encodeText(twin));
    EXPECT_EQ(zul::encodeText(readAll(be, 65536).bytes), zul::encodeText(twin));
}

}  // namespace
