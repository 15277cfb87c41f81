// uttsPreproc: the first stage of the built-in voice. Rewrites a line of text
// so that every part of it can be said as Portuguese words: numbers become
// cardinal or ordinal words, abbreviations followed by a full stop are
// replaced from the abbreviation file, consonant-only words are spelled, and
// symbols are replaced by their names. The phrasing punctuation stays.
// Positions are 1-based, as everywhere in the voice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace uttspreproc {

enum class Gender { masculine, feminine };

constexpr std::size_t abbreviationCapacity = 2000;

// Loads "abbreviation = expansion" lines. False when the file cannot be
// opened; lines past the 2000th are not loaded.
bool loadAbbreviations(const std::string& fileName);
// The whole line rewritten as speakable words.
std::string normaliseText(const std::string& text);
// The expansion of a listed abbreviation (case ignored), or empty text.
std::string findAbbreviation(const std::string& word);
// The word at pos (pos moves past it); a consonant-only word comes back as
// its letters' names unless it is a known abbreviation followed by ".".
std::string scanWord(const std::string& text, std::size_t& pos);
// The number at pos as words (pos moves past what was read).
std::string readNumber(const std::string& text, std::size_t& pos);
std::string cardinalWords(std::uint64_t value);
// Words of one group of three digit characters ("000" gives empty text).
std::string groupWords(const std::string& digits);
std::string ordinalWords(Gender gender, std::uint64_t value);
// The spoken name of a character, or empty text.
std::string charName(unsigned char c);

// Loads the table of feminine nouns (one singular a line, ";" comments),
// with which a count agrees: "duzentas páginas". False when the file cannot
// be opened (every noun is then taken as masculine).
bool loadGenders(const std::string& fileName);
// Whether the word, singular or plural, is a listed feminine noun.
bool isFeminineNoun(const std::string& word);

std::size_t abbreviationCount();
// Tests: empty abbreviation table.
void reset();

}  // namespace uttspreproc
