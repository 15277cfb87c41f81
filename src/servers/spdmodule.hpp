// Our voice as an output module of speech-dispatcher: the plain part.
//
// speech-dispatcher starts the module as a program and talks to it on its
// standard input and output, one request a line (LF): INIT, AUDIO, SET,
// LOGLEVEL and SPEAK (CHAR, KEY, SOUND_ICON) carry a block of lines ended
// by a line holding only "."; STOP and PAUSE get no answer; QUIT ends it.
// Every answer starts with a three-digit code: 2xx done, 3xx a bad request,
// 4xx a failure of the module; events (7xx) are written by the program
// that drives the voice, not here.
//
// This file holds what needs neither threads nor devices: the request
// grammar (Protocol, which calls a Host for what a request asks), the SSML
// reader that turns a message into pieces of Windows-1252 text with their
// pauses and index marks, the texts said for characters, keys and signs, and
// the mapping of the server's rate, pitch and volume onto the voice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace servers::spdmodule {

// The longest message (or SET, AUDIO ... block) taken, in bytes: a longer
// one is read to its end and refused with an error.
constexpr std::size_t maxMessageBytes = 2 * 1024 * 1024;

// What a message is: SPEAK, CHAR, KEY or SOUND_ICON.
enum class Kind { text, character, key, soundIcon };

using Params = std::vector<std::pair<std::string, std::string>>;

// The voice settings that SET changes, bounded: numbers -100..100.
struct Settings {
    int rate = 0, pitch = 0, volume = 100;
    std::string punctuation = "none";  // none, some, most, all
    bool spelling = false;
    std::string language = "pt-br", voice = "male1", synthesisVoice;
};
// Takes one name=value of SET; false for a value it cannot use (the
// setting is then left as it was). Unknown names are taken and ignored.
bool applySetting(Settings& s, const std::string& name, const std::string& value);

// The voice's duration factor for a server rate -100..100: at 0 the one
// the built-in voice has at its normal speed, three times as fast at 100,
// twice as slow at -100, geometric in between. The one place that maps the
// server's rate.
double durationFactorForRate(int rate);
// The pitch factor for a server pitch -100..100: half an octave each way.
double pitchFactorFor(int pitch);
// The gain of the samples for a server volume -100..100: the voice as it
// is at 100 (speech-dispatcher's meaning of 100, and its usual default; the
// voice peaks near full scale, so more would clip), half at 0, silent at
// -100.
double volumeGain(int volume);

// One stretch of a message: text to say (Windows-1252), then a pause, then
// an index mark to report once the sound before it has been played.
struct Piece {
    std::string text;
    int pauseMs = 0;
    std::string mark;
};
// Reads a message as SSML when it holds a <speak> element (tags stripped,
// <mark name> and <break> honoured, <sub alias> said as its alias, entities
// decoded), else as plain text. UTF-8 in, Windows-1252 out; characters that
// Windows-1252 lacks become blanks. Never fails: broken markup is read as
// far as it goes.
std::vector<Piece> readMessage(const std::string& utf8);

// The text said for a CHAR (one UTF-8 character; a blank is "espaço"), a
// KEY (SSIP key names, with shift_, control_ ... prefixes) and a
// SOUND_ICON name, in Windows-1252.
std::string characterText(const std::string& utf8);
std::string keyText(const std::string& keyName);
std::string iconText(const std::string& iconName);
// The text as the punctuation mode has it said: "none" and "some" leave it
// to the reading of the voice, "most" names the signs that are not
// punctuation, "all" names every sign (the marks inside numbers excepted).
// With spelling on, every character is said by itself.
std::string spokenText(const std::string& cp1252, const Settings& s);

// A text cut into the groups the voice analyses one at a time, so that the
// work on each is bounded whatever the text: at a sentence end where one
// falls near the wanted length, else at a blank, else (a run of a million
// digits) at the length itself. Every group holds at most 2 * groupBytes
// bytes; joined, they are the text.
constexpr std::size_t groupBytes = 400;
std::vector<std::string> textGroups(const std::string& cp1252);

// What a request asks of the program that drives the voice.
class Host {
public:
    virtual ~Host() = default;
    // Loads the voice; false with a message when it cannot.
    virtual bool init(std::string& message) = 0;
    // Opens the output the AUDIO block names; false when it cannot.
    virtual bool audio(const Params& params) = 0;
    // Whether a message is still being spoken (a new SPEAK is refused).
    virtual bool speaking() = 0;
    // Starts speaking. The answer "200 OK SPEAKING" is written when this
    // returns: the message's events must come after it.
    virtual void speak(Kind kind, const std::string& utf8) = 0;
    virtual void stop() = 0;
    virtual void pause() = 0;
    // Takes the SET block; false when a value could not be used.
    virtual bool set(const Params& params) = 0;
    virtual void logLevel(int level) = 0;
    // The voices offered: name, language, variant.
    virtual std::vector<std::string> voices() = 0;
};

// The request grammar. feed takes one line as read (without its LF) and
// answers the lines to write, in order; a request that was not understood
// gets a 3xx answer and the module goes on.
class Protocol {
public:
    explicit Protocol(Host& host) : host_(host) {}
    std::vector<std::string> feed(std::string line);
    // True once QUIT was answered.
    bool quit() const { return quit_; }

private:
    enum class Block { none, speak, set, audio, loglevel, debug };
    std::vector<std::string> endBlock();

    Host& host_;
    Block block_ = Block::none;
    Kind kind_ = Kind::text;
    std::vector<std::string> lines_;
    std::size_t blockBytes_ = 0;  // over maxMessageBytes: the lines are dropped
    bool quit_ = false;
};

}  // namespace servers::spdmodule
