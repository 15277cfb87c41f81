// The message queue and the window layer, on the headless backend.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/window/backend.hpp"
#include "platform/window/term_keys.hpp"
#include "platform/system/system.hpp"
#include "platform/window/window.hpp"

using namespace platform;

namespace {

// What the test window's procedure saw.
struct Seen {
    std::vector<std::string> log;
    bool altDuringDispatch = false;
    bool paintsForReal = true;
    Rect lastPaint;
};
Seen* seen = nullptr;

std::string describe(std::uint32_t m, WParam w) {
    switch (m) {
    case WM_CREATE: return "create";
    case WM_DESTROY: return "destroy";
    case WM_PAINT: return "paint";
    case WM_KEYDOWN: return "down " + std::to_string(w);
    case WM_KEYUP: return "up " + std::to_string(w);
    case WM_SYSKEYDOWN: return "sysdown " + std::to_string(w);
    case WM_CHAR: return "char " + std::to_string(w);
    case WM_CLOSE: return "close";
    case WM_SETFOCUS: return "focus";
    case WM_KILLFOCUS: return "unfocus";
    case WM_MOUSEMOVE: return "move";
    default: return "msg " + std::to_string(m);
    }
}

LResult testProc(Hwnd h, std::uint32_t m, WParam w, LParam l) {
    seen->log.push_back(describe(m, w));
    if (m == WM_KEYDOWN || m == WM_SYSKEYDOWN) seen->altDuringDispatch = keyDown(VK_MENU);
    if (m == WM_PAINT && seen->paintsForReal) {
        seen->lastPaint = beginPaint(h);
        endPaint(h);
        return 0;
    }
    if (m == WM_DESTROY) postQuitMessage(0);
    if (m == WM_CLOSE) {
        destroyWindow(h);
        return 0;
    }
    if (m == WM_PAINT) return 0;
    return defWindowProc(h, m, w, l);
}

class Queue : public ::testing::Test {
protected:
    void SetUp() override {
        headless::reset();
        seen = &s;
    }
    void TearDown() override {
        headless::reset();
        seen = nullptr;
    }
    Hwnd open() {
        WindowSpec spec{"QrWinCrt", "t\xEDtulo", 648, 428, false, testProc};
        const Hwnd h = createWindow(spec);
        EXPECT_NE(h, 0u);
        return h;
    }
    // Pump everything now, like the console's pumps.
    void pump(Hwnd filter = 0) {
        Msg m;
        while (peekMessage(m, filter, true)) {
            if (m.message == WM_QUIT) {
                s.log.push_back("quit " + std::to_string(m.wParam));
                continue;
            }
            translateMessage(m);
            dispatchMessage(m);
        }
    }
    Seen s;
};

TEST_F(Queue, FirstInFirstOutWithWindowFilter) {
    const Hwnd h = open();
    pump();  // create's paint
    postMessage(h, WM_USER + 1);
    postMessage(0, WM_USER + 2);
    postMessage(h, WM_USER + 3);
    postMessage(h + 100, WM_USER + 4);  // a window that does not exist
    EXPECT_EQ(queuedMessages(), 4u);

    Msg m;
    ASSERT_TRUE(peekMessage(m, h, false));
    EXPECT_EQ(m.message, WM_USER + 1u);
    ASSERT_TRUE(peekMessage(m, h, true));
    EXPECT_EQ(m.message, WM_USER + 1u);
    ASSERT_TRUE(peekMessage(m, h, true));
    EXPECT_EQ(m.message, WM_USER + 3u);  // the thread message is skipped
    EXPECT_FALSE(peekMessage(m, h, true));
    ASSERT_TRUE(peekMessage(m, 0, true));
    EXPECT_EQ(m.message, WM_USER + 2u);
    ASSERT_TRUE(peekMessage(m, 0, true));
    EXPECT_EQ(m.hwnd, h + 100);
    EXPECT_EQ(dispatchMessage(m), 0);  // nobody to take it
    EXPECT_FALSE(peekMessage(m, 0, true));
    EXPECT_EQ(queuedMessages(), 0u);
}

TEST_F(Queue, TranslateMakesControlCharactersRightBehindTheKey) {
    const Hwnd h = open();
    pump();
    s.log.clear();
    const struct {
        std::uint32_t vk;
        std::uint8_t mods;
        int ch;  // -1: none
    } cases[] = {
        {VK_RETURN, 0, 13},         {VK_RETURN, MOD_CTRL, 10},  {VK_BACK, 0, 8},
        {VK_BACK, MOD_CTRL, 127},   {VK_ESCAPE, 0, 27},         {VK_TAB, 0, 9},
        {VK_TAB, MOD_SHIFT, 9},     {'A', MOD_CTRL, 1},         {'Z', MOD_CTRL | MOD_SHIFT, 26},
        {'C', MOD_CTRL | MOD_ALT, -1}, {'A', 0, -1},            {'A', MOD_SHIFT, -1},
        {VK_UP, 0, -1},             {VK_F1, MOD_CTRL, -1},      {VK_SPACE, 0, -1},
        // Ctrl+[ \ ] (and the second backslash key): ESC, FS, GS.
        {0xDB, MOD_CTRL, 27},       {0xDC, MOD_CTRL, 28},       {0xDD, MOD_CTRL, 29},
        {0xE2, MOD_CTRL, 28},       {0xDC, MOD_CTRL | MOD_ALT, -1}, {0xDC, 0, -1},
    };
    for (const auto& c : cases) {
        s.log.clear();
        postMessage(h, WM_KEYDOWN, c.vk, 0, c.mods);
        postMessage(h, WM_KEYUP, c.vk, 0, c.mods);
        pump();
        std::vector<std::string> expected{"down " + std::to_string(c.vk)};
        if (c.ch >= 0) expected.push_back("char " + std::to_string(c.ch));
        expected.push_back("up " + std::to_string(c.vk));
        EXPECT_EQ(s.log, expected) << "vk " << c.vk << " mods " << int(c.mods);
    }
    // Key-ups and characters translate to nothing.
    Msg up{h, WM_KEYUP, VK_RETURN, 0, 0};
    translateMessage(up);
    Msg ch{h, WM_CHAR, 'a', 0, 0};
    translateMessage(ch);
    EXPECT_EQ(queuedMessages(), 0u);
}

TEST_F(Queue, TerminalControlBytesReachTheWindowAsTheirCharacters) {
    // What the terminal sends for Ctrl+letter, Ctrl+\ and Ctrl+] must come
    // out of the queue as the same byte (the telephone tones hang on 28).
    const Hwnd h = open();
    pump();
    for (const char32_t in : {char32_t{1}, char32_t{26}, char32_t{28}, char32_t{29}}) {
        s.log.clear();
        const auto ev = termkeys::fromCharacter(in, 0, true);
        ASSERT_NE(ev.vk, 0u);
        postMessage(h, WM_KEYDOWN, ev.vk, 0, ev.mods);
        if (ev.ch != 0) postMessage(h, WM_CHAR, ev.ch, 0, ev.mods);
        pump();
        const std::vector<std::string> expected{"down " + std::to_string(ev.vk),
                                                "char " + std::to_string(static_cast<unsigned>(in))};
        EXPECT_EQ(s.log, expected) << "byte " << static_cast<unsigned>(in);
    }
}

TEST_F(Queue, TranslatedCharacterKeepsItsPlaceAmongOtherMessages) {
    const Hwnd h = open();
    pump();
    postMessage(0, WM_USER);                      // a thread message before the key
    postMessage(h, WM_KEYDOWN, VK_RETURN, 0, 0);  // taken by a pump of the window only
    postMessage(h, WM_USER + 1);
    Msg m;
    ASSERT_TRUE(peekMessage(m, h, true));
    translateMessage(m);
    postMessage(h, WM_USER + 2);  // posted after the translation
    std::vector<std::uint32_t> order;
    while (peekMessage(m, 0, true)) order.push_back(m.message);
    EXPECT_EQ(order, (std::vector<std::uint32_t>{WM_USER, WM_CHAR, WM_USER + 1, WM_USER + 2}));
}

TEST_F(Queue, DispatchAnswersTheKeyStateOfTheMessage) {
    const Hwnd h = open();
    pump();
    postMessage(h, WM_SYSKEYDOWN, VK_LEFT, 0, MOD_ALT);
    pump();
    EXPECT_TRUE(s.altDuringDispatch);
    postMessage(h, WM_KEYDOWN, VK_LEFT, 0, 0);
    pump();
    EXPECT_FALSE(s.altDuringDispatch);
    // Outside a dispatch: the state of the newest key message taken.
    postMessage(h, WM_KEYDOWN, VK_LEFT, 0, MOD_CTRL | MOD_SHIFT);
    pump();
    EXPECT_TRUE(keyDown(VK_CONTROL));
    EXPECT_TRUE(keyDown(VK_SHIFT));
    EXPECT_FALSE(keyDown(VK_MENU));
    EXPECT_FALSE(keyDown('A'));
}

TEST_F(Queue, PaintComesLastAndOnlyWhenInvalid) {
    const Hwnd h = open();
    EXPECT_EQ(s.log, std::vector<std::string>{"create"});
    postMessage(h, WM_USER);
    pump();
    // The window is invalid from its creation, but its paint waits behind
    // the queued message.
    EXPECT_EQ(s.log, (std::vector<std::string>{"create", "msg 1024", "paint"}));
    EXPECT_EQ(s.lastPaint.width(), 640);
    EXPECT_EQ(s.lastPaint.height(), 400);
    s.log.clear();
    pump();
    EXPECT_TRUE(s.log.empty());

    const Rect a{8, 16, 16, 32}, b{80, 0, 96, 16};
    invalidate(h, &a);
    invalidate(h, &b);
    pump();
    EXPECT_EQ(s.log, std::vector<std::string>{"paint"});
    EXPECT_EQ(s.lastPaint.left, 8);
    EXPECT_EQ(s.lastPaint.top, 0);
    EXPECT_EQ(s.lastPaint.right, 96);
    EXPECT_EQ(s.lastPaint.bottom, 32);

    // Outside the client area there is nothing to paint.
    const Rect outside{2000, 2000, 2100, 2100};
    invalidate(h, &outside);
    s.log.clear();
    pump();
    EXPECT_TRUE(s.log.empty());

    // updateWindow paints at once.
    invalidate(h);
    updateWindow(h);
    EXPECT_EQ(s.log, std::vector<std::string>{"paint"});
    updateWindow(h);
    EXPECT_EQ(s.log.size(), 1u);
}

TEST_F(Queue, PaintThatDrawsNothingDoesNotComeBack) {
    const Hwnd h = open();
    s.paintsForReal = false;
    pump();
    EXPECT_EQ(s.log, (std::vector<std::string>{"create", "paint"}));
    Msg m;
    EXPECT_FALSE(peekMessage(m, h, true));
}

TEST_F(Queue, DestroyWindowSendsDestroyAndDropsItsMessages) {
    const Hwnd h = open();
    postMessage(h, WM_USER);
    postMessage(0, WM_USER + 1);
    destroyWindow(h);
    EXPECT_EQ(s.log, (std::vector<std::string>{"create", "destroy"}));
    EXPECT_FALSE(headless::windowOpen());
    // The window's message went with it; the thread's and the quit remain.
    EXPECT_EQ(queuedMessages(), 2u);
    pump();
    EXPECT_EQ(s.log, (std::vector<std::string>{"create", "destroy", "quit 0"}));
    destroyWindow(h);  // already gone: nothing
    EXPECT_EQ(s.log.size(), 3u);
    // A new window gets a new handle; the old one is dead.
    const Hwnd h2 = open();
    EXPECT_NE(h2, h);
    EXPECT_EQ(sendMessage(h, WM_USER), 0);
}

TEST_F(Queue, DetachedWindowGetsTheDefaultProcedure) {
    const Hwnd h = open();
    pump();
    detachWindowProc(h);
    s.log.clear();
    postMessage(h, WM_USER);
    postMessage(h, WM_CLOSE);
    pump();
    EXPECT_TRUE(s.log.empty());  // the close went to the default: destroyed
    EXPECT_FALSE(headless::windowOpen());
}

TEST_F(Queue, AltF4AsksToClose) {
    const Hwnd h = open();
    postMessage(h, WM_SYSKEYDOWN, VK_F4, 0, MOD_ALT);
    pump();
    EXPECT_EQ(s.log.back(), "quit 0");
    EXPECT_FALSE(headless::windowOpen());
}

TEST_F(Queue, PostFromAnotherThreadWakesTheWait) {
    const Hwnd h = open();
    pump();
    const auto start = std::chrono::steady_clock::now();
    std::thread poster([h] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        postMessage(h, MM_WOM_DONE, 1, 2);
    });
    waitMessage();
    poster.join();
    Msg m;
    ASSERT_TRUE(peekMessage(m, 0, true));
    EXPECT_EQ(m.message, static_cast<std::uint32_t>(MM_WOM_DONE));
    EXPECT_EQ(m.lParam, 2);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(Queue, ManyThreadsPostWithoutLoss) {
    open();
    pump();
    constexpr int kThreads = 4, kEach = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kEach; ++i) postMessage(0, WM_USER, static_cast<WParam>(t), i);
        });
    int got = 0;
    std::vector<LParam> last(kThreads, -1);
    bool ordered = true;
    while (got < kThreads * kEach) {
        Msg m;
        if (!peekMessage(m, 0, true)) {
            ASSERT_TRUE(waitMessageFor(5000));
            continue;
        }
        ordered = ordered && m.lParam == last[m.wParam] + 1;
        last[m.wParam] = m.lParam;
        ++got;
    }
    for (auto& t : threads) t.join();
    EXPECT_TRUE(ordered);  // each thread's messages in the order posted
    EXPECT_EQ(queuedMessages(), 0u);
}

TEST_F(Queue, TimedWaitGivesUp) {
    open();
    pump();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(waitMessageFor(30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
    postMessage(0, WM_USER);
    EXPECT_TRUE(waitMessageFor(0));
    clearMessages();
    EXPECT_EQ(queuedMessages(), 0u);
}

TEST_F(Queue, CreateRefusedByTheProcedure) {
    const WindowSpec spec{"X", "x", 100, 100, false,
                          [](Hwnd, std::uint32_t m, WParam, LParam) -> LResult { return m == WM_CREATE ? -1 : 0; }};
    EXPECT_EQ(createWindow(spec), 0u);
    EXPECT_FALSE(headless::windowOpen());
    // And only one window at a time.
    const Hwnd h = open();
    EXPECT_EQ(createWindow(WindowSpec{"Y", "y", 10, 10, false, testProc}), 0u);
    EXPECT_EQ(currentWindow(), h);
}

}  // namespace
