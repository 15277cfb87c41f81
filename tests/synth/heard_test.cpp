// The diphone voice as the speaking console plays it, sentence by sentence,
// with the generated voice and recordings and the build's settings: every
// block the player hands the device and every pause between them, laid out
// in time as the listener hears them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/env.hpp"
#include "support/fresh_system.hpp"
#include "support/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;

constexpr int kRate = 11025;

struct Heard {
    std::vector<std::uint8_t> sound;       // 8-bit samples as played, pauses included
    std::vector<std::size_t> pauseAt;      // where each pause begins in sound
    std::vector<int> pauseMs;              // and what it asked for
};

// Speaks the sentences at a speed and lays the blocks and pauses out in time.
Heard hear(const std::vector<std::string>& sentences, int speed) {
    Heard h;
    struct Pause {
        std::size_t afterBlocks;
        int ms;
    };
    std::vector<Pause> pauses;
    speaking::setSpeechTrace([&](const std::string& piece) {
        if (piece.rfind("pause ", 0) == 0)
            pauses.push_back({platform::waveout::test::blocks().size(), std::atoi(piece.c_str() + 6)});
    });
    speaking::startSpeech(speed, "");
    for (const std::string& s : sentences) {
        speaking::speakText(s);
        speaking::waitWhileSpeaking();
    }
    speaking::setSpeechTrace({});
    for (const auto& f : platform::waveout::test::openedFormats())
        EXPECT_EQ(f, (platform::waveout::test::Format{kRate, 8, 1}));
    const auto blocks = platform::waveout::test::blocks();
    std::size_t p = 0;
    for (std::size_t b = 0; b <= blocks.size(); ++b) {
        for (; p < pauses.size() && pauses[p].afterBlocks == b; ++p) {
            h.pauseAt.push_back(h.sound.size());
            h.pauseMs.push_back(pauses[p].ms);
            h.sound.insert(h.sound.end(), static_cast<std::size_t>(pauses[p].ms) * kRate / 1000, 128);
        }
        if (b < blocks.size()) h.sound.insert(h.sound.end(), blocks[b].begin(), blocks[b].end());
    }
    return h;
}

bool quiet(std::uint8_t v) { return std::abs(v - 128) <= 1; }

class Heard5 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(etc / "QUORIL.INI") || !fs::exists(fs::path(QUORIL_BUILD_DIR) / "share/quoril/som/difones/PTBR.IND"))
            GTEST_SKIP() << "no generated voice and settings in " << QUORIL_BUILD_DIR;
        support::freshSystem();
    }
    void TearDown() override { support::closeSystem(); }

    const fs::path etc = fs::path(QUORIL_BUILD_DIR) / "etc";
    const std::vector<std::string> sentences = {
        "O gato subiu, devagar, no telhado.",
        "Quando jogamos \xE1gua na planta, ela cresce: depressa.",
        "Muito obrigado pela aten\xE7\xE3o. At\xE9 amanh\xE3, se Deus quiser.",
        "Irm\xE3os, m\xE3""es e av\xF3s cantam: todos juntos.",
        "Ningu\xE9m quer trabalhar aqui; todos preferem a praia.",
    };
};

}  // namespace

// Wherever the voice meets silence of 5 ms or more (a word or punctuation
// pause, the start and end of a sentence), the sample beside the silence
// lies within a tenth of the voice's peak of it: no click. With the pitch-
// period cut (CORTAFALA) too.
TEST_F(Heard5, SpeechMeetsSilenceWithoutAStep) {
    struct Case {
        int speed;
        bool cortaFala;
    };
    const Case cases[] = {{1, false}, {3, false}, {5, false}, {3, true}};
    const support::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE("speed " + std::to_string(c.speed) + (c.cortaFala ? " with CORTAFALA" : ""));
        support::freshSystem();
        std::ifstream in(etc / "QUORIL.INI", std::ios::binary);
        std::string ini{std::istreambuf_iterator<char>(in), {}};
        if (c.cortaFala) ini.replace(ini.find("[SINTETIZADOR]"), 14, "[SINTETIZADOR]\r\nCORTAFALA3=S");
        std::ofstream(dir.path() / "QUORIL.INI", std::ios::binary) << ini;
        const support::ScopedEnv windir("QUORIL_WINDIR", dir.path().string());
        const Heard h = hear(sentences, c.speed);
        ASSERT_GT(h.sound.size(), static_cast<std::size_t>(5 * kRate));
        int peak = 0;
        for (std::uint8_t v : h.sound) peak = std::max(peak, std::abs(v - 128));
        // Steps into or out of a stretch of silence (the ends count as silence).
        int steps = 0, worst = 0;
        std::string where;
        const auto count = [&](std::size_t at, int step) {
            worst = std::max(worst, step);
            if (step * 10 <= peak) return;
            ++steps;
            where += " " + std::to_string(at * 1000 / kRate) + " ms";
        };
        const std::size_t minQuiet = kRate * 5 / 1000;
        std::size_t run = minQuiet;
        for (std::size_t i = 0; i <= h.sound.size(); ++i) {
            const bool q = i == h.sound.size() || quiet(h.sound[i]);
            if (q && run == 0 && i > 0) {  // sound ends here: silence must follow long enough
                std::size_t j = i;
                while (j < h.sound.size() && quiet(h.sound[j]) && j - i < minQuiet) ++j;
                if (j - i >= minQuiet || j == h.sound.size()) count(i - 1, std::abs(h.sound[i - 1] - 128));
            }
            if (!q && run >= minQuiet) count(i, std::abs(h.sound[i] - 128));
            run = q ? run + 1 : 0;
        }
        std::printf("speed %d%s: %d steps into or out of silence above a tenth of the peak (worst %.2f of it)\n",
                    c.speed, c.cortaFala ? " CORTAFALA" : "", steps, static_cast<double>(worst) / peak);
        EXPECT_EQ(steps, 0) << "at" << where;
    }
}

// The silence the listener hears at each punctuation pause, from the end of
// the mark's recording to the next sound, lasts what the settings ask for
// (PAUSAVIRG, PAUSAPONTO, PAUSADOISPONTOS of the speed) within 20 ms.
TEST_F(Heard5, PausesLastWhatTheSettingsSay) {
    const support::ScopedEnv windir("QUORIL_WINDIR", etc.string());
    for (int speed : {1, 3, 5}) {
        SCOPED_TRACE("speed " + std::to_string(speed));
        support::freshSystem();
        const Heard h = hear(sentences, speed);
        ASSERT_FALSE(h.pauseAt.empty());
        std::string measured;
        for (std::size_t k = 0; k < h.pauseAt.size(); ++k) {
            std::size_t from = h.pauseAt[k], to = from;
            while (from > 0 && quiet(h.sound[from - 1])) --from;
            while (to < h.sound.size() && quiet(h.sound[to])) ++to;
            if (to == h.sound.size()) continue;  // the end of the last sentence
            const double ms = (to - from) * 1000.0 / kRate;
            measured += " " + std::to_string(h.pauseMs[k]) + ":" + std::to_string(static_cast<int>(ms + 0.5));
            EXPECT_NEAR(ms, h.pauseMs[k], 20.0) << "pause " << k << " asked " << h.pauseMs[k];
        }
        std::printf("speed %d, asked:heard ms:%s\n", speed, measured.c_str());
    }
}
