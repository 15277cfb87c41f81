#include "servers/tirel.hpp"

#include <algorithm>
#include <optional>

#include "console/qrcrt.hpp"
#include "platform/system/registry.hpp"
#include "servers/dispatch.hpp"
#include "speaking/settings.hpp"
#include "tts/minireg.hpp"
#include "tts/uttstirel.hpp"

namespace servers::tirel {
namespace {

const char* const registryDefault = "SOFTWARE\\TCTS\\Mbrola\\databases\\BR4\\";
const char* const fixedDirectory = "\\tamiru\\tireltts\\";

struct TirelServerState {
    std::optional<VoiceFiles> files;
};

TirelServerState& state() {
    static TirelServerState s;
    return s;
}

VoiceFiles findFiles() {
    VoiceFiles f;
    f.database = speaking::settingsValue("TIRELTTS", "MBROLA_DB");
    f.directory = speaking::settingsValue("TIRELTTS", "DIR");
    f.base = speaking::settingsValue("TIRELTTS", "BASE");
    if (f.database.empty()) f.database = "br4";
    if (f.directory.empty()) {
        // The value names the database file (".../br4"): its folder is the
        // value without the last three characters.
        std::string value;
        if (minireg::regReadString(platform::HKEY_LOCAL_MACHINE, registryDefault, value))
            f.directory = value.substr(0, value.size() >= 3 ? value.size() - 3 : 0);
        else
            f.directory = fixedDirectory;
    }
    if (f.base.empty()) f.base = "portug";
    if (f.directory.empty() || (f.directory.back() != '\\' && f.directory.back() != '/')) f.directory += '\\';
    const std::string stem = f.directory + f.base;
    f.rules = stem + ".nrl";
    f.exceptions = stem + ".exc";
    f.abbreviations = stem + ".abr";
    f.prosody = stem + ".pro";
    f.diphones = stem + ".dfn";
    return f;
}

}  // namespace

const VoiceFiles& voiceFiles() {
    TirelServerState& s = state();
    if (!s.files) s.files = findFiles();
    return *s.files;
}

// The factor 0.8 - speed/15 of old smeared the fastest rate (9 words in
// 0.6 s); the duration of this voice is about 1.33 times its factor against
// espeak-ng's default, so the ends are put where a listener still follows.
double durationFactorFor(double speed) {
    constexpr double own = 0.8, fastest = 0.25, slowest = 1.51;
    speed = std::clamp(speed, -10.0, 10.0);
    return speed >= 0 ? own + (fastest - own) * speed / 10 : own + (slowest - own) * -speed / 10;
}
double pitchFactorFor(int pitch) { return (std::clamp(pitch, -10, 11) + 11) / 11.0; }

bool start(int, int speed, int pitch, const std::string& outputFile) {
    const VoiceFiles& f = voiceFiles();
    uttstirel::ttsSetOutputFile(outputFile);
    const bool result = uttstirel::ttsOpen(f.database, f.rules, f.exceptions, f.abbreviations, f.prosody, f.diphones);
    uttstirel::ttsSetFactors(durationFactorFor(speed), pitchFactorFor(pitch));
    return result;
}

void speak(const std::string& text) {
    uttstirel::ttsSpeak(text);
    postSpeechWake();
}

bool busy(std::uint8_t) {
    bool answer = uttstirel::ttsSpeaking();
    if (qrcrt::keyWaiting()) {
        stop();
        answer = false;
    }
    postSpeechWake();
    return answer;
}

void stop() {
    uttstirel::ttsStop();
    postSpeechWake();
}

void end() {
    while (busy(0)) qrcrt::pauseFor(500);
    stop();
    uttstirel::ttsClose();
}

ServerOps ops() {
    ServerOps o;
    o.start = start;
    o.speak = speak;
    o.busy = busy;
    o.stop = stop;
    o.end = end;
    return o;
}

void resetForTests() {
    state() = TirelServerState{};
    uttstirel::resetForTests();
}

}  // namespace servers::tirel

namespace servers {

void registerTirelServer() {
    if (!serverRegistered(ServerKind::builtIn)) registerServer(ServerKind::builtIn, tirel::ops());
}

}  // namespace servers
