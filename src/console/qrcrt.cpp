// The text screen: 80 x 25 cells of character and attribute bytes drawn in
// one window. Writing stores bytes at the cursor and repaints only the span
// of the row it touched; a line feed past the bottom scrolls the text window
// (by copying pixels when LENTO asks for it and the window is placed where
// that is safe, or always when the backend keeps the cells itself, as the
// terminal does; else by repainting everything). Painting draws each row in
// runs of equal attribute, one text call per run. The look comes from the
// VIDEO section of QUORIL.INI, read when the window opens.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>

#include "console/qrcrt.hpp"
#include "console/qrcrt_state.hpp"
#include "platform/system/system.hpp"
#include "platform/window/window.hpp"

namespace qrcrt {

namespace detail {
State& state() {
    static State s;
    return s;
}
}  // namespace detail

using detail::state;
using detail::State;

namespace {

constexpr const char* settingsFile = "QUORIL.INI";
// Texts longer than this skip the 128-byte output buffer.
constexpr std::size_t longText = 16384;
constexpr std::size_t longPiece = std::size_t{1} << 20;

constexpr platform::Rgb palette[16] = {
    {0, 0, 0},       {0, 0, 255},     {0, 255, 0},     {0, 255, 255},
    {255, 0, 0},     {142, 0, 142},   {68, 34, 34},    {192, 192, 192},
    {128, 128, 128}, {128, 128, 255}, {128, 255, 128}, {128, 255, 255},
    {255, 128, 128}, {255, 128, 255}, {255, 255, 0},   {255, 255, 255},
};

platform::Rgb paletteColour(int n) { return n >= 0 && n < 16 ? palette[n] : platform::Rgb{}; }

std::string setting(const char* section, const char* key, const char* def, std::size_t size = 80) {
    return platform::getProfileString(section, key, def, settingsFile, size);
}

bool startsWithS(const std::string& v) { return !v.empty() && (v[0] == 'S' || v[0] == 's'); }

// The value of the leading decimal digits (saturating); none gives 0.
int leadingNumber(const std::string& text, bool* whole = nullptr) {
    long value = 0;
    std::size_t i = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = std::min(value * 10 + (text[i] - '0'), 1000000L);
        ++i;
    }
    if (whole) *whole = i > 0 && i == text.size();
    return static_cast<int>(value);
}

int numberSetting(const char* section, const char* key, int def) {
    bool whole = false;
    int v = leadingNumber(setting(section, key, ""), &whole);
    return whole ? v : def;
}

// TABCORES: entry i replaces colour-table entry i; reading stops after the
// first entry that is not a valid number (it takes its leading digits) or
// when no comma is left.
void parseColourTable(const std::string& text, std::array<std::uint8_t, 16>& table) {
    std::size_t pos = 0;
    for (int i = 0; i < 16; ++i) {
        std::size_t comma = text.find(',', pos);
        std::string entry = text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        bool whole = false;
        table[i] = static_cast<std::uint8_t>(std::min(leadingNumber(entry, &whole), 255));
        if (!whole || comma == std::string::npos) break;
        pos = comma + 1;
    }
}

void readSettings(State& s) {
    s.colourTable = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    parseColourTable(setting("VIDEO", "TABCORES", "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15"), s.colourTable);
    s.fixedColours = startsWithS(setting("VIDEO", "CORESFIXAS", "N"));
    s.pixelScroll = startsWithS(setting("VIDEO", "LENTO", "N"));
    int background = numberSetting("VIDEO", "CORFUNDO", 0);
    std::string fg = setting("VIDEO", "CORLETRA", "15");
    bool whole = false;
    int foreground = leadingNumber(fg, &whole);
    if (fg.empty())
        foreground = 7;
    else if (!whole)
        foreground = 15;
    s.attribute = static_cast<std::uint8_t>(((background & 15) << 4) | (foreground & 15));
    std::string mode = setting("BRAILLE", "MODO", "0");
    s.configuredBraille = mode.empty() ? 0 : static_cast<std::uint8_t>(mode[0]) & 3;
    std::string amplif = setting("VIDEO", "AMPLIF", "2", 2);
    s.magnification = amplif.empty() ? 0 : static_cast<std::uint8_t>(amplif[0]) & 7;
    if (s.magnification == 0) s.magnification = 2;  // 0 would leave no view to show
    if (s.fontFace.empty()) s.fontFace = setting("VIDEO", "FONTE", "Lucida Console");
    s.maximise = !startsWithS(setting("VIDEO", "CANTOTELA", "SIM"));
}

int cellIndex(const State& s, int col, int row) {
    return (s.winTop + row) * screenColumns + s.winLeft + col;
}

int windowWidth(const State& s) { return s.winRight - s.winLeft + 1; }
int windowHeight(const State& s) { return s.winBottom - s.winTop + 1; }

// Repaint the cells [from, to) of a text-window row at once.
void showSpan(State& s, int row, int from, int to) {
    if (!s.hwnd || from >= to) return;
    const auto& f = s.font;
    platform::Rect r{(s.winLeft + from) * f.cellWidth, (s.winTop + row) * f.cellHeight,
                     (s.winLeft + to) * f.cellWidth, (s.winTop + row + 1) * f.cellHeight};
    platform::invalidate(s.hwnd, &r);
    platform::updateWindow(s.hwnd);
}

void scrollUp(State& s) {
    int width = windowWidth(s);
    for (int row = 0; row + 1 < windowHeight(s); ++row) {
        int to = cellIndex(s, 0, row), from = cellIndex(s, 0, row + 1);
        std::copy_n(s.chars.begin() + from, width, s.chars.begin() + to);
        std::copy_n(s.attrs.begin() + from, width, s.attrs.begin() + to);
    }
    int last = cellIndex(s, 0, windowHeight(s) - 1);
    std::fill_n(s.chars.begin() + last, width, ' ');
    std::fill_n(s.attrs.begin() + last, width, s.attribute);
    if (!s.hwnd) return;
    const auto& f = s.font;
    // Where the backend keeps the cells itself (the terminal), moving them
    // always gives what a repaint would, and the repaint of all 25 rows at
    // every line written is what slowed the screen down.
    bool pixels = platform::keepsContents();
    if (!pixels && s.pixelScroll && platform::isActiveWindow(s.hwnd)) {
        auto m = platform::systemMetrics();
        pixels = platform::windowRect(s.hwnd).bottom < m.displayHeight - 32;
    }
    if (pixels) {
        int x0 = s.winLeft * f.cellWidth, x1 = (s.winRight + 1) * f.cellWidth;
        platform::Rect src{x0, (s.winTop + 1) * f.cellHeight, x1, (s.winBottom + 1) * f.cellHeight};
        platform::copyPixels(s.hwnd, src, x0, s.winTop * f.cellHeight);
        platform::Rect lastLine{x0, s.winBottom * f.cellHeight, x1, (s.winBottom + 1) * f.cellHeight};
        platform::fillRect(s.hwnd, lastLine, paletteColour(s.colourTable[s.attribute >> 4]));
    } else {
        platform::invalidate(s.hwnd, nullptr);
    }
    platform::updateWindow(s.hwnd);
}

// Bytes that act on the cursor or sound the bell; every other control byte
// is ignored, and every byte from 32 up is stored.
bool acts(std::uint8_t b) { return b == 7 || b == 8 || b == 10 || b == 13; }

// A run of bytes that only store characters (bytes from 32 up, with ignored
// control bytes among them) that reaches past the bottom of the text window
// scrolls away everything the window held before it: only its last rows
// stay visible. Those rows are written straight into a blank window, which
// is what writing the whole run would leave there (the same cells, the same
// cursor), and the window is repainted once. Answers false, having done
// nothing, when the run ends before that.
bool writeLongRun(State& s, const std::uint8_t* run, std::size_t n) {
    const std::int64_t w = windowWidth(s), h = windowHeight(s);
    std::int64_t stored = 0;
    for (std::size_t i = 0; i < n; ++i) stored += run[i] >= 32;
    if (stored == 0) return false;
    // Cells counted from the start of the window's first row; the cursor's
    // column may be w (past the edge), which is where the next row starts.
    const std::int64_t start = s.row * w + s.column, last = start + stored - 1;
    const std::int64_t firstShown = (last / w - h + 1) * w;  // the cell that ends up top-left
    if (firstShown <= start) return false;
    // The characters from firstShown on: the last `shown` stored bytes.
    const std::int64_t shown = last + 1 - firstShown;
    std::size_t from = n;
    for (std::int64_t found = 0; found < shown;)
        if (run[--from] >= 32) ++found;
    for (int row = 0; row < h; ++row) {
        std::fill_n(s.chars.begin() + cellIndex(s, 0, row), w, ' ');
        std::fill_n(s.attrs.begin() + cellIndex(s, 0, row), w, s.attribute);
    }
    std::int64_t cell = 0;
    for (std::size_t i = from; i < n; ++i) {
        if (run[i] < 32) continue;
        const int k = cellIndex(s, static_cast<int>(cell % w), static_cast<int>(cell / w));
        s.chars[k] = run[i];
        s.attrs[k] = s.attribute;
        ++cell;
    }
    s.row = static_cast<int>(h - 1);
    s.column = static_cast<int>((shown - 1) % w + 1);
    if (s.hwnd) {
        const auto& f = s.font;
        platform::Rect r{s.winLeft * f.cellWidth, s.winTop * f.cellHeight, (s.winRight + 1) * f.cellWidth,
                         (s.winBottom + 1) * f.cellHeight};
        platform::invalidate(s.hwnd, &r);
        platform::updateWindow(s.hwnd);
    }
    return true;
}

void lineFeed(State& s) {
    if (++s.row > windowHeight(s) - 1) {
        s.row = windowHeight(s) - 1;
        scrollUp(s);
    }
}

void paint(State& s, platform::Hwnd hwnd) {
    platform::Rect r = platform::beginPaint(hwnd);
    const auto& f = s.font;
    if (!s.chars.empty() && f.cellWidth > 0 && f.cellHeight > 0) {
        int c0 = std::max(0, r.left / f.cellWidth);
        int c1 = std::min(screenColumns, (r.right + f.cellWidth - 1) / f.cellWidth);
        int r0 = std::max(0, r.top / f.cellHeight);
        int r1 = std::min(screenRows, (r.bottom + f.cellHeight - 1) / f.cellHeight);
        for (int row = r0; row < r1; ++row) {
            int col = c0;
            while (col < c1) {
                int start = col;
                std::uint8_t a = s.attrs[row * screenColumns + col];
                while (col < c1 && s.attrs[row * screenColumns + col] == a) ++col;
                platform::drawText(hwnd, start * f.cellWidth + f.overhang, row * f.cellHeight,
                                   &s.chars[row * screenColumns + start], col - start,
                                   paletteColour(s.colourTable[a & 15]),
                                   paletteColour(s.colourTable[a >> 4]));
            }
        }
    }
    platform::endPaint(hwnd);
}

void sizeLimits(State& s, platform::MinMaxInfo* info) {
    if (!info) return;
    auto m = platform::systemMetrics();
    const auto& f = s.font;
    info->maxWidth = std::min(screenColumns * f.cellWidth, m.displayWidth) + 2 * m.frameWidth;
    info->maxHeight = std::min(m.captionHeight + screenRows * f.cellHeight, m.displayHeight) + 2 * m.frameHeight;
    info->minTrackWidth = 16 * f.cellWidth + 2 * m.frameWidth;
    info->minTrackHeight = 4 * f.cellHeight + 2 * m.frameHeight + m.captionHeight;
}

void magnify(State& s, platform::LParam lParam) {
    int x = std::max(0, static_cast<int>(static_cast<std::int16_t>(lParam & 0xFFFF)));
    int y = std::max(0, static_cast<int>(static_cast<std::int16_t>((lParam >> 16) & 0xFFFF)));
    int m = s.magnification > 0 ? s.magnification : 2;
    platform::Rect client = platform::clientRect(s.hwnd);
    int left = std::max(0, x - x / m), top = std::max(0, y - y / m);
    platform::Rect src{left, top, left + client.width() / m, top + client.height() / m};
    platform::stretchCapture(s.hwnd, src);
}

// A window that shows fewer than 80 columns (a narrow terminal, a window
// made narrow): the reason is kept for the speaking console to tell, once.
void checkWidth(State& s) {
    if (s.narrowTold || !s.hwnd || s.font.cellWidth <= 0) return;
    const int shown = platform::clientRect(s.hwnd).width() / s.font.cellWidth;
    if (shown <= 0 || shown >= screenColumns) return;
    s.narrowTold = true;
    const bool terminal = std::string(platform::backendName()) == "terminal";
    const std::string n = std::to_string(shown);
    const std::string text = std::string(terminal ? "O terminal" : "A janela") + " mostra s\xF3 " + n +
                             " das 80 colunas da tela: o que passar da coluna " + n + " n\xE3o aparece. Alargue " +
                             (terminal ? "o terminal" : "a janela") + " para ver tudo.";
    // In lines the window shows whole, broken between words.
    s.screenNotice.clear();
    std::string line;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(at, end - at);
        at = end + 1;
        while (!word.empty()) {
            const std::size_t room = line.empty() ? shown : shown - std::min<std::size_t>(shown, line.size() + 1);
            if (word.size() <= room) {
                line += (line.empty() ? "" : " ") + word;
                word.clear();
            } else if (line.empty()) {
                line = word.substr(0, room);
                word.erase(0, room);
            }
            if (!word.empty()) {
                s.screenNotice.push_back(line);
                line.clear();
            }
        }
    }
    if (!line.empty()) s.screenNotice.push_back(line);
}

