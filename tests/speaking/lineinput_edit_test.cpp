// The line editor: answers and ending keys, the first key on a proposed
// answer, the field limits, erasing keys, words, reading keys, selection
// with copy and paste, speed change and the review chord.
#include "lineinput_fixture.hpp"

using platform::MOD_ALT;
using platform::MOD_CTRL;
using platform::MOD_SHIFT;
using Log = std::vector<std::string>;

class LineEdit : public EchoTest {
protected:
    // Edits text in a 40-cell field of 60 characters at row 5, column 3.
    int edit(std::string& text, bool editable = true) {
        return speaking::editLineSpoken(text, 3, 5, editable, 40, 60);
    }
};

TEST_F(LineEdit, ReadLineAnswersWhatWasTypedAndEchoesEachKey) {
    letters("ab");
    qrcrt::writeText("Nome: ");
    qrcrt::flushOutput();
    type("ab\r");
    std::string text = "old";
    speaking::readLineSpoken(text);
    EXPECT_EQ(text, "ab");
    EXPECT_EQ(log_, (Log{"play a", "play b"}));
    EXPECT_EQ(screenRow(1), padded("Nome: ab"));
    EXPECT_EQ(qrcrt::cursorRow(), 2);
    EXPECT_EQ(qrcrt::cursorColumn(), 1);
}

TEST_F(LineEdit, ALetterTheFieldCannotHoldIsRefusedAloud) {
    // "Łódź.txt" typed: Ł and ź are not in Windows-1252. Each is answered
    // with the warning tone, and the letters typed after it are kept.
    letters("\xF3" "d.");
    for (const std::uint32_t ch : {0x141u, 0xF3u, std::uint32_t{'d'}, 0x17Au, std::uint32_t{'.'}})
        platform::headless::character(ch);
    type("\r");
    std::string text;
    speaking::readLineSpoken(text);
    EXPECT_EQ(text, "\xF3" "d.");
    EXPECT_EQ(log_, (Log{"warning", "play \xF3", "play d", "warning", "play ."}));
}

TEST_F(LineEdit, EscBlanksTheTypedTextAndAnswersEmpty) {
    qrcrt::writeText("Nome: ");
    qrcrt::flushOutput();
    type("abc\x1b");
    std::string text;
    speaking::readLineSpoken(text);
    EXPECT_EQ(text, "");
    EXPECT_EQ(screenRow(1), padded("Nome: "));
    EXPECT_EQ(qrcrt::cursorRow(), 2) << "a line end follows";
    EXPECT_EQ(qrcrt::cursorColumn(), 1);
}

TEST_F(LineEdit, TheKeyAfterTheLastPlaceOfAFullFieldIsRefused) {
    type(std::string(256, 'x') + "\r");
    std::string text;
    speaking::readLineSpoken(text);
    EXPECT_EQ(text, std::string(255, 'x'));
    EXPECT_EQ(count("warning"), 1);
    EXPECT_EQ(log_.back(), "warning") << "only the 256th key";
}

TEST_F(LineEdit, TypingIntoAFullFieldDropsItsLastCharacter) {
    std::string text = "abcde";
    key(platform::VK_HOME);  // a first key that keeps the answer
    type("x\r");
    speaking::editLineSpoken(text, 1, 1, true, 5, 5);
    EXPECT_EQ(text, "xabcd");
    key(platform::VK_RIGHT);
    type("y\r");
    speaking::editLineSpoken(text, 1, 1, true, 5, 5);
    EXPECT_EQ(text, "xyabc");
    EXPECT_EQ(count("warning"), 0);
}

TEST_F(LineEdit, AProposedAnswerIsReplacedByTypingAndKeptByMoving) {
    letters("n");
    std::string text = "velho";
    type("n\r");
    edit(text);
    EXPECT_EQ(text, "n");
    EXPECT_EQ(log_, (Log{"click", "click", "play n"}));

    log_.clear();
    text = "velho";
    key(platform::VK_RIGHT);
    type("x\r");
    edit(text);
    EXPECT_EQ(text, "vxelho");
    EXPECT_EQ(count("click"), 0);

    // A control key first clicks but keeps the answer; so does an
    // answer read but not editable.
    log_.clear();
    text = "velho";
    type("\x01\r");
    edit(text);
    EXPECT_EQ(text, "velho");
    EXPECT_EQ(count("click"), 2);
    log_.clear();
    type("z\r");
    edit(text, false);
    EXPECT_EQ(text, "velho");
    EXPECT_EQ(count("click"), 2);
}

