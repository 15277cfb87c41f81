// The window room of the platform layer. It stands in for the Windows user
// interface: one top-level window and its procedure, GDI text, the caret,
// fonts, pixel copy and stretch, the keyboard state and the system metrics.
// It offers the console a window handle, a drawing context and metrics, and
// turns native keys, text, mouse and focus into Windows messages. Behind it:
// backend.hpp's record, filled by the SDL, terminal or headless backend.
//
// The window: one top-level window with a window procedure, a drawing
// context, a caret and the system's metrics. Three backends stand behind it
// (sdl, terminal, headless), chosen by QUORIL_CONSOLE; nothing above this
// layer knows which one runs. Text is Windows-1252 bytes; the backends
// convert at their edge.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/system/messages.hpp"

namespace platform {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// Metrics of the created font, in pixels (the terminal: 1 x 1, ascent 0).
struct FontMetrics {
    int cellWidth = 8;    // average character width
    int cellHeight = 16;  // height plus external leading
    int ascent = 12;
    int overhang = 0;
};

struct SystemMetrics {
    int frameWidth = 0, frameHeight = 0, captionHeight = 0;
    Rect workArea;      // desktop area not covered by task bars
    int displayWidth = 0, displayHeight = 0;
};

// The size limits answered for WM_GETMINMAXINFO; lParam points at one.
struct MinMaxInfo {
    int maxWidth = 0, maxHeight = 0;
    int minTrackWidth = 0, minTrackHeight = 0;
};

using WndProc = LResult (*)(Hwnd, std::uint32_t, WParam, LParam);

struct WindowSpec {
    std::string className;  // "QrWinCrt"
    std::string title;      // Windows-1252
    int width = 0, height = 0;  // outer size in pixels
    bool maximised = false;
    WndProc proc = nullptr;
};

// The backend in use: "sdl", "terminal" or "headless".
const char* backendName();

// Creates the font for the window (face may be empty: the default); answers
// its metrics. Falls back to the fixed-pitch system font (DejaVu Sans Mono)
// when the face is not found. Call before createWindow.
FontMetrics createFont(const std::string& face, int width, int height);
SystemMetrics systemMetrics();

// Creates and shows the window; WM_CREATE is sent to proc before it returns.
// Answers 0 when no window can be made.
Hwnd createWindow(const WindowSpec& spec);
// Sends WM_DESTROY to the procedure, then forgets the window.
void destroyWindow(Hwnd hwnd);
// Call the window's procedure at once (as Windows' SendMessage), with the
// key state of the moment; 0 when the window does not exist.
LResult sendMessage(Hwnd hwnd, std::uint32_t message, WParam wParam = 0, LParam lParam = 0);
// The default window procedure: WM_CLOSE destroys the window, Alt+F4 (a
// WM_SYSKEYDOWN of VK_F4) asks to close it, WM_PAINT is validated; anything
// else answers 0.
LResult defWindowProc(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam);
// Restore the default procedure (after this, messages are not dispatched
// to the old one).
void detachWindowProc(Hwnd hwnd);
void setWindowTitle(Hwnd hwnd, const std::string& title);
Rect clientRect(Hwnd hwnd);
// The window's outer rectangle in screen coordinates.
Rect windowRect(Hwnd hwnd);
bool isActiveWindow(Hwnd hwnd);

// Mark a client rectangle (or all when r is null) for repainting; WM_PAINT
// comes on the next pump. updateWindow paints at once if anything is marked.
void invalidate(Hwnd hwnd, const Rect* r = nullptr);
void updateWindow(Hwnd hwnd);

// Drawing, valid inside WM_PAINT (between beginPaint and endPaint) and for
// the direct scroll path. Coordinates are client pixels.
Rect beginPaint(Hwnd hwnd);  // answers the update rectangle
void endPaint(Hwnd hwnd);
void drawText(Hwnd hwnd, int x, int y, const std::uint8_t* text, int count, Rgb fg, Rgb bg);
void fillRect(Hwnd hwnd, const Rect& r, Rgb colour);
// Copy the pixels of src to (dx, dy) inside the window (pixel scrolling).
void copyPixels(Hwnd hwnd, const Rect& src, int dx, int dy);
// The magnifier: take a copy of the window's pixels; then show the given
// source rectangle of that copy stretched over the whole client area;
// release the copy. Backends without pixels (terminal) do nothing.
void captureWindow(Hwnd hwnd);
void stretchCapture(Hwnd hwnd, const Rect& src);
void releaseCapture(Hwnd hwnd);

// The caret: a block at client pixels (x, y).
void createCaret(Hwnd hwnd, int width, int height);
void setCaretPos(Hwnd hwnd, int x, int y);
void showCaret(Hwnd hwnd);
void destroyCaret(Hwnd hwnd);

// Clipboard, Windows-1252 text. get answers false when it cannot be opened.
bool setClipboardText(const std::string& text);
bool getClipboardText(std::string& text);

// The default message beep (BEL).
void messageBeep();
// Modal message box (also written to standard error). Answers false when
// the desktop could not show it.
bool messageBox(const std::string& title, const std::string& text);

// Whether this backend reports key releases (the braille keyboard needs them).
bool hasKeyReleases();
// Whether the window's contents are kept by the backend and cannot be
// covered or lost (the terminal), so that scrolling may always move them
// instead of painting everything again.
bool keepsContents();

// ---- headless backend: scripted input and recorded output, for tests ----
namespace headless {
// Start afresh: no window, empty recordings, empty clipboard, empty message
// queue, no scripted input. Makes the headless backend the one in use.
void reset();
// Scripted input goes to the window as posted messages. A key with Alt and
// without Ctrl comes as WM_SYSKEYDOWN / WM_SYSKEYUP, as on Windows; mouse
// messages carry x in the low 16 bits of lParam and y in the next 16.
void keyDown(std::uint32_t vk, std::uint8_t mods = 0);
void keyUp(std::uint32_t vk, std::uint8_t mods = 0);
// ch: a Windows-1252 byte, or the code point of a character it lacks.
void character(std::uint32_t ch, std::uint8_t mods = 0);
// keyDown, character (when ch is not 0) and keyUp in turn.
void typeKey(std::uint32_t vk, std::uint8_t ch = 0, std::uint8_t mods = 0);
void typeText(const std::string& text);  // one typeKey per byte
void mouse(std::uint32_t message, int x, int y);  // WM_MOUSEMOVE, WM_RBUTTON*
void closeButton();
void focus(bool gained);
// The user gives the window a new outer size: it takes it when the event
// is handed out, and the window gets WM_SIZE (the client size in lParam,
// width in the low 16 bits) and is invalidated, as on the desktop.
void resize(int width, int height);
// Scripted keys are handed out as messages by the next peek. With
// keysWhenWaiting, they are held back until the program waits for a
// message without a time limit (waitMessage), and each such wait lets one
// key through (its key-down, characters and key-up), as a person types only
// when asked; so a test can script all answers before the program asks.
void setKeysWhenWaiting(bool on);
// Whether the backend reports key releases (a terminal does not); reset()
// turns it back on.
void setKeyReleases(bool on);
// Whether the backend claims to keep the window's contents (as the
// terminal does); reset() turns it off.
void setKeepsContents(bool on);
// Scripted events not yet handed out.
std::size_t pendingInput();
// A wait without time limit that nothing ends (no scripted input, no post
// from another thread) for this long posts WM_QUIT, with a note on standard
// error, so a program waiting for input nobody scripted ends instead of
// hanging. Default 30000 ms; reset() restores it.
void setIdleLimit(int milliseconds);
int beeps();
std::vector<std::string> messageBoxes();  // "title: text"
// false: message boxes cannot be shown, as on a desktop without the means
// (true after reset()).
void setMessageBoxesShown(bool shown);
// The cell width and height the last createFont asked for.
std::pair<int, int> fontAsked();
// Every drawText since the last clear, for tests of painting, as
// "x,y,fg,bg:text": pixel position, colours as six lower-case hex digits
// (rrggbb), the Windows-1252 text. The screen's own buffers are read through
// the console. Each list keeps at least the newest 65536 calls.
std::vector<std::string> drawCalls();
// The other drawing since the last clear: "fill l,t,r,b rrggbb",
// "copy l,t,r,b to x,y", "capture", "stretch l,t,r,b", "release".
std::vector<std::string> pixelCalls();
void clearDrawCalls();  // clears both lists
int paints();           // beginPaint calls since reset
struct CaretState {
    bool exists = false, shown = false;
    int x = 0, y = 0, width = 0, height = 0;
};
CaretState caret();
bool windowOpen();
std::string windowTitle();  // Windows-1252
bool windowMaximised();
bool windowActive();
}  // namespace headless

}  // namespace platform
