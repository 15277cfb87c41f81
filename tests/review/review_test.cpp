// The screen review mode: reading by word and range, fields, moves at the
// edges with their bounds check, jumps, searches, the screen copy, and the
// rows handed whole to a speech server.
#include <algorithm>

#include "speaking/lineinput_fixture.hpp"

using platform::MOD_CTRL;
using Log = std::vector<std::string>;

namespace {

bool serverStarted(int, int, int, const std::string&) { return true; }
void serverSpeak(const std::string&) {}
bool serverBusy(std::uint8_t) { return false; }

}  // namespace

class Review : public EchoTest {
protected:
    // Runs the review mode from (column, row) with the keys scripted so far
    // and Esc after them; answers what was heard between the entry signal
    // and the two exit signals.
    Log review(int column, int row) {
        type("\x1b");
        qrcrt::moveCursor(std::min(column, 80), row);
        // Column 81: just after writing the row's last cell.
        if (column > 80) qrcrt::writeChar(qrcrt::screenChar(row, 80));
        log_.clear();
        review::reviewScreen();
        EXPECT_GE(log_.size(), 3u);
        EXPECT_EQ(log_.front(), "warning");
        EXPECT_EQ(log_.back(), "warning");
        EXPECT_EQ(log_[log_.size() - 2], "warning");
        EXPECT_EQ(qrcrt::cursorColumn(), std::min(column, 80)) << "the console cursor is back";
        EXPECT_EQ(qrcrt::cursorRow(), row);
        if (log_.size() < 3) return {};
        return Log(log_.begin() + 1, log_.end() - 2);
    }
    // What Ctrl+K says for a position.
    Log position(int row, int column) { return said(std::to_string(row) + " " + std::to_string(column)); }
    static Log join(std::initializer_list<Log> parts) {
        Log all;
        for (const Log& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    }
    static void sayPosition() { key('K', MOD_CTRL); }
};

TEST_F(Review, F1ReadsWordByWord) {
    put(1, 3, "abc  BRT  12,5");
    keys(platform::VK_F1, 5);
    EXPECT_EQ(review(1, 3), join({said("abc"), spelled("BRT"), said("12"), said(","), said("5")}));
}

TEST_F(Review, ARunOfOneSymbolIsVoicedAsThree) {
    put(1, 3, "-----x");
    key(platform::VK_F1);
    sayPosition();
    EXPECT_EQ(review(1, 3), join({said("---"), position(3, 6)}));
}

TEST_F(Review, F1AtTheRowEndGoesToItsEnd) {
    put(75, 2, "fim");
    keys(platform::VK_F1, 2);
    sayPosition();
    // The second F1 finds nothing more on the row: click, then the row's end.
    EXPECT_EQ(review(75, 2), join({said("fim"), {"click"}, position(2, 78)}));
}

TEST_F(Review, TwoKeyCommands) {
    put(1, 4, "um dois");
    put(1, 5, "tres|quatro cinco|seis");
    put(1, 6, "sete");
    struct Case {
        const char* keys;
        int column;
        Log heard;
    };
    const Log click{"click"};
    const Case cases[] = {
        {"tl", 8, join({said("tres"), said("|"), said("quatro"), said("cinco"), said("|"), said("seis"), click})},
        {"LL", 8, join({said("tres"), said("|"), said("quatro"), said("cinco"), said("|"), said("seis"), click})},
        {"fl", 13, join({said("cinco"), said("|"), said("seis"), click})},
        {"il", 13, join({said("tres"), said("|"), said("quatro"), click})},
        {"il", 1, {"warning"}},  // an empty range
        {"tc", 8, join({said("quatro"), said("cinco"), click})},
        {"ic", 8, join({said("quatro"), click})},  // the word at the column is read whole
        {"fc", 13, join({said("cinco"), click})},
        {"tc", 5, {"warning"}},  // on the separator: an empty field
        {"it", 3, join({click, click, click, said("um"), said("dois"), click, said("tres"), click})},
        {"ft", 13, join({said("cinco"), said("|"), said("seis"), click, said("sete"), click, Log(19, "click")})},
        {"x", 1, {"warning", "click", "warning"}},  // no second key is read
        {"tx", 1, {"warning", "click", "warning"}},
    };
    for (const Case& c : cases) {
        type(c.keys);
        EXPECT_EQ(review(c.column, 5), c.heard) << c.keys << " at " << c.column;
    }
}

TEST_F(Review, ReadingARangeStopsAtAKey) {
    put(1, 1, "um dois tres quatro");
    // The second key is pressed while the first word is spoken.
    bool pressed = false;
    speaking::setSynthesizerForTests([] { return 0; }, [&](const std::string&) {
        if (!pressed) {
            pressed = true;
            key(platform::VK_HOME);
            platform::headless::setKeysWhenWaiting(false);
        }
    });
    type("tl");
    Log heard = review(1, 1);
    platform::headless::setKeysWhenWaiting(true);
    EXPECT_EQ(heard, said("um"));
}

TEST_F(Review, FieldsAndTab) {
    put(1, 2, "nome: Ana");
    put(1, 3, "a|b");
    put(1, 4, std::string(77, '-') + "|x|");
    key(platform::VK_TAB);
    sayPosition();
    EXPECT_EQ(review(1, 3), join({{"click"}, position(3, 3)}));
    // The last field reaches column 80: the row's end instead of a click.
    key(platform::VK_TAB);
    sayPosition();
    EXPECT_EQ(review(7, 2), position(2, 10));
    key(platform::VK_TAB);
    sayPosition();
    EXPECT_EQ(review(79, 4), position(4, 81)) << "a field ending at 79 has no room after its separator";
    key(platform::VK_F1, MOD_CTRL);
    EXPECT_EQ(review(8, 2), join({said("Ana"), {"click"}}));
}

TEST_F(Review, FieldsEndWhereTheAttributeChanges) {
    put(1, 2, "ab");
    qrcrt::setBackground(2);
    put(3, 2, "cd");
    qrcrt::setBackground(0);
    put(5, 2, "ef");
    key(platform::VK_TAB);
    sayPosition();
    EXPECT_EQ(review(4, 2), join({{"click"}, position(2, 6)}));
}

TEST_F(Review, MovesAtTheEdges) {
    letters(" a");
    put(1, 1, "a");
    struct Case {
        std::vector<std::uint32_t> vks;
        int column, row;
        Log heard;  // before the position is said
        int endRow, endColumn;
    };
    const Case cases[] = {
        {{platform::VK_LEFT}, 1, 1, {"warning", "warning"}, 1, 1},
        {{platform::VK_BACK}, 1, 1, {"warning", "warning"}, 1, 1},
        {{platform::VK_RIGHT}, 81, 1, {"play  ", "warning"}, 1, 80},
        {{platform::VK_RIGHT}, 1, 1, {"play a"}, 1, 2},
        {{platform::VK_LEFT}, 2, 1, {"play a"}, 1, 1},
        {{platform::VK_UP}, 1, 1, {"warning"}, 1, 1},
        {{platform::VK_RETURN}, 1, 25, {"click", "warning"}, 25, 1},
        {{platform::VK_DOWN}, 1, 25, {"click", "warning"}, 25, 1},
        {{platform::VK_END}, 40, 1, {}, 1, 2},
        {{platform::VK_HOME}, 40, 1, {}, 1, 1},
    };
    for (const Case& c : cases) {
        for (std::uint32_t vk : c.vks) key(vk);
        sayPosition();
        EXPECT_EQ(review(c.column, c.row), join({c.heard, position(c.endRow, c.endColumn)}))
            << c.vks[0] << " at " << c.column << "," << c.row;
    }
}

TEST_F(Review, WordMoves) {
    put(1, 7, "  um dois");
    struct Case {
        std::uint32_t vk;
        int column;
        const char* sound;
        int endColumn;
    };
    const Case cases[] = {
        {platform::VK_LEFT, 8, "click", 6},    // to the start of "dois"
        {platform::VK_LEFT, 6, "click", 3},    // to "um"
        {platform::VK_LEFT, 3, "warning", 1},  // only spaces before
        {platform::VK_RIGHT, 3, "click", 6},
        {platform::VK_RIGHT, 6, "warning", 10},  // off the row: its end
    };
    for (const Case& c : cases) {
        key(c.vk, MOD_CTRL);
        sayPosition();
        EXPECT_EQ(review(c.column, 7), join({{c.sound}, position(7, c.endColumn)})) << c.vk << " " << c.column;
    }
    put(1, 8, "ab cd");
    key(platform::VK_LEFT, MOD_CTRL);
    sayPosition();
    EXPECT_EQ(review(3, 8), join({{"warning"}, position(8, 1)})) << "the word begins at column 1";
}

TEST_F(Review, GoToRowAndColumn) {
    letters("0125");
    log_.clear();
    Log heard;
    platform::headless::reset();
    qrcrt::resetForTests();
    qrcrt::openScreen();
    platform::headless::setKeysWhenWaiting(true);

    key(platform::VK_F6);
    type("2501");
    sayPosition();
    EXPECT_EQ(review(1, 1), join({said("Entre linha e coluna"), {"play 2", "play 5", "play 0", "play 1"},
                                  position(25, 1)}));
    key(platform::VK_F6);
    type("9999");
    sayPosition();
    heard = review(1, 1);
    EXPECT_EQ(count("warning"), 2 + 3) << "row and column corrected, besides entry and exit";
    EXPECT_TRUE(contains(position(25, 80)));
    key(platform::VK_F6);
    type("0x");
    sayPosition();
    EXPECT_EQ(review(4, 2), join({said("Entre linha e coluna"), {"play 0", "warning", "warning"}, position(2, 4)}));
}

TEST_F(Review, SearchFromAfterTheReviewColumn) {
    put(1, 3, "foo bar foo");
    put(2, 5, "foo");
    key(platform::VK_F5);
    type("fox\bo\r");
    sayPosition();
    key(platform::VK_F5, MOD_CTRL);
    sayPosition();
    key(platform::VK_F5, MOD_CTRL);
    sayPosition();
    const Log heard = review(1, 3);
    EXPECT_EQ(review::searchText(), "foo");
    EXPECT_TRUE(inOrder({"click"}));
    // From column 1 the "foo" at 1 is not found again; then row 5; then none.
    EXPECT_TRUE(contains(join({{"click"}, position(3, 9), {"click"}, position(5, 2), {"warning", "warning"},
                               position(5, 2)})));

    // The text stays for the next run; from before a match on the row, it
    // is found there.
    key(platform::VK_F5, MOD_CTRL);
    sayPosition();
    EXPECT_EQ(review(5, 3), join({{"click"}, position(3, 9)}));

    // Esc while typing keeps what was typed and searches nothing.
    key(platform::VK_F5);
    type("ba\x1b");
    EXPECT_EQ(review(1, 1), said("Qual texto"));
    EXPECT_EQ(review::searchText(), "ba");
}

TEST_F(Review, FirstAndLastLetter) {
    put(10, 4, "12 ab");
    put(1, 9, "cd 34");
    key(platform::VK_PRIOR, MOD_CTRL);
    sayPosition();
    key(platform::VK_NEXT, MOD_CTRL);
    sayPosition();
    EXPECT_EQ(review(1, 1), join({said("12"), said("ab"), {"click"}, position(4, 13), spelled("cd"), said("34"),
                                  {"click"}, position(9, 2)}));
}

TEST_F(Review, CopyScreen) {
    put(1, 1, "primeira");
    put(80, 25, "z");
    key('C', MOD_CTRL);
    EXPECT_EQ(review(1, 1), Log{});
    const std::string copy = clipboard();
    ASSERT_EQ(copy.size(), 25u * 82u);
    EXPECT_EQ(copy.substr(0, 82), padded("primeira") + "\r\n");
    EXPECT_EQ(copy.substr(24 * 82), padded(std::string(79, ' ') + "z") + "\r\n");
}

TEST_F(Review, KeysWithoutACommand) {
    key(platform::VK_F2);
    type("5");
    EXPECT_EQ(review(1, 1), (Log{"warning", "click", "warning", "warning", "click", "warning"}));
}

TEST_F(Review, AServerHearsEachRowWhole) {
    servers::ServerOps ops;
    ops.start = serverStarted;
    ops.speak = serverSpeak;
    ops.busy = serverBusy;
    servers::registerServer(servers::ServerKind::builtIn, ops);
    settings("[TRADUTOR]\nDIRLETRAS=" + dir_.string() + "\nSAPI=S\n[SERVFALA]\nTIPOSAPI=3\n");
    speaking::startSpeech(3, "");
    ASSERT_TRUE(speaking::serverActive());
    put(1, 1, "linha um");
    put(1, 25, "fim");
    type("tt");
    Log expected;
    for (int r = 1; r <= 25; ++r) {
        expected.push_back("server " + screenRow(r));
        expected.push_back("click");
    }
    EXPECT_EQ(review(5, 5), expected);
}
