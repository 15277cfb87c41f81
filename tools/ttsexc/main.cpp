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
// not counted).
//
// propose: each word of the word list that our rules (with the current
// exceptions) read differently from espeak-ng, and that a respelling with one
// written accent, or with x written as CS, SS or Z (or both), reads exactly
// as espeak-ng does, is printed as an exception line WORD=RESPELLING
// (Windows-1252). Capitalised words, words with a hyphen and corpus words
// ranked beyond RANK (default 5000: those are kept for held-out measures)
// are left out.
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/system/system.hpp"
#include "tts/ttschars.hpp"
#include "tts/uttsexcessoes.hpp"
#include "tts/uttsportug.hpp"
#include "tts/uttspreproc.hpp"
#include "tts/uttsprosodia.hpp"
#include "tts/uttstonica.hpp"

namespace {

using Phonemes = std::vector<std::string>;

struct Reading {
    Phonemes phonemes;
    int stressedVowel = -1;  // index among the vowels, -1 for none
};

bool isLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}

bool isVowelPhoneme(const std::string& p) {
    static const std::set<std::string> v = {"a", "e", "i", "o", "u", "E", "O", "@", "an", "en", "in", "on", "un"};
    return v.count(p) != 0;
}

int vowelsIn(const Phonemes& p) {
    return static_cast<int>(std::count_if(p.begin(), p.end(), isVowelPhoneme));
}

// Our phonemes of a phoneme list: marks dropped, r2 and s2 as r and s.
Reading fromList(const std::vector<std::string>& list) {
    Reading r;
    int vowels = 0;
    bool marked = false;
    for (std::string l : list) {
        if (l.empty() || l[0] == ';' || l[0] == '_') continue;
        bool stress = false;
        while (!l.empty() && (l[0] == '>' || static_cast<unsigned char>(l[0]) == 0xA8)) {
            stress = stress || l[0] == '>';
            l.erase(0, 1);
        }
        if (l.empty()) continue;
        if (l == "r2") l = "r";
        if (l == "s2") l = "s";
        if (stress && !marked) {
            marked = true;
            r.stressedVowel = vowels;
        }
        if (isVowelPhoneme(l)) ++vowels;
        r.phonemes.push_back(l);
    }
    return r;
}

Reading oursWhole(const std::string& word) {
    const std::string normal = uttspreproc::normaliseText(word);
    return fromList(uttsportug::textToPhonemes(uttsprosodia::assignPatterns(uttsprosodia::splitTokens(normal), true)));
}

// The rules alone on a spelling (no exception lookup), as an exception's
// replacement is read.
Reading oursRules(const std::string& upperWord) {
    std::vector<std::string> list;
    const std::size_t stress = uttsportug::isUnstressedWord(upperWord) ? 0 : uttstonica::findStress(upperWord);
    uttsportug::wordToPhonemes(upperWord, stress, list);
    return fromList(list);
}

bool espeakVowel(const std::string& s) {
    static const char* v[] = {"a", "e", "i", "o", "u", "E", "O", "&", "&~", "e~", "i~", "o~", "u~", "U", "y"};
    return std::find_if(std::begin(v), std::end(v), [&](const char* x) { return s == x; }) != std::end(v);
}