void forgetWindow(State& s) {
    s.chars.clear();
    s.attrs.clear();
    s.column = s.row = 0;
    s.open = false;
    s.hwnd = 0;
    s.magnifying = false;
    s.caretShown = false;
}

// A process exit with the window still open: the window says so and stops
// answering for itself.
void atProcessExit() {
    State& s = state();
    s.exitHooked = false;  // the platform runs a hook once
    if (!s.open || !s.hwnd || s.finished) return;
    s.finished = true;
    s.breakEnabled = false;
    platform::setWindowTitle(s.hwnd, "Programa terminado");
    platform::detachWindowProc(s.hwnd);
}

platform::LResult windowProc(platform::Hwnd hwnd, std::uint32_t message, platform::WParam wParam,
                             platform::LParam lParam) {
    State& s = state();
    if (s.hook) {
        platform::Msg msg;
        msg.hwnd = hwnd;
        msg.message = message;
        msg.wParam = wParam;
        msg.lParam = lParam;
        msg.mods = static_cast<std::uint8_t>((platform::keyDown(platform::VK_SHIFT) ? platform::MOD_SHIFT : 0) |
                                             (platform::keyDown(platform::VK_CONTROL) ? platform::MOD_CTRL : 0) |
                                             (platform::keyDown(platform::VK_MENU) ? platform::MOD_ALT : 0));
        if (s.hook(msg)) return 0;
    }
    switch (message) {
    case platform::WM_CREATE:
        s.hwnd = hwnd;
        s.open = true;
        s.chars.assign(screenColumns * screenRows, ' ');
        s.attrs.assign(screenColumns * screenRows, s.attribute);
        s.winLeft = 0;
        s.winTop = 0;
        s.winRight = screenColumns - 1;
        s.winBottom = screenRows - 1;
        return 0;
    case platform::WM_DESTROY:
        forgetWindow(s);
        platform::postQuitMessage(0);
        return 0;
    case platform::WM_SETFOCUS:
        detail::onFocus(true);
        return 0;
    case platform::WM_KILLFOCUS:
        detail::onFocus(false);
        return 0;
    case platform::WM_PAINT:
        paint(s, hwnd);
        return 0;
    case platform::WM_CLOSE:
        closeScreen();
    case platform::WM_GETMINMAXINFO:
        sizeLimits(s, reinterpret_cast<platform::MinMaxInfo*>(lParam));
        return 0;
    case platform::WM_SIZE:
        checkWidth(s);
        return 0;
    case platform::WM_COPYDATA:
        return s.copyData ? s.copyData(wParam, lParam) : 0;
    case platform::WM_KEYDOWN:
        detail::onKeyDown(static_cast<std::uint32_t>(wParam));
        return 0;
    case platform::WM_SYSKEYDOWN:
        // Alt without Ctrl belongs to the system, except Left and Right.
        if ((s.breakEnabled && (wParam == platform::VK_LEFT || wParam == platform::VK_RIGHT)) ||
            platform::keyDown(platform::VK_CONTROL)) {
            detail::onKeyDown(static_cast<std::uint32_t>(wParam));
            return 0;
        }
        return platform::defWindowProc(hwnd, message, wParam, lParam);
    case platform::WM_KEYUP:
        if (detail::onKeyUp(static_cast<std::uint32_t>(wParam))) return 0;
        return platform::defWindowProc(hwnd, message, wParam, lParam);
    case platform::WM_CHAR:
        if (wParam > 0xFF)
            detail::onLackingCharacter();
        else
            detail::onChar(static_cast<std::uint8_t>(wParam));
        return 0;
    case platform::WM_RBUTTONDOWN:
        s.magnifying = true;
        platform::captureWindow(hwnd);
        magnify(s, lParam);
        return 0;
    case platform::WM_MOUSEMOVE:
        if (s.magnifying) magnify(s, lParam);
        return 0;
    case platform::WM_RBUTTONUP:
        if (s.magnifying) {
            s.magnifying = false;
            platform::releaseCapture(hwnd);
            platform::invalidate(hwnd, nullptr);
            platform::updateWindow(hwnd);
        }
        return 0;
    case platform::MM_WOM_DONE:
    case platform::MM_MCINOTIFY:
        if (s.noticeArmed && s.notice) s.notice(message, wParam, lParam);
        return 0;
    default:
        return platform::defWindowProc(hwnd, message, wParam, lParam);
    }
}

}  // namespace

