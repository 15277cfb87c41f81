// sd_quoril: the built-in Portuguese voice as an output module of
// speech-dispatcher (module name "quoril").
//
//     sd_quoril [CONFIGURATION]
//
// speech-dispatcher starts it with the path of its configuration file and
// talks to it on standard input and output (servers/spdmodule.hpp holds the
// requests). The voice's files are found as the converter finds them
// (QUORIL.INI in $QUORIL_WINDIR, else /etc/quoril); the normaliser, rules,
// prosody and engine run in this process, loaded once at INIT.
//
// Threads: the main thread owns the protocol, the output and every line
// written; a reader thread posts each input line to it; the voice's thread
// synthesises one message at a time, a group of sentences after another
// (servers/spdmodule.hpp: textGroups), posts its sound in pieces and stays
// a few seconds of sound ahead of what has been heard, no more, so one
// message costs little memory however long it is. STOP is answered by the
// main thread at once: it cuts the output and forgets the message, whose
// thread gives up within the group it is analysing. At the end the main
// thread stops both threads and waits for them before anything they post
// to is torn down. The sound goes either to
// speech-dispatcher (705 AUDIO events, when it offers "server" audio and
// the configuration does not refuse it) or to our own output (the wave-out
// device on SDL audio, on the PulseAudio sink or ALSA device it names).
//
// Configuration (one "Name value" a line, '#' comments):
//   QuorilServerAudio 1   take speech-dispatcher's audio when offered (0:
//                         always play through our own output)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "edge.hpp"
#include "platform/sound/waveout.hpp"
#include "platform/system/messages.hpp"
#include "platform/system/system.hpp"
#include "servers/spdmodule.hpp"
#include "servers/tirel.hpp"
#include "tts/uttsprosodia.hpp"
#include "tts/uttstirel.hpp"

namespace {

using namespace servers::spdmodule;

constexpr int rate = 16000;
constexpr std::size_t firstChunk = 160;    // the first sound goes out as soon as there is 10 ms of it
constexpr std::size_t chunkSamples = 1600;  // later pieces of 100 ms
// The voice's thread stays this far ahead of what has been heard (or sent
// to speech-dispatcher), so that a long message holds little sound.
constexpr long long aheadSamples = 3 * rate;
// Sound for speech-dispatcher goes out at the pace it plays, this far ahead:
// what it holds when a STOP comes is all that can still be heard.
constexpr int serverLeadMs = 100;

std::atomic<int> logLevel{3};  // the voice's thread logs too
void log(int level, const std::string& text) {
    if (level <= logLevel) std::fprintf(stderr, "sd_quoril: %s\n", text.c_str());
}

bool writeOut(const std::string& bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
        platform::postQuitMessage(1);  // speech-dispatcher is gone
        return false;
    }
    return true;
}
void writeLines(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& l : lines) all += l + "\n";
    if (!all.empty()) writeOut(all);
}

// One message being synthesised. The voice's thread reads what is here and
// the voice's tables; it talks to the main thread by posted calls, and the
// main thread tells it how much of its sound has been heard.
struct Job {
    int id = 0;
    Kind kind = Kind::text;
    std::string utf8;
    Settings settings;
    std::atomic<bool> cancel{false}, pause{false};

    // Sound made and not yet heard: the thread waits while it is too much.
    void heard(std::size_t samples) {
        std::lock_guard<std::mutex> g(lock);
        ahead -= static_cast<long long>(samples);
        room.notify_all();
    }
    void made(std::size_t samples) {
        std::lock_guard<std::mutex> g(lock);
        ahead += static_cast<long long>(samples);
    }
    void end() {
        std::lock_guard<std::mutex> g(lock);
        cancel = true;
        room.notify_all();
    }
    // False once the message is given up.
    bool waitForRoom() {
        std::unique_lock<std::mutex> g(lock);
        room.wait(g, [&] { return ahead <= aheadSamples || cancel.load(); });
        return !cancel;
    }

private:
    std::mutex lock;
    std::condition_variable room;
    long long ahead = 0;
};

