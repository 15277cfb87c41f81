// uttsPortug: from the patterned token list to the phoneme list. One header
// line per token (";" + pattern + "|" + token), then the token's phonemes
// (the stressed one marked ">") and an empty word-end line; punctuation
// becomes a pause ("_," ...), an empty token the phrase pause "__".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace uttsportug {

using TextList = std::vector<std::string>;

// Loads the rule file, then (only if that worked) the exception file.
bool loadWordData(const std::string& rulesFile, const std::string& exceptionsFile);
TextList textToPhonemes(const TextList& patterned);
// Appends the phonemes of an upper-case word; stress is the 1-based letter
// whose first phoneme gets the mark (0: none), then the word-end line.
void wordToPhonemes(const std::string& word, std::size_t stress, TextList& list);
void punctuationPause(char c, TextList& list);
// Word-final r2 and s2 before a vowel of the next word become r and z.
void linkWords(TextList& list);
// Words that never get a stress mark.
bool isUnstressedWord(const std::string& word);

}  // namespace uttsportug