// ---- the screen ----

void openScreen() {
    State& s = state();
    if (s.open) return;
    if (!s.exitHooked) {
        s.exitHooked = true;
        platform::addExitHook(atProcessExit);
    }
    // The path is already in the ANSI code page: shown as it is.
    s.title = platform::executablePath().substr(0, 80);
    readSettings(s);

    auto metrics = platform::systemMetrics();
    int width = 0, height = 0;
    {
        bool whole = false;
        width = leadingNumber(setting("VIDEO", "LARGURALETRA", ""), &whole);
        // The cell taken from the work area is also kept small enough for 80
        // columns, 25 rows and the frame to fit in it (13 x 80 is more than
        // 1024); a configured size is the user's.
        const int fitWidth = (metrics.workArea.width() - 2 * metrics.frameWidth) / screenColumns;
        const int fitHeight =
            (metrics.workArea.height() - 2 * metrics.frameHeight - metrics.captionHeight) / screenRows;
        if (!whole) {
            width = static_cast<int>(std::lround(metrics.workArea.width() / 1024.0 * 13));
            if (fitWidth > 0) width = std::min(width, fitWidth);
        }
        height = leadingNumber(setting("VIDEO", "ALTURALETRA", ""), &whole);
        if (!whole) {
            height = static_cast<int>(std::lround(metrics.workArea.height() / 734.0 * 28));
            if (fitHeight > 0) height = std::min(height, fitHeight);
        }
    }
    s.font = platform::createFont(s.fontFace, width, height);
    if (s.font.cellWidth <= 0) s.font.cellWidth = 1;
    if (s.font.cellHeight <= 0) s.font.cellHeight = 1;

    platform::WindowSpec spec;
    spec.className = "QrWinCrt";
    spec.title = s.title;
    spec.width = 2 * metrics.frameWidth + screenColumns * s.font.cellWidth;
    spec.height = 2 * metrics.frameHeight + screenRows * s.font.cellHeight + metrics.captionHeight;
    spec.maximised = s.maximise;
    spec.proc = windowProc;
    platform::Hwnd hwnd = platform::createWindow(spec);
    if (!hwnd || !s.open) {
        // No window here: keep the screen in memory so the program goes on.
        std::cerr << "convzul: no console window could be opened\n";
        s.hwnd = 0;
        s.open = true;
        s.chars.assign(screenColumns * screenRows, ' ');
        s.attrs.assign(screenColumns * screenRows, s.attribute);
        return;
    }
    platform::invalidate(hwnd, nullptr);
    platform::updateWindow(hwnd);
    checkWidth(s);
    setBrailleMode(s.configuredBraille);
}

