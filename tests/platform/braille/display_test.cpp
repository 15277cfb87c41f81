// The braille display: the table of cells, the stretch of the cursor's row
// the display shows and its panning and line keys, braille typed on it, its
// routing keys, and the BrlAPI key codes those come from.
#include <algorithm>
#include <set>

#include "console/console_fixture.hpp"
#include "platform/braille/braille_fixture.hpp"

#ifdef QUORIL_HAVE_BRLAPI
#include <brlapi.h>
#endif

using Key = platform::braille::Key;

TEST(BrailleTable, EveryByteHasACellOfItsOwn) {
    std::set<int> cells;
    for (int c = 0; c < 256; ++c) {
        const std::uint8_t cell = qrcrt::brailleCell(static_cast<std::uint8_t>(c));
        cells.insert(cell);
        EXPECT_EQ(qrcrt::brailleCharacter(cell), c) << "byte " << c;
    }
    EXPECT_EQ(cells.size(), 256u);
    struct Case {
        int c;
        int cell;
    };
    // The six-dot cells are those of the braille keyboard's chords; dot 7
    // makes a capital, dot 8 a digit, dots 7 and 8 a control character.
    const Case cases[] = {
        {' ', 0},       {'a', 1},      {'b', 12},     {'\'', 3},      {'#', 3456}, {0xE1, 12356},  // á
        {0xE7, 12346}, {0xE3, 345}, {'A', 17},     {0xC1, 123567}, {0xC7, 123467}, {'1', 18},
        {'0', 2458},    {'\x01', 178}, {'.', 38},     {'(', 1268},    {')', 3458},
    };
    for (const Case& k : cases) EXPECT_EQ(qrcrt::brailleCell(static_cast<std::uint8_t>(k.c)), dots(k.cell)) << "byte " << k.c;
}

class BrailleDisplay : public ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        qrcrt::openScreen();
        qrcrt::setBrailleDisplay(&display_);
    }
    void TearDown() override {
        qrcrt::setBrailleDisplay(nullptr);
        ConsoleTest::TearDown();
    }
    // Pumps (which refreshes the display) and answers the text shown.
    std::string shown() {
        qrcrt::pumpMessages();
        return display_.lines.empty() ? std::string() : display_.last().text;
    }
    static std::string columns(const std::string& row, int from, int to) {
        std::string s = row.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(to - from + 1));
        s.resize(40, ' ');
        return s;
    }
    FakeDisplay display_;
};

TEST_F(BrailleDisplay, ShowsTheStretchOfTheCursorRowAndPans) {
    std::string row;
    for (int i = 0; i < 80; ++i) row += static_cast<char>('A' + i % 26);
    qrcrt::moveCursor(1, 3);
    write(row);
    qrcrt::moveCursor(1, 2);
    write("linha dois");
    struct Case {
        int width, column, row;
        std::vector<Key::Kind> keys;
        std::string text;
        int cursor;
    };
    const std::string left = columns(row, 1, 40), right = columns(row, 41, 80);
    const Case cases[] = {
        {40, 10, 3, {}, left, 9},
        {40, 50, 3, {}, right, 9},
        {40, 81, 3, {}, right, 39},  // past the edge: on the last cell
        {40, 10, 3, {Key::panRight}, right, -1},
        {40, 10, 3, {Key::panRight, Key::panRight}, right, -1},
        {40, 10, 3, {Key::panLeft}, left, 9},
        {40, 50, 3, {Key::panLeft, Key::panRight}, right, 9},
        {40, 10, 3, {Key::lineUp}, columns("linha dois", 1, 10), -1},
        {40, 10, 3, {Key::lineUp, Key::lineDown, Key::lineDown}, std::string(40, ' '), -1},
        {40, 10, 3, {Key::panRight, Key::toCursor}, left, 9},
        {40, 10, 1, {Key::lineUp}, std::string(40, ' '), 9},
        {32, 70, 3, {}, row.substr(64) + std::string(16, ' '), 5},
        {32, 70, 3, {Key::panRight}, row.substr(64) + std::string(16, ' '), 5},
        {80, 70, 3, {Key::panRight}, row, 69},
    };
    for (const Case& c : cases) {
        display_.width = c.width;
        display_.press(Key::columns, static_cast<std::uint32_t>(c.width));
        qrcrt::moveCursor(1, 1);
        shown();
        qrcrt::moveCursor(std::min(c.column, 80), c.row);
        if (c.column > 80) write(std::string(1, row[79]));
        shown();
        for (Key::Kind k : c.keys) display_.press(k);
        const std::string text = shown();
        EXPECT_EQ(text, c.text.substr(0, static_cast<std::size_t>(c.width)).append(
                            static_cast<std::size_t>(std::max(0, c.width - static_cast<int>(c.text.size()))), ' '))
            << "column " << c.column << ", " << c.keys.size() << " keys";
        EXPECT_EQ(display_.last().cursor, c.cursor) << "column " << c.column;
        for (std::size_t i = 0; i < text.size(); ++i)
            ASSERT_EQ(display_.last().cells[i], qrcrt::brailleCell(static_cast<std::uint8_t>(text[i])));
    }
    // A move of the cursor brings the display back to it.
    display_.width = 40;
    display_.press(Key::columns, 40);
    qrcrt::moveCursor(10, 3);
    shown();
    display_.press(Key::panRight);
    EXPECT_EQ(shown(), right);
    write("x");
    EXPECT_EQ(shown().substr(0, 12), row.substr(0, 9) + "xKL");
    EXPECT_EQ(display_.last().cursor, 10);
    const std::size_t sent = display_.lines.size();
    EXPECT_EQ(shown(), display_.last().text);
    EXPECT_EQ(display_.lines.size(), sent) << "an unchanged line is not sent again";
}

