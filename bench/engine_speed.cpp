// Synthesis speed of the diphone engine on a file of engine lines, in times
// real time, and the diphones of those lines that the database lacks (the
// ones the engine replaces by a neighbour), per 1000.
//
//   bench_engine_speed LINES.pho DATABASE DIPHONE-LIST [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "mbrola.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_engine_speed LINES.pho DATABASE DIPHONE-LIST [rounds]\n");
        return 2;
    }
    const int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;
    std::ifstream in(argv[1]);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l + "\n");

    // Pairs the database lacks, counted as the engine meets them.
    std::set<std::string> listed;
    std::ifstream dfn(argv[3]);
    for (std::string l; std::getline(dfn, l);) {
        std::istringstream w(l);
        std::string a, b;
        if (w >> a >> b && a[0] != ';') listed.insert(a + "-" + b);
    }
    long pairs = 0, missing = 0;
    std::string prev = "_";
    for (const std::string& l : lines) {
        std::istringstream w(l);
        std::string name;
        if (!(w >> name) || name[0] == ';') continue;
        ++pairs;
        missing += !listed.count(prev + "-" + name);
        prev = name;
    }
    ++pairs;
    missing += !listed.count(prev + "-_");

    if (init_MBR(argv[2]) < 0) {
        char e[256];
        lastErrorStr_MBR(e, sizeof e);
        std::fprintf(stderr, "bench_engine_speed: %s\n", e);
        return 1;
    }
    setNoError_MBR(1);
    std::vector<short> buf(16000);
    double best = 1e30;
    long samples = 0;
    for (int r = 0; r < rounds; ++r) {
        samples = 0;
        const auto t0 = std::chrono::steady_clock::now();
        for (std::string& l : lines) {
            write_MBR(l.data());
            for (int n; (n = read_MBR(buf.data(), static_cast<int>(buf.size()))) > 0;) samples += n;
        }
        flush_MBR();
        for (int n; (n = read_MBR(buf.data(), static_cast<int>(buf.size()))) > 0;) samples += n;
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    const double audio = samples / 16000.0;
    std::printf("engine: %zu lines, %.1f s of speech in %.3f s: %.0f times real time\n", lines.size(), audio, best,
                audio / best);
    std::printf("engine: %ld diphones, %ld missing from the database: %.2f per 1000\n", pairs, missing,
                1000.0 * missing / pairs);
    close_MBR();
    return 0;
}