void writeBlock(const std::uint8_t* bytes, std::size_t count) {
    openScreen();
    State& s = state();
    if (s.chars.empty()) return;
    int from = s.column, to = s.column;  // the touched span of the row, [from, to)
    const std::size_t windowCells = static_cast<std::size_t>(windowWidth(s)) * windowHeight(s);
    std::size_t runEnd = 0;  // bytes before it were looked at as part of a run
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t b = bytes[i];
        if (i >= runEnd && !acts(b)) {
            runEnd = static_cast<std::size_t>(std::find_if(bytes + i, bytes + count, acts) - bytes);
            if (runEnd - i > windowCells && writeLongRun(s, bytes + i, runEnd - i)) {
                from = to = s.column;
                i = runEnd - 1;
                continue;
            }
        }
        if (b == 7) {
            platform::messageBeep();
        } else if (b == 8) {
            if (s.column > 0) {
                --s.column;
                int k = cellIndex(s, std::min(s.column, windowWidth(s) - 1), s.row);
                s.chars[k] = ' ';
                s.attrs[k] = s.attribute;
                from = std::min(from, s.column);
                to = std::max(to, s.column + 1);
            }
        } else if (b == 10) {
            showSpan(s, s.row, from, to);
            lineFeed(s);
            s.column = 0;
            from = to = 0;
        } else if (b == 13) {
            s.column = 0;
        } else if (b >= 32) {
            if (s.column >= windowWidth(s)) {
                showSpan(s, s.row, from, to);
                s.column = 0;
                lineFeed(s);
                from = to = 0;
            }
            int k = cellIndex(s, s.column, s.row);
            s.chars[k] = b;
            s.attrs[k] = s.attribute;
            from = std::min(from, s.column);
            to = std::max(to, s.column + 1);
            ++s.column;
        }
    }
    showSpan(s, s.row, from, std::min(to, windowWidth(s)));
}

