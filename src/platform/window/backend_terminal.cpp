// The terminal window: ncurses (wide-character build). One cell of the
// terminal is one "pixel", so the console's cell is 1 x 1 and its 80 x 25
// screen maps onto the terminal's top-left corner. A terminal with fewer
// rows than the window asked for shows the rows around the one last
// written (or the caret's, while it is shown); columns past the terminal's
// edge are not shown (the console says so).
//
// Output: the console draws into a grid of cells of our own (cell_grid.hpp),
// so that writing and scrolling a line costs a few stores, whatever the
// terminal; the rows that changed are handed to ncurses only when the
// terminal is brought up to date (at most every 30 ms while the program
// writes, always before a wait), and ncurses sends the terminal its own
// scrolls. Text in Windows-1252 is written as the matching Unicode
// characters; colours become colour pairs of the nearest terminal colours,
// made as they are first needed. The caret is the terminal's cursor.
//
// Input: the terminal is in raw mode with the keypad on, so Ctrl+C and
// Ctrl+Z arrive as characters. Every key becomes a key-down (terminals send
// no releases) and, when it types a character, a WM_CHAR. Alt arrives as an
// ESC before the key; modified cursor and function keys as the xterm
// sequences, which are taught to ncurses here when the terminal description
// lacks them.
//
// Standard error: while the screen is drawn, what libraries write there
// (the sound library's complaints, say) would land on top of it. When it is
// this terminal, it goes to a temporary file instead, and what was written
// is copied to the terminal once it has been given back.
#include <curses.h>
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <unordered_map>
#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound/audio.hpp"
#include "platform/window/backend.hpp"
#include "platform/window/cell_grid.hpp"
#include "platform/system/system.hpp"
#include "platform/window/term_keys.hpp"

namespace platform {
namespace {

// ncurses key codes to keys: its own codes for the cursor, editing and
// function keys, and codes for the xterm sequences it reports as one key
// (those its terminal description lacks are defined here, from 0x3000 on).
class KeyTable {
public:
    void learn() {
        keys_.clear();
        const std::pair<int, termkeys::Key> base[] = {
            {KEY_UP, {VK_UP, 0}},           {KEY_DOWN, {VK_DOWN, 0}},
            {KEY_LEFT, {VK_LEFT, 0}},       {KEY_RIGHT, {VK_RIGHT, 0}},
            {KEY_HOME, {VK_HOME, 0}},       {KEY_END, {VK_END, 0}},
            {KEY_PPAGE, {VK_PRIOR, 0}},     {KEY_NPAGE, {VK_NEXT, 0}},
            {KEY_IC, {VK_INSERT, 0}},       {KEY_DC, {VK_DELETE, 0}},
            {KEY_BACKSPACE, {VK_BACK, 0}},  {KEY_ENTER, {VK_RETURN, 0}},
            {KEY_BTAB, {VK_TAB, MOD_SHIFT}}, {KEY_FIND, {VK_HOME, 0}},
            {KEY_SELECT, {VK_END, 0}},      {KEY_A1, {VK_HOME, 0}},
            {KEY_A3, {VK_PRIOR, 0}},        {KEY_B2, {0x0C, 0}},
            {KEY_C1, {VK_END, 0}},          {KEY_C3, {VK_NEXT, 0}},
            {KEY_SLEFT, {VK_LEFT, MOD_SHIFT}}, {KEY_SRIGHT, {VK_RIGHT, MOD_SHIFT}},
            {KEY_SR, {VK_UP, MOD_SHIFT}},   {KEY_SF, {VK_DOWN, MOD_SHIFT}},
            {KEY_SHOME, {VK_HOME, MOD_SHIFT}}, {KEY_SEND, {VK_END, MOD_SHIFT}},
            {KEY_SPREVIOUS, {VK_PRIOR, MOD_SHIFT}}, {KEY_SNEXT, {VK_NEXT, MOD_SHIFT}},
            {KEY_SIC, {VK_INSERT, MOD_SHIFT}}, {KEY_SDC, {VK_DELETE, MOD_SHIFT}},
            {KEY_BREAK, {VK_CANCEL, MOD_CTRL}},
        };
        for (const auto& [code, key] : base) keys_[code] = key;
        for (int n = 1; n <= 72; ++n) {
            termkeys::Key k;
            if (termkeys::functionKey(n, k)) keys_[KEY_F(n)] = k;
        }
        int next = 0x3000;
        for (const auto& seq : termkeys::xtermSequences()) {
            const int code = key_defined(seq.text.c_str());
            if (code > 0) {
                keys_[code] = seq.key;
            } else if (code == 0 && define_key(seq.text.c_str(), next) == OK) {
                keys_[next++] = seq.key;
            }
        }
    }

