// What a file is, from its bytes: plain text (the converter's own path),
// UTF-16 text, a document one of the Debian tools can read, or something
// that is not text at all. Never from its name: a letter saved as
// "carta.txt" by a mail program is still the DOCX it holds.
//
// The bytes looked at are the file's head (its first 64 KiB, or what a pipe
// gave first) and, for a file on disk, its tail (the last 64 KiB and a
// little), where a ZIP archive keeps the directory of its members.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace document {

enum class Kind {
    text,      // UTF-8 or Windows-1252 (the text decoder decides)
    utf16le,   // opens with FF FE
    utf16be,   // opens with FE FF
    notText,   // NUL bytes and no UTF-16 mark: a program, an archive of unknown kind ...
    pdf,
    image,     // PNG, JPEG or TIFF
    docx,      // a ZIP holding word/document.xml
    odt,       // a ZIP whose "mimetype" member says an OpenDocument text
    epub,      // a ZIP whose "mimetype" member says an EPUB book
    html,
    rtf,
    msword,    // an old Word document (an OLE2 compound file)
    damaged,   // a ZIP without the directory at its end: cut short
    unsupported,  // a ZIP of some other kind (a spreadsheet, a presentation ...)
};

// How many bytes of the head and of the tail kindOf looks at.
constexpr std::size_t headSize = 64 * 1024;
constexpr std::size_t tailSize = 64 * 1024 + 22;

// The bytes kindOf decides by. When the whole file is in head, tail may be
// empty; size is the file's size, 0 when it is not known (a pipe).
struct Sample {
    std::string_view head;
    std::string_view tail;
    std::uint64_t size = 0;
};

// The kind of a file (any bytes; never reads outside the sample).
Kind kindOf(const Sample& sample);

// Whether the kind is read by the document reader rather than as text.
bool isDocument(Kind kind);

// The kind's name as the document helper takes it ("pdf", "docx" ...).
const char* kindName(Kind kind);

}  // namespace document
