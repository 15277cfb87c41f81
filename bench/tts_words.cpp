// Words per second of the built-in voice's analysis, from text to engine
// lines: normalisation, tokens and patterns, letter-to-sound with stress,
// timing and pitch at the voice's own pace. Each line of the text file
// (Windows-1252) is one utterance, as the console speaks them. Start-up (the
// language files) is outside the time. Also the seconds of speech the lines
// ask for, for times real time.
//
//   bench_tts_words CORPUS [DATA_DIR] [ROUNDS]
// DATA_DIR defaults to share/quoril/tireltts of the build tree.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "corpus.hpp"

#include "platform/system/system.hpp"
#include "servers/tirel.hpp"
#include "tts/uttspreproc.hpp"
#include "tts/uttsportug.hpp"
#include "tts/uttsprosodia.hpp"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_tts_words CORPUS [DATA_DIR] [ROUNDS]\n");
        return 2;
    }
    std::string dir = argc > 2 ? argv[2] : "";
    if (dir.empty()) {
        const std::string exe = platform::executablePath();
        dir = exe.substr(0, exe.rfind('/')) + "/../share/quoril/tireltts";
    }
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    const std::string base = dir + "/portug";
    uttsprosodia::setMessageHandler([](const std::string& m) { std::fprintf(stderr, "%s\n", m.c_str()); });
    if (!uttsportug::loadWordData(base + ".nrl", base + ".exc") || !uttspreproc::loadAbbreviations(base + ".abr") ||
        !uttsprosodia::loadProsody(base + ".pro") || !uttsprosodia::loadDiphoneList(base + ".dfn")) {
        std::fprintf(stderr, "bench_tts_words: cannot load the voice files from %s\n", dir.c_str());
        return 1;
    }
    std::size_t words = 0;
    const std::vector<std::string> lines = bench::readCorpus(argv[1], words);
    const double pace = servers::tirel::durationFactorFor(0);
    double best = 1e100;
    std::size_t engineLines = 0;
    for (int r = 0; r < rounds; ++r) {
        engineLines = 0;
        const auto t0 = std::chrono::steady_clock::now();
        for (const std::string& line : lines) {
            const auto tokens = uttsprosodia::splitTokens(uttspreproc::normaliseText(line));
            const auto phonemes = uttsportug::textToPhonemes(uttsprosodia::assignPatterns(tokens, true));
            engineLines += uttsprosodia::buildPhoLines(phonemes, pace, 1.0).size();
        }
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        best = std::min(best, s);
    }
    // The speech asked for: the sum of the durations, the second field.
    double speechMs = 0;
    for (const std::string& line : lines) {
        const auto tokens = uttsprosodia::splitTokens(uttspreproc::normaliseText(line));
        const auto phonemes = uttsportug::textToPhonemes(uttsprosodia::assignPatterns(tokens, true));
        for (const std::string& l : uttsprosodia::buildPhoLines(phonemes, pace, 1.0))
            if (const auto blank = l.find(' '); blank != std::string::npos) speechMs += std::atof(l.c_str() + blank);
    }
    std::printf("tts_words: %zu lines, %zu words, %zu engine lines, %.0f s of speech, best of %d: %.3f s, "
                "%.0f words/s, %.0f times real time\n",
                lines.size(), words, engineLines, speechMs / 1000, rounds, best, words / best, speechMs / 1000 / best);
    return 0;
}
