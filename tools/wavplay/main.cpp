// wavplay: plays WAV files through the wave-out player, for checking the
// sound path by ear or with a recorder; also writes test tones and measures
// recordings.
//   wavplay FILE...                     play each file to its end
//   wavplay --tone FILE SECONDS HZ [RATE BITS]
//                                       write a mono sine (default 11025 Hz
//                                       8-bit; 16-bit is the built-in voice's)
//   wavplay --measure RAW RATE          raw s16le mono recording: prints the
//                                       span between the first and the last
//                                       loud sample, the level within it, the
//                                       time that sounds (10 ms windows that
//                                       are loud: gaps from a late sound
//                                       server do not count), and the longest
//                                       quiet stretch inside the span
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sound/qrwav.hpp"

namespace {

void put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

int writeTone(const std::string& name, double seconds, double hz, std::uint32_t rate, int bits) {
    if (rate < 1000 || rate > 192000 || (bits != 8 && bits != 16) || !(seconds > 0 && seconds < 600)) return 2;
    const std::uint32_t bytes = static_cast<std::uint32_t>(bits / 8);
    std::uint32_t n = static_cast<std::uint32_t>(seconds * rate);
    std::vector<std::uint8_t> b = {'R', 'I', 'F', 'F'};
    put32(b, 36 + n * bytes);
    for (char c : std::string("WAVEfmt ")) b.push_back(static_cast<std::uint8_t>(c));
    put32(b, 16);
    b.insert(b.end(), {1, 0, 1, 0});
    put32(b, rate);
    put32(b, rate * bytes);
    b.insert(b.end(), {static_cast<std::uint8_t>(bytes), 0, static_cast<std::uint8_t>(bits), 0});
    for (char c : std::string("data")) b.push_back(static_cast<std::uint8_t>(c));
    put32(b, n * bytes);
    for (std::uint32_t i = 0; i < n; ++i) {
        const double v = std::sin(2 * M_PI * hz * i / rate) * 0.7;
        if (bits == 8) {
            b.push_back(static_cast<std::uint8_t>(128 + std::lround(128 * v)));
        } else {
            const auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(32767 * v)));
            b.insert(b.end(), {static_cast<std::uint8_t>(s), static_cast<std::uint8_t>(s >> 8)});
        }
    }
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    return out ? 0 : 1;
}

int measure(const std::string& name, int rate) {
    std::ifstream in(name, std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t n = raw.size() / 2, first = n, last = 0;
    std::vector<int> s(n);
    for (std::size_t i = 0; i < n; ++i) {
        s[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(raw[2 * i]) |
                                         static_cast<std::uint8_t>(raw[2 * i + 1]) << 8);
        if (std::abs(s[i]) > 1000) {
            if (first == n) first = i;
            last = i;
        }
    }
    double sum = 0;
    std::size_t quiet = 0, longestQuiet = 0;
    for (std::size_t i = first; i <= last && i < n; ++i) {
        sum += static_cast<double>(s[i]) * s[i];
        quiet = std::abs(s[i]) > 1000 ? 0 : quiet + 1;
        if (quiet > longestQuiet) longestQuiet = quiet;
    }
    long ms = first < n ? static_cast<long>((last - first + 1) * 1000 / static_cast<std::size_t>(rate)) : 0;
    double rms = first < n ? std::sqrt(sum / static_cast<double>(last - first + 1)) : 0;
    const std::size_t window = static_cast<std::size_t>(rate) / 100;
    long sounding = 0;
    double loudSum = 0;
    std::size_t loudSamples = 0;
    for (std::size_t w = 0; window > 0 && w + window <= n; w += window) {
        double e = 0;
        for (std::size_t i = w; i < w + window; ++i) e += static_cast<double>(s[i]) * s[i];
        if (std::sqrt(e / static_cast<double>(window)) > 1000) {
            sounding += 10;
            loudSum += e;
            loudSamples += window;
        }
    }
    const double loudRms = loudSamples ? std::sqrt(loudSum / static_cast<double>(loudSamples)) : 0;
    std::printf("recorded_ms=%zu sound_ms=%ld rms=%.0f sounding_ms=%ld sounding_rms=%.0f gap_ms=%.1f\n",
                n * 1000 / static_cast<std::size_t>(rate), ms, rms, sounding, loudRms,
                static_cast<double>(longestQuiet) * 1000.0 / rate);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if ((args.size() == 4 || args.size() == 6) && args[0] == "--tone")
        return writeTone(args[1], std::atof(args[2].c_str()), std::atof(args[3].c_str()),
                         args.size() == 6 ? static_cast<std::uint32_t>(std::atoi(args[4].c_str())) : 11025,
                         args.size() == 6 ? std::atoi(args[5].c_str()) : 8);
    if (args.size() == 3 && args[0] == "--measure") return measure(args[1], std::atoi(args[2].c_str()));
    if (args.empty()) {
        std::fprintf(stderr, "usage: wavplay FILE... | --tone FILE SECONDS HZ [RATE BITS] | --measure RAW RATE\n");
        return 2;
    }
    int status = 0;
    for (const auto& f : args) {
        int r = qrwav::playWaveFile(f);
        if (r != 0) {
            std::fprintf(stderr, "wavplay: %s: %d\n", f.c_str(), r);
            status = 1;
        }
    }
    return status;
}
