// ttsper: phoneme error rate of the built-in voice's letter-to-sound rules
// (with its exceptions) against espeak-ng pt-br, on the most frequent words
// of a text.
//
//   ttsper [-d DIR] [-w WORDS] [-s SHOW] CORPUS
//
// The CORPUS (Windows-1252) is cut into words (runs of letters); the WORDS
// most frequent ones (default 5000) of two letters or more are taken. Each
// goes through our normalisation and letter-to-sound stages, and through
// espeak-ng's; espeak-ng's symbols are mapped onto our phoneme set (below),
// stress marks and syllable marks are dropped on both sides, and our r2 and
// s2 count as r and s. The rate is the sum of the edit distances over the
// sum of espeak-ng's phoneme counts. SHOW words with errors are listed,
// most frequent first.
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/system/system.hpp"
#include "tts/ttschars.hpp"
#include "tts/uttspreproc.hpp"
#include "tts/uttsportug.hpp"
#include "tts/uttsprosodia.hpp"

namespace {

using Phonemes = std::vector<std::string>;

bool isLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}

Phonemes ours(const std::string& word) {
    const std::string normal = uttspreproc::normaliseText(word);
    const auto list = uttsportug::textToPhonemes(uttsprosodia::assignPatterns(uttsprosodia::splitTokens(normal), true));
    Phonemes out;
    for (std::string l : list) {
        if (l.empty() || l[0] == ';' || l[0] == '_') continue;
        while (!l.empty() && (l[0] == '>' || static_cast<unsigned char>(l[0]) == 0xA8)) l.erase(0, 1);
        if (l.empty()) continue;
        if (l == "r2") l = "r";
        if (l == "s2") l = "s";
        out.push_back(l);
    }
    return out;
}

bool espeakVowel(const std::string& s) {
    static const char* v[] = {"a", "e", "i", "o", "u", "E", "O", "&", "&~", "e~", "i~", "o~", "u~", "U", "y"};
    return std::find_if(std::begin(v), std::end(v), [&](const char* x) { return s == x; }) != std::end(v);
}

// espeak-ng's pt-br symbols onto ours.
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
        // e + I + nasal consonant: espeak-ng's nasal e.
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
        // espeak-ng writes the nasal consonant that closes a nasal vowel
        // before a consonant; ours is part of the vowel.
        if ((s == "N" || s == "m" || s == "n") && !out.empty() && isNasal(out.back()) &&
            (next.empty() || !espeakVowel(next)))
            continue;
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

}  // namespace

int main(int argc, char** argv) {
    std::string dir, corpus;
    std::size_t wanted = 5000, show = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-d" && i + 1 < argc) dir = argv[++i];
        else if (a == "-w" && i + 1 < argc) wanted = std::stoul(argv[++i]);
        else if (a == "-s" && i + 1 < argc) show = std::stoul(argv[++i]);
        else corpus = a;
    }
    if (corpus.empty()) {
        std::cerr << "usage: ttsper [-d DIR] [-w WORDS] [-s SHOW] CORPUS\n";
        return 2;
    }
    if (dir.empty()) dir = (std::string)platform::executablePath().substr(0, platform::executablePath().rfind('/')) + "/share/quoril/tireltts";
    const std::string base = dir + "/portug";
    uttsprosodia::setMessageHandler([](const std::string& m) { std::cerr << platform::cp1252ToUtf8(m) << '\n'; });
    if (!uttsportug::loadWordData(base + ".nrl", base + ".exc") || !uttspreproc::loadAbbreviations(base + ".abr") ||
        !uttsprosodia::loadProsody(base + ".pro")) {
        std::cerr << "ttsper: cannot load the voice files from " << dir << '\n';
        return 1;
    }
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
    if (words.size() > wanted) words.resize(wanted);

    if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0) < 0 || espeak_SetVoiceByName("pt-br") != EE_OK) {
        std::cerr << "ttsper: espeak-ng pt-br is not available\n";
        return 77;
    }
    std::size_t errors = 0, total = 0, wrongWords = 0, shown = 0;
    for (const auto& [word, count] : words) {
        const std::string utf8 = platform::cp1252ToUtf8(word);
        const void* p = utf8.c_str();
        std::string x;
        while (p) {
            const char* r = espeak_TextToPhonemes(&p, espeakCHARS_UTF8, 0);
            if (r) x += r;
        }
        const Phonemes ref = mapEspeak(x), mine = ours(word);
        const std::size_t d = distance(ref, mine);
        errors += d;
        total += ref.size();
        if (d) {
            ++wrongWords;
            if (shown < show) {
                ++shown;
                std::cout << utf8 << '\t' << count << '\t' << d << "\tespeak: " << join(ref) << "\tours: " << join(mine)
                          << "\t(" << x << ")\n";
            }
        }
    }
    std::printf("words: %zu, words with a difference: %zu, phonemes: %zu, errors: %zu, phoneme error rate: %.2f%%\n",
                words.size(), wrongWords, total, errors, total ? 100.0 * errors / total : 0.0);
    return 0;
}
