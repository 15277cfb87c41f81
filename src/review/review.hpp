// The screen review mode: a review cursor, apart from the console's own,
// moves over the text screen by keys and reads what is under it by word,
// row, field or larger stretches; it searches, jumps to a row and column,
// tells its position and copies the screen. The console's cursor and the
// screen are left as they were; Esc ends the mode.
#pragma once

#include <cstdint>
#include <string>

namespace review {

// Runs the review mode from the console cursor's cell until Esc, then puts
// the console cursor back.
void reviewScreen();

// The text of the last search; it stays from one run to the next.
const std::string& searchText();

// Character classes of the review mode.
// Letters and digits, and the Portuguese accented letters of Latin-1.
bool isWordChar(std::uint8_t c);
// A text made only of consonant letters (W and Y counted); empty passes.
bool onlyConsonants(const std::string& text);
// "!", ":", "?", "|" and the line-drawing range 176..223.
bool isFieldSeparator(std::uint8_t c);

// Tests: forget the search text.
void resetForTests();

}  // namespace review
