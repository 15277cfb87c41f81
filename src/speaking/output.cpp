// Speaking output.
//
// speakText takes a text apart from the front, one piece per pass, with one
// space appended so that every run has an end:
//   - each leading 0 is said with the recorded word zero;
//   - a run of digits and hyphens starting with 1..9 is spelled when it holds
//     a hyphen or has seven or more characters, else read as a number;
//   - a run of word characters (letters, accented ones too, and spaces, so a
//     phrase is one run) goes to the rule engine and the diphone synthesizer,
//     except "www" written alone before a non-word character, which is
//     spelled; a hyphen between two words is dropped;
//   - anything else is a symbol: a hyphen is the minus sign before a digit,
//     punctuation before a space or another hyphen, else its recording; "://"
//     says its colon; ( ) , . : ; are punctuation (their recording, then the
//     pause the mark and the next character call for); tabs say nothing; any
//     other symbol says its recording. The fifth and later repeats of one
//     symbol in a row are only a click.
// The signs above 127 that are not letters (typographic quotes and dashes,
// the ellipsis, euro, degree, ordinal signs) are symbols too: the curly
// quotes, the dashes and the ellipsis as their plain forms, the others by
// their recordings ("euro", "grau", "ordinal masculino").
// A key waiting ends the text before its next piece.
//
// With a speech server started, the whole text goes to the server instead.
#include "speaking/output.hpp"

#include <algorithm>
#include <cstdio>

#include "console/qrcrt.hpp"
#include "numbers/qrlenum.hpp"
#include "platform/sound/audio.hpp"
#include "platform/sound/waveout.hpp"
#include "platform/system/messages.hpp"
#include "platform/system/system.hpp"
#include "platform/window/window.hpp"
#include "servers/dispatch.hpp"
#include "servers/sapi5.hpp"
#include "sound/qrwav.hpp"
#include "speaking/settings.hpp"
#include "speaking/soundnames.hpp"
#include "speaking/sounds.hpp"
#include "synth/qrtradut.hpp"
#include "synth/regras.hpp"

