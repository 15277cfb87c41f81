// uttsInic: the letter-to-sound rule file, one rule list per character.
// A rule line reads  left(match)right=output  and may end in "|" and a
// comment; "&" separates the phonemes of the output.
#pragma once

#include <string>
#include <vector>

namespace uttsinic {

struct Rule {
    std::string left;    // at most 5 characters
    std::string match;   // at most 5 characters, never empty
    std::string right;   // at most 5 characters
    std::string output;  // at most 20 characters
};

// Empties every list, then reads the file. False when it cannot be opened.
// A line without a match (no "(" or nothing between the parentheses) would
// never move the reading on and is not stored; blank lines are skipped.
bool loadRules(const std::string& fileName);
// Loads rules from the text of a rule file (one rule a line).
void loadRulesText(const std::string& text);
// Every rule released, every list emptied.
void freeRules();
// The rules whose match begins with this character, in file order.
const std::vector<Rule>& rulesFor(unsigned char c);
std::size_t ruleCount();

}  // namespace uttsinic
