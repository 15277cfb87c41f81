// Runs a fuzz target without libFuzzer: every file under the directories or
// files given, then a fixed number of inputs made by mutating them (bytes
// flipped, cut, repeated; long text files in slices) from a fixed seed, so
// the run is repeatable.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    std::vector<std::vector<std::uint8_t>> seeds;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path p(argv[i]);
        std::error_code ec;
        if (std::filesystem::is_directory(p, ec)) {
            for (auto& e : std::filesystem::recursive_directory_iterator(p, ec))
                if (e.is_regular_file()) {
                    std::ifstream in(e.path(), std::ios::binary);
                    seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
                }
        } else if (std::filesystem::is_regular_file(p, ec)) {
            std::ifstream in(p, std::ios::binary);
            seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    seeds.emplace_back();
    for (auto& s : seeds) LLVMFuzzerTestOneInput(s.data(), s.size());

    // Mutations start from small inputs: a long text file (a voice's whole
    // exception list) is cut into slices of 40 lines, at most 24 of them
    // spread over the file, as the libFuzzer runs seed it.
    std::vector<std::vector<std::uint8_t>> pool;
    for (const auto& s : seeds) {
        const bool text = std::find(s.begin(), s.end(), 0) == s.end();
        if (!text || s.size() <= 4096) {
            pool.push_back(s);
            continue;
        }
        std::vector<std::vector<std::uint8_t>> slices(1);
        int lines = 0;
        for (std::uint8_t b : s) {
            slices.back().push_back(b);
            if (b == '\n' && ++lines % 40 == 0) slices.emplace_back();
        }
        const std::size_t step = (slices.size() + 23) / 24;
        for (std::size_t i = 0; i < slices.size(); i += step) pool.push_back(slices[i]);
    }

    std::mt19937 rng(12345);
    const int rounds = 4000;
    for (int r = 0; r < rounds; ++r) {
        std::vector<std::uint8_t> d = pool[rng() % pool.size()];
        int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits; ++e) {
            switch (rng() % 5) {
            case 0:
                if (!d.empty()) d[rng() % d.size()] = static_cast<std::uint8_t>(rng());
                break;
            case 1:
                if (!d.empty()) d.resize(rng() % d.size());
                break;
            case 2:
                d.insert(d.begin() + (d.empty() ? 0 : rng() % d.size()), static_cast<std::uint8_t>(rng()));
                break;
            case 3:
                if (!d.empty() && d.size() < 1 << 16) {
                    std::size_t at = rng() % d.size(), n = 1 + rng() % 64;
                    std::vector<std::uint8_t> chunk(d.begin() + at, d.begin() + std::min(d.size(), at + n));
                    d.insert(d.begin() + at, chunk.begin(), chunk.end());
                }
                break;
            default:
                if (!d.empty()) d[rng() % d.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
            }
        }
        LLVMFuzzerTestOneInput(d.data(), d.size());
    }
    std::printf("%zu seeds, %d mutated inputs: no fault\n", seeds.size(), rounds);
    return 0;
}