// espeak-ng's pt-br symbols onto ours (the mapping ttsper uses).
Phonemes mapEspeak(const std::string& x) {
    static const char* multi[] = {"tS", "dZ", "n^", "l^", "&~", "e~", "i~", "o~", "u~", "U~", "I~"};
    std::vector<std::string> sym;
    for (std::size_t i = 0; i < x.size();) {
        bool done = false;
        for (const char* m : multi) {
            if (x.compare(i, 2, m) == 0) {
                sym.emplace_back(m);
                i += 2;
                done = true;
                break;
            }
        }
        if (done) continue;
        const char c = x[i++];
        if (std::string("',-;_|#:@!()\n\r \t").find(c) != std::string::npos) continue;
        sym.emplace_back(1, c);
    }
    Phonemes out;
    auto isNasal = [](const std::string& p) { return p == "an" || p == "en" || p == "in" || p == "on" || p == "un"; };
    for (std::size_t i = 0; i < sym.size(); ++i) {
        const std::string& s = sym[i];
        const std::string next = i + 1 < sym.size() ? sym[i + 1] : "";
        const std::string next2 = i + 2 < sym.size() ? sym[i + 2] : "";
        const bool afterVowel = !out.empty() && (out.back().size() <= 2) &&
                                std::string("aeiouEO@").find(out.back()[0]) != std::string::npos &&
                                out.back() != "j" && out.back() != "w";
        if (s == "e" && next == "I" && (next2 == "N" || next2 == "m" || next2 == "n") &&
            (i + 3 >= sym.size() || !espeakVowel(sym[i + 3]))) {
            out.push_back("en");
            if (i + 3 >= sym.size() || (sym[i + 3] == "s" && i + 4 >= sym.size())) out.push_back("j");
            i += 2;
            continue;
        }
        if ((s == "i" || s == "u" || s == "o") && (next == "N") && (i + 2 >= sym.size() || !espeakVowel(next2))) {
            out.push_back(s + "n");
            ++i;
            continue;
        }
        if (s == "&" && (next == "U~" || next == "I~")) { out.push_back("an"); continue; }
        if (s == "&~") { out.push_back("an"); continue; }
        if (s == "e~") { out.push_back("en"); continue; }
        if (s == "i~") { out.push_back("in"); continue; }
        if (s == "o~") { out.push_back("on"); continue; }
        if (s == "u~") { out.push_back("un"); continue; }
        if (s == "U~") { out.push_back("w"); continue; }
        if (s == "I~") { out.push_back("j"); continue; }
        if ((s == "N" || s == "m" || s == "n") && !out.empty() && isNasal(out.back()) &&
            (next.empty() || !espeakVowel(next)))
            continue;
        if (s == "l" && next == "j") {  // espeak-ng's lh
            out.push_back("L");
            ++i;
            continue;
        }
        if (s == "N") { out.push_back("n"); continue; }
        if (s == "n^") { out.push_back("J"); continue; }
        if (s == "l^") { out.push_back("L"); continue; }
        if (s == "&") { out.push_back("@"); continue; }
        if (s == "I") { out.push_back("j"); continue; }
        if (s == "U") { out.push_back(afterVowel ? "w" : "u"); continue; }
        if (s == "y") { out.push_back(!out.empty() && isNasal(out.back()) ? "j" : "i"); continue; }
        if (s == "*" || s == "R" || s == "r") { out.push_back("r"); continue; }
        if (s == "x" || s == "h") { out.push_back("R"); continue; }
        out.push_back(s);
    }
    return out;
}

Reading espeakReading(const std::string& cp1252Word) {
    const std::string utf8 = platform::cp1252ToUtf8(cp1252Word);
    const void* p = utf8.c_str();
    std::string x;
    while (p) {
        const char* r = espeak_TextToPhonemes(&p, espeakCHARS_UTF8, 0);
        if (r) x += r;
    }
    Reading r;
    r.phonemes = mapEspeak(x);
    const std::size_t mark = x.find('\'');
    if (mark != std::string::npos) r.stressedVowel = vowelsIn(mapEspeak(x.substr(0, mark)));
    return r;
}

std::size_t distance(const Phonemes& a, const Phonemes& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diag = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diag = up;
        }
    }
    return row[b.size()];
}

std::string join(const Phonemes& p) {
    std::string s;
    for (const auto& x : p) s += (s.empty() ? "" : " ") + x;
    return s;
}

// Whether a stress comparison means anything for this reading.
bool stressCounts(const Reading& ref) { return ref.stressedVowel >= 0 && vowelsIn(ref.phonemes) >= 2; }

bool sameStress(const Reading& ref, const Reading& mine) { return ref.stressedVowel == mine.stressedVowel; }

