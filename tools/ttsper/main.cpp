// ttsper: phoneme error rate of Portuguese transcription against espeak-ng
// pt-br, for both voices: the built-in voice (its letter-to-sound rules and
// exceptions) and the diphone synthesizer (regras.rgr and portug.exc).
//
//   ttsper [-d DIR] [-r DIR] [-p builtin|diphone|both] [-s SHOW]
//          (-l LIST | [-w WORDS] CORPUS)
//
// The words are those of LIST (Windows-1252, one a line), else the WORDS most
// frequent ones (default 5000) of two letters or more of CORPUS (Windows-
// 1252). -d names the built-in voice's data directory, -r the diphone
// synthesizer's (default: beside the program). Each word goes through our
// transcription and through espeak-ng's; espeak-ng's symbols are mapped onto
// the built-in voice's phoneme set (tools/ttsper/per.hpp), stress and
// syllable marks are dropped on both sides, and r2 and s2 count as r and s.
// The rate is the sum of the edit distances over the sum of espeak-ng's
// phoneme counts; stress agrees when both put it on the same vowel. One
// line a path; SHOW words with errors are listed before it, in list order.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "synth/regras.hpp"
#include "ttsper/per.hpp"

namespace {

per::Reading diphone(const std::string& word) { return per::mapDiphone(regras::transcribe(word)); }

struct Score {
    std::size_t words = 0, wrongWords = 0, phonemes = 0, errors = 0, stressAgrees = 0, shown = 0;
};

void report(const char* name, const Score& s) {
    std::printf("%s: words: %zu, words with a difference: %zu, phonemes: %zu, errors: %zu, "
                "phoneme error rate: %.2f%%, stress agreeing: %.2f%%\n",
                name, s.words, s.wrongWords, s.phonemes, s.errors, s.phonemes ? 100.0 * s.errors / s.phonemes : 0.0,
                s.words ? 100.0 * s.stressAgrees / s.words : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir, diphoneDir, corpus, listFile, path = "both";
    std::size_t wanted = 5000, show = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-d" && i + 1 < argc) dir = argv[++i];
        else if (a == "-r" && i + 1 < argc) diphoneDir = argv[++i];
        else if (a == "-l" && i + 1 < argc) listFile = argv[++i];
        else if (a == "-p" && i + 1 < argc) path = argv[++i];
        else if (a == "-w" && i + 1 < argc) wanted = std::stoul(argv[++i]);
        else if (a == "-s" && i + 1 < argc) show = std::stoul(argv[++i]);
        else corpus = a;
    }
    const bool doBuiltin = path == "both" || path == "builtin", doDiphone = path == "both" || path == "diphone";
    if ((corpus.empty() && listFile.empty()) || (!doBuiltin && !doDiphone)) {
        std::cerr << "usage: ttsper [-d DIR] [-r DIR] [-p builtin|diphone|both] [-s SHOW] (-l LIST | [-w WORDS] CORPUS)\n";
        return 2;
    }
    if (dir.empty()) dir = per::shareDir() + "/tireltts";
    if (diphoneDir.empty()) diphoneDir = per::shareDir() + "/som/difones";
    if (doBuiltin && !per::loadBuiltinVoice(dir)) {
        std::cerr << "ttsper: cannot load the voice files from " << dir << '\n';
        return 1;
    }
    if (doDiphone && (!regras::loadRules(diphoneDir + "/regras.rgr") || !regras::loadExceptions(diphoneDir + "/portug.exc"))) {
        std::cerr << "ttsper: cannot load regras.rgr and portug.exc from " << diphoneDir << '\n';
        return 1;
    }
    std::vector<std::string> words;
    if (!listFile.empty()) {
        words = per::readLines(listFile);
    } else {
        for (const auto& [w, count] : per::rankWords(per::readFile(corpus))) {
            if (words.size() >= wanted) break;
            words.push_back(w);
        }
    }
    if (words.empty()) {
        std::cerr << "ttsper: no words\n";
        return 1;
    }
    if (!per::startEspeak()) {
        std::cerr << "ttsper: espeak-ng pt-br is not available\n";
        return 77;
    }
    Score scores[2];
    const char* names[2] = {"builtin", "diphone"};
    for (const std::string& word : words) {
        const std::string x = per::espeakPhonemes(word);
        const per::Reading ref = per::mapEspeak(x);
        for (int k = 0; k < 2; ++k) {
            if ((k == 0 && !doBuiltin) || (k == 1 && !doDiphone)) continue;
            Score& s = scores[k];
            const per::Reading mine = k == 0 ? per::builtinReading(word) : diphone(word);
            const std::size_t d = per::distance(ref.phonemes, mine.phonemes);
            ++s.words;
            s.errors += d;
            s.phonemes += ref.phonemes.size();
            if (ref.stress == mine.stress) ++s.stressAgrees;
            if (d == 0) continue;
            ++s.wrongWords;
            if (s.shown < show) {
                ++s.shown;
                std::cout << names[k] << '\t' << platform::cp1252ToUtf8(word) << '\t' << d
                          << "\tespeak: " << per::join(ref.phonemes) << "\tours: " << per::join(mine.phonemes) << "\t("
                          << x << ")\n";
            }
        }
    }
    if (doBuiltin) report(names[0], scores[0]);
    if (doDiphone) report(names[1], scores[1]);
    return 0;
}
