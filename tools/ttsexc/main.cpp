// ttsexc: exception candidates for the built-in voice, and a measure of its
// transcription (phonemes and stress) against espeak-ng pt-br.
//
//   ttsexc measure [-d DIR] [-f FROM] [-n COUNT] [-k STEP] [-l WORDLIST] [-s SHOW] CORPUS
//   ttsexc propose [-d DIR] [-c CORPUS] [-r RANK] WORDLIST
//
// measure: the corpus words (two letters or more) ranked FROM+1 on (default
// 0), every STEP-th (default 1), COUNT of them (default 5000), optionally
// only those the word list (UTF-8, one a line) knows and none the exception
// file lists, are transcribed through the whole chain and by espeak-ng.
// Prints the phoneme error rate, the words differing and the stress
// agreement: the stressed vowel, counted from the word's start, is the same
// on both sides (words of one vowel and words espeak-ng leaves unstressed are
// not counted). SHOW words with a difference are listed first, each side with
// the 1-based number of its stressed vowel (0: none). Both sides are mapped
// as ttsper maps them (tools/ttsper/per.hpp).
//
// propose: each word of the word list that our rules (with the current
// exceptions) read differently from espeak-ng, and that a respelling with one
// written accent, or with x written as CS, SS or Z (or both), reads exactly
// as espeak-ng does, is printed as an exception line WORD=RESPELLING
// (Windows-1252). Capitalised words, words with a hyphen and corpus words
// ranked beyond RANK (default 5000: those are kept for held-out measures)
// are left out.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ttsper/per.hpp"
#include "tts/uttsportug.hpp"
#include "tts/uttstonica.hpp"

namespace {

// The rules alone on a spelling (no exception lookup), as an exception's
// replacement is read.
per::Reading oursRules(const std::string& upperWord) {
    std::vector<std::string> list;
    const std::size_t stress = uttsportug::isUnstressedWord(upperWord) ? 0 : uttstonica::findStress(upperWord);
    uttsportug::wordToPhonemes(upperWord, stress, list);
    return per::mapBuiltin(list);
}

per::Reading espeakReading(const std::string& word) { return per::mapEspeak(per::espeakPhonemes(word)); }

// Whether a stress comparison means anything for this reading.
bool stressCounts(const per::Reading& ref) { return ref.stress > 0 && per::vowelCount(ref.phonemes) >= 2; }

bool sameStress(const per::Reading& ref, const per::Reading& mine) { return ref.stress == mine.stress; }

int measure(const std::string& base, const std::string& corpus, std::size_t from, std::size_t count, std::size_t step,
            const std::string& list, std::size_t show) {
    const auto words = per::rankWords(per::readFile(corpus));
    std::set<std::string> known;
    if (!list.empty())
        for (const auto& w : per::readWordList(list)) known.insert(ttschars::lower(w));
    const auto excepted = per::exceptionKeys(base + ".exc");
    std::size_t taken = 0, errors = 0, total = 0, wrongWords = 0, stressWords = 0, stressSame = 0, shown = 0;
    for (std::size_t i = from; i < words.size() && taken < count; i += std::max<std::size_t>(step, 1)) {
        const std::string& word = words[i].first;
        if (!list.empty() && (!known.count(word) || excepted.count(word))) continue;
        ++taken;
        const per::Reading ref = espeakReading(word), mine = per::builtinReading(word);
        const std::size_t d = per::distance(ref.phonemes, mine.phonemes);
        errors += d;
        total += ref.phonemes.size();
        wrongWords += d != 0;
        const bool counted = stressCounts(ref);
        stressWords += counted;
        stressSame += counted && sameStress(ref, mine);
        if ((d || (counted && !sameStress(ref, mine))) && shown < show) {
            ++shown;
            std::cout << platform::cp1252ToUtf8(word) << '\t' << words[i].second << '\t' << d
                      << "\tespeak: " << per::join(ref.phonemes) << " (" << ref.stress
                      << ")\tours: " << per::join(mine.phonemes) << " (" << mine.stress << ")\n";
        }
    }
    std::printf("words: %zu, words with a difference: %zu, phonemes: %zu, errors: %zu, phoneme error rate: %.2f%%, "
                "stress agrees: %zu of %zu (%.2f%%)\n",
                taken, wrongWords, total, errors, total ? 100.0 * errors / total : 0.0, stressSame, stressWords,
                stressWords ? 100.0 * stressSame / stressWords : 0.0);
    return 0;
}

bool isPlainVowel(char c) { return c == 'A' || c == 'E' || c == 'I' || c == 'O' || c == 'U'; }

std::vector<std::string> respellings(const std::string& w) {
    static const std::map<char, std::vector<std::string>> accents = {
        {'A', {"\xC1", "\xC2"}}, {'E', {"\xC9", "\xCA"}}, {'O', {"\xD3", "\xD4"}}, {'I', {"\xCD"}}, {'U', {"\xDA"}}};
    std::vector<std::string> xs = {w};
    for (std::size_t i = 0; i < w.size(); ++i)
        if (w[i] == 'X')
            for (const char* r : {"CS", "SS", "Z"}) xs.push_back(w.substr(0, i) + r + w.substr(i + 1));
    std::vector<std::string> out;
    for (const std::string& x : xs) {
        if (x != w) out.push_back(x);
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (!isPlainVowel(x[i])) continue;
            for (const std::string& a : accents.at(x[i])) out.push_back(x.substr(0, i) + a + x.substr(i + 1));
        }
    }
    return out;
}

