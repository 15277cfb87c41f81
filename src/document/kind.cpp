#include "document/kind.hpp"

#include <algorithm>
#include <cstring>
#include <string>

namespace document {
namespace {

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::uint32_t le16(std::string_view s, std::size_t at) {
    return static_cast<std::uint8_t>(s[at]) | static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + 1])) << 8;
}

std::uint32_t le32(std::string_view s, std::size_t at) { return le16(s, at) | le16(s, at + 2) << 16; }

bool equalsNoCase(std::string_view s, std::string_view lower) {
    if (s.size() < lower.size()) return false;
    for (std::size_t i = 0; i < lower.size(); ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        if (c != lower[i]) return false;
    }
    return true;
}

// What the member names of a ZIP archive say.
struct Members {
    bool wordDocument = false;
    bool any = false;
};

void note(Members& m, std::string_view name) {
    m.any = true;
    if (name == "word/document.xml") m.wordDocument = true;
}

// The central directory of an archive whose end record lies in tail
// (tailStart: the tail's offset in the file); false without an end record.
bool centralDirectory(std::string_view tail, std::uint64_t tailStart, std::string_view head, Members& m) {
    if (tail.size() < 22) return false;
    std::size_t end = std::string_view::npos;
    for (std::size_t i = tail.size() - 22 + 1; i-- > 0;) {
        if (tail[i] == 'P' && tail.compare(i, 4, "PK\x05\x06") == 0) {
            end = i;
            break;
        }
    }
    if (end == std::string_view::npos) return false;
    const std::uint64_t cdSize = le32(tail, end + 12);
    const std::uint64_t cdOffset = le32(tail, end + 16);
    // The directory where it is held: in the tail, or in the head of a small file.
    std::string_view cd;
    if (cdOffset >= tailStart && cdOffset - tailStart + cdSize <= tail.size())
        cd = tail.substr(static_cast<std::size_t>(cdOffset - tailStart), static_cast<std::size_t>(cdSize));
    else if (cdOffset + cdSize <= head.size())
        cd = head.substr(static_cast<std::size_t>(cdOffset), static_cast<std::size_t>(cdSize));
    for (std::size_t at = 0; at + 46 <= cd.size() && cd.compare(at, 4, "PK\x01\x02") == 0;) {
        const std::size_t nameLength = le16(cd, at + 28);
        const std::size_t rest = nameLength + le16(cd, at + 30) + le16(cd, at + 32);
        if (at + 46 + nameLength > cd.size()) break;
        note(m, cd.substr(at + 46, nameLength));
        at += 46 + rest;
    }
    return true;
}

// The members whose local headers lie in head, one after the other, and
// the content of a first "mimetype" member stored as it is.
std::string_view localHeaders(std::string_view head, Members& m) {
    std::string_view mimetype;
    for (std::size_t at = 0; at + 30 <= head.size() && head.compare(at, 4, "PK\x03\x04") == 0;) {
        const std::size_t nameLength = le16(head, at + 26);
        const std::size_t data = at + 30 + nameLength + le16(head, at + 28);
        const std::uint64_t compressed = le32(head, at + 18);
        if (at + 30 + nameLength > head.size()) break;
        const std::string_view name = head.substr(at + 30, nameLength);
        if (at == 0 && name == "mimetype" && le16(head, at + 8) == 0 && data + compressed <= head.size())
            mimetype = head.substr(data, static_cast<std::size_t>(compressed));
        note(m, name);
        // A size given after the data (flag bit 3) cannot be stepped over.
        if ((le16(head, at + 6) & 8) != 0 || data + compressed > head.size()) break;
        at = static_cast<std::size_t>(data + compressed);
    }
    return mimetype;
}

