// The built-in Portuguese voice as speech server type 3. Its data files are
// found once, from QUORIL.INI's TIRELTTS section (MBROLA_DB, DIR, BASE) and,
// for a missing DIR, from the registry key of the database BR4; the
// dispatcher's speed and pitch become the voice's duration and pitch
// factors. The voice synthesises a whole text inside speak and queues its
// sound on the player, so "busy" means the player is still playing; busy
// posts speechWakeMessage on every call so the console's wait keeps polling.
#pragma once

#include <cstdint>
#include <string>

#include "servers/dispatch.hpp"

namespace servers::tirel {

// Where the voice's files are: the database name, the directory (always
// ending in a separator), the stem, and the five file names made of them.
struct VoiceFiles {
    std::string database, directory, base;
    std::string rules, exceptions, abbreviations, prosody, diphones;
};
// Read at the first call (or the first start) and kept for the whole run.
const VoiceFiles& voiceFiles();

// The server rate -10..10 (outside values are taken as the nearest end;
// fractions are welcome) as the factor of every phoneme duration: 0.8 at 0,
// the voice's own pace (about 1.06 times espeak-ng's default duration),
// 0.25 at 10 (about a third of espeak-ng's: three times faster) and 1.51 at
// -10 (about twice espeak-ng's), linear on each side of 0.
double durationFactorFor(double speed);
// Pitch -10..11: pitch factor (pitch + 11)/11.
double pitchFactorFor(int pitch);

// The five server operations. voice is not used.
bool start(int voice, int speed, int pitch, const std::string& outputFile);
void speak(const std::string& text);
bool busy(std::uint8_t mode);
void stop();
void end();

// The five, for the dispatcher's type 3 slot.
ServerOps ops();

// Tests: forget the files found, unload the voice.
void resetForTests();

}  // namespace servers::tirel

namespace servers {
// Fills the dispatcher's slot for type 3 again (after its reset in tests),
// unless a test's stand-in is there.
void registerTirelServer();
}  // namespace servers
