// The voices the build generates: their indexes are sorted and searchable,
// their units lie inside the data file, are evenly loud and carry no
// silence at their edges, the rules' output for real words always finds
// units (or fallbacks that are heard), and the five speeds keep their pace
// against espeak-ng's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/system/system.hpp"
#include "synth/qrtradut.hpp"
#include "synth/regras.hpp"
#include "support/env.hpp"

namespace {

namespace fs = std::filesystem;

const fs::path voiceDir = fs::path(QUORIL_BUILD_DIR) / "share" / "quoril" / "som" / "difones";

std::vector<std::uint8_t> readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Voice : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(voiceDir / "PTBR.IND")) GTEST_SKIP() << "no generated voice in " << voiceDir;
        regras::resetForTests();
        qrtradut::resetForTests();
    }
    void TearDown() override {
        regras::resetForTests();
        qrtradut::resetForTests();
    }
};

TEST_F(Voice, IndexIsSortedSearchableAndInsideTheData) {
    const auto bytes = readAll(voiceDir / "PTBR.IND");
    ASSERT_EQ(bytes.size() % qrtradut::indexEntrySize, 0u);
    const auto entries = qrtradut::parseIndex(bytes.data(), bytes.size());
    ASSERT_GT(entries.size(), 300u);
    const auto dataSize = fs::file_size(voiceDir / "PTBR.DIF");
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) {
            EXPECT_LT(entries[i - 1].name, entries[i].name);
        }
        EXPECT_EQ(qrtradut::findIndexEntry(entries, entries[i].name), static_cast<int>(i));
        EXPECT_GT(entries[i].length, 100) << entries[i].name;  // a stop's burst is short
        EXPECT_LE(entries[i].offset + entries[i].length, dataSize);
    }
    // The names every group needs at least: single consonants and vowels.
    for (const char* name : {"$A", "$ECIRC", "$I", "$OCIRC", "$U", "$S", "$R", "$NN", "$KA", "$AWTIL", "$TCHI", "$DJI"})
        EXPECT_GE(qrtradut::findIndexEntry(entries, name), 0) << name;
}

// Every unit of both databases: its loudness within 3 dB of the voice's
// mean, and no more than 5 ms of silence (within one step of 128) at
// either end, so that gaps between words come from the settings alone.
TEST_F(Voice, UnitsAreEvenlyLoudAndStartAndEndInSound) {
    constexpr std::size_t maxEdge = qrtradut::sampleRate * 5 / 1000;
    for (const char* base : {"PTBR", "PTBRR"}) {
        SCOPED_TRACE(base);
        const auto ind = readAll(voiceDir / (std::string(base) + ".IND"));
        const auto dif = readAll(voiceDir / (std::string(base) + ".DIF"));
        const auto entries = qrtradut::parseIndex(ind.data(), ind.size());
        ASSERT_GT(entries.size(), 300u);
        std::vector<double> levels;
        for (const auto& e : entries) {
            ASSERT_LE(e.offset + e.length, dif.size()) << e.name;
            const auto* u = dif.data() + e.offset;
            const auto silent = [](std::uint8_t v) { return std::abs(v - 128) <= 1; };
            double sum = 0;
            for (std::size_t i = 0; i < e.length; ++i) sum += (u[i] - 128.0) * (u[i] - 128.0);
            levels.push_back(10 * std::log10(std::max(sum / std::max<double>(e.length, 1), 1e-9)));
            const auto lead = static_cast<std::size_t>(std::find_if_not(u, u + e.length, silent) - u);
            std::size_t tail = 0;
            while (tail < e.length && silent(u[e.length - 1 - tail])) ++tail;
            EXPECT_LE(lead, maxEdge) << e.name;
            EXPECT_LE(tail, maxEdge) << e.name;
        }
        double mean = 0;
        for (double l : levels) mean += l / static_cast<double>(levels.size());
        for (std::size_t i = 0; i < entries.size(); ++i)
            EXPECT_NEAR(levels[i], mean, 3.0) << entries[i].name;
    }
}

// Seconds of sound between the first and the last sample louder than the
// threshold.
double soundSeconds(const std::vector<int>& samples, int threshold, int rate) {
    const auto loud = [threshold](int v) { return std::abs(v) > threshold; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
    return first < last ? static_cast<double>(last - first) / rate : 0.0;
}

// espeak-ng's own duration of a UTF-8 sentence at its default pace.
double espeakSeconds(const std::string& utf8) {
    std::FILE* p = ::popen(("espeak-ng -v pt-br --stdout '" + utf8 + "' 2>/dev/null").c_str(), "r");
    if (!p) return 0;
    std::vector<std::uint8_t> wav;
    std::uint8_t buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;)
        wav.insert(wav.end(), buffer, buffer + n);
    ::pclose(p);
    if (wav.size() < 44) return 0;
    const int rate = wav[24] | (wav[25] << 8) | (wav[26] << 16);
    std::vector<int> samples;
    for (std::size_t i = 44; i + 1 < wav.size(); i += 2)
        samples.push_back(static_cast<std::int16_t>(wav[i] | (wav[i + 1] << 8)));
    return soundSeconds(samples, 300, rate);
}

