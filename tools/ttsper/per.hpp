// What ttsper, ttsexc and exccand share: espeak-ng's pt-br transcription
// mapped onto the built-in voice's phoneme set, the built-in voice's and the
// diphone synthesizer's transcriptions mapped onto the same set, the edit
// distance, the corpus word count and the word and exception lists.
//
// Both sides come out as a list of phonemes and the 1-based number of the
// stressed vowel among the word's vowels (0: none marked).
#pragma once

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cstddef>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/system/system.hpp"
#include "tts/ttschars.hpp"
#include "tts/uttsportug.hpp"
#include "tts/uttspreproc.hpp"
#include "tts/uttsprosodia.hpp"

namespace per {

using Phonemes = std::vector<std::string>;

struct Reading {
    Phonemes phonemes;
    int stress = 0;
};

inline bool isVowelPhoneme(const std::string& p) {
    static const std::set<std::string> v = {"a", "E", "e", "i", "O", "o", "u", "@", "an", "en", "in", "on", "un"};
    return v.count(p) != 0;
}

// The 1-based vowel number of phoneme index i (the next vowel when i is not one).
inline int vowelNumber(const Phonemes& p, std::size_t i) {
    int n = 0;
    for (std::size_t k = 0; k < p.size(); ++k) {
        if (isVowelPhoneme(p[k])) {
            ++n;
            if (k >= i) return n;
        }
    }
    return 0;
}

inline int vowelCount(const Phonemes& p) {
    return static_cast<int>(std::count_if(p.begin(), p.end(), isVowelPhoneme));
}

inline bool isLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}

inline bool espeakVowel(const std::string& s) {
    static const char* v[] = {"a", "e", "i", "o", "u", "E", "O", "&", "&~", "e~", "i~", "o~", "u~", "U", "y"};
    return std::find_if(std::begin(v), std::end(v), [&](const char* x) { return s == x; }) != std::end(v);
}

// espeak-ng's pt-br symbols onto ours. "lj" (the sound of lh) stays one
// phoneme.
inline Reading mapEspeak(const std::string& x) {
    static const char* multi[] = {"tS", "dZ", "n^", "l^", "lj", "&~", "e~", "i~", "o~", "u~", "U~", "I~"};
    std::vector<std::string> sym;
    std::vector<bool> stressed;
    bool pending = false;
    for (std::size_t i = 0; i < x.size();) {
        bool done = false;
        for (const char* m : multi) {
            if (x.compare(i, 2, m) == 0) {
                sym.emplace_back(m);
                stressed.push_back(pending);
                i += 2;
                done = true;
                break;
            }
        }
        if (done) continue;
        const char c = x[i++];
        if (c == '\'') {
            pending = true;
            continue;
        }
        if (std::string(",-;_|#:@!()\n\r \t").find(c) != std::string::npos) continue;
        sym.emplace_back(1, c);
        stressed.push_back(pending);
    }
    Reading r;
    Phonemes& out = r.phonemes;
    std::size_t stressAt = std::string::npos;
    auto isNasal = [](const std::string& p) { return p == "an" || p == "en" || p == "in" || p == "on" || p == "un"; };
    auto push = [&](const std::string& p, bool st) {
        if (st && stressAt == std::string::npos && isVowelPhoneme(p)) stressAt = out.size();
        out.push_back(p);
    };
    for (std::size_t i = 0; i < sym.size(); ++i) {
        const std::string& s = sym[i];
        const bool st = stressed[i];
        const std::string next = i + 1 < sym.size() ? sym[i + 1] : "";
        const std::string next2 = i + 2 < sym.size() ? sym[i + 2] : "";
        const bool afterVowel = !out.empty() && (out.back().size() <= 2) &&
                                std::string("aeiouEO@").find(out.back()[0]) != std::string::npos &&
                                out.back() != "j" && out.back() != "w";
        // e + I + nasal consonant: espeak-ng's nasal e.
        if (s == "e" && next == "I" && (next2 == "N" || next2 == "m" || next2 == "n") &&
            (i + 3 >= sym.size() || !espeakVowel(sym[i + 3]))) {
            push("en", st);
            if (i + 3 >= sym.size() || (sym[i + 3] == "s" && i + 4 >= sym.size())) out.push_back("j");
            i += 2;
            continue;
        }
        // i, o, u + N, or + m before a consonant: a nasal vowel.
        if ((s == "i" || s == "u" || s == "o") &&
            ((next == "N" && (i + 2 >= sym.size() || !espeakVowel(next2))) ||
             (next == "m" && i + 2 < sym.size() && !espeakVowel(next2)))) {
            push(s + "n", st);
            ++i;
            continue;
        }
        if (s == "&" && (next == "U~" || next == "I~")) { push("an", st); continue; }
        if (s == "&~") { push("an", st); continue; }
        if (s == "e~") { push("en", st); continue; }
        if (s == "i~") { push("in", st); continue; }
        if (s == "o~") { push("on", st); continue; }
        if (s == "u~") { push("un", st); continue; }
        if (s == "U~") { out.push_back("w"); continue; }
        if (s == "I~") { out.push_back("j"); continue; }
        // espeak-ng writes the nasal consonant that closes a nasal vowel
        // before a consonant; ours is part of the vowel.
        if ((s == "N" || s == "m" || s == "n") && !out.empty() && isNasal(out.back()) &&
            (next.empty() || !espeakVowel(next)))
            continue;
        if (s == "N") { out.push_back("n"); continue; }
        if (s == "n^") { out.push_back("J"); continue; }
        if (s == "l^" || s == "lj") { out.push_back("L"); continue; }
        if (s == "&") { push("@", st); continue; }
        if (s == "I") { out.push_back("j"); continue; }
        if (s == "U") { push(afterVowel ? "w" : "u", st); continue; }
        if (s == "y") { push(!out.empty() && isNasal(out.back()) ? "j" : "i", st); continue; }
        if (s == "*" || s == "R" || s == "r") { out.push_back("r"); continue; }
        if (s == "x" || s == "h") { out.push_back("R"); continue; }
        push(s, st);
    }
    if (stressAt != std::string::npos) r.stress = vowelNumber(out, stressAt);
    else if (vowelCount(out) == 1) r.stress = 1;
    return r;
}

