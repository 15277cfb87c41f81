// The built-in voice from text to a WAV file, as one whole process: start,
// load the engine and the language files, speak every line of the text (one
// utterance a line, as the converter speaks a file) at the voice's own pace,
// write the WAV file, end. scripts/bench-engine times it beside espeak-ng
// doing the same work (espeak-ng -f TEXT -w OUT.wav).
//
//   bench_tirel_wav TEXT OUT.wav
// The text may be UTF-8 or Windows-1252. The engine (libmbrola.so), the
// database br4 and the language files are those of the build tree.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/system/system.hpp"
#include "servers/tirel.hpp"
#include "tts/uttstirel.hpp"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_tirel_wav TEXT OUT.wav\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path build = fs::path(platform::executablePath()).parent_path().parent_path();
    ::setenv("QUORIL_LIBDIR", build.c_str(), 0);
    ::setenv("QUORIL_WINDIR", (build / "etc").c_str(), 0);
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "bench_tirel_wav: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::string dir = (build / "share/quoril/tireltts/portug").string();
    uttstirel::ttsSetOutputFile(argv[2]);
    if (!uttstirel::ttsOpen("br4", dir + ".nrl", dir + ".exc", dir + ".abr", dir + ".pro", dir + ".dfn")) {
        std::fprintf(stderr, "bench_tirel_wav: the voice does not open: %s\n",
                     platform::cp1252ToUtf8(uttstirel::ttsLastError()).c_str());
        return 1;
    }
    uttstirel::ttsSetFactors(servers::tirel::durationFactorFor(0), servers::tirel::pitchFactorFor(0));
    bool ok = true;
    for (std::string line; std::getline(in, line);) ok = uttstirel::ttsSpeak(platform::externalTextToCp1252(line)) && ok;
    uttstirel::ttsClose();
    return ok ? 0 : 1;
}
