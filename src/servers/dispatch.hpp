// The speech server dispatcher: one set of five operations routed by the
// server type number fixed at start. Type 3 is the built-in Portuguese
// voice, 5 a SAPI 5 voice on the standard runtime, 54 a SAPI 5 voice on the
// second runtime, and any other number a SAPI 4 voice.
//
// Each kind of server fills its slot with registerServer. Until a kind is
// registered its start answers false, so the speaking console stays with
// its diphone synthesizer. Speaking is asynchronous: serverSpeak returns at
// once, and the end of an utterance is learnt by polling serverBusy between
// waits for window messages.
#pragma once

#include <cstdint>
#include <string>

namespace servers {

// The message a server posts to the console window, with both parameters 0,
// so that a loop asleep in wait-for-message wakes and polls again.
constexpr std::uint32_t speechWakeMessage = 2980;

enum class ServerKind { builtIn, sapi5, sapi5Second, sapi4 };

// The operations one kind of server gives. A null member does nothing
// (start and busy then answer false).
struct ServerOps {
    // voice, speed, pitch, output WAV file (empty: the sound device).
    bool (*start)(int voice, int speed, int pitch, const std::string& outputFile) = nullptr;
    void (*speak)(const std::string& text) = nullptr;
    // mode 1: still working on a text handed over; 0: that, or its sound
    // still playing.
    bool (*busy)(std::uint8_t mode) = nullptr;
    void (*stop)() = nullptr;
    void (*end)() = nullptr;
};

// The kind a type number selects.
ServerKind kindOfType(int type);
// Fills (or, with empty ops, clears) the slot of one kind.
void registerServer(ServerKind kind, const ServerOps& ops);
// Whether the slot of a kind has been filled.
bool serverRegistered(ServerKind kind);
// A static object that registers a kind at program start, for a server's
// own file: `const servers::ServerRegistration reg{ServerKind::sapi5, ops};`.
// A static library keeps such a file only when something references it.
struct ServerRegistration {
    ServerRegistration(ServerKind kind, const ServerOps& ops) { registerServer(kind, ops); }
};

// Remembers the type (whatever the outcome), starts the server it selects
// and, when that start succeeded, waits until serverBusy(1) answers false,
// looking every 50 ms. Answers the server's result.
bool serverStart(int voice, int speed, int pitch, int type, const std::string& outputFile);
// Hands the text to the server and returns at once.
void serverSpeak(const std::string& text);
// Pumps the thread's pending messages, then answers the server's busy test.
bool serverBusy(std::uint8_t mode);
// Cuts the current speech and drops text not yet spoken.
void serverStop();
// Waits until speech has ended, then releases the server.
void serverEnd();
// The type of the last serverStart (4 before any).
int serverType();
// Posts speechWakeMessage to the console window.
void postSpeechWake();

// What QUORIL.INI asks for: a server is wanted when TRADUTOR / SAPI is not
// empty and does not begin with N or n; voice, speed, pitch and type come
// from SERVFALA VOZ, VELOCIDADE, TOM and TIPOSAPI (0 when missing or not a
// number). A speed above 10 becomes 0 unless the type is exactly 4.
// When the speed is then 0 (the voice's own) and a console speed 1..5 is
// given, the console speed sets the server's pace (rateForConsoleSpeed);
// a SAPI 5 voice of number 0 is then asked for as voice 1, the same voice,
// since a voice out of range would drop the rate.
struct ServerSettings {
    bool wanted = false;
    int voice = 0, speed = 0, pitch = 0, type = 0;
};
ServerSettings serverSettings(int consoleSpeed = 0);

// The server rate that stands for a console speed 1..5, in the terms of
// the type's voice (-10..10, or words per minute for the SAPI 4 voice).
// Speed 3 is the voice's own pace (0); against espeak-ng's default, speeds
// 1, 2, 4 and 5 last about 1.6, 1.3, 0.75 and 0.5 times as long on every
// voice. 0 for a speed outside 1..5.
int rateForConsoleSpeed(int consoleSpeed, int type);

// Tests: type back to 4 and every slot empty.
void resetForTests();

}  // namespace servers
