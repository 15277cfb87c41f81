// The diphone synthesizer on a small database made here: every unit holds
// one sample value, so the sound written tells which units played and for
// how long (once the fades at the edges of silence are undone).
#include "synth/qrtradut.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "console/qrcrt.hpp"
#include "platform/system/messages.hpp"
#include "platform/sound/waveout.hpp"
#include "platform/window/window.hpp"
#include "sound/qrwav.hpp"
#include "synth/regras.hpp"
#include "support/env.hpp"
#include "support/files.hpp"
#include "support/fresh_system.hpp"
#include "support/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;
namespace wt = platform::waveout::test;
using Bytes = std::vector<std::uint8_t>;

struct Unit {
    std::string name;
    std::uint8_t value;
    std::uint16_t length;
};

// The units of the test database: value, length.
const std::vector<Unit> testUnits = {
    {"$KA", 10, 1000},  {"$S", 20, 500},     {"$AY", 30, 800}, {"$A", 40, 700},
    {"$PA", 50, 300},   {"$KACIRC", 60, 900}, {"$NN", 70, 1000}, {"$KAZ", 80, 1000},
};

Bytes wavFile(std::uint8_t value, std::size_t length) {
    Bytes out;
    auto put32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i))); };
    auto put16 = [&](std::uint16_t v) { out.push_back(v & 0xFF); out.push_back(v >> 8); };
    auto tag = [&](const char* t) { out.insert(out.end(), t, t + 4); };
    tag("RIFF"); put32(static_cast<std::uint32_t>(36 + 12 + length)); tag("WAVE");
    tag("fmt "); put32(16); put16(1); put16(1); put32(11025); put32(11025); put16(1); put16(8);
    tag("LIST"); put32(4); tag("INFO");  // a chunk to skip
    tag("data"); put32(static_cast<std::uint32_t>(length));
    out.insert(out.end(), length, value);
    return out;
}

