#include "speaking/output.hpp"

#include "console/qrcrt.hpp"

namespace speaking {

namespace {

struct OutputState {
    bool started = false;
    int speed = 0;
    std::string soundDir;
};

OutputState state;

}  // namespace

void startSpeech(int speed, const std::string& dir) {
    state.started = true;
    state.speed = speed;
    state.soundDir = dir;
}

void endSpeech() { state.started = false; }

void writeSpoken(const std::string& text) { qrcrt::writeText(text); }

// Written in two steps so that a long line is not copied to append its end.
void writeLineSpoken(const std::string& text) {
    qrcrt::writeText(text);
    qrcrt::writeText("\r\n");
}

void resetOutputForTests() { state = OutputState{}; }

}  // namespace speaking
