// The SAPI 5 automation objects the speech servers use, on two runtimes:
// the standard one (type 5), which speaks through speech-dispatcher with
// the voices and output the user configured there, and a second one
// (type 54), espeak-ng in this process, speaking on its own thread into
// the wave-out device or into a WAV file. Both offer the same interfaces;
// each registers its own voice and file-stream classes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/speech/com.hpp"

namespace platform::sapi5 {

using com::Guid;
using com::guidOf;
using com::HResult;

// Class identifiers.
constexpr Guid CLSID_SpVoice = guidOf("{96749377-3391-11D2-9EE3-00C04F797396}");
constexpr Guid CLSID_SpFileStream = guidOf("{947812B3-2AE1-4644-BA86-9E90DED7EC91}");
constexpr Guid CLSID_SpVoiceSecond = guidOf("{D941651C-44E6-4C17-BADF-C36826FC3424}");
constexpr Guid CLSID_SpFileStreamSecond = guidOf("{3346EF73-0E05-4907-81AC-1F3547DA6FFE}");

// Interface identifiers (the same on both runtimes).
constexpr Guid IID_ISpeechVoice = guidOf("{269316D8-57BD-11D2-9EEE-00C04F797396}");
constexpr Guid IID_ISpeechVoiceEvents = guidOf("{A372ACD1-3BEF-4BBD-8FFB-CB3E2B416AF8}");
constexpr Guid IID_ISpeechFileStream = guidOf("{AF67F125-AB39-4E93-B4A2-CC2E66E182A7}");
constexpr Guid IID_ISpeechBaseStream = guidOf("{6450336F-7D49-4CED-8097-49D6DEE37294}");
constexpr Guid IID_ISpeechObjectToken = guidOf("{C74A3ADC-B727-4500-A84A-B526721C8B8C}");
constexpr Guid IID_ISpeechObjectTokens = guidOf("{9285B776-2E7B-4BC0-B53E-580EB6FA967F}");

// Constants.
enum : std::int32_t {
    SVEAllEvents = 33790,
    SVSFDefault = 0,
    SVSFlagsAsync = 1,
    SVSFPurgeBeforeSpeak = 2,
    SVSFIsNotXML = 16,
    SSFMCreateForWrite = 3,
};
// The rates a voice accepts.
constexpr int kMinRate = -10, kMaxRate = 10;

struct ISpeechObjectToken : com::IDispatch {
    // A short identifier of the voice ("pt-br", "espeak-ng:pt-BR", ...).
    virtual HResult get_Id(std::u16string* id) = 0;
    // A description for people.
    virtual HResult GetDescription(std::u16string* description) = 0;
};

struct ISpeechObjectTokens : com::IDispatch {
    virtual HResult get_Count(std::int32_t* count) = 0;
    // index 0 .. Count - 1; E_INVALIDARG outside.
    virtual HResult Item(std::int32_t index, ISpeechObjectToken** token) = 0;
};

struct ISpeechBaseStream : com::IDispatch {};

struct ISpeechFileStream : ISpeechBaseStream {
    // Opens the file (mode SSFMCreateForWrite creates it afresh).
    virtual HResult Open(const std::u16string& fileName, std::int32_t mode, bool doEvents) = 0;
    // Completes the file; later writes are dropped.
    virtual HResult Close() = 0;
};

struct ISpeechVoice : com::IDispatch {
    virtual HResult put_EventInterests(std::int32_t interests) = 0;
    virtual HResult get_EventInterests(std::int32_t* interests) = 0;
    // The installed voices that have the required attributes (empty: all),
    // those with the optional ones first.
    virtual HResult GetVoices(const std::u16string& required, const std::u16string& optional,
                              ISpeechObjectTokens** tokens) = 0;
    virtual HResult putref_Voice(ISpeechObjectToken* token) = 0;
    virtual HResult get_Voice(ISpeechObjectToken** token) = 0;
    // kMinRate .. kMaxRate; E_INVALIDARG outside (the rate is kept).
    virtual HResult put_Rate(std::int32_t rate) = 0;
    virtual HResult get_Rate(std::int32_t* rate) = 0;
    // The event signalled while the voice is idle; owned by the voice.
    virtual HResult get_SpeakCompleteEvent(com::Handle* event) = 0;
    // Speech goes into the stream instead of the sound device; null gives
    // the sound device back.
    virtual HResult putref_AudioOutputStream(ISpeechBaseStream* stream) = 0;
    // Queues the text (flags: SVSFlagsAsync, SVSFPurgeBeforeSpeak,
    // SVSFIsNotXML); without SVSFlagsAsync returns once the queue is empty.
    virtual HResult Speak(const std::u16string& text, std::int32_t flags, std::int32_t* streamNumber) = 0;
};

// Registers the classes of both runtimes (again after com::resetForTests).
// The speech-dispatcher classes are left out when the program was built
// without libspeechd.
void registerRuntimes();

}  // namespace platform::sapi5