namespace speaking {
namespace {

constexpr int kDefaultSpeed = 3;
constexpr int kMaxSpeed = 5;
constexpr int kDefaultServerType = 4;
constexpr std::size_t kDatabaseNameLength = 8;
constexpr std::size_t kSpellDigits = 7;  // digit runs this long are spelled
constexpr int kRepeatsVoiced = 3;        // repeats of a symbol voiced before clicks
constexpr int kPauseStep = 50;
constexpr int kMaxPause = 5000;  // ms: the longest punctuation pause the settings may ask for
constexpr int kWaitSlice = 20;  // longest sleep between two looks at the player
constexpr std::uint8_t kHyphen = '-';

struct OutputState {
    int speed = kDefaultSpeed;
    Pauses pauses;
    bool serverActive = false;
    int serverType = kDefaultServerType;
    bool serverPending = false;
    bool stopRequest = false;
    bool echo = true;
    bool firstKeyClearing = true;
    bool noSoundTold = false;  // the missing sound device is told once, not at every restart
    // A speech server that could not start or stopped answering is not
    // started again in this run; why is told once, on the screen and aloud.
    bool serverGivenUp = false;
    bool serverFailureTold = false;
    std::string untoldOnScreen, untoldAloud;
    std::string messageDirectory;
    std::function<void(const std::string&)> trace;
    std::function<int()> synthStartStandIn;
    std::function<void(const std::string&)> wordsStandIn;
};

OutputState& state() {
    static OutputState s = [] {
        // Module start: the click is drawn once, before anything is said;
        // the thread's COM-like layer and the speech servers are set up
        // once, not at every start of speech.
        clickImage();
        servers::registerSapi5Servers();
        return OutputState{};
    }();
    return s;
}

void note(const std::string& what) {
    if (state().trace) state().trace(what);
}

// The Windows-1252 signs above 127 that are not letters: typographic
// quotes and dashes, the ellipsis, the euro, the degree and ordinal signs.
// Read as letters, they went to the rules and came out as vowels or as the
// recording of byte 1 ("controle a"); they are symbols, said by their
// recordings, and the few with a plain counterpart are read as it.
bool isSignAbove127(std::uint8_t c) {
    if (c < 128) return false;
    switch (c) {
        case 138: case 140: case 142: case 154: case 156: case 158: case 159:  // S, OE, Z with marks
            return false;
        case 215: case 247:  // times, divided by
            return true;
        default:
            return c < 192;
    }
}

// The byte a sign is read as: the plain quote, apostrophe, hyphen or full
// stop for their typographic forms, a space for the no-break space.
std::uint8_t plainSign(std::uint8_t c) {
    switch (c) {
        case 145: case 146: return '\'';
        case 147: case 148: case 132: return '"';
        case 150: case 151: return '-';
        case 133: return '.';
        case 160: return ' ';
        default: return c;
    }
}

constexpr std::uint8_t kSoftHyphen = 173;  // never seen, never said

bool isWordChar(std::uint8_t c) {
    return c == ' ' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 128 && !isSignAbove127(c));
}

bool isLetter(std::uint8_t c) { return c != ' ' && isWordChar(c); }

bool isDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

// A text with one space appended, read in place: the text may be a whole
// line of a file, of any length, and is not copied for the sake of a space.
class SpacedText {
public:
    explicit SpacedText(const std::string& text) : text_(text) {}
    std::size_t size() const { return text_.size() + 1; }
    char operator[](std::size_t i) const { return i < text_.size() ? text_[i] : ' '; }
    std::string substr(std::size_t pos, std::size_t n) const {
        if (pos >= size()) return {};
        n = std::min(n, size() - pos);
        std::string part = pos < text_.size() ? text_.substr(pos, std::min(n, text_.size() - pos)) : std::string();
        if (pos + n == size()) part += ' ';
        return part;
    }
    int compare(std::size_t pos, std::size_t n, const char* other) const { return substr(pos, n).compare(other); }

private:
    const std::string& text_;
};

// The byte at i as it is read (a typographic sign as its plain form).
template <class Text>
std::uint8_t at(const Text& t, std::size_t i) {
    return i < t.size() ? plainSign(static_cast<std::uint8_t>(t[i])) : 0;
}

// A yes/no setting: yes when present and not beginning with N.
bool flagValue(const std::string& v) { return !v.empty() && v[0] != 'N' && v[0] != 'n'; }

int numberValue(const std::string& v, int fallback) { return platform::parseProfileInt(v, fallback); }

// Reads the SINTETIZADOR keys of the speed in use and hands them over.
void applySpeedSettings() {
    OutputState& s = state();
    const std::string n = std::to_string(s.speed);
    const auto key = [&](const char* name) { return settingsValue("SINTETIZADOR", name + n); };
    std::string base = key("DIFONES");
    if (base.size() > kDatabaseNameLength) base.resize(kDatabaseNameLength);
    // With no name set, the synthesizer keeps the one it has.
    if (!base.empty()) qrtradut::setDatabaseName(base);
    qrtradut::setSynthParams(numberValue(key("CORTEFON"), 0), numberValue(key("SOBRAFON"), 0),
                             numberValue(key("INTERPAL"), 0), flagValue(key("CORTAFALA")),
                             flagValue(key("RAPIDINHO")));
    // The synthesizer bounds its own numbers; the pauses are bounded here.
    const auto pause = [&](const char* name, int fallback) {
        return std::clamp(numberValue(key(name), fallback), 0, kMaxPause);
    };
    s.pauses.fullStop = pause("PAUSAPONTO", 250);
    s.pauses.comma = pause("PAUSAVIRG", 150);
    s.pauses.colon = pause("PAUSADOISPONTOS", 200);
}

std::string withBackslash(std::string dir) {
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
    return dir;
}

void letter(std::uint8_t c) {
    note("letter " + std::to_string(c));
    playLetter(c);
}

void speakWords(const std::string& run) {
    // A run of spaces alone has nothing to say.
    if (run.find_first_not_of(' ') == std::string::npos) return;
    note("words " + run);
    OutputState& s = state();
    if (s.wordsStandIn) s.wordsStandIn(run);
    else qrtradut::synthesize(regras::transcribe(run), false);
}

// A punctuation mark at t[i]: its recording once the player is silent, then
// the pause the mark asks for.
void speakPunctuation(const SpacedText& t, std::size_t i) {
    if (qrcrt::keyWaiting()) return;
    waitWhileSpeaking();
    const std::uint8_t mark = at(t, i);
    letter(mark);
    const bool spaceNext = at(t, i + 1) == ' ';
    const Pauses& p = state().pauses;
    int pause = 0;
    switch (mark) {
        case '(': case ')': case ':': case ';': pause = p.colon; break;
        case ',': case '-': pause = spaceNext ? p.comma : 0; break;
        case '.': pause = spaceNext ? p.fullStop : 0; break;
        default: break;
    }
    if (pause > 0) {
        note("pause " + std::to_string(pause));
        speakPause(pause);
    }
}

// The server that could not start or stopped answering is given up for the
// run: the diphone synthesizer speaks from now on, and the reason waits to
// be told (once) at the next point where something is said.
void giveUpServer() {
    OutputState& s = state();
    s.serverGivenUp = true;
    if (s.serverFailureTold || !s.untoldOnScreen.empty()) return;
    const servers::ServerFailure& f = servers::serverFailure();
    const std::string line = std::string(s.serverType == 3 ? "Voz embutida" : "Servidor de fala") +
                             " indispon\xEDvel: " + (f.reason.empty() ? std::string("n\xE3o iniciou") : f.reason);
    s.untoldAloud = line;
    s.untoldOnScreen = f.place.empty() ? line : line + " (" + f.place + ")";
}

void handOverToSynthesizer() {
    OutputState& s = state();
    s.serverActive = false;
    s.serverPending = false;
    servers::serverEnd();
    giveUpServer();
}

// Writes and says, with the diphone synthesizer, why the server is not
// heard, on a line of its own; once.
void tellServerFailure() {
    OutputState& s = state();
    if (s.untoldOnScreen.empty()) return;
    const std::string screen = s.untoldOnScreen, aloud = s.untoldAloud;
    s.untoldOnScreen.clear();
    s.untoldAloud.clear();
    s.serverFailureTold = true;
    std::fprintf(stderr, "convzul: %s\n", platform::cp1252ToUtf8(screen).c_str());
    if (qrcrt::cursorColumn() != 1) qrcrt::writeText("\r\n");
    qrcrt::writeText(screen);
    qrcrt::flushOutput();
    speakText(aloud);
    qrcrt::writeText("\r\n");
    qrcrt::flushOutput();
}

// Whether the server still sounds; a server found stalled is handed over.
bool serverSounding() {
    OutputState& s = state();
    if (!s.serverActive) return false;
    const bool busy = servers::serverBusy(0);
    if (servers::serverStalled()) {
        handOverToSynthesizer();
        return false;
    }
    return busy;
}

// False when the server was handed over while the text waited for it.
bool speakToServer(const std::string& text) {
    OutputState& s = state();
    waitWhileSpeaking();
    if (!s.serverActive) return false;
    if (qrcrt::keyWaiting()) return true;
    note("server " + text);
    servers::serverSpeak(text);
    s.serverPending = true;
    return true;
}

// A braille keyboard the window cannot offer: the warning tone, then the
// reason on a line of its own, written and said.
void refuseBraille(const std::string& reason) {
    beepError();
    if (qrcrt::cursorColumn() != 1) qrcrt::writeText("\r\n");
    writeLineSpoken(reason);
}

// The first file or folder the diphone synthesizer needs that is not
// there, in the order it looks for them; empty when all are.
std::string missingForSynthesizer() {
    const std::string ini = platform::windowsDirectory() + "/QUORIL.INI";
    if (!platform::fileExists(ini)) return ini;
    for (const std::string& dir : {qrtradut::lettersDirectory(), qrtradut::diphoneDirectory()})
        if (!dir.empty() && !platform::directoryExists(dir)) return dir;
    const std::string& diphones = qrtradut::diphoneDirectory();
    if (diphones.empty()) return {};
    const std::string base = diphones + qrtradut::databaseName();
    for (const std::string& file : {base + ".IND", base + ".DIF", diphones + "regras.rgr", diphones + "portug.exc"})
        if (!platform::fileExists(file)) return file;
    return {};
}

// Writes a line on the screen (not spoken), broken at blanks so that no word
// is cut at the right edge; only a word longer than a row is cut.
void writeWrapped(const std::string& text) {
    const std::size_t width = qrcrt::screenColumns;
    std::size_t column = std::min<std::size_t>(static_cast<std::size_t>(std::max(qrcrt::cursorColumn(), 1) - 1), width);
    std::size_t i = 0;
    while (text.size() - i > width - column) {
        const std::size_t room = width - column;
        const std::size_t blank = text.rfind(' ', i + room);
        std::size_t next;
        if (blank != std::string::npos && blank > i) {
            qrcrt::writeText(text.substr(i, blank - i));
            next = blank + 1;
        } else if (column > 0) {
            next = i;  // the word starts on the next row
        } else {
            qrcrt::writeText(text.substr(i, room));
            next = i + room;
        }
        qrcrt::writeText("\r\n");
        i = next;
        column = 0;
    }
    qrcrt::writeLine(text.substr(i));
}

}  // namespace

