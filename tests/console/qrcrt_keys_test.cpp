// The keyboard: key codes, Alt codes, the queue's limits, the braille
// chords and their signs, the tones, the caret and the ways of ending.
#include "console_fixture.hpp"

#include "platform/sound/audio.hpp"

namespace {

using Keys = ConsoleTest;
using platform::MOD_ALT;
using platform::MOD_CTRL;
using platform::MOD_SHIFT;

TEST_F(Keys, FunctionAndCursorKeyCodes) {
    struct Case {
        std::uint32_t vk;
        std::uint8_t mods;
        int code;
    };
    const Case cases[] = {
        {platform::VK_F1, 0, 59},         {platform::VK_F1, MOD_CTRL, 94},
        {platform::VK_F5, 0, 63},         {platform::VK_F10, 0, 68},
        {platform::VK_F10, MOD_CTRL, 103}, {platform::VK_F11, 0, 69},
        {platform::VK_F11, MOD_CTRL, 104}, {platform::VK_F12, 0, 70},
        {platform::VK_F12, MOD_CTRL, 105}, {platform::VK_INSERT, 0, 82},
        {platform::VK_INSERT, MOD_SHIFT, 254}, {platform::VK_INSERT, MOD_CTRL, 255},
        {platform::VK_INSERT, MOD_CTRL | MOD_SHIFT, 255}, {platform::VK_DELETE, 0, 83},
        {platform::VK_DELETE, MOD_CTRL, 83}, {platform::VK_HOME, 0, 71},
        {platform::VK_HOME, MOD_CTRL, 119}, {platform::VK_END, 0, 79},
        {platform::VK_END, MOD_CTRL, 117}, {platform::VK_PRIOR, 0, 73},
        {platform::VK_PRIOR, MOD_CTRL, 132}, {platform::VK_NEXT, 0, 81},
        {platform::VK_NEXT, MOD_CTRL, 118}, {platform::VK_UP, 0, 72},
        {platform::VK_UP, MOD_CTRL, 113}, {platform::VK_DOWN, 0, 80},
        {platform::VK_DOWN, MOD_CTRL, 114}, {platform::VK_LEFT, 0, 75},
        {platform::VK_LEFT, MOD_CTRL, 115}, {platform::VK_RIGHT, 0, 77},
        {platform::VK_RIGHT, MOD_CTRL, 116}, {platform::VK_UP, MOD_SHIFT, 72},
    };
    qrcrt::openScreen();
    for (const auto& c : cases) {
        platform::headless::keyDown(c.vk, c.mods);
        platform::headless::keyUp(c.vk, c.mods);
        EXPECT_EQ(drain(), (std::vector<int>{0, c.code})) << "vk " << c.vk << " mods " << int(c.mods);
        EXPECT_FALSE(qrcrt::altHeld());
    }
}

TEST_F(Keys, CharactersAndTheirChanges) {
    struct Case {
        std::uint8_t ch, mods;
        int code;
    };
    const Case cases[] = {
        {'a', 0, 'a'}, {'A', MOD_SHIFT, 'A'}, {0xE7, 0, 0xE7}, {13, 0, 13}, {13, MOD_CTRL, 10},
        {8, 0, 8},     {8, MOD_CTRL, 127},   {27, 0, 27},     {' ', 0, ' '},
    };
    qrcrt::openScreen();
    for (const auto& c : cases) {
        platform::headless::character(c.ch, c.mods);
        EXPECT_EQ(drain(), (std::vector<int>{c.code})) << int(c.ch);
    }
    // Keys that translate into characters: Enter, Ctrl+Enter, Backspace, Ctrl+Backspace.
    platform::headless::keyDown(platform::VK_RETURN, MOD_CTRL);
    platform::headless::keyDown(platform::VK_BACK, MOD_CTRL);
    platform::headless::keyDown(platform::VK_RETURN);
    EXPECT_EQ(drain(), (std::vector<int>{10, 127, 13}));
}

TEST_F(Keys, AltCodesFromCtrlAlt) {
    const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const int scan[] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                        49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};
    qrcrt::openScreen();
    for (std::size_t i = 0; i < letters.size(); ++i) {
        platform::headless::keyDown(static_cast<std::uint32_t>(letters[i]), MOD_CTRL | MOD_ALT);
        EXPECT_EQ(drain(), (std::vector<int>{0, scan[i]})) << letters[i];
        EXPECT_TRUE(qrcrt::altHeld());
    }
    const std::string digits = "1234567890";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        platform::headless::keyDown(static_cast<std::uint32_t>(digits[i]), MOD_CTRL | MOD_ALT);
        EXPECT_EQ(drain(), (std::vector<int>{0, static_cast<int>(120 + i)})) << digits[i];
    }
    // Alt alone belongs to the system for letters; Left and Right pass with Alt marked.
    platform::headless::keyDown('A', MOD_ALT);
    EXPECT_EQ(drain(), std::vector<int>{});
    platform::headless::keyDown(platform::VK_LEFT, MOD_ALT);
    EXPECT_EQ(drain(), (std::vector<int>{0, 75}));
    EXPECT_TRUE(qrcrt::altHeld());
    platform::headless::keyDown(platform::VK_RIGHT, MOD_ALT);
    EXPECT_EQ(drain(), (std::vector<int>{0, 77}));
    EXPECT_TRUE(qrcrt::altHeld());
}

