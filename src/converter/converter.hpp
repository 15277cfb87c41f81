// The converter's main flow: asks for an input and an output name, converts
// the one into the other in the ZUL format, showing and speaking each line
// as it is read.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "converter/zul.hpp"
#include "document/reader.hpp"
#include "platform/system/files.hpp"

namespace converter {

// Texts of the flow (Windows-1252).
extern const char* const titleText;
extern const char* const askInputText;
extern const char* const askOutputText;
extern const char* const sameNamesText;
extern const char* const noInputText;
extern const char* const doneText;

// "3 caracteres não puderam ser mantidos": what the converter says once
// after a UTF-8 input whose characters Windows-1252 partly lacks.
std::string unkeptText(std::uint64_t count);

// An input/output failure the flow does not handle: it ends the program
// with a message box and exit code 1. code is the run-time error number
// (3 path not found, 5 access denied, 100 read error, 101 write error).
struct IoError {
    int code = 0;
    int systemError = 0;
    std::string fileName;  // as the user typed it
    // "Erro de entrada/saída 101: Não há espaço disponível no dispositivo"
    std::string reason() const;
    // The reason and the file: "... (saida.zul)"
    std::string text() const;
};

// What a conversion did.
struct Summary {
    std::uint64_t lines = 0;
    // Characters of a UTF-8 input that Windows-1252 has no letter for
    // (each took a best fit or '?').
    std::uint64_t unkept = 0;
};

// Called with every line in Windows-1252 (decoded from UTF-8 when the
// input is UTF-8, otherwise as read), once it has been written out.
using LineFn = std::function<void(const std::string& line)>;

// Converts the lines of source into out, keeping one line in memory; leaves
// out open. Names are used in error texts only. Throws IoError, also for a
// line larger than memory (code 100). Each line is written before onLine
// sees it; with pump (the interactive run) it also goes out to the file
// then, so that a run ended at any moment, even while the line is being
// shown and spoken, keeps every line given to onLine. pump is also called
// while a long line is being read.
Summary convertLines(zul::ByteSource& source, const std::string& inName, platform::OutputFile& out,
                     const std::string& outName, const LineFn& onLine, const std::function<void()>& pump = {});

// An input file read through the document reader (document/reader.hpp):
// open() decides what it is and answers why it is refused, before any
// output exists; source() then gives its text to convertLines.
class Input {
public:
    // nativeName: the file's name (empty for standard input, which cannot
    // be a document); pump is called while a pipe or the document helper
    // keeps the reader waiting.
    Input(platform::InputFile& file, const std::string& inName, const std::string& nativeName,
          document::Hooks hooks = {});
    ~Input();
    document::Failure open(document::Extract how = document::Extract::streamed);
    zul::ByteSource& source();
    document::Kind kind() const;

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// convertLines from an open input file, which is also waited for with pump
// while it is a pipe with nothing to read yet; then closes the input and
// the output. The input is read as text (UTF-16 too, never as a document);
// one that is not text throws document::Failure.
Summary convertOpenFiles(platform::InputFile& in, const std::string& inName, platform::OutputFile& out,
                         const std::string& outName, const LineFn& onLine, const std::function<void()>& pump = {});

// Opens (native names), converts and closes; a failure to open the input
// throws IoError with code 2, an input the document reader refuses throws
// document::Failure.
Summary convertFile(const std::string& nativeIn, const std::string& nativeOut, const LineFn& onLine);

// Creates (or truncates) the output file; a failure throws IoError with the
// run-time error number of a create (3, 5 or 101) and shownName.
void createOutput(platform::OutputFile& out, const std::string& nativeName, const std::string& shownName);

// The way back: the lines of a ZUL file as text, each ended by CR LF in
// Windows-1252, or by LF in UTF-8 (the code page 850 characters as they
// are, box-drawing pieces included). Reads lines as convertLines does;
// closes both files; throws IoError.
enum class TextOut { cp1252, utf8 };
Summary decodeOpenFiles(platform::InputFile& in, const std::string& inName, platform::OutputFile& out,
                        const std::string& outName, TextOut as);
Summary decodeLines(zul::ByteSource& source, const std::string& inName, platform::OutputFile& out,
                    const std::string& outName, TextOut as);

// The whole run; ends the process (closeScreen, or exit code 1 after an
// input/output failure).
[[noreturn]] void run();

}  // namespace converter
