// The system room of the platform layer. It stands in for the Windows
// kernel, registry and shell: messages (messages.hpp), files (files.hpp),
// private profile strings, paths, code pages, the clock and process exit
// (this file), the registry (registry.hpp) and the "open" verb (shell.hpp).
//
// The kernel stand-ins: private profile strings, the Windows directory, path
// mapping, the ANSI (Windows-1252) and OEM (code page 850) tables, clock,
// sleeping, process exit, the looping in-memory sound and text-encoding
// edges. Text is Windows-1252 bytes throughout.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// ---- private profile strings ----
// Reads one value with the platform's semantics: section and key compared
// without case and trimmed of blanks and tabs; the value trimmed and one
// pair of matching surrounding quotes removed; the first of repeated
// sections or keys wins; lines without '=' ignored; the answer cut to
// size - 1 characters. A file named without a directory is taken from the
// Windows directory. Answers the default when the file, section or key is
// missing.
std::string getProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, const std::string& fileName,
                             std::size_t size = 256);
// Parses a decimal value the way GetPrivateProfileInt does (leading digits,
// default when none).
int getProfileInt(const std::string& section, const std::string& key, int defaultValue,
                  const std::string& fileName);

// The same lookup on the text of a settings file already read: true and the
// value (trimmed, quotes removed, not cut) when the section holds the key.
bool profileValueFromText(const std::string& content, const std::string& section,
                          const std::string& key, std::string& value);
// getProfileString on the text of a settings file.
std::string profileStringFromText(const std::string& content, const std::string& section,
                                  const std::string& key, const std::string& defaultValue,
                                  std::size_t size = 256);
// The number rule of getProfileInt on a value: optional sign, then leading
// digits (saturating at the int range); the default when there are none.
int parseProfileInt(const std::string& text, int defaultValue);

// $QUORIL_WINDIR, else "/etc/quoril" (no trailing separator).
std::string windowsDirectory();

// ---- files and paths ----
// Maps a Windows-style name onto the Linux file system: backslashes become
// slashes; a drive letter "X:" and a leading "\" stand for $QUORIL_ROOT
// (default "/"); a name starting with "/" is already a Linux name and keeps
// its place. The name stays Windows-1252; toNativeName converts it for the
// file system (UTF-8).
std::string mapPath(const std::string& windowsName);
// mapPath + UTF-8; when that name does not exist, each missing component is
// looked up without case, as Windows would find it.
std::string toNativeName(const std::string& windowsName);
bool fileExists(const std::string& windowsName);       // a regular file
bool directoryExists(const std::string& windowsName);  // a directory
bool pathExists(const std::string& windowsName);       // anything at all
// The current directory, as a Windows-1252 text without a trailing slash.
std::string currentDirectory();
// Makes the directory (a Windows-style name) the current one; false when it
// cannot be entered.
bool setCurrentDirectory(const std::string& windowsName);
// Full path of the running executable.
std::string executablePath();

// ---- code pages ----
// One byte in, one byte out; best fit where code page 850 lacks a glyph.
std::uint8_t ansiToOem(std::uint8_t c);
std::uint8_t oemToAnsi(std::uint8_t c);
void charToOem(std::string& text);  // in place
void charToOem(char* text, std::size_t size);
// The 256 bytes of ansiToOem, for loops that convert and do more at once.
const std::uint8_t* ansiToOemTable();
void oemToChar(std::string& text);  // in place
// Windows-1252 <-> UTF-8 at the edges. Unmappable code points become '?'.
std::string cp1252ToUtf8(const std::string& text);
std::string utf8ToCp1252(const std::string& text);
// Text from outside whose encoding is not known (a tool's arguments or
// input): taken as UTF-8 when it is valid UTF-8, else as Windows-1252
// already.
std::string externalTextToCp1252(const std::string& text);
// The Unicode code point of a Windows-1252 byte (undefined bytes map to
// themselves).
char32_t cp1252ToUnicode(std::uint8_t c);
// The Windows-1252 byte of a code point, or 0 when there is none.
std::uint8_t unicodeToCp1252(char32_t cp);
// For a code point Windows-1252 lacks, the byte Windows' own conversion
// takes instead (the letter without its accent, a plain dash, quote or
// space), or 0 when nothing is close.
std::uint8_t bestFitCp1252(char32_t cp);
// The Windows-1252 letter that a plain letter followed by a combining mark
// (U+0300 to U+036F) stands for, or 0.
std::uint8_t composeCp1252(std::uint8_t base, char32_t mark);
// Code page 850 bytes as UTF-8, each byte the character it shows (the
// box-drawing pieces too).
std::string oemToUtf8(const std::string& text);

