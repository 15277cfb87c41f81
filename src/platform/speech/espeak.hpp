// Inside the speech room: espeak-ng in this process, shared by the engines
// built on it (the second SAPI 5 runtime and the SAPI 4 engine). espeak-ng
// is one per process and not reentrant: every call into it goes through
// synthesize, which holds one lock. Each engine speaks on a thread of its
// own and hands its samples to the wave-out device through a DeviceOut.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/sound/waveout.hpp"

namespace platform::espeak {

// One installed espeak-ng voice.
struct VoiceInfo {
    std::string identifier;  // "roa/pt-BR"
    std::string name;        // "Portuguese_(Brazil)"
    std::string language;    // its first language, "pt-br"
    int gender = 0;          // 0 not given, 1 male, 2 female
    int age = 0;             // 0 not given
};

// Receives the samples of one synthesize call (on the calling thread, the
// engine's lock held). Answering true stops the synthesis.
struct SampleReceiver {
    virtual bool samples(const std::int16_t* samples, int count) = 0;

protected:
    ~SampleReceiver() = default;
};

// Starts espeak-ng once; false when its data cannot be loaded or it has no
// voice.
bool start();
// The output rate (samples per second, 16-bit mono); 0 before start.
int sampleRate();
// The voices, Brazilian Portuguese first, then in espeak-ng's order.
const std::vector<VoiceInfo>& voices();

// What one synthesize call asks for.
struct Request {
    std::string voice;  // identifier; empty: the first voice
    int wordsPerMinute = 175;
    int pitch = 50;     // espeak-ng's 0..100
    bool ssml = false;
};
// Speaks UTF-8 text into the receiver and returns when it is done or the
// receiver stopped it. Any thread; calls are taken one at a time.
void synthesize(SampleReceiver& receiver, const std::string& utf8, const Request& request);

// 16-bit samples as little-endian bytes.
std::vector<std::uint8_t> littleEndian(const std::int16_t* samples, int count);

// The wave-out device for one run of texts, used by one engine thread: the
// device is opened at the first block and closed when the run is over, so
// the console's own sounds can have it between runs.
class DeviceOut {
public:
    DeviceOut() = default;
    DeviceOut(const DeviceOut&) = delete;
    DeviceOut& operator=(const DeviceOut&) = delete;
    ~DeviceOut() { reset(); }
    // Queues the samples as one block; opens the device first if needed,
    // retrying for a while when another handle holds it, unless giveUp
    // answers true. Samples are dropped when there is no device.
    void write(const std::int16_t* samples, int count, int rate, const std::function<bool()>& giveUp);
    // Waits until every block has played: true. Answers false, leaving the
    // rest queued, as soon as stopWaiting answers true.
    bool drain(const std::function<bool()>& stopWaiting);
    // Cuts what is queued and closes the device.
    void reset();
    // Closes the device (after a drain).
    void close();
    // Whether blocks are queued and not yet played.
    bool playing();

private:
    struct Block {
        WaveHdr header;
        std::vector<std::uint8_t> data;
    };
    void reap();
    void open(int rate, const std::function<bool()>& giveUp);
    HWaveOut device_ = 0;
    bool failed_ = false;
    std::deque<std::unique_ptr<Block>> blocks_;
};

}  // namespace platform::espeak
