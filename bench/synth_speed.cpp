// Synthesis speed of the diphone voice: seconds of speech made per second
// of processor time for a long text, with playback going to the test
// wave-out device (every block finishes at once). Also prints the share of
// groups that fell back to noise or to nothing.
//
//     bench_synth_speed TEXT.utf8 [SPEED]
//
// The settings are QUORIL.INI in $QUORIL_WINDIR, else build/etc.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/system/system.hpp"
#include "platform/sound/waveout.hpp"
#include "synth/qrtradut.hpp"
#include "synth/regras.hpp"

namespace {

std::string cleanText(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '!' || c == '?') out += ". ";
        else if (c == ',' || c == '.' || c == ':' || c == ';') { out += static_cast<char>(c); out += ' '; }
        else if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 192)
            out += static_cast<char>(c);
        else out += ' ';
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_synth_speed TEXT.utf8 [SPEED]\n");
        return 2;
    }
    if (!std::getenv("QUORIL_WINDIR")) {
        const auto etc = std::filesystem::path(platform::executablePath()).parent_path().parent_path() / "etc";
        ::setenv("QUORIL_WINDIR", etc.c_str(), 1);
    }
    ::setenv("QUORIL_CONSOLE", "headless", 1);
    platform::waveout::useTestDevice(true);
    platform::waveout::test::setAutoFinish(true);

    const int speed = argc > 2 ? std::atoi(argv[2]) : 3;
    const std::string n = std::to_string(speed);
    auto num = [&](const std::string& key, int fallback) {
        return platform::getProfileInt("SINTETIZADOR", key + n, fallback, "QUORIL.INI");
    };
    qrtradut::setDatabaseName(platform::getProfileString("SINTETIZADOR", "DIFONES" + n, "DIFONES2", "QUORIL.INI"));
    qrtradut::setSynthParams(num("CORTEFON", 400), num("SOBRAFON", 0), num("INTERPAL", 100), false, false);
    if (const int r = qrtradut::synthStart(); r != 0) {
        std::fprintf(stderr, "bench_synth_speed: synthStart answered %d\n", r);
        return 1;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string text = cleanText(platform::utf8ToCp1252(
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())));

    qrtradut::resetStats();
    const std::clock_t start = std::clock();
    // Sentence by sentence, the way the console hands runs of text over.
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t to = text.find('.', from);
        to = to == std::string::npos ? text.size() : to + 1;
        qrtradut::synthesize(regras::transcribe(text.substr(from, to - from)), false);
        platform::waveout::test::reset();
        platform::waveout::test::setAutoFinish(true);
        from = to;
    }
    const double cpu = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    const auto& st = qrtradut::stats();
    const double speech = static_cast<double>(st.samples) / qrtradut::sampleRate;
    std::printf("speech %.1f s, cpu %.3f s, %.0f times real time\n", speech, cpu, cpu > 0 ? speech / cpu : 0.0);
    std::printf("groups %zu, noise %zu, nothing %zu, fallen back %.3f%%\n", st.groups, st.noiseGroups,
                st.droppedGroups, st.groups ? 100.0 * static_cast<double>(st.noiseGroups + st.droppedGroups) / static_cast<double>(st.groups) : 0.0);
    qrtradut::synthStop();
    return 0;
}