    bool lookup(int code, termkeys::Key& key) const {
        auto it = keys_.find(code);
        if (it == keys_.end()) return false;
        key = it->second;
        return true;
    }

    void forget() { keys_.clear(); }

private:
    std::map<int, termkeys::Key> keys_;
};

// Standard error held in a file while the screen is up. Giving it back uses
// only calls a signal handler may make.
class StderrCapture {
public:
    // When standard error is a terminal: fd 2 becomes a new file in TMPDIR
    // (or /tmp). The file keeps its name while held, so that what a process
    // dying on the spot wrote there is not lost with it.
    void start() {
        if (held_ >= 0 || !isatty(STDERR_FILENO)) return;
        const char* dir = std::getenv("TMPDIR");
        if (dir == nullptr || *dir == '\0') dir = "/tmp";
        const int n = std::snprintf(path_, sizeof path_, "%s/quoril-stderr-%ld-XXXXXX", dir,
                                    static_cast<long>(getpid()));
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof path_) return;
        const int file = mkostemp(path_, O_CLOEXEC);
        if (file < 0) return;
        const int real = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
        std::fflush(stderr);
        if (real < 0 || dup2(file, STDERR_FILENO) < 0) {
            if (real >= 0) close(real);
            close(file);
            unlink(path_);
            return;
        }
        held_ = file;
        real_ = real;
    }

    // fd 2 back to the terminal, then everything written meanwhile onto it.
    void stop() {
        if (held_ < 0) return;
        std::fflush(stderr);
        dup2(real_, STDERR_FILENO);
        close(real_);
        real_ = -1;
        char buf[4096];
        off_t at = 0;
        for (;;) {
            const ssize_t got = pread(held_, buf, sizeof buf, at);
            if (got <= 0) break;
            at += got;
            for (ssize_t done = 0; done < got;) {
                const ssize_t put = write(STDERR_FILENO, buf + done, static_cast<std::size_t>(got - done));
                if (put <= 0) break;
                done += put;
            }
        }
        close(held_);
        held_ = -1;
        unlink(path_);
    }

private:
    int held_ = -1;  // the file, also on fd 2
    int real_ = -1;  // the terminal
    char path_[4096] = {};
};

class TerminalBackend final : public WindowBackend {
public:
    ~TerminalBackend() override {
        shutdown();
        if (retired() == this) retired() = nullptr;
    }

    const char* name() const override { return "terminal"; }

    bool init() override {
        if (screen_ != nullptr) return true;
        if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) return false;
        const char* term = std::getenv("TERM");
        if (term == nullptr || *term == '\0' || std::strcmp(term, "dumb") == 0) return false;
        // Only the character type: numbers and messages keep the C locale.
        std::setlocale(LC_CTYPE, "");
        if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
        if (pipe(wakePipe_) != 0) return false;
        for (int fd : wakePipe_) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
        screen_ = newterm(nullptr, stdout, stdin);
        if (screen_ == nullptr) {
            closePipe();
            return false;
        }
        set_term(screen_);
        stderr_.start();
        set_escdelay(25);  // a lone ESC is Escape after 25 ms
        raw();
        noecho();
        nonl();
        keypad(stdscr, TRUE);
        nodelay(stdscr, TRUE);
        meta(stdscr, TRUE);
        // Keys are read through a pad of their own: reading through stdscr
        // would bring the whole screen out to the terminal at every poll.
        input_ = newpad(1, 1);
        if (input_ != nullptr) {
            keypad(input_, TRUE);
            nodelay(input_, TRUE);
            meta(input_, TRUE);
        }
        intrflush(stdscr, FALSE);
        leaveok(stdscr, FALSE);
        scrollok(stdscr, FALSE);
        // A screen moved up by a line goes out as the terminal's own scroll,
        // not as every line written again.
        idlok(stdscr, TRUE);
        curs_set(0);
        if (has_colors()) {
            start_color();
            colours_ = COLORS;
        }
        keys_.learn();
        const char* kbs = tigetstr(const_cast<char*>("kbs"));
        backspaceIsDel_ = kbs != nullptr && kbs != reinterpret_cast<char*>(-1) && std::strcmp(kbs, "\177") == 0;
        erase();
        refresh();
        active_.store(true);
        static bool hooked = false;
        if (!hooked) {
            hooked = true;
            addExitHook([] { restoreTerminal(); });
            std::atexit([] { restoreTerminal(); });
            // Killed from outside, the program ends from its message loop
            // (endOnSignals), which gives the terminal back on the way out.
        }
        instance() = this;
        mainThread_ = std::this_thread::get_id();
        return true;
    }