TEST_F(BrailleDisplay, TypedBrailleQueuesWhatTheChordsGive) {
    struct Case {
        int mode;
        std::vector<Key> keys;
        std::vector<int> queued;
    };
    const std::uint32_t space = platform::braille::chordSpace;
    const Case cases[] = {
        {0, {{Key::dots, dots(12)}}, {'b'}},
        {0, {{Key::dots, dots(3)}}, {'\''}},
        {0, {{Key::dots, 0}}, {' '}},
        {0, {{Key::dots, space}}, {' '}},
        {0, {{Key::dots, space | dots(1)}}, {1}},
        {0, {{Key::dots, dots(17)}, {Key::dots, dots(18)}, {Key::dots, dots(38)}}, {'A', '1', '.'}},
        {0, {{Key::character, 'x'}, {Key::special, platform::VK_RETURN}, {Key::special, platform::VK_LEFT}},
         {'x', 13, 0, 75}},
        {0, {{Key::special, platform::VK_F12}, {Key::special, platform::VK_BACK}}, {0, 70, 8}},
        {2, {{Key::dots, dots(46)}, {Key::dots, dots(1)}, {Key::dots, dots(1)}}, {'A', 'a'}},
        {2, {{Key::dots, dots(3456)}, {Key::dots, dots(1)}, {Key::dots, dots(12)}, {Key::dots, dots(3)}},
         {'1', '2', '.'}},
    };
    int mode = 0;
    for (const Case& c : cases) {
        if (c.mode != mode) qrcrt::setBrailleMode(mode = c.mode);
        drain();
        for (const Key& k : c.keys) display_.press(k.kind, k.value);
        EXPECT_EQ(drain(), c.queued) << "mode " << c.mode << ", first key " << c.keys[0].value;
    }
}

TEST_F(BrailleDisplay, ARoutingKeyTellsTheCellItStoodFor) {
    qrcrt::moveCursor(50, 7);
    shown();
    struct Case {
        std::uint32_t cell;
        std::vector<int> queued;
        int column;
    };
    const Case cases[] = {{5, {0, qrcrt::routingKeyCode}, 46}, {0, {0, qrcrt::routingKeyCode}, 41},
                          {39, {0, qrcrt::routingKeyCode}, 80}, {40, {}, 80}};
    for (const Case& c : cases) {
        display_.press(Key::route, c.cell);
        EXPECT_EQ(drain(), c.queued) << "cell " << c.cell;
        EXPECT_EQ(qrcrt::routedColumn(), c.column) << "cell " << c.cell;
        EXPECT_EQ(qrcrt::routedRow(), 7);
    }
    display_.press(Key::lineUp);
    display_.press(Key::route, 0);
    drain();
    EXPECT_EQ(qrcrt::routedRow(), 6) << "the row the display shows";
}

#ifdef QUORIL_HAVE_BRLAPI
TEST(BrlapiKeys, CodesBecomeTheKeysOfTheDisplay) {
    // The cells a server's table gives: b is dots 12, space no dots.
    std::uint8_t row[256] = {};
    row[static_cast<unsigned char>('b')] = dots(12);
    row[static_cast<unsigned char>('.')] = dots(3);
    struct Case {
        std::uint64_t code;
        bool withRow;
        bool known;
        Key key;
    };
    const std::uint64_t cmd = BRLAPI_KEY_TYPE_CMD;
    const Case cases[] = {
        {cmd | BRLAPI_KEY_CMD_FWINRT, false, true, {Key::panRight, 0}},
        {cmd | BRLAPI_KEY_CMD_FWINLTSKIP, false, true, {Key::panLeft, 0}},
        {cmd | BRLAPI_KEY_CMD_LNDN, false, true, {Key::lineDown, 0}},
        {cmd | BRLAPI_KEY_CMD_RETURN, false, true, {Key::toCursor, 0}},
        {cmd | BRLAPI_KEY_CMD_ROUTE | 5, false, true, {Key::route, 5}},
        {cmd | BRLAPI_KEY_CMD_PASSDOTS | 0x41, false, true, {Key::dots, 0x41}},
        {cmd | BRLAPI_KEY_CMD_PASSDOTS | BRLAPI_DOTC | 1, false, true, {Key::dots, 0x101}},
        {cmd | BRLAPI_KEY_CMD_PREFMENU, false, false, {}},
        {'b', true, true, {Key::dots, dots(12)}},
        {'.', true, true, {Key::dots, dots(3)}},
        {' ', true, true, {Key::dots, 0}},
        {'b', false, true, {Key::character, 'b'}},
        {0xE9, false, true, {Key::character, 0xE9}},
        {BRLAPI_KEY_SYM_UNICODE | 0x20AC, true, true, {Key::character, 0x80}},
        {BRLAPI_KEY_SYM_UNICODE | 0x4E2D, true, false, {}},
        {BRLAPI_KEY_FLG_CONTROL | 'c', true, true, {Key::character, 3}},
        {BRLAPI_KEY_SYM_BACKSPACE, true, true, {Key::special, platform::VK_BACK}},
        {BRLAPI_KEY_SYM_LINEFEED, true, true, {Key::special, platform::VK_RETURN}},
        {BRLAPI_KEY_SYM_FUNCTION + 2, true, true, {Key::special, platform::VK_F3}},
    };
    for (const Case& c : cases) {
        Key key{};
        EXPECT_EQ(platform::braille::keyFromCode(c.code, c.withRow ? row : nullptr, key), c.known)
            << std::hex << c.code;
        if (c.known) {
            EXPECT_EQ(key, c.key) << std::hex << c.code;
        }
    }
}
#endif
