// The text screen: writing, wrapping, control bytes, scrolling, cursor
// clamping, colours from the settings, painting in runs.
#include <algorithm>

#include "console_fixture.hpp"

namespace {

using Screen = ConsoleTest;

TEST_F(Screen, WritingControlBytesAndWrap) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> rows;  // rows 1.. expected
        int column, row;
    };
    const std::string eighty(80, 'x');
    const std::vector<Case> cases = {
        {"plain", "abc", {"abc"}, 4, 1},
        {"tab and other controls ignored", "a\tb\x01\x0c\x1b" "c", {"abc"}, 4, 1},
        {"backspace blanks the cell before", "abc\b", {"ab"}, 3, 1},
        {"backspace at column 0 does nothing", "\b\bab", {"ab"}, 3, 1},
        {"CR returns to column 1", "abc\rX", {"Xbc"}, 2, 1},
        {"LF goes down and to column 1", "ab\ncd", {"ab", "cd"}, 3, 2},
        {"80 characters wait past the edge", eighty, {eighty, ""}, 81, 1},
        {"CR LF after a full row makes no empty row", eighty + "\r\nab", {eighty, "ab"}, 3, 2},
        {"the 81st character wraps", eighty + "yz", {eighty, "yz"}, 3, 2},
        {"backspace from past the edge", eighty + "\b", {std::string(79, 'x'), ""}, 80, 1},
        {"Latin-1 bytes are stored", "\xe7\xe3o", {"\xe7\xe3o"}, 4, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        qrcrt::resetForTests();
        write(c.text);
        for (std::size_t r = 0; r < c.rows.size(); ++r) EXPECT_EQ(row(static_cast<int>(r) + 1), c.rows[r]);
        EXPECT_EQ(qrcrt::cursorColumn(), c.column);
        EXPECT_EQ(qrcrt::cursorRow(), c.row);
    }
}

TEST_F(Screen, BellBeepsWithoutMoving) {
    write("ab\a");
    EXPECT_EQ(platform::headless::beeps(), 1);
    EXPECT_EQ(qrcrt::cursorColumn(), 3);
    EXPECT_EQ(row(1), "ab");
}

TEST_F(Screen, LineFeedOnTheLastRowScrolls) {
    for (int i = 1; i <= 26; ++i) write("line " + std::to_string(i) + "\r\n");
    EXPECT_EQ(qrcrt::cursorRow(), 25);
    EXPECT_EQ(row(1), "line 3");
    EXPECT_EQ(row(24), "line 26");
    EXPECT_EQ(row(25), "");
    EXPECT_EQ(qrcrt::screenAttr(25, 80), qrcrt::currentAttribute());
}

TEST_F(Screen, SlowScrollCopiesPixels) {
    settings("[VIDEO]\nLENTO=S\nCORFUNDO=1\n");
    qrcrt::openScreen();
    platform::headless::clearDrawCalls();
    qrcrt::moveCursor(1, 25);
    write("\n");
    auto pixels = platform::headless::pixelCalls();
    bool copied = false, filled = false;
    for (const auto& p : pixels) {
        if (p.rfind("copy", 0) == 0) copied = true;
        if (p.rfind("fill", 0) == 0 && p.find("0000ff") != std::string::npos) filled = true;
    }
    ASSERT_TRUE(platform::headless::windowActive());
    EXPECT_TRUE(copied);
    EXPECT_TRUE(filled) << "the last line takes the background colour";
    EXPECT_EQ(qrcrt::cursorRow(), 25);
}

TEST_F(Screen, ScrollOnAScreenThatKeepsItsCellsPaintsOnlyTheNewLine) {
    // The terminal keeps its cells: a scroll moves them and paints nothing
    // but the line written after it, however full the screen.
    platform::headless::setKeepsContents(true);
    qrcrt::openScreen();
    for (int i = 1; i <= 25; ++i) write(std::string(70, 'a' + i % 26) + "\r\n");
    platform::headless::clearDrawCalls();
    write("fim");
    const auto draws = platform::headless::drawCalls();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].substr(draws[0].find(':')), ":fim");
    write("\r\n");
    const auto pixels = platform::headless::pixelCalls();
    ASSERT_FALSE(pixels.empty());
    EXPECT_EQ(pixels.front().rfind("copy", 0), 0u) << pixels.front();
    EXPECT_EQ(platform::headless::drawCalls().size(), 1u) << "no repaint of the scrolled rows";
    EXPECT_EQ(row(24), "fim");
}

