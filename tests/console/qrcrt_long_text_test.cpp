// Texts longer than the screen: only what stays visible is drawn, and the
// screen ends up as writing every byte one at a time leaves it.
#include "console_fixture.hpp"

namespace {

using LongText = ConsoleTest;

struct Screen {
    std::vector<std::uint8_t> chars, attrs;
    int column = 0, row = 0;
    bool operator==(const Screen&) const = default;
};

Screen snapshot() {
    Screen s;
    for (int r = 1; r <= qrcrt::screenRows; ++r)
        for (int c = 1; c <= qrcrt::screenColumns; ++c) {
            s.chars.push_back(qrcrt::screenChar(r, c));
            s.attrs.push_back(qrcrt::screenAttr(r, c));
        }
    s.column = qrcrt::cursorColumn();
    s.row = qrcrt::cursorRow();
    return s;
}

std::string pattern(std::size_t n, const std::string& extra = "", std::size_t every = 0) {
    std::string t;
    for (std::size_t i = 0; t.size() < n; ++i) {
        if (every && i % every == every - 1) t += extra;
        t += static_cast<char>(i % 9 == 8 ? ' ' : 'a' + i % 26);
    }
    return t.substr(0, n);
}

TEST_F(LongText, EndsAsWritingByteByByteWould) {
    struct Case {
        const char* name;
        std::string before;  // written first, the same way in both runs
        std::string text;
    };
    const Case cases[] = {
        {"from the top-left corner", "", pattern(5000)},
        {"from the middle of a row", "\r\n\r\nprimeira linha\r\nmeio", pattern(2001)},
        {"from past the right edge", std::string(25, '\n') + std::string(80, 'z'), pattern(4000)},
        {"with ignored control bytes", "ab", pattern(6000, "\t\x01\x1b", 7)},
        {"ignored bytes keep it short of the bottom", "", pattern(2100, "\t", 10)},
        {"broken by CR, backspace, bell and LF", "x", pattern(3000) + "\r" + pattern(2500) + "\b\b\a" +
                                                          pattern(9000) + "\n" + pattern(2100)},
        {"Latin-1 letters", "", pattern(3000, "\xe7\xe3", 5)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Screen whole, oneByOne;
        int beepsWhole = 0;
        for (int run = 0; run < 2; ++run) {
            qrcrt::resetForTests();
            platform::headless::reset();
            qrcrt::openScreen();
            write(c.before);
            qrcrt::setBackground(2);
            if (run == 0) {
                write(c.text);
                whole = snapshot();
                beepsWhole = platform::headless::beeps();
            } else {
                for (char ch : c.text) qrcrt::writeChar(static_cast<std::uint8_t>(ch));
                oneByOne = snapshot();
                EXPECT_EQ(platform::headless::beeps(), beepsWhole);
            }
        }
        EXPECT_EQ(whole.column, oneByOne.column);
        EXPECT_EQ(whole.row, oneByOne.row);
        EXPECT_TRUE(whole == oneByOne) << "the cells differ";
    }
}

TEST_F(LongText, DrawsOnlyWhatStaysVisible) {
    qrcrt::openScreen();
    platform::headless::clearDrawCalls();
    const std::string text = pattern(3'000'000);
    qrcrt::writeText(text);
    // Scrolling through it row by row would repaint the screen 37500 times.
    EXPECT_LT(platform::headless::drawCalls().size(), 25u * 8) << "more than a few repaints";
    const auto trimmed = [](std::string r) { return r.erase(r.find_last_not_of(' ') + 1); };
    EXPECT_EQ(row(25), trimmed(text.substr(text.size() - 80)));
    EXPECT_EQ(row(1), trimmed(text.substr(text.size() - 25 * 80, 80)));
    EXPECT_EQ(qrcrt::cursorColumn(), 81);
}

}  // namespace
