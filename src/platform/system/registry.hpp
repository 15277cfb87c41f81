// The registry, local-machine hive, read only: a text file in the format of
// a registry editor export ("REGEDIT4" or "Windows Registry Editor Version
// 5.00") at $QUORIL_WINDIR/registry.reg (default /etc/quoril/registry.reg).
// Keys are compared without case; "@" names a key's default value. Strings,
// dword:, hex: and hex(n): values are understood; anything else on a line is
// skipped. The calls answer Windows result codes (0 = success).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace platform {

using HKey = std::uintptr_t;
constexpr HKey HKEY_LOCAL_MACHINE = 0x80000002u;

constexpr std::uint32_t REG_NONE = 0;
constexpr std::uint32_t REG_SZ = 1;
constexpr std::uint32_t REG_EXPAND_SZ = 2;
constexpr std::uint32_t REG_BINARY = 3;
constexpr std::uint32_t REG_DWORD = 4;
constexpr std::uint32_t REG_MULTI_SZ = 7;

constexpr long ERROR_SUCCESS = 0;
constexpr long ERROR_FILE_NOT_FOUND = 2;
constexpr long ERROR_INVALID_HANDLE = 6;
constexpr long ERROR_MORE_DATA = 234;

struct RegistryValue {
    std::uint32_t type = REG_NONE;
    std::vector<std::uint8_t> data;  // REG_SZ: the text and its terminating zero
};

// Key path (root included, upper-cased, single backslashes) -> value name
// (upper-cased, "" for the default value) -> value.
using RegistryKeys = std::map<std::string, std::map<std::string, RegistryValue>>;

// Parses the text of an export file (Windows-1252; a UTF-8 or UTF-16 byte
// order mark is understood). Never fails: what cannot be read is skipped.
RegistryKeys parseRegistry(const std::string& text);

// Opens a key under the root; subKey may be empty (the root itself).
long regOpenKeyEx(HKey root, const std::string& subKey, HKey& result);
// Windows semantics: data may be null to ask for type and size; when the
// buffer is too small the size is set and ERROR_MORE_DATA answered.
long regQueryValueEx(HKey key, const std::string& valueName, std::uint32_t* type, std::uint8_t* data,
                     std::uint32_t* size);
long regCloseKey(HKey key);

// Tests: read the file again at the next open (after QUORIL_WINDIR changed),
// or use this text instead of any file.
void reloadRegistry();
void setRegistryText(const std::string& text);

}  // namespace platform