void startSpeech(int speed, const std::string& dir) {
    OutputState& s = state();
    qrcrt::setBrailleRefusalHandler(refuseBraille);
    if (speed <= 0) speed = numberValue(settingsValue("TRADUTOR", "VELOCIDADE"), 0);
    if (speed <= 0 || speed > kMaxSpeed) speed = kDefaultSpeed;
    s.speed = speed;
    applySpeedSettings();

    const int result = s.synthStartStandIn ? s.synthStartStandIn() : qrtradut::synthStart();
    if (result != 0) {
        const std::string first = "Erro de inicializa\xE7\xE3o: " + std::to_string(result);
        const std::string second = "Banco de dados de voz: " + qrtradut::databaseName();
        qrcrt::writeLine(first);
        qrcrt::writeLine(second);
        qrcrt::flushOutput();
        // Standard error names what is missing, for whoever runs the
        // program from a script or looks at a log.
        const std::string missing = missingForSynthesizer();
        std::string report = platform::cp1252ToUtf8("convzul: " + first + "\n" + second + "\n");
        if (!missing.empty())
            report += platform::cp1252ToUtf8(platform::pathExists(missing) ? "N\xE3o \xE9 um arquivo comum: "
                                                                            : "N\xE3o encontrado: ") +
                      platform::toNativeName(missing) + "\n";
        std::fputs(report.c_str(), stderr);
        std::fflush(stderr);
        qrtradut::synthStop();
        qrcrt::readLine();
        qrcrt::closeScreen(1);
    }

    s.messageDirectory = withBackslash(dir);
    setMessageSoundDirectory(s.messageDirectory);
    setLettersDirectory(lettersDirectoryFromSettings());
    applySpeedSettings();

    s.serverActive = false;
    const servers::ServerSettings server = servers::serverSettings(s.speed);
    if (server.wanted) {
        s.serverType = server.type;
        if (!s.serverGivenUp) {
            s.serverActive = servers::serverStart(server.voice, server.speed, server.pitch, server.type, "");
            if (!s.serverActive) giveUpServer();
        }
    }

    // A user who hears nothing must at least find out why on the screen;
    // once: a speed change (Ctrl+F4) starts speech again.
    const std::string noSound = s.noSoundTold ? std::string() : platform::audio::unavailableReason();
    if (!noSound.empty()) {
        s.noSoundTold = true;
        const std::string line = "Sem som: o dispositivo de som n\xE3o abriu (" + noSound + ")";
        writeWrapped(line);
        std::fprintf(stderr, "convzul: %s\n", platform::cp1252ToUtf8(line).c_str());
    }
    tellServerFailure();
}