    void shutdown() override {
        restore();
        if (instance() == this) instance() = nullptr;
        // What the object holds goes now. The window layer may keep the
        // object itself, undeleted, to the end of the process (code on the
        // way out may still reach it), so it is remembered as such.
        keys_.forget();
        pairs_.clear();
        styles_.clear();
        styleCached_ = false;
        grid_ = CellGrid{};
        std::vector<cchar_t>().swap(row_);
        std::vector<std::string>().swap(laterMessages_);
        retired() = this;
    }

    // The terminal is asked for keys at most every kInputInterval ms here
    // (the program polls at every line it writes; a look costs a system
    // call), and always after a wait.
    void pollEvents() override {
        if (!active_) return;
        const std::uint64_t now = tickCount();
        if (now - lastInput_ >= kInputInterval) readInput(now);
        if (dirty_ && now - lastPresent_ >= kPresentInterval) present();
    }

    void readInput(std::uint64_t now) {
        lastInput_ = now;
        wint_t ch = 0;
        WINDOW* in = input_ != nullptr ? input_ : stdscr;
        for (;;) {
            const int kind = wget_wch(in, &ch);
            if (kind == ERR) break;
            if (kind == KEY_CODE_YES) {
                keyCode(static_cast<int>(ch), 0);
            } else if (ch == 27) {
                // Alt arrives as ESC before the key; a lone ESC is Escape.
                wint_t next = 0;
                const int k2 = wget_wch(in, &next);
                if (k2 == ERR)
                    character(27, 0);
                else if (k2 == KEY_CODE_YES)
                    keyCode(static_cast<int>(next), MOD_ALT);
                else
                    character(static_cast<char32_t>(next), MOD_ALT);
            } else {
                character(static_cast<char32_t>(ch), 0);
            }
        }
    }

    void waitEvents(int milliseconds) override {
        if (!active_) return;
        if (dirty_) present();
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        // A terminal that has gone away is a closed window; from then on
        // only wake-ups and the time limit end a wait.
        const nfds_t count = hungUp_ ? 1 : 2;
        poll(hungUp_ ? fds + 1 : fds, count, milliseconds < 0 ? -1 : milliseconds);
        if (!hungUp_ && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            hungUp_ = true;
            if (Hwnd h = currentWindow()) postMessage(h, WM_CLOSE);
        }
        char drain[64];
        while (read(wakePipe_[0], drain, sizeof drain) > 0) {
        }
        const std::uint64_t now = tickCount();
        readInput(now);
        if (dirty_ && now - lastPresent_ >= kPresentInterval) present();
    }

    void wakeUp() override {
        if (!active_) return;
        // The main thread posts only while it is not waiting, and looks at
        // the queue before it waits.
        if (std::this_thread::get_id() == mainThread_) return;
        const char one = 1;
        [[maybe_unused]] ssize_t n = write(wakePipe_[1], &one, 1);
    }

    FontMetrics createFont(const std::string&, int, int) override { return FontMetrics{1, 1, 0, 0}; }

    SystemMetrics systemMetrics() override {
        SystemMetrics s;
        int rows = active_ ? LINES : 25, cols = active_ ? COLS : 80;
        s.displayWidth = cols;
        s.displayHeight = rows;
        s.workArea = {0, 0, cols, rows};
        return s;
    }

    bool createWindow(const WindowSpec& spec) override {
        if (!active_) return false;
        windowOpen_ = true;
        windowRows_ = std::max(0, spec.height);
        top_ = 0;
        focusRow_ = 0;
        erase();
        grid_.resize(COLS, gridRows());
        grid_.clear();
        dirty_ = true;
        // The terminal is the window, and it has the keyboard.
        if (Hwnd h = currentWindow()) postMessage(h, WM_SETFOCUS);
        return true;
    }

