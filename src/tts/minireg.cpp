#include "tts/minireg.hpp"

namespace minireg {

std::size_t lastCharPos(char c, const std::string& text) {
    const std::size_t at = text.rfind(c);
    return at == std::string::npos ? 0 : at + 1;
}

bool regQueryData(platform::HKey root, const std::string& path, std::uint32_t expectedType,
                  std::vector<std::uint8_t>& data, std::uint32_t& size) {
    const std::size_t slash = lastCharPos('\\', path);
    if (slash == 0) return false;
    platform::HKey key = 0;
    if (platform::regOpenKeyEx(root, path.substr(0, slash - 1), key) != platform::ERROR_SUCCESS) return false;
    const std::string valueName = path.substr(slash);
    std::uint32_t type = 0, needed = 0;
    if (platform::regQueryValueEx(key, valueName, &type, nullptr, &needed) != platform::ERROR_SUCCESS) {
        platform::regCloseKey(key);
        return false;
    }
    std::vector<std::uint8_t> buffer(needed);
    std::uint32_t got = needed;
    const long r = platform::regQueryValueEx(key, valueName, &type, buffer.data(), &got);
    platform::regCloseKey(key);
    if (r != platform::ERROR_SUCCESS || type != expectedType) return false;
    buffer.resize(got);
    data = std::move(buffer);
    size = got;
    return true;
}

bool regReadString(platform::HKey root, const std::string& path, std::string& text) {
    std::vector<std::uint8_t> data;
    std::uint32_t size = 0;
    if (!regQueryData(root, path, platform::REG_SZ, data, size)) return false;
    text = size <= 1 ? std::string() : std::string(data.begin(), data.begin() + (size - 1));
    return true;
}

}  // namespace minireg
