// uttsTirel: the front door of the built-in Portuguese voice. It loads the
// diphone engine and the five language files of a voice database, and turns
// each text into speech: the analysis stages make engine lines, the engine
// makes 16000 Hz 16-bit mono samples, and those are either played through
// the sound player in chunks of about half a second or appended to a WAV
// file whose header is completed at ttsClose.
//
// Calling order: ttsSetOutputFile, ttsOpen, ttsSetFactors, then ttsSpeak for
// each utterance (ttsSpeaking polled, ttsStop to cut), finally ttsClose.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace uttstirel {

constexpr std::uint32_t sampleRate = 16000;
constexpr std::size_t chunkBytes = 16000;       // half a second of sound
constexpr std::size_t sampleBufferSamples = 16000;
constexpr std::size_t shortestChunk = 256;      // a last chunk is never shorter

// The WAV file the next ttsOpen writes to; empty: the sound is played.
void ttsSetOutputFile(const std::string& fileName);

// Loads the engine and the language files; empty arguments take the
// defaults (br4, portug.nrl, .exc, .abr, .pro, .dfn). The database name is
// looked up in the registry (SOFTWARE\TCTS\Mbrola\databases\NAME). True
// when everything loaded and the output file, if any, was created.
bool ttsOpen(const std::string& database, const std::string& rules, const std::string& exceptions,
             const std::string& abbreviations, const std::string& prosody, const std::string& diphones);

// Multipliers of every phoneme duration and every pitch value, used by
// every later ttsSpeak (both 1.0 at start).
void ttsSetFactors(double durationFactor, double pitchFactor);

// Synthesises the whole text and hands its sound to the player (or the
// file); the last chunk may still be playing on return. False when the
// engine or the file reported an error. A blank text calls no engine.
bool ttsSpeak(const std::string& text);

// Synthesises the text as ttsSpeak does, but hands the samples (16000 Hz,
// 16-bit mono) to sink as the engine makes them instead of to the player or
// the file, the opening silence left out. The sink answers false to end the
// synthesis there. False when the engine reported an error.
using SampleSink = std::function<bool(const std::int16_t* samples, std::size_t count)>;
bool ttsSynthesize(const std::string& text, const SampleSink& sink);

// Whether the sound is still playing (always false when writing a file).
bool ttsSpeaking();
// Cuts playback (nothing when writing a file).
void ttsStop();
// Completes and closes the output file, frees the tables, closes and
// unloads the engine.
void ttsClose();

// Fills the 44-byte PCM WAV header.
void makeWaveHeader(std::uint8_t* dest, std::uint32_t rate, std::uint16_t bits, std::uint16_t channels,
                    std::uint32_t dataSize);

// The message of the last failed ttsOpen (Windows-1252), or empty.
const std::string& ttsLastError();

// Tests: the factors in force, and fresh module state (engine unloaded).
double durationFactor();
double pitchFactor();
void resetForTests();

}  // namespace uttstirel
