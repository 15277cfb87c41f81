// Settings files: any bytes must read without a fault, and every answer must
// respect the buffer size.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/system/system.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    static const char* const sections[] = {"VIDEO", "video", " SINTETIZADOR ", "", "[", "A"};
    static const char* const keys[] = {"TABCORES", "FONTE", "k", "", "=", ";x"};
    for (const char* section : sections)
        for (const char* key : keys)
            for (std::size_t buf : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{80}}) {
                const std::string v = platform::profileStringFromText(text, section, key, "dflt ", buf);
                if (v.size() + 1 > buf && !(buf == 0 && v.empty())) std::abort();
                std::string raw;
                if (platform::profileValueFromText(text, section, key, raw))
                    (void)platform::parseProfileInt(raw, -1);
            }
    return 0;
}