Kind zipKind(const Sample& s) {
    Members m;
    const std::string_view mimetype = localHeaders(s.head, m);
    if (s.size != 0) {
        const bool whole = s.head.size() >= s.size;
        const std::string_view tail = whole ? s.head : s.tail;
        const std::uint64_t tailStart = s.size >= tail.size() ? s.size - tail.size() : 0;
        if (!centralDirectory(tail, tailStart, s.head, m)) return Kind::damaged;
    }
    if (mimetype == "application/vnd.oasis.opendocument.text") return Kind::odt;
    if (mimetype == "application/epub+zip") return Kind::epub;
    if (m.wordDocument) return Kind::docx;
    return Kind::unsupported;
}

// An HTML page: after blanks, a UTF-8 mark, an XML declaration and
// comments, the document type or the html element.
bool isHtml(std::string_view s) {
    if (startsWith(s, "\xEF\xBB\xBF")) s.remove_prefix(3);
    for (int steps = 0; steps < 64; ++steps) {
        const std::size_t b = s.find_first_not_of(" \t\r\n\f");
        if (b == std::string_view::npos) return false;
        s.remove_prefix(b);
        if (startsWith(s, "<?xml")) {
            const std::size_t e = s.find("?>");
            if (e == std::string_view::npos) return false;
            s.remove_prefix(e + 2);
        } else if (startsWith(s, "<!--")) {
            const std::size_t e = s.find("-->");
            if (e == std::string_view::npos) return false;
            s.remove_prefix(e + 3);
        } else {
            return equalsNoCase(s, "<!doctype html") || (equalsNoCase(s, "<html") && s.size() > 5 &&
                                                         (s[5] == '>' || s[5] == ' ' || s[5] == '\r' || s[5] == '\n' || s[5] == '\t'));
        }
    }
    return false;
}

}  // namespace

Kind kindOf(const Sample& s) {
    const std::string_view h = s.head;
    if (startsWith(h, "PK\x03\x04") || startsWith(h, "PK\x05\x06")) return zipKind(s);
    if (h.substr(0, 1024).find("%PDF-") != std::string_view::npos) return Kind::pdf;
    if (startsWith(h, "\x89PNG\r\n\x1A\n") || startsWith(h, "\xFF\xD8\xFF") || startsWith(h, std::string_view("II*\0", 4)) ||
        startsWith(h, std::string_view("MM\0*", 4)))
        return Kind::image;
    if (startsWith(h, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return Kind::msword;
    if (startsWith(h, "{\\rtf")) return Kind::rtf;
    if (startsWith(h, "\xFF\xFE") && !startsWith(h, std::string_view("\xFF\xFE\0\0", 4))) return Kind::utf16le;
    if (startsWith(h, "\xFE\xFF")) return Kind::utf16be;
    // A Ctrl-Z ends a text: what follows it (an old editor's padding) is
    // never read.
    const std::string_view text = h.substr(0, h.find('\x1A'));
    if (text.find('\0') != std::string_view::npos) return Kind::notText;
    if (isHtml(text)) return Kind::html;
    return Kind::text;
}

bool isDocument(Kind kind) {
    switch (kind) {
    case Kind::pdf:
    case Kind::image:
    case Kind::docx:
    case Kind::odt:
    case Kind::epub:
    case Kind::html:
    case Kind::rtf:
    case Kind::msword:
        return true;
    default:
        return false;
    }
}

const char* kindName(Kind kind) {
    switch (kind) {
    case Kind::text: return "text";
    case Kind::utf16le: return "utf16le";
    case Kind::utf16be: return "utf16be";
    case Kind::notText: return "binary";
    case Kind::pdf: return "pdf";
    case Kind::image: return "image";
    case Kind::docx: return "docx";
    case Kind::odt: return "odt";
    case Kind::epub: return "epub";
    case Kind::html: return "html";
    case Kind::rtf: return "rtf";
    case Kind::msword: return "doc";
    case Kind::damaged: return "damaged";
    case Kind::unsupported: return "unsupported";
    }
    return "?";
}

}  // namespace document