// espeak-ng's phoneme text of a Windows-1252 word.
inline std::string espeakPhonemes(const std::string& word) {
    const std::string utf8 = platform::cp1252ToUtf8(word);
    const void* p = utf8.c_str();
    std::string x;
    while (p) {
        const char* r = espeak_TextToPhonemes(&p, espeakCHARS_UTF8, 0);
        if (r) x += r;
    }
    return x;
}

inline bool startEspeak() {
    return espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0) >= 0 && espeak_SetVoiceByName("pt-br") == EE_OK;
}

// The built-in voice's phoneme list onto the same set: pause and syllable
// entries and marks dropped (">" the stress), r2 and s2 as r and s.
inline Reading mapBuiltin(const std::vector<std::string>& list) {
    Reading r;
    std::size_t stressAt = std::string::npos;
    for (std::string l : list) {
        if (l.empty() || l[0] == ';' || l[0] == '_') continue;
        bool marked = false;
        while (!l.empty() && (l[0] == '>' || static_cast<unsigned char>(l[0]) == 0xA8)) {
            marked = marked || l[0] == '>';
            l.erase(0, 1);
        }
        if (l.empty()) continue;
        if (l == "r2") l = "r";
        if (l == "s2") l = "s";
        if (marked && stressAt == std::string::npos) stressAt = r.phonemes.size();
        r.phonemes.push_back(l);
    }
    if (stressAt != std::string::npos) r.stress = vowelNumber(r.phonemes, stressAt);
    else if (vowelCount(r.phonemes) == 1) r.stress = 1;
    return r;
}

// Loads the built-in voice's data (portug.nrl, .exc, .abr, .pro) from dir;
// its messages go to standard error.
inline bool loadBuiltinVoice(const std::string& dir) {
    const std::string base = dir + "/portug";
    uttsprosodia::setMessageHandler([](const std::string& m) { std::cerr << platform::cp1252ToUtf8(m) << '\n'; });
    return uttsportug::loadWordData(base + ".nrl", base + ".exc") && uttspreproc::loadAbbreviations(base + ".abr") &&
           uttsprosodia::loadProsody(base + ".pro");
}

