// Windows-style file names on the Linux file system.
//
// Names inside the program are Windows-1252 and may be written the Windows
// way ("C:\QUORIL\SOM\letras\_65.wav", "\dados\texto.txt") or the Linux way
// ("/home/ana/texto.txt", "texto.txt"). mapPath turns backslashes into
// slashes and lets a drive letter or a leading backslash stand for the root
// of the installation ($QUORIL_ROOT, default "/"); a name that already starts
// with '/' is a Linux name and keeps its place. toNativeName then converts
// the name to UTF-8 for the file system, and since Windows names have no
// case, a name that does not exist as written is looked up one directory at
// a time without case ("LETRAS" finds "letras").
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/system/system.hpp"

namespace platform {
namespace {

std::uint8_t foldCp1252(std::uint8_t c) {
    if (c >= 'a' && c <= 'z') return static_cast<std::uint8_t>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<std::uint8_t>(c - 32);
    switch (c) {
    case 0x9A: return 0x8A;  // š
    case 0x9C: return 0x8C;  // œ
    case 0x9E: return 0x8E;  // ž
    case 0xFF: return 0x9F;  // ÿ
    default: return c;
    }
}

// Whether a name on disk has a Windows-1252 spelling at all: bytes that are
// not UTF-8, or characters the code page lacks, would all read as '?', and
// such a name is never taken for one typed.
bool spellable(const std::string& native, std::string& cp1252) {
    cp1252 = utf8ToCp1252(native);
    return cp1252ToUtf8(cp1252) == native;
}

bool sameNameNoCase(const std::string& nativeA, const std::string& nativeB) {
    std::string a, b;
    if (!spellable(nativeA, a) || !spellable(nativeB, b)) return false;
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldCp1252(static_cast<std::uint8_t>(a[i])) != foldCp1252(static_cast<std::uint8_t>(b[i])))
            return false;
    return true;
}

bool exists(const std::string& native) {
    struct stat st {};
    return ::lstat(native.c_str(), &st) == 0;
}

// Walks the components of a native path that does not exist as written and
// takes, for each one missing, an entry of the same name in another case.
std::string resolveCase(const std::string& native) {
    std::string done = native.starts_with('/') ? "/" : "";
    std::size_t pos = 0;
    bool lost = false;  // a component had no match: keep the rest as written
    while (pos <= native.size()) {
        std::size_t slash = native.find('/', pos);
        if (slash == std::string::npos) slash = native.size();
        const std::string part = native.substr(pos, slash - pos);
        pos = slash + 1;
        if (part.empty()) continue;
        std::string candidate = done.empty() || done.back() == '/' ? done + part : done + "/" + part;
        if (!lost && part != "." && part != ".." && !exists(candidate)) {
            const std::string dir = done.empty() ? "." : done;
            std::string match;
            if (DIR* d = ::opendir(dir.c_str())) {
                while (dirent* e = ::readdir(d)) {
                    if (sameNameNoCase(e->d_name, part)) {
                        match = e->d_name;
                        break;
                    }
                }
                ::closedir(d);
            }
            if (match.empty())
                lost = true;
            else
                candidate = done.empty() || done.back() == '/' ? done + match : done + "/" + match;
        }
        done = candidate;
    }
    if (native.size() > 1 && native.back() == '/' && !done.empty() && done.back() != '/') done += '/';
    return done;
}

}  // namespace

std::string mapPath(const std::string& windowsName) {
    std::string s = windowsName;
    for (auto& c : s)
        if (c == '\\') c = '/';
    bool rooted = false;
    if (s.size() >= 2 && s[1] == ':' &&
        ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z'))) {
        s.erase(0, 2);
        rooted = true;
    } else if (!windowsName.empty() && windowsName[0] == '\\') {
        rooted = true;
    }
    if (rooted) {
        const char* env = std::getenv("QUORIL_ROOT");
        std::string root = env && *env ? utf8ToCp1252(env) : "/";
        while (root.size() > 1 && root.back() == '/') root.pop_back();
        std::size_t skip = 0;
        while (skip < s.size() && s[skip] == '/') ++skip;
        const std::string rest = s.substr(skip);
        s = rest.empty() ? root : (root == "/" ? "/" : root + "/") + rest;
    }
    // Doubled separators ("C:\\dir\\\\file") mean one.
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (!(c == '/' && !out.empty() && out.back() == '/')) out += c;
    return out;
}

std::string toNativeName(const std::string& windowsName) {
    const std::string native = cp1252ToUtf8(mapPath(windowsName));
    if (native.empty() || exists(native)) return native;
    return resolveCase(native);
}

bool fileExists(const std::string& windowsName) {
    struct stat st {};
    return ::stat(toNativeName(windowsName).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool directoryExists(const std::string& windowsName) {
    struct stat st {};
    return ::stat(toNativeName(windowsName).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool pathExists(const std::string& windowsName) {
    struct stat st {};
    return ::stat(toNativeName(windowsName).c_str(), &st) == 0;
}

std::string currentDirectory() {
    std::vector<char> buf(PATH_MAX);
    while (!::getcwd(buf.data(), buf.size())) {
        if (errno != ERANGE || buf.size() > (1u << 20)) return ".";
        buf.resize(buf.size() * 2);
    }
    std::string dir = utf8ToCp1252(buf.data());
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

bool setCurrentDirectory(const std::string& windowsName) {
    return ::chdir(toNativeName(windowsName).c_str()) == 0;
}

std::string executablePath() {
    std::vector<char> buf(PATH_MAX + 1);
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return {};
    return utf8ToCp1252(std::string(buf.data(), static_cast<std::size_t>(n)));
}

}  // namespace platform
