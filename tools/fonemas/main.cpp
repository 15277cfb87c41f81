// fonemas: shows what the built-in voice makes of a text, for checking the
// analysis by ear and by eye. The text comes from the arguments, or else
// from standard input one line at a time (each line one utterance), in
// UTF-8 or Windows-1252.
//
//   fonemas [-n] [-p] [-d DIR] [text...]
//     -n  print the normalised text
//     -p  print the phoneme list
//     -d  directory of portug.nrl, .exc, .abr, .pro, .dfn
//         (default: share/quoril/tireltts beside the program, else in
//         ../share when installed)
// Without -n or -p the engine lines are printed; output is UTF-8.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "platform/system/system.hpp"
#include "tts/ttschars.hpp"
#include "tts/uttspreproc.hpp"
#include "tts/uttsportug.hpp"
#include "tts/uttsprosodia.hpp"

namespace {

struct Options {
    bool normalised = false, phonemes = false;
};

void speak(const std::string& raw, const Options& o) {
    const std::string text = platform::externalTextToCp1252(raw);
    if (ttschars::trim(text).empty()) return;
    const std::string normal = uttspreproc::normaliseText(text);
    if (o.normalised) std::cout << platform::cp1252ToUtf8(normal) << '\n';
    const auto tokens = uttsprosodia::splitTokens(normal);
    const auto patterned = uttsprosodia::assignPatterns(tokens, true);
    const auto phonemes = uttsportug::textToPhonemes(patterned);
    if (o.phonemes)
        for (const auto& l : phonemes) std::cout << platform::cp1252ToUtf8(l) << '\n';
    if (!o.normalised && !o.phonemes)
        for (const auto& l : uttsprosodia::buildPhoLines(phonemes, 1.0, 1.0))
            std::cout << platform::cp1252ToUtf8(l) << '\n';
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    std::filesystem::path dir;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-n") o.normalised = true;
        else if (a == "-p") o.phonemes = true;
        else if (a == "-d" && i + 1 < argc) dir = argv[++i];
        else if (a == "-h" || a == "--help") {
            std::cout << "usage: fonemas [-n] [-p] [-d DIR] [text...]\n";
            return 0;
        } else words.push_back(a);
    }
    if (dir.empty()) {
        // The build tree keeps the data beside the program; an installed
        // program finds it in PREFIX/share beside PREFIX/bin.
        const std::filesystem::path exeDir = std::filesystem::path(platform::executablePath()).parent_path();
        dir = exeDir / "share/quoril/tireltts";
        if (!std::filesystem::is_directory(dir)) dir = exeDir.parent_path() / "share/quoril/tireltts";
    }
    const std::string base = (dir / "portug").string();
    uttsprosodia::setMessageHandler([](const std::string& m) { std::cerr << platform::cp1252ToUtf8(m) << '\n'; });
    if (!uttsportug::loadWordData(base + ".nrl", base + ".exc")) {
        std::cerr << "fonemas: cannot read " << base << ".nrl or .exc\n";
        return 1;
    }
    uttspreproc::loadGenders(base + ".gen");
    if (!uttspreproc::loadAbbreviations(base + ".abr") || !uttsprosodia::loadProsody(base + ".pro") ||
        !uttsprosodia::loadDiphoneList(base + ".dfn")) {
        std::cerr << "fonemas: cannot read " << base << ".abr, .pro or .dfn\n";
        return 1;
    }
    std::ios::sync_with_stdio(false);
    if (!words.empty()) {
        std::string text;
        for (const auto& w : words) text += (text.empty() ? "" : " ") + w;
        speak(text, o);
    } else {
        std::string line;
        while (std::getline(std::cin, line)) speak(line, o);
    }
    return 0;
}
