// The decoder of text files over arbitrary bytes, line by line as the
// converter reads them: a line never grows, a Windows-1252 file keeps its
// bytes, and a decoded UTF-8 file decodes to itself again once written
// back in UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "converter/zul.hpp"
#include "platform/system/system.hpp"

namespace {

struct Decoded {
    std::vector<std::string> lines;
    bool utf8 = false;
};

Decoded decode(const std::vector<std::string>& raw) {
    platform::TextDecoder decoder;
    Decoded out;
    for (std::string line : raw) {
        const std::size_t before = line.size();
        decoder.decodeLine(line);
        if (line.size() > before) std::abort();
        out.lines.push_back(line);
    }
    out.utf8 = decoder.utf8();
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    zul::MemorySource source(input);
    zul::LineReader reader(source);
    std::vector<std::string> raw;
    std::string line;
    while (reader.next(line)) raw.push_back(line);

    const Decoded first = decode(raw);
    if (!first.utf8) {
        // Windows-1252 (or plain ASCII): the bytes as read.
        if (first.lines != raw) std::abort();
        return 0;
    }
    std::vector<std::string> again;
    for (const auto& l : first.lines) again.push_back(platform::cp1252ToUtf8(l));
    const Decoded second = decode(again);
    if (second.lines != first.lines) std::abort();
    if (zul::encodeText(input).size() != [&] {
            std::size_t n = 0;
            for (const auto& l : first.lines) n += l.size() + 2;
            return n;
        }())
        std::abort();
    return 0;
}
