// Time from serverSpeak of a ten-word sentence to the first sample of speech
// reaching the sound server, for the type 3 server (the built-in voice and
// our diphone engine, SDL audio), the type 4 server (the SAPI 4 voice,
// espeak-ng in process, SDL audio), the type 54 server (espeak-ng in
// process, SDL audio), the type 5 server (speech-dispatcher) and, beside
// it, speech-dispatcher's own client spd-say, all measured the same way:
// parec records the PulseAudio null sink's monitor in 5 ms pieces, and the
// first piece holding a sample louder than -44 dBFS after the call
// marks the arrival.
//   bench_server_latency [RUNS]   (default 50)
// Needs the sound server of scripts/start-sound-server (PULSE_SERVER) and,
// for type 5 and spd-say, a speech-dispatcher (SPEECHD_ADDRESS); the sink
// recorded is PULSE_SINK, else quoril_null (scripts/bench-servers sets up
// a sink and a speech-dispatcher of their own and runs this). Type 3
// takes libmbrola.so, QUORIL.INI and registry.reg from the build tree
// (QUORIL_LIBDIR and QUORIL_WINDIR override). Prints the median and the 95th
// percentile of each, in milliseconds.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "console/qrcrt.hpp"
#include "servers/dispatch.hpp"
#include "servers/sapi5.hpp"
#include "servers/tirel.hpp"
#include "platform/system/system.hpp"

namespace {

using Clock = std::chrono::steady_clock;

const char* const sentence = "Bom dia, hoje vamos converter o seu arquivo de texto.";

// The first sample of speech: louder than -44 dBFS (the null sink's
// silence is digital zero; a voiced onset such as the "b" of "Bom" is
// quieter than the vowel after it and still speech).
constexpr std::int16_t loudLevel = 200;

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
            if (s > loudLevel || s < -loudLevel) {
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
        servers::serverSpeak(sentence);
        const auto limit = Clock::now() + std::chrono::seconds(5);
        while (loudSince == 0 && Clock::now() < limit) servers::serverBusy(0);
        if (loudSince != 0) out.push_back(static_cast<double>(loudSince - t0) / 1e6);
        armedAt = 0;
        servers::serverStop();  // the arrival is known; the rest need not play
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
        std::thread say([] { (void)std::system((std::string("spd-say -w '") + sentence + "' >/dev/null 2>&1").c_str()); });
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
    // The sink whose monitor is recorded: PULSE_SINK (where SDL plays), else quoril_null.
    const char* sink = std::getenv("PULSE_SINK");
    const std::string command = std::string("parec -d ") + (sink && *sink ? sink : "quoril_null") +
                                ".monitor --raw --format=s16le --rate=22050 --channels=1 --latency-msec=5";
    std::FILE* rec = popen(command.c_str(), "r");
    if (!rec) {
        std::printf("no parec\n");
        return 1;
    }
    std::thread reader(recorder, rec);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // The build tree's engine, settings and registry, as `make run` has them.
    const std::string exeDir = std::filesystem::path(platform::cp1252ToUtf8(platform::executablePath())).parent_path().parent_path().string();
    ::setenv("QUORIL_LIBDIR", exeDir.c_str(), 0);
    ::setenv("QUORIL_WINDIR", (exeDir + "/etc").c_str(), 0);
    servers::registerSapi5Servers();
    servers::registerTirelServer();
    // The sound server's stream takes a while to settle after SDL opens it:
    // one utterance before the first measured one.
    measureServer(54, 1);
    report("type 3", measureServer(3, runs));
    report("type 4", measureServer(4, runs));
    report("type 54", measureServer(54, runs));
    report("type 5", measureServer(5, runs));
    report("spd-say", measureSpdSay(runs));
    quit = true;
    std::fflush(stdout);
    std::_Exit(0);  // the recorder is blocked in parec's pipe
    reader.join();
}
