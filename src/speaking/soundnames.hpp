// The names of every recorded sound the system plays, in one place: the
// programs build their file names here, and the voice generator makes one
// recording for each name listed here. Names are Windows-1252 bytes and
// carry no directory and no ".wav".
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace speaking::soundnames {

// ---- names the programs build ----

// A character's recording: "_" + the byte value in decimal ("_65").
std::string characterSound(std::uint8_t c);
// A telephone key's tone: "dtmf_" + the key (0 to 9 and #; "dtmf_X" for *).
// The empty text for any other character.
std::string telephoneKeySound(char key);
// The phonetic name of a letter: "_FON" + its code ("_FON65").
std::string phoneticSound(std::uint8_t letter);
// A word's recording: "_" + the word with a-tilde and o-tilde written a and
// o, cut to 8 characters in all; "dezessete" is "_dezeset" so that it does
// not meet "dezesseis" ("_dezesse").
std::string wordSound(const std::string& word);
// "_" + the weekday's name, 0 = Sunday ("_Domingo"); empty outside 0..6.
std::string weekdaySound(int dayOfWeek);
// "_" + the first 7 letters of the month's name, 1 = January ("_Feverei");
// empty outside 1..12.
std::string monthSound(int month);

// ---- the message sounds of the speaking console ----
inline constexpr const char* zeroSound = "_zero";
inline constexpr const char* minusSound = "_MENOS";
inline constexpr const char* deletedSound = "_DEL";
inline constexpr const char* erasedToEndSound = "_APFCPO";
inline constexpr const char* erasedToStartSound = "_APICPO";
inline constexpr const char* fieldErasedSound = "_CPOAPA";
inline constexpr const char* echoOnSound = "_FALACI";
inline constexpr const char* echoOffSound = "_FALDLG";
inline constexpr const char* askSpeedSound = "_VELOC";

// ---- the words of number reading (Windows-1252, without spaces) ----
struct NumberWords {
    std::array<const char*, 10> units;     // by digit: "zero", "um", ... "nove"
    std::array<const char*, 10> teens;     // 10 + digit: "dez", ... "dezenove"
    std::array<const char*, 10> tens;      // by digit; 0 and 1 unused (empty)
    std::array<const char*, 10> hundreds;  // by digit; 0 unused (empty)
    const char* hundredExactly;            // "cem"
    const char* joiner;                    // "e"
    // Scale words of the five three-digit groups, most significant first;
    // the units group has none (empty).
    std::array<const char*, 5> scaleSingular;
    std::array<const char*, 5> scalePlural;
    // The feminine last words: "uma", "duas".
    const char* oneFeminine;
    const char* twoFeminine;
};
const NumberWords& numberWords();

// ---- the words of time reading ----
inline constexpr const char* firstDaySound = "_primeir";
inline constexpr const char* ofSound = "_de";
inline constexpr const char* andSound = "_e";
inline constexpr const char* hourSound = "_hora";
inline constexpr const char* hoursSound = "_horas";
inline constexpr const char* minuteSound = "_minuto";
inline constexpr const char* minutesSound = "_minutos";
// Weekday names, 0 = Sunday, and month names, 1..12 at index 0..11, as the
// clock reading spells them (no accents).
const std::array<const char*, 7>& weekdayNames();
const std::array<const char*, 12>& monthNames();

// ---- everything, for the generator and the tests ----
std::vector<std::string> characterSounds();     // _0 .. _255
std::vector<std::string> messageSounds();       // the messages and the _FON letters
std::vector<std::string> numberWordSounds();    // every word number reading can name
std::vector<std::string> dateTimeSounds();      // weekdays, months, the clock's words
std::vector<std::string> telephoneKeySounds();  // dtmf_0 .. dtmf_9, dtmf_#, dtmf_X
// Every spoken recording (all of the above but the telephone keys), each
// name once, in a stable order.
std::vector<std::string> spokenSounds();

}  // namespace speaking::soundnames