TEST_F(Screen, MoveCursorClamps) {
    struct Case {
        int column, row, wantColumn, wantRow;
    };
    const Case cases[] = {
        {10, 5, 10, 5}, {0, 0, 1, 1}, {-7, -3, 1, 1}, {81, 26, 80, 25}, {1000, 1000, 80, 25}, {80, 25, 80, 25},
    };
    for (const auto& c : cases) {
        qrcrt::moveCursor(c.column, c.row);
        EXPECT_EQ(qrcrt::cursorColumn(), c.wantColumn) << c.column << "," << c.row;
        EXPECT_EQ(qrcrt::cursorRow(), c.wantRow) << c.column << "," << c.row;
    }
}

TEST_F(Screen, CellsOutsideTheScreenAnswerSpaceAndZero) {
    qrcrt::openScreen();
    write("A");
    EXPECT_EQ(qrcrt::screenChar(1, 1), 'A');
    EXPECT_EQ(qrcrt::screenAttr(1, 1), qrcrt::currentAttribute());
    const std::pair<int, int> outside[] = {{0, 1}, {26, 1}, {1, 0}, {1, 81}, {-1, -1}, {100000, 5}};
    for (auto [r, c] : outside) {
        EXPECT_EQ(qrcrt::screenChar(r, c), ' ') << r << "," << c;
        EXPECT_EQ(qrcrt::screenAttr(r, c), 0) << r << "," << c;
    }
}

TEST_F(Screen, ClearToLineEndBlanksTheRestOfTheRow) {
    write("abcdef\r\nsecond");
    qrcrt::moveCursor(3, 1);
    qrcrt::setBackground(2);
    qrcrt::clearToLineEnd();
    EXPECT_EQ(row(1), "ab");
    EXPECT_EQ(row(2), "second");
    EXPECT_EQ(qrcrt::screenAttr(1, 3) >> 4, 2);
    EXPECT_EQ(qrcrt::screenAttr(1, 80) >> 4, 2);
    EXPECT_EQ(qrcrt::screenAttr(1, 2) >> 4, 0);
}

TEST_F(Screen, AttributeAndColoursFromSettings) {
    struct Case {
        const char* ini;
        std::uint8_t attribute;
        bool fixed;
    };
    const Case cases[] = {
        {"", 0x0F, false},
        {"[VIDEO]\nCORFUNDO=1\nCORLETRA=14\n", 0x1E, false},
        {"[VIDEO]\nCORLETRA=\n", 0x07, false},
        {"[VIDEO]\nCORLETRA=abc\nCORFUNDO=x\n", 0x0F, false},
        {"[VIDEO]\nCORESFIXAS=S\n", 0x0F, true},
        {"[VIDEO]\nCORESFIXAS=sim\nCORFUNDO=4\n", 0x4F, true},
        {"[VIDEO]\nCORESFIXAS=N\n", 0x0F, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        qrcrt::resetForTests();
        settings(c.ini);
        qrcrt::openScreen();
        EXPECT_EQ(qrcrt::currentAttribute(), c.attribute);
        qrcrt::setBackground(3);
        std::uint8_t want = c.fixed ? c.attribute : static_cast<std::uint8_t>((c.attribute & 0x0F) | 0x30);
        EXPECT_EQ(qrcrt::currentAttribute(), want);
    }
}

TEST_F(Screen, ColourTableFromTabcores) {
    const platform::Rgb black{0, 0, 0}, blue{0, 0, 255}, green{0, 255, 0}, cyan{0, 255, 255}, red{255, 0, 0},
        grey{192, 192, 192}, white{255, 255, 255};
    struct Case {
        const char* value;
        std::vector<platform::Rgb> first;  // colourOf(0), colourOf(1), ...
    };
    const Case cases[] = {
        {"4,2", {red, green, green, cyan}},
        {"1,x,3", {blue, black, green, cyan}},     // an invalid entry takes 0 and ends the list
        {"7a,4", {grey, blue, green}},             // leading digits, then stop
        {"2,", {green, black, green}},             // the empty entry after the comma is 0
        {"15,15,15", {white, white, white, cyan}},
        {"20,999999999999", {black, black, green}},  // above 15 paints black
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        qrcrt::resetForTests();
        settings(std::string("[VIDEO]\nTABCORES=") + c.value + "\n");
        qrcrt::openScreen();
        for (std::size_t i = 0; i < c.first.size(); ++i) EXPECT_EQ(qrcrt::colourOf(static_cast<int>(i)), c.first[i]) << i;
        EXPECT_EQ(qrcrt::colourOf(15), white);
    }
}

TEST_F(Screen, WindowShapeFromSettings) {
    struct Case {
        const char* ini;
        bool maximised;
    };
    const Case cases[] = {
        {"", false},
        {"[VIDEO]\nCANTOTELA=SIM\n", false},
        {"[VIDEO]\nCANTOTELA=s\n", false},
        {"[VIDEO]\nCANTOTELA=NAO\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        qrcrt::resetForTests();
        platform::headless::reset();
        settings(c.ini);
        qrcrt::openScreen();
        EXPECT_TRUE(platform::headless::windowOpen());
        EXPECT_EQ(platform::headless::windowMaximised(), c.maximised);
    }
}

TEST_F(Screen, PaintingDrawsOneRunPerAttribute) {
    qrcrt::openScreen();
    write("ab");
    qrcrt::setBackground(1);
    write("cd");
    qrcrt::setBackground(0);
    write("e");
    platform::headless::clearDrawCalls();
    platform::invalidate(qrcrt::windowHandle());
    platform::updateWindow(qrcrt::windowHandle());
    auto calls = platform::headless::drawCalls();
    ASSERT_EQ(calls.size(), 25u + 2u) << "three runs on row 1, one on every other row";
    // Cell metrics come from the font; find the width from the second run's x.
    auto xOf = [](const std::string& call) { return std::stoi(call.substr(0, call.find(','))); };
    int cell = xOf(calls[1]) / 2;
    ASSERT_GT(cell, 0);
    EXPECT_EQ(calls[0].substr(calls[0].find(':')), ":ab");
    EXPECT_NE(calls[0].find("ffffff,000000"), std::string::npos) << calls[0];
    EXPECT_EQ(calls[1].substr(calls[1].find(':')), ":cd");
    EXPECT_NE(calls[1].find("ffffff,0000ff"), std::string::npos) << calls[1];
    EXPECT_EQ(xOf(calls[2]), 4 * cell);
    EXPECT_EQ(calls[2].substr(calls[2].find(':')), ":e" + std::string(75, ' '));
}

TEST_F(Screen, WritingRepaintsOnlyTheChangedSpan) {
    qrcrt::openScreen();
    write("hello");
    platform::headless::clearDrawCalls();
    qrcrt::moveCursor(3, 1);
    write("LL");
    auto calls = platform::headless::drawCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].substr(calls[0].find(':')), ":LL");
}

