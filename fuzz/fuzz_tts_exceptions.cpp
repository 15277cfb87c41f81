// The exception dictionary, then its own words and some others through it.
#include "fuzz_tts_common.hpp"
#include "tts/ttschars.hpp"
#include "tts/uttsexcessoes.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    uttsexcessoes::loadExceptionsText(text);
    for (std::string word : {"", "S", "MMMS", "TAXI", "TAXIS", "CASA"}) uttsexcessoes::applyExceptions(word);
    std::size_t start = 0;
    for (int n = 0; n < 64 && start < text.size(); ++n) {
        std::size_t end = text.find('\n', start);
        std::string word = ttschars::upper(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        uttsexcessoes::applyExceptions(word);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    fuzztts::speak(text);
    return 0;
}