void writeChar(std::uint8_t c) { writeBlock(&c, 1); }

void moveCursor(int column, int row) {
    State& s = state();
    s.column = std::clamp(column - 1, 0, windowWidth(s) - 1);
    s.row = std::clamp(row - 1, 0, windowHeight(s) - 1);
}

int cursorColumn() { return state().column + 1; }
int cursorRow() { return state().row + 1; }

std::uint8_t screenChar(int row, int column) {
    const State& s = state();
    if (row < 1 || row > screenRows || column < 1 || column > screenColumns || s.chars.empty()) return ' ';
    int k = cellIndex(s, column - 1, row - 1);
    return k >= 0 && k < static_cast<int>(s.chars.size()) ? s.chars[k] : ' ';
}

std::uint8_t screenAttr(int row, int column) {
    const State& s = state();
    if (row < 1 || row > screenRows || column < 1 || column > screenColumns || s.attrs.empty()) return 0;
    int k = cellIndex(s, column - 1, row - 1);
    return k >= 0 && k < static_cast<int>(s.attrs.size()) ? s.attrs[k] : 0;
}

void clearToLineEnd() {
    openScreen();
    State& s = state();
    if (s.chars.empty()) return;
    int width = windowWidth(s);
    for (int col = s.column; col < width; ++col) {
        int k = cellIndex(s, col, s.row);
        s.chars[k] = ' ';
        s.attrs[k] = s.attribute;
    }
    showSpan(s, s.row, s.column, width);
}

