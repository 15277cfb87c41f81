// Recorded letters and sounds: the two sounds made in memory, byte for byte,
// the telephone keys, the upper-casing, where each recording is looked for,
// and a recording for every name the system can ask for.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <iterator>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "console/qrcrt.hpp"
#include "platform/system/messages.hpp"
#include "platform/sound/waveout.hpp"
#include "platform/window/window.hpp"
#include "sound/qrwav.hpp"
#include "speaking/soundnames.hpp"
#include "speaking/sounds.hpp"
#include "support/files.hpp"
#include "support/fresh_system.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;
namespace names = speaking::soundnames;
using Bytes = std::vector<std::uint8_t>;

namespace {

class SoundsTest : public ::testing::Test {
protected:
    void SetUp() override { support::freshSystem(); }

    void TearDown() override { support::closeSystem(); }

    // A recording whose samples are all the given byte, so that the blocks
    // played tell which file it was.
    void recording(const fs::path& dir, const std::string& name, std::uint8_t fill) {
        fs::create_directories(dir);
        support::writeFilledWav(dir / name, fill, 300);
    }

    // The first byte of every block played: the fill of the recording.
    static Bytes playedFills() {
        Bytes fills;
        for (const auto& b : platform::waveout::test::blocks()) fills.push_back(b.empty() ? 0 : b[0]);
        return fills;
    }

    support::TempDir tmp_{"quoril_sounds"};
    const fs::path dir_ = tmp_.path();
};

TEST(WaveHeader, PatchedTemplate) {
    struct Case {
        std::uint32_t length, rate;
        std::uint16_t channels, bits;
        Bytes expected;
    };
    const Case cases[] = {
        {256, 11025, 1, 8,
         {'R', 'I', 'F', 'F', 0x24, 0x01, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
          1, 0, 1, 0, 0x11, 0x2B, 0, 0, 0x11, 0x2B, 0, 0, 1, 0, 8, 0, 'd', 'a', 't', 'a', 0x00, 0x01,
          0, 0}},
        // Block alignment stays 1 whatever the format: the field is not patched.
        {100000, 22050, 2, 16,
         {'R', 'I', 'F', 'F', 0xC4, 0x86, 0x01, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0,
          0, 1, 0, 2, 0, 0x22, 0x56, 0, 0, 0x88, 0x58, 0x01, 0, 1, 0, 16, 0, 'd', 'a', 't', 'a', 0xA0,
          0x86, 0x01, 0}},
    };
    for (const Case& c : cases) {
        Bytes image(44, 0xEE);
        speaking::writeWaveHeader(image.data(), c.length, c.rate, c.channels, c.bits);
        EXPECT_EQ(image, c.expected) << c.length;
    }
}

TEST(UpperCaseLatin, LettersAndTheUpperHalf) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"a\xE7\xE3o", "A\xC7\xC3O"},                          // ação -> AÇÃO
        {"Www.x-1_z", "WWW.X-1_Z"},                            // only a to z among ASCII
        {"\xE0\xE9\xF4\xFC", "\xC0\xC9\xD4\xDC"},              // àéôü -> ÀÉÔÜ
        {"\xF7\xFF", "\xD7\xDF"},                              // 247 and 255 move too
        {"\x80\x9A\xB5\xC7\xDF", "\x80\x9A\xB5\xC7\xDF"},      // below 224: unchanged
        {std::string("\0a", 2), std::string("\0A", 2)},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(speaking::upperCaseLatin(c.in), c.out) << c.in;
}

TEST_F(SoundsTest, ClickIsNoiseThenSilenceDrawnOnce) {
    qrwav::waveCutSpeech() = true;
    speaking::beepShort();
    speaking::beepShort();
    EXPECT_TRUE(qrwav::waveCutSpeech()) << "the flag is put back";

    const auto blocks = platform::waveout::test::blocks();
    ASSERT_EQ(blocks.size(), 2u);
    const Bytes& click = blocks[0];
    ASSERT_EQ(click.size(), 256u);
    std::set<std::uint8_t> noise;
    for (std::size_t i = 0; i < 64; ++i) {
        EXPECT_GE(click[i], 128) << i;
        EXPECT_LE(click[i], 187) << i;
        noise.insert(click[i]);
    }
    EXPECT_GT(noise.size(), 8u) << "the first 64 samples are noise";
    for (std::size_t i = 64; i < 256; ++i) EXPECT_EQ(click[i], 128) << i;
    EXPECT_EQ(blocks[1], click) << "the same click every time";

    // The image is a whole WAV of 256 samples at 11025 Hz, 8-bit mono.
    const Bytes& image = speaking::clickImage();
    ASSERT_EQ(image.size(), 44u + 256u);
    Bytes header(44);
    speaking::writeWaveHeader(header.data(), 256, 11025, 1, 8);
    EXPECT_TRUE(std::equal(header.begin(), header.end(), image.begin()));
    EXPECT_TRUE(std::equal(click.begin(), click.end(), image.begin() + 44));
    EXPECT_EQ(platform::waveout::test::openedFormats().front(),
              (platform::waveout::test::Format{11025, 8, 1}));
}