// The voice's thread: one message at a time, the latest one given.
class VoiceThread {
public:
    void start() { thread_ = std::thread([this] { run(); }); }
    void give(std::shared_ptr<Job> job) {
        std::lock_guard<std::mutex> g(lock_);
        next_ = std::move(job);
        wake_.notify_all();
    }
    // Gives up the message in hand and waits for the thread to end.
    void end() {
        {
            std::lock_guard<std::mutex> g(lock_);
            ending_ = true;
            if (next_) next_->end();
            if (current_) current_->end();
            wake_.notify_all();
        }
        if (thread_.joinable()) thread_.join();
    }

private:
    void run() {
        for (;;) {
            std::shared_ptr<Job> job;
            {
                std::unique_lock<std::mutex> g(lock_);
                current_.reset();
                wake_.wait(g, [&] { return ending_ || next_; });
                if (ending_) return;
                job = current_ = std::move(next_);
            }
            synthesise(*job);
        }
    }
    static void synthesise(Job& job);

    std::mutex lock_;
    std::condition_variable wake_;
    std::shared_ptr<Job> next_, current_;
    bool ending_ = false;
    std::thread thread_;
};

class Module : public Host {
public:
    explicit Module(bool serverAudioAllowed) : serverAudioAllowed_(serverAudioAllowed) {}

    // ---- requests ----
    bool init(std::string& message) override {
        uttsprosodia::setMessageHandler([](const std::string& m) { log(1, platform::cp1252ToUtf8(m)); });
        const servers::tirel::VoiceFiles& f = servers::tirel::voiceFiles();
        uttstirel::ttsSetOutputFile("");
        loaded_ = uttstirel::ttsOpen(f.database, f.rules, f.exceptions, f.abbreviations, f.prosody, f.diphones);
        if (loaded_) {
            message = "the built-in Portuguese voice is ready";
            return true;
        }
        message = uttstirel::ttsLastError().empty()
                      ? "the diphone engine or its database " + platform::cp1252ToUtf8(f.database) + " could not be loaded"
                      : platform::cp1252ToUtf8(uttstirel::ttsLastError());
        message += " (settings: " + platform::windowsDirectory() + "/QUORIL.INI)";
        return false;
    }

    bool audio(const Params& params) override {
        std::string method, pulseDevice, alsaDevice;
        for (const auto& [name, value] : params) {
            if (name == "audio_output_method") method = value;
            else if (name == "audio_pulse_device") pulseDevice = value;
            else if (name == "audio_alsa_device") alsaDevice = value;
        }
        if (method == "server") {
            if (!serverAudioAllowed_) return false;
            serverAudio_ = true;
            log(4, "sound through speech-dispatcher");
            return true;
        }
        sd_quoril::chooseSoundOutput(method, pulseDevice, alsaDevice);
        if (!device_) {
            platform::WaveFormat f;
            f.channels = 1;
            f.samplesPerSec = rate;
            f.bitsPerSample = 16;
            f.blockAlign = 2;
            f.avgBytesPerSec = 2 * rate;
            if (platform::waveOutOpen(&device_, platform::WAVE_MAPPER, &f, 0, platform::CALLBACK_WINDOW) !=
                platform::MMSYSERR_NOERROR) {
                device_ = 0;
                log(1, "no sound output for " + method);
                return false;
            }
        }
        serverAudio_ = false;
        log(4, "sound through our own output (" + method + ")");
        return true;
    }

    bool speaking() override { return job_ != nullptr; }

    void speak(Kind kind, const std::string& utf8) override {
        // The message is read on the voice's thread: a long one never
        // holds up the requests that follow it.
        auto job = std::make_shared<Job>();
        job->id = ++lastId_;
        job->kind = kind;
        job->utf8 = utf8;
        job->settings = settings_;
        if (kind != Kind::text) job->settings.spelling = false;
        job_ = job;
        begun_ = synthDone_ = paused_ = stopping_ = false;
        output_.clear();
        toServer_.clear();
        sentSamples_ = 0;
        if (!loaded_) {
            // Nothing to speak with: the message ends at once, as it must.
            platform::postCall([this, id = job->id] { done(id, false); });
            return;
        }
        if (!voiceStarted_) {
            voice_.start();
            voiceStarted_ = true;
        }
        voice_.give(job);
    }

    void stop() override {
        if (!job_ || stopping_) return;
        stopping_ = true;
        job_->end();
        cutOutput();
        finishIfDone();
    }

    void pause() override {
        if (job_) job_->pause = true;
    }

    bool set(const Params& params) override {
        bool ok = true;
        for (const auto& [name, value] : params) ok = applySetting(settings_, name, value) && ok;
        return ok;
    }
    void logLevel(int level) override { ::logLevel = level; }
    std::vector<std::string> voices() override { return {"quoril\tpt-BR\tnone"}; }

