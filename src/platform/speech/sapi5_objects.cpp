// The objects both SAPI 5 runtimes share: tokens, the token collection, the
// WAV file stream and the engine-independent part of a voice.
#include "platform/speech/sapi5_objects.hpp"

#include <cctype>

#include "platform/system/system.hpp"

namespace platform::sapi5::detail {
namespace {

template <class T>
HResult answer(T* object, void** out) {
    object->AddRef();
    *out = object;
    return com::S_OK;
}

void putLE(std::uint8_t* p, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::string lowerAscii(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) out += static_cast<char>(c < 128 ? std::tolower(static_cast<int>(c)) : '?');
    return out;
}

enum : com::DispId { kDispVoice = 1, kDispAudioOutputStream = 2, kDispRate = 3, kDispEventInterests = 4 };

}  // namespace

std::string utf16ToUtf8(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;  // a lone surrogate
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// ---- tokens ----

HResult Token::QueryInterface(const Guid& iid, void** out) {
    if (out == nullptr) return com::E_POINTER;
    *out = nullptr;
    if (iid == com::IID_IUnknown || iid == com::IID_IDispatch || iid == IID_ISpeechObjectToken)
        return answer(static_cast<ISpeechObjectToken*>(this), out);
    return com::E_NOINTERFACE;
}

HResult Token::get_Id(std::u16string* id) {
    if (id == nullptr) return com::E_POINTER;
    *id = id_;
    return com::S_OK;
}

HResult Token::GetDescription(std::u16string* description) {
    if (description == nullptr) return com::E_POINTER;
    *description = description_;
    return com::S_OK;
}

Tokens::~Tokens() {
    for (Token* t : tokens_) t->Release();
}

HResult Tokens::QueryInterface(const Guid& iid, void** out) {
    if (out == nullptr) return com::E_POINTER;
    *out = nullptr;
    if (iid == com::IID_IUnknown || iid == com::IID_IDispatch || iid == IID_ISpeechObjectTokens)
        return answer(static_cast<ISpeechObjectTokens*>(this), out);
    return com::E_NOINTERFACE;
}

HResult Tokens::get_Count(std::int32_t* count) {
    if (count == nullptr) return com::E_POINTER;
    *count = static_cast<std::int32_t>(tokens_.size());
    return com::S_OK;
}

HResult Tokens::Item(std::int32_t index, ISpeechObjectToken** token) {
    if (token == nullptr) return com::E_POINTER;
    *token = nullptr;
    if (index < 0 || static_cast<std::size_t>(index) >= tokens_.size()) return com::E_INVALIDARG;
    Token* t = tokens_[static_cast<std::size_t>(index)];
    t->AddRef();
    *token = t;
    return com::S_OK;
}

// ---- the file stream ----

FileStream::~FileStream() { Close(); }

HResult FileStream::create(const Guid& iid, void** out) {
    auto* s = new FileStream;
    const HResult hr = static_cast<ISpeechFileStream*>(s)->QueryInterface(iid, out);
    static_cast<ISpeechFileStream*>(s)->Release();
    return hr;
}

HResult FileStream::QueryInterface(const Guid& iid, void** out) {
    if (out == nullptr) return com::E_POINTER;
    *out = nullptr;
    if (iid == com::IID_IUnknown || iid == com::IID_IDispatch || iid == IID_ISpeechBaseStream ||
        iid == IID_ISpeechFileStream)
        return answer(static_cast<ISpeechFileStream*>(this), out);
    if (iid == IID_IWaveSink) return answer(static_cast<IWaveSink*>(this), out);
    return com::E_NOINTERFACE;
}

HResult FileStream::Open(const std::u16string& fileName, std::int32_t mode, bool) {
    if (mode != SSFMCreateForWrite) return com::E_INVALIDARG;
    if (fileName.empty()) return com::E_INVALIDARG;
    std::string name;
    for (char16_t c : fileName) {
        const std::uint8_t b = platform::unicodeToCp1252(c);
        if (b == 0) return com::E_INVALIDARG;  // not a name this system can write
        name += static_cast<char>(b);
    }
    std::lock_guard<std::mutex> g(lock_);
    if (file_) return com::E_FAIL;
    file_ = std::fopen(platform::toNativeName(name).c_str(), "wb");
    if (!file_) return com::STG_E_FILENOTFOUND;
    dataBytes_ = 0;
    error_ = false;
    writeHeader();
    return error_ ? com::E_FAIL : com::S_OK;
}

void FileStream::writeHeader() {
    std::uint8_t h[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    const std::uint32_t data = static_cast<std::uint32_t>(std::min<std::uint64_t>(dataBytes_, 0xFFFFFFFFu - 36));
    const int align = bits_ / 8 * channels_;
    putLE(h + 4, data + 36, 4);
    putLE(h + 16, 16, 4);
    putLE(h + 20, 1, 2);
    putLE(h + 22, static_cast<std::uint32_t>(channels_), 2);
    putLE(h + 24, static_cast<std::uint32_t>(rate_), 4);
    putLE(h + 28, static_cast<std::uint32_t>(rate_ * align), 4);
    putLE(h + 32, static_cast<std::uint32_t>(align), 2);
    putLE(h + 34, static_cast<std::uint32_t>(bits_), 2);
    h[36] = 'd', h[37] = 'a', h[38] = 't', h[39] = 'a';
    putLE(h + 40, data, 4);
    if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(h, 1, sizeof h, file_) != sizeof h) error_ = true;
}

HResult FileStream::Close() {
    std::lock_guard<std::mutex> g(lock_);
    if (!file_) return com::S_OK;
    writeHeader();
    if (std::fclose(file_) != 0) error_ = true;
    file_ = nullptr;
    return error_ ? com::E_FAIL : com::S_OK;
}

bool FileStream::setFormat(int rate, int bits, int channels) {
    std::lock_guard<std::mutex> g(lock_);
    if (!file_) return false;
    if (dataBytes_ == 0) rate_ = rate, bits_ = bits, channels_ = channels;
    return rate_ == rate && bits_ == bits && channels_ == channels;
}

void FileStream::write(const std::uint8_t* bytes, std::size_t size) {
    std::lock_guard<std::mutex> g(lock_);
    if (!file_ || error_) return;
    if (std::fseek(file_, 0, SEEK_END) != 0 || std::fwrite(bytes, 1, size, file_) != size) {
        error_ = true;
        return;
    }
    dataBytes_ += size;
}

// ---- the voice ----

VoiceBase::VoiceBase() : event_(com::createEvent(true, true)) {}

VoiceBase::~VoiceBase() {
    for (auto& [cookie, sink] : sinks_) sink->Release();
    com::closeHandle(event_);
}

HResult VoiceBase::QueryInterface(const Guid& iid, void** out) {
    if (out == nullptr) return com::E_POINTER;
    *out = nullptr;
    if (iid == com::IID_IUnknown || iid == com::IID_IDispatch || iid == IID_ISpeechVoice)
        return answer(static_cast<ISpeechVoice*>(this), out);
    if (iid == com::IID_IConnectionPointContainer)
        return answer(static_cast<com::IConnectionPointContainer*>(this), out);
    return com::E_NOINTERFACE;
}

HResult VoiceBase::GetIDOfName(const std::u16string& name, com::DispId* id) {
    if (id == nullptr) return com::E_POINTER;
    const std::string n = lowerAscii(name);
    if (n == "voice") *id = kDispVoice;
    else if (n == "audiooutputstream") *id = kDispAudioOutputStream;
    else if (n == "rate") *id = kDispRate;
    else if (n == "eventinterests") *id = kDispEventInterests;
    else return com::DISP_E_UNKNOWNNAME;
    return com::S_OK;
}

HResult VoiceBase::InvokePut(com::DispId id, std::uint16_t flags, IDispatch* value) {
    if (id == kDispVoice || id == kDispAudioOutputStream) {
        if (flags != com::DISPATCH_PROPERTYPUTREF) return com::DISP_E_MEMBERNOTFOUND;
        if (id == kDispAudioOutputStream) {
            if (value == nullptr) return putref_AudioOutputStream(nullptr);
            ComPtr<ISpeechBaseStream> stream;
            if (com::failed(value->QueryInterface(IID_ISpeechBaseStream, stream.putVoid()))) return com::E_INVALIDARG;
            return putref_AudioOutputStream(stream.get());
        }
        ComPtr<ISpeechObjectToken> token;
        if (value == nullptr || com::failed(value->QueryInterface(IID_ISpeechObjectToken, token.putVoid())))
            return com::E_INVALIDARG;
        return putref_Voice(token.get());
    }
    // Rate and EventInterests take numbers, which this late binding does not carry.
    return com::DISP_E_MEMBERNOTFOUND;
}

HResult VoiceBase::put_EventInterests(std::int32_t interests) {
    interests_ = interests;
    return com::S_OK;
}

HResult VoiceBase::get_EventInterests(std::int32_t* interests) {
    if (interests == nullptr) return com::E_POINTER;
    *interests = interests_;
    return com::S_OK;
}

HResult VoiceBase::GetVoices(const std::u16string& required, const std::u16string&, ISpeechObjectTokens** tokens) {
    if (tokens == nullptr) return com::E_POINTER;
    *tokens = nullptr;
    // Attribute queries are not offered: only the whole list.
    if (!required.empty()) return com::E_INVALIDARG;
    std::vector<Token*> list = listVoices();
    for (Token* t : list) t->owner = this;
    *tokens = new Tokens(std::move(list));
    return com::S_OK;
}

HResult VoiceBase::putref_Voice(ISpeechObjectToken* token) {
    if (token == nullptr) return com::E_INVALIDARG;
    // Only tokens of this runtime's kind: each engine knows its own keys.
    auto* ours = dynamic_cast<Token*>(token);
    if (ours == nullptr || ours->owner != this) return com::E_INVALIDARG;
    {
        std::lock_guard<std::mutex> g(settingsLock_);
        ours->AddRef();
        *voice_.put() = ours;
    }
    voiceChosen(ours);
    return com::S_OK;
}

HResult VoiceBase::get_Voice(ISpeechObjectToken** token) {
    if (token == nullptr) return com::E_POINTER;
    std::lock_guard<std::mutex> g(settingsLock_);
    *token = voice_.get();
    if (!*token) return com::E_FAIL;
    (*token)->AddRef();
    return com::S_OK;
}

HResult VoiceBase::put_Rate(std::int32_t rate) {
    if (rate < kMinRate || rate > kMaxRate) return com::E_INVALIDARG;
    {
        std::lock_guard<std::mutex> g(settingsLock_);
        rate_ = rate;
    }
    rateChosen(rate);
    return com::S_OK;
}

HResult VoiceBase::get_Rate(std::int32_t* rate) {
    if (rate == nullptr) return com::E_POINTER;
    std::lock_guard<std::mutex> g(settingsLock_);
    *rate = rate_;
    return com::S_OK;
}

HResult VoiceBase::get_SpeakCompleteEvent(com::Handle* event) {
    if (event == nullptr) return com::E_POINTER;
    *event = event_;
    return com::S_OK;
}

HResult VoiceBase::FindConnectionPoint(const Guid& iid, com::IConnectionPoint** out) {
    if (out == nullptr) return com::E_POINTER;
    *out = nullptr;
    if (iid != IID_ISpeechVoiceEvents) return com::E_NOINTERFACE;
    AddRef();
    *out = this;
    return com::S_OK;
}

HResult VoiceBase::Advise(IUnknown* sink, std::uint32_t* cookie) {
    if (sink == nullptr || cookie == nullptr) return com::E_POINTER;
    sink->AddRef();
    *cookie = nextCookie_++;
    sinks_[*cookie] = sink;
    return com::S_OK;
}

HResult VoiceBase::Unadvise(std::uint32_t cookie) {
    auto it = sinks_.find(cookie);
    if (it == sinks_.end()) return com::CONNECT_E_NOCONNECTION;
    it->second->Release();
    sinks_.erase(it);
    return com::S_OK;
}

}  // namespace platform::sapi5::detail

namespace platform::sapi5 {

void registerRuntimes() {
    com::registerClass(CLSID_SpVoiceSecond, detail::createEspeakVoice);
    com::registerClass(CLSID_SpFileStreamSecond, detail::FileStream::create);
#ifdef QUORIL_HAVE_SPEECHD
    com::registerClass(CLSID_SpVoice, detail::createSpeechdVoice);
    com::registerClass(CLSID_SpFileStream, detail::FileStream::create);
#endif
}

}  // namespace platform::sapi5
