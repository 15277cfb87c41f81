// Speech server dispatch. The dispatcher holds no speech of its own: it
// keeps the type number of the last start and a table of four slots, one
// per kind of server, and hands each call to the slot the type selects.
#include "servers/dispatch.hpp"

#include <algorithm>
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
    ServerBounds bounds;
    // The bounded wait in progress: its end on the steady clock (0: none)
    // and what running past it means.
    std::uint64_t deadline = 0;
    int boundMs = 0;
    enum class Waiting { nothing, start, utterance, stop, end } waiting = Waiting::nothing;
    bool stalled = false;
    ServerFailure failure;
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

void boundWait(DispatchState::Waiting what, int milliseconds) {
    DispatchState& s = state();
    s.waiting = what;
    s.boundMs = std::max(0, milliseconds);
    s.deadline = platform::tickCount() + static_cast<std::uint64_t>(s.boundMs);
}

void unbound() {
    DispatchState& s = state();
    s.waiting = DispatchState::Waiting::nothing;
    s.deadline = 0;
}

std::string seconds(int milliseconds) {
    const int n = (milliseconds + 999) / 1000;
    return std::to_string(n) + (n == 1 ? " segundo" : " segundos");
}

// The server has run past the bound of what it was doing: it is told to
// stop, and counts as stalled from now on.
void stall() {
    DispatchState& s = state();
    const int ms = s.boundMs;
    s.stalled = true;
    if (s.waiting == DispatchState::Waiting::start)
        serverFailed("n\xE3o ficou pronto em " + seconds(ms));
    else
        serverFailed("parou de responder (uma fala n\xE3o terminou em " + seconds(ms) + ")");
    unbound();
    if (const ServerOps& ops = selected(); ops.stop) ops.stop();
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
    DispatchState& s = state();
    s.type = type;
    s.stalled = false;
    s.failure = ServerFailure{};
    const ServerOps& ops = selected();
    if (ops.start == nullptr) {
        serverFailed("n\xE3o existe nesta instala\xE7\xE3o");
        return false;
    }
    boundWait(DispatchState::Waiting::start, s.bounds.startMs);
    const bool started = ops.start(voice, speed, pitch, outputFile);
    if (!started) {
        unbound();
        if (s.failure.reason.empty()) serverFailed("n\xE3o iniciou");
        return false;
    }
    while (serverBusy(1)) qrcrt::pauseFor(kIdlePoll);
    if (s.stalled) {
        const ServerFailure why = s.failure;
        serverEnd();
        s.failure = why;
        return false;
    }
    unbound();
    return true;
}

void serverSpeak(const std::string& text) {
    DispatchState& s = state();
    if (s.stalled) return;
    if (const ServerOps& ops = selected(); ops.speak) {
        ops.speak(text);
        const long long ms = static_cast<long long>(s.bounds.utteranceMs) +
                             static_cast<long long>(s.bounds.perCharacterMs) * static_cast<long long>(text.size());
        boundWait(DispatchState::Waiting::utterance, static_cast<int>(std::min<long long>(ms, 24LL * 3600 * 1000)));
    }
}

bool serverBusy(std::uint8_t mode) {
    qrcrt::pumpMessages();
    DispatchState& s = state();
    if (s.stalled) return false;
    const ServerOps& ops = selected();
    const bool busy = ops.busy != nullptr && ops.busy(mode);
    if (!busy) {
        // The utterance (or the stop) is over; a start's wait and the end
        // keep their bounds to the end of their own loops.
        if (s.waiting == DispatchState::Waiting::utterance || s.waiting == DispatchState::Waiting::stop) unbound();
        return false;
    }
    if (serverOverdue() && s.waiting != DispatchState::Waiting::end) {
        stall();
        return false;
    }
    return true;
}

void serverStop() {
    DispatchState& s = state();
    if (const ServerOps& ops = selected(); ops.stop) ops.stop();
    if (!s.stalled) boundWait(DispatchState::Waiting::stop, s.bounds.stopMs);
}

void serverEnd() {
    DispatchState& s = state();
    boundWait(DispatchState::Waiting::end, s.bounds.endMs);
    if (const ServerOps& ops = selected(); ops.end) ops.end();
    unbound();
}

void serverFailed(const std::string& reason, const std::string& place) {
    state().failure = ServerFailure{reason, place};
}

const ServerFailure& serverFailure() { return state().failure; }

bool serverStalled() { return state().stalled; }

bool serverOverdue() {
    const DispatchState& s = state();
    return s.deadline != 0 && platform::tickCount() >= s.deadline;
}

void setServerBoundsForTests(const ServerBounds& bounds) { state().bounds = bounds; }

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
