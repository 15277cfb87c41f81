// The standard SAPI 5 runtime: speech-dispatcher, through libspeechd, so
// speech comes in the voice, module and sound output the user configured
// there. Each voice object is one connection. Speech-dispatcher queues and
// speaks on its own; the voice counts the messages it handed over and has
// not yet seen end or be cancelled, and the speak-complete event is set
// while that count is 0. Every connection asks for Brazilian Portuguese.
// The voice list starts with the user's configured
// voice, followed by speech-dispatcher's eight voice types. A file
// stream is refused: speech-dispatcher gives no samples back.
#ifdef QUORIL_HAVE_SPEECHD

#include <libspeechd.h>

#include <cstdlib>
#include <map>
#include <set>

#include "platform/speech/sapi5_objects.hpp"

namespace platform::sapi5::detail {
namespace {

class SpeechdVoice;

// Which voice a connection belongs to, for the notification callbacks
// (they run on libspeechd's own thread).
struct Connections {
    std::mutex lock;
    std::map<std::size_t, SpeechdVoice*> voices;  // by client id
};
Connections& connections() {
    static Connections* c = new Connections;
    return *c;
}

void notified(std::size_t msgId, std::size_t clientId, SPDNotificationType type);

// The voice types every output module offers. (The module's own voice
// list can run to thousands of entries and is not offered.)
struct VoiceType {
    const char* name;
    SPDVoiceType type;
};
constexpr VoiceType kVoiceTypes[] = {
    {"male1", SPD_MALE1},   {"female1", SPD_FEMALE1}, {"male2", SPD_MALE2},
    {"female2", SPD_FEMALE2}, {"male3", SPD_MALE3},   {"female3", SPD_FEMALE3},
    {"child_male", SPD_CHILD_MALE}, {"child_female", SPD_CHILD_FEMALE},
};

// Speech-dispatcher's code for Brazilian Portuguese.
constexpr const char* kLanguage = "pt-BR";

// Whitespace alone is nothing to hear; speech-dispatcher is not asked to say it.
bool onlyBlanks(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

class SpeechdVoice final : public VoiceBase {
public:
    explicit SpeechdVoice(SPDConnection* c) : conn_(c) {
        const int id = spd_get_client_id(conn_);
        client_ = id < 0 ? 0 : static_cast<std::size_t>(id);
        {
            std::lock_guard<std::mutex> g(connections().lock);
            connections().voices[client_] = this;
        }
        conn_->callback_end = notified;
        conn_->callback_cancel = notified;
        spd_set_notification_on(conn_, SPD_END);
        spd_set_notification_on(conn_, SPD_CANCEL);
        spd_set_data_mode(conn_, SPD_DATA_TEXT);
        // The prompts are Brazilian Portuguese, whatever language the
        // user's default is.
        spd_set_language(conn_, kLanguage);
    }
    ~SpeechdVoice() override {
        spd_cancel(conn_);
        {
            std::lock_guard<std::mutex> g(connections().lock);
            connections().voices.erase(client_);
        }
        spd_close(conn_);
    }

    HResult putref_AudioOutputStream(ISpeechBaseStream* stream) override {
        return stream == nullptr ? com::S_OK : com::E_NOTIMPL;
    }

    HResult Speak(const std::u16string& text, std::int32_t flags, std::int32_t* streamNumber) override {
        if (flags & SVSFPurgeBeforeSpeak) {
            spd_cancel(conn_);
            std::lock_guard<std::mutex> g(lock_);
            pending_.clear();
            updateEvent();
        }
        const std::string utf8 = utf16ToUtf8(text);
        HResult hr = com::S_OK;
        if (!onlyBlanks(utf8)) {
            {
                std::lock_guard<std::mutex> g(lock_);
                ++saying_;
                updateEvent();
            }
            // Not locked: the answer and the notifications come on the same
            // libspeechd thread, and a notification may come first.
            const int id = spd_say(conn_, SPD_MESSAGE, utf8.c_str());
            std::lock_guard<std::mutex> g(lock_);
            --saying_;
            if (id < 0) {
                hr = com::E_FAIL;
            } else if (!endedEarly_.erase(static_cast<std::size_t>(id))) {
                pending_.insert(static_cast<std::size_t>(id));
            }
            if (streamNumber) *streamNumber = id;
            updateEvent();
        }
        // Synchronous speech waits for the end, a little longer than any
        // short text takes; speech-dispatcher may lose a notification.
        if (!(flags & SVSFlagsAsync)) com::waitForSingleObject(completeEvent(), 10000);
        return hr;
    }

    void ended(std::size_t msgId) {
        std::lock_guard<std::mutex> g(lock_);
        if (!pending_.erase(msgId)) {
            // Not yet known (its spd_say has not answered), or purged.
            if (endedEarly_.size() > 256) endedEarly_.clear();
            endedEarly_.insert(msgId);
        }
        updateEvent();
    }

protected:
    std::vector<Token*> listVoices() override {
        std::vector<Token*> out;
        out.push_back(new Token("", u"default", u"speech-dispatcher: configured voice"));
        for (const VoiceType& t : kVoiceTypes) {
            const std::string name = t.name;
            out.push_back(new Token(name, std::u16string(name.begin(), name.end()),
                                    u"speech-dispatcher: " + std::u16string(name.begin(), name.end())));
        }
        return out;
    }
    void voiceChosen(Token* token) override {
        for (const VoiceType& t : kVoiceTypes)
            if (token->key() == t.name) spd_set_voice_type(conn_, t.type);
    }
    // SAPI rates -10..10 onto speech-dispatcher's -100..100.
    void rateChosen(int rate) override { spd_set_voice_rate(conn_, rate * 10); }

private:
    void updateEvent() {
        if (pending_.empty() && saying_ == 0)
            com::setEvent(completeEvent());
        else
            com::resetEvent(completeEvent());
    }

    SPDConnection* conn_;
    std::size_t client_ = 0;
    std::mutex lock_;
    std::set<std::size_t> pending_, endedEarly_;
    int saying_ = 0;
};

void notified(std::size_t msgId, std::size_t clientId, SPDNotificationType) {
    std::lock_guard<std::mutex> g(connections().lock);
    auto it = connections().voices.find(clientId);
    if (it != connections().voices.end()) it->second->ended(msgId);
}

}  // namespace

HResult createSpeechdVoice(const Guid& iid, void** out) {
    if (out == nullptr) return com::E_POINTER;
    *out = nullptr;
    char* error = nullptr;
    SPDConnection* conn = spd_open2("quoril", "voice", nullptr, SPD_MODE_THREADED, nullptr, 1, &error);
    std::free(error);
    if (conn == nullptr) return com::SPERR_UNINITIALIZED;
    auto* v = new SpeechdVoice(conn);
    const HResult hr = static_cast<ISpeechVoice*>(v)->QueryInterface(iid, out);
    static_cast<ISpeechVoice*>(v)->Release();
    return hr;
}

}  // namespace platform::sapi5::detail

#endif
