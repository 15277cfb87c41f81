// uttsTonica: the stressed vowel of a Portuguese word from its letters.
#pragma once

#include <cstddef>
#include <string>

namespace uttstonica {

// 1-based position of the stressed letter, or 0 when the word has no vowel.
std::size_t findStress(const std::string& word);

}  // namespace uttstonica
