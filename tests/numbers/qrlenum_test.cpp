// Number reading: the words of numbers up to fifteen digits, the names of
// the recordings played (feminine forms, the cut to eight characters) and
// the images they are joined into.
#include <set>

#include "heard.hpp"
#include "numbers/qrlenum.hpp"

using qrlenum::numberToWords;
using Names = std::vector<std::string>;

TEST(NumberWords, Numbers) {
    struct Case {
        std::uint64_t n;
        const char* words;
    };
    const Case cases[] = {
        {0, "zero"},
        {1, "um"},
        {10, "dez"},
        {17, "dezessete"},
        {21, "vinte e um"},
        {40, "quarenta"},
        {100, "cem"},
        {101, "cento e um"},
        {110, "cento e dez"},
        {200, "duzentos"},
        {999, "novecentos e noventa e nove"},
        {1000, "mil "},
        {1001, "mil e um"},
        {1100, "mil e cem"},
        {1234, "mil duzentos e trinta e quatro"},
        {1980, "mil novecentos e oitenta"},
        {1900, "mil e novecentos"},
        {2099, "dois mil e noventa e nove"},
        {2123, "dois mil cento e vinte e tres"},
        {2000, "dois mil "},
        {101000, "cento e um mil "},
        {345678, "trezentos e quarenta e cinco mil seiscentos e setenta e oito"},
        {999999, "novecentos e noventa e nove mil novecentos e noventa e nove"},
        {1000000, "um milh\xE3o "},
        {1001000, "um milh\xE3o e um mil "},  // only a leading "um mil" loses its "um"
        {1250000, "um milh\xE3o duzentos e cinquenta mil "},
        {1200000, "um milh\xE3o e duzentos mil "},
        {2000300, "dois milh\xF5" "es e trezentos"},
        {12000019, "doze milh\xF5" "es e dezenove"},
        {2300400, "dois milh\xF5" "es trezentos mil e quatrocentos"},
        {1000000000, "um bilh\xE3o "},
        {3000000005, "tres bilh\xF5" "es e cinco"},
        {1000000000000, "um trilh\xE3o "},
        {2000000000001, "dois trilh\xF5" "es e um"},
        {999999999999999,
         "novecentos e noventa e nove trilh\xF5" "es novecentos e noventa e nove bilh\xF5"
         "es novecentos e noventa e nove milh\xF5" "es novecentos e noventa e nove mil "
         "novecentos e noventa e nove"},
    };
    for (const Case& c : cases) EXPECT_EQ(numberToWords(c.n), c.words) << c.n;
}

TEST(NumberWords, HundredsAndGroups) {
    struct Case {
        const char* digits;
        const char* words;
    };
    const Case hundreds[] = {{"000", ""},        {"100", "cem"},     {"005", "cinco"},
                             {"010", "dez"},     {"019", "dezenove"}, {"090", "noventa"},
                             {"300", "trezentos"}, {"406", "quatrocentos e seis"},
                             {"512", "quinhentos e doze"}, {"780", "setecentos e oitenta"}};
    for (const Case& c : hundreds) EXPECT_EQ(qrlenum::hundredsToWords(c.digits), c.words) << c.digits;

    const std::string s = "001002000001100";
    EXPECT_EQ(qrlenum::groupToWords(s, 0), "um trilh\xE3o ");
    EXPECT_EQ(qrlenum::groupToWords(s, 1), "dois bilh\xF5" "es ");
    EXPECT_EQ(qrlenum::groupToWords(s, 2), "");
    EXPECT_EQ(qrlenum::groupToWords(s, 3), "um mil ");
    EXPECT_EQ(qrlenum::groupToWords(s, 4), "cem");
}

