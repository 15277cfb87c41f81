// The prosody file, then tokens, patterns and timing over its own text.
#include "fuzz_tts_common.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    uttsprosodia::setMessageHandler([](const std::string&) {});
    uttsprosodia::loadProsody(fuzztts::asFile("quoril-fuzz-tts.pro", data, size));
    const std::string text(reinterpret_cast<const char*>(data), size < 1024 ? size : 1024);
    fuzztts::speak(text);
    fuzztts::speak("Ele saiu? Ela ficou! Os dias, as horas... e 1.234,5 km.");
    uttsprosodia::buildPhoLines({";9?x|ab", ">", "a", "\xA8", ">\xA8" "e", "_ 99999999999", "_x", "", ";12"}, 1e300, -1e300);
    return 0;
}
