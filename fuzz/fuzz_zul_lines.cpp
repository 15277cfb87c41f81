// The converter's line reader over arbitrary bytes: lines never hold a line
// end or a Ctrl-Z, and they do not depend on how the input is cut into reads.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "converter/zul.hpp"

namespace {

std::vector<std::string> lines(const std::string& input, std::size_t chunk) {
    zul::MemorySource source(input, chunk);
    zul::LineReader reader(source, chunk);
    std::vector<std::string> out;
    std::string line;
    while (reader.next(line)) {
        zul::encodeLine(line);  // exercise the transform too
        out.push_back(line);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::size_t chunk = 1 + data[0] % 7;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto small = lines(input, chunk);
    const auto large = lines(input, 65536);
    if (small != large) std::abort();
    std::size_t total = 0;
    for (const auto& l : small) total += l.size() + 1;
    if (total > input.size() + 1) std::abort();
    return 0;
}
