// qrtradut: the diphone synthesizer. It speaks the phonetic strings of the
// rule engine (regras.hpp) by joining sound units from a database into an
// 11025 Hz, 8-bit mono WAV image of 64000 bytes, played whenever it is full
// and at the end of each utterance.
//
// The database is an index <base>.IND of 15-byte entries sorted by name
// (length byte, 8 name bytes, 16-bit unit length, 32-bit offset, little
// endian) and a data file <base>.DIF of raw unsigned 8-bit samples. Unit
// names are "$" followed by phoneme letters in upper case ("$KA", "$NHECIRC",
// "$AWTIL"); names beginning with '_' are recorded WAV files in the letters
// directory ("_99" is the recording of c).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qrtradut {

constexpr std::size_t imageSize = 64000;
constexpr std::size_t headerSize = 44;
constexpr std::size_t indexEntrySize = 15;
constexpr int sampleRate = 11025;

// Reads the directories (TRADUTOR dirLetras and DIRDIFONES of QUORIL.INI),
// opens the database named by databaseName() and loads regras.rgr and
// portug.exc from the diphone directory. Answers 0 when ready, 1 when a
// directory, the index or the data file is missing, 2 when the rule or the
// exception file did not load.
int synthStart();
// Releases the image, the rules, the data file and the index.
void synthStop();
// Speaks a phonetic string; returns when all of it has been played or cut
// short by a key. With noPunctuationPauses the groups "_," "_." "_:" "_;"
// play their recorded signs instead of pauses.
void synthesize(const std::string& phonetic, bool noPunctuationPauses = false);
// Samples cut from each unstressed unit, the length it is never cut below,
// the silence between groups; and the two playback accelerations (drop
// pitch periods, play 1.5 times faster). The lengths are held to
// 0..maxUnitLength and the silence to 0..maxWordPause, whatever the
// settings say.
constexpr int maxUnitLength = 65535;   // the longest unit an index entry holds
constexpr int maxWordPause = 2 * sampleRate;
void setSynthParams(int cutLength, int minimumLength, int wordPause, bool cortaFala,
                    bool rapidinho);
// The database base name (at most 8 characters; "DIFONES2" at start).
void setDatabaseName(const std::string& base);
const std::string& databaseName();
// The directories found by synthStart, each ending in a separator.
const std::string& lettersDirectory();
const std::string& diphoneDirectory();

// ---- the index ----
struct IndexEntry {
    std::string name;  // upper case, at most 8 characters
    std::uint16_t length = 0;
    std::uint32_t offset = 0;
};
// Reads whole 15-byte entries (a name length above 8 reads as 8).
std::vector<IndexEntry> parseIndex(const std::uint8_t* bytes, std::size_t size);
// The 15 bytes of one entry.
std::string encodeIndexEntry(const IndexEntry& entry);
// Binary search of entries sorted by name in byte order; -1 when absent.
int findIndexEntry(const std::vector<IndexEntry>& entries, const std::string& name);

// ---- counting, for tools and measurements ----
struct Stats {
    std::size_t groups = 0;         // non-empty groups spoken
    std::size_t noiseGroups = 0;    // groups where a unit fell back to noise
    std::size_t droppedGroups = 0;  // groups where a unit played nothing (not noise)
    std::size_t samples = 0;        // samples written, silences included
    std::vector<std::string> missing;  // the names of units heard as noise or nothing
};
const Stats& stats();
void resetStats();
// Counting without playing: with dryRun on, images are counted and dropped.
void setDryRun(bool on);

// Tests: a hook that receives every finished image instead of the player
// (empty: the speaking console's playImageAndWait).
void setImageSink(std::function<void(const std::uint8_t* image, std::size_t size)> sink);
// Tests: forget everything (parameters back to their built-in values).
void resetForTests();

}  // namespace qrtradut
