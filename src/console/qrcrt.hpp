// The console window: an 80 x 25 text screen in one window, its key queue,
// the braille keyboard, the caret, the message pumps and the tones. All
// positions in this interface are 1-based.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/braille/braille.hpp"
#include "platform/system/messages.hpp"
#include "platform/window/window.hpp"

namespace qrcrt {

constexpr int screenColumns = 80;
constexpr int screenRows = 25;

// ---- the screen ----
void openScreen();
void writeBlock(const std::uint8_t* bytes, std::size_t count);
void writeChar(std::uint8_t c);
void moveCursor(int column, int row);
int cursorColumn();
int cursorRow();
std::uint8_t screenChar(int row, int column);
std::uint8_t screenAttr(int row, int column);
void clearToLineEnd();
void setBackground(int colour);
std::uint8_t currentAttribute();
void copyToClipboard(const std::string& text);
void pasteFromClipboard(char* buffer, std::size_t size);
std::string pasteFromClipboard(std::size_t size = 256);
void currentDate(int& year, int& month, int& day, int& dayOfWeek);
void currentTime(int& hour, int& minute, int& second, int& hundredths);
// Empties the key queue, destroys the window and ends the process (code 0,
// or the code given after a failure).
[[noreturn]] void closeScreen(int exitCode = 0);
platform::Hwnd windowHandle();  // 0 while the window is not open
// The colour painted for a colour number (through the colour table).
platform::Rgb colourOf(int colourNumber);
// The font face to use instead of FONTE (before the window opens).
void setFontFace(const std::string& face);
// What the user should be told about the window, once: why it cannot show
// all 80 columns, the first time it is found narrower (when it opens or is
// resized). Its lines, Windows-1252, each as wide as the window shows;
// none when there is nothing new to tell.
std::vector<std::string> takeScreenNotice();

// ---- standard output and input bound to the screen ----
// Buffered output (128 bytes); each flush writes the block and polls keys.
void writeText(const std::string& text);
void writeLine(const std::string& text);  // text + CR LF
void flushOutput();
// One line from the line reader (Enter ends it; the CR LF is not returned).
std::string readLine(std::size_t size = 256);

// ---- keyboard and pumps ----
// A typed character that Windows-1252 lacks queues 0 and this code, so that
// a reader can answer it with the warning tone instead of losing it unheard.
constexpr std::uint8_t lackingCharacterCode = 1;
bool keyWaiting();
std::uint8_t readKeyCode();
// Whether Alt was held with the last key taken by readKeyCode. Ctrl+Shift+F9
// counts as Ctrl+Alt+F9 (desktops keep Ctrl+Alt+F-keys for themselves).
bool altHeld();
std::size_t readBlock(char* buffer, std::size_t size);
void pumpMessages();
void pumpWindowMessages();
void pauseFor(int milliseconds);
void setBrailleMode(int mode);
int brailleMode();
void toneOn(int frequency);
void toneOff();
// The looping image toneOn plays: a 44-byte WAV header and a square wave;
// empty for a frequency of 0 or less.
std::vector<std::uint8_t> toneImage(int frequency);
// Discard every queued key (the warning tone discards type-ahead).
void clearKeys();
std::size_t queuedKeys();

// ---- hooks of other modules ----
// The notice slot: wave-out block-finished and MCI notify messages go to
// this handler while it is armed.
using NoticeHandler = std::function<void(std::uint32_t message, platform::WParam, platform::LParam)>;
void setNoticeHandler(NoticeHandler handler, bool armed);
void armNoticeHandler(bool armed);
// WM_COPYDATA goes to this handler, if any.
void setCopyDataHandler(std::function<platform::LResult(platform::WParam, platform::LParam)> handler);
// Answers a refused switch to braille (the window cannot tell when keys are
// released) with the reason, Windows-1252. Without one the console beeps and
// writes the reason on the screen.
void setBrailleRefusalHandler(std::function<void(const std::string& reason)> handler);
// A general hook that sees every message first; answering true claims it.
using MessageHook = std::function<bool(const platform::Msg&)>;
void setMessageHook(MessageHook hook);

// ---- the braille display ----
// The row under the cursor is shown on a braille display, when one is
// there (BrlAPI's; on the headless backend only one a test sets). A routing
// key of the display queues 0 and routingKeyCode; routedColumn and routedRow
// then tell the screen cell (1-based) that key stood for.
constexpr std::uint8_t routingKeyCode = 2;
int routedColumn();
int routedRow();
// Use this display instead (null for none).
void setBrailleDisplay(platform::braille::Display* display);
// The cell (dots, bit 0 = dot 1) the display shows for a byte, and the byte
// a cell stands for: each of the 256 bytes has a cell of its own.
std::uint8_t brailleCell(std::uint8_t c);
std::uint8_t brailleCharacter(std::uint8_t cell);

// Tests: forget all state (closes the window without ending the process).
void resetForTests();

}  // namespace qrcrt