std::vector<std::pair<std::string, std::size_t>> rankedWords(const std::string& corpus) {
    std::ifstream in(corpus, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::map<std::string, std::size_t> counts;
    for (std::size_t i = 0; i < text.size();) {
        if (!isLetter(static_cast<unsigned char>(text[i]))) { ++i; continue; }
        std::size_t j = i;
        while (j < text.size() && isLetter(static_cast<unsigned char>(text[j]))) ++j;
        if (j - i >= 2) ++counts[ttschars::lower(text.substr(i, j - i))];
        i = j;
    }
    std::vector<std::pair<std::string, std::size_t>> words(counts.begin(), counts.end());
    std::stable_sort(words.begin(), words.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    return words;
}

// The word list's words in Windows-1252; words with characters outside it
// are dropped.
std::vector<std::string> wordList(const std::string& file) {
    std::vector<std::string> out;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        const std::string w = platform::utf8ToCp1252(line);
        if (platform::cp1252ToUtf8(w) != line) continue;
        out.push_back(w);
    }
    return out;
}

std::set<std::string> exceptionWords(const std::string& file) {
    std::set<std::string> out;
    std::vector<std::string> lines;
    ttschars::readLines(file, lines);
    for (const auto& l : lines) {
        if (l.empty() || l[0] == ';') continue;
        out.insert(ttschars::lower(l.substr(0, l.find('='))));
    }
    return out;
}

int measure(const std::string& base, const std::string& corpus, std::size_t from, std::size_t count, std::size_t step,
            const std::string& list, std::size_t show) {
    auto words = rankedWords(corpus);
    std::set<std::string> known;
    if (!list.empty())
        for (const auto& w : wordList(list)) known.insert(ttschars::lower(w));
    const auto excepted = exceptionWords(base + ".exc");
    std::size_t taken = 0, errors = 0, total = 0, wrongWords = 0, stressWords = 0, stressSame = 0, shown = 0;
    for (std::size_t i = from; i < words.size() && taken < count; i += std::max<std::size_t>(step, 1)) {
        const std::string& word = words[i].first;
        if (!list.empty() && (!known.count(word) || excepted.count(word))) continue;
        ++taken;
        const Reading ref = espeakReading(word), mine = oursWhole(word);
        const std::size_t d = distance(ref.phonemes, mine.phonemes);
        errors += d;
        total += ref.phonemes.size();
        wrongWords += d != 0;
        const bool counted = stressCounts(ref);
        stressWords += counted;
        stressSame += counted && sameStress(ref, mine);
        if ((d || (counted && !sameStress(ref, mine))) && shown < show) {
            ++shown;
            std::cout << platform::cp1252ToUtf8(word) << '\t' << words[i].second << '\t' << d << "\tespeak: " << join(ref.phonemes)
                      << " (" << ref.stressedVowel << ")\tours: " << join(mine.phonemes) << " (" << mine.stressedVowel << ")\n";
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
        const auto words = rankedWords(corpus);
        for (std::size_t i = rank; i < words.size(); ++i) heldOut.insert(words[i].first);
    }
    for (const std::string& word : wordList(list)) {
        const unsigned char first = static_cast<unsigned char>(word[0]);
        if (word.size() < 3 || (!(first >= 'a' && first <= 'z') && first < 0xE0)) continue;
        if (std::any_of(word.begin(), word.end(), [](char c) { return !isLetter(static_cast<unsigned char>(c)); })) continue;
        if (heldOut.count(word)) continue;
        const Reading ref = espeakReading(word);
        const Reading now = oursWhole(word);
        const bool stressOk = !stressCounts(ref) || sameStress(ref, now);
        if (now.phonemes == ref.phonemes && stressOk) continue;
        const std::string up = ttschars::upper(word);
        for (const std::string& v : respellings(up)) {
            const Reading r = oursRules(v);
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
    if (dir.empty()) dir = (std::string)platform::executablePath().substr(0, platform::executablePath().rfind('/')) + "/share/quoril/tireltts";
    const std::string base = dir + "/portug";
    uttsprosodia::setMessageHandler([](const std::string& m) { std::cerr << platform::cp1252ToUtf8(m) << '\n'; });
    if (!uttsportug::loadWordData(base + ".nrl", base + ".exc") || !uttspreproc::loadAbbreviations(base + ".abr") ||
        !uttsprosodia::loadProsody(base + ".pro")) {
        std::cerr << "ttsexc: cannot load the voice files from " << dir << '\n';
        return 1;
    }
    if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0) < 0 || espeak_SetVoiceByName("pt-br") != EE_OK) {
        std::cerr << "ttsexc: espeak-ng pt-br is not available\n";
        return 77;
    }
    if (mode == "measure") return measure(base, file, from, count, step, list, show);
    return propose(corpus, rank, file);
}
