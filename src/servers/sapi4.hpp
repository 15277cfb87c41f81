// The SAPI 4 voice server: every type number other than 3, 5 and 54. It
// picks an engine mode by its place in the engine enumeration, hands texts
// to the engine's central object and follows the engine through two
// notification sinks, whose methods run on the console's thread when it
// pumps messages: the buffer sink counts the texts the engine has started
// and not finished, the notify sink knows whether sound is playing. Those
// two are the only source of the busy answer.
#pragma once

#include <cstdint>
#include <string>

#include "servers/dispatch.hpp"

namespace servers::sapi4 {

// The most text handed over at once, with its terminating zero; longer
// texts are cut.
constexpr std::size_t kBufferSize = 64000;

// voice: 1-based in the engine's modes (0 means 1; past the last: the
// last); speed: words per minute, set only when not 0; pitch: hertz (cut to
// 16 bits), set only when not 0; outputFile: empty for the sound device,
// else a WAV file. The current directory is the same afterwards, and a
// failed start holds nothing.
bool start(int voice, int speed, int pitch, const std::string& outputFile);
void speak(const std::string& text);
bool busy(std::uint8_t mode);
void stop();
void end();
// Releases whatever is still held (the program's end).
void moduleEnd();

// The five operations, for the dispatcher.
ServerOps ops();

// Tests: the two counters the sinks keep.
int pendingBuffers();
bool audioActive();
// Tests: release everything, counters back to 0.
void resetForTests();

}  // namespace servers::sapi4