    // ---- what the threads post ----
    void chunk(int id, std::vector<std::int16_t> samples) {
        if (!current(id) || stopping_ || samples.empty()) return;
        begin();
        if (serverAudio_) {
            toServer_.push_back(ServerOut{std::move(samples), {}});
            pumpServer();
            return;
        }
        if (!device_) {
            job_->heard(samples.size());
            return;
        }
        auto out = std::make_unique<Block>();
        out->data.resize(samples.size() * 2);
        std::memcpy(out->data.data(), samples.data(), out->data.size());
        out->header.data = out->data.data();
        out->header.bufferLength = static_cast<std::uint32_t>(out->data.size());
        platform::waveOutPrepareHeader(device_, &out->header, sizeof(platform::WaveHdr));
        platform::waveOutWrite(device_, &out->header, sizeof(platform::WaveHdr));
        output_.push_back(Out{std::move(out), {}});
    }

    void begin() {
        if (begun_) return;
        writeLines({"701 BEGIN"});
        begun_ = true;
    }

    void mark(int id, const std::string& name) {
        if (!current(id) || stopping_) return;
        if (serverAudio_ && !toServer_.empty()) toServer_.push_back(ServerOut{{}, name});
        else if (serverAudio_ || output_.empty()) reachMark(name);
        else output_.push_back(Out{nullptr, name});
    }

    void done(int id, bool paused) {
        if (!current(id)) return;
        synthDone_ = true;
        paused_ = paused_ || paused;
        finishIfDone();
    }

    void blockDone(platform::WaveHdr* header) {
        auto it = std::find_if(output_.begin(), output_.end(),
                               [&](const Out& o) { return o.block && &o.block->header == header; });
        if (it == output_.end()) return;
        platform::waveOutUnprepareHeader(device_, header, sizeof(platform::WaveHdr));
        if (job_) job_->heard(header->bufferLength / 2);
        output_.erase(output_.begin(), it + 1);  // blocks finish in order
        while (!output_.empty() && !output_.front().block) {
            const std::string name = output_.front().mark;
            output_.pop_front();
            reachMark(name);
        }
        finishIfDone();
    }

    // Ends the voice's thread (within the group it analyses) and the output.
    void close() {
        if (job_) job_->end();
        voice_.end();
        if (device_) {
            platform::waveOutReset(device_);
            output_.clear();
            platform::waveOutClose(device_);
            device_ = 0;
        }
        if (loaded_) uttstirel::ttsClose();
        loaded_ = false;
    }

private:
    struct Block {
        platform::WaveHdr header;
        std::vector<std::uint8_t> data;
    };
    struct Out {
        std::unique_ptr<Block> block;  // null: a mark
        std::string mark;
    };
    struct ServerOut {
        std::vector<std::int16_t> samples;  // empty: a mark
        std::string mark;
    };

    bool current(int id) const { return job_ && job_->id == id; }

    void reachMark(const std::string& name) {
        begin();  // a message that starts with a mark has begun there
        writeLines({"700-" + name, "700 INDEX MARK"});
        if (job_->pause && name.rfind("__spd_", 0) == 0) {
            // Paused at a place speech-dispatcher can resume from.
            paused_ = true;
            job_->end();
            stopping_ = true;
            cutOutput();
        }
    }

    // Drops the sound not yet heard (and the marks after it): the blocks
    // queued on our output come back through their notices.
    void cutOutput() {
        toServer_.clear();
        std::erase_if(output_, [](const Out& o) { return o.block == nullptr; });
        if (device_ && !output_.empty()) platform::waveOutReset(device_);
    }

    // The message ends once its sound is out, or at once when it was
    // stopped (its thread, told to give up, posts nothing that is used).
    void finishIfDone() {
        if (!job_ || !(synthDone_ || stopping_) || !output_.empty() || !toServer_.empty()) return;
        std::vector<std::string> events;
        if (!begun_) events.push_back("701 BEGIN");
        events.push_back(paused_ ? "704 PAUSE" : stopping_ ? "703 STOP" : "702 END");
        job_.reset();
        writeLines(events);
    }

