// Recorded letters and sounds: the character recordings, the message
// sounds, the telephone keys and the two sounds made in memory (the click
// and the warning tone). Everything is played through the sound player, and
// always after pending server speech has ended.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace speaking {

// Plays the recording of a character ("_65.wav" for A) from the
// synthesizer's letters directory; returns when it has ended or a key cut it.
void playLetter(std::uint8_t c);
// Plays name + ".wav": from the letters directory when the name begins with
// '_', else from the message-sound directory. Returns as playLetter does.
void playSound(const std::string& name);
// The short click (256 samples, the first 64 of them noise drawn once),
// played without the pitch-period cut and awaited.
void beepShort();
// The warning tone (a 46 ms triangle of about 1378 Hz), played and awaited
// after every key waiting in the queue has been read and thrown away.
void beepError();
// Writes the 44-byte header of an 8-bit PCM WAV image into image[0..43].
// The block-alignment field keeps 1, right for the 8-bit mono sound every
// caller writes.
void writeWaveHeader(std::uint8_t* image, std::uint32_t dataLength, std::uint32_t rate,
                     std::uint16_t channels, std::uint16_t bits);
// Plays a WAV image from memory and waits until the sound has ended or a key
// cut it.
void playImageAndWait(const std::uint8_t* image);
// Dials the text: each digit, '#' or '*' plays its telephone-key tone and
// then pauses 100 ms; a comma pauses 1000 ms; anything else is ignored. The
// tones are never played faster.
void dialTones(const std::string& text);
// The text with a to z upper-cased and every byte from 224 to 255 lowered
// by 32 (the Latin-1 small accented letters to their capitals).
std::string upperCaseLatin(const std::string& text);

// ---- where the recordings lie ----
// Each is a directory ending in a separator (or empty for the current one).
// The letters directory holds the '_' message sounds; the synthesizer's
// letters directory holds the character recordings and telephone keys; the
// message-sound directory holds the others. Until set, the first two are
// read from QUORIL.INI (TRADUTOR / DIRLETRAS), the third is empty.
const std::string& lettersDirectory();
void setLettersDirectory(const std::string& directory);
const std::string& synthLettersDirectory();
void setSynthLettersDirectory(const std::string& directory);
const std::string& messageSoundDirectory();
void setMessageSoundDirectory(const std::string& directory);
// TRADUTOR / DIRLETRAS read from QUORIL.INI in the Windows directory
// (without '@' expansion), default "c:\tamiru\som\letras\", a backslash
// added when it lacks one.
std::string lettersDirectoryFromSettings();

// The two sounds made in memory, as whole WAV images.
const std::vector<std::uint8_t>& clickImage();
const std::vector<std::uint8_t>& warningImage();

// Tests: forget all state (the click is drawn afresh).
void resetSoundsForTests();

}  // namespace speaking
