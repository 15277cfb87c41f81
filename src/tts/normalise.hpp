// The normaliser's inner parts: the kinds of token a line holds, the tables
// they own and the character helpers they share. uttspreproc's
// normaliseText walks the line and, at each position, asks the kinds in
// turn whether a token of theirs starts there; the first that answers
// speaks it.
//
// Each kind has two functions:
//   std::size_t isX(const std::string& text, std::size_t pos)
//       the 1-based position just past the token of kind X that starts at
//       pos, or 0 when none does (the text around pos is context);
//   std::string sayX(const std::string& text, std::size_t pos, std::size_t end)
//       the words of that token (pos..end-1), ending with a blank.
// Text is Windows-1252; positions are 1-based, as everywhere in the voice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tts/uttspreproc.hpp"

namespace uttsnorm {

// --- characters -----------------------------------------------------------
// Character at 1-based position p, or 0 past either end.
inline char at(const std::string& s, std::size_t p) { return p >= 1 && p <= s.size() ? s[p - 1] : '\0'; }
bool isLetter(char c);
bool isConsonant(char c);
bool isVowelLetter(char c);
bool isUpperLetter(char c);
bool isBlank(char c);  // blank, no-break blank, tab, line ends
bool isDigit(char c);
// Length of the run of digits at p.
std::size_t digitRun(const std::string& s, std::size_t p);
// Value of len digits at p (at most the first 18).
std::uint64_t valueOf(const std::string& s, std::size_t p, std::size_t len);
// Whether the text at p starts with s (the byte after it is not checked).
bool startsAt(const std::string& t, std::size_t p, const std::string& s);
// The word (letters and inner hyphens) after position p, one blank or none
// before it; and the word before p, blanks and one full stop skipped.
std::string wordAfter(const std::string& t, std::size_t p);
std::string wordBefore(const std::string& t, std::size_t p);
// Start of the word before p (0 when there is none).
std::size_t wordBeforeStart(const std::string& t, std::size_t p);
// Lower case, accents kept.
std::string low(const std::string& s);

// --- words shared by the kinds --------------------------------------------
// Cardinal words of a value without the blank a scale word leaves.
std::string number(std::uint64_t v);
// The cardinal words in the feminine where they have one (uma, duas,
// duzentas), millions and above left to agree with milhão.
std::string feminineCount(const std::string& words);
// A count said before the word at p: feminine when that word is a
// feminine noun the count can belong to (the singular after one, the
// plural after any other count).
std::string counted(std::uint64_t v, const std::string& t, std::size_t p);
// A run of digits said one by one.
std::string digitsOneByOne(const std::string& digits);
// Leading zeros said, then the value: "09" zero nove.
std::string chunkWords(const std::string& digits);
// Whether a word is a feminine noun a count agrees with (plural or not).
bool feminineNounAfterCount(const std::string& word, bool one);

// --- tables (data/tireltts/portug.uni, .moe, .cal, .sig) -------------------
struct Unit {
    std::string symbol, singular, plural;
    bool feminine = false;
};
struct Currency {
    std::string sign, singular, plural;
    bool scale = false;  // mi, bi: a scale word, not a currency
    bool feminine = false;
};
struct CalendarName {
    bool month = false;  // a month, else a weekday
    int number = 0;      // 1-12; 1 (Sunday) to 7
    std::string name;
    std::vector<std::string> abbreviations;  // as written, lower case
};
struct Acronym {
    std::string letters;  // upper case
    std::string reading;  // empty: spelled
};
struct Tables {
    std::vector<Unit> units;  // longest symbol first
    std::vector<Currency> currencies;
    std::vector<CalendarName> calendar;
    std::vector<Acronym> acronyms;
};
const Tables& tables();
bool loadTables(const std::string& base);
void resetTables();
// The unit whose symbol starts at p (case as written), longest first.
const Unit* unitAt(const std::string& t, std::size_t p, std::size_t& len);
const CalendarName* monthNamed(const std::string& word);  // name or abbreviation
const CalendarName* weekdayNamed(const std::string& word);
const char* monthName(int month);
const Acronym* acronym(const std::string& upperLetters);

// --- letters --------------------------------------------------------------
// Whether a word in capitals can be said as Portuguese syllables (a final
// stop is said with an i after it: USP, úspi).
bool sayable(const std::string& upperWord);
// The same with the clusters of learned words and loans too (pneu, pacto).
bool sayableLoosely(const std::string& upperWord);
// The letters of a word said by their names, one blank between.
std::string spelled(const std::string& word);

// --- the kinds --------------------------------------------------------------
#define UTTSNORM_KIND(X)                                               \
    std::size_t is##X(const std::string& t, std::size_t pos);          \
    std::string say##X(const std::string& t, std::size_t pos, std::size_t end);
UTTSNORM_KIND(Money)
UTTSNORM_KIND(Date)
UTTSNORM_KIND(Time)
UTTSNORM_KIND(Range)
UTTSNORM_KIND(Code)
UTTSNORM_KIND(Fraction)
UTTSNORM_KIND(Measure)
UTTSNORM_KIND(Decimal)
UTTSNORM_KIND(Ordinal)
UTTSNORM_KIND(Cardinal)
UTTSNORM_KIND(Electronic)
UTTSNORM_KIND(Abbreviation)
UTTSNORM_KIND(Roman)
UTTSNORM_KIND(Letters)
UTTSNORM_KIND(Word)
#undef UTTSNORM_KIND

// Whether the figures at pos are a ratio (escala 1:50, diluição 1:10).
std::size_t ratioEnd(const std::string& t, std::size_t pos);

// The time at pos (14h30, 9:05, 18H15, 9.45 after a word of time) for the
// range kind: its end, or 0.
std::size_t timeEnd(const std::string& t, std::size_t pos, bool needsContext);
// A unit after a number at p (a blank allowed): its words agreeing with the
// count, and the end.
std::size_t measureUnitEnd(const std::string& t, std::size_t p);
std::string unitWords(const std::string& t, std::size_t p, std::size_t end, bool one);
bool unitIsFeminine(const std::string& t, std::size_t p, std::size_t end);

}  // namespace uttsnorm

namespace uttspreproc {
void clearAbbreviations();
void clearGenders();
}  // namespace uttspreproc
