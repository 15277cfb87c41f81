// The speech-dispatcher module's analysis of one long message, as the
// module does it: the text cut into groups (servers::spdmodule::textGroups)
// and each group taken by the voice up to its first sound. Prints the
// seconds for prose and for a run of digits of each size, so that the
// growth with the length shows (linear: ten times the text, ten times the
// time). With --whole each text goes to the voice in one piece instead, to
// compare.
//
//   bench_spd_module_text [--whole] [KB ...]   (default 10 100 1000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/system/system.hpp"
#include "servers/spdmodule.hpp"
#include "servers/tirel.hpp"
#include "tts/uttstirel.hpp"

int main(int argc, char** argv) {
    bool whole = false;
    std::vector<std::size_t> sizes;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--whole") == 0) whole = true;
        else sizes.push_back(static_cast<std::size_t>(std::atol(argv[i])) * 1000);
    }
    if (sizes.empty()) sizes = {10000, 100000, 1000000};
    ::setenv("QUORIL_CONSOLE", "headless", 0);
    const servers::tirel::VoiceFiles& f = servers::tirel::voiceFiles();
    uttstirel::ttsSetOutputFile("");
    if (!uttstirel::ttsOpen(f.database, f.rules, f.exceptions, f.abbreviations, f.prosody, f.diphones)) {
        std::fprintf(stderr, "bench_spd_module_text: the voice did not load (QUORIL_WINDIR?)\n");
        return 1;
    }
    // Windows-1252 prose with numbers and sentence ends of every kind.
    const char* sentences[] = {
        "O rio corria devagar entre as pedras, e as crian\xE7" "as da vila desciam para ver os barcos. ",
        "Em 1998 a escola tinha 347 alunos; hoje s\xE3o mais de mil, vindos de tr\xEAs cidades! ",
        "Quem diria? A professora ainda guarda o caderno de chamada, com a letra de cada um.\n",
    };
    const auto firstSoundOnly = [](const std::int16_t*, std::size_t) { return false; };
    for (const std::size_t size : sizes) {
        std::string prose;
        for (std::size_t i = 0; prose.size() < size; ++i) prose += sentences[i % 3];
        const struct {
            const char* name;
            std::string text;
        } texts[] = {{"prose", prose}, {"digits", std::string(size, '7')}};
        for (const auto& t : texts) {
            const auto t0 = std::chrono::steady_clock::now();
            if (whole) {
                uttstirel::ttsSynthesize(t.text, firstSoundOnly);
            } else {
                for (const std::string& group : servers::spdmodule::textGroups(t.text))
                    uttstirel::ttsSynthesize(group, firstSoundOnly);
            }
            const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            std::printf("%-6s %8zu bytes %s: %.3f s\n", t.name, size, whole ? "whole" : "in groups", s);
            std::fflush(stdout);
        }
    }
    uttstirel::ttsClose();
    return 0;
}