TEST_F(SoundsTest, WarningToneIsTheTriangle) {
    Bytes expected;
    const std::uint8_t triangle[8] = {128, 112, 96, 80, 64, 80, 96, 112};
    for (int i = 0; i < 512; ++i) expected.push_back(triangle[i % 8]);
    expected.back() = 128;

    speaking::beepError();
    const auto blocks = platform::waveout::test::blocks();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0], expected);

    const Bytes& image = speaking::warningImage();
    ASSERT_EQ(image.size(), 44u + 512u);
    Bytes header(44);
    speaking::writeWaveHeader(header.data(), 512, 11025, 1, 8);
    EXPECT_TRUE(std::equal(header.begin(), header.end(), image.begin()));
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), image.begin() + 44));
}

TEST_F(SoundsTest, WarningDiscardsTypeAheadAndIsHeard) {
    platform::headless::typeText("abc");
    ASSERT_TRUE(qrcrt::keyWaiting());
    speaking::beepError();
    EXPECT_FALSE(qrcrt::keyWaiting()) << "type-ahead is lost on a warning";
    // Had the keys stayed, the player would have refused to start.
    EXPECT_EQ(platform::waveout::test::blocks().size(), 1u);
}

TEST_F(SoundsTest, ClickIsCutByAWaitingKey) {
    platform::waveout::test::setAutoFinish(false);
    platform::headless::typeText("x");
    speaking::beepShort();  // must return: the key cuts the wait
    EXPECT_TRUE(qrcrt::keyWaiting()) << "the key is left for the reader";
}

TEST_F(SoundsTest, RecordingsComeFromTheirDirectories) {
    const fs::path letters = dir_ / "letras", synth = dir_ / "sintetizador", messages = dir_ / "msg";
    recording(letters, "_DEL.wav", 10);
    recording(synth, "_32.wav", 20);
    recording(synth, "_233.wav", 30);
    recording(messages, "ola.wav", 40);
    recording(letters, "_32.wav", 99);  // never asked for: letters come from the synthesizer's
    speaking::setLettersDirectory(letters.string());
    speaking::setSynthLettersDirectory(synth.string() + "/");
    speaking::setMessageSoundDirectory(messages.string());

    speaking::playLetter(32);
    speaking::playLetter(233);
    speaking::playSound("_DEL");
    speaking::playSound("ola");
    speaking::playSound("_nada");  // missing: nothing is heard
    EXPECT_EQ(playedFills(), (Bytes{20, 30, 10, 40}));
}

TEST_F(SoundsTest, DialTonesPlayKeysAndPause) {
    const fs::path synth = dir_ / "letras";
    for (char k : std::string("0123456789")) recording(synth, std::string("dtmf_") + k + ".wav", static_cast<std::uint8_t>(k));
    recording(synth, "dtmf_#.wav", '#');
    recording(synth, "dtmf_X.wav", 'X');
    speaking::setSynthLettersDirectory(synth.string());
    qrwav::waveFaster() = true;

    const auto t0 = std::chrono::steady_clock::now();
    speaking::dialTones("0,#");
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_EQ(playedFills(), (Bytes{'0', '#'}));
    EXPECT_GE(ms, 1200) << "100 ms after each key and 1000 ms for the comma";
    EXPECT_TRUE(qrwav::waveFaster()) << "the flag is put back";
    for (const auto& f : platform::waveout::test::openedFormats()) EXPECT_EQ(f.rate, 11025u) << "never faster";

    platform::waveout::test::reset();
    platform::waveout::test::setAutoFinish(true);
    speaking::dialTones("ab *9\xE7");
    EXPECT_EQ(playedFills(), (Bytes{'X', '9'})) << "letters and blanks are ignored";
}

