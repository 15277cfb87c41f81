// Dynamic libraries, as the speech engines are loaded on Windows: a library
// is asked for by its Windows name ("mbrola.dll") and its entry points are
// bound by name. "NAME.dll" stands for our own libNAME.so, looked for
// beside the running program (the build tree), then in the library folder
// of an installed system (../lib beside the program, then the library
// folder fixed when the build was configured); where a folder has no plain
// libNAME.so, its highest libNAME.so.N is taken. Last the dynamic loader
// is asked for the versioned name (libmbrola.so.1) through its own search
// and cache: where a package puts it (/usr/lib), whatever folder the
// program runs from. The environment variable QUORIL_LIBDIR, or
// setLibraryDirectory, names the one folder to look in instead (tests,
// benchmarks).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

using HModule = std::uintptr_t;  // 0 is "no library"

// Loads the library; 0 when it cannot be found or loaded. Loading a library
// already loaded answers the same handle and counts one more use.
HModule loadLibrary(const std::string& name);
// The address of an entry point, or null when the library lacks it.
void* getProcAddress(HModule module, const char* entry);
// Counts one use off; the library goes when the last use is gone.
void freeLibrary(HModule module);

// The file a library name resolves to (the first that exists), or empty.
std::string libraryFile(const std::string& name);
// The file the dynamic loader opens for a library name without a folder
// ("libmbrola.so.1"), or empty when it finds none.
std::string loaderFile(const std::string& soname);
// Tests: look only in this folder (empty: back to the usual search).
void setLibraryDirectory(const std::string& dir);

}  // namespace platform
