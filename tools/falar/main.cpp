// falar: speaks a text as the converter speaks a line, outside the
// converter, so that what a tester hears is what a user hears.
//
//     falar [-V VOZ] [-v SPEED] [-r RATE] [-o FILE.wav] [-p] [-s] [-t] [-a FILE] [TEXT...]
//
// The text goes through the speaking console (on its headless screen) line
// by line, as the converter speaks the lines of a file: with the voice the
// settings choose, numbers, symbols and spelling as it reads them. Without
// TEXT the text is read from standard input. Arguments and input may be
// UTF-8 or Windows-1252; the input also UTF-16 after its mark. Input goes
// through the converter's document reader, so -a reads a document too
// (DOCX, ODT, EPUB, HTML, RTF, PDF, a scan), one paragraph a line.
//
//   -V VOZ    the voice: "difone" (the diphone synthesizer), "embutida" (the
//             built-in voice, server type 3) or a server type number (3, 4,
//             5, 54); default: what QUORIL.INI says (TRADUTOR / SAPI,
//             SERVFALA / TIPOSAPI)
//   -v SPEED  the console speed 1..5 (default: TRADUTOR / VELOCIDADE)
//   -r RATE   the server's own rate (SERVFALA / VELOCIDADE; 0: the console
//             speed sets the pace)
//   -o FILE   writes what would be played to a WAV file instead ("-": standard
//             output), streamed: the sizes are written into the header at
//             the end (a pipe keeps 0xFFFFFFFF there). Not with type 5,
//             whose sound speech-dispatcher plays itself.
//   -p        prints the diphone rules' phonetic string of each line
//   -s        prints how many diphone groups fell back to noise or nothing
//   -t        only transcribes: one phonetic string for each line of input
//   -a FILE   speaks the text of FILE (a text file or a document) instead
//
// The settings are those of QUORIL.INI in $QUORIL_WINDIR, else in the etc
// folder beside the program, else in /etc/quoril; -V, -v and -r change them
// for this run only (a copy in a temporary folder). Exit codes: 0 spoken, 1
// the voice could not start, 2 wrong arguments, 3 no sound device, 4 the
// WAV file could not be written, 5 the input could not be read (not text,
// a damaged document ...: said on standard error).
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "console/qrcrt.hpp"
#include "converter/converter.hpp"
#include "converter/zul.hpp"
#include "platform/sound/audio.hpp"
#include "platform/sound/waveout.hpp"
#include "platform/document/extraction.hpp"
#include "platform/system/files.hpp"
#include "platform/system/system.hpp"
#include "platform/window/window.hpp"
#include "servers/dispatch.hpp"
#include "speaking/output.hpp"
#include "speaking/settings.hpp"
#include "synth/qrtradut.hpp"
#include "synth/regras.hpp"
#include "tts/uttstirel.hpp"

