// Time from serverSpeak to the first sample of speech reaching the sound
// server, for the type 4 server (the SAPI 4 voice, espeak-ng in process,
// SDL audio), the type 54 server (espeak-ng in process, SDL audio), the
// type 5 server (speech-dispatcher) and, beside it, speech-dispatcher's own
// client spd-say, all measured the same way: parec records the PulseAudio
// null sink's monitor in 5 ms pieces, and the first piece holding a sample
// louder than the threshold after the call marks the arrival.
//   bench_server_latency [RUNS]   (default 50)
// Needs the sound server of scripts/start-sound-server (PULSE_SERVER) and,
// for type 5 and spd-say, a speech-dispatcher (SPEECHD_ADDRESS). Prints the
// median and the 95th percentile of each, in milliseconds.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "console/qrcrt.hpp"
#include "servers/dispatch.hpp"
#include "servers/sapi5.hpp"

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<long long> loudSince{0};  // steady-clock ns of the first loud piece after arming
std::atomic<long long> armedAt{0};
std::atomic<bool> quit{false};

long long now() { return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(); }

void recorder(std::FILE* in) {
    std::int16_t piece[110];  // 5 ms at 22050 Hz
    while (!quit && std::fread(piece, sizeof piece, 1, in) == 1) {
        const long long t = now();
        if (armedAt == 0 || loudSince != 0) continue;
        for (std::int16_t s : piece) {
            if (s > 1500 || s < -1500) {
                loudSince = t;
                break;
            }
        }
    }
}

void arm() {
    loudSince = 0;
    armedAt = now();
}


void report(const char* name, std::vector<double> ms) {
    if (ms.empty()) {
        std::printf("%-10s no measurement\n", name);
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-10s median %7.1f ms   p95 %7.1f ms   (%zu runs)\n", name, ms[ms.size() / 2],
                ms[std::min(ms.size() - 1, ms.size() * 95 / 100)], ms.size());
}

std::vector<double> measureServer(int type, int runs) {
    std::vector<double> out;
    if (!servers::serverStart(1, 0, 0, type, "")) {
        std::printf("type %d: no server\n", type);
        return out;
    }
    for (int i = 0; i < runs; ++i) {
        arm();
        const long long t0 = now();
        servers::serverSpeak("Bom dia.");
        const auto limit = Clock::now() + std::chrono::seconds(5);
        while (loudSince == 0 && Clock::now() < limit) servers::serverBusy(0);
        if (loudSince != 0) out.push_back(static_cast<double>(loudSince - t0) / 1e6);
        armedAt = 0;
        while (servers::serverBusy(0)) {
        }
        qrcrt::pauseFor(800);  // the sound server plays out and its monitor falls silent
    }
    servers::serverEnd();
    return out;
}

std::vector<double> measureSpdSay(int runs) {
    std::vector<double> out;
    for (int i = 0; i < runs; ++i) {
        arm();
        const long long t0 = now();
        std::thread say([] { (void)std::system("spd-say -w 'Bom dia.' >/dev/null 2>&1"); });
        const auto limit = Clock::now() + std::chrono::seconds(5);
        while (loudSince == 0 && Clock::now() < limit) std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (loudSince != 0) out.push_back(static_cast<double>(loudSince - t0) / 1e6);
        armedAt = 0;
        say.join();
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    ::setenv("QUORIL_CONSOLE", "headless", 0);
    ::setenv("QUORIL_AUDIO", "sdl", 0);
    ::setenv("SDL_AUDIODRIVER", "pulseaudio", 0);
    std::FILE* rec = popen(
        "parec -d quoril_null.monitor --raw --format=s16le --rate=22050 --channels=1 --latency-msec=5", "r");
    if (!rec) {
        std::printf("no parec\n");
        return 1;
    }
    std::thread reader(recorder, rec);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    servers::registerSapi5Servers();
    report("type 4", measureServer(4, runs));
    report("type 54", measureServer(54, runs));
    report("type 5", measureServer(5, runs));
    report("spd-say", measureSpdSay(runs));
    quit = true;
    std::fflush(stdout);
    std::_Exit(0);  // the recorder is blocked in parec's pipe
    reader.join();
}