TEST_F(Screen, SizeLimits) {
    qrcrt::openScreen();
    platform::MinMaxInfo info;
    platform::sendMessage(qrcrt::windowHandle(), platform::WM_GETMINMAXINFO, 0,
                          reinterpret_cast<platform::LParam>(&info));
    const auto m = platform::systemMetrics();
    // The window opens on the whole screen: its client area gives the cell.
    const auto client = platform::clientRect(qrcrt::windowHandle());
    const int cw = client.width() / qrcrt::screenColumns, ch = client.height() / qrcrt::screenRows;
    ASSERT_GT(cw, 0);
    ASSERT_GT(ch, 0);
    ASSERT_NE(cw, ch) << "the cell must tell width from height";
    // At most the screen (or the display), at least 16 cells by 4 rows.
    EXPECT_EQ(info.maxWidth, std::min(80 * cw, m.displayWidth) + 2 * m.frameWidth);
    EXPECT_EQ(info.maxHeight, std::min(m.captionHeight + 25 * ch, m.displayHeight) + 2 * m.frameHeight);
    EXPECT_EQ(info.minTrackWidth, 16 * cw + 2 * m.frameWidth);
    EXPECT_EQ(info.minTrackHeight, 4 * ch + 2 * m.frameHeight + m.captionHeight);
}

// On a 1024-pixel work area the cell taken from it (13 wide) would push the
// 80th column out of the window: it is cut to what fits; a configured size
// is kept.
TEST_F(Screen, CellFitsTheWorkArea) {
    struct Case {
        const char* video;
        std::pair<int, int> asked;
    };
    const Case cases[] = {{"", {12, 28}}, {"LARGURALETRA=13\nALTURALETRA=30\n", {13, 30}}};
    for (const Case& c : cases) {
        support::freshSystem(support::Sound::untouched);
        settings(std::string("[VIDEO]\n") + c.video);
        qrcrt::openScreen();
        EXPECT_EQ(platform::headless::fontAsked(), c.asked) << c.video;
    }
}

TEST_F(Screen, MagnifierFollowsTheMouse) {
    settings("[VIDEO]\nAMPLIF=0\n");  // 0 would leave no view: it takes 2
    qrcrt::openScreen();
    platform::headless::clearDrawCalls();
    platform::headless::mouse(platform::WM_RBUTTONDOWN, 100, 60);
    platform::headless::mouse(platform::WM_MOUSEMOVE, 10, 4);
    platform::headless::mouse(platform::WM_RBUTTONUP, 10, 4);
    platform::headless::mouse(platform::WM_MOUSEMOVE, 30, 30);  // no longer magnifying
    qrcrt::pumpMessages();
    auto client = platform::clientRect(qrcrt::windowHandle());
    auto calls = platform::headless::pixelCalls();
    std::vector<std::string> want = {
        "capture",
        "stretch 50,30," + std::to_string(50 + client.width() / 2) + "," + std::to_string(30 + client.height() / 2),
        "stretch 5,2," + std::to_string(5 + client.width() / 2) + "," + std::to_string(2 + client.height() / 2),
        "release",
    };
    EXPECT_EQ(calls, want);
}

