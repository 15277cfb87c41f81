// The converter's main flow: asks for an input and an output name, converts
// the one into the other in the ZUL format, showing and speaking each line
// as it is read.
#pragma once

#include <functional>
#include <string>

#include "converter/zul.hpp"
#include "platform/system/files.hpp"

namespace converter {

// Texts of the flow (Windows-1252).
extern const char* const titleText;
extern const char* const askInputText;
extern const char* const askOutputText;
extern const char* const sameNamesText;
extern const char* const noInputText;
extern const char* const doneText;

// An input/output failure the flow does not handle: it ends the program
// with a message box and exit code 1. code is the run-time error number
// (3 path not found, 5 access denied, 100 read error, 101 write error).
struct IoError {
    int code = 0;
    int systemError = 0;
    std::string fileName;  // as the user typed it
    // "Erro de entrada/saída 101: No space left on device (saida.zul)"
    std::string text() const;
};

// Called with every line as read from the input, before its conversion.
using LineFn = std::function<void(const std::string& line)>;

// Converts the lines of source into out, keeping one line in memory; leaves
// out open. Names are used in error texts only. Throws IoError, also for a
// line larger than memory (code 100). With pump (the interactive run) pump
// is called while a long line is being read, and every line goes out to the
// file as soon as it is converted, so that a run ended at any moment keeps
// them all.
void convertLines(zul::ByteSource& source, const std::string& inName, platform::OutputFile& out,
                  const std::string& outName, const LineFn& onLine, const std::function<void()>& pump = {});

// convertLines from an open input file, which is also waited for with pump
// while it is a pipe with nothing to read yet; then closes the input and
// the output.
void convertOpenFiles(platform::InputFile& in, const std::string& inName, platform::OutputFile& out,
                      const std::string& outName, const LineFn& onLine, const std::function<void()>& pump = {});

// Opens (native names), converts and closes; a failure to open the input
// throws IoError with code 2.
void convertFile(const std::string& nativeIn, const std::string& nativeOut, const LineFn& onLine);

// The whole run; ends the process (closeScreen, or exit code 1 after an
// input/output failure).
[[noreturn]] void run();

}  // namespace converter
