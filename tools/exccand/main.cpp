// exccand: the held-out word list of the transcription test, and exception
// candidates for the diphone synthesizer, both checked against espeak-ng.
//
//   exccand heldout -c CORPUS -D DICT -x EXC... [-n COUNT] > LIST
//   exccand propose -c CORPUS -D DICT -r DIR [-n MAX] > CANDIDATES
//
// The corpus words (Windows-1252) are ranked by frequency; the 5000 most
// frequent are the tuning set, the rest the held-out pool.
//
// heldout: words of the pool that the dictionary (wbrazilian, UTF-8, one word
// a line) knows in lower case, that no exception file names (either file's
// keys, a final s or m stripped as the transcribers do), that espeak-ng reads
// as Portuguese (no language switch) and that have a vowel; COUNT of them
// (default 1000) taken evenly along the ranking, written one a line.
//
// propose: for every dictionary word in lower case that is not in the pool
// and that the rules of DIR (regras.rgr, portug.exc) read otherwise than
// espeak-ng, spellings of the word with a stress and vowel-quality mark on
// each vowel (' open, ^ closed) and with x read as ks, ss, z or ch are tried;
// the one nearest espeak-ng, when it reads the word without a difference,
// gives an exception line "key=spelling" (never a key that would serve a pool
// word through the stripped final s or m). Tuning-set words come first, then
// the shorter words; at most MAX lines (default 12000). A plural or a form in
// m that its stem's line already serves is left out.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "synth/regras.hpp"
#include "ttsper/per.hpp"

namespace {

constexpr std::size_t tuningWords = 5000;

struct Args {
    std::string corpus, dict, rulesDir;
    std::vector<std::string> exceptionFiles;
    std::size_t count = 0;
};

bool parse(int argc, char** argv, Args& a) {
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string o = argv[i];
        if (o == "-c") a.corpus = argv[i + 1];
        else if (o == "-D") a.dict = argv[i + 1];
        else if (o == "-r") a.rulesDir = argv[i + 1];
        else if (o == "-x") a.exceptionFiles.push_back(argv[i + 1]);
        else if (o == "-n") a.count = std::stoul(argv[i + 1]);
        else return false;
    }
    return !a.corpus.empty() && !a.dict.empty();
}

bool allLower(const std::string& w) {
    for (unsigned char c : w)
        if (!per::isLetter(c) || ttschars::lower(std::string(1, static_cast<char>(c)))[0] != static_cast<char>(c))
            return false;
    return !w.empty();
}

std::unordered_set<std::string> dictionary(const std::string& path) {
    std::unordered_set<std::string> words;
    for (std::string& w : per::readWordList(path))
        if (allLower(w)) words.insert(std::move(w));
    return words;
}

// The transcriber's notation of a word: lower case, accent marks after vowels.
std::string notation(const std::string& word) { return regras::preprocess(ttschars::lower(word)); }

bool named(const std::set<std::string>& keys, std::string w) {
    while (!w.empty()) {
        if (keys.count(w)) return true;
        if (w.back() != 's' && w.back() != 'm') return false;
        w.pop_back();
    }
    return false;
}

int heldout(const Args& a) {
    const auto ranked = per::rankWords(per::readFile(a.corpus));
    const auto dict = dictionary(a.dict);
    std::set<std::string> keys;
    for (const std::string& f : a.exceptionFiles) {
        for (const std::string& key : per::exceptionKeys(f)) {
            keys.insert(key);
            keys.insert(notation(key));
        }
    }
    if (!per::startEspeak()) return 77;
    std::vector<std::string> pool;
    for (std::size_t i = tuningWords; i < ranked.size(); ++i) {
        const std::string& w = ranked[i].first;
        if (!dict.count(w) || named(keys, w) || named(keys, notation(w))) continue;
        const std::string x = per::espeakPhonemes(w);
        if (x.find('(') != std::string::npos || per::vowelCount(per::mapEspeak(x).phonemes) == 0) continue;
        pool.push_back(w);
    }
    const std::size_t want = a.count ? a.count : 1000;
    for (std::size_t k = 0; k < want && k < pool.size(); ++k)
        std::cout << pool[k * pool.size() / std::min(want, pool.size())] << '\n';
    std::cerr << "exccand: " << pool.size() << " words in the held-out pool\n";
    return 0;
}

