#include "platform/system/registry.hpp"

#include <cstdlib>
#include <optional>

#include "platform/system/files.hpp"
#include "platform/system/system.hpp"

namespace platform {
namespace {

constexpr std::uint64_t kMaxRegistryBytes = 16u << 20;  // an export of a few keys is small

struct State {
    std::optional<RegistryKeys> keys;
    std::optional<std::string> text;  // set by tests
    std::map<HKey, std::string> open;
    HKey nextHandle = 0x1000;
};
State& state() {
    static State s;
    return s;
}

char upper(char c) {
    const unsigned char b = static_cast<unsigned char>(c);
    if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7)) return static_cast<char>(b - 0x20);
    return c;
}
std::string upper(std::string s) {
    for (char& c : s) c = upper(c);
    return s;
}

// Backslashes single, none at either end, upper case.
std::string normaliseKey(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
        out += upper(c);
    }
    while (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

std::string rootName(HKey root) {
    switch (root) {
    case 0x80000000u: return "HKEY_CLASSES_ROOT";
    case 0x80000001u: return "HKEY_CURRENT_USER";
    case 0x80000002u: return "HKEY_LOCAL_MACHINE";
    case 0x80000003u: return "HKEY_USERS";
    default: return {};
    }
}

// Byte order marks: UTF-16LE text keeps its Latin-1 characters; UTF-8
// text is decoded to Windows-1252 (Latin-1 range).
std::string toBytes(const std::string& text) {
    if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF && static_cast<unsigned char>(text[1]) == 0xFE) {
        std::string out;
        for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
            const unsigned cp = static_cast<unsigned char>(text[i]) | (static_cast<unsigned char>(text[i + 1]) << 8);
            out += cp < 0x100 ? static_cast<char>(cp) : '?';
        }
        return out;
    }
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) return utf8ToCp1252(text.substr(3));
    // Without a mark: Windows-1252 as the build writes it, or UTF-8 as an
    // editor may save it (a folder "/home/joão" then reaches us as such).
    return externalTextToCp1252(text);
}

// A quoted text at pos (pos on the opening quote); pos moves past the
// closing one. False when it is not closed.
bool quoted(const std::string& line, std::size_t& pos, std::string& out) {
    out.clear();
    for (++pos; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '\\' && pos + 1 < line.size()) {
            out += line[++pos];
        } else if (c == '"') {
            ++pos;
            return true;
        } else {
            out += c;
        }
    }
    return false;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool parseHexBytes(const std::string& text, std::vector<std::uint8_t>& out) {
    out.clear();
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == ',')) ++i;
        if (i == text.size()) break;
        const int hi = hexDigit(text[i]);
        const int lo = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
        if (hi < 0) return false;
        if (lo < 0) {
            out.push_back(static_cast<std::uint8_t>(hi));
            ++i;
        } else {
            out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
            i += 2;
        }
    }
    return true;
}

bool parseData(const std::string& data, RegistryValue& value) {
    std::string s = data;
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    if (!s.empty() && s[0] == '"') {
        std::size_t pos = 0;
        std::string text;
        if (!quoted(s, pos, text)) return false;
        value.type = REG_SZ;
        value.data.assign(text.begin(), text.end());
        value.data.push_back(0);
        return true;
    }
    const std::string u = upper(s);
    if (u.rfind("DWORD:", 0) == 0) {
        const std::string digits = s.substr(6);
        if (digits.empty() || digits.size() > 8) return false;
        std::uint32_t v = 0;
        for (char c : digits) {
            const int d = hexDigit(c);
            if (d < 0) return false;
            v = v * 16 + static_cast<std::uint32_t>(d);
        }
        value.type = REG_DWORD;
        value.data = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                      static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
        return true;
    }
    if (u.rfind("HEX:", 0) == 0) {
        value.type = REG_BINARY;
        return parseHexBytes(s.substr(4), value.data);
    }
    if (u.rfind("HEX(", 0) == 0) {
        const std::size_t close = s.find("):", 4);
        if (close == std::string::npos || close == 4 || close > 12) return false;
        std::uint32_t type = 0;
        for (std::size_t i = 4; i < close; ++i) {
            const int d = hexDigit(s[i]);
            if (d < 0) return false;
            type = type * 16 + static_cast<std::uint32_t>(d);
        }
        value.type = type;
        return parseHexBytes(s.substr(close + 2), value.data);
    }
    return false;
}

const RegistryKeys& keys() {
    State& s = state();
    if (!s.keys) {
        if (s.text) {
            s.keys = parseRegistry(*s.text);
        } else {
            const char* dir = std::getenv("QUORIL_WINDIR");
            std::string path = dir && *dir ? dir : "/etc/quoril";
            while (path.size() > 1 && path.back() == '/') path.pop_back();
            // A regular file only, never waited for, and never read whole
            // when it is larger than any export of these keys could be.
            std::string text;
            if (readDataFile(path + "/registry.reg", text, kMaxRegistryBytes) != 0) text.clear();
            s.keys = parseRegistry(text);
        }
    }
    return *s.keys;
}

}  // namespace

