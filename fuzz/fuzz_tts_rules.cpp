// The letter-to-sound rule file, then words through it.
#include "fuzz_tts_common.hpp"
#include "tts/ttschars.hpp"
#include "tts/uttsinic.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    uttsinic::loadRulesText(text);
    std::vector<std::string> out;
    for (const char* word : {"CASA", "PROGRAMA", "A", "OS", "QUEIJO", "\xC1GUA", "XYZ-W"})
        for (std::size_t stress = 0; stress < 6; ++stress) uttsportug::wordToPhonemes(word, stress, out);
    uttsportug::wordToPhonemes(ttschars::upper(text.substr(0, 64)), 3, out);
    uttsportug::linkWords(out);
    fuzztts::speak(text);
    return 0;
}