TEST_F(Keys, CtrlShiftStandsForCtrlAltOnF9) {
    struct Case {
        std::uint8_t mods;
        bool alt;
    };
    const Case cases[] = {{MOD_CTRL, false}, {MOD_CTRL | MOD_SHIFT, true}, {MOD_CTRL | MOD_ALT, true}};
    qrcrt::openScreen();
    for (const auto& c : cases) {
        platform::headless::keyDown(platform::VK_F9, c.mods);
        EXPECT_EQ(drain(), (std::vector<int>{0, 102})) << int(c.mods);
        EXPECT_EQ(qrcrt::altHeld(), c.alt) << int(c.mods);
    }
}

TEST_F(Keys, QueueDropsWhatDoesNotFit) {
    qrcrt::openScreen();
    for (int i = 0; i < 65; ++i) platform::headless::character(static_cast<std::uint8_t>('0' + i % 10));
    qrcrt::keyWaiting();
    EXPECT_EQ(qrcrt::queuedKeys(), 64u) << "the 65th character is lost";

    // Two-byte keys need room for both: accepted at 62 queued bytes, not at 63.
    qrcrt::clearKeys();
    for (int i = 0; i < 62; ++i) platform::headless::character('x');
    platform::headless::keyDown(platform::VK_UP);
    qrcrt::keyWaiting();
    EXPECT_EQ(qrcrt::queuedKeys(), 64u);
    qrcrt::clearKeys();
    for (int i = 0; i < 63; ++i) platform::headless::character('x');
    platform::headless::keyDown(platform::VK_UP);
    platform::headless::keyDown('A', MOD_CTRL | MOD_ALT);
    qrcrt::keyWaiting();
    EXPECT_EQ(qrcrt::queuedKeys(), 63u);
    platform::headless::character('y');
    qrcrt::keyWaiting();
    EXPECT_EQ(qrcrt::queuedKeys(), 64u);
    std::vector<int> bytes = drain();
    EXPECT_EQ(bytes.back(), 'y');
    EXPECT_EQ(qrcrt::queuedKeys(), 0u);
}

// Press the keys of a chord in turn, then release them in turn.
void chord(std::initializer_list<std::uint32_t> keys, std::uint8_t mods = 0) {
    for (auto k : keys) platform::headless::keyDown(k, mods);
    for (auto k : keys) {
        std::uint8_t ch = k == platform::VK_SPACE ? ' ' : static_cast<std::uint8_t>(k + 32);
        platform::headless::character(ch, mods);  // ignored in braille mode
    }
    for (auto k : keys) platform::headless::keyUp(k, mods);
}