    void destroyWindow() override {
        windowOpen_ = false;
        caretShown_ = false;
        if (active_) curs_set(0);
    }

    void setTitle(const std::string&) override {}

    Rect clientRect() override {
        if (!active_) return {};
        return {0, 0, COLS, gridRows()};
    }

    Rect windowRect() override { return clientRect(); }

    bool isActive() override { return windowOpen_; }

    void beginPaint() override {}

    // While the program writes without waiting, the terminal is brought up
    // to date at most every kPresentInterval ms; a wait always brings it.
    void endPaint() override {
        if (dirty_ && tickCount() - lastPresent_ >= kPresentInterval) present();
    }

    void drawText(int x, int y, const std::uint8_t* text, int count, Rgb fg, Rgb bg) override {
        if (!active_ || text == nullptr) return;
        grid_.put(x, y, text, count, fg, bg);
        // Blanks do not move the rows shown: a repaint draws every row down
        // to the last, and the last row with text is where writing goes on.
        if (std::any_of(text, text + std::max(0, count), [](std::uint8_t b) { return b != ' '; })) focusRow_ = y;
        dirty_ = true;
    }

    void fillRect(const Rect& r, Rgb colour) override {
        if (!active_) return;
        grid_.fill(r.left, r.top, r.right, r.bottom, colour);
        // A fill's first row is where writing goes on (a scrolled screen's
        // new last row, a cleared screen's top).
        if (r.bottom > r.top) focusRow_ = r.top;
        dirty_ = true;
    }

    void copyPixels(const Rect& src, int dx, int dy) override {
        if (!active_) return;
        grid_.move(src.left, src.top, src.right, src.bottom, dx, dy);
        dirty_ = true;
    }

    void createCaret(int, int) override { caretExists_ = true; }

    void setCaretPos(int x, int y) override {
        caretX_ = x;
        caretY_ = y;
        if (caretShown_) dirty_ = true;
    }

    void showCaret() override {
        if (!caretExists_ || !active_) return;
        caretShown_ = true;
        curs_set(1);
        present();
    }

    void destroyCaret() override {
        caretExists_ = false;
        if (caretShown_ && active_) {
            caretShown_ = false;
            curs_set(0);
            present();
        }
        caretShown_ = false;
    }

    void beep() override { audio::beep(); }

    bool messageBox(const std::string& title, const std::string& text) override {
        const std::string line = cp1252ToUtf8(title.empty() ? text : title + ": " + text);
        // Held standard error is not a terminal either: the text goes there
        // now, in its place among the rest.
        if (!active_ || !isatty(STDERR_FILENO)) {
            std::fprintf(stderr, "%s\n", line.c_str());
            std::fflush(stderr);
        } else {
            laterMessages_.push_back(line);  // after the terminal is restored
        }
        if (!active_) return false;
        present();
        // The last line, in reverse video, until a key.
        const int row = LINES - 1;  // of the terminal
        std::vector<cchar_t> saved(static_cast<std::size_t>(std::max(0, COLS)));
        for (int c = 0; c < COLS; ++c)
            if (mvwin_wch(stdscr, row, c, &saved[static_cast<std::size_t>(c)]) == ERR)
                setcchar(&saved[static_cast<std::size_t>(c)], L" ", A_NORMAL, 0, nullptr);
        std::string shown = cp1252ToUtf8(title.empty() ? text : title + ": " + text) + " [Enter]";
        std::mbstate_t state{};
        std::vector<wchar_t> wide(shown.size() + 1);
        const char* p = shown.c_str();
        std::size_t n = std::mbsrtowcs(wide.data(), &p, wide.size(), &state);
        if (n == static_cast<std::size_t>(-1)) n = 0;
        wide.resize(n);
        wide.resize(static_cast<std::size_t>(std::max(0, COLS)), L' ');
        attron(A_REVERSE);
        for (int c = 0; c < COLS; ++c) {
            cchar_t cell;
            wchar_t s[2] = {wide[static_cast<std::size_t>(c)], 0};
            setcchar(&cell, s, A_REVERSE, 0, nullptr);
            mvwadd_wch(stdscr, row, c, &cell);
        }
        attroff(A_REVERSE);
        refresh();
        nodelay(stdscr, FALSE);
        wint_t ch = 0;
        bool resized = false;
        while (wget_wch(stdscr, &ch) == KEY_CODE_YES && ch == KEY_RESIZE) resized = true;
        nodelay(stdscr, TRUE);
        if (resized) {
            // The screen is drawn again for the new size, from the console.
            keyCode(KEY_RESIZE, 0);
        } else {
            for (int c = 0; c < COLS; ++c) mvwadd_wch(stdscr, row, c, &saved[static_cast<std::size_t>(c)]);
            grid_.markChanged(top_ + row, 0, COLS);
        }
        present();
        return true;
    }

