// The voice the build generates: its index is sorted and searchable, its
// units lie inside the data file, and the rules' output for real words
// always finds units (or fallbacks that are heard).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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
        EXPECT_GT(entries[i].length, 200) << entries[i].name;  // no silent unit
        EXPECT_LE(entries[i].offset + entries[i].length, dataSize);
    }
    // The names every group needs at least: single consonants and vowels.
    for (const char* name : {"$A", "$ECIRC", "$I", "$OCIRC", "$U", "$S", "$R", "$NN", "$KA", "$AWTIL", "$TCHI", "$DJI"})
        EXPECT_GE(qrtradut::findIndexEntry(entries, name), 0) << name;
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