TEST_F(LineEdit, EndingKeysAnswerTheirCodes) {
    struct Case {
        std::uint32_t vk;
        std::uint8_t mods;
        int code;
    };
    const Case cases[] = {
        {platform::VK_RETURN, 0, 13},  {platform::VK_ESCAPE, 0, 27}, {platform::VK_TAB, 0, 9},
        {platform::VK_RETURN, MOD_CTRL, 10}, {platform::VK_UP, 0, 72}, {platform::VK_DOWN, 0, 80},
        {platform::VK_PRIOR, 0, 73},   {platform::VK_NEXT, 0, 81},   {platform::VK_F9, MOD_CTRL, 102},
        {platform::VK_F2, 0, 60},      {platform::VK_INSERT, 0, 82},
    };
    for (const Case& c : cases) {
        std::string text = "abc  ";
        key(c.vk, c.mods);
        EXPECT_EQ(edit(text), c.code) << c.vk;
        EXPECT_EQ(text, "abc") << "trailing spaces go";
    }
}

TEST_F(LineEdit, CtrlURestoresTheEntryTextWithThreeWarnings) {
    std::string text = "abc";
    key(platform::VK_END);
    type("de\b\b\b");
    key('U', MOD_CTRL);
    type("z\r");
    edit(text);
    EXPECT_EQ(text, "zabc") << "the cursor is back at 1";
    EXPECT_EQ(count("warning"), 3);
}

TEST_F(LineEdit, MovesAtTheEndsOfTheFieldAreRefused) {
    std::string text = "abc";
    key(platform::VK_LEFT, MOD_CTRL);  // Ctrl+Left at 1
    type("x\r");
    edit(text);
    EXPECT_EQ(text, "xabc");
    EXPECT_EQ(count("warning"), 1);

    log_.clear();
    key(platform::VK_LEFT);
    type("\b\r");
    edit(text);
    EXPECT_EQ(text, "xabc");
    EXPECT_EQ(count("warning"), 2);

    // Right past the end of a 3-character field.
    log_.clear();
    text = "abc";
    keys(platform::VK_RIGHT, 4);
    type("\r");
    speaking::editLineSpoken(text, 1, 1, true, 3, 3);
    EXPECT_EQ(count("warning"), 1);
    EXPECT_EQ(speaking::lastExitPosition(), 4);
}

TEST_F(LineEdit, WordMoves) {
    struct Case {
        const char* text;
        std::vector<std::uint32_t> moves;  // from Home; negative-free: Ctrl+Left or Ctrl+Right
        int exit;
        int warnings, clicks;
    };
    const std::uint32_t L = platform::VK_LEFT, R = platform::VK_RIGHT, E = platform::VK_END;
    const Case cases[] = {
        {"um dois  tres", {R}, 4, 0, 1},
        {"um dois  tres", {R, R}, 10, 0, 2},
        {"um dois  tres", {R, R, R}, 14, 1, 2},  // off the end: after the last letter
        {"ab12 cd", {R}, 3, 0, 1},               // letters stop at digits
        {"12ab cd", {R}, 3, 0, 1},
        {"um dois  tres", {E, L}, 10, 0, 1},
        {"um dois  tres", {E, L, L}, 4, 0, 2},
        {"um dois  tres", {E, L, L, L}, 1, 1, 2},  // the word at 1
        {"a, b", {E, L, L}, 2, 0, 2},               // a symbol is a word of its own
    };
    for (const Case& c : cases) {
        log_.clear();
        std::string text = c.text;
        for (std::uint32_t vk : c.moves) key(vk, vk == E ? 0 : MOD_CTRL);
        type("\r");
        edit(text);
        EXPECT_EQ(speaking::lastExitPosition(), c.exit) << c.text << " " << c.moves.size();
        EXPECT_EQ(count("warning"), c.warnings) << c.text << " " << c.moves.size();
        EXPECT_EQ(count("click"), c.clicks) << c.text << " " << c.moves.size();
    }
}

