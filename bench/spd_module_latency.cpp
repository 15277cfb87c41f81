// Output modules of speech-dispatcher side by side: for each module named,
// the time from the client's message to the first sample of speech at the
// sound server, and from the client's cancel to the last sample of speech.
// parec records the PulseAudio null sink's monitor in 5 ms pieces; a piece
// holding a sample louder than -44 dBFS is speech.
//   bench_spd_module_latency RUNS MODULE...
// Needs a speech-dispatcher at SPEECHD_ADDRESS whose modules play on the
// sink PULSE_SINK (scripts/bench-speechd-module sets both up). Prints the
// median and the 95th percentile of each, in milliseconds.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#if __has_include(<speech-dispatcher/libspeechd.h>)
#include <speech-dispatcher/libspeechd.h>
#define HAVE_LIBSPEECHD 1
#endif

namespace {

using Clock = std::chrono::steady_clock;

const char* const sentence = "Bom dia, hoje vamos converter o seu arquivo de texto.";
const char* const longText =
    "Este texto longo fala por muitos segundos, frase por frase, para que o corte caia no meio dele. "
    "Mais uma frase vem depois desta, e outra ainda, e mais outra, sem pressa nenhuma de acabar.";
constexpr std::int16_t loudLevel = 200;

std::atomic<long long> firstLoud{0};  // ns of the first loud piece after arming
std::atomic<long long> lastLoud{0};   // ns of the latest loud piece
std::atomic<long long> armedAt{0};

long long now() { return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(); }

void recorder(std::FILE* in) {
    std::int16_t piece[80];  // 5 ms at 16000 Hz
    while (std::fread(piece, sizeof piece, 1, in) == 1) {
        const long long t = now();
        const bool loud = std::any_of(std::begin(piece), std::end(piece),
                                      [](std::int16_t s) { return s > loudLevel || s < -loudLevel; });
        if (!loud) continue;
        lastLoud = t;
        if (armedAt != 0 && firstLoud == 0) firstLoud = t;
    }
}

void waitQuiet(int ms) {
    // Until the sink has been silent for ms.
    const auto limit = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < limit && now() - lastLoud < static_cast<long long>(ms) * 1000000)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

bool waitLoud() {
    const auto limit = Clock::now() + std::chrono::seconds(5);
    while (firstLoud == 0 && Clock::now() < limit) std::this_thread::sleep_for(std::chrono::microseconds(200));
    return firstLoud != 0;
}

void report(const std::string& name, const char* what, std::vector<double> ms) {
    if (ms.empty()) {
        std::printf("%-12s %-14s no measurement\n", name.c_str(), what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-12s %-14s median %7.1f ms   p95 %7.1f ms   (%zu runs)\n", name.c_str(), what, ms[ms.size() / 2],
                ms[std::min(ms.size() - 1, ms.size() * 95 / 100)], ms.size());
}

#ifdef HAVE_LIBSPEECHD
void measure(const std::string& module, int runs) {
    char* error = nullptr;
    const char* address = std::getenv("SPEECHD_ADDRESS");
    SPDConnectionAddress* a = address ? spd_get_default_address(&error) : nullptr;
    SPDConnection* c = spd_open2("bench", module.c_str(), nullptr, SPD_MODE_THREADED, a, 0, &error);
    if (!c) {
        std::printf("%-12s cannot connect: %s\n", module.c_str(), error ? error : "?");
        return;
    }
    spd_set_output_module(c, module.c_str());
    spd_set_language(c, "pt-BR");
    // One message before the measured ones: the module and the sound
    // server's stream settle.
    spd_say(c, SPD_TEXT, sentence);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    spd_cancel(c);
    waitQuiet(400);

    std::vector<double> first, stop;
    for (int i = 0; i < runs; ++i) {
        firstLoud = 0;
        armedAt = now();
        const long long t0 = now();
        spd_say(c, SPD_TEXT, sentence);
        if (waitLoud()) first.push_back(static_cast<double>(firstLoud - t0) / 1e6);
        armedAt = 0;
        spd_cancel(c);
        waitQuiet(400);

        firstLoud = 0;
        armedAt = now();
        spd_say(c, SPD_TEXT, longText);
        if (waitLoud()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(700));  // well into the speech
            const long long t1 = now();
            spd_cancel(c);
            waitQuiet(600);
            stop.push_back(std::max(0.0, static_cast<double>(lastLoud - t1) / 1e6));
        }
        armedAt = 0;
        spd_cancel(c);
        waitQuiet(400);
    }
    spd_close(c);
    if (a) SPDConnectionAddress__free(a);
    report(module, "first sample", first);
    report(module, "cancel-silence", stop);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_spd_module_latency RUNS MODULE...\n");
        return 2;
    }
#ifdef HAVE_LIBSPEECHD
    const int runs = std::max(1, std::atoi(argv[1]));
    const char* sink = std::getenv("PULSE_SINK");
    const std::string command = std::string("parec -d ") + (sink && *sink ? sink : "quoril_null") +
                                ".monitor --raw --format=s16le --rate=16000 --channels=1 --latency-msec=5";
    std::FILE* rec = popen(command.c_str(), "r");
    if (!rec) {
        std::printf("no parec\n");
        return 1;
    }
    std::thread(recorder, rec).detach();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (int i = 2; i < argc; ++i) measure(argv[i], runs);
    std::fflush(stdout);
    std::_Exit(0);  // the recorder is blocked in parec's pipe
#else
    std::printf("built without libspeechd: nothing measured\n");
    return 0;
#endif
}
