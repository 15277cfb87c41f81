// The output module's request grammar and message reader over arbitrary
// bytes, one request a line: every answer starts with a three-digit code,
// the texts made for the voice hold no control character, and the groups
// they are cut into are bounded.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "servers/spdmodule.hpp"

namespace {

using namespace servers::spdmodule;

void checkText(const std::string& t) {
    for (char c : t)
        if (static_cast<unsigned char>(c) < 0x20) std::abort();
}

class Recorder : public Host {
public:
    bool init(std::string& m) override { m = "ok"; return true; }
    bool audio(const Params&) override { return true; }
    bool speaking() override { return busy; }
    void speak(Kind kind, const std::string& text) override {
        busy = !busy;  // every other SPEAK finds the voice speaking
        if (kind == Kind::text) {
            for (const Piece& p : readMessage(text)) {
                checkText(p.text);
                const std::string spoken = spokenText(p.text, settings);
                checkText(spoken);
                if (p.pauseMs < 0 || p.pauseMs > 10000) std::abort();
                // The voice is given bounded groups that together are the text.
                std::string joined;
                for (const std::string& g : textGroups(spoken)) {
                    if (g.size() > 2 * groupBytes) std::abort();
                    joined += g;
                }
                if (joined != spoken) std::abort();
            }
        } else {
            checkText(characterText(text));
            checkText(keyText(text));
            checkText(iconText(text));
        }
    }
    void stop() override {}
    void pause() override {}
    bool set(const Params& params) override {
        bool ok = true;
        for (const auto& [n, v] : params) ok = applySetting(settings, n, v) && ok;
        if (settings.rate < -100 || settings.rate > 100 || settings.volume < -100 || settings.volume > 100) std::abort();
        return ok;
    }
    void logLevel(int) override {}
    std::vector<std::string> voices() override { return {"quoril\tpt-BR\tnone"}; }

    bool busy = false;
    Settings settings;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    Recorder host;
    Protocol protocol(host);
    std::size_t start = 0;
    while (start <= input.size() && !protocol.quit()) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        for (const std::string& answer : protocol.feed(input.substr(start, end - start)))
            if (answer.size() < 4 || answer[0] < '2' || answer[0] > '4' || answer[1] < '0' || answer[1] > '9' ||
                answer[2] < '0' || answer[2] > '9' || (answer[3] != ' ' && answer[3] != '-'))
                std::abort();
        start = end + 1;
    }
    return 0;
}
