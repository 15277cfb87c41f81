// The abbreviation file, then the same bytes as a text to normalise.
#include "fuzz_tts_common.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    uttspreproc::loadAbbreviations(fuzztts::asFile("quoril-fuzz-tts.abr", data, size));
    const std::string text(reinterpret_cast<const char*>(data), size < 1024 ? size : 1024);
    uttspreproc::normaliseText(text);
    fuzztts::speak(text);
    return 0;
}
