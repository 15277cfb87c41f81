// falar: speaks a text with the diphone synthesizer, outside the converter.
//
//     falar [-o FILE.wav] [-v SPEED] [-p] [-s] [-t] [TEXT...]
//
// Without TEXT the text is read from standard input. Arguments and input
// may be UTF-8 or Windows-1252. -o writes the
// sound to a WAV file (11025 Hz, 8-bit mono) instead of playing it; -v picks
// the speed 1..5 of QUORIL.INI's SINTETIZADOR section (default: TRADUTOR
// VELOCIDADE, else 3); -p prints the phonetic string; -s prints how many
// groups fell back to noise or to nothing; -t only transcribes, one line of
// phonetic string for each line of standard input. Numbers are read as the
// converter reads them. The settings are those of
// QUORIL.INI in $QUORIL_WINDIR, else in the etc folder beside the program.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "numbers/qrlenum.hpp"
#include "platform/system/system.hpp"
#include "speaking/sounds.hpp"
#include "synth/qrtradut.hpp"
#include "synth/regras.hpp"

namespace {

int settingInt(const std::string& key, int fallback) {
    const std::string v = platform::getProfileString("SINTETIZADOR", key, "", "QUORIL.INI");
    if (v.empty() || v.find_first_not_of("0123456789") != std::string::npos) return fallback;
    return std::atoi(v.c_str());
}

bool flag(const std::string& key) {
    const std::string v = platform::getProfileString("SINTETIZADOR", key, "", "QUORIL.INI");
    return !v.empty() && v[0] != 'N' && v[0] != 'n';
}

// A run of digits in words, as the speaking console reads it: a number of
// up to fifteen digits by qrlenum, leading zeros and longer runs digit by
// digit.
std::string digitWords(const std::string& run) {
    std::string out;
    std::size_t i = 0;
    if (run.size() <= 15)
        while (i < run.size() && run[i] == '0') ++i, out += "zero ";
    if (run.size() > 15) {
        for (char d : run) out += qrlenum::numberToWords(static_cast<std::uint64_t>(d - '0')) + " ";
    } else if (i < run.size()) {
        out += qrlenum::numberToWords(std::stoull(run.substr(i))) + " ";
    }
    return " " + out;
}

// Keeps letters, digits (read as numbers) and the four pause signs; '!' and
// '?' end a sentence like '.'; every other sign is a space.
std::string cleanText(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= '0' && c <= '9') {
            std::size_t end = i;
            while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
            out += digitWords(text.substr(i, end - i));
            i = end - 1;
        } else if (c == '!' || c == '?') out += '.';
        else if (c == ',' || c == '.' || c == ':' || c == ';') out += static_cast<char>(c);
        else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 192)
            out += static_cast<char>(c);
        else if (c == '\'' || c == '-') out += static_cast<char>(c);
        else out += ' ';
    }
    // A pause sign is its own token: keep it apart from the next word.
    std::string spaced;
    for (std::size_t i = 0; i < out.size(); ++i) {
        spaced += out[i];
        const char c = out[i];
        if ((c == ',' || c == '.' || c == ':' || c == ';') && i + 1 < out.size() && out[i + 1] != ' ')
            spaced += ' ';
    }
    return spaced;
}

}  // namespace

int main(int argc, char** argv) {
    std::string outFile, text;
    int speed = 0;
    bool printPhonemes = false, printStats = false, transcribeOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-o" && i + 1 < argc) outFile = argv[++i];
        else if (a == "-v" && i + 1 < argc) speed = std::atoi(argv[++i]);
        else if (a == "-p") printPhonemes = true;
        else if (a == "-s") printStats = true;
        else if (a == "-t") transcribeOnly = true;
        else if (a == "-h" || a == "--help") {
            std::fprintf(stderr, "usage: falar [-o FILE.wav] [-v SPEED] [-p] [-s] [-t] [TEXT...]\n");
            return 0;
        } else {
            if (!text.empty()) text += ' ';
            text += a;
        }
    }
    if (text.empty() && !transcribeOnly) text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());

    // Settings beside the program when none are named.
    if (!std::getenv("QUORIL_WINDIR")) {
        const auto etc = std::filesystem::path(platform::executablePath()).parent_path() / "etc";
        if (std::filesystem::exists(etc / "QUORIL.INI")) ::setenv("QUORIL_WINDIR", etc.c_str(), 1);
    }
    if (!std::getenv("QUORIL_CONSOLE")) ::setenv("QUORIL_CONSOLE", "headless", 1);
    if (!std::getenv("QUORIL_AUDIO")) ::setenv("QUORIL_AUDIO", "sdl", 1);

    if (speed <= 0) speed = platform::getProfileInt("TRADUTOR", "VELOCIDADE", 3, "QUORIL.INI");
    if (speed < 1 || speed > 5) speed = 3;
    const std::string n = std::to_string(speed);
    qrtradut::setDatabaseName(platform::getProfileString("SINTETIZADOR", "DIFONES" + n, "DIFONES2", "QUORIL.INI"));
    qrtradut::setSynthParams(settingInt("CORTEFON" + n, 400), settingInt("SOBRAFON" + n, 0),
                             settingInt("INTERPAL" + n, 0), flag("CORTAFALA" + n), flag("RAPIDINHO" + n));
    const int started = qrtradut::synthStart();
    if (started != 0) {
        std::fprintf(stderr, "falar: Erro de inicialização: %d\nBanco de dados de voz: %s\n", started,
                     qrtradut::databaseName().c_str());
        return 1;
    }

    if (transcribeOnly) {
        std::string line;
        while (std::getline(std::cin, line))
            std::printf("%s\n", platform::cp1252ToUtf8(regras::transcribe(platform::externalTextToCp1252(line))).c_str());
        qrtradut::synthStop();
        return 0;
    }

    std::vector<std::uint8_t> sound;
    if (!outFile.empty()) {
        qrtradut::setImageSink([&](const std::uint8_t* image, std::size_t size) {
            sound.insert(sound.end(), image + qrtradut::headerSize, image + size);
        });
    }
    const std::string phonetic = regras::transcribe(cleanText(platform::externalTextToCp1252(text)));
    if (printPhonemes) std::printf("%s\n", platform::cp1252ToUtf8(phonetic).c_str());
    qrtradut::synthesize(phonetic, false);

    if (printStats) {
        const auto& st = qrtradut::stats();
        std::fprintf(stderr, "groups %zu noise %zu nothing %zu samples %zu\n", st.groups, st.noiseGroups,
                     st.droppedGroups, st.samples);
        for (const auto& m : st.missing) std::fprintf(stderr, "missing %s\n", m.c_str());
    }
    if (!outFile.empty()) {
        std::vector<std::uint8_t> wav(qrtradut::headerSize);
        speaking::writeWaveHeader(wav.data(), static_cast<std::uint32_t>(sound.size()), qrtradut::sampleRate, 1, 8);
        wav.insert(wav.end(), sound.begin(), sound.end());
        std::ofstream out(outFile, std::ios::binary);
        out.write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
        if (!out) {
            std::fprintf(stderr, "falar: cannot write %s\n", outFile.c_str());
            return 1;
        }
    }
    qrtradut::synthStop();
    return 0;
}