TEST(NumberWords, SoundNames) {
    struct Case {
        std::uint64_t n;
        bool feminine;
        Names names;
    };
    const Case cases[] = {
        {1, false, {"_um"}},
        {1, true, {"_uma"}},
        {2, true, {"_duas"}},
        {21, true, {"_vinte", "_e", "_uma"}},
        {12, true, {"_doze"}},
        {22, false, {"_vinte", "_e", "_dois"}},
        {201, true, {"_duzento", "_e", "_uma"}},
        {1000000, true, {"_um", "_milhao"}},  // only the last word changes
        {16, false, {"_dezesse"}},
        {17, false, {"_dezeset"}},
        {3000000000000, false, {"_tres", "_trilhoe"}},
        {2000000, false, {"_dois", "_milhoes"}},
        {400, false, {"_quatroc"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(qrlenum::wordSoundNames(numberToWords(c.n), c.feminine), c.names) << c.n;
}

// Every recording number reading can ask for is one the voice generator
// makes, and every one it makes is reached by some number.
TEST(NumberWords, ReachEveryRecordedWord) {
    std::set<std::string> reached;
    auto add = [&](std::uint64_t n, bool feminine) {
        for (const std::string& name : qrlenum::wordSoundNames(numberToWords(n), feminine))
            reached.insert(name);
    };
    for (std::uint64_t n = 0; n < 1000; ++n) add(n, false);
    for (std::uint64_t scale = 1000; scale <= 1000000000000; scale *= 1000) {
        add(scale, false);
        add(2 * scale, false);
    }
    add(1, true);
    add(2, true);
    const auto listed = speaking::soundnames::numberWordSounds();
    EXPECT_EQ(reached, std::set<std::string>(listed.begin(), listed.end()));
}

using NumberPlaying = HeardTest;

TEST_F(NumberPlaying, WordsJoinedIntoOneImage) {
    qrlenum::speakNumberWords(numberToWords(21), true);
    EXPECT_EQ(heard(), (Names{"_vinte", "_e", "_uma"}));
    ASSERT_EQ(platform::waveout::test::blocks().size(), 1u);
    EXPECT_EQ(platform::waveout::test::openedFormats().front(),
              (platform::waveout::test::Format{11025, 8, 1}));
}

TEST_F(NumberPlaying, MissingWordIsSkipped) {
    std::filesystem::remove(dir_ / "_e.wav");
    qrlenum::speakNumberWords(numberToWords(34), false);
    EXPECT_EQ(heard(), (Names{"_trinta", "_quatro"}));
}

// Words of 12000 samples: two fit an image of 30000, the third starts the
// next.
TEST_F(NumberPlaying, ImagesOfAtMostThirtyThousandSamples) {
    record("_cem", 200, 12000);
    qrlenum::speakNumberWords("cem cem cem", false);
    std::vector<std::size_t> sizes;
    for (const auto& b : platform::waveout::test::blocks()) sizes.push_back(b.size());
    EXPECT_EQ(sizes, (std::vector<std::size_t>{24000, 12000}));

    // A long recording is played in pieces of one image each; its length is
    // taken modulo 65536, as the player's length field is 16 bits wide.
    struct Case {
        std::size_t samples;
        std::vector<std::size_t> sizes;
    };
    const Case cases[] = {{60000, {300, 30000, 30000}}, {70000, {300 + 70000 - 65536}}};
    for (const Case& c : cases) {
        platform::waveout::test::reset();
        platform::waveout::test::setAutoFinish(true);
        record("_cem", 201, c.samples);
        qrlenum::speakNumberWords("um cem", false);
        sizes.clear();
        for (const auto& b : platform::waveout::test::blocks()) sizes.push_back(b.size());
        EXPECT_EQ(sizes, c.sizes) << c.samples;
    }
}

TEST_F(NumberPlaying, KeyCutsTheWords) {
    platform::headless::typeKey('A', 'a');
    qrcrt::keyWaiting();
    qrlenum::speakNumberWords(numberToWords(999), false);
    EXPECT_TRUE(qrcrt::keyWaiting()) << "the key stays queued";
    EXPECT_EQ(qrcrt::readKeyCode(), 'a');
}
