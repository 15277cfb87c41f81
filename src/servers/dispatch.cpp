// Speech server dispatch. The dispatcher holds no speech of its own: it
// keeps the type number of the last start and a table of four slots, one
// per kind of server, and hands each call to the slot the type selects.
#include "servers/dispatch.hpp"

#include <array>

#include "console/qrcrt.hpp"
#include "platform/system/messages.hpp"
#include "platform/system/system.hpp"
#include "servers/sapi4.hpp"
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

ServerSettings serverSettings() {
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
    return s;
}

void resetForTests() { state() = DispatchState{}; }

}  // namespace servers