bool isVowelLetter(char c) { return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u'; }

std::vector<std::string> spellings(const std::string& key) {
    std::vector<std::string> xs{key};
    const std::size_t x = key.find('x');
    if (x != std::string::npos)
        for (const char* r : {"ks", "ss", "z"}) xs.push_back(key.substr(0, x) + r + key.substr(x + 1));
    const bool accented = key.find_first_of("'^~`") != std::string::npos;
    std::vector<std::string> out;
    for (const std::string& s : xs) {
        out.push_back(s);
        if (accented) continue;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (!isVowelLetter(s[i])) continue;
            out.push_back(s.substr(0, i + 1) + "'" + s.substr(i + 1));
            if (s[i] == 'e' || s[i] == 'o' || s[i] == 'a') out.push_back(s.substr(0, i + 1) + "^" + s.substr(i + 1));
        }
    }
    return out;
}

int propose(const Args& a) {
    if (!regras::loadRules(a.rulesDir + "/regras.rgr") || !regras::loadExceptions(a.rulesDir + "/portug.exc")) {
        std::cerr << "exccand: cannot load the rules of " << a.rulesDir << '\n';
        return 1;
    }
    const auto ranked = per::rankWords(per::readFile(a.corpus));
    std::unordered_set<std::string> pool, poolKeys;
    std::vector<std::string> order;
    for (std::size_t i = 0; i < ranked.size(); ++i) {
        if (i < tuningWords) {
            order.push_back(ranked[i].first);
            continue;
        }
        pool.insert(ranked[i].first);
        // Keys that would serve a pool word once its final s or m is stripped.
        std::string k = notation(ranked[i].first);
        while (!k.empty()) {
            poolKeys.insert(k);
            if (k.back() != 's' && k.back() != 'm') break;
            k.pop_back();
        }
    }
    const auto dict = dictionary(a.dict);
    std::vector<std::string> rest;
    for (const std::string& w : dict)
        if (!pool.count(w)) rest.push_back(w);
    std::sort(rest.begin(), rest.end(), [](const std::string& x, const std::string& y) {
        return x.size() != y.size() ? x.size() < y.size() : x < y;
    });
    std::unordered_set<std::string> tuning(order.begin(), order.end());
    for (std::string& w : rest)
        if (!tuning.count(w)) order.push_back(std::move(w));
    if (!per::startEspeak()) return 77;
    const std::size_t max = a.count ? a.count : 12000;
    std::set<std::string> taken;  // keys
    std::vector<std::pair<std::string, std::string>> lines;
    std::size_t tried = 0;
    for (const std::string& w : order) {
        if (lines.size() >= max) break;
        if (!dict.count(w) || w.size() < 2) continue;
        const std::string x = per::espeakPhonemes(w);
        if (x.find('(') != std::string::npos) continue;
        ++tried;
        const per::Reading ref = per::mapEspeak(x);
        const std::string key = notation(w);
        if (poolKeys.count(key)) continue;
        if (key.find_first_not_of("abcdefghijklmnopqrstuvwxyz'^~`\"") != std::string::npos) continue;
        if (per::distance(ref.phonemes, per::mapDiphone(regras::transcribe(key)).phonemes) == 0) continue;
        // A stem's line already serves this form.
        std::string stem = key;
        bool served = false;
        while (!stem.empty() && (stem.back() == 's' || stem.back() == 'm')) {
            stem.pop_back();
            if (taken.count(stem)) served = true;
        }
        if (served) continue;
        for (const std::string& s : spellings(key)) {
            if (s == key) continue;
            const per::Reading r = per::mapDiphone(regras::transcribe(s));
            if (per::distance(ref.phonemes, r.phonemes) == 0 && r.stress == ref.stress) {
                taken.insert(key);
                lines.emplace_back(key, s);
                break;
            }
        }
    }
    std::sort(lines.begin(), lines.end());
    for (const auto& [k, s] : lines) std::cout << k << '=' << s << '\n';
    std::cerr << "exccand: " << tried << " words tried, " << lines.size() << " lines\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Args a;
    const std::string cmd = argc > 1 ? argv[1] : "";
    if ((cmd != "heldout" && cmd != "propose") || !parse(argc, argv, a) || (cmd == "propose" && a.rulesDir.empty())) {
        std::cerr << "usage: exccand heldout -c CORPUS -D DICT -x EXC... [-n COUNT]\n"
                     "       exccand propose -c CORPUS -D DICT -r DIR [-n MAX]\n";
        return 2;
    }
    return cmd == "heldout" ? heldout(a) : propose(a);
}