int propose(const std::string& corpus, std::size_t rank, const std::string& list) {
    std::set<std::string> heldOut;
    if (!corpus.empty()) {
        const auto words = per::rankWords(per::readFile(corpus));
        for (std::size_t i = rank; i < words.size(); ++i) heldOut.insert(words[i].first);
    }
    for (const std::string& word : per::readWordList(list)) {
        const unsigned char first = static_cast<unsigned char>(word[0]);
        if (word.size() < 3 || (!(first >= 'a' && first <= 'z') && first < 0xE0)) continue;
        if (std::any_of(word.begin(), word.end(), [](char c) { return !per::isLetter(static_cast<unsigned char>(c)); })) continue;
        if (heldOut.count(word)) continue;
        const per::Reading ref = espeakReading(word);
        const per::Reading now = per::builtinReading(word);
        const bool stressOk = !stressCounts(ref) || sameStress(ref, now);
        if (now.phonemes == ref.phonemes && stressOk) continue;
        const std::string up = ttschars::upper(word);
        for (const std::string& v : respellings(up)) {
            const per::Reading r = oursRules(v);
            if (r.phonemes == ref.phonemes && (!stressCounts(ref) || sameStress(ref, r))) {
                std::cout << up << '=' << v << '\n';
                break;
            }
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: ttsexc measure|propose [options] FILE\n";
        return 2;
    }
    const std::string mode = argv[1];
    std::string dir, corpus, file, list;
    std::size_t from = 0, count = 5000, step = 1, show = 0, rank = 5000;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        auto number = [&] { return i + 1 < argc ? std::stoul(argv[++i]) : 0UL; };
        if (a == "-d" && i + 1 < argc) dir = argv[++i];
        else if (a == "-c" && i + 1 < argc) corpus = argv[++i];
        else if (a == "-l" && i + 1 < argc) list = argv[++i];
        else if (a == "-f") from = number();
        else if (a == "-n") count = number();
        else if (a == "-k") step = number();
        else if (a == "-s") show = number();
        else if (a == "-r") rank = number();
        else file = a;
    }
    if (file.empty() || (mode != "measure" && mode != "propose")) {
        std::cerr << "usage: ttsexc measure|propose [options] FILE\n";
        return 2;
    }
    if (dir.empty()) dir = per::shareDir() + "/tireltts";
    if (!per::loadBuiltinVoice(dir)) {
        std::cerr << "ttsexc: cannot load the voice files from " << dir << '\n';
        return 1;
    }
    if (!per::startEspeak()) {
        std::cerr << "ttsexc: espeak-ng pt-br is not available\n";
        return 77;
    }
    if (mode == "measure") return measure(dir + "/portug", file, from, count, step, list, show);
    return propose(corpus, rank, file);
}
