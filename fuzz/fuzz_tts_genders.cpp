// The table of feminine nouns, then the same bytes as a text to normalise,
// so counts meet nouns the table holds.
#include "fuzz_tts_common.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    uttspreproc::loadGenders(fuzztts::asFile("quoril-fuzz-tts.gen", data, size));
    const std::string text(reinterpret_cast<const char*>(data), size < 4096 ? size : 4096);
    uttspreproc::normaliseText(text);
    uttspreproc::isFeminineNoun(text.substr(0, 64));
    return 0;
}