    bool hasKeyReleases() const override { return false; }
    bool keepsContents() const override { return true; }

private:
    struct Style {
        attr_t attrs = A_NORMAL;
        short pair = 0;
    };

    static TerminalBackend*& instance() {
        static TerminalBackend* current = nullptr;
        return current;
    }

    static TerminalBackend*& retired() {
        static TerminalBackend* last = nullptr;
        return last;
    }

    // showLast: the last screen goes out first, so that it stays in the
    // terminal (not from a signal handler).
    static void restoreTerminal(bool showLast = true) {
        if (TerminalBackend* t = instance()) t->restore(showLast);
    }

    void restore(bool showLast = true) {
        // What was written since the last refresh is shown before the
        // terminal is given back: the last screen stays readable.
        if (showLast && active_ && dirty_) present();
        if (!active_.exchange(false)) return;
        curs_set(1);
        if (input_ != nullptr) delwin(input_);
        input_ = nullptr;
        endwin();
        delscreen(screen_);
        screen_ = nullptr;
        stderr_.stop();
        for (const auto& m : laterMessages_) std::fprintf(stderr, "%s\n", m.c_str());
        laterMessages_.clear();
        std::fflush(stderr);
        closePipe();
    }

    void closePipe() {
        for (int& fd : wakePipe_) {
            if (fd >= 0) close(fd);
            fd = -1;
        }
    }

    // The changed span of each row of the grid, out to ncurses in one call.
    void copyOutGrid() {
        if (grid_.cols() != COLS || grid_.rows() != gridRows()) grid_.resize(COLS, gridRows());
        // The rows shown: as few moves as keep the row of interest in sight.
        const int focus = caretShown_ ? caretY_ : focusRow_;
        int top = top_;
        if (focus < top) top = focus;
        if (focus >= top + LINES) top = focus - LINES + 1;
        top = std::clamp(top, 0, std::max(0, grid_.rows() - LINES));
        if (top != top_) {
            top_ = top;
            grid_.markAllChanged();
        }
        grid_.takeChanged([&](int y, const GridCell* cells, int from, int to) {
            if (y < top_ || y >= top_ + LINES) return;
            row_.resize(static_cast<std::size_t>(to - from) + 1);
            for (int x = from; x < to; ++x) {
                const GridCell& c = cells[x];
                Style st;
                wchar_t text[2] = {L' ', 0};
                if (!c.plain) {
                    st = styleFor(c.fg, c.bg);
                    const char32_t cp = cp1252ToUnicode(c.byte);
                    if (cp >= 0x20 && !(cp >= 0x7F && cp < 0xA0)) text[0] = static_cast<wchar_t>(cp);
                }
                setcchar(&row_[static_cast<std::size_t>(x - from)], text, st.attrs, st.pair, nullptr);
            }
            mvwadd_wchnstr(stdscr, y - top_, from, row_.data(), to - from);
        });
    }

    // The style of a colour pair; the nearest-colour search runs once per
    // pair of colours, not at every text call.
    Style styleFor(Rgb fg, Rgb bg) {
        const std::uint64_t key = static_cast<std::uint64_t>(fg.r) << 40 | static_cast<std::uint64_t>(fg.g) << 32 |
                                  static_cast<std::uint64_t>(fg.b) << 24 | static_cast<std::uint64_t>(bg.r) << 16 |
                                  static_cast<std::uint64_t>(bg.g) << 8 | bg.b;
        if (styleCached_ && key == lastStyleKey_) return lastStyle_;
        auto it = styles_.find(key);
        if (it == styles_.end()) it = styles_.emplace(key, makeStyle(fg, bg)).first;
        styleCached_ = true;
        lastStyleKey_ = key;
        lastStyle_ = it->second;
        return lastStyle_;
    }

