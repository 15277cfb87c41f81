// A tiny diphone database for the engine's fuzz targets: phonemes "_", "a"
// and "s", every pair, each a few periods of a made-up wave with marks.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "database.hpp"
#include "synth.hpp"

namespace fuzzengine {

inline const mbr::Database& tinyDatabase() {
    static const mbr::Database db = [] {
        mbr::Database d;
        d.rate = 16000;
        d.period = 40;
        d.defaultF0 = 400;
        d.info = {"tiny"};
        d.phonemes = {"_", "a", "s"};
        d.table.assign(9, -1);
        for (std::uint32_t l = 0; l < 3; ++l)
            for (std::uint32_t r = 0; r < 3; ++r) {
                mbr::Diphone di{l, r, static_cast<std::uint32_t>(d.samples.size()), 200, 40, 100, 160,
                                static_cast<std::uint32_t>(d.marks.size()), 5};
                for (int i = 0; i < 200; ++i)
                    d.samples.push_back(static_cast<std::int16_t>(8000 * std::sin(i * 0.157 * (l + r + 1))));
                for (std::uint32_t k = 0; k < 5; ++k) d.marks.push_back((20 + 40 * k) | (r == 1 ? mbr::kVoicedBit : 0));
                d.table[l * 3 + r] = static_cast<std::int32_t>(d.diphones.size());
                d.diphones.push_back(di);
            }
        return d;
    }();
    return db;
}

// Synthesises a few phones on db, pairing phonemes as they come, with the
// total kept short so that a run stays fast.
inline void speakSome(const mbr::Database& db, const std::vector<int>& phonemes, const std::vector<mbr::SynthPhone>& given) {
    std::vector<mbr::SynthPhone> phones = given;
    double total = 0;
    for (std::size_t i = 0; i < phones.size(); ++i) {
        phones[i].durationMs = std::fmin(phones[i].durationMs, 200.0);
        total += phones[i].durationMs;
        if (total > 2000) {
            phones.resize(i);
            break;
        }
        const int a = phonemes[i], b = i + 1 < phonemes.size() ? phonemes[i + 1] : 0;
        const int prev = i > 0 ? phonemes[i - 1] : 0;
        phones[i].enter = db.diphone(static_cast<std::size_t>(prev), static_cast<std::size_t>(a));
        phones[i].leave = db.diphone(static_cast<std::size_t>(a), static_cast<std::size_t>(b));
    }
    std::vector<float> out;
    mbr::SynthScratch scratch;
    mbr::synthesise(db, phones, out, scratch);
}

}  // namespace fuzzengine
