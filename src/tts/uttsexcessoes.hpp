// uttsExcessoes: the exception dictionary, words whose spelling the rules
// would misread, each with the letters to read in its place.
#pragma once

#include <cstddef>
#include <string>

namespace uttsexcessoes {

constexpr std::size_t exceptionCapacity = 15000;

// Reads "WORD=REPLACEMENT" lines (upper-cased; lines past the 15000th are
// ignored) and sorts them. False when the file cannot be opened.
bool loadExceptions(const std::string& fileName);
// Loads from the text of an exception file.
void loadExceptionsText(const std::string& text);
// Replaces a listed word by its replacement; a word ending in S or M is also
// found without those endings, which are then kept after the replacement.
void applyExceptions(std::string& word);
std::size_t exceptionCount();
// Tests and reloading: empty table.
void reset();

}  // namespace uttsexcessoes