    // 16-bit samples to speech-dispatcher; '\n' and 0x7D in the data are
    // sent as 0x7D and the byte with its bit 5 turned.
    void sendAudio(const std::vector<std::int16_t>& samples) {
        std::string msg = "705-bits=16\n705-num_channels=1\n705-sample_rate=16000\n705-num_samples=" +
                          std::to_string(samples.size()) + "\n705-big_endian=0\n705-AUDIO";
        msg += '\0';
        const auto* bytes = reinterpret_cast<const unsigned char*>(samples.data());
        for (std::size_t i = 0; i < samples.size() * 2; ++i) {
            const unsigned char b = bytes[i];
            if (b == '\n' || b == 0x7D) {
                msg += static_cast<char>(0x7D);
                msg += static_cast<char>(b ^ 0x20);
            } else {
                msg += static_cast<char>(b);
            }
        }
        msg += "\n705 AUDIO\n";
        writeOut(msg);
    }

public:
    // Sends speech-dispatcher what its playing has made room for, and the
    // marks reached; answers the milliseconds until more can go (-1: none
    // waiting).
    int pumpServer() {
        using namespace std::chrono;
        const auto now = steady_clock::now();
        if (sentSamples_ == 0) serverClock_ = now;
        while (!toServer_.empty()) {
            if (toServer_.front().samples.empty()) {
                const std::string name = toServer_.front().mark;
                toServer_.pop_front();
                reachMark(name);
                continue;
            }
            const long long aheadMs = sentSamples_ * 1000 / rate - duration_cast<milliseconds>(now - serverClock_).count();
            if (aheadMs > serverLeadMs) return static_cast<int>(aheadMs - serverLeadMs);
            sendAudio(toServer_.front().samples);
            sentSamples_ += static_cast<long long>(toServer_.front().samples.size());
            if (job_) job_->heard(toServer_.front().samples.size());
            toServer_.pop_front();
        }
        finishIfDone();
        return -1;
    }

public:
    static Module& module();

private:
    bool serverAudioAllowed_;
    bool serverAudio_ = false;
    bool loaded_ = false;
    platform::HWaveOut device_ = 0;
    Settings settings_;
    std::shared_ptr<Job> job_;
    int lastId_ = 0;
    bool begun_ = false, synthDone_ = false, paused_ = false, stopping_ = false;
    std::deque<Out> output_;
    std::deque<ServerOut> toServer_;
    std::chrono::steady_clock::time_point serverClock_;
    long long sentSamples_ = 0;
    VoiceThread voice_;
    bool voiceStarted_ = false;
};

Module* theModule = nullptr;
Module& Module::module() { return *theModule; }

void VoiceThread::synthesise(Job& job) {
    const Settings& s = job.settings;
    uttstirel::ttsSetFactors(durationFactorForRate(s.rate), pitchFactorFor(s.pitch));
    const double gain = volumeGain(s.volume);
    std::vector<std::int16_t> pending;
    bool sentAny = false;
    const auto flush = [&] {
        if (pending.empty()) return true;
        job.made(pending.size());
        platform::postCall([id = job.id, p = std::move(pending)]() mutable { Module::module().chunk(id, std::move(p)); });
        pending.clear();
        sentAny = true;
        return job.waitForRoom();
    };
    const auto sink = [&](const std::int16_t* samples, std::size_t count) {
        for (std::size_t i = 0; i < count && !job.cancel; ++i) {
            pending.push_back(static_cast<std::int16_t>(std::clamp<long>(std::lround(samples[i] * gain), -32768, 32767)));
            if (pending.size() >= (sentAny ? chunkSamples : firstChunk)) flush();
        }
        return !job.cancel.load();
    };
    std::vector<Piece> pieces;
    switch (job.kind) {
    case Kind::text: pieces = readMessage(job.utf8); break;
    case Kind::character: pieces = {Piece{characterText(job.utf8), 0, {}}}; break;
    case Kind::key: pieces = {Piece{keyText(job.utf8), 0, {}}}; break;
    case Kind::soundIcon: pieces = {Piece{iconText(job.utf8), 0, {}}}; break;
    }
    job.utf8.clear();
    job.utf8.shrink_to_fit();
    bool paused = false;
    for (const Piece& piece : pieces) {
        for (const std::string& group : textGroups(spokenText(piece.text, s))) {
            if (job.cancel) break;
            uttstirel::ttsSynthesize(group, sink);
            flush();
        }
        // A pause is silence, sent as the sound is, a piece at a time.
        for (long left = static_cast<long>(piece.pauseMs) * rate / 1000; left > 0 && !job.cancel;) {
            const long n = std::min<long>(left, static_cast<long>(chunkSamples));
            pending.assign(static_cast<std::size_t>(n), 0);
            flush();
            left -= n;
        }
        if (job.cancel) break;
        if (!piece.mark.empty()) {
            platform::postCall([id = job.id, m = piece.mark] { Module::module().mark(id, m); });
            if (job.pause && piece.mark.rfind("__spd_", 0) == 0) {
                paused = true;
                break;
            }
        }
    }
    if (!job.cancel) platform::postCall([id = job.id, paused] { Module::module().done(id, paused); });
}

