// The diphone list, then engine lines that look pairs up in it.
#include "fuzz_tts_common.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!uttsprosodia::loadDiphoneList(fuzztts::asFile("quoril-fuzz-tts.dfn", data, size))) return 0;
    std::vector<std::string> phonemes{";555|x"};
    const std::string text(reinterpret_cast<const char*>(data), size < 1024 ? size : 1024);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of(" \n-", start);
        phonemes.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    phonemes.push_back("r2");
    phonemes.push_back("m");
    uttsprosodia::buildPhoLines(phonemes, 1.0, 1.0);
    uttsprosodia::hasDiphone(text.substr(0, 16));
    return 0;
}