TEST_F(LineEdit, ErasingKeys) {
    struct Case {
        std::uint32_t vk;
        std::uint8_t mods;
        const char* after;
        const char* sound;  // "" for none
        int exit;
    };
    sound("_APFCPO");
    sound("_APICPO");
    sound("_CPOAPA");
    sound("_DEL");
    letters("c");
    const Case cases[] = {
        {'D', MOD_CTRL, "ab", "play _APFCPO", 3},
        {'S', MOD_CTRL, "cdef", "play _APICPO", 1},
        {'Y', MOD_CTRL, "", "play _CPOAPA", 1},
        {platform::VK_DELETE, 0, "abdef", "play _DEL", 3},
        {platform::VK_BACK, 0, "acdef", "play _DEL", 2},
    };
    for (const Case& c : cases) {
        log_.clear();
        std::string text = "abcdef";
        keys(platform::VK_RIGHT, 2);
        key(c.vk, c.mods);
        type("\r");
        edit(text);
        EXPECT_EQ(text, c.after) << c.after;
        EXPECT_EQ(count(c.sound), 1) << c.after;
        EXPECT_EQ(speaking::lastExitPosition(), c.exit) << c.after;
        // A field that may not be changed keeps its text.
        text = "abcdef";
        keys(platform::VK_RIGHT, 2);
        key(c.vk, c.mods);
        type("\r");
        edit(text, false);
        EXPECT_EQ(text, "abcdef") << c.after;
    }
    log_.clear();
    std::string text = "abcdef";
    keys(platform::VK_RIGHT, 2);
    key(platform::VK_DELETE);
    type("\r");
    edit(text);
    EXPECT_EQ(log_, (Log{"play _DEL", "play c"})) << "the deleted character is named";
}

TEST_F(LineEdit, DeleteWordTakesTheWordAndTheSpacesAfterIt) {
    sound("_DEL");
    letters("dois ");
    struct Case {
        int rights;
        const char* after;
    };
    const Case cases[] = {
        {5, "um tres"},   // inside "dois"
        {3, "um tres"},   // at its start
        {7, "um tres"},   // just after it, on the space
        {12, "um dois "}, // after the last word
    };
    for (const Case& c : cases) {
        log_.clear();
        std::string text = "um dois tres";
        keys(platform::VK_RIGHT, c.rights);
        key(platform::VK_BACK, MOD_CTRL);
        type("\r");
        edit(text);
        EXPECT_EQ(text, std::string(c.after).substr(0, std::string(c.after).find_last_not_of(' ') + 1)) << c.rights;
        EXPECT_EQ(count("play _DEL"), 1) << "only before the first character";
    }
    log_.clear();
    std::string text = "um dois tres";
    keys(platform::VK_RIGHT, 5);
    key(platform::VK_BACK, MOD_CTRL);
    type("\r");
    edit(text);
    EXPECT_TRUE(contains({"play _DEL", "play d", "play o", "play i", "play s", "play  "}));
}

TEST_F(LineEdit, F1ReadsTheFieldWordByWord) {
    std::string text = "  BRT casa 12 -5 . x";
    Log expected;
    for (const Log& piece : {spelled("BRT"), said("casa"), said("12"), said("-5"), spelled("."), spelled("x")})
        expected.insert(expected.end(), piece.begin(), piece.end());
    expected.push_back("warning");  // nothing left to read
    keys(platform::VK_F1, 7);
    type("\r");
    edit(text);
    EXPECT_EQ(log_, expected);
    EXPECT_EQ(speaking::lastExitPosition(), 21) << "the cursor stays after the last word";
    EXPECT_NE(spelled("BRT"), said("BRT"));
    // Letters beyond the consonants (W and Y here) are read as a word.
    log_.clear();
    text = "WWW";
    key(platform::VK_F1);
    type("\r");
    edit(text);
    EXPECT_EQ(log_, said("WWW"));
}

TEST_F(LineEdit, ReadingKeys) {
    std::string text = "abc def";
    keys(platform::VK_RIGHT, 2);
    key('K', MOD_CTRL);
    key(platform::VK_F1, MOD_CTRL);
    type("\r");
    edit(text);
    Log expected = said("3");
    const Log whole = said("abc def");
    expected.insert(expected.end(), whole.begin(), whole.end());
    EXPECT_EQ(log_, expected);
}

