// espeak-ng's text analysis alone, the peer of bench_tts_words: each line of
// a UTF-8 text through espeak_TextToPhonemes (pt-br, its ASCII phoneme
// names), clause by clause, with no sound made. Start-up (the library and
// the voice) is outside the time, as the loading of our files is outside
// bench_tts_words's.
//
//   bench_espeak_phonemes CORPUS.utf8 [ROUNDS]
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "corpus.hpp"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_espeak_phonemes CORPUS.utf8 [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    std::size_t words = 0;
    const std::vector<std::string> lines = bench::readCorpus(argv[1], words);
    if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT) < 0 ||
        espeak_SetVoiceByName("pt-br") != EE_OK) {
        std::fprintf(stderr, "bench_espeak_phonemes: espeak-ng does not start with pt-br\n");
        return 1;
    }
    double best = 1e100;
    std::size_t bytes = 0;
    for (int r = 0; r < rounds; ++r) {
        bytes = 0;
        const auto t0 = std::chrono::steady_clock::now();
        for (const std::string& line : lines) {
            const void* p = line.c_str();
            while (p)
                if (const char* ph = espeak_TextToPhonemes(&p, espeakCHARS_UTF8, 0)) bytes += std::char_traits<char>::length(ph);
        }
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    std::printf("espeak_phonemes: %zu lines, %zu words, %zu bytes of phonemes, best of %d: %.3f s, %.0f words/s\n",
                lines.size(), words, bytes, rounds, best, words / best);
    espeak_Terminate();
    return 0;
}