void setBackground(int colour) {
    openScreen();
    State& s = state();
    if (s.fixedColours) return;
    s.attribute = static_cast<std::uint8_t>((s.attribute & 0x0F) | ((colour & 15) << 4));
}

std::uint8_t currentAttribute() { return state().attribute; }

platform::Rgb colourOf(int colourNumber) { return paletteColour(state().colourTable[colourNumber & 15]); }

void setFontFace(const std::string& face) { state().fontFace = face; }

std::vector<std::string> takeScreenNotice() {
    std::vector<std::string> notice;
    notice.swap(state().screenNotice);
    return notice;
}

void copyToClipboard(const std::string& text) {
    platform::setClipboardText(text.substr(0, text.find('\0')));
}

void pasteFromClipboard(char* buffer, std::size_t size) {
    if (size == 0 || !buffer) return;
    std::string text;
    if (!platform::getClipboardText(text)) return;
    text = text.substr(0, text.find('\0'));
    std::size_t n = std::min(text.size(), size - 1);
    std::copy_n(text.data(), n, buffer);
    buffer[n] = '\0';
}

std::string pasteFromClipboard(std::size_t size) {
    if (size == 0) return {};
    std::string text;
    if (!platform::getClipboardText(text)) return {};
    text = text.substr(0, text.find('\0'));
    if (text.size() > size - 1) text.resize(size - 1);
    return text;
}