TEST_F(LineEdit, LeftAndRightNameTheCharacterAndAltRightItsPhoneticName) {
    letters("ab");
    sound("_FON97");
    std::string text = "ab";
    key(platform::VK_RIGHT);
    key(platform::VK_LEFT);
    key(platform::VK_RIGHT, MOD_ALT);
    type("\r");
    edit(text);
    EXPECT_EQ(log_, (Log{"play a", "play a", "play _FON97"}));
}

TEST_F(LineEdit, F4SwitchesTheEchoOfTypedKeys) {
    letters("ab");
    sound("_FALDLG");
    sound("_FALACI");
    std::string text;
    key(platform::VK_F4);
    type("a");
    key(platform::VK_F4);
    type("b\r");
    edit(text);
    EXPECT_EQ(text, "ab");
    EXPECT_EQ(log_, (Log{"play _FALDLG", "play _FALACI", "play b"}));
    EXPECT_TRUE(speaking::typedEcho());
}

TEST_F(LineEdit, SelectionCopyPasteAndDelete) {
    sound("_DEL");
    letters("bcd");
    std::string text = "abcdef";
    key(platform::VK_RIGHT);
    keys(platform::VK_RIGHT, 3, MOD_SHIFT);  // b c d
    key(platform::VK_INSERT, MOD_CTRL);
    type("\r");
    edit(text);
    EXPECT_EQ(clipboard(), "bcd");
    EXPECT_EQ(text, "abcdef");

    // Without a selection the field and a line end are copied.
    key('C', MOD_CTRL);
    type("\r");
    edit(text);
    EXPECT_EQ(clipboard(), "abcdef\r\n");

    // Paste at the end; the pasted span stays selected, as Ctrl+Insert shows.
    platform::setClipboardText("XY\r\nZ");
    log_.clear();
    key(platform::VK_END);
    key(platform::VK_INSERT, MOD_SHIFT);
    key(platform::VK_INSERT, MOD_CTRL);
    type("\r");
    edit(text);
    EXPECT_EQ(text, "abcdefXY") << "up to the first line end";
    EXPECT_EQ(clipboard(), "XY");
    EXPECT_EQ(speaking::lastExitPosition(), 7) << "the cursor stays at the start of the pasted text";

    log_.clear();
    key(platform::VK_RIGHT);
    keys(platform::VK_RIGHT, 3, MOD_SHIFT);
    key(platform::VK_DELETE, MOD_SHIFT);
    type("\r");
    edit(text);
    EXPECT_EQ(text, "aefXY");
    EXPECT_EQ(log_, (Log{"play b", "play c", "play d", "play _DEL", "play b", "play c", "play d"}));

    // Ctrl+V replaces a selection made backwards.
    platform::setClipboardText("123");
    key(platform::VK_END);
    keys(platform::VK_LEFT, 2, MOD_SHIFT);  // X Y
    key('V', MOD_CTRL);
    type("\r");
    edit(text);
    EXPECT_EQ(text, "aef123");

    // An empty clipboard pastes nothing; a first-key paste replaces the answer.
    platform::setClipboardText("");
    key('V', MOD_CTRL);
    type("\r");
    edit(text);
    EXPECT_EQ(text, "aef123");
    platform::setClipboardText("new");
    log_.clear();
    key('V', MOD_CTRL);
    type("\r");
    edit(text);
    EXPECT_EQ(text, "new");
    EXPECT_EQ(count("click"), 2);
}

TEST_F(LineEdit, TheSelectionIsShownOnTheSelectedBackground) {
    letters("d");
    std::string text = "abcdef";
    std::vector<int> shown;
    // When d is named, the screen shows the selection of the key before (b c).
    platform::waveout::test::setWriteHook([&](std::size_t) {
        if (!shown.empty()) return;
        for (int c = 3; c < 9; ++c) shown.push_back(qrcrt::screenAttr(5, c) >> 4);
    });
    key(platform::VK_RIGHT);
    keys(platform::VK_RIGHT, 3, MOD_SHIFT);
    type("\r");
    edit(text);
    const int normal = qrcrt::currentAttribute() >> 4;
    EXPECT_EQ(shown, (std::vector<int>{normal, 8, 8, normal, normal, normal}));
    // After the edit the field is rewritten without highlight.
    for (int c = 3; c < 9; ++c) EXPECT_EQ(qrcrt::screenAttr(5, c) >> 4, normal) << c;
}