constexpr std::uint32_t dot1 = 'F', dot2 = 'D', dot3 = 'S', dot4 = 'J', dot5 = 'K', dot6 = 'L',
                        space = platform::VK_SPACE;

TEST_F(Keys, BrailleChords) {
    struct Case {
        const char* name;
        int mode;
        std::vector<std::vector<std::uint32_t>> chords;
        std::vector<int> bytes;
    };
    const std::vector<Case> cases = {
        {"F+D in mode 1 is b", 1, {{dot1, dot2}}, {'b'}},
        {"dots 1-6 in mode 1", 1, {{dot1, dot2, dot3, dot4, dot5, dot6}}, {0xE9}},
        {"capital sign kept in mode 1", 1, {{dot4, dot6}, {dot1}}, {'{', 'a'}},
        {"capital sign in mode 2", 2, {{dot4, dot6}, {dot1}, {dot1}}, {'A', 'a'}},
        {"capital lock", 2, {{dot4, dot6}, {dot4, dot6}, {dot1}, {dot1, dot2}, {space}, {dot1}},
         {'A', 'B', ' ', 'a'}},
        {"number sign", 2, {{dot3, dot4, dot5, dot6}, {dot1}, {dot1, dot2}}, {'1', '2'}},
        {"j is 0 and the apostrophe a full stop", 2, {{dot3, dot4, dot5, dot6}, {dot2, dot4, dot5}, {dot3}, {dot2, dot4}},
         {'0', '.', '9'}},
        {"tilde leaves number mode", 2, {{dot3, dot4, dot5, dot6}, {dot1}, {dot5}, {dot1}}, {'1', '~', 'a'}},
        {"space chord ends number mode", 2, {{dot3, dot4, dot5, dot6}, {space, dot1}, {dot1}}, {1, 'a'}},
        {"space with dot 1 is Ctrl+A", 1, {{space, dot1}}, {1}},
        {"space alone", 1, {{space}}, {' '}},
        {"a letter that is no dot gives a space", 1, {{'A'}}, {' '}},
        {"k in mode 2", 2, {{dot1, dot3}}, {'k'}},
    };
    qrcrt::openScreen();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (qrcrt::brailleMode() != c.mode) qrcrt::setBrailleMode(c.mode);  // each switch sounds 400 ms
        ASSERT_EQ(qrcrt::brailleMode(), c.mode);
        platform::headless::keyUp(platform::VK_SHIFT);  // a release of no letter clears the signs
        for (const auto& keys : c.chords) {
            for (auto k : keys) platform::headless::keyDown(k);
            for (auto k : keys) platform::headless::character(k == space ? ' ' : static_cast<std::uint8_t>(k + 32));
            for (auto k : keys) platform::headless::keyUp(k);
        }
        EXPECT_EQ(drain(), c.bytes);
    }
}

TEST_F(Keys, BrailleLeavesOtherKeysAlone) {
    qrcrt::openScreen();
    qrcrt::setBrailleMode(2);
    platform::headless::keyDown(platform::VK_UP);
    platform::headless::keyUp(platform::VK_UP);
    platform::headless::character('5');
    platform::headless::keyDown('F', MOD_CTRL);  // with Ctrl a dot key is an ordinary key: Ctrl+F
    platform::headless::keyUp('F', MOD_CTRL);
    EXPECT_EQ(drain(), (std::vector<int>{0, 72, '5', 6}));
    // A release with Ctrl held clears the capital sign.
    chord({dot4, dot6});
    platform::headless::keyDown(platform::VK_CONTROL, MOD_CTRL);
    platform::headless::keyUp(platform::VK_CONTROL, MOD_CTRL);
    chord({dot1});
    EXPECT_EQ(drain(), (std::vector<int>{'a'}));
}

