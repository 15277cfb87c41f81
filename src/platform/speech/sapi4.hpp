// The SAPI 4 text-to-speech objects, with their Windows identifiers and
// ANSI interfaces: the audio destinations (the wave-out device, a WAV
// file), the engine enumerator whose modes are the espeak-ng voices
// (Brazilian Portuguese first), and the engine's central object.
//
// The engine speaks on a thread of its own. Its notifications reach the
// sinks as Windows delivers them to a single-threaded apartment: posted as
// calls to the main thread's message queue (platform::postCall), so the
// sinks' methods run on the main thread whenever it pumps messages.
// TextDataStarted is posted by TextData itself, before it returns, so a
// text handed over is busy from the first pump on; AudioStart comes with
// the first samples, TextDataDone when a text has been synthesized, and
// AudioStop once the last sound has been played. AudioReset posts what the
// cut texts still owe (their TextDataDone, and AudioStop) before it returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/speech/com.hpp"

namespace platform::sapi4 {

using com::Guid;
using com::guidOf;
using com::HResult;

// Classes.
constexpr Guid CLSID_MMAudioDest = guidOf("{CB96B400-C743-11CD-80E5-00AA003E4B50}");
constexpr Guid CLSID_AudioDestFile = guidOf("{D4623720-E4B9-11CF-8D56-00A0C9034A7E}");
constexpr Guid CLSID_TTSEnumerator = guidOf("{D67C0280-C743-11CD-80E5-00AA003E4B50}");
// Interfaces (ANSI variants where there are two).
constexpr Guid IID_IAudioMultiMediaDevice = guidOf("{B68AD320-C743-11CD-80E5-00AA003E4B50}");
constexpr Guid IID_IAudioFile = guidOf("{FD7C2320-3D6D-11B9-C000-FED6CBA3B1A9}");
constexpr Guid IID_ITTSEnum = guidOf("{05EB6C6D-DBAB-11CD-B3CA-00AA0047BA4F}");
constexpr Guid IID_ITTSNotifySink = guidOf("{05EB6C6F-DBAB-11CD-B3CA-00AA0047BA4F}");
constexpr Guid IID_ITTSBufNotifySink = guidOf("{E4963D40-C743-11CD-80E5-00AA003E4B50}");
constexpr Guid IID_ITTSAttributes = guidOf("{0FD6E2A1-E77D-11CD-B3CA-00AA0047BA4F}");
constexpr Guid IID_ITTSCentral = guidOf("{05EB6C6A-DBAB-11CD-B3CA-00AA0047BA4F}");

// The class context every object is created with.
constexpr std::uint32_t CLSCTX_ALL = 7;
// TextData's character set: plain text in the ANSI code page.
constexpr std::uint32_t CHARSET_TEXT = 0;

constexpr std::size_t kNameSize = 262;   // names in the mode record
constexpr std::size_t kDialectSize = 64;

// The mode record, TTSMODEINFOA (1424 bytes). Texts are zero-terminated
// ANSI; identifiers are held as the 16 bytes of com::Guid.
struct TTSModeInfo {
    Guid engineId;
    char manufacturer[kNameSize];
    char product[kNameSize];
    Guid modeId;
    char modeName[kNameSize];
    std::uint16_t languageId;
    char dialect[kDialectSize];
    char speaker[kNameSize];
    char style[kNameSize];
    std::uint16_t gender;
    std::uint16_t age;
    std::uint32_t features;
    std::uint32_t interfaces;
    std::uint32_t engineFeatures;
};
static_assert(sizeof(TTSModeInfo) == 1424);
static_assert(offsetof(TTSModeInfo, manufacturer) == 16 && offsetof(TTSModeInfo, product) == 278 &&
              offsetof(TTSModeInfo, modeId) == 540 && offsetof(TTSModeInfo, modeName) == 556 &&
              offsetof(TTSModeInfo, languageId) == 818 && offsetof(TTSModeInfo, dialect) == 820 &&
              offsetof(TTSModeInfo, speaker) == 884 && offsetof(TTSModeInfo, style) == 1146 &&
              offsetof(TTSModeInfo, gender) == 1408 && offsetof(TTSModeInfo, age) == 1410 &&
              offsetof(TTSModeInfo, features) == 1412 && offsetof(TTSModeInfo, interfaces) == 1416 &&
              offsetof(TTSModeInfo, engineFeatures) == 1420);

enum : std::uint16_t { GENDER_NEUTRAL = 0, GENDER_FEMALE = 1, GENDER_MALE = 2 };
enum : std::uint16_t { TTSAGE_CHILD = 6, TTSAGE_ADULT = 30 };
enum : std::uint32_t {
    TTSFEATURE_ANYWORD = 1u << 0,
    TTSFEATURE_VOLUME = 1u << 1,
    TTSFEATURE_SPEED = 1u << 2,
    TTSFEATURE_PITCH = 1u << 3,
    TTSI_ITTSATTRIBUTES = 1u << 0,
    TTSI_ITTSCENTRAL = 1u << 1,
};

// A block of data passed by value: pointer and size in bytes.
struct SData {
    const void* data = nullptr;
    std::uint32_t size = 0;
};

// ---- audio destinations ----
struct IAudioMultiMediaDevice : com::IUnknown {
    // The wave-out device number; only the default device (0xFFFFFFFF).
    virtual HResult DeviceNumGet(std::uint32_t* device) = 0;
    virtual HResult DeviceNumSet(std::uint32_t device) = 0;
};

struct IAudioFile : com::IUnknown {
    // Speech goes into this WAV file (a UTF-16 name), created afresh.
    // append: only 1 (a new file) is offered.
    virtual HResult Set(const std::u16string& fileName, std::uint32_t append) = 0;
    // Completes the file's header; what comes later is dropped.
    virtual HResult Flush() = 0;
};

// ---- notification sinks (implemented by the engine's client) ----
struct ITTSNotifySink : com::IUnknown {
    virtual HResult AttribChanged(std::uint32_t attribute) = 0;
    virtual HResult AudioStart(std::uint64_t timeStamp) = 0;
    virtual HResult AudioStop(std::uint64_t timeStamp) = 0;
    virtual HResult Visual(std::uint64_t timeStamp, char phoneme, char enginePhoneme, std::uint32_t flags,
                           const void* mouth) = 0;
};

struct ITTSBufNotifySink : com::IUnknown {
    virtual HResult TextDataDone(std::uint64_t timeStamp, std::uint32_t flags) = 0;
    virtual HResult TextDataStarted(std::uint64_t timeStamp) = 0;
    virtual HResult BookMark(std::uint64_t timeStamp, std::uint32_t mark) = 0;
    virtual HResult WordPosition(std::uint64_t timeStamp, std::uint32_t byteOffset) = 0;
};

// ---- the engine ----
struct ITTSAttributes : com::IUnknown {
    // Words per minute; the engine keeps it within what it can do.
    virtual HResult SpeedSet(std::uint32_t wordsPerMinute) = 0;
    virtual HResult SpeedGet(std::uint32_t* wordsPerMinute) = 0;
    // The base pitch in hertz, kept within the engine's range.
    virtual HResult PitchSet(std::uint16_t hertz) = 0;
    virtual HResult PitchGet(std::uint16_t* hertz) = 0;
};

struct ITTSCentral : com::IUnknown {
    // Queues a text (CHARSET_TEXT, ANSI, zero-terminated within size) and
    // returns once the engine has taken it; the sink (if any) hears of it.
    virtual HResult TextData(std::uint32_t charset, std::uint32_t flags, SData text, com::IUnknown* bufferSink,
                             Guid sinkInterface) = 0;
    // Cuts the sound and drops every text not yet spoken.
    virtual HResult AudioReset() = 0;
    // Adds a notify sink; key identifies it for UnRegister.
    virtual HResult Register(com::IUnknown* notifySink, Guid sinkInterface, std::uint32_t* key) = 0;
    virtual HResult UnRegister(std::uint32_t key) = 0;
};

struct ITTSEnum : com::IUnknown {
    // Fills up to count records from the current place: S_OK when all
    // were filled, S_FALSE when the list ended first. fetched may be null.
    virtual HResult Next(std::uint32_t count, TTSModeInfo* modes, std::uint32_t* fetched) = 0;
    virtual HResult Skip(std::uint32_t count) = 0;
    virtual HResult Reset() = 0;
    // The central object of the mode, speaking into the audio destination.
    virtual HResult Select(Guid modeId, ITTSCentral** central, com::IUnknown* audioDestination) = 0;
};

// Registers the classes not registered yet (again after
// com::resetForTests; a test's stand-ins stay). Creating the enumerator
// answers a failure when espeak-ng cannot be started.
void registerClasses();

// espeak-ng's values for the attributes: words per minute kept within its
// range, and the pitch in hertz (50..250) onto its 0..100.
int engineSpeed(std::uint32_t wordsPerMinute);
int enginePitch(std::uint16_t hertz);

}  // namespace platform::sapi4