// ---- text files of either encoding ----
// Turns the lines of one text file into Windows-1252. The file's encoding
// is decided once, by the first line that holds a byte above 127: when
// all of that line's bytes form well-formed UTF-8 (or the file opens with
// a UTF-8 byte-order mark) the file is UTF-8, otherwise Windows-1252. The
// lines before it are plain ASCII, the same in both. Deciding by line, not
// by a window of the file, needs no look-ahead: it works on pipes and on a
// single line of any length, with nothing held but the line itself.
//
// A Windows-1252 file keeps its bytes exactly. In a UTF-8 file the
// byte-order mark is dropped, a letter and a combining mark become the one
// letter Windows-1252 has for them, a character Windows-1252 lacks takes
// its best fit or '?' (counted in unkept), and a byte that is not part of
// a well-formed sequence is taken as the Windows-1252 byte it is, so that
// a file of mixed encodings loses nothing. Decoding never makes a line
// longer, so it is done in place.
class TextDecoder {
public:
    void decodeLine(std::string& line);
    // Whether the file was found to be UTF-8 (false also while undecided).
    bool utf8() const { return state_ == State::utf8; }
    // Characters of a UTF-8 file that Windows-1252 has no letter for.
    std::uint64_t unkept() const { return unkept_; }

private:
    enum class State { start, undecided, utf8, cp1252 };
    State state_ = State::start;
    std::uint64_t unkept_ = 0;
};

// UTF-16 text (a file that opens with its byte-order mark, the mark itself
// already taken off) into UTF-8, a piece at a time, so that it joins the
// UTF-8 path of TextDecoder. A pair of bytes may be split across pieces; a
// surrogate without its partner and a last byte without its pair become
// U+FFFD, which the UTF-8 path counts as a character not kept.
class Utf16Decoder {
public:
    explicit Utf16Decoder(bool bigEndian) : bigEndian_(bigEndian) {}
    // Appends the UTF-8 of size more bytes to out.
    void decode(const char* bytes, std::size_t size, std::string& out);
    // The end of the input: appends what a cut pair or surrogate leaves.
    void finish(std::string& out);

private:
    void put(char32_t cp, std::string& out);
    bool bigEndian_;
    int pendingByte_ = -1;      // the first byte of a pair, or -1
    char32_t highSurrogate_ = 0;  // a high surrogate awaiting its low one
};

// ---- time ----
struct LocalTime {
    int year, month, day, dayOfWeek;  // dayOfWeek 0 = Sunday
    int hour, minute, second, milliseconds;
};
LocalTime localTime();
// Milliseconds of a steady clock.
std::uint64_t tickCount();
void sleepFor(int milliseconds);

// ---- process ----
// Runs the exit hooks (last registered first) and ends the process.
[[noreturn]] void exitProcess(int code);
void addExitHook(std::function<void()> hook);
// Tests: exitProcess calls this instead of ending the process; it must not
// return (a test throws). Pass an empty function to restore.
void setExitHandler(std::function<void(int)> handler);
// Tests: forget the registered exit hooks.
void clearExitHooks();
// Whether exitProcess has begun (the end of the process is under way).
bool exitStarted();
// From now on SIGTERM, SIGINT, SIGHUP and SIGQUIT post WM_QUIT with exit
// code 255, so the message loop ends the program as a quit message does; a
// second one, or a message loop that does not end it within a few seconds,
// ends the process the system's way. Signals ignored at start stay ignored.
// Installs once; later calls do nothing.
void endOnSignals();

// ---- sound calls of the console ----
// Play a RIFF/WAVE image from memory, looping, without blocking; replaces a
// sound playing this way. Silent when there is no sound device.
void playSoundLoop(const std::uint8_t* image, std::size_t size);
void stopSoundLoop();

}  // namespace platform
