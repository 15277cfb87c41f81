// The two plain steps of the document reader: what a file is, from its
// bytes alone; and how extracted text becomes one line a paragraph.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/kind.hpp"
#include "document/lines.hpp"

namespace {

using document::Kind;

// A stored ZIP member: its local header and data.
std::string member(const std::string& name, const std::string& data) {
    auto le = [](std::uint32_t v, int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        return s;
    };
    return "PK\x03\x04" + le(20, 2) + le(0, 2) + le(0, 2) + le(0, 4) + le(0, 4) + le(static_cast<std::uint32_t>(data.size()), 4) +
           le(static_cast<std::uint32_t>(data.size()), 4) + le(static_cast<std::uint32_t>(name.size()), 2) + le(0, 2) + name + data;
}

// An archive's end record with an empty directory (enough for kindOf,
// which reads names from the local headers too).
const std::string endRecord = std::string("PK\x05\x06", 4) + std::string(18, '\0');

TEST(DocumentKind, FromTheBytesNeverTheName) {
    const std::string odt = member("mimetype", "application/vnd.oasis.opendocument.text") + member("content.xml", "<x/>");
    const std::string ods = member("mimetype", "application/vnd.oasis.opendocument.spreadsheet");
    const std::string epub = member("mimetype", "application/epub+zip");
    const std::string docx = member("[Content_Types].xml", "<Types/>") + member("word/document.xml", "<w:document/>");
    struct Case {
        const char* what;
        std::string bytes;
        bool whole;  // the file's size known (a file, not a pipe)
        Kind kind;
    };
    const std::vector<Case> cases = {
        {"plain text", "Prezados vizinhos,\r\n", true, Kind::text},
        {"text that mentions PK and html", "PK <html> {\\rtf", true, Kind::text},
        {"UTF-16 LE", std::string("\xFF\xFEO\0l\0", 6), true, Kind::utf16le},
        {"UTF-16 BE", std::string("\xFE\xFF\0O", 4), true, Kind::utf16be},
        {"UTF-32 LE is no UTF-16", std::string("\xFF\xFE\0\0O\0\0\0", 8), true, Kind::notText},
        {"NUL bytes", std::string("abc\0def", 7), true, Kind::notText},
        {"NUL after a Ctrl-Z", std::string("abc\x1A\0", 5), true, Kind::text},
        {"PDF, the mark after some junk", "junk\r\n%PDF-1.7\n", true, Kind::pdf},
        {"PNG", "\x89PNG\r\n\x1A\n....", true, Kind::image},
        {"JPEG", "\xFF\xD8\xFF\xE0", true, Kind::image},
        {"TIFF", std::string("II*\0", 4), true, Kind::image},
        {"old Word", "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", true, Kind::msword},
        {"RTF", "{\\rtf1\\ansi ol\\'e1}", true, Kind::rtf},
        {"HTML after an XML declaration and a comment", "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- x -->\n<!DOCTYPE HTML>", true,
         Kind::html},
        {"HTML element", "  <html lang=pt>", true, Kind::html},
        {"a word that starts like html", "<htmlish>", true, Kind::text},
        {"ODT", odt + endRecord, true, Kind::odt},
        {"EPUB", epub + endRecord, true, Kind::epub},
        {"DOCX", docx + endRecord, true, Kind::docx},
        {"an OpenDocument spreadsheet", ods + endRecord, true, Kind::unsupported},
        {"a ZIP of other things", member("a.txt", "a") + endRecord, true, Kind::unsupported},
        {"a DOCX cut before its directory", docx, true, Kind::damaged},
        {"a DOCX from a pipe (no end to look at)", docx, false, Kind::docx},
    };
    for (const auto& c : cases) {
        const document::Sample s{c.bytes, {}, c.whole ? c.bytes.size() : 0};
        EXPECT_EQ(document::kindOf(s), c.kind) << c.what;
    }
}

TEST(DocumentLines, OneParagraphOneLine) {
    struct Case {
        const char* what;
        document::Layout layout;
        std::string text;
        std::string lines;
    };
    using document::Layout;
    const std::vector<Case> cases = {
        {"pandoc's paragraphs, blanks and spaces tidied", Layout::paragraphs, "T\xC3\xADtulo\n\n  Um  par\xC3\xA1grafo.\xC2\xA0\n\n-   item\n",
         "T\xC3\xADtulo\nUm par\xC3\xA1grafo.\n- item\n"},
        {"table rules dropped", Layout::paragraphs, "  ------  ----\n  Coleta  ter\xC3\xA7" "a\n  ======\n",
         "Coleta ter\xC3\xA7" "a\n"},
        {"printed lines joined into paragraphs", Layout::printedLines, "Prezados\nvizinhos,\n\nA reuni\xC3\xA3o\n",
         "Prezados vizinhos,\nA reuni\xC3\xA3o\n"},
        {"a word cut by a hyphen made whole", Layout::printedLines, "a conver-\nsor e a ilumina-\n\xC3\xA7\xC3\xA3o\n",
         "a conversor e a ilumina\xC3\xA7\xC3\xA3o\n"},
        {"a hyphen before a capital stays", Layout::printedLines, "Rio-\nGrande\n", "Rio- Grande\n"},
        {"a page's end ends the paragraph", Layout::printedLines, "fim da p\xC3\xA1gina\n\fnova p\xC3\xA1gina\f",
         "fim da p\xC3\xA1gina\nnova p\xC3\xA1gina\n"},
        {"a last line without its end", Layout::paragraphs, "sem fim", "sem fim\n"},
    };
    for (const auto& c : cases) {
        for (std::size_t cut = 0; cut <= c.text.size(); ++cut) {
            document::Shaper shaper(c.layout);
            std::string out;
            shaper.feed(std::string_view(c.text).substr(0, cut), out);
            shaper.feed(std::string_view(c.text).substr(cut), out);
            shaper.finish(out);
            EXPECT_EQ(out, c.lines) << c.what << ", fed in two pieces at " << cut;
        }
    }
    document::Shaper blank(Layout::printedLines);
    std::string out;
    blank.feed("\f \n - \n\f", out);
    blank.finish(out);
    EXPECT_FALSE(blank.anyText()) << "a scan that gave only a dash has no text: " << out;
}

}  // namespace