// The diphone voice's duration of a Windows-1252 sentence at a speed of
// QUORIL.INI (0 when the synthesizer does not start).
double diphoneSeconds(const std::string& text, int speed) {
    const std::string n = std::to_string(speed);
    const auto num = [&](const char* key) {
        return platform::getProfileInt("SINTETIZADOR", key + n, -1, "QUORIL.INI");
    };
    qrtradut::setDatabaseName(platform::getProfileString("SINTETIZADOR", "DIFONES" + n, "", "QUORIL.INI"));
    qrtradut::setSynthParams(num("CORTEFON"), num("SOBRAFON"), num("INTERPAL"), false, false);
    if (qrtradut::synthStart() != 0) return 0;
    std::vector<int> samples;
    qrtradut::setImageSink([&](const std::uint8_t* image, std::size_t size) {
        for (std::size_t i = qrtradut::headerSize; i < size; ++i) samples.push_back(image[i] - 128);
    });
    qrtradut::synthesize(regras::transcribe(text), false);
    qrtradut::synthStop();
    return soundSeconds(samples, 2, qrtradut::sampleRate);
}

// Speed 3 about espeak-ng's pace, speed 5 much faster, and every speed
// faster than the one before.
TEST_F(Voice, SpeedsKeepTheirPaceAgainstEspeak) {
    const fs::path etc = fs::path(QUORIL_BUILD_DIR) / "etc";
    if (!fs::exists(etc / "QUORIL.INI")) GTEST_SKIP() << "no settings in " << etc;
    if (std::system("espeak-ng --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no espeak-ng program";
    const support::ScopedEnv windir("QUORIL_WINDIR", etc.string());
    const char* sentences[] = {
        "O gato subiu no telhado e dormiu ao sol da tarde",
        "Muito obrigado pela aten\xE7\xE3o at\xE9 amanh\xE3 se Deus quiser",
        "Quando jogamos \xE1gua na planta ela cresce depressa",
    };
    struct Bound {
        int speed;
        double atLeast, atMost;
    };
    const Bound bounds[] = {{1, 1.2, 2.0}, {2, 1.0, 1.6}, {3, 0.9, 1.2}, {4, 0.6, 1.0}, {5, 0.3, 0.65}};
    for (const char* sentence : sentences) {
        const double reference = espeakSeconds(platform::cp1252ToUtf8(sentence));
        ASSERT_GT(reference, 1.0) << sentence;
        double slower = 1e9;
        for (const Bound& b : bounds) {
            const double ratio = diphoneSeconds(sentence, b.speed) / reference;
            EXPECT_GE(ratio, b.atLeast) << sentence << " speed " << b.speed;
            EXPECT_LE(ratio, b.atMost) << sentence << " speed " << b.speed;
            EXPECT_LT(ratio, slower) << sentence << " speed " << b.speed;
            slower = ratio;
        }
    }
}

TEST_F(Voice, RealWordsFindTheirUnits) {
    const fs::path etc = fs::path(QUORIL_BUILD_DIR) / "etc";
    if (!fs::exists(etc / "QUORIL.INI")) GTEST_SKIP() << "no settings in " << etc;
    int started = -1;
    {
        const support::ScopedEnv windir("QUORIL_WINDIR", etc.string());
        qrtradut::setDatabaseName("PTBR");
        started = qrtradut::synthStart();
    }
    ASSERT_EQ(started, 0);

    std::size_t samples = 0;
    qrtradut::setImageSink([&](const std::uint8_t*, std::size_t size) { samples += size - 44; });
    const std::string text =
        "Conversor de arquivos para formato ZUL. O p\xE3o sempre cai com a manteiga para baixo, "
        "e o gato com as patas no ch\xE3o. Quando jogamos \xE1gua na planta, ela cresce. "
        "Irm\xE3os, m\xE3""es e av\xF3s cantam can\xE7\xF5""es bonitas no est\xFA""dio. "
        "Ningu\xE9m quer trabalhar aqui; todos preferem a praia, o sol e a cerveja gelada. "
        "Exame, texto, exceto, lixo, t\xE1xi, quero, guerra, ling\xFCi\xE7""a, quinze, tr\xEAs. "
        "Muito obrigado pela aten\xE7\xE3o; at\xE9 amanh\xE3, se Deus quiser.";
    const std::string phonetic = regras::transcribe(text);
    EXPECT_NE(phonetic.find("[ k/o~/ v/e^/r/ s/O^/r]"), std::string::npos) << phonetic;
    qrtradut::resetStats();
    qrtradut::synthesize(phonetic, false);
    const auto& st = qrtradut::stats();
    EXPECT_GT(st.groups, 100u);
    EXPECT_EQ(st.noiseGroups + st.droppedGroups, 0u) << ::testing::PrintToString(st.missing);
    EXPECT_GT(samples, 10u * 11025u);  // well over ten seconds of speech
    qrtradut::synthStop();
}

}  // namespace
