// The converter's main flow: asks for an input and an output name, converts
// the one into the other in the ZUL format, showing and speaking each line
// as it is read.
#pragma once

#include <functional>
#include <string>

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

// Converts the open input into the open output line by line, keeping one
// line in memory, then closes the input and the output. Names are used in
// error texts only. Throws IoError.
void convertOpenFiles(platform::InputFile& in, const std::string& inName, platform::OutputFile& out,
                      const std::string& outName, const LineFn& onLine);

// Opens (native names), converts and closes; a failure to open the input
// throws IoError with code 2.
void convertFile(const std::string& nativeIn, const std::string& nativeOut, const LineFn& onLine);

// The whole run; ends the process (closeScreen, or exit code 1 after an
// input/output failure).
[[noreturn]] void run();

}  // namespace converter