TEST_F(LineEdit, ScrollingKeepsTheCursorInsideTheField) {
    std::string text;
    type("abcdefghijklmno\r");
    speaking::editLineSpoken(text, 11, 3, true, 10, 30);
    EXPECT_EQ(text, "abcdefghijklmno");
    EXPECT_EQ(screenRow(3), padded(std::string(10, ' ') + "abcdefghij")) << "the start is shown at the end";
    EXPECT_EQ(speaking::lastExitPosition(), 16);
}

TEST_F(LineEdit, CtrlF4ChangesTheSpeed) {
    sound("_VELOC");
    letters("72");
    speaking::startSpeech(5, "");
    struct Case {
        const char* keys;
        int speed;
    };
    const Case cases[] = {{"7", 3}, {"2", 2}, {"\x1b", 2}, {"\r", 2}, {"4", 4}};
    for (const Case& c : cases) {
        log_.clear();
        std::string text;
        key(platform::VK_F4, MOD_CTRL);
        type(c.keys);
        type("\r");
        edit(text);
        EXPECT_EQ(speaking::speechSpeed(), c.speed) << c.keys;
        EXPECT_EQ(count("play _VELOC"), 1);
    }
    EXPECT_TRUE(contains({"play _VELOC"}));
}

TEST_F(LineEdit, CtrlAltF9ReviewsTheScreen) {
    put(1, 1, "Titulo");
    for (std::uint8_t mods : {std::uint8_t(MOD_CTRL | MOD_ALT), std::uint8_t(MOD_CTRL | MOD_SHIFT)}) {
        log_.clear();
        std::string text = "abc";
        key(platform::VK_F9, mods);
        type("\x1b");  // leaves the review mode
        type("x\r");
        EXPECT_EQ(edit(text), 13) << int(mods);
        EXPECT_EQ(count("warning"), 3) << "entry and exit signals of the review mode";
        EXPECT_EQ(text, "xabc") << "the review chord was the first key";
    }
}

TEST_F(LineEdit, ControlBytesInTheFieldDoNotMoveTheScreen) {
    platform::setClipboardText(std::string("a\x07") + "b\x08" + "c");
    std::string text;
    key('V', MOD_CTRL);
    type("\r");
    edit(text);
    EXPECT_EQ(text, "a\x07" "b\x08" "c") << "pasted unchanged";
    EXPECT_EQ(screenRow(5), padded("  a b c"));
}

// A digit typed while "_VELOC" still plays: the message is cut, and the
// digit's letter plays to its end before the synthesizer restarts.
TEST_F(LineEdit, ADigitTypedDuringTheSpeedMessageIsHeardToItsEnd) {
    namespace wt = platform::waveout::test;
    sound("_VELOC");
    letters("4");
    speaking::startSpeech(3, "");
    // The message plays until a key cuts it; the letter's block ends the
    // next time the program pumps, as a device's notice reaches it.
    wt::setAutoFinish(false);
    constexpr std::uint32_t kLetterEnds = platform::WM_USER + 77;
    afterBlock_ = [&](std::size_t) {
        if (log_.back() == "play 4") platform::postMessage(0, kLetterEnds);
    };
    qrcrt::setMessageHook([&](const platform::Msg& m) {
        if (m.message != kLetterEnds) return false;
        wt::finishBlocks();
        return true;
    });
    speaking::setSynthesizerForTests(
        [&] {
            log_.push_back("synth start, " + std::to_string(wt::pending()) + " pending, " +
                           std::to_string(wt::resets()) + " reset");
            return 0;
        },
        {});
    key(platform::VK_F4, MOD_CTRL);
    type("4\r");
    std::string text;
    edit(text);
    EXPECT_EQ(log_, (Log{"play _VELOC", "play 4", "synth start, 0 pending, 1 reset"}))
        << "only the message was cut";
    EXPECT_EQ(speaking::speechSpeed(), 4);
}