RegistryKeys parseRegistry(const std::string& raw) {
    const std::string text = toBytes(raw);
    RegistryKeys result;
    std::map<std::string, RegistryValue>* current = nullptr;
    std::size_t start = 0;
    while (start < text.size()) {
        // A logical line: a line ending in "\" after hex data goes on.
        std::string line;
        for (;;) {
            std::size_t end = text.find('\n', start);
            std::string piece = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
            start = end == std::string::npos ? text.size() : end + 1;
            while (!piece.empty() && (piece.back() == '\r' || piece.back() == '\0')) piece.pop_back();
            std::size_t b = 0;
            if (!line.empty()) while (b < piece.size() && (piece[b] == ' ' || piece[b] == '\t')) ++b;
            line += piece.substr(b);
            if (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos && start < text.size()) {
                line.pop_back();
                continue;
            }
            break;
        }
        std::size_t b = 0;
        while (b < line.size() && (line[b] == ' ' || line[b] == '\t')) ++b;
        line.erase(0, b);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const std::size_t close = line.rfind(']');
            if (close == std::string::npos || line.size() < 2) {
                current = nullptr;
                continue;
            }
            if (line[1] == '-') {
                // Deleting a key takes its subkeys with it, as regedit does.
                current = nullptr;
                const std::string gone = normaliseKey(line.substr(2, close - 2));
                if (gone.empty()) continue;
                for (auto it = result.lower_bound(gone); it != result.end() && it->first.rfind(gone, 0) == 0;) {
                    if (it->first.size() == gone.size() || it->first[gone.size()] == '\\') it = result.erase(it);
                    else ++it;
                }
                continue;
            }
            current = &result[normaliseKey(line.substr(1, close - 1))];
            continue;
        }
        if (!current) continue;
        std::string name;
        std::size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (line[0] == '"') {
            if (!quoted(line, pos, name)) continue;
        } else {
            continue;
        }
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        if (pos >= line.size() || line[pos] != '=') continue;
        ++pos;
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        const std::string data = line.substr(pos);
        if (data == "-") {
            current->erase(upper(name));
            continue;
        }
        RegistryValue value;
        if (parseData(data, value)) (*current)[upper(name)] = std::move(value);
    }
    return result;
}

long regOpenKeyEx(HKey root, const std::string& subKey, HKey& result) {
    State& s = state();
    std::string path;
    if (const auto it = s.open.find(root); it != s.open.end())
        path = it->second;
    else
        path = rootName(root);
    if (path.empty()) return ERROR_INVALID_HANDLE;
    const std::string sub = normaliseKey(subKey);
    if (!sub.empty()) path += "\\" + sub;
    const RegistryKeys& k = keys();
    if (k.find(path) == k.end()) {
        // A key that only has subkeys exists too.
        const auto it = k.lower_bound(path + "\\");
        if (it == k.end() || it->first.compare(0, path.size() + 1, path + "\\") != 0) return ERROR_FILE_NOT_FOUND;
    }
    result = s.nextHandle++;
    s.open[result] = path;
    return ERROR_SUCCESS;
}

long regQueryValueEx(HKey key, const std::string& valueName, std::uint32_t* type, std::uint8_t* data,
                     std::uint32_t* size) {
    State& s = state();
    const auto it = s.open.find(key);
    if (it == s.open.end()) return ERROR_INVALID_HANDLE;
    const RegistryKeys& k = keys();
    const auto keyIt = k.find(it->second);
    if (keyIt == k.end()) return ERROR_FILE_NOT_FOUND;
    const auto valueIt = keyIt->second.find(upper(valueName));
    if (valueIt == keyIt->second.end()) return ERROR_FILE_NOT_FOUND;
    const RegistryValue& v = valueIt->second;
    if (type) *type = v.type;
    const std::uint32_t needed = static_cast<std::uint32_t>(v.data.size());
    if (data) {
        if (!size || *size < needed) {
            if (size) *size = needed;
            return ERROR_MORE_DATA;
        }
        for (std::uint32_t i = 0; i < needed; ++i) data[i] = v.data[i];
    }
    if (size) *size = needed;
    return ERROR_SUCCESS;
}

long regCloseKey(HKey key) { return state().open.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE; }

void reloadRegistry() {
    state().keys.reset();
    state().text.reset();
}

void setRegistryText(const std::string& text) {
    state().text = text;
    state().keys.reset();
}

}  // namespace platform
