// qrlenum: whole numbers read aloud in Brazilian Portuguese with recorded
// word sounds. numberToWords writes the words ("duzentos e trinta e quatro");
// speakNumberWords joins the recording of each word into one 11025 Hz, 8-bit
// mono image and plays it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qrlenum {

// Samples one image of speakNumberWords holds after its 44-byte header.
constexpr std::size_t imageSamples = 30000;

// The words of n (0 up to 15 digits), separated by spaces. Thousands and
// larger scales keep their trailing space ("mil " for 1000).
std::string numberToWords(std::uint64_t n);
// The words of group i (0..4, most significant first) of a 15-digit text,
// with the group's scale word when the group is not "000".
std::string groupToWords(const std::string& fifteenDigits, int group);
// The words of a three-digit text, 000..999 ("000" gives the empty text).
std::string hundredsToWords(const std::string& threeDigits);

// The recording names played for a word text, in order: "_" + word cut to 8
// characters, a-tilde and o-tilde written a and o, "_dezeset" for dezessete;
// with feminine on, a last word um or dois becomes "_uma" or "_duas".
std::vector<std::string> wordSoundNames(const std::string& words, bool feminine);

// Plays the words' recordings from the letters directory, joined into images
// of at most 30000 samples, each played to its end (or until a key cuts it)
// before the next is filled. A missing recording is skipped.
void speakNumberWords(const std::string& words, bool feminine);

}  // namespace qrlenum