void showMessage(const std::string& title, const std::string& text) {
    // Heard in every backend: the text is written on the screen and said
    // while messages are still pumped for the voice, and only then does the
    // box (or the terminal's line) wait for its key. Where no box can be
    // shown, the screen and the voice have given it already.
    if (qrcrt::cursorColumn() != 1) qrcrt::writeText("\r\n");
    writeLineSpoken(title + ": " + text);
    waitWhileSpeaking();
    platform::messageBox(title, text);
}

void endSpeech() {
    OutputState& s = state();
    waitWhileSpeaking();
    cutSpeech();
    if (s.serverActive) {
        servers::serverEnd();
        s.serverActive = false;
        s.serverPending = false;
    }
    qrtradut::synthStop();
}

void writeSpoken(const std::string& text) {
    qrcrt::writeText(text);
    qrcrt::flushOutput();
    speakText(text);
}

void writeLineSpoken(const std::string& text) {
    writeSpoken(text);
    qrcrt::writeText("\r\n");
    qrcrt::flushOutput();
    // Why the screen cannot show everything, once: written in lines the
    // window shows whole, said as one text.
    std::string said;
    for (const std::string& line : qrcrt::takeScreenNotice()) {
        qrcrt::writeLine(line);
        said += (said.empty() ? "" : " ") + line;
    }
    if (!said.empty()) {
        qrcrt::flushOutput();
        speakText(said);
    }
}

