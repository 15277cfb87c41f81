// The registry export file, then the voice's lookups in it.
#include <cstdint>
#include <string>

#include "platform/system/registry.hpp"
#include "tts/minireg.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    platform::parseRegistry(text);
    platform::setRegistryText(text);
    std::string value;
    minireg::regReadString(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\TCTS\\Mbrola\\databases\\BR4\\", value);
    minireg::regReadString(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\A\\B", value);
    std::vector<std::uint8_t> bytes;
    std::uint32_t n = 0;
    minireg::regQueryData(platform::HKEY_LOCAL_MACHINE, "A\\", platform::REG_DWORD, bytes, n);
    platform::reloadRegistry();
    return 0;
}
