// Scripted input and recorded output of the headless backend.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/window/window.hpp"

using namespace platform;

namespace {

std::vector<Msg>* got = nullptr;

LResult recordProc(Hwnd h, std::uint32_t m, WParam w, LParam l) {
    // The key state as the procedure sees it.
    const std::uint8_t mods = static_cast<std::uint8_t>((keyDown(VK_SHIFT) ? MOD_SHIFT : 0) |
                                                        (keyDown(VK_CONTROL) ? MOD_CTRL : 0) |
                                                        (keyDown(VK_MENU) ? MOD_ALT : 0));
    if (m != WM_CREATE && m != WM_PAINT) got->push_back(Msg{h, m, w, l, mods});
    if (m == WM_PAINT) {
        beginPaint(h);
        const std::uint8_t text[] = {'O', 'l', 0xE1};
        drawText(h, 8, 16, text, 3, Rgb{255, 255, 255}, Rgb{0, 0, 255});
        endPaint(h);
    }
    return 0;
}

class Headless : public ::testing::Test {
protected:
    void SetUp() override {
        headless::reset();
        got = &msgs;
    }
    void TearDown() override {
        headless::reset();
        got = nullptr;
    }
    Hwnd open(bool maximised = false) {
        return createWindow(WindowSpec{"QrWinCrt", "Convers\xE3o", 648, 428, maximised, recordProc});
    }
    // Pump everything pending, as the console does.
    void pump() {
        Msg m;
        while (peekMessage(m, 0, true)) {
            if (m.message == WM_QUIT) {
                quits.push_back(static_cast<int>(m.wParam));
                continue;
            }
            translateMessage(m);
            dispatchMessage(m);
        }
    }
    std::string summary() const {
        std::string out;
        for (const auto& m : msgs) {
            if (!out.empty()) out += ' ';
            switch (m.message) {
            case WM_KEYDOWN: out += "D" + std::to_string(m.wParam); break;
            case WM_KEYUP: out += "U" + std::to_string(m.wParam); break;
            case WM_SYSKEYDOWN: out += "SD" + std::to_string(m.wParam); break;
            case WM_SYSKEYUP: out += "SU" + std::to_string(m.wParam); break;
            case WM_CHAR: out += "C" + std::to_string(m.wParam); break;
            default: out += "M" + std::to_string(m.message);
            }
        }
        return out;
    }
    std::vector<Msg> msgs;
    std::vector<int> quits;
};

TEST_F(Headless, FixedMetrics) {
    EXPECT_STREQ(backendName(), "headless");
    const FontMetrics f = createFont("Lucida Console", 13, 28);
    EXPECT_EQ(f.cellWidth, 8);
    EXPECT_EQ(f.cellHeight, 16);
    EXPECT_EQ(f.ascent, 12);
    const SystemMetrics m = systemMetrics();
    EXPECT_EQ(m.workArea.width(), 1024);
    EXPECT_EQ(m.workArea.height(), 734);
    EXPECT_EQ(m.displayWidth, 1024);
    EXPECT_EQ(m.displayHeight, 768);
    EXPECT_EQ(m.frameWidth, 4);
    EXPECT_EQ(m.captionHeight, 20);
    EXPECT_TRUE(hasKeyReleases());
}

TEST_F(Headless, WindowShapeAndTitle) {
    const Hwnd h = open();
    ASSERT_NE(h, 0u);
    EXPECT_TRUE(headless::windowOpen());
    EXPECT_FALSE(headless::windowMaximised());
    EXPECT_EQ(headless::windowTitle(), "Convers\xE3o");
    EXPECT_EQ(clientRect(h).width(), 640);
    EXPECT_EQ(clientRect(h).height(), 400);
    EXPECT_EQ(windowRect(h).height(), 428);
    EXPECT_TRUE(isActiveWindow(h));
    setWindowTitle(h, "Programa terminado");
    EXPECT_EQ(headless::windowTitle(), "Programa terminado");
    destroyWindow(h);
    const Hwnd h2 = open(true);
    EXPECT_TRUE(headless::windowMaximised());
    EXPECT_EQ(clientRect(h2).width(), 1024);
}

TEST_F(Headless, ScriptedInputBecomesMessagesWithModifiers) {
    headless::typeText("aB1 \r\n\x03\xE9");
    headless::keyDown(VK_LEFT, MOD_ALT);
    headless::keyUp(VK_LEFT, MOD_ALT);
    headless::keyDown(VK_F12, MOD_CTRL | MOD_ALT);
    headless::character('x', MOD_SHIFT);
    headless::mouse(WM_MOUSEMOVE, 100, 200);
    headless::focus(false);
    headless::closeButton();
    // Nothing reaches the queue before there is a window to receive it.
    pump();
    EXPECT_TRUE(msgs.empty());
    open();
    pump();
    EXPECT_EQ(summary(),
              "D65 C97 U65 D66 C66 U66 D49 C49 U49 D32 C32 U32 D13 C13 U13 D13 C10 U13 D67 C3 U67 D0 C233 U0 "
              "SD37 SU37 D123 C120 M512 M8 M16");
    ASSERT_EQ(msgs.size(), 31u);
    EXPECT_EQ(msgs[3].mods, MOD_SHIFT);  // B
    EXPECT_EQ(msgs[15].mods, MOD_CTRL);  // Ctrl+Enter
    EXPECT_EQ(msgs[24].mods, MOD_ALT);
    EXPECT_EQ(msgs[26].mods, MOD_CTRL | MOD_ALT);
    EXPECT_EQ(msgs[27].mods, MOD_SHIFT);
    EXPECT_EQ(msgs[28].mods, MOD_SHIFT);  // a mouse message: the key state of the last key
    const LParam lp = msgs[28].lParam;
    EXPECT_EQ(lp & 0xFFFF, 100);
    EXPECT_EQ((lp >> 16) & 0xFFFF, 200);
    EXPECT_FALSE(isActiveWindow(msgs[28].hwnd));
    EXPECT_EQ(headless::pendingInput(), 0u);
}

TEST_F(Headless, KeysWhenWaitingComeOneKeyPerWait) {
    open();
    pump();
    headless::setKeysWhenWaiting(true);
    headless::typeText("ab");
    headless::keyDown(VK_F1);
    headless::keyDown(VK_DOWN);
    pump();
    EXPECT_TRUE(msgs.empty());  // polling does not let them through
    EXPECT_FALSE(waitMessageFor(10));  // nor does a wait with a time limit
    waitMessage();
    pump();
    EXPECT_EQ(summary(), "D65 C97 U65");
    waitMessage();
    pump();
    EXPECT_EQ(summary(), "D65 C97 U65 D66 C98 U66");
    waitMessage();
    pump();
    waitMessage();
    pump();
    EXPECT_EQ(summary(), "D65 C97 U65 D66 C98 U66 D112 D40");
    EXPECT_EQ(headless::pendingInput(), 0u);
}

TEST_F(Headless, WaitWithNothingScriptedEndsWithQuit) {
    open();
    pump();
    headless::setIdleLimit(20);
    waitMessage();
    pump();
    EXPECT_EQ(quits, std::vector<int>{255});
}

TEST_F(Headless, RecordsDrawingBeepsBoxesAndCaret) {
    const Hwnd h = open();
    pump();
    ASSERT_EQ(headless::drawCalls(), std::vector<std::string>{"8,16,ffffff,0000ff:Ol\xE1"});
    EXPECT_EQ(headless::paints(), 1);
    fillRect(h, Rect{0, 384, 640, 400}, Rgb{0, 0, 0});
    copyPixels(h, Rect{0, 16, 640, 400}, 0, 0);
    captureWindow(h);
    stretchCapture(h, Rect{10, 20, 330, 220});
    releaseCapture(h);
    EXPECT_EQ(headless::pixelCalls(),
              (std::vector<std::string>{"fill 0,384,640,400 000000", "copy 0,16,640,400 to 0,0", "capture",
                                        "stretch 10,20,330,220", "release"}));
    headless::clearDrawCalls();
    EXPECT_TRUE(headless::drawCalls().empty());
    EXPECT_TRUE(headless::pixelCalls().empty());

    messageBeep();
    messageBeep();
    EXPECT_EQ(headless::beeps(), 2);
    messageBox("Erro", "Arquivo n\xE3o encontrado");
    EXPECT_EQ(headless::messageBoxes(), std::vector<std::string>{"Erro: Arquivo n\xE3o encontrado"});

    createCaret(h, 8, 2);
    EXPECT_TRUE(headless::caret().exists);
    EXPECT_FALSE(headless::caret().shown);
    setCaretPos(h, 16, 28);
    showCaret(h);
    const auto c = headless::caret();
    EXPECT_TRUE(c.shown);
    EXPECT_EQ(c.x, 16);
    EXPECT_EQ(c.y, 28);
    EXPECT_EQ(c.width, 8);
    destroyCaret(h);
    EXPECT_FALSE(headless::caret().exists);

    // Drawing for a window that is not there is ignored.
    drawText(h + 1, 0, 0, reinterpret_cast<const std::uint8_t*>("x"), 1, Rgb{}, Rgb{});
    EXPECT_TRUE(headless::drawCalls().empty());
}

TEST_F(Headless, InProcessClipboard) {
    std::string text = "old";
    ASSERT_TRUE(getClipboardText(text));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(setClipboardText("a\xE7\xE3o"));
    ASSERT_TRUE(getClipboardText(text));
    EXPECT_EQ(text, "a\xE7\xE3o");
    EXPECT_TRUE(setClipboardText(std::string("ab\0cd", 5)));
    ASSERT_TRUE(getClipboardText(text));
    EXPECT_EQ(text, "ab");
    headless::reset();
    ASSERT_TRUE(getClipboardText(text));
    EXPECT_EQ(text, "");
}

TEST_F(Headless, ResetForgetsEverything) {
    open();
    headless::typeText("x");
    messageBeep();
    postMessage(0, WM_USER);
    headless::reset();
    EXPECT_FALSE(headless::windowOpen());
    EXPECT_EQ(headless::beeps(), 0);
    EXPECT_EQ(headless::pendingInput(), 0u);
    EXPECT_EQ(queuedMessages(), 0u);
    EXPECT_EQ(headless::paints(), 0);
}

}  // namespace