// The installed data directory beside the program.
inline std::string shareDir() {
    const std::string exe = platform::executablePath();
    return exe.substr(0, exe.rfind('/')) + "/share/quoril";
}

// A Windows-1252 word through the built-in voice's whole chain (its data
// loaded).
inline Reading builtinReading(const std::string& word) {
    const std::string normal = uttspreproc::normaliseText(word);
    return mapBuiltin(uttsportug::textToPhonemes(uttsprosodia::assignPatterns(uttsprosodia::splitTokens(normal), true)));
}

// The diphone synthesizer's phonetic string ("[ k/A/ z/a^]") onto the same
// set. Upper-case vowels carry the stress; a recorded letter (" /_X") is a
// phoneme no reference has.
inline Reading mapDiphone(const std::string& t) {
    Reading r;
    Phonemes& out = r.phonemes;
    std::size_t stressAt = std::string::npos;
    auto lowerc = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    for (std::size_t i = 0; i < t.size();) {
        const char c = t[i];
        if (c == '[' || c == ']' || c == '/' || c == ' ') { ++i; continue; }
        if (c == '_') {
            out.push_back("?");
            i += 2;
            continue;
        }
        auto two = [&](const char* s) { return t.compare(i, 2, s) == 0; };
        if (t.compare(i, 3, "tch") == 0) { out.push_back("tS"); i += 3; continue; }
        if (two("dj")) { out.push_back("dZ"); i += 2; continue; }
        if (two("nh")) { out.push_back("J"); i += 2; continue; }
        if (two("lh")) { out.push_back("L"); i += 2; continue; }
        if (two("rr")) { out.push_back("R"); i += 2; continue; }
        const char l = lowerc(c);
        if (std::string("aeiou").find(l) != std::string::npos) {
            const char mark = i + 1 < t.size() ? t[i + 1] : 0;
            std::string p;
            if (mark == '~') p = std::string(1, l) + "n";
            else if (mark == '^') p = l == 'a' ? "@" : std::string(1, l);
            else if (l == 'e') p = "E";
            else if (l == 'o') p = "O";
            else p = std::string(1, l);
            if (c != l && stressAt == std::string::npos) stressAt = out.size();
            out.push_back(p);
            i += (mark == '~' || mark == '^') ? 2 : 1;
            continue;
        }
        ++i;
        switch (l) {
            case 'y': out.push_back("j"); break;
            case 'x': out.push_back("S"); break;
            case 'j': out.push_back("Z"); break;
            case '^': case '~': case '\'': case '"': case '`': break;
            default: out.push_back(std::string(1, l)); break;
        }
    }
    if (stressAt != std::string::npos) r.stress = vowelNumber(out, stressAt);
    else if (vowelCount(out) == 1) r.stress = 1;
    return r;
}

inline std::size_t distance(const Phonemes& a, const Phonemes& b) {
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

inline std::string join(const Phonemes& p) {
    std::string s;
    for (const auto& x : p) s += (s.empty() ? "" : " ") + x;
    return s;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The words of a Windows-1252 text (runs of letters, two or more, lower
// case), most frequent first; equal counts in byte order.
inline std::vector<std::pair<std::string, std::size_t>> rankWords(const std::string& text) {
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

// The lines of a Windows-1252 list file, without CR and blanks.
inline std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

// The words of a UTF-8 list file in Windows-1252; words with characters
// outside it are dropped.
inline std::vector<std::string> readWordList(const std::string& path) {
    std::vector<std::string> words;
    for (const std::string& line : readLines(path)) {
        std::string w = platform::utf8ToCp1252(line);
        if (platform::cp1252ToUtf8(w) == line) words.push_back(std::move(w));
    }
    return words;
}

// The keys of an exception file (KEY=REPLACEMENT lines, ";" comments), in
// lower case.
inline std::set<std::string> exceptionKeys(const std::string& path) {
    std::set<std::string> keys;
    for (const std::string& line : readLines(path))
        if (line[0] != ';') keys.insert(ttschars::lower(line.substr(0, line.find('='))));
    return keys;
}

}  // namespace per
