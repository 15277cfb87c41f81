// The letter-to-sound rule engine of the diphone synthesizer.
//
// Written Brazilian Portuguese goes in as Windows-1252 bytes; a phonetic
// string comes out, one bracketed group per token: "[piece/piece/...]".
// Each word is first transliterated to plain ASCII with its accent marks
// written after the vowel (a' acute, a` grave, a^ circumflex, a~ tilde,
// u" diaeresis), then looked up among the exceptions (portug.exc), then given
// a stress mark (its stressed vowel upper-cased) by a fixed procedure, and
// finally rewritten letter group by letter group by the rules of regras.rgr.
// Words without vowels are spelled: each character becomes " /_c", which the
// synthesizer plays as the recorded letter.
#pragma once

#include <cstddef>
#include <string>

namespace regras {

// Reads the rule file; empties the rule lists and the exception table first.
// False when the file cannot be opened.
bool loadRules(const std::string& fileName);
// Reads "key=replacement" lines (at most 15000 pairs) and sorts them by key.
// False when the file cannot be opened.
bool loadExceptions(const std::string& fileName);
// The phonetic string of a text; never empty for a text with a token.
std::string transcribe(const std::string& text);
// Releases every rule and empties the lists.
void freeRules();

// The same from the files' text (fuzzing, tools).
void loadRulesFromText(const std::string& text);
void loadExceptionsFromText(const std::string& text);

// ---- inner steps, for tests and tools ----
// The text after transliteration and the w/y and d' rules.
std::string preprocess(const std::string& text);
// The transliteration of one byte of 128 or more (0, 1 or 2 characters,
// with c-cedilla already written as "ss").
std::string transliterate(unsigned char c);
// The word buffer of the first token of the text after exception lookup
// and stress marking.
std::string stressedWord(const std::string& text);
std::size_t ruleCount();
std::size_t exceptionCount();

// Tests: forget rules and exceptions.
void resetForTests();

}  // namespace regras