// "QuorilServerAudio 0" in the configuration refuses speech-dispatcher's audio.
bool serverAudioAllowed(const char* configFile) {
    if (!configFile) return true;
    std::ifstream in(configFile);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t p = line.find_first_not_of(" \t");
        if (p == std::string::npos || line[p] == '#') continue;
        if (line.compare(p, 17, "QuorilServerAudio") == 0) {
            const std::size_t v = line.find_first_not_of(" \t\"", p + 17);
            return !(v != std::string::npos && line[v] == '0');
        }
    }
    return true;
}

Protocol* theProtocol = nullptr;
void handleLine(std::string line) { writeLines(theProtocol->feed(std::move(line))); }

// Reads standard input a line at a time and posts each line to the main
// thread until the input ends (then it posts the quit) or it is told to
// stop. A line longer than any message is cut one byte past that length:
// the request grammar refuses it, and the module does not hold all of it.
class Reader {
public:
    bool start() {
        if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) return false;
        thread_ = std::thread([this] { run(); });
        return true;
    }
    void end() {
        if (!thread_.joinable()) return;
        const char c = 1;
        [[maybe_unused]] ssize_t n = ::write(wake_[1], &c, 1);
        thread_.join();
        ::close(wake_[0]);
        ::close(wake_[1]);
    }

private:
    void run() {
        std::string line;
        char buf[65536];
        for (;;) {
            pollfd p[2] = {{0, POLLIN, 0}, {wake_[0], POLLIN, 0}};
            if (::poll(p, 2, -1) < 0) {
                if (errno == EINTR) continue;
                break;
            }
            if (p[1].revents) return;  // the main thread is ending: it posts nothing more
            const ssize_t n = ::read(0, buf, sizeof buf);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) break;
            for (const char *p = buf, *end = buf + n; p < end;) {
                const char* eol = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
                const char* stop = eol ? eol : end;
                const std::size_t room = maxMessageBytes + 1 - std::min(line.size(), maxMessageBytes + 1);
                line.append(p, std::min(room, static_cast<std::size_t>(stop - p)));
                if (eol) {
                    platform::postCall([l = std::move(line)]() mutable { handleLine(std::move(l)); });
                    line = std::string();
                }
                p = eol ? eol + 1 : end;
            }
        }
        if (!line.empty()) platform::postCall([l = std::move(line)]() mutable { handleLine(std::move(l)); });
        platform::postQuitMessage(0);
    }

    int wake_[2] = {-1, -1};
    std::thread thread_;
};

std::atomic<bool> signalled{false};
extern "C" void onSignal(int) { signalled = true; }

}  // namespace

int main(int argc, char** argv) {
    sd_quoril::prepareProcess();
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);

    Module module(serverAudioAllowed(argc > 1 ? argv[1] : nullptr));
    theModule = &module;
    Protocol protocol(module);
    theProtocol = &protocol;

    // Lines as they come, to the main thread; the end of input ends the module.
    Reader reader;
    if (!reader.start()) {
        log(1, "cannot read the requests");
        return 1;
    }

    int code = 0;
    bool quit = false;
    int wait = 200;
    while (!quit && !protocol.quit()) {
        platform::waitMessageFor(wait);
        platform::Msg m;
        while (!quit && !protocol.quit() && platform::peekMessage(m)) {
            if (m.message == platform::WM_QUIT) {
                quit = true;
                code = static_cast<int>(m.wParam);
            } else if (m.message == platform::MM_WOM_DONE) {
                module.blockDone(reinterpret_cast<platform::WaveHdr*>(m.lParam));
            } else {
                platform::dispatchMessage(m);
            }
        }
        if (signalled) quit = true;
        const int next = module.pumpServer();
        wait = next < 0 ? 200 : std::clamp(next, 1, 200);
    }
    // Nothing may post once the program ends: both threads are stopped and
    // waited for first.
    reader.end();
    module.close();
    std::fflush(stdout);
    return code;
}
