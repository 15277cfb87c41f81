#include "tts/mbrola.hpp"

#include <type_traits>

#include "mbrola.h"
#include "platform/speech/library.hpp"

namespace mbrola {

const char* const entryNames[entryCount] = {
    "init_MBR",         "init_rename_MBR",    "write_MBR",          "flush_MBR",      "read_MBR",
    "readtype_MBR",     "close_MBR",          "reset_MBR",          "lastError_MBR",  "lastErrorStr_MBR",
    "setNoError_MBR",   "getNoError_MBR",     "setFreq_MBR",        "getFreq_MBR",    "setVolumeRatio_MBR",
    "getVolumeRatio_MBR", "getVersion_MBR",   "getDatabaseInfo_MBR", "setParser_MBR", "init_Phone",
    "reset_Phone",      "close_Phone",        "appendf0_Phone"};

namespace {

// Every address has the type the engine's header declares.
#define QUORIL_SAME_TYPE(name) \
    static_assert(std::is_same_v<decltype(Entries::name), decltype(&::name)>, #name)
QUORIL_SAME_TYPE(init_MBR);
QUORIL_SAME_TYPE(init_rename_MBR);
QUORIL_SAME_TYPE(write_MBR);
QUORIL_SAME_TYPE(flush_MBR);
QUORIL_SAME_TYPE(read_MBR);
QUORIL_SAME_TYPE(readtype_MBR);
QUORIL_SAME_TYPE(close_MBR);
QUORIL_SAME_TYPE(reset_MBR);
QUORIL_SAME_TYPE(lastError_MBR);
QUORIL_SAME_TYPE(lastErrorStr_MBR);
QUORIL_SAME_TYPE(setNoError_MBR);
QUORIL_SAME_TYPE(getNoError_MBR);
QUORIL_SAME_TYPE(setFreq_MBR);
QUORIL_SAME_TYPE(getFreq_MBR);
QUORIL_SAME_TYPE(setVolumeRatio_MBR);
QUORIL_SAME_TYPE(getVolumeRatio_MBR);
QUORIL_SAME_TYPE(getVersion_MBR);
QUORIL_SAME_TYPE(getDatabaseInfo_MBR);
QUORIL_SAME_TYPE(setParser_MBR);
QUORIL_SAME_TYPE(init_Phone);
QUORIL_SAME_TYPE(reset_Phone);
QUORIL_SAME_TYPE(close_Phone);
QUORIL_SAME_TYPE(appendf0_Phone);
#undef QUORIL_SAME_TYPE

struct MbrolaState {
    platform::HModule library = 0;
    Entries entries;
};

MbrolaState& state() {
    static MbrolaState s;
    return s;
}

// Binds one name into a member; false when the library lacks it.
template <class F>
bool bind(platform::HModule lib, int index, F& member) {
    void* p = platform::getProcAddress(lib, entryNames[index]);
    member = reinterpret_cast<F>(p);
    return p != nullptr;
}

}  // namespace

bool loadMbrola() {
    MbrolaState& s = state();
    if (s.library != 0) return true;
    const platform::HModule lib = platform::loadLibrary("mbrola.dll");
    if (lib == 0) return false;
    Entries e;
    int i = 0;
    const bool all = bind(lib, i++, e.init_MBR) && bind(lib, i++, e.init_rename_MBR) &&
                     bind(lib, i++, e.write_MBR) && bind(lib, i++, e.flush_MBR) && bind(lib, i++, e.read_MBR) &&
                     bind(lib, i++, e.readtype_MBR) && bind(lib, i++, e.close_MBR) &&
                     bind(lib, i++, e.reset_MBR) && bind(lib, i++, e.lastError_MBR) &&
                     bind(lib, i++, e.lastErrorStr_MBR) && bind(lib, i++, e.setNoError_MBR) &&
                     bind(lib, i++, e.getNoError_MBR) && bind(lib, i++, e.setFreq_MBR) &&
                     bind(lib, i++, e.getFreq_MBR) && bind(lib, i++, e.setVolumeRatio_MBR) &&
                     bind(lib, i++, e.getVolumeRatio_MBR) && bind(lib, i++, e.getVersion_MBR) &&
                     bind(lib, i++, e.getDatabaseInfo_MBR) && bind(lib, i++, e.setParser_MBR) &&
                     bind(lib, i++, e.init_Phone) && bind(lib, i++, e.reset_Phone) &&
                     bind(lib, i++, e.close_Phone) && bind(lib, i++, e.appendf0_Phone);
    if (!all) {
        platform::freeLibrary(lib);
        return false;
    }
    s.library = lib;
    s.entries = e;
    return true;
}

void unloadMbrola() {
    MbrolaState& s = state();
    if (s.library == 0) return;
    platform::freeLibrary(s.library);
    s = MbrolaState{};
}

bool loaded() { return state().library != 0; }

const Entries& entries() { return state().entries; }

}  // namespace mbrola
