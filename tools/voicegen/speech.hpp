// Speech from espeak-ng and the sound arithmetic every voicegen subcommand
// shares: one espeak-ng instance for the whole run, speaking UTF-8 text into
// 16-bit samples; a half-band low-pass and decimation to 11025 Hz; silence
// trimming; and 44-byte-header PCM WAV files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace voicegen {

// Starts espeak-ng once (synchronous output, no audio device) with the
// voice; rate in words per minute. Answers false when espeak-ng cannot start
// or has no such voice. Later calls only change voice and rate.
bool startEspeak(const std::string& voice, int wordsPerMinute);
// The version of the espeak-ng library, for fingerprints of what it made.
std::string espeakVersion();
// The samples per second espeak-ng produces (22050), 0 before startEspeak.
int espeakRate();
// Speaks UTF-8 text; the samples are mono 16-bit at espeakRate(). Empty on
// failure.
std::vector<std::int16_t> speak(const std::string& utf8Text);

// A phoneme espeak-ng reported while speaking: its mnemonic ("k", "&~",
// "_:" for a pause) and the sample where it begins.
struct PhonemeMark {
    std::string name;
    std::size_t sample = 0;
};
struct Utterance {
    std::vector<std::int16_t> samples;
    std::vector<PhonemeMark> phonemes;
};
// The phoneme an event names, without the stress mark espeak-ng 1.52 puts
// before a stressed vowel ("'a", ",e"; 1.51 says "a", "e").
std::string eventPhoneme(const char* id, std::size_t size);

// Speaks espeak-ng phoneme input (Kirshenbaum, without the [[ ]]); the
// samples at espeakRate() and where each phoneme begins in them.
Utterance speakPhonemes(const std::string& phonemes);

// Low-pass at about 4.8 kHz and keep every other sample (22050 -> 11025).
std::vector<std::int16_t> halveRate(const std::vector<std::int16_t>& samples);
// Drops the quiet start and end (below threshold), keeping a short margin
// of lead and tail in samples.
std::vector<std::int16_t> trimSilence(const std::vector<std::int16_t>& samples, int threshold,
                                      std::size_t lead, std::size_t tail);
// Scales so that the loudest sample reaches peak, never by more than
// maxGain.
void normalise(std::vector<std::int16_t>& samples, int peak, double maxGain);
// Signed 16-bit to unsigned 8-bit (silence 128), rounded.
std::vector<std::uint8_t> toUnsigned8(const std::vector<std::int16_t>& samples);

// Writes an 8-bit mono PCM WAV file with the 44-byte header. Answers false
// when the file cannot be written.
bool writeWav8(const std::string& path, const std::vector<std::uint8_t>& samples, std::uint32_t rate);

}  // namespace voicegen