TEST_F(Keys, BrailleModeSwitchKeys) {
    qrcrt::openScreen();
    struct Case {
        std::uint32_t vk;
        std::uint8_t mods;
        int mode;
    };
    const Case cases[] = {
        {platform::VK_F11, MOD_CTRL | MOD_ALT, 1}, {platform::VK_F11, MOD_CTRL | MOD_ALT, 2},
        {platform::VK_F11, MOD_CTRL | MOD_SHIFT, 1}, {platform::VK_F12, MOD_CTRL | MOD_SHIFT, 0},
        {platform::VK_F11, MOD_CTRL | MOD_SHIFT, 1}, {platform::VK_F12, MOD_CTRL | MOD_ALT, 0},
    };
    for (const auto& c : cases) {
        platform::headless::keyDown(c.vk, c.mods);
        EXPECT_EQ(drain(), std::vector<int>{});
        EXPECT_EQ(qrcrt::brailleMode(), c.mode);
    }
    qrcrt::setBrailleMode(7);
    EXPECT_EQ(qrcrt::brailleMode(), 1) << "a mode above 2 is 1";
}

TEST_F(Keys, BrailleRefusedWhereKeyReleasesAreUnknown) {
    // No key releases (a terminal): neither the settings nor Ctrl+Alt+F11
    // turn braille on; each refusal beeps and shows its reason.
    platform::headless::setKeyReleases(false);
    std::vector<std::string> reasons;
    qrcrt::setBrailleRefusalHandler([&](const std::string& r) { reasons.push_back(r); });
    settings("[BRAILLE]\nMODO=1\n");
    qrcrt::openScreen();
    EXPECT_EQ(qrcrt::brailleMode(), 0);
    platform::headless::keyDown(platform::VK_F11, MOD_CTRL | MOD_ALT);
    EXPECT_EQ(drain(), std::vector<int>{});
    EXPECT_EQ(qrcrt::brailleMode(), 0);
    ASSERT_EQ(reasons.size(), 2u);
    EXPECT_NE(reasons[0].find("braille"), std::string::npos);
    // Without a handler the console answers by itself.
    qrcrt::setBrailleRefusalHandler(nullptr);
    platform::headless::keyDown(platform::VK_F11, MOD_CTRL | MOD_SHIFT);
    EXPECT_EQ(drain(), std::vector<int>{});
    EXPECT_EQ(qrcrt::brailleMode(), 0);
    EXPECT_EQ(platform::headless::beeps(), 1);
    std::string first;
    for (int c = 1; c <= 8; ++c) first += static_cast<char>(qrcrt::screenChar(1, c));
    EXPECT_EQ(first, "Teclado ");
}

TEST_F(Keys, BrailleModeFromSettings) {
    settings("[BRAILLE]\nMODO=2\n");
    qrcrt::openScreen();
    EXPECT_EQ(qrcrt::brailleMode(), 2);
    qrcrt::resetForTests();
    settings("[BRAILLE]\nMODO=7\n");  // '7' & 3 = 3, above 2: mode 1
    qrcrt::openScreen();
    EXPECT_EQ(qrcrt::brailleMode(), 1);
}

