// The kind of a file from its bytes, over arbitrary bytes: the input is
// taken as a whole file (head and tail cut from it, its size known) and as
// the head of a pipe; the kind is one of the list, never read past the
// sample. The shaping of extracted text runs over the same bytes in both
// layouts: no line it gives holds a line end or a form feed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "document/kind.hpp"
#include "document/lines.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string_view head = bytes.substr(0, document::headSize);
    const std::string_view tail = bytes.size() > document::tailSize ? bytes.substr(bytes.size() - document::tailSize) : bytes;
    for (const document::Sample& s : {document::Sample{head, tail, size}, document::Sample{head, {}, 0},
                                      document::Sample{bytes.substr(0, size / 2), bytes.substr(size / 2), size}}) {
        const document::Kind k = document::kindOf(s);
        if (static_cast<int>(k) < 0 || static_cast<int>(k) > static_cast<int>(document::Kind::unsupported)) std::abort();
        if (std::string(document::kindName(k)) == "?") std::abort();
    }
    for (const document::Layout layout : {document::Layout::paragraphs, document::Layout::printedLines}) {
        document::Shaper shaper(layout);
        std::string out;
        shaper.feed(bytes.substr(0, size / 3), out);
        shaper.feed(bytes.substr(size / 3), out);
        shaper.finish(out);
        if (!out.empty() && out.back() != '\n') std::abort();
        for (std::size_t start = 0; start < out.size();) {
            const std::size_t end = out.find('\n', start);
            const std::string_view line = std::string_view(out).substr(start, end - start);
            if (line.empty() || line.find('\f') != std::string_view::npos || line.find('\r') != std::string_view::npos) std::abort();
            start = end + 1;
        }
    }
    return 0;
}
