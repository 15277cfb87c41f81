// The process's one sound output: the looping in-memory sound and the
// message beep. This first version records the looping image and is silent.
#include "platform/audio.hpp"

#include <mutex>

#include "platform/system.hpp"

namespace platform {
namespace {

struct AudioState {
    std::mutex lock;
    std::vector<std::uint8_t> loop;
};

AudioState& state() {
    static AudioState s;
    return s;
}

}  // namespace

void playSoundLoop(const std::uint8_t* image, std::size_t size) {
    auto& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    if (image == nullptr || size == 0) {
        s.loop.clear();
        return;
    }
    s.loop.assign(image, image + size);
}

void stopSoundLoop() {
    auto& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.loop.clear();
}

namespace audio {

void beep() {}

std::vector<std::uint8_t> loopImage() {
    auto& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.loop;
}

bool available() { return false; }

}  // namespace audio
}  // namespace platform
