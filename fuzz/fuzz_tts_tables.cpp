// The normaliser's tables (units, currencies, months and weekdays,
// acronyms) all made of the same bytes, then those bytes as a text to
// normalise, so the kinds meet the entries the tables hold.
#include "fuzz_tts_common.hpp"
#include "tts/normalise.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string base;
    for (const char* ext : {".uni", ".moe", ".cal", ".sig"}) {
        const std::string file = fuzztts::asFile((std::string("quoril-fuzz-tts") + ext).c_str(), data, size);
        base = file.substr(0, file.size() - 4);
    }
    uttsnorm::loadTables(base);
    const std::string text(reinterpret_cast<const char*>(data), size < 4096 ? size : 4096);
    uttspreproc::normaliseText(text);
    return 0;
}
