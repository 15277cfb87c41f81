// The braille display through BrlAPI.
//
// One thread of our own owns the connection: it connects (BrlAPI's own
// connect waits for the server's answer, so it never runs on the main
// thread), writes the cells the console last asked for, and reads keys from
// the connection's descriptor. A pipe wakes it when there is something new
// to write or when it must stop. Keys and width changes reach the main
// thread as posted calls; the handler runs there.
//
// The line is written with its text (so BRLTTY's copy and paste and a
// visual display see the characters) and with masks that put our own cells
// in place of the ones the server's table would give. The cursor is left to
// BRLTTY, which draws it the way the user set it up.
#include "platform/braille/braille.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/system/messages.hpp"
#include "platform/system/system.hpp"

#ifdef QUORIL_HAVE_BRLAPI
#include <brlapi.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace platform::braille {

#ifdef QUORIL_HAVE_BRLAPI

namespace {

constexpr int kRetryMilliseconds = 2000;
constexpr int kStopMilliseconds = 500;

struct Link {
    std::mutex lock;
    std::condition_variable stopped;
    // What the console wants shown (under the lock).
    std::vector<std::uint8_t> cells;
    std::string text;
    int cursor = -1;
    bool dirty = false;
    // The thread's life (under the lock); once the process is ending it
    // stops, and posts no more.
    bool running = false, ending = false;
    std::atomic<int> columns{0};
    int wake[2] = {-1, -1};
    KeyHandler handler;  // main thread only
};

// Never destroyed: the thread may outlive static destruction at exit.
Link& link() {
    static Link* l = new Link;
    return *l;
}

void post(const Key& key) {
    Link& l = link();
    std::lock_guard<std::mutex> g(l.lock);
    if (l.ending) return;
    platform::postCall([key] {
        Link& m = link();
        if (m.handler) m.handler(key);
    });
}

void wakeThread(Link& l) {
    if (l.wake[1] < 0) return;
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(l.wake[1], &c, 1);
}

void drainWake(Link& l) {
    char buf[64];
    while (::read(l.wake[0], buf, sizeof buf) > 0) {
    }
}

bool stopWanted(Link& l) {
    std::lock_guard<std::mutex> g(l.lock);
    return l.ending;
}

// Sleeps until woken or the time is up; false when the thread must stop.
bool pause(Link& l, int milliseconds) {
    pollfd p{l.wake[0], POLLIN, 0};
    ::poll(&p, 1, milliseconds);
    drainWake(l);
    return !stopWanted(l);
}

// Errors the server reports about earlier requests (a line written for a
// width that just changed, say) are not fatal: the next line mends them.
void BRLAPI_STDCALL ignoreException(brlapi_handle_t*, int, brlapi_packetType_t, const void*, size_t) {}

void BRLAPI_STDCALL sizeChanged(brlapi_param_t, brlapi_param_subparam_t, brlapi_param_flags_t, void*,
                                const void* data, size_t length) {
    if (length < sizeof(brlapi_param_displaySize_t)) return;
    const auto* size = static_cast<const brlapi_param_displaySize_t*>(data);
    const int columns = static_cast<int>(std::min<std::uint32_t>(size->columns, 1000));
    Link& l = link();
    if (l.columns.exchange(columns) != columns) post(Key{Key::columns, static_cast<std::uint32_t>(columns)});
}

struct Connection {
    brlapi_handle_t* handle = nullptr;
    std::uint8_t rowCells[256] = {};
    bool haveRowCells = false;
    brlapi_paramCallbackDescriptor_t sizeWatch = nullptr;
};

bool connect(Connection& c) {
    brlapi_connectionSettings_t settings{nullptr, nullptr};  // BRLAPI_AUTH and BRLAPI_HOST, or the defaults
    if (brlapi__openConnection(c.handle, &settings, nullptr) == BRLAPI_INVALID_FILE_DESCRIPTOR) return false;
    brlapi__setExceptionHandler(c.handle, ignoreException);
    // Typed braille is read by the console's own table: ask for the dots.
    const brlapi_param_retainDots_t retain = 1;
    brlapi__setParameter(c.handle, BRLAPI_PARAM_RETAIN_DOTS, 0, BRLAPI_PARAMF_LOCAL, &retain, sizeof retain);
    // The root of this session's terminal: WINDOWPATH or XDG_VTNR leads it.
    if (brlapi__enterTtyModeWithPath(c.handle, nullptr, 0, nullptr) < 0) {
        brlapi__closeConnection(c.handle);
        return false;
    }
    // Only the keys the console answers; BRLTTY keeps the others.
    brlapi__ignoreAllKeys(c.handle);
    const brlapi_keyCode_t types[] = {BRLAPI_KEY_TYPE_SYM};
    brlapi__acceptKeys(c.handle, brlapi_rangeType_type, types, 1);
    const brlapi_keyCode_t blocks[] = {BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_ROUTE,
                                       BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_PASSDOTS};
    brlapi__acceptKeys(c.handle, brlapi_rangeType_command, blocks, 2);
    const brlapi_keyCode_t commands[] = {
        BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_FWINLT,     BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_FWINRT,
        BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_FWINLTSKIP, BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_FWINRTSKIP,
        BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_LNUP,       BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_LNDN,
        BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_HOME,       BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_RETURN,
    };
    brlapi__acceptKeys(c.handle, brlapi_rangeType_key, commands, sizeof commands / sizeof commands[0]);
    c.haveRowCells = brlapi__getParameter(c.handle, BRLAPI_PARAM_COMPUTER_BRAILLE_ROW_CELLS, 0,
                                          BRLAPI_PARAMF_GLOBAL, c.rowCells, sizeof c.rowCells) ==
                     static_cast<ssize_t>(sizeof c.rowCells);
    // Called at once with the present size, and at every change.
    c.sizeWatch = brlapi__watchParameter(c.handle, BRLAPI_PARAM_DISPLAY_SIZE, 0, BRLAPI_PARAMF_GLOBAL,
                                         sizeChanged, nullptr, nullptr, 0);
    return true;
}

// Writes what the console last asked for; false when the connection broke.
bool writeLine(Link& l, Connection& c) {
    std::vector<std::uint8_t> cells;
    std::string text;
    int cursor = -1;
    {
        std::lock_guard<std::mutex> g(l.lock);
        if (!l.dirty) return true;
        l.dirty = false;
        cells = l.cells;
        text = l.text;
        cursor = l.cursor;
    }
    const int columns = l.columns.load();
    // A line for another width: the console sends a new one for this width.
    if (columns <= 0 || static_cast<int>(cells.size()) != columns) return true;
    text.resize(cells.size(), ' ');
    for (char& ch : text) {
        const auto b = static_cast<std::uint8_t>(ch);
        if (b < 32 || b == 127 || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) ch = ' ';
    }
    const std::string utf8 = cp1252ToUtf8(text);
    const std::vector<std::uint8_t> none(cells.size(), 0);
    brlapi_writeArguments_t w = BRLAPI_WRITEARGUMENTS_INITIALIZER;
    w.regionBegin = 1;
    w.regionSize = columns;
    w.text = utf8.c_str();
    w.textSize = static_cast<int>(utf8.size());
    w.charset = "UTF-8";
    w.andMask = none.data();
    w.orMask = cells.data();
    w.cursor = cursor >= 0 && cursor < columns ? cursor + 1 : BRLAPI_CURSOR_OFF;
    return brlapi__write(c.handle, &w) >= 0;
}

// Serves one connection until it breaks or the thread must stop.
void serve(Link& l, Connection& c) {
    {
        std::lock_guard<std::mutex> g(l.lock);
        l.dirty = true;  // a new connection shows the line at once
    }
    const int fd = brlapi__getFileDescriptor(c.handle);
    for (;;) {
        if (!writeLine(l, c)) return;
        pollfd p[2] = {{l.wake[0], POLLIN, 0}, {fd, POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) continue;
        if (p[0].revents) drainWake(l);
        if (stopWanted(l)) return;
        if (p[1].revents & (POLLHUP | POLLERR | POLLNVAL)) return;
        if (p[1].revents & POLLIN) {
            for (;;) {
                brlapi_keyCode_t code = 0;
                const int r = brlapi__readKey(c.handle, 0, &code);
                if (r < 0) return;
                if (r == 0) break;
                Key key;
                if (keyFromCode(code, c.haveRowCells ? c.rowCells : nullptr, key)) post(key);
            }
        }
    }
}

void run() {
    // BRLTTY stopping under a write is a broken connection, served as one
    // (connect again), whatever the program does with SIGPIPE.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    Link& l = link();
    Connection c;
    c.handle = static_cast<brlapi_handle_t*>(std::calloc(1, brlapi_getHandleSize()));
    while (c.handle && !stopWanted(l)) {
        if (!connect(c)) {
            if (!pause(l, kRetryMilliseconds)) break;
            continue;
        }
        serve(l, c);
        if (c.sizeWatch) brlapi__unwatchParameter(c.handle, c.sizeWatch);
        c.sizeWatch = nullptr;
        brlapi__closeConnection(c.handle);
        if (l.columns.exchange(0) != 0) post(Key{Key::columns, 0});
        if (!pause(l, kRetryMilliseconds)) break;
    }
    std::free(c.handle);
    std::lock_guard<std::mutex> g(l.lock);
    l.running = false;
    l.stopped.notify_all();
}

// At the process's end: no more posts, and the thread ends (closing the
// connection, so BRLTTY shows its own screen again). The wait is bounded: a
// server that accepted the connection and never answers holds BrlAPI's
// connect, and then the thread is left behind.
void stopForExit() {
    Link& l = link();
    std::unique_lock<std::mutex> g(l.lock);
    l.ending = true;
    if (!l.running) return;
    wakeThread(l);
    l.stopped.wait_for(g, std::chrono::milliseconds(kStopMilliseconds), [&] { return !l.running; });
}

class BrlapiDisplay final : public Display {
public:
    void open(KeyHandler handler) override {
        Link& l = link();
        l.handler = std::move(handler);
        std::lock_guard<std::mutex> g(l.lock);
        if (l.running || l.ending) return;
        if (l.wake[0] < 0) {
            if (::pipe2(l.wake, O_CLOEXEC | O_NONBLOCK) != 0) {
                l.wake[0] = l.wake[1] = -1;
                return;
            }
            // The process's end stops the thread before the queue it posts to goes.
            static bool hooked = false;
            if (!hooked) {
                hooked = true;
                std::atexit(stopForExit);
                platform::addExitHook(stopForExit);
            }
        }
        l.running = true;
        std::thread(run).detach();
    }

    int columns() const override { return link().columns.load(); }

    void show(const std::vector<std::uint8_t>& cells, const std::string& text, int cursor) override {
        Link& l = link();
        {
            std::lock_guard<std::mutex> g(l.lock);
            l.cells = cells;
            l.text = text;
            l.cursor = cursor;
            l.dirty = true;
        }
        wakeThread(l);
    }
};

}  // namespace

Display& brlapiDisplay() {
    static BrlapiDisplay display;
    return display;
}

bool keyFromCode(std::uint64_t code, const std::uint8_t* rowCells, Key& key) {
    const std::uint64_t type = code & BRLAPI_KEY_TYPE_MASK;
    const std::uint64_t flags = code & BRLAPI_KEY_FLAGS_MASK;
    if (type == BRLAPI_KEY_TYPE_CMD) {
        const std::uint64_t block = code & BRLAPI_KEY_CMD_BLK_MASK;
        const auto arg = static_cast<std::uint32_t>(code & BRLAPI_KEY_CMD_ARG_MASK);
        if (block == BRLAPI_KEY_CMD_ROUTE) {
            key = {Key::route, arg};
            return true;
        }
        if (block == BRLAPI_KEY_CMD_PASSDOTS) {
            key = {Key::dots, arg & (0xFFu | chordSpace)};
            return true;
        }
        if (block != 0) return false;
        switch (code & BRLAPI_KEY_CODE_MASK) {
        case BRLAPI_KEY_CMD_FWINLT:
        case BRLAPI_KEY_CMD_FWINLTSKIP: key = {Key::panLeft, 0}; return true;
        case BRLAPI_KEY_CMD_FWINRT:
        case BRLAPI_KEY_CMD_FWINRTSKIP: key = {Key::panRight, 0}; return true;
        case BRLAPI_KEY_CMD_LNUP: key = {Key::lineUp, 0}; return true;
        case BRLAPI_KEY_CMD_LNDN: key = {Key::lineDown, 0}; return true;
        case BRLAPI_KEY_CMD_HOME:
        case BRLAPI_KEY_CMD_RETURN: key = {Key::toCursor, 0}; return true;
        default: return false;
        }
    }
    if (type != BRLAPI_KEY_TYPE_SYM) return false;
    const std::uint64_t sym = code & BRLAPI_KEY_CODE_MASK;
    struct Special {
        std::uint64_t sym;
        std::uint32_t vk;
    };
    static constexpr Special specials[] = {
        {BRLAPI_KEY_SYM_BACKSPACE, VK_BACK},  {BRLAPI_KEY_SYM_TAB, VK_TAB},     {BRLAPI_KEY_SYM_LINEFEED, VK_RETURN},
        {BRLAPI_KEY_SYM_ESCAPE, VK_ESCAPE},   {BRLAPI_KEY_SYM_HOME, VK_HOME},   {BRLAPI_KEY_SYM_LEFT, VK_LEFT},
        {BRLAPI_KEY_SYM_UP, VK_UP},           {BRLAPI_KEY_SYM_RIGHT, VK_RIGHT}, {BRLAPI_KEY_SYM_DOWN, VK_DOWN},
        {BRLAPI_KEY_SYM_PAGE_UP, VK_PRIOR},   {BRLAPI_KEY_SYM_PAGE_DOWN, VK_NEXT}, {BRLAPI_KEY_SYM_END, VK_END},
        {BRLAPI_KEY_SYM_INSERT, VK_INSERT},   {BRLAPI_KEY_SYM_DELETE, VK_DELETE},
    };
    for (const Special& s : specials) {
        if (s.sym != sym) continue;
        key = {Key::special, s.vk};
        return true;
    }
    if (sym >= BRLAPI_KEY_SYM_FUNCTION && sym < BRLAPI_KEY_SYM_FUNCTION + 12) {
        key = {Key::special, static_cast<std::uint32_t>(VK_F1 + (sym - BRLAPI_KEY_SYM_FUNCTION))};
        return true;
    }
    // A character: Latin-1 keysyms are their code point, others carry the
    // Unicode flag.
    char32_t cp = 0;
    if (sym & BRLAPI_KEY_SYM_UNICODE)
        cp = static_cast<char32_t>(sym & (BRLAPI_KEY_SYM_UNICODE - 1));
    else if (sym >= 0x20 && sym <= 0xFF)
        cp = static_cast<char32_t>(sym);
    else
        return false;
    if (flags & BRLAPI_KEY_FLG_CONTROL) {
        if ((cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || cp == '[' || cp == '\\' || cp == ']') {
            key = {Key::character, static_cast<std::uint32_t>(cp & 31)};
            return true;
        }
        return false;
    }
    // Braille typed on the display may reach us as the character the
    // server's table gives it: its cell is what was typed.
    if (rowCells && cp <= 0xFF && (rowCells[cp] != 0 || cp == ' ')) {
        key = {Key::dots, rowCells[cp]};
        return true;
    }
    const std::uint8_t b = cp <= 0x7F ? static_cast<std::uint8_t>(cp) : unicodeToCp1252(cp);
    if (b == 0) return false;
    key = {Key::character, b};
    return true;
}

#else  // built without BrlAPI: a display that is never there

namespace {
class AbsentDisplay final : public Display {
public:
    void open(KeyHandler) override {}
    int columns() const override { return 0; }
    void show(const std::vector<std::uint8_t>&, const std::string&, int) override {}
};
}  // namespace

Display& brlapiDisplay() {
    static AbsentDisplay display;
    return display;
}

bool keyFromCode(std::uint64_t, const std::uint8_t*, Key&) { return false; }

#endif

}  // namespace platform::braille
