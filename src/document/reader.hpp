// The document reader: the one way the converter, zul and falar read an
// input. It looks at the file's bytes (kind.hpp), and gives the rest of the
// program text bytes to split into lines, as if every input were a text
// file:
//
//   - a text file: its bytes exactly as they are (UTF-8 or Windows-1252,
//     decided later by platform::TextDecoder);
//   - a UTF-16 file: its text in UTF-8, after a UTF-8 mark;
//   - a document: the text the document helper extracts from it, shaped
//     into one line per paragraph (lines.hpp), in UTF-8 after the mark;
//   - anything else: refused with a Failure before a byte is given.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "converter/zul.hpp"
#include "document/kind.hpp"
#include "document/lines.hpp"
#include "platform/system/system.hpp"

namespace document {

// Why an input could not be read.
enum class Problem {
    none,
    notText,       // NUL bytes without a UTF-16 mark, and no document kind
    notByName,     // a document on standard input: the helper needs its name
    unsupported,   // an archive of a kind no tool here reads
    damaged,       // cut short or corrupted
    encrypted,     // a PDF locked by a password
    noText,        // a document (a scan, an empty page ...) without any text
    missingTool,   // a program or data package is not installed (Failure::package)
    imageTooLarge, // more pixels than the reader takes
    tooMuchText,   // the text went past the output limit
    tooSlow,       // the helper went silent for longer than the time limit
    noMemory,      // the helper ran out of the memory it may use
    failed,        // the helper crashed or failed otherwise
    noHelper,      // the helper program is not installed
};

struct Failure {
    Problem problem = Problem::none;
    std::string package;  // missingTool: the Debian package to install
    explicit operator bool() const { return problem != Problem::none; }
};

// What the user is told, in Portuguese (Windows-1252).
std::string failureText(const Failure& failure);
// "Lendo a página 3 de 12" (Windows-1252).
std::string progressText(int page, int pages);

// What the reader calls while it works.
struct Hooks {
    // Called about every 50 ms while the reader waits for the helper (or
    // for a pipe), so that the caller keeps its window and keys alive.
    std::function<void()> pump;
    // A page of pages begins to be read (only for documents of pages, and
    // not more often than every two seconds).
    std::function<void(int page, int pages)> progress;
};

// The extraction of one document, as the platform runs it (a child
// process); the reader shapes its text.
class Extraction {
public:
    virtual ~Extraction() = default;
    // Reads up to size bytes of extracted UTF-8 text; 0 at its end. Throws
    // Failure when the extraction failed.
    virtual std::size_t read(char* buffer, std::size_t size) = 0;
};
// Starts the extraction of the document at nativeName, of the kind named
// (kindName); answers nullptr with failure set when it cannot start.
using StartExtraction = std::function<std::unique_ptr<Extraction>(
    const std::string& nativeName, const std::string& kindName, const Hooks& hooks, Failure& failure)>;
// The platform's way of starting one (set by the program at start: see
// platform/document); none set: documents are refused as unsupported.
void setExtractionStarter(StartExtraction start);

// How a document's text is taken: as the helper gives it (a reader that
// speaks it as it comes), or whole before open() answers (a reader that
// writes a file: a document whose reading fails half-way then costs no
// file, not even the one the output would have replaced). Text files and
// UTF-16 files are always streamed.
enum class Extract { streamed, whole };

class Reader : public zul::ByteSource {
public:
    // file: the input's bytes; nativeName: its name when it is a file given
    // by name (empty for standard input).
    Reader(zul::ByteSource& file, std::string nativeName, Hooks hooks = {});
    ~Reader() override;

    // Looks at the input and gets ready to read it; answers the failure
    // that refuses it (nothing has been given out then). With
    // Extract::whole a document is read to its end here, so every failure
    // of its reading is answered here and read() never throws.
    Failure open(Extract how = Extract::streamed);
    Kind kind() const { return kind_; }

    // Text bytes, as described above; throws Failure when a document's
    // extraction fails half-way.
    std::size_t read(char* buffer, std::size_t size) override;
    // Text files only; -1 for everything else.
    long long readAt(std::uint64_t offset, char* buffer, std::size_t size) override;

private:
    std::size_t serve(char* buffer, std::size_t size);
    bool refill();

    zul::ByteSource& file_;
    std::string nativeName_;
    Hooks hooks_;
    Kind kind_ = Kind::text;
    std::string head_;            // text: the bytes read to decide, given out first
    std::size_t headGiven_ = 0;
    std::string pending_;         // UTF-16 and documents: text waiting to be given out
    std::size_t pendingGiven_ = 0;
    bool ended_ = false;
    bool utf16Done_ = false;
    bool markDue_ = false;        // UTF-16: the UTF-8 mark is still to come
    std::unique_ptr<platform::Utf16Decoder> utf16_;
    std::unique_ptr<Shaper> shaper_;
    std::unique_ptr<Extraction> extraction_;
};

}  // namespace document
