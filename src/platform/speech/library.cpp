// Dynamic libraries on dlopen/dlsym. Each library is opened with its own
// symbols kept local, so two engines never see each other's names.
#include "platform/speech/library.hpp"

#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/system/system.hpp"

#ifndef QUORIL_INSTALL_LIBDIR
#define QUORIL_INSTALL_LIBDIR "/usr/local/lib"
#endif
// The version in the name of our installed libraries (libmbrola.so.1).
#ifndef QUORIL_LIBRARY_SOVERSION
#define QUORIL_LIBRARY_SOVERSION "1"
#endif

namespace platform {
namespace {

namespace fs = std::filesystem;

struct LibraryState {
    std::string overrideDir;
};

LibraryState& state() {
    static LibraryState s;
    return s;
}

// "mbrola.dll" -> "libmbrola.so"; a name that already names a shared
// object is kept; any other name gets the prefix and suffix.
std::string soName(const std::string& name) {
    std::string base = fs::path(name).filename().string();
    if (base.ends_with(".so") || base.find(".so.") != std::string::npos) return base;
    if (base.size() > 4) {
        std::string tail = base.substr(base.size() - 4);
        for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (tail == ".dll") base.resize(base.size() - 4);
    }
    return base.starts_with("lib") ? base + ".so" : "lib" + base + ".so";
}

// The one folder tests and benchmarks name, or empty.
std::string onlyDir() {
    if (!state().overrideDir.empty()) return state().overrideDir;
    const char* env = std::getenv("QUORIL_LIBDIR");
    return env && *env ? std::string(env) : std::string();
}

std::vector<fs::path> searchDirs() {
    if (const std::string only = onlyDir(); !only.empty()) return {fs::path(only)};
    const fs::path exeDir = fs::path(cp1252ToUtf8(executablePath())).parent_path();
    return {exeDir, exeDir.parent_path() / "lib", fs::path(QUORIL_INSTALL_LIBDIR)};
}

// An installed library carries its version in its name (libmbrola.so.1)
// and has no plain libmbrola.so beside it: the highest version in the
// folder is taken.
fs::path versionedFile(const fs::path& dir, const std::string& file) {
    std::error_code ec;
    fs::path best;
    unsigned long bestVersion = 0;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (!entry.starts_with(file + ".")) continue;
        const std::string digits = entry.substr(file.size() + 1);
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) continue;
        const unsigned long version = std::strtoul(digits.c_str(), nullptr, 10);
        std::error_code typeEc;
        if (!fs::is_regular_file(it->path(), typeEc)) continue;
        if (best.empty() || version > bestVersion) {
            best = it->path();
            bestVersion = version;
        }
    }
    return best;
}

}  // namespace

std::string libraryFile(const std::string& name) {
    if (name.empty()) return {};
    const std::string file = soName(name);
    std::error_code ec;
    for (const fs::path& dir : searchDirs()) {
        if (dir.empty()) continue;
        const fs::path candidate = dir / file;
        if (fs::is_regular_file(candidate, ec)) return candidate.string();
        if (file.ends_with(".so")) {
            const fs::path versioned = versionedFile(dir, file);
            if (!versioned.empty()) return versioned.string();
        }
    }
    // Installed in the system's library folders (a package's /usr/lib):
    // the loader's own search by the versioned name.
    if (onlyDir().empty()) return loaderFile(file.ends_with(".so") ? file + "." QUORIL_LIBRARY_SOVERSION : file);
    return {};
}

std::string loaderFile(const std::string& soname) {
    if (soname.empty() || soname.find('/') != std::string::npos) return {};
    void* handle = ::dlopen(soname.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (handle == nullptr) return {};
    std::string path;
    struct link_map* map = nullptr;
    if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr)
        path = map->l_name;
    ::dlclose(handle);
    return path;
}

HModule loadLibrary(const std::string& name) {
    const std::string file = libraryFile(name);
    if (file.empty()) return 0;
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    return reinterpret_cast<HModule>(handle);
}

void* getProcAddress(HModule module, const char* entry) {
    if (module == 0 || entry == nullptr) return nullptr;
    return ::dlsym(reinterpret_cast<void*>(module), entry);
}

void freeLibrary(HModule module) {
    if (module != 0) ::dlclose(reinterpret_cast<void*>(module));
}

void setLibraryDirectory(const std::string& dir) { state().overrideDir = dir; }

}  // namespace platform
