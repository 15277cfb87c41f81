// The standard SAPI 5 runtime: speech-dispatcher, through libspeechd, so
// speech comes in the voice, module and sound output the user configured
// there. Each voice object is one connection. Speech-dispatcher queues and
// speaks on its own; the voice counts the messages it handed over and has
// not yet seen end or be cancelled, and the speak-complete event is set
// while that count is 0. Every connection asks for Brazilian Portuguese.
// The voice list starts with the user's configured
// voice, followed by speech-dispatcher's eight voice types. A file
// stream is refused: speech-dispatcher gives no samples back.
//
// Every call into libspeechd waits for the server's answer, and a server
// that accepts a connection and never answers would hold the caller for
// ever. So each connection has a thread of its own that opens it and makes
// every call on it, in order; the voice only queues work for that thread
// and never waits for it. While the connection is being opened the
// speak-complete event is clear, and it is set once the connection is open
// or has failed (GetVoices then answers SPERR_UNINITIALIZED): the server's
// start waits for it with a bound, pumping messages. A connection that
// never answers keeps its thread, not the program.
#ifdef QUORIL_HAVE_SPEECHD

#include <libspeechd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "platform/speech/sapi5_objects.hpp"

namespace platform::sapi5::detail {
namespace {

struct Link;

// Which link a connection belongs to, for the notification callbacks
// (they run on libspeechd's own thread).
struct Connections {
    std::mutex lock;
    std::map<std::size_t, std::shared_ptr<Link>> links;  // by client id
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
// How long the voice's end waits for its thread to let the connection go.
constexpr auto kCloseWait = std::chrono::milliseconds(500);

// Whitespace alone is nothing to hear; speech-dispatcher is not asked to say it.
bool onlyBlanks(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// What the voice and its connection's thread share. Everything below the
// lock is guarded by it; the connection itself is the thread's alone.
struct Link {
    using Job = std::function<void(SPDConnection*)>;

    std::mutex lock;
    std::condition_variable changed;
    enum class State { connecting, open, failed } state = State::connecting;
    std::deque<Job> jobs;
    bool closing = false, done = false;
    // The voice's speak-complete event, while the voice lives (0 after).
    com::Handle event = 0;
    // Messages handed over and not yet ended, texts queued and not yet
    // handed over, and the purges so far: a text queued before the last
    // purge is dropped, and a message it gave is not counted.
    std::set<std::size_t> pending, endedEarly;
    int saying = 0;
    unsigned generation = 0;

    void updateEvent() {  // under the lock
        if (event == 0) return;
        if (state != State::connecting && pending.empty() && saying == 0)
            com::setEvent(event);
        else
            com::resetEvent(event);
    }

    void post(Job job) {
        {
            std::lock_guard<std::mutex> g(lock);
            jobs.push_back(std::move(job));
        }
        changed.notify_all();
    }

    void ended(std::size_t msgId) {
        std::lock_guard<std::mutex> g(lock);
        if (!pending.erase(msgId)) {
            // Not yet known (its spd_say has not answered), or purged.
            if (endedEarly.size() > 256) endedEarly.clear();
            endedEarly.insert(msgId);
        }
        updateEvent();
    }
};

// The number the server gave this connection (its notifications carry
// it), or -1 without an answer that holds one. (libspeechd's own
// spd_get_client_id reads an answer that may not be there.)
long clientId(SPDConnection* conn) {
    char* reply = nullptr;
    long id = -1;
    if (spd_execute_command_with_reply(conn, "HISTORY GET CLIENT_ID", &reply) == 0 && reply != nullptr) {
        // "NNN-<number>" on the first line.
        const std::string first(reply, ::strnlen(reply, 64));
        if (first.size() > 4 && first[3] == '-') {
            char* end = nullptr;
            const long n = std::strtol(first.c_str() + 4, &end, 10);
            if (end != first.c_str() + 4 && n >= 0) id = n;
        }
    }
    std::free(reply);
    return id;
}

// The connection's thread: opens it, then makes the calls queued, in order,
// until the voice has gone and nothing is left; then closes it.
void runLink(std::shared_ptr<Link> link) {
    char* error = nullptr;
    SPDConnection* conn = spd_open2("quoril", "voice", nullptr, SPD_MODE_THREADED, nullptr, 1, &error);
    std::free(error);
    const long id = conn != nullptr ? clientId(conn) : -1;
    if (conn != nullptr && id < 0) {
        // Opened, but the server gave no answer that holds its number: a
        // server that has gone (or answers nonsense) is no connection.
        spd_close(conn);
        conn = nullptr;
    }
    const std::size_t client = id < 0 ? 0 : static_cast<std::size_t>(id);
    if (conn != nullptr) {
        {
            std::lock_guard<std::mutex> g(connections().lock);
            connections().links[client] = link;
        }
        conn->callback_end = notified;
        conn->callback_cancel = notified;
        spd_set_notification_on(conn, SPD_END);
        spd_set_notification_on(conn, SPD_CANCEL);
        spd_set_data_mode(conn, SPD_DATA_TEXT);
        // The prompts are Brazilian Portuguese, whatever language the
        // user's default is.
        spd_set_language(conn, kLanguage);
    }
    {
        std::lock_guard<std::mutex> g(link->lock);
        link->state = conn != nullptr ? Link::State::open : Link::State::failed;
        if (conn == nullptr) {
            link->jobs.clear();
            link->saying = 0;
        }
        link->updateEvent();
    }
    for (;;) {
        Link::Job job;
        {
            std::unique_lock<std::mutex> g(link->lock);
            link->changed.wait(g, [&] { return !link->jobs.empty() || link->closing; });
            if (link->jobs.empty()) break;
            job = std::move(link->jobs.front());
            link->jobs.pop_front();
        }
        if (conn != nullptr) job(conn);
    }
    if (conn != nullptr) {
        {
            std::lock_guard<std::mutex> g(connections().lock);
            connections().links.erase(client);
        }
        spd_close(conn);
    }
    {
        std::lock_guard<std::mutex> g(link->lock);
        link->done = true;
    }
    link->changed.notify_all();
}

class SpeechdVoice final : public VoiceBase {
public:
    SpeechdVoice() : link_(std::make_shared<Link>()) {
        {
            std::lock_guard<std::mutex> g(link_->lock);
            link_->event = completeEvent();
            link_->updateEvent();
        }
        std::thread(runLink, link_).detach();
    }
    ~SpeechdVoice() override {
        {
            std::lock_guard<std::mutex> g(link_->lock);
            link_->event = 0;
            ++link_->generation;
            link_->pending.clear();
            link_->saying = 0;
            link_->jobs.push_back([](SPDConnection* c) { spd_cancel(c); });
            link_->closing = true;
        }
        link_->changed.notify_all();
        // A connection that answers is closed before the voice goes; one
        // that does not is left to its thread.
        std::unique_lock<std::mutex> g(link_->lock);
        link_->changed.wait_for(g, kCloseWait, [&] { return link_->done; });
    }

    HResult putref_AudioOutputStream(ISpeechBaseStream* stream) override {
        return stream == nullptr ? com::S_OK : com::E_NOTIMPL;
    }

    HResult GetVoices(const std::u16string& required, const std::u16string& optional,
                      ISpeechObjectTokens** tokens) override {
        {
            std::lock_guard<std::mutex> g(link_->lock);
            if (link_->state != Link::State::open) {
                if (tokens) *tokens = nullptr;
                return com::SPERR_UNINITIALIZED;
            }
        }
        return VoiceBase::GetVoices(required, optional, tokens);
    }

    HResult Speak(const std::u16string& text, std::int32_t flags, std::int32_t* streamNumber) override {
        if (flags & SVSFPurgeBeforeSpeak) {
            {
                std::lock_guard<std::mutex> g(link_->lock);
                ++link_->generation;
                link_->pending.clear();
                link_->saying = 0;
                link_->updateEvent();
            }
            link_->post([](SPDConnection* c) { spd_cancel(c); });
        }
        const std::string utf8 = utf16ToUtf8(text);
        HResult hr = com::S_OK;
        if (streamNumber) *streamNumber = 0;
        if (!onlyBlanks(utf8)) {
            unsigned generation = 0;
            {
                std::lock_guard<std::mutex> g(link_->lock);
                if (link_->state == Link::State::failed) return com::E_FAIL;
                ++link_->saying;
                generation = link_->generation;
                link_->updateEvent();
            }
            link_->post([link = link_.get(), utf8, generation](SPDConnection* c) {
                {
                    std::lock_guard<std::mutex> g(link->lock);
                    if (generation != link->generation) return;  // purged before it was said
                }
                const int id = spd_say(c, SPD_MESSAGE, utf8.c_str());
                std::lock_guard<std::mutex> g(link->lock);
                if (generation != link->generation) return;
                --link->saying;
                if (id >= 0 && !link->endedEarly.erase(static_cast<std::size_t>(id)))
                    link->pending.insert(static_cast<std::size_t>(id));
                link->updateEvent();
            });
        }
        // Synchronous speech waits for the end, a little longer than any
        // short text takes; speech-dispatcher may lose a notification.
        if (!(flags & SVSFlagsAsync)) com::waitForSingleObject(completeEvent(), 10000);
        return hr;
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
            if (token->key() == t.name) {
                const SPDVoiceType type = t.type;
                link_->post([type](SPDConnection* c) { spd_set_voice_type(c, type); });
            }
    }
    // SAPI rates -10..10 onto speech-dispatcher's -100..100.
    void rateChosen(int rate) override {
        link_->post([rate](SPDConnection* c) { spd_set_voice_rate(c, rate * 10); });
    }

private:
    std::shared_ptr<Link> link_;
};

void notified(std::size_t msgId, std::size_t clientId, SPDNotificationType) {
    std::shared_ptr<Link> link;
    {
        std::lock_guard<std::mutex> g(connections().lock);
        auto it = connections().links.find(clientId);
        if (it != connections().links.end()) link = it->second;
    }
    if (link) link->ended(msgId);
}

}  // namespace

HResult createSpeechdVoice(const Guid& iid, void** out) {
    if (out == nullptr) return com::E_POINTER;
    *out = nullptr;
    auto* v = new SpeechdVoice;
    const HResult hr = static_cast<ISpeechVoice*>(v)->QueryInterface(iid, out);
    static_cast<ISpeechVoice*>(v)->Release();
    return hr;
}

}  // namespace platform::sapi5::detail

#endif
