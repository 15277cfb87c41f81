// Private profile strings: the settings files ("QUORIL.INI") read the way
// the Windows kernel reads them.
//
// A file is a sequence of lines. "[name]" opens a section; "key = value"
// inside a section gives a value. Section and key names are compared without
// case (ASCII letters) and trimmed of blanks and tabs; the value is trimmed
// too and loses one pair of matching surrounding quotes (double or single).
// The first of repeated sections or keys wins: a second "[VIDEO]" further
// down is never consulted. Lines without '=' are ignored, and a ';' after the
// '=' belongs to the value (only a line starting with ';' is a comment, and
// it has no effect because nothing asks for a key named ";..."). The answer
// is cut to size - 1 characters. Files are Windows-1252; CR LF and LF line
// ends are both accepted. A file that starts with a UTF-8 byte-order mark
// was saved as UTF-8 by some editor: the mark is dropped and the text
// converted to Windows-1252, so that accented values read as intended.
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include "platform/system/files.hpp"
#include "platform/system/system.hpp"

namespace platform {
namespace {

constexpr std::size_t kMaxProfileBytes = 16u << 20;  // a settings file is small

std::string_view trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

std::string cut(std::string_view s, std::size_t size) {
    if (size == 0) return {};
    return std::string(s.substr(0, size - 1));
}

bool isRegularFile(const std::string& native) {
    struct stat st {};
    return ::stat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A name without a directory is looked for in the Windows directory. Linux
// file names have case; Windows names do not, so when the exact name is
// missing a file of that name in another case is taken.
std::string profilePath(const std::string& fileName) {
    if (fileName.find_first_of("/\\:") != std::string::npos) return toNativeName(fileName);
    const std::string dir = toNativeName(windowsDirectory());
    const std::string nativeName = cp1252ToUtf8(fileName);
    std::string exact = dir + "/" + nativeName;
    if (isRegularFile(exact)) return exact;
    if (DIR* d = ::opendir(dir.c_str())) {
        std::string found;
        while (dirent* e = ::readdir(d)) {
            if (equalNoCase(e->d_name, nativeName) && isRegularFile(dir + "/" + e->d_name)) {
                found = dir + "/" + e->d_name;
                break;
            }
        }
        ::closedir(d);
        if (!found.empty()) return found;
    }
    return exact;
}

// The settings file: a regular file only, opened without blocking (a named
// pipe or a device in its place is no settings at all), at most its first
// 16 MB.
bool readFile(const std::string& native, std::string& content) {
    int fd = -1;
    if (openDataFile(native, fd) != 0) return false;
    content.clear();
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        content.append(buf, static_cast<std::size_t>(n));
        if (content.size() >= kMaxProfileBytes) {
            content.resize(kMaxProfileBytes);
            break;
        }
    }
    ::close(fd);
    return true;
}

}  // namespace

bool profileValueFromText(const std::string& content, const std::string& section,
                          const std::string& key, std::string& value) {
    std::string_view text(content);
    std::string converted;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        converted = utf8ToCp1252(std::string(text.substr(3)));
        text = converted;
    }
    const std::string_view wantSection = trim(section), wantKey = trim(key);
    bool seenSection = false;  // the wanted section was opened before
    bool inSection = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (!line.empty() && line[0] == '[') {
            if (inSection) return false;  // the first section of that name ended
            std::size_t close = line.find(']');
            std::string_view name = line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
            inSection = !seenSection && equalNoCase(trim(name), wantSection);
            seenSection = seenSection || inSection;
            continue;
        }
        if (!inSection) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        if (!equalNoCase(trim(line.substr(0, eq)), wantKey)) continue;
        std::string_view v = trim(line.substr(eq + 1));
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.substr(1, v.size() - 2);
        value.assign(v);
        return true;
    }
    return false;
}

std::string profileStringFromText(const std::string& content, const std::string& section,
                                  const std::string& key, const std::string& defaultValue,
                                  std::size_t size) {
    std::string value;
    if (profileValueFromText(content, section, key, value)) return cut(value, size);
    // The default loses its trailing blanks, as the kernel's does.
    std::string_view d(defaultValue);
    while (!d.empty() && (d.back() == ' ' || d.back() == '\t')) d.remove_suffix(1);
    return cut(d, size);
}

std::string getProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, const std::string& fileName,
                             std::size_t size) {
    std::string content;
    if (!readFile(profilePath(fileName), content)) content.clear();
    return profileStringFromText(content, section, key, defaultValue, size);
}

int parseProfileInt(const std::string& text, int defaultValue) {
    std::string_view s = trim(text);
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s[0] < '0' || s[0] > '9') return defaultValue;
    long long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') break;
        v = v * 10 + (c - '0');
        if (v > 2147483647LL) v = 2147483648LL;  // saturate; sign applied below
    }
    if (negative) v = -v;
    if (v > 2147483647LL) v = 2147483647LL;
    return static_cast<int>(v);
}

int getProfileInt(const std::string& section, const std::string& key, int defaultValue,
                  const std::string& fileName) {
    std::string content, value;
    if (!readFile(profilePath(fileName), content)) return defaultValue;
    if (!profileValueFromText(content, section, key, value)) return defaultValue;
    return parseProfileInt(value, defaultValue);
}

// Answered in Windows-1252 like every other name inside the program.
std::string windowsDirectory() {
    const char* env = std::getenv("QUORIL_WINDIR");
    std::string dir = env && *env ? utf8ToCp1252(env) : "/etc/quoril";
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

}  // namespace platform
