// Files for the converter: a reader and a buffered writer of raw bytes that
// answer system error codes instead of throwing, and the test whether two
// names lead to one file. Names here are native (UTF-8) paths, as
// toNativeName gives them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// An input file, read in chunks.
class InputFile {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    // Opens the file for reading; answers 0 or the system error code. A
    // directory is refused (EISDIR) and opening never blocks on a pipe.
    int open(const std::string& nativeName);
    // Reads the process's standard input (a copy of its descriptor).
    int openStandardInput();
    bool isOpen() const { return fd_ >= 0; }
    // Reads up to size bytes; answers the count (0 at the end of the file)
    // or minus the system error code. While a pipe has nothing to read yet,
    // whileWaiting (when given) is called every 50 ms.
    long long read(char* buffer, std::size_t size, const std::function<void()>& whileWaiting = {});
    // Reads up to size bytes at an absolute offset without moving the read
    // position; answers as read does. A pipe answers -ESPIPE.
    long long readAt(std::uint64_t offset, char* buffer, std::size_t size);
    // Answers 0 or the system error code; closing a closed file answers 0.
    int close();

private:
    int fd_ = -1;
};

// An output file behind a 64 KiB buffer. Errors of a write may show up at a
// later write or at close, when the buffer goes out.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();  // closes, dropping any error

    // Creates the file, or truncates the existing one; answers 0 or the
    // system error code. Never blocks: a named pipe that nobody reads
    // answers ENXIO.
    int create(const std::string& nativeName);
    // Writes to the process's standard output (a copy of its descriptor,
    // so a file opened for appending is appended to, not truncated).
    int openStandardOutput();
    bool isOpen() const { return fd_ >= 0; }
    // Answers 0 or the system error code.
    int write(const char* data, std::size_t size);
    // Writes out the buffer; answers 0 or the system error code.
    int flush();
    // Writes out the buffer and closes; answers 0 or the first error.
    int close();

private:
    int flushBuffer();
    int writeAll(const char* data, std::size_t size);

    int fd_ = -1;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
};

// Whether both names exist and lead to the same file (the same device and
// inode, whatever the spelling: relative or absolute, ./name, symbolic or
// hard links).
bool sameFile(const std::string& nativeA, const std::string& nativeB);

// The text for a system error code, Windows-1252: in Portuguese for the
// errors of files and devices ("Permissão negada"), else the C library's.
std::string systemErrorText(int code);

// Names of the error codes the converter tells apart.
namespace fileerror {
extern const int notFound;        // ENOENT
extern const int notDirectory;    // ENOTDIR
extern const int accessDenied;    // EACCES
extern const int notPermitted;    // EPERM
extern const int readOnly;        // EROFS
extern const int isDirectory;     // EISDIR
extern const int noSpace;         // ENOSPC
extern const int noMemory;        // ENOMEM
}  // namespace fileerror

}  // namespace platform
