// The SAPI 5 voice servers: type 5 on the standard runtime, type 54 on the
// second runtime. One design, two variants with state of their own; they
// differ in the classes they create and in how the voice and the output
// stream are assigned (type 54 through a late-bound put by name).
//
// Speech is asynchronous: a text is queued on the voice and the call
// returns; busy polls the voice's speak-complete event for at most 20 ms
// and, while it answers true, posts speechWakeMessage so that the
// console's wait for messages polls again.
#pragma once

#include <cstdint>
#include <string>

namespace servers::sapi5 {

// voice: 1-based in the installed voices (out of range: voice 1 at speed
// 0); speed: the rate -10..10 (refused rates leave the voice's own);
// pitch: not used; outputFile: empty for the sound device, else a WAV file.
bool start5(int voice, int speed, int pitch, const std::string& outputFile);
void speak5(const std::string& text);
bool busy5(std::uint8_t mode);
void stop5();
void end5();

bool start54(int voice, int speed, int pitch, const std::string& outputFile);
void speak54(const std::string& text);
bool busy54(std::uint8_t mode);
void stop54();
void end54();

// Tests: release whatever a variant still holds, without waiting.
void resetForTests();

}  // namespace servers::sapi5

namespace servers {
// Fills the dispatcher's slots for types 5 and 54 (those not filled yet:
// a test's stand-ins stay), registers the runtimes'
// classes and initialises the calling thread for them. The speaking console
// calls it once at start-up, before it starts a server.
void registerSapi5Servers();
}  // namespace servers
