// The ZUL format: one output line per input line, each followed by CR LF.
// A line is first turned from the ANSI code page into the OEM code page
// (one byte in, one byte out), then every byte is combined by exclusive-or
// with a mask that depends only on its position p in the line (1-based):
// (p + 10) mod 20. Positions 1 to 9 get 11 to 19, position 10 gets 0,
// positions 11 to 20 get 1 to 10, and the cycle repeats every 20 bytes, so
// only the five low bits of a byte ever change. The same exclusive-or
// applied again gives back the OEM bytes; there is no key.
//
// Input lines end at CR LF, a lone LF or a lone CR; a Ctrl-Z byte (26) ends
// the input. A line has no length limit, so the reader keeps exactly one
// line in memory and measures a very long line before it grows to hold it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zul {

constexpr std::uint8_t endOfInput = 26;  // Ctrl-Z

// The mask for 1-based position p.
constexpr std::uint8_t maskAt(std::size_t p) { return static_cast<std::uint8_t>((p + 10) % 20); }

// Scrambles a line that is already in the OEM code page, in place. The
// same call unscrambles a ZUL line back into its OEM bytes.
void scrambleLine(std::string& line);
// The whole transform of one line, in place: ANSI to OEM, then scrambling.
void encodeLine(std::string& line);
// The same transform from src into dst (size bytes), for the bytes of a
// line that start at its 0-based offset, so that a long line can be
// written out a piece at a time and stay as it was read.
void encodeBytes(const char* src, std::size_t size, std::size_t offset, char* dst);
// A ZUL line back into Windows-1252, in place: unscrambling, then OEM to
// ANSI (best fit for the box-drawing pieces Windows-1252 lacks).
void decodeLine(std::string& line);

// Where the line reader takes its bytes from.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to size bytes; answers the count, 0 at the end. Failures are
    // the source's to report (the converter's file source throws).
    virtual std::size_t read(char* buffer, std::size_t size) = 0;
    // Reads up to size bytes at an absolute offset without consuming them;
    // answers -1 when the source cannot look ahead (a pipe). Only used to
    // measure very long lines.
    virtual long long readAt(std::uint64_t offset, char* buffer, std::size_t size) {
        (void)offset, (void)buffer, (void)size;
        return -1;
    }
};

// A source over bytes in memory, handed out at most chunk bytes at a time
// (tests use small chunks to split line ends across reads).
class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::string bytes, std::size_t chunk = 65536)
        : bytes_(std::move(bytes)), chunk_(chunk ? chunk : 1) {}
    std::size_t read(char* buffer, std::size_t size) override;
    long long readAt(std::uint64_t offset, char* buffer, std::size_t size) override;

private:
    std::string bytes_;
    std::size_t chunk_;
    std::size_t pos_ = 0;
};

// Splits the bytes of a source into lines.
class LineReader {
public:
    // Lines longer than this are measured ahead so that the line's buffer
    // is allocated once at its full length.
    static constexpr std::size_t longLine = 1 << 20;

    explicit LineReader(ByteSource& source, std::size_t chunkSize = 65536);
    // Called after every chunk read while one line runs over more than one
    // chunk (and while such a line is measured), so that a very long or
    // endless line does not keep its caller from its other duties.
    void whileLongLine(std::function<void()> fn) { whileLong_ = std::move(fn); }
    // Reads the next line into line (without its end); answers false when
    // the input has ended (at its end or at a Ctrl-Z) and no line is left.
    bool next(std::string& line);

private:
    bool fill();
    void reserveFor(std::string& line);

    ByteSource& source_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0, len_ = 0;
    std::uint64_t bufferOffset_ = 0;  // source offset of buffer_[0]
    bool skipLineFeed_ = false;       // the last line ended at a CR
    bool ended_ = false;
    bool measured_ = false;           // the current line was measured ahead
    std::function<void()> whileLong_;
};

// Converts a whole text held in memory into its ZUL bytes, as the
// converter does a file (UTF-8 or Windows-1252, see platform::TextDecoder).
std::string encodeText(const std::string& text);

}  // namespace zul