TEST_F(Keys, ToneImage) {
    // 800 Hz: periods of 13 samples start at 44, 57, 71 ... (k * 11025 / 800).
    auto b = qrcrt::toneImage(800);
    ASSERT_EQ(b.size(), 11013u);
    auto u32 = [&](std::size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24; };
    auto u16 = [&](std::size_t at) { return b[at] | b[at + 1] << 8; };
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(u32(4), 10969u + 36);
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(u32(16), 16u);
    EXPECT_EQ(u16(20), 1);
    EXPECT_EQ(u16(22), 1);
    EXPECT_EQ(u32(24), 11025u);
    EXPECT_EQ(u16(34), 8);
    EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
    EXPECT_EQ(u32(40), 10969u);
    for (int i = 44; i < 50; ++i) EXPECT_EQ(b[i], 96) << i;
    for (int i = 50; i < 57; ++i) EXPECT_EQ(b[i], 160) << i;
    for (int i = 57; i < 63; ++i) EXPECT_EQ(b[i], 96) << i;
    for (int i = 63; i < 70; ++i) EXPECT_EQ(b[i], 160) << i;
    EXPECT_EQ(b[70], 128) << "the sample between two periods is never written";
    EXPECT_EQ(b[11012], 128) << "the sample before the loop point";

    EXPECT_TRUE(qrcrt::toneImage(0).empty());
    EXPECT_TRUE(qrcrt::toneImage(-5).empty());
    for (int f : {100, 400, 1600, 11025, 50000}) {
        auto t = qrcrt::toneImage(f);
        ASSERT_GE(t.size(), 44u) << f;
        EXPECT_LE(t.size(), 11071u) << f;
        std::uint32_t data = t[40] | t[41] << 8 | t[42] << 16 | t[43] << 24;
        EXPECT_EQ(data + 44, t.size()) << f;
    }
}

TEST_F(Keys, ToneLoopsUntilOff) {
    qrcrt::toneOn(400);
    EXPECT_EQ(platform::audio::loopImage(), qrcrt::toneImage(400));
    qrcrt::toneOn(1600);
    EXPECT_EQ(platform::audio::loopImage(), qrcrt::toneImage(1600));
    qrcrt::toneOff();
    EXPECT_TRUE(platform::audio::loopImage().empty());
}

TEST_F(Keys, CaretWhileWaitingWithFocus) {
    qrcrt::openScreen();
    platform::headless::focus(true);
    write("abc");
    platform::headless::setKeysWhenWaiting(true);
    platform::headless::character('x');
    EXPECT_EQ(qrcrt::readKeyCode(), 'x');
    EXPECT_FALSE(platform::headless::caret().exists) << "the caret goes when the key comes";
    // While waiting the caret stands under the cursor's cell.
    bool seen = false;
    platform::headless::CaretState during;
    qrcrt::setMessageHook([&](const platform::Msg& m) {
        if (m.message == platform::WM_CHAR && !seen) {
            seen = true;
            during = platform::headless::caret();
        }
        return false;
    });
    write("\r\nde");  // row 2, column 3: the two coordinates differ
    platform::headless::character('y');
    EXPECT_EQ(qrcrt::readKeyCode(), 'y');
    ASSERT_TRUE(seen);
    EXPECT_TRUE(during.exists);
    EXPECT_TRUE(during.shown);
    const auto client = platform::clientRect(qrcrt::windowHandle());
    const int cw = client.width() / qrcrt::screenColumns, ch = client.height() / qrcrt::screenRows;
    const int ascent = platform::createFont("", cw, ch).ascent;
    EXPECT_EQ(during.width, cw);
    EXPECT_EQ(during.height, 2);
    EXPECT_EQ(during.x, 2 * cw) << "under the cell of column 3";
    EXPECT_EQ(during.y, 1 * ch + ascent) << "on the baseline of row 2";
}

TEST_F(Keys, CtrlBreakAndQuitEndWith255) {
    struct Case {
        const char* name;
        bool quit;
    };
    for (const Case& c : {Case{"Ctrl+Break", false}, Case{"quit message", true}}) {
        SCOPED_TRACE(c.name);
        qrcrt::resetForTests();
        qrcrt::openScreen();
        if (c.quit)
            platform::postQuitMessage(0);
        else
            platform::headless::keyDown(platform::VK_CANCEL, MOD_CTRL);
        try {
            qrcrt::keyWaiting();
            ADD_FAILURE() << "the program must end";
        } catch (const ProcessExit& e) {
            EXPECT_EQ(e.code, 255);
        }
        // The window outlives the program and says so.
        EXPECT_EQ(platform::headless::windowTitle(), "Programa terminado");
    }
}

}  // namespace