namespace {

namespace fs = std::filesystem;

struct Options {
    std::string voice, outFile, inFile;
    int speed = 0;
    std::string rate;
    bool printPhonemes = false, printStats = false, transcribeOnly = false;
    std::vector<std::string> words;
};

int usage() {
    std::fprintf(stderr,
                 "uso: falar [-V difone|embutida|3|4|5|54] [-v 1..5] [-r VELOCIDADE] [-o ARQUIVO.wav] [-p] [-s] [-t] "
                 "[-a ARQUIVO] [TEXTO...]\n");
    return 2;
}

void say(const std::string& cp1252Message) {
    std::fprintf(stderr, "falar: %s\n", platform::cp1252ToUtf8(cp1252Message).c_str());
}

std::string upperAscii(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

std::string trimmed(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

// The settings text with key=value put first in its section, where it wins
// over a later line of the same key (the section is added when missing).
std::string withSetting(const std::string& ini, const std::string& section, const std::string& key,
                        const std::string& value) {
    const std::string line = key + "=" + value + "\r\n";
    std::size_t start = 0;
    while (start < ini.size()) {
        std::size_t end = ini.find('\n', start);
        end = end == std::string::npos ? ini.size() : end + 1;
        if (upperAscii(trimmed(ini.substr(start, end - start))) == "[" + section + "]") {
            std::string out = ini;
            if (end == ini.size() && (out.empty() || out.back() != '\n')) out += "\r\n";
            return out.insert(std::min(end, out.size()), line);
        }
        start = end;
    }
    std::string out = ini;
    if (!out.empty() && out.back() != '\n') out += "\r\n";
    return out + "[" + section + "]\r\n" + line;
}

// A copy of the settings folder with the changes of the command line, in a
// temporary folder removed when the program ends. False when none is needed
// or it could not be made (the settings are then used as they are).
bool changedSettings(const Options& o) {
    std::vector<std::array<std::string, 3>> changes;
    if (!o.voice.empty()) {
        if (o.voice == "difone") {
            changes.push_back({"TRADUTOR", "SAPI", "N"});
        } else {
            changes.push_back({"TRADUTOR", "SAPI", "S"});
            changes.push_back({"SERVFALA", "TIPOSAPI", o.voice == "embutida" ? "3" : o.voice});
        }
    }
    if (!o.rate.empty()) changes.push_back({"SERVFALA", "VELOCIDADE", o.rate});
    if (changes.empty()) return false;

    const fs::path from = platform::windowsDirectory();
    std::ifstream in(from / "QUORIL.INI", std::ios::binary);
    std::string ini(std::istreambuf_iterator<char>(in), {});
    for (const auto& [section, key, value] : changes) ini = withSetting(ini, section, key, value);

    std::string pattern = (fs::temp_directory_path() / "falar-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return false;
    const fs::path dir = pattern;
    std::ofstream(dir / "QUORIL.INI", std::ios::binary) << ini;
    std::error_code ec;
    if (fs::exists(from / "registry.reg")) fs::copy_file(from / "registry.reg", dir / "registry.reg", ec);
    ::setenv("QUORIL_WINDIR", dir.c_str(), 1);
    platform::addExitHook([dir] {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    });
    return true;
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "-o" && more) o.outFile = argv[++i];
        else if (a == "-v" && more) o.speed = std::atoi(argv[++i]);
        else if (a == "-r" && more) o.rate = argv[++i];
        else if (a == "-V" && more) o.voice = argv[++i];
        else if (a == "-a" && more) o.inFile = argv[++i];
        else if (a == "-p") o.printPhonemes = true;
        else if (a == "-s") o.printStats = true;
        else if (a == "-t") o.transcribeOnly = true;
        else if (a == "-h" || a == "--help" || (a.size() > 1 && a[0] == '-')) return false;
        else o.words.push_back(a);
    }
    if (o.voice.empty()) return true;
    if (o.voice == "difone" || o.voice == "embutida") return true;
    return o.voice.find_first_not_of("0123456789") == std::string::npos && o.voice.size() <= 4;
}

// Reads standard input, or the named file, as the converter reads its
// input, handing each line (Windows-1252) to speak; false after a failure,
// which has been told.
bool readInput(const std::string& name, const std::function<void(const std::string&)>& speak) {
    platform::InputFile in;
    const int opened = name.empty() ? in.openStandardInput() : in.open(name);
    if (opened != 0) {
        say((name.empty() ? std::string("entrada padr\xE3o") : platform::externalTextToCp1252(name)) + ": " +
            platform::systemErrorText(opened));
        return false;
    }
    converter::Input input(in, name, name,
                           {{}, [](int page, int pages) { say(document::progressText(page, pages)); }});
    try {
        if (const document::Failure f = input.open()) {
            say(document::failureText(f));
            return false;
        }
        zul::LineReader reader(input.source());
        platform::TextDecoder decoder;
        for (std::string line; reader.next(line);) {
            decoder.decodeLine(line);
            speak(line);
        }
    } catch (const document::Failure& f) {
        say(document::failureText(f));
        return false;
    } catch (const converter::IoError& e) {
        say(e.reason());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) return usage();
    document::setExtractionStarter(platform::document::startExtraction);

    // The settings beside the program when none are named.
    if (!std::getenv("QUORIL_WINDIR")) {
        const auto etc = fs::path(platform::executablePath()).parent_path() / "etc";
        if (fs::exists(etc / "QUORIL.INI")) ::setenv("QUORIL_WINDIR", etc.c_str(), 1);
    }
    if (!std::getenv("QUORIL_CONSOLE")) ::setenv("QUORIL_CONSOLE", "headless", 1);
    if (!std::getenv("QUORIL_AUDIO")) ::setenv("QUORIL_AUDIO", "sdl", 1);

    if (o.transcribeOnly) {
        // The rule engine alone, as the diphone voice's tests use it.
        const int speed = o.speed >= 1 && o.speed <= 5 ? o.speed : 3;
        qrtradut::setDatabaseName(
            platform::getProfileString("SINTETIZADOR", "DIFONES" + std::to_string(speed), "PTBR", "QUORIL.INI"));
        if (qrtradut::synthStart() != 0) {
            say("Erro de inicializa\xE7\xE3o do sintetizador de difones");
            return 1;
        }
        std::string line;
        while (std::getline(std::cin, line))
            std::printf("%s\n", platform::cp1252ToUtf8(regras::transcribe(platform::externalTextToCp1252(line))).c_str());
        qrtradut::synthStop();
        return 0;
    }

    changedSettings(o);
    const servers::ServerSettings server = servers::serverSettings(o.speed);
    if (!o.outFile.empty()) {
        if (server.wanted && server.type == 5) {
            say("a voz do speech-dispatcher (TIPOSAPI=5) toca o som ela mesma: n\xE3o grava arquivo");
            return 2;
        }
        ::setenv("QUORIL_AUDIO", "none", 1);  // nothing is played
        if (!platform::waveout::useFileDevice(o.outFile)) {
            say("n\xE3o foi poss\xEDvel criar " + platform::externalTextToCp1252(o.outFile));
            return 4;
        }
    } else if (!(server.wanted && server.type == 5)) {
        const std::string reason = platform::audio::unavailableReason();
        if (!reason.empty()) {
            say("Sem som: o dispositivo de som n\xE3o abriu (" + reason + ")");
            return 3;
        }
    }

    // A start-up failure of the diphone synthesizer waits for Enter before
    // the process ends: the headless screen answers it.
    platform::headless::setKeysWhenWaiting(true);
    platform::headless::typeText("\r");
    speaking::startSpeech(o.speed, "");
    if (server.wanted && !speaking::serverActive()) {
        std::string why = server.type == 3 ? uttstirel::ttsLastError() : std::string();
        say("a voz do servidor " + std::to_string(server.type) + " n\xE3o iniciou" +
            (why.empty() ? std::string() : " (" + why + ")") + "; fala a voz de difones");
    }

    const auto speakDecoded = [&](const std::string& line) {
        if (o.printPhonemes) std::printf("%s\n", platform::cp1252ToUtf8(regras::transcribe(line)).c_str());
        speaking::speakText(line);
    };
    if (!o.words.empty() && o.inFile.empty()) {
        std::string text;
        for (const std::string& w : o.words) text += (text.empty() ? "" : " ") + w;
        speakDecoded(platform::externalTextToCp1252(text));
    } else if (!readInput(o.inFile, speakDecoded)) {
        speaking::endSpeech();
        qrcrt::closeScreen(5);
    }
    speaking::waitWhileSpeaking();
    speaking::endSpeech();

    if (o.printStats) {
        const auto& st = qrtradut::stats();
        std::fprintf(stderr, "groups %zu noise %zu nothing %zu samples %zu\n", st.groups, st.noiseGroups,
                     st.droppedGroups, st.samples);
        for (const auto& m : st.missing) std::fprintf(stderr, "missing %s\n", m.c_str());
    }
    if (!o.outFile.empty() && !platform::waveout::finishFileDevice()) {
        say("erro ao gravar " + platform::externalTextToCp1252(o.outFile));
        qrcrt::closeScreen(4);
    }
    qrcrt::closeScreen(0);
}