TEST_F(Screen, TitleIsTheProgramPath) {
    // The path of this very program, in Windows-1252, cut to 80 characters.
    qrcrt::openScreen();
    const std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(platform::headless::windowTitle(), platform::utf8ToCp1252(exe).substr(0, 80));
}

TEST_F(Screen, StandardOutputAndLineInput) {
    qrcrt::writeText("Nome: ");
    EXPECT_EQ(row(1), "Nome:");
    qrcrt::writeLine(std::string(200, 'z'));  // longer than the 128-byte buffer
    EXPECT_EQ(row(3), std::string(46, 'z'));
    EXPECT_EQ(qrcrt::cursorRow(), 4);
    for (char c : std::string("abx")) platform::headless::character(static_cast<std::uint8_t>(c));
    platform::headless::character(8);
    platform::headless::keyDown(platform::VK_UP);  // 0, 72: no 'H' in the line
    platform::headless::character('c');
    platform::headless::character(13);
    EXPECT_EQ(qrcrt::readLine(), "abc");
    EXPECT_EQ(row(4), "abc");
    EXPECT_EQ(qrcrt::cursorRow(), 5);
}

TEST_F(Screen, ReadBlockStopsStoringAtSizeLessTwo) {
    for (char c : std::string("abcdef")) platform::headless::character(static_cast<std::uint8_t>(c));
    platform::headless::character(13);
    char buffer[5] = {};
    ASSERT_EQ(qrcrt::readBlock(buffer, sizeof buffer), 5u);
    EXPECT_EQ(std::string(buffer, 5), "abc\r\n");
    EXPECT_EQ(qrcrt::readBlock(buffer, 1), 0u) << "no room for the line end";
}

TEST_F(Screen, Clipboard) {
    qrcrt::copyToClipboard(std::string("um\0dois", 7));
    char buffer[3];
    qrcrt::pasteFromClipboard(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "um");
    qrcrt::pasteFromClipboard(buffer, 2);
    EXPECT_STREQ(buffer, "u");
    EXPECT_EQ(qrcrt::pasteFromClipboard(256), "um");
    qrcrt::pasteFromClipboard(buffer, 0);  // nothing, no crash
}

TEST_F(Screen, CloseButtonEndsWithZero) {
    qrcrt::openScreen();
    platform::headless::closeButton();
    try {
        qrcrt::keyWaiting();
        FAIL() << "the close button must end the program";
    } catch (const ProcessExit& e) {
        EXPECT_EQ(e.code, 0);
    }
    EXPECT_EQ(qrcrt::windowHandle(), 0u);
    EXPECT_FALSE(platform::headless::windowOpen());
}

TEST_F(Screen, CloseScreenEmptiesTheQueueAndEndsWithZero) {
    platform::headless::character('a');
    qrcrt::keyWaiting();
    try {
        qrcrt::closeScreen();
    } catch (const ProcessExit& e) {
        EXPECT_EQ(e.code, 0);
    }
    EXPECT_EQ(qrcrt::queuedKeys(), 0u);
    EXPECT_FALSE(platform::headless::windowOpen());
}

TEST_F(Screen, NoticesReachTheArmedHandler) {
    qrcrt::openScreen();
    std::vector<std::uint32_t> seen;
    qrcrt::setNoticeHandler([&](std::uint32_t m, platform::WParam, platform::LParam) { seen.push_back(m); }, false);
    platform::postMessage(qrcrt::windowHandle(), platform::MM_WOM_DONE, 1, 2);
    qrcrt::pumpMessages();
    EXPECT_TRUE(seen.empty());
    qrcrt::armNoticeHandler(true);
    platform::postMessage(qrcrt::windowHandle(), platform::MM_WOM_DONE, 1, 2);
    platform::postMessage(qrcrt::windowHandle(), platform::MM_MCINOTIFY, 1, 2);
    qrcrt::pumpMessages();
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{platform::MM_WOM_DONE, platform::MM_MCINOTIFY}));
}

TEST_F(Screen, HookSeesMessagesFirst) {
    qrcrt::openScreen();
    std::vector<std::uint32_t> seen;
    qrcrt::setMessageHook([&](const platform::Msg& m) {
        seen.push_back(m.message);
        return m.message == platform::WM_CHAR;  // claims characters
    });
    platform::headless::character('x');
    platform::postMessage(0, 2980);
    EXPECT_FALSE(qrcrt::keyWaiting());
    EXPECT_NE(std::find(seen.begin(), seen.end(), platform::WM_CHAR), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), 2980u), seen.end());
}

}  // namespace
