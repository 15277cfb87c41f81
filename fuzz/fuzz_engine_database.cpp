// The engine's database reader; what it accepts is spoken from.
#include <string>

#include "fuzz_engine_common.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    mbr::Database db;
    std::string error;
    if (!mbr::parseDatabase(data, size, db, error)) return 0;
    std::vector<int> phonemes;
    std::vector<mbr::SynthPhone> phones;
    const std::size_t n = db.phonemes.size();
    for (std::size_t i = 0; i < 3 * n && i < 60; ++i) {
        phonemes.push_back(static_cast<int>((i * 7) % n));
        phones.push_back({30.0 + 10.0 * (i % 5), {{50.0, 80.0 + 20.0 * (i % 9)}}, -1, -1});
    }
    fuzzengine::speakSome(db, phonemes, phones);
    return 0;
}