void currentDate(int& year, int& month, int& day, int& dayOfWeek) {
    auto t = platform::localTime();
    year = t.year;
    month = t.month;
    day = t.day;
    dayOfWeek = t.dayOfWeek;
}

void currentTime(int& hour, int& minute, int& second, int& hundredths) {
    auto t = platform::localTime();
    hour = t.hour;
    minute = t.minute;
    second = t.second;
    hundredths = t.milliseconds / 10;
}

void closeScreen(int exitCode) {
    State& s = state();
    if (s.open) {
        s.count = 0;
        if (s.hwnd) {
            platform::Hwnd hwnd = s.hwnd;
            platform::detachWindowProc(hwnd);
            platform::destroyWindow(hwnd);
        }
        forgetWindow(s);
    }
    platform::exitProcess(exitCode);
}

platform::Hwnd windowHandle() { return state().hwnd; }

// ---- standard output and input ----

void flushOutput() {
    State& s = state();
    if (s.outBuffer.empty()) return;
    std::string block;
    block.swap(s.outBuffer);
    writeBlock(reinterpret_cast<const std::uint8_t*>(block.data()), block.size());
    keyWaiting();
}

void writeText(const std::string& text) {
    State& s = state();
    if (text.size() > longText) {
        // A long text goes to the screen in large pieces, each followed by
        // a key poll: writing a piece draws no more than the rows of it
        // that stay visible, and a key is taken into the queue while the
        // rest is still on its way. Once a key waits, the rest goes in one
        // piece, so only the screen it ends with is drawn.
        flushOutput();
        const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
        bool cut = false;
        for (std::size_t done = 0; done < text.size();) {
            const std::size_t n = cut ? text.size() - done : std::min(longPiece, text.size() - done);
            writeBlock(p + done, n);
            done += n;
            cut = keyWaiting() || cut;
        }
        return;
    }
    for (char c : text) {
        s.outBuffer.push_back(c);
        if (s.outBuffer.size() >= 128) flushOutput();
    }
    flushOutput();
}

void writeLine(const std::string& text) { writeText(text + "\r\n"); }

std::string readLine(std::size_t size) {
    flushOutput();
    if (size < 2) size = 2;
    std::string line(size, '\0');
    std::size_t n = readBlock(line.data(), size);
    line.resize(n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return line;
}

// ---- hooks ----

void setNoticeHandler(NoticeHandler handler, bool armed) {
    state().notice = std::move(handler);
    state().noticeArmed = armed;
}

void armNoticeHandler(bool armed) { state().noticeArmed = armed; }

void setCopyDataHandler(std::function<platform::LResult(platform::WParam, platform::LParam)> handler) {
    state().copyData = std::move(handler);
}

void setMessageHook(MessageHook hook) { state().hook = std::move(hook); }

void resetForTests() {
    State& s = state();
    if (s.tonePlaying) platform::stopSoundLoop();
    if (s.open && s.hwnd) {
        platform::Hwnd hwnd = s.hwnd;
        platform::detachWindowProc(hwnd);
        platform::destroyWindow(hwnd);
    }
    s = State{};
    detail::resetBrailleDisplay();
}

}  // namespace qrcrt
