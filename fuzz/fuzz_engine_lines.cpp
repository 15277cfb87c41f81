// The engine's phoneme-line reader, fed in pieces, and the synthesis of
// what it accepts on a tiny database.
#include <string_view>

#include "fuzz_engine_common.hpp"
#include "lines.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const mbr::Database& db = fuzzengine::tinyDatabase();
    std::vector<int> phonemes;
    std::vector<mbr::SynthPhone> phones;
    auto take = [&](const mbr::PhoneLine& line) {
        if (line.kind != mbr::PhoneLine::Phone) return;
        const int p = db.phoneme(line.name);
        phonemes.push_back(p < 0 ? 0 : p);
        phones.push_back({line.durationMs, line.targets, -1, -1});
    };
    mbr::LineReader reader;
    // Pieces of a size taken from the first byte, so lines split anywhere.
    const std::size_t piece = size ? 1 + data[0] % 17 : 1;
    for (std::size_t at = 0; at < size; at += piece) reader.feed(text.substr(at, piece), take);
    reader.finish(take);
    fuzzengine::speakSome(db, phonemes, phones);
    return 0;
}
