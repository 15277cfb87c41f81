// The routing keys of the braille display move the line editor's cursor to
// the character under them, and the review cursor to the cell.
#include "platform/braille/braille_fixture.hpp"
#include "speaking/lineinput_fixture.hpp"

using Key = platform::braille::Key;
using Log = std::vector<std::string>;

class DisplayRouting : public EchoTest {
protected:
    void SetUp() override {
        EchoTest::SetUp();
        qrcrt::setBrailleDisplay(&display_);
    }
    void TearDown() override {
        qrcrt::setBrailleDisplay(nullptr);
        EchoTest::TearDown();
    }
    FakeDisplay display_;
};

TEST_F(DisplayRouting, MovesTheEditorsCursorOverTheField) {
    letters("abcdef x");
    struct Case {
        std::vector<Key> keys;  // pressed once the field is on the display
        std::string text;
        Log heard;
    };
    const Case cases[] = {
        {{{Key::route, 4}}, "abxcdef", {"play c"}},       // column 5 of a field from column 3
        {{{Key::route, 2}}, "xabcdef", {"play a"}},
        {{{Key::route, 12}}, "abcdef    x", {"play  "}},  // a blank inside the field
        {{{Key::route, 1}}, "xabcdef", {"warning"}},      // left of the field
        {{{Key::lineUp}, {Key::route, 4}}, "xabcdef", {"warning"}},
    };
    for (const Case& c : cases) {
        log_.clear();
        display_.onShow = [&](const FakeDisplay::Line&) {
            for (const Key& k : c.keys) display_.press(k.kind, k.value);
        };
        type("x\r");
        std::string text = "abcdef";
        EXPECT_EQ(speaking::editLineSpoken(text, 3, 5, true, 40, 60), 13);
        EXPECT_EQ(text, c.text) << c.keys.back().value;
        ASSERT_FALSE(log_.empty());
        EXPECT_EQ(log_.front(), c.heard.front()) << c.keys.back().value;
    }
}

TEST_F(DisplayRouting, MovesTheReviewCursorToTheCell) {
    put(41, 3, "zero um dois");
    qrcrt::moveCursor(50, 3);
    qrcrt::pumpMessages();  // the display shows columns 41 to 80 of row 3
    sound("_117", "u");
    afterBlock_ = [&](std::size_t n) {
        if (n == 1) display_.press(Key::route, 5);  // column 46, after the entry signal
    };
    key('K', platform::MOD_CTRL);
    type("\x1b");
    log_.clear();
    review::reviewScreen();
    afterBlock_ = nullptr;
    Log heard{"warning", "play u"};
    for (const std::string& piece : said("3 46")) heard.push_back(piece);
    heard.insert(heard.end(), {"warning", "warning"});
    EXPECT_EQ(log_, heard);
}
