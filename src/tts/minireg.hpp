// minireg: one value of the read-only registry, named by a single path whose
// last component is the value name ("KEY\SUBKEY\" names the key's default
// value).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/system/registry.hpp"

namespace minireg {

// 1-based position of the last occurrence of c in text, 0 when absent.
std::size_t lastCharPos(char c, const std::string& text);
// The data of a value of the expected type; false when the path has no
// backslash, the key or value is missing, or the type differs.
bool regQueryData(platform::HKey root, const std::string& path, std::uint32_t expectedType,
                  std::vector<std::uint8_t>& data, std::uint32_t& size);
// A string value without its terminating zero; on failure text is unchanged.
bool regReadString(platform::HKey root, const std::string& path, std::string& text);

}  // namespace minireg