    Style makeStyle(Rgb fg, Rgb bg) {
        Style st;
        if (colours_ < 8) {
            // No colour: reverse video when the background is the lighter.
            if (termcolour::luminance(bg) > termcolour::luminance(fg)) st.attrs = A_REVERSE;
            return st;
        }
        int f = termcolour::nearest(fg, colours_, true);
        int b = termcolour::nearest(bg, colours_, false);
        if (colours_ < 16 && f >= 8) {
            st.attrs = A_BOLD;
            f -= 8;
        }
        const int key = f * 1024 + b;
        auto it = pairs_.find(key);
        if (it == pairs_.end()) {
            const int next = static_cast<int>(pairs_.size()) + 1;
            if (next >= COLOR_PAIRS || next > 32767) return st;
            init_pair(static_cast<short>(next), static_cast<short>(f), static_cast<short>(b));
            it = pairs_.emplace(key, static_cast<short>(next)).first;
        }
        st.pair = it->second;
        return st;
    }

    void present() {
        dirty_ = false;
        lastPresent_ = tickCount();
        if (!active_) return;
        copyOutGrid();
        if (caretShown_ && caretY_ >= top_ && caretY_ < top_ + LINES && caretX_ >= 0 && caretX_ < COLS)
            wmove(stdscr, caretY_ - top_, caretX_);
        wrefresh(stdscr);
    }

    void post(std::uint32_t message, WParam wParam, std::uint8_t mods) {
        if (Hwnd h = currentWindow()) postMessage(h, message, wParam, 1, mods);
    }

    void keyDown(std::uint32_t vk, std::uint8_t mods) {
        const bool system = (mods & MOD_ALT) && !(mods & MOD_CTRL);
        post(system ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, mods);
    }

    void keyCode(int code, std::uint8_t extraMods) {
        if (code == KEY_RESIZE) {
            erase();
            grid_.resize(COLS, gridRows());
            grid_.markAllChanged();
            dirty_ = true;
            if (Hwnd h = currentWindow()) {
                postMessage(h, WM_SIZE, 0,
                            static_cast<LParam>((COLS & 0xFFFF) | (static_cast<std::uint32_t>(LINES & 0xFFFF) << 16)));
                invalidate(h, nullptr);
            }
            return;
        }
        termkeys::Key k;
        if (!keys_.lookup(code, k)) return;
        keyDown(k.vk, static_cast<std::uint8_t>(k.mods | extraMods));
    }

    void character(char32_t ch, std::uint8_t mods) {
        termkeys::Event ev = termkeys::fromCharacter(ch, mods, backspaceIsDel_);
        if (ev.vk != 0) keyDown(ev.vk, ev.mods);
        if (ev.ch != 0) post(WM_CHAR, ev.ch, ev.mods);
    }

    static constexpr std::uint64_t kPresentInterval = 30;
    static constexpr std::uint64_t kInputInterval = 2;

    SCREEN* screen_ = nullptr;
    WINDOW* input_ = nullptr;
    std::uint64_t lastPresent_ = 0;
    std::uint64_t lastInput_ = 0;
    std::thread::id mainThread_;
    std::atomic<bool> active_{false};
    int wakePipe_[2] = {-1, -1};
    int colours_ = 0;
    bool backspaceIsDel_ = true;
    bool windowOpen_ = false;
    bool hungUp_ = false;
    bool dirty_ = false;
    bool caretExists_ = false, caretShown_ = false;
    int caretX_ = 0, caretY_ = 0;
    int windowRows_ = 0;  // asked for by the window
    int top_ = 0;         // the grid's row shown on the terminal's first
    int focusRow_ = 0;    // the row text was last drawn on
    int gridRows() const { return std::max(LINES, windowRows_); }
    std::map<int, short> pairs_;
    std::unordered_map<std::uint64_t, Style> styles_;
    bool styleCached_ = false;
    std::uint64_t lastStyleKey_ = 0;
    Style lastStyle_;
    KeyTable keys_;
    CellGrid grid_;
    std::vector<cchar_t> row_;  // one row on its way out
    std::vector<std::string> laterMessages_;
    StderrCapture stderr_;
};

}  // namespace

std::unique_ptr<WindowBackend> makeTerminalBackend() { return std::make_unique<TerminalBackend>(); }

}  // namespace platform