void speakText(const std::string& text) {
    OutputState& s = state();
    tellServerFailure();
    if (s.serverActive) {
        if (speakToServer(text)) return;
        tellServerFailure();
    }
    s.stopRequest = false;
    const SpacedText t(text);
    std::size_t i = 0;
    std::uint8_t lastSymbol = ' ';
    int repeats = 0;
    while (i < t.size() && !s.stopRequest) {
        if (qrcrt::keyWaiting()) {
            cutSpeech();
            break;
        }
        while (at(t, i) == '0') {
            note("zero");
            playSound(soundnames::zeroSound);
            ++i;
        }
        const std::uint8_t c = at(t, i);
        if (c >= '1' && c <= '9') {
            std::size_t end = i;
            while (end < t.size() && (isDigit(at(t, end)) || at(t, end) == kHyphen)) ++end;
            const std::string run = t.substr(i, end - i);
            if (run.find('-') != std::string::npos || run.size() >= kSpellDigits) {
                spellText(run);
            } else {
                const std::string words = qrlenum::numberToWords(std::stoull(run));
                note("number " + words);
                qrlenum::speakNumberWords(words, false);
            }
            i = end;
        } else if (isWordChar(c)) {
            std::size_t end = i;
            std::string run;
            while (end < t.size() && isWordChar(at(t, end))) run += static_cast<char>(at(t, end++));
            if (upperCaseLatin(run) == "WWW") spellText(run);
            else speakWords(run);
            i = end;
            if (at(t, i) == kHyphen && isLetter(at(t, i + 1))) ++i;
        } else {
            std::uint8_t symbol = c;
            if (symbol != lastSymbol) {
                lastSymbol = symbol;
                repeats = 0;
            } else if (++repeats > kRepeatsVoiced) {
                note("click");
                beepShort();
                symbol = ' ';
            }
            if (c == kHyphen) {
                const std::uint8_t second = t.size() - i >= 3 ? at(t, i + 1) : ' ';
                if (second == ' ' || second == kHyphen) {
                    speakPunctuation(t, i);
                } else if (isDigit(second)) {
                    note("minus");
                    playSound(soundnames::minusSound);
                } else {
                    letter(kHyphen);
                }
            } else if (t.compare(i, 3, "://") == 0) {
                spellText(":");
            } else if (symbol == ' ' || symbol == '\t' || symbol == kSoftHyphen) {
                // nothing to say
            } else if (symbol == '(' || symbol == ')' || symbol == ',' || symbol == '.' ||
                       symbol == ':' || symbol == ';') {
                speakPunctuation(t, i);
            } else if (!qrcrt::keyWaiting()) {
                letter(symbol);
            }
            ++i;
        }
    }
}

void spellText(const std::string& text) {
    for (char ch : text) {
        if (qrcrt::keyWaiting()) break;
        letter(static_cast<std::uint8_t>(ch));
    }
}

void speakPause(int milliseconds) {
    // Sound kept in a file keeps its pauses as silence.
    if (platform::waveout::fileDeviceInUse()) {
        if (!qrcrt::keyWaiting()) platform::waveout::fileSilence(milliseconds / kPauseStep * kPauseStep);
        return;
    }
    for (int step = 0; step < milliseconds / kPauseStep; ++step) {
        if (!qrcrt::keyWaiting()) qrcrt::pauseFor(kPauseStep);
    }
}

bool speechBusy() {
    qrcrt::pumpMessages();
    if (qrcrt::keyWaiting()) {
        cutSpeech();
        return false;
    }
    if (qrwav::waveStillPlaying()) return true;
    return serverSounding();
}

void waitWhileSpeaking() {
    while (speechBusy()) platform::waitMessageFor(kWaitSlice);
}

void finishSpeech() {
    OutputState& s = state();
    if (!s.serverPending) return;
    waitWhileSpeaking();
    s.serverPending = false;
}

void cutSpeech() {
    OutputState& s = state();
    qrwav::stopWave();
    s.stopRequest = true;
    if (s.serverActive && (servers::serverBusy(0) || s.serverType == 3)) servers::serverStop();
    if (s.serverActive && servers::serverStalled()) handOverToSynthesizer();
    platform::postMessage(qrcrt::windowHandle(), cutSpeechMessage, 0, 0);
}

int speechSpeed() { return state().speed; }
bool& typedEcho() { return state().echo; }
bool& firstKeyClearing() { return state().firstKeyClearing; }
const std::string& messageDirectory() { return state().messageDirectory; }
bool serverActive() { return state().serverActive; }
int serverTypeInUse() { return state().serverType; }
const Pauses& pauses() { return state().pauses; }

void resetOutputForTests() {
    OutputState& s = state();
    s = OutputState{};
}

void setSpeechTrace(std::function<void(const std::string&)> trace) { state().trace = std::move(trace); }

void setSynthesizerForTests(std::function<int()> start, std::function<void(const std::string&)> words) {
    OutputState& s = state();
    s.synthStartStandIn = std::move(start);
    s.wordsStandIn = std::move(words);
}

}  // namespace speaking
