// mbrola: the diphone engine "mbrola.dll", loaded at run time with all 23
// of its entry points bound by name. The driver (uttsTirel) calls the
// engine only through entries(), and only while loaded() answers true.
#pragma once

// The engine's phone and parser records (engine/mbrola.h).
struct Phone;
struct MbrParser;

namespace mbrola {

// One address per entry point, in the order they are bound.
struct Entries {
    int (*init_MBR)(char* db) = nullptr;
    int (*init_rename_MBR)(char* db, char* rename, char* clone) = nullptr;
    int (*write_MBR)(char* text) = nullptr;
    int (*flush_MBR)() = nullptr;
    int (*read_MBR)(short* buf, int wanted) = nullptr;
    int (*readtype_MBR)(void* buf, int wanted, int type) = nullptr;
    void (*close_MBR)() = nullptr;
    int (*reset_MBR)() = nullptr;
    int (*lastError_MBR)() = nullptr;
    int (*lastErrorStr_MBR)(char* buf, int size) = nullptr;
    void (*setNoError_MBR)(int noError) = nullptr;
    int (*getNoError_MBR)() = nullptr;
    void (*setFreq_MBR)(int freq) = nullptr;
    int (*getFreq_MBR)() = nullptr;
    void (*setVolumeRatio_MBR)(float ratio) = nullptr;
    float (*getVolumeRatio_MBR)() = nullptr;
    void (*getVersion_MBR)(char* buf, int size) = nullptr;
    int (*getDatabaseInfo_MBR)(char* buf, int size, int index) = nullptr;
    void (*setParser_MBR)(MbrParser* parser) = nullptr;
    Phone* (*init_Phone)(char* name, float length) = nullptr;
    void (*reset_Phone)(Phone* phone) = nullptr;
    void (*close_Phone)(Phone* phone) = nullptr;
    void (*appendf0_Phone)(Phone* phone, float pos, float f0) = nullptr;
};

// The 23 names, in binding order.
constexpr int entryCount = 23;
extern const char* const entryNames[entryCount];

// Loads "mbrola.dll" and binds every entry point; false (and nothing held)
// when the library or any one name is missing. Loading again while loaded
// answers true and keeps what is held.
bool loadMbrola();
// Lets the library go, when one is held.
void unloadMbrola();
bool loaded();
// The bound addresses; all null while unloaded.
const Entries& entries();

}  // namespace mbrola
