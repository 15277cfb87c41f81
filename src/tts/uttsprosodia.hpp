// uttsProsodia: the voice's prosody. The prosody file gives each phoneme's
// duration, the categories of keywords and the rules that choose a
// three-digit intonation pattern for each token from the categories of its
// neighbours; the timing stage then writes the engine's lines, one phoneme a
// line with its duration and at most one pitch target, and puts a short
// filler between two phonemes whose diphone the database lacks.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace uttsprosodia {

using TextList = std::vector<std::string>;

constexpr std::size_t durationCapacity = 100;
constexpr std::size_t keywordCapacity = 1000;
constexpr std::size_t patternCapacity = 300;
// The shortest a phoneme is written, however fast the voice: the engine
// makes each phoneme of two half diphones, and below this it has no room
// for a pitch period of each (a pause may be shorter).
constexpr long shortestPhonemeMs = 20;

struct PatternRule {
    std::string previous, current, next;  // categories, empty = any
    std::string pattern;                   // three characters
};

// ---- prosody file, tokens and patterns ----

// Loads the three sections; each problem is shown in a message box as it
// arises and makes the result false. Lines past a table's capacity are not
// loaded.
bool loadProsody(const std::string& fileName);
// The list "[category]token" of a normalised text, opened by "[--]" and
// with "[--]" after every token that begins with ! . or ?.
TextList splitTokens(const std::string& text);
// The next token at pos (1-based, moved on); isSymbol tells a punctuation
// token (written twice, or ".-" for a run of full stops) from a word.
std::string nextToken(const std::string& text, std::size_t& pos, bool& isSymbol);
// The keyword category of a word, or empty text.
std::string wordCategory(const std::string& word);
// One "pattern|token" text per token entry.
TextList assignPatterns(const TextList& tokens, bool useRules);

// ---- timing, pitch and diphone gaps ----

// Loads the list of the diphones the engine's database has. False when the
// file is missing or unreadable.
bool loadDiphoneList(const std::string& fileName);
void freeDiphoneList();
bool hasDiphone(const std::string& pair);  // "a-e", case ignored
std::size_t diphoneCount();
// The engine's lines for a phoneme list.
TextList buildPhoLines(const TextList& phonemes, double durationFactor, double pitchFactor);
// The table duration of a phoneme, 100 ms when it is not listed.
int phonemeDuration(const std::string& name);

// ---- tests and tools ----
// Where loadProsody's messages go (default: the platform's message box).
void setMessageHandler(std::function<void(const std::string&)> handler);
int hertz();
int tabHertz(int digit);
std::size_t durationCount();
std::size_t keywordCount();
const std::vector<PatternRule>& patternRules();
// Empty tables, HERTZ 230, no diphone list, phoneme state cleared.
void reset();

}  // namespace uttsprosodia
