// Speaking output: everything the program says goes through here, written
// on the text screen and spoken.
#pragma once

#include <string>

namespace speaking {

// Starts the speech machinery. speed 0 takes the speed from the settings;
// dir is the directory of message sounds (empty: the configured one).
void startSpeech(int speed, const std::string& dir);
// Finishes pending speech and releases the speech machinery.
void endSpeech();

// Writes the text on the screen and speaks it.
void writeSpoken(const std::string& text);
// Writes the text and a line end on the screen and speaks the text.
void writeLineSpoken(const std::string& text);

// Tests: forget all state.
void resetOutputForTests();

// ---- waiting for speech (speechwait.cpp) ----
// Waits until pending server speech has ended. With no speech server this
// returns at once.
void finishSpeech();
// Pumps messages; when a key is waiting, cuts the sound and answers false
// (the key stays queued). Otherwise answers whether sound is still playing.
bool speechBusy();

}  // namespace speaking
