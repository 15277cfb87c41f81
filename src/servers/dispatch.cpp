// Speech server dispatch. The dispatcher holds no speech of its own: it
// keeps the type number of the last start and a table of four slots, one
// per kind of server, and hands each call to the slot the type selects.
#include "servers/dispatch.hpp"

#include <array>

#include "console/qrcrt.hpp"
#include "platform/system/messages.hpp"
#include "platform/system/system.hpp"
#include "servers/sapi4.hpp"
#include "servers/tirel.hpp"
#include "speaking/settings.hpp"

namespace servers {
namespace {

constexpr int kDefaultType = 4;
constexpr int kIdlePoll = 50;  // ms between two looks at a starting server

struct DispatchState {
    int type = kDefaultType;
    std::array<ServerOps, 4> slots{};
};

DispatchState& state() {
    static DispatchState s = [] {
        DispatchState d;  // every type not taken by another kind is the SAPI 4 voice
        d.slots[static_cast<std::size_t>(ServerKind::sapi4)] = sapi4::ops();
        d.slots[static_cast<std::size_t>(ServerKind::builtIn)] = tirel::ops();
        return d;
    }();
    return s;
}

const ServerOps& selected() {
    DispatchState& s = state();
    return s.slots[static_cast<std::size_t>(kindOfType(s.type))];
}

}  // namespace

ServerKind kindOfType(int type) {
    switch (type) {
        case 3: return ServerKind::builtIn;
        case 5: return ServerKind::sapi5;
        case 54: return ServerKind::sapi5Second;
        default: return ServerKind::sapi4;
    }
}

void registerServer(ServerKind kind, const ServerOps& ops) {
    state().slots[static_cast<std::size_t>(kind)] = ops;
}

bool serverStart(int voice, int speed, int pitch, int type, const std::string& outputFile) {
    state().type = type;
    const ServerOps& ops = selected();
    const bool started = ops.start != nullptr && ops.start(voice, speed, pitch, outputFile);
    if (started) {
        while (serverBusy(1)) qrcrt::pauseFor(kIdlePoll);
    }
    return started;
}

void serverSpeak(const std::string& text) {
    if (const ServerOps& ops = selected(); ops.speak) ops.speak(text);
}

bool serverBusy(std::uint8_t mode) {
    qrcrt::pumpMessages();
    const ServerOps& ops = selected();
    return ops.busy != nullptr && ops.busy(mode);
}

void serverStop() {
    if (const ServerOps& ops = selected(); ops.stop) ops.stop();
}

void serverEnd() {
    if (const ServerOps& ops = selected(); ops.end) ops.end();
}

bool serverRegistered(ServerKind kind) {
    return state().slots[static_cast<std::size_t>(kind)].start != nullptr;
}

int serverType() { return state().type; }

void postSpeechWake() { platform::postMessage(qrcrt::windowHandle(), speechWakeMessage, 0, 0); }

int rateForConsoleSpeed(int consoleSpeed, int type) {
    if (consoleSpeed < 1 || consoleSpeed > 5) return 0;
    // Measured against espeak-ng -v pt-br on the same sentences: the
    // built-in voice's duration is about 1.33 times its duration factor,
    // espeak-ng's (types 4, 5, 54) 175 / words per minute.
    static constexpr int builtIn[5] = {-6, -3, 0, 4, 8};
    static constexpr int sapi5[5] = {-7, -4, 0, 2, 6};
    static constexpr int wordsPerMinute[5] = {110, 135, 0, 235, 350};
    const std::size_t i = static_cast<std::size_t>(consoleSpeed - 1);
    switch (kindOfType(type)) {
        case ServerKind::builtIn: return builtIn[i];
        case ServerKind::sapi5:
        case ServerKind::sapi5Second: return sapi5[i];
        case ServerKind::sapi4: return wordsPerMinute[i];
    }
    return 0;
}

ServerSettings serverSettings(int consoleSpeed) {
    ServerSettings s;
    const std::string sapi = speaking::settingsValue("TRADUTOR", "SAPI");
    s.wanted = !sapi.empty() && sapi[0] != 'N' && sapi[0] != 'n';
    if (!s.wanted) return s;
    const auto number = [](const char* key) {
        return platform::parseProfileInt(speaking::settingsValue("SERVFALA", key), 0);
    };
    s.voice = number("VOZ");
    s.speed = number("VELOCIDADE");
    s.pitch = number("TOM");
    s.type = number("TIPOSAPI");
    if (s.type != kDefaultType && s.speed > 10) s.speed = 0;
    if (s.speed == 0 && consoleSpeed >= 1 && consoleSpeed <= 5) {
        s.speed = rateForConsoleSpeed(consoleSpeed, s.type);
        const ServerKind kind = kindOfType(s.type);
        if (s.speed != 0 && s.voice == 0 && (kind == ServerKind::sapi5 || kind == ServerKind::sapi5Second))
            s.voice = 1;
    }
    return s;
}

void resetForTests() { state() = DispatchState{}; }

}  // namespace servers
