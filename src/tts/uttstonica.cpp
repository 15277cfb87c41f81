// Stress from spelling. A written accent decides at once (the rightmost one
// wins). Otherwise the word is read backwards by a small state machine: a
// final a, e or o (with or without s or m after it) throws the stress back
// to the vowel of the syllable before; a final i or u, a final consonant
// other than s and m, or a final im, om, um keep it on the last syllable;
// a final ens is read as the plural of em (homens, imagens).
// The u of gu and qu is silent, so the stress skips over it to the vowel
// beyond; i and u next to another vowel are glides and yield to that vowel,
// so an i or u between two vowels (meio, praia) leaves the stress on the
// vowel before it. An i or u after a vowel and before nh or nd is a vowel of
// its own and takes the stress (rainha, moinho, ainda).
#include "tts/uttstonica.hpp"

#include "tts/ttschars.hpp"

namespace uttstonica {
namespace {

bool isAccented(unsigned char c) {
    switch (c) {
    case 0xE0: case 0xE1: case 0xE2: case 0xE3: case 0xE9: case 0xEA:  // à á â ã é ê
    case 0xED: case 0xF3: case 0xF4: case 0xF5: case 0xFA:              // í ó ô õ ú
        return true;
    default:
        return false;
    }
}

bool isVowel(unsigned char c) {
    return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u' || c == 'w' || c == 'y' || c == 0xFC;
}

bool isAEO(unsigned char c) { return c == 'a' || c == 'e' || c == 'o'; }

// The letter at 1-based position i of w, or 0 outside it.
unsigned char letterAt(const std::string& w, std::size_t i) {
    return i >= 1 && i <= w.size() ? ttschars::byte(w[i - 1]) : 0;
}

enum class S { s0, s1, s2, s3, s4, s5, s10, s20, s21, s30, s40, stop };

}  // namespace

std::size_t findStress(const std::string& word) {
    const std::string w = ttschars::lower(word);
    const std::size_t n = w.size();
    bool anyVowel = false;
    for (std::size_t i = n; i >= 1; --i) {
        const unsigned char c = ttschars::byte(w[i - 1]);
        if (isAccented(c)) return i;
        if (isVowel(c)) anyVowel = true;
    }
    if (!anyVowel) return 0;

    std::size_t result = 0;
    S s = S::s0;
    for (std::size_t i = n; i >= 1 && s != S::stop; --i) {
        const unsigned char c = ttschars::byte(w[i - 1]);
        switch (s) {
        case S::s0:
            if (isAEO(c)) { result = i; s = S::s1; }
            else if (c == 'u') { result = i; s = S::s10; }
            else if (c == 'i') { result = i; s = S::s20; }
            else if (c == 's') s = S::s0;
            else if (c == 'm' || (c == 'n' && letterAt(w, i + 1) == 's' && letterAt(w, i - 1) == 'e')) s = S::s40;
            else s = S::s30;
            break;
        case S::s1: {
            const unsigned char before = letterAt(w, i - 1), beyond = letterAt(w, i - 2);
            const bool silentU = before == 'u' && (beyond == 'g' || beyond == 'q');  // quia, guio
            if ((c == 'i' || c == 'u') && (isAEO(before) || (before == 'u' && !silentU))) {
                result = i - 1;
                s = S::stop;
            } else if (c == 'u') s = S::s4;
            else if (isVowel(c)) { result = i; s = S::stop; }
            else s = S::s2;
            break;
        }
        case S::s2:
            if ((c == 'i' || c == 'u') && isVowel(letterAt(w, i - 1)) && letterAt(w, i + 1) == 'n' &&
                (letterAt(w, i + 2) == 'h' || letterAt(w, i + 2) == 'd')) {
                result = i;
                s = S::stop;
            } else if (c == 'i' || c == 'u') { result = i; s = S::s3; }
            else if (isAEO(c)) { result = i; s = S::stop; }
            break;
        case S::s3:
            if (isAEO(c)) { result = i; s = S::stop; }
            else if (c == 'u') s = S::s5;
            else s = S::stop;
            break;
        case S::s4:
            if (c == 'g' || c == 'q') { result = i + 2; s = S::s2; }
            else { result = i + 1; s = S::stop; }
            break;
        case S::s5:
            result = (c == 'g' || c == 'q') ? i + 2 : i + 1;
            s = S::stop;
            break;
        case S::s10:
            if (c == 'a' || c == 'e' || c == 'i' || c == 'o') result = i;
            s = S::stop;
            break;
        case S::s20:
            if (isAEO(c)) { result = i; s = S::s20; }
            else if (c == 'u') s = S::s21;
            else s = S::stop;
            break;
        case S::s21:
            result = (c == 'g' || c == 'q') ? i + 2 : i + 1;
            s = S::stop;
            break;
        case S::s30:
            if (isVowel(c)) { result = i; s = S::stop; }
            break;
        case S::s40:
            if (c == 'i' || c == 'o' || c == 'u') { result = i; s = S::stop; }
            else if (c == 'a' || c == 'e') { result = i; s = S::s1; }
            else s = S::s0;
            break;
        case S::stop:
            break;
        }
    }
    return result;
}

}  // namespace uttstonica
