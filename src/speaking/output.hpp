// Speaking output: everything the program says goes through here, written
// on the text screen and spoken. Words go to the diphone synthesizer (or to
// a speech server when the settings start one), numbers to number reading,
// odd digit strings and symbols to the recorded letters, punctuation to its
// recorded name and a pause. Every wait pumps messages, and a key waiting in
// the queue cuts all speech at once (the key stays queued).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace speaking {

// ---- start and end ----
// Starts the speech machinery. A speed of 0 or less is taken from TRADUTOR
// / VELOCIDADE, and anything outside 1..5 then becomes 3. dir is the
// directory of message sounds (empty: the current one). When the diphone
// synthesizer does not start, the error is written on the screen, a line is
// awaited and the console is closed (the process ends).
void startSpeech(int speed, const std::string& dir);
// Waits for speech to end, cuts what is left, ends the speech server and
// releases the synthesizer.
void endSpeech();

// ---- writing and speaking ----
// A failure's message: written on the text screen and spoken (its speech
// awaited), then shown in a message box where the desktop can show one.
void showMessage(const std::string& title, const std::string& text);
// Writes the text at the cursor, flushes, then speaks it.
void writeSpoken(const std::string& text);
// writeSpoken, then a line end (CR LF) on the screen.
void writeLineSpoken(const std::string& text);
// Speaks a text; returns once every piece has been handed to the player or
// the synthesizer (the last sound may still be playing: speechBusy tells),
// or at once after handing it to a speech server.
void speakText(const std::string& text);
// Plays each character's recording in turn, stopping as soon as a key waits.
void spellText(const std::string& text);
// Waits about the given milliseconds in 50 ms steps, pumping messages; a
// waiting key ends it at once.
void speakPause(int milliseconds);

// ---- waiting and interruption ----
// Pumps messages; when a key is waiting, cuts all speech and answers false
// (the key stays queued). Otherwise answers whether the player or the
// speech server is still sounding.
bool speechBusy();
// Waits, pumping messages, until speechBusy answers false.
void waitWhileSpeaking();
// When an utterance was handed to the speech server, waits for its end.
void finishSpeech();
// Stops the player and the server, ends the letter-by-letter loop of
// speakText and wakes a wait for messages (private message 1123).
void cutSpeech();
constexpr std::uint32_t cutSpeechMessage = 1123;

// ---- state shared with the line editor ----
// The speed chosen at start (1..5).
int speechSpeed();
// Echo of typed characters (on at start).
bool& typedEcho();
// The first key of an input clears the field (on at start).
bool& firstKeyClearing();
// The message-sound directory given to startSpeech, with a final backslash
// when it is not empty (also in sounds.hpp as messageSoundDirectory).
const std::string& messageDirectory();
// Whether a speech server speaks, and its type number (4 until a start).
bool serverActive();
int serverTypeInUse();
// The pauses in milliseconds after a full stop, a comma, and a colon,
// semicolon or parenthesis, for the speed in use.
struct Pauses {
    int fullStop = 250, comma = 150, colon = 200;
};
const Pauses& pauses();

// ---- tests ----
// Forget all state (module start again).
void resetOutputForTests();
// Each piece speakText voices, as a short text: "zero", "minus",
// "letter <code>", "number <words>", "words <run>", "click",
// "pause <ms>", "server <text>". Empty: no trace.
void setSpeechTrace(std::function<void(const std::string&)> trace);
// Stand-ins for the diphone synthesizer: start answers its result code
// instead of synthStart; words receives each run of words instead of the
// transcription and synthesis. Empty functions: the real synthesizer.
void setSynthesizerForTests(std::function<int()> start, std::function<void(const std::string&)> words);

}  // namespace speaking
