// Diphone index files: any bytes must parse into entries and serve the
// binary search without a fault, sorted or not.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "synth/qrtradut.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto entries = qrtradut::parseIndex(data, size);
    if (entries.size() != size / qrtradut::indexEntrySize) std::abort();
    for (const auto& e : entries) {
        if (e.name.size() > 8) std::abort();
        const int at = qrtradut::findIndexEntry(entries, e.name);
        if (at >= 0 && entries[static_cast<std::size_t>(at)].name != e.name) std::abort();
        if (qrtradut::encodeIndexEntry(e).size() != qrtradut::indexEntrySize) std::abort();
    }
    for (const char* name : {"$KA", "$A", "", "_65", "$KACIRC"}) (void)qrtradut::findIndexEntry(entries, name);
    return 0;
}