void writeBytes(const fs::path& p, const Bytes& b) {
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// Runs of equal samples, noise (values other than the units') shown as 0.
std::vector<std::pair<int, std::size_t>> runs(const Bytes& samples) {
    std::vector<std::pair<int, std::size_t>> out;
    for (std::uint8_t b : samples) {
        int v = b;
        if (v != 128 && v != 99 && v != 44 && (v % 10 != 0 || v > 80)) v = 0;
        if (!out.empty() && out.back().first == v) ++out.back().second;
        else out.push_back({v, 1});
    }
    return out;
}

class Synth : public ::testing::Test {
protected:
    void SetUp() override {
        support::freshSystem(support::Sound::testDevice);
        fs::create_directories(dir_ / "letras");
        fs::create_directories(dir_ / "difones");
        fs::create_directories(dir_ / "etc");
        writeBytes(dir_ / "letras" / "_99.wav", wavFile(99, 500));
        writeBytes(dir_ / "letras" / "_44.wav", wavFile(44, 300));
        writeDatabase("DIFONES2", testUnits);
        std::ofstream(dir_ / "difones" / "regras.rgr") << "(C)= k\n(A)=a\n";
        std::ofstream(dir_ / "difones" / "portug.exc") << "";
        support::writeIni(dir_ / "etc", "[TRADUTOR]\ndirLetras=" + (dir_ / "letras").string() +
                                            "\nDIRDIFONES=" + (dir_ / "difones").string() + "\n");
        windir_.emplace("QUORIL_WINDIR", (dir_ / "etc").string());
        qrtradut::setImageSink([this](const std::uint8_t* image, std::size_t size) {
            images_.emplace_back(image, image + size);
        });
    }

    void TearDown() override {
        qrtradut::synthStop();
        support::closeSystem();
        windir_.reset();
    }

    void writeDatabase(const std::string& base, std::vector<Unit> units) {
        std::sort(units.begin(), units.end(), [](const Unit& a, const Unit& b) { return a.name < b.name; });
        std::string index;
        Bytes data;
        for (const Unit& u : units) {
            index += qrtradut::encodeIndexEntry({u.name, u.length, static_cast<std::uint32_t>(data.size())});
            data.insert(data.end(), u.length, u.value);
        }
        std::ofstream(dir_ / "difones" / (base + ".IND"), std::ios::binary) << index;
        writeBytes(dir_ / "difones" / (base + ".DIF"), data);
    }

    // All samples written, headers left out.
    Bytes samples() const {
        Bytes out;
        for (const Bytes& image : images_) out.insert(out.end(), image.begin() + 44, image.end());
        return out;
    }
    std::vector<std::pair<int, std::size_t>> say(const std::string& phonetic, bool noPauses = false) {
        images_.clear();
        qrtradut::synthesize(phonetic, noPauses);
        return runs(unfaded());
    }

    // All samples written, with the fades at the edges of silence (the
    // first and last 3 ms of each stretch of sound in an image) undone: the
    // units here hold one value each, which the sample beside a fade gives.
    Bytes unfaded() const {
        constexpr std::size_t fade = qrtradut::sampleRate * 3 / 1000;
        Bytes out;
        for (const Bytes& image : images_) {
            Bytes s(image.begin() + 44, image.end());
            for (std::size_t i = 0; i < s.size();) {
                if (s[i] == 128) {
                    ++i;
                    continue;
                }
                std::size_t end = i;
                while (end < s.size() && s[end] != 128) ++end;
                if (end - i > 2 * fade) {
                    std::fill(s.begin() + static_cast<long>(i), s.begin() + static_cast<long>(i + fade), s[i + fade]);
                    std::fill(s.begin() + static_cast<long>(end - fade), s.begin() + static_cast<long>(end), s[end - fade - 1]);
                }
                i = end;
            }
            out.insert(out.end(), s.begin(), s.end());
        }
        return out;
    }

    support::TempDir tmp_{"quoril_synth"};
    const fs::path dir_ = tmp_.path();
    std::optional<support::ScopedEnv> windir_;
    std::vector<Bytes> images_;
};

using Runs = std::vector<std::pair<int, std::size_t>>;

TEST_F(Synth, StartResults) {
    EXPECT_EQ(qrtradut::synthStart(), 0);
    EXPECT_EQ(qrtradut::lettersDirectory().back(), '\\');
    qrtradut::synthStop();

    qrtradut::setDatabaseName("NOPE");
    EXPECT_EQ(qrtradut::synthStart(), 1);  // no index
    qrtradut::setDatabaseName("DIFONES2");

    fs::remove(dir_ / "difones" / "DIFONES2.DIF");
    EXPECT_EQ(qrtradut::synthStart(), 1);  // no data file
    writeDatabase("DIFONES2", testUnits);

    fs::remove(dir_ / "difones" / "portug.exc");
    EXPECT_EQ(qrtradut::synthStart(), 2);
    std::ofstream(dir_ / "difones" / "portug.exc") << "";
    fs::remove(dir_ / "difones" / "regras.rgr");
    EXPECT_EQ(qrtradut::synthStart(), 2);
    std::ofstream(dir_ / "difones" / "regras.rgr") << "";

    fs::remove_all(dir_ / "letras");
    EXPECT_EQ(qrtradut::synthStart(), 1);
}

TEST_F(Synth, IndexBinarySearchAndEncoding) {
    std::vector<qrtradut::IndexEntry> entries;
    for (const char* n : {"$", "$A", "$AB", "$B", "$KA", "$KACIRC", "$Z", "_1"}) entries.push_back({n, 7, 99});
    std::string bytes;
    for (const auto& e : entries) bytes += qrtradut::encodeIndexEntry(e);
    ASSERT_EQ(bytes.size(), 8 * 15u);
    bytes += "tail";  // a partial entry is not read
    const auto parsed = qrtradut::parseIndex(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ASSERT_EQ(parsed.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(parsed[i].name, entries[i].name);
        EXPECT_EQ(parsed[i].length, 7);
        EXPECT_EQ(parsed[i].offset, 99u);
        EXPECT_EQ(qrtradut::findIndexEntry(parsed, entries[i].name), static_cast<int>(i));
    }
    for (const char* absent : {"", "$AA", "$KAC", "$ZZ", "A", "_", "_10"})
        EXPECT_EQ(qrtradut::findIndexEntry(parsed, absent), -1) << absent;
    EXPECT_EQ(qrtradut::findIndexEntry({}, "$A"), -1);
}

TEST_F(Synth, UnitsCutUnlessStressed) {
    ASSERT_EQ(qrtradut::synthStart(), 0);
    qrtradut::setSynthParams(400, 0, 100, false, false);
    struct Case { std::string phonetic; Runs expected; };
    const std::vector<Case> cases = {
        {"[ka]", {{10, 600}}},
        {"[kA]", {{10, 1000}}},
        {"[pa]", {}},                       // 300 - 400: nothing left
        {"[pA]", {{50, 300}}},
        {"[a]", {{40, 700}}},               // two-letter names are never cut
    };
    for (const auto& c : cases) EXPECT_EQ(say(c.phonetic), c.expected) << c.phonetic;
    // The minimum length keeps a cut unit from vanishing.
    qrtradut::setSynthParams(400, 350, 100, false, false);
    EXPECT_EQ(say("[pa]"), (Runs{{50, 300}}));
    EXPECT_EQ(say("[ka]"), (Runs{{10, 600}}));
    qrtradut::setSynthParams(900, 350, 100, false, false);
    EXPECT_EQ(say("[ka]"), (Runs{{10, 350}}));
}

// Settings out of range: a unit is never read past its end nor cut below
// nothing, and a gap between words lasts two seconds at most.
TEST_F(Synth, SettingsOutOfRangeAreBounded) {
    ASSERT_EQ(qrtradut::synthStart(), 0);
    struct Case { int cut, minimum, pause; std::string phonetic; Runs expected; };
    constexpr int most = std::numeric_limits<int>::max(), least = std::numeric_limits<int>::min();
    const std::vector<Case> cases = {
        {-100000000, 0, 100, "[ka]", {{10, 1000}}},
        {-1, 0, 100, "[ka]", {{10, 1000}}},
        {400, most, 100, "[ka]", {{10, 1000}}},
        {400, -5000, 100, "[ka]", {{10, 600}}},
        {most, 0, 100, "[ka]", {}},
        {400, 0, 1000000, "[ka][ka]", {{10, 600}, {128, 22000}, {10, 600}}},
        {400, 0, -100, "[ka][ka]", {{10, 1200}}},
        {least, least, most, "[ka][ka]", {{10, 1000}, {128, 22000}, {10, 1000}}},
    };
    for (const auto& c : cases) {
        qrtradut::setSynthParams(c.cut, c.minimum, c.pause, false, false);
        EXPECT_EQ(say(c.phonetic), c.expected) << c.cut << " " << c.minimum << " " << c.pause;
    }
}

TEST_F(Synth, GroupsSplitsAndFallbacks) {
    ASSERT_EQ(qrtradut::synthStart(), 0);
    qrtradut::setSynthParams(400, 0, 100, false, false);
    struct Case { std::string phonetic; Runs expected; };
    const std::vector<Case> cases = {
        {"[kay]", {{10, 360}, {30, 400}}},          // ka at 0.6, then ay
        {"[as]", {{40, 489}, {20, 500}}},           // a at 0.7 (489.99..), then s
        {"[kas]", {{10, 600}, {20, 500}}},          // final consonant first: both whole
        {"[kaza]", {{80, 540}, {40, 700}}},         // $kaz at 0.9, then $a
        {"[piza]", {{40, 700}}},                    // $piz is missing and ends in z
        {"[ka~]", {{60, 810}, {70, 540}}},          // $kaCIRC stressed at 0.9, $nn at 0.9
        {"[ k/a/ k/A]", {{10, 600 + 1000}}},        // groups are syllables, no pause inside
        {"[ka][ka]", {{10, 600}, {128, 100}, {10, 600}}},
        // '/' ends a group past 8 letters: $kakakakaka is rebuilt as $a alone
        {"[kaka/kaka/ka/ka]", {{40, 700}, {128, 100}, {10, 600}}},
    };
    for (const auto& c : cases) EXPECT_EQ(say(c.phonetic), c.expected) << c.phonetic;

    say("[b]");
    ASSERT_EQ(samples().size(), 300u);
    for (std::uint8_t v : samples()) {
        EXPECT_GE(v, 88);
        EXPECT_LE(v, 167);
    }
    qrtradut::resetStats();
    say("[ka/ kaza][ piza][b]");
    EXPECT_EQ(qrtradut::stats().groups, 4u);
    EXPECT_EQ(qrtradut::stats().noiseGroups, 1u);
    EXPECT_EQ(qrtradut::stats().droppedGroups, 1u);
}

TEST_F(Synth, RecordedLettersAndPunctuation) {
    ASSERT_EQ(qrtradut::synthStart(), 0);
    qrtradut::setSynthParams(400, 0, 100, false, false);
    EXPECT_EQ(say("[ /_c]"), (Runs{{99, 500}}));
    EXPECT_EQ(say("[ /_,]"), (Runs{{128, 4000}}));
    EXPECT_EQ(say("[ /_,]", true), (Runs{{44, 300}}));
    EXPECT_EQ(say("[ /_.]"), (Runs{{128, 8000}}));
    EXPECT_EQ(say("[ /_;]"), (Runs{{128, 6000}}));
    EXPECT_EQ(say("[ /_:]"), (Runs{{128, 8000}}));
    // A recorded letter begins a group; what follows it in the group is not heard.
    EXPECT_EQ(say("[ /_c/a]"), (Runs{{99, 500}}));
    EXPECT_EQ(say("[ /_x]"), (Runs{}));          // _120.wav is missing and long
    qrtradut::setSynthParams(400, 0, 250, false, false);
    EXPECT_EQ(say("[ka][ /_c]"), (Runs{{10, 600}, {128, 200}, {99, 500}}));
}

TEST_F(Synth, MalformedStringsEndCleanly) {
    ASSERT_EQ(qrtradut::synthStart(), 0);
    for (const char* text : {"[", "]", "[ka", "_", "[_", "[ /_", "^~^~", "[~y]", "[^w]", "[a~y]",
                             "////////////", "[kA^y~ws]", "[ssssssssssssssssssssssssssssssssssssssssssssssss]"}) {
        say(text);
    }
    SUCCEED();
}

TEST_F(Synth, UtteranceLongerThanOneImage) {
    ASSERT_EQ(qrtradut::synthStart(), 0);
    qrtradut::setSynthParams(400, 0, 100, false, false);
    std::string text;
    for (int i = 0; i < 150; ++i) text += "[kA]";
    say(text);
    ASSERT_GE(images_.size(), 3u);
    std::size_t total = 0;
    for (const Bytes& image : images_) {
        EXPECT_LT(image.size(), qrtradut::imageSize);
        EXPECT_EQ(std::string(image.begin(), image.begin() + 4), "RIFF");
        const std::uint32_t dataLength = image[40] | (image[41] << 8) | (image[42] << 16) | (image[43] << 24);
        EXPECT_EQ(dataLength, image.size() - 44);
        total += image.size() - 44;
    }
    EXPECT_EQ(total, 150u * 1000 + 149u * 100);
}

TEST_F(Synth, ImagesReachTheDeviceOneAfterAnother) {
    ASSERT_EQ(qrtradut::synthStart(), 0);
    qrtradut::setImageSink(nullptr);
    wt::setAutoFinish(true);
    std::string text;
    for (int i = 0; i < 150; ++i) text += "[kA]";
    qrtradut::synthesize(text, false);
    const auto blocks = wt::blocks();
    ASSERT_GE(blocks.size(), 3u);
    std::size_t total = 0;
    for (const auto& b : blocks) total += b.size();
    EXPECT_EQ(total, 150u * 1000 + 149u * 100);
}

TEST_F(Synth, AKeyLeavesTheRestSilent) {
    ASSERT_EQ(qrtradut::synthStart(), 0);
    qrtradut::setImageSink(nullptr);
    qrcrt::openScreen();
    wt::setWriteHook([](std::size_t n) {
        if (n == 1) platform::headless::typeKey('A', 'a');
    });
    std::string text;
    for (int i = 0; i < 150; ++i) text += "[kA]";
    qrtradut::synthesize(text, false);  // returns although no block ever finishes
    EXPECT_EQ(wt::blocks().size(), 1u);
    ASSERT_TRUE(qrcrt::keyWaiting());
    EXPECT_EQ(qrcrt::readKeyCode(), 'a');
}

}  // namespace