TEST(SoundNames, BuiltNames) {
    struct Case {
        std::string got, expected;
    };
    const Case cases[] = {
        {names::characterSound(65), "_65"},
        {names::characterSound(0), "_0"},
        {names::characterSound(255), "_255"},
        {names::phoneticSound('A'), "_FON65"},
        {names::telephoneKeySound('#'), "dtmf_#"},
        {names::telephoneKeySound('*'), "dtmf_X"},
        {names::telephoneKeySound('7'), "dtmf_7"},
        {names::telephoneKeySound('A'), ""},
        {names::wordSound("dezessete"), "_dezeset"},
        {names::wordSound("dezesseis"), "_dezesse"},
        {names::wordSound("milh\xF5" "es"), "_milhoes"},
        {names::wordSound("trilh\xF5" "es"), "_trilhoe"},
        {names::wordSound("bilh\xE3o"), "_bilhao"},
        {names::wordSound("quatrocentos"), "_quatroc"},
        {names::wordSound("e"), "_e"},
        {names::monthSound(2), "_Feverei"},
        {names::monthSound(3), "_Marco"},
        {names::monthSound(9), "_Setembr"},
        {names::monthSound(13), ""},
        {names::weekdaySound(0), "_Domingo"},
        {names::weekdaySound(2), "_Terca"},
        {names::weekdaySound(7), ""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

// Every name the code can build has its recording in the build tree, and
// each plays as 11025 Hz 8-bit mono behind a 44-byte header.
TEST_F(SoundsTest, EveryNameHasARecordingThatPlays) {
    const fs::path letters = fs::path(QUORIL_BUILD_DIR) / "share" / "quoril" / "som" / "letras";
    ASSERT_TRUE(fs::is_directory(letters)) << letters << " is missing: build the voicedata target";
    speaking::setSynthLettersDirectory(letters.string());
    speaking::setLettersDirectory(letters.string());

    std::vector<std::string> all;
    for (auto list : {names::characterSounds(), names::messageSounds(), names::numberWordSounds(),
                      names::dateTimeSounds(), names::telephoneKeySounds()})
        all.insert(all.end(), list.begin(), list.end());
    EXPECT_EQ(names::characterSounds().size(), 256u);
    EXPECT_EQ(names::telephoneKeySounds().size(), 12u);

    for (const std::string& name : all) {
        const fs::path file = letters / (name + ".wav");
        ASSERT_TRUE(fs::is_regular_file(file)) << file;
        std::ifstream in(file, std::ios::binary);
        Bytes head(44);
        in.read(reinterpret_cast<char*>(head.data()), 44);
        Bytes expected(44);
        const auto samples = static_cast<std::uint32_t>(fs::file_size(file) - 44);
        speaking::writeWaveHeader(expected.data(), samples, 11025, 1, 8);
        EXPECT_EQ(head, expected) << name;
        EXPECT_GT(samples, 500u) << name << " is too short to hear";

        platform::waveout::test::reset();
        platform::waveout::test::setAutoFinish(true);
        EXPECT_EQ(qrwav::playWaveFile(letters.string() + "/" + name + ".wav"), 0) << name;
        std::size_t played = 0;
        for (const auto& b : platform::waveout::test::blocks()) played += b.size();
        EXPECT_GE(played, samples) << name;
    }

    // The ones the speaking console plays by name.
    for (std::uint8_t c : {std::uint8_t{32}, std::uint8_t{'A'}, std::uint8_t{0xE7}}) {
        platform::waveout::test::reset();
        platform::waveout::test::setAutoFinish(true);
        speaking::playLetter(c);
        EXPECT_FALSE(platform::waveout::test::blocks().empty()) << int(c);
    }
    platform::waveout::test::reset();
    platform::waveout::test::setAutoFinish(true);
    speaking::dialTones("0123456789*#");
    EXPECT_EQ(platform::waveout::test::blocks().size(), 12u);
}

// Each telephone key's recording holds its keypad row and column tones and
// no others: the two strongest of the eight keypad frequencies are its own.
TEST(TelephoneKeys, RecordingsHoldTheirTwoTones) {
    const fs::path letters = fs::path(QUORIL_BUILD_DIR) / "share" / "quoril" / "som" / "letras";
    ASSERT_TRUE(fs::is_directory(letters)) << letters << " is missing: build the voicedata target";
    const double keypad[8] = {697, 770, 852, 941, 1209, 1336, 1477, 1633};
    struct Case {
        char key;
        double low, high;
    };
    const Case cases[] = {{'1', 697, 1209}, {'2', 697, 1336}, {'3', 697, 1477}, {'4', 770, 1209},
                          {'5', 770, 1336}, {'6', 770, 1477}, {'7', 852, 1209}, {'8', 852, 1336},
                          {'9', 852, 1477}, {'*', 941, 1209}, {'0', 941, 1336}, {'#', 941, 1477}};
    for (const Case& c : cases) {
        const fs::path file = letters / (names::telephoneKeySound(c.key) + ".wav");
        std::ifstream in(file, std::ios::binary);
        const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 44u + 1000u) << file;
        // Goertzel power of each keypad frequency.
        std::vector<std::pair<double, double>> power;
        for (double f : keypad) {
            const double k = 2 * std::cos(2 * 3.14159265358979 * f / 11025);
            double s1 = 0, s2 = 0;
            for (std::size_t i = 44; i < bytes.size(); ++i) {
                const double s0 = (bytes[i] - 128.0) + k * s1 - s2;
                s2 = s1;
                s1 = s0;
            }
            power.emplace_back(s1 * s1 + s2 * s2 - k * s1 * s2, f);
        }
        std::sort(power.rbegin(), power.rend());
        const double a = std::min(power[0].second, power[1].second), b = std::max(power[0].second, power[1].second);
        EXPECT_EQ(a, c.low) << c.key;
        EXPECT_EQ(b, c.high) << c.key;
        EXPECT_GT(power[1].first, 20 * power[2].first) << c.key << ": a third tone is present";
    }
}

}  // namespace
