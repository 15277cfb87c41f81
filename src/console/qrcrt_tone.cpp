// Tones: one second of an 8-bit, 11025 Hz square wave behind a WAV header,
// played looping from memory until toneOff. Period k starts at sample
// k * 11025 / f (integer division), so the periods stay in step with the
// frequency even where 11025 / f leaves a remainder; each period is half
// low (96), half high (160), and the last sample before the loop point is
// the silence level, so the loop joins without a click.
#include <algorithm>

#include "console/qrcrt.hpp"
#include "console/qrcrt_state.hpp"
#include "platform/system/system.hpp"

namespace qrcrt {

using detail::state;

namespace {

constexpr int rate = 11025;
constexpr int headerSize = 44;

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void putTag(std::vector<std::uint8_t>& b, std::size_t at, const char* tag) {
    std::copy_n(tag, 4, b.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace

std::vector<std::uint8_t> toneImage(int frequency) {
    if (frequency <= 0) return {};
    frequency = std::min(frequency, rate);  // above this no period has a sample
    std::vector<std::uint8_t> b(headerSize + rate, 128);
    const int period = rate / frequency;
    long k = 0;
    int start = headerSize;
    while (start <= rate - period) {
        for (int i = 0; i < period; ++i) b[start + i] = i < period / 2 ? 96 : 160;
        ++k;
        start = headerSize + static_cast<int>(k * rate / frequency);
    }
    b[start - 1] = 128;
    const std::uint32_t dataLength = static_cast<std::uint32_t>(start - headerSize);
    putTag(b, 0, "RIFF");
    put32(b, 4, dataLength + 36);
    putTag(b, 8, "WAVE");
    putTag(b, 12, "fmt ");
    put32(b, 16, 16);
    put16(b, 20, 1);  // PCM
    put16(b, 22, 1);  // mono
    put32(b, 24, rate);
    put32(b, 28, rate);  // bytes per second
    put16(b, 32, 1);     // block align
    put16(b, 34, 8);     // bits per sample
    putTag(b, 36, "data");
    put32(b, 40, dataLength);
    b.resize(static_cast<std::size_t>(start));
    return b;
}

void toneOn(int frequency) {
    toneOff();
    auto& s = state();
    s.toneBuffer = toneImage(frequency);
    if (s.toneBuffer.empty()) return;
    platform::playSoundLoop(s.toneBuffer.data(), s.toneBuffer.size());
    s.tonePlaying = true;
}

void toneOff() {
    auto& s = state();
    if (s.tonePlaying) platform::stopSoundLoop();
    s.tonePlaying = false;
    s.toneBuffer.clear();
}

}  // namespace qrcrt
