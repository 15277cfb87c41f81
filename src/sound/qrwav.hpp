// qrwav: PCM sound through the wave-out device. Whole RIFF/WAVE files,
// RIFF/WAVE images held in memory and raw sample blocks are played through
// a ring of four blocks of 65534 bytes. The device stays open while the
// format does not change. A key waiting in the console's queue cuts playback
// short (the key stays queued). Two speech accelerations: playing 1.5 times
// faster, and dropping every other pitch period of mono speech.
//
// The device's block-finished notices come back as window messages to the
// console window, which hands them to waveBlockReturned; playback therefore
// advances only while messages are pumped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/sound/waveout.hpp"

namespace qrwav {

constexpr int ringBlocks = 4;
constexpr std::size_t blockBytes = 65534;

// Plays a RIFF/WAVE file to its end (when waveWaitAtEnd is on) or until a key
// is waiting (when waveInterruptible is on). Answers 0 when played or cut by
// a key, -1 when the file is missing or not a usable RIFF/WAVE file, or the
// device's error code from opening.
int playWaveFile(const std::string& fileName);

// Queues a RIFF/WAVE image held in memory and returns once its last block is
// queued. The walk through its chunks stays within the size its RIFF header
// gives; the second form also stays within size bytes. Images without
// "RIFF" at 0 and "fmt " at 12 are not played.
void playWaveImage(const std::uint8_t* image);
void playWaveImage(const std::uint8_t* image, std::size_t size);

// Queues raw samples in pieces of at most 65534 bytes. Answers 0, or the
// device's error code from opening (nothing is played then). Playback goes
// on in the background; poll waveStillPlaying. The samples are not changed.
int playWaveData(const std::uint8_t* samples, std::size_t length, int rate, int channels,
                 int bits);

// Pumps messages; stops playback when a key is waiting (waveInterruptible)
// or nothing is queued any more. Answers whether blocks are still queued.
bool waveStillPlaying();

// Returns every queued block and closes the device.
void stopWave();

// Opens the device for the format, or keeps it when the format is the one
// open; a new format first waits until the old sound has played. A busy
// device is retried every 100 ms, 100 times. Answers the device's result.
platform::MmResult openWaveOut(int rate, int bits, int channels);

// Hands one block (1..65534 bytes) to the device; false when the ring stayed
// full for 2 s or the device refused the block.
bool queueWaveBlock(const std::uint8_t* samples, std::size_t length);

// The console window calls this with the header of each finished block.
void waveBlockReturned(platform::WaveHdr* header);

// Shortens mono speech to about half by dropping every other pitch period;
// 16-bit sound is first turned into 8-bit. Rewrites the buffer in place and
// answers the new length in bytes.
std::size_t cutPitchPeriods(std::uint8_t* buffer, std::size_t length, int bits, int rate);

// The flags, read and set through these references:
// a waiting key stops playback (on at start);
bool& waveInterruptible();
// playWaveFile returns only when all sound has been played (on at start);
bool& waveWaitAtEnd();
// play at 1.5 times the stored rate (off at start);
bool& waveFaster();
// drop pitch periods of mono sound (off at start).
bool& waveCutSpeech();

// Blocks handed to the device and not yet returned, and the open format
// (for tests and diagnostics).
int queuedBlocks();
bool deviceOpen();

// Tests: close the device without waiting and start from fresh state.
void resetForTests();

}  // namespace qrwav
