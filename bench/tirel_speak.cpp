// Synthesis time of the built-in voice on a paragraph of 100 words, the
// whole way from text to samples (normalisation, tokens, patterns,
// phonemes, timing and pitch, the diphone engine), written to a WAV file so
// that nothing waits for the sound device; beside it espeak-ng -v pt-br on
// the same paragraph, as a program writing a WAV file (its start-up, timed
// on an empty text, is also shown and taken off). Medians of the rounds.
//   bench_tirel_speak [ROUNDS]   (default 10)
// Takes libmbrola.so, the database br4 and the language files from the
// build tree.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/system/system.hpp"
#include "tts/uttstirel.hpp"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char* const paragraph =
    "O conversor lê cada linha do arquivo de texto e a transforma no formato ZUL, mostrando e falando tudo o que faz. Quem não enxerga a tela ouve cada pergunta, cada tecla e cada erro, e pode interromper a fala a qualquer momento com uma tecla. A voz embutida analisa o texto em português, escolhe a tônica de cada palavra, calcula a duração e a altura de cada fonema e entrega as linhas ao motor de difones, que devolve as amostras em dezesseis mil hertz. Assim o usuário acompanha a conversão inteira sem esperar pelo fim de cada frase longa.";

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Seconds of sound in a WAV file of one 16-bit channel (its data after 44 bytes).
double seconds16(const fs::path& wav, double rate) {
    std::error_code ec;
    const auto size = fs::file_size(wav, ec);
    return ec || size < 44 ? 0 : static_cast<double>(size - 44) / 2 / rate;
}

double espeakRate(const fs::path& wav) {
    std::ifstream in(wav, std::ios::binary);
    unsigned char h[28] = {};
    in.read(reinterpret_cast<char*>(h), sizeof h);
    return h[24] | h[25] << 8 | h[26] << 16 | h[27] << 24;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const fs::path build = fs::path(platform::cp1252ToUtf8(platform::executablePath())).parent_path().parent_path();
    ::setenv("QUORIL_LIBDIR", build.c_str(), 0);
    ::setenv("QUORIL_WINDIR", (build / "etc").c_str(), 0);
    const std::string dir = (build / "share/quoril/tireltts/portug").string();
    const fs::path tmp = fs::temp_directory_path() / ("quoril_tirel_speak_" + std::to_string(std::random_device{}()));
    fs::create_directories(tmp);
    const std::string text = platform::utf8ToCp1252(paragraph);

    std::vector<double> ours;
    double speech = 0;
    for (int i = 0; i < rounds; ++i) {
        const fs::path wav = tmp / "tirel.wav";
        uttstirel::ttsSetOutputFile(wav.string());
        if (!uttstirel::ttsOpen("br4", dir + ".nrl", dir + ".exc", dir + ".abr", dir + ".pro", dir + ".dfn")) {
            std::printf("built-in voice: cannot open (%s)\n", platform::cp1252ToUtf8(uttstirel::ttsLastError()).c_str());
            return 1;
        }
        uttstirel::ttsSetFactors(0.8, 1.0);
        const auto t0 = Clock::now();
        uttstirel::ttsSpeak(text);
        ours.push_back(msSince(t0));
        uttstirel::ttsClose();
        speech = seconds16(wav, 16000);
    }

    std::vector<double> espeak, startup;
    double espeakSpeech = 0;
    const fs::path ewav = tmp / "espeak.wav";
    for (int i = 0; i < rounds; ++i) {
        auto t0 = Clock::now();
        if (std::system(("espeak-ng -v pt-br -w '" + ewav.string() + "' '" + paragraph + "'").c_str()) != 0) {
            std::printf("espeak-ng failed\n");
            break;
        }
        espeak.push_back(msSince(t0));
        espeakSpeech = seconds16(ewav, espeakRate(ewav));
        t0 = Clock::now();
        (void)std::system(("espeak-ng -v pt-br -w '" + (tmp / "empty.wav").string() + "' ''").c_str());
        startup.push_back(msSince(t0));
    }
    fs::remove_all(tmp);

    const double o = median(ours), e = median(espeak), s = median(startup);
    std::printf("100 words, %d rounds, medians\n", rounds);
    std::printf("built-in voice     %7.1f ms for %.1f s of speech (%.0f times real time)\n", o, speech,
                o > 0 ? speech * 1000 / o : 0);
    std::printf("espeak-ng -v pt-br %7.1f ms for %.1f s of speech (%.0f ms of it start-up; without: %.1f ms, "
                "%.0f times real time)\n",
                e, espeakSpeech, s, e - s, e - s > 0 ? espeakSpeech * 1000 / (e - s) : 0);
    return 0;
}
