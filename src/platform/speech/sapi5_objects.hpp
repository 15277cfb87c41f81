// Inside the platform layer: the objects both SAPI 5 runtimes share. A
// voice token, the token collection, the WAV file stream, and the part of
// a voice that does not depend on the engine (interfaces, late-bound puts,
// event connections, the speak-complete event, the rate rule).
#pragma once

#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/speech/sapi5.hpp"

namespace platform::sapi5::detail {

using com::ComPtr;
using com::IDispatch;
using com::IUnknown;

std::string utf16ToUtf8(const std::u16string& text);

// What a voice writes its samples into, besides the sound device: the file
// stream's inner face.
struct IWaveSink : IUnknown {
    // Fixes the format before the first samples; false when it cannot be
    // written (a closed stream).
    virtual bool setFormat(int rate, int bits, int channels) = 0;
    virtual void write(const std::uint8_t* bytes, std::size_t size) = 0;
};
constexpr Guid IID_IWaveSink = guidOf("{5C3B7D10-8E4A-4F0B-9A61-2D7C0E1F4A01}");

// The IDispatch members every object answers the same way: no names.
#define QUORIL_NO_DISPATCH_NAMES                                                          \
    HResult GetIDOfName(const std::u16string&, com::DispId*) override {                   \
        return com::DISP_E_UNKNOWNNAME;                                                   \
    }                                                                                     \
    HResult InvokePut(com::DispId, std::uint16_t, IDispatch*) override { return com::DISP_E_MEMBERNOTFOUND; }

class Token final : public ISpeechObjectToken {
public:
    Token(std::string key, std::u16string id, std::u16string description)
        : key_(std::move(key)), id_(std::move(id)), description_(std::move(description)) {}
    HResult QueryInterface(const Guid& iid, void** out) override;
    std::uint32_t AddRef() override { return refs_.addRef(); }
    std::uint32_t Release() override { return refs_.release(this); }
    QUORIL_NO_DISPATCH_NAMES
    HResult get_Id(std::u16string* id) override;
    HResult GetDescription(std::u16string* description) override;
    // What the engine needs to select the voice (empty: its configured default).
    const std::string& key() const { return key_; }
    // The token of the runtime that made it.
    const void* owner = nullptr;

private:
    com::RefCounted<Token> refs_;
    std::string key_;
    std::u16string id_, description_;
};

class Tokens final : public ISpeechObjectTokens {
public:
    explicit Tokens(std::vector<Token*> tokens) : tokens_(std::move(tokens)) {}
    ~Tokens();
    HResult QueryInterface(const Guid& iid, void** out) override;
    std::uint32_t AddRef() override { return refs_.addRef(); }
    std::uint32_t Release() override { return refs_.release(this); }
    QUORIL_NO_DISPATCH_NAMES
    HResult get_Count(std::int32_t* count) override;
    HResult Item(std::int32_t index, ISpeechObjectToken** token) override;

private:
    com::RefCounted<Tokens> refs_;
    std::vector<Token*> tokens_;  // one reference each
};

// A WAV file written as samples come: a 44-byte header at Open, patched with
// the sizes at Close.
class FileStream final : public ISpeechFileStream, public IWaveSink {
public:
    ~FileStream();
    HResult QueryInterface(const Guid& iid, void** out) override;
    std::uint32_t AddRef() override { return refs_.addRef(); }
    std::uint32_t Release() override { return refs_.release(this); }
    QUORIL_NO_DISPATCH_NAMES
    HResult Open(const std::u16string& fileName, std::int32_t mode, bool doEvents) override;
    HResult Close() override;
    bool setFormat(int rate, int bits, int channels) override;
    void write(const std::uint8_t* bytes, std::size_t size) override;
    static HResult create(const Guid& iid, void** out);

private:
    void writeHeader();
    com::RefCounted<FileStream> refs_;
    std::mutex lock_;
    std::FILE* file_ = nullptr;
    int rate_ = 22050, bits_ = 16, channels_ = 1;
    std::uint64_t dataBytes_ = 0;
    bool error_ = false;
};

// The engine-independent part of a voice object.
class VoiceBase : public ISpeechVoice, public com::IConnectionPointContainer, public com::IConnectionPoint {
public:
    VoiceBase();
    virtual ~VoiceBase();
    HResult QueryInterface(const Guid& iid, void** out) override;
    std::uint32_t AddRef() override { return refs_.addRef(); }
    std::uint32_t Release() override { return refs_.release(this); }
    // Late binding: "Voice", "AudioOutputStream", "Rate", "EventInterests".
    HResult GetIDOfName(const std::u16string& name, com::DispId* id) override;
    HResult InvokePut(com::DispId id, std::uint16_t flags, IDispatch* value) override;

    HResult put_EventInterests(std::int32_t interests) override;
    HResult get_EventInterests(std::int32_t* interests) override;
    HResult GetVoices(const std::u16string& required, const std::u16string& optional,
                      ISpeechObjectTokens** tokens) override;
    HResult putref_Voice(ISpeechObjectToken* token) override;
    HResult get_Voice(ISpeechObjectToken** token) override;
    HResult put_Rate(std::int32_t rate) override;
    HResult get_Rate(std::int32_t* rate) override;
    HResult get_SpeakCompleteEvent(com::Handle* event) override;

    HResult FindConnectionPoint(const Guid& iid, com::IConnectionPoint** out) override;
    HResult Advise(IUnknown* sink, std::uint32_t* cookie) override;
    HResult Unadvise(std::uint32_t cookie) override;

protected:
    // The engine's voices as new tokens, in the order offered.
    virtual std::vector<Token*> listVoices() = 0;
    // The engine takes the token's voice or the rate for what is queued
    // from now on.
    virtual void voiceChosen(Token* token) = 0;
    virtual void rateChosen(int rate) = 0;
    com::Handle completeEvent() const { return event_; }
    // The chosen voice (null: the first of the list) and rate.
    std::mutex settingsLock_;
    ComPtr<Token> voice_;
    int rate_ = 0;

private:
    com::RefCounted<VoiceBase> refs_;
    com::Handle event_ = 0;
    std::int32_t interests_ = 0;
    std::map<std::uint32_t, IUnknown*> sinks_;
    std::uint32_t nextCookie_ = 1;
};

}  // namespace platform::sapi5::detail

namespace platform::sapi5::detail {
// The voice factories of the two runtimes.
HResult createEspeakVoice(const Guid& iid, void** out);
#ifdef QUORIL_HAVE_SPEECHD
HResult createSpeechdVoice(const Guid& iid, void** out);
#endif
}  // namespace platform::sapi5::detail
