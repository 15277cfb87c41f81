// sintetizar: speaks a file of engine lines with the diphone engine into a
// WAV file, so the analysis of the built-in voice can be heard.
//
//   sintetizar [-f freq] [-v volume] DATABASE INPUT.pho OUTPUT.wav
//
// "-" stands for standard input or output. DATABASE is a path, or a name
// looked up in the registry as the built-in voice does
// (SOFTWARE\TCTS\Mbrola\databases\NAME); without QUORIL_WINDIR the registry
// file of the build tree (etc/registry.reg beside the program) is read.
// Unknown phonemes and missing diphones are replaced, never fatal.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "mbrola.h"
#include "platform/system/registry.hpp"
#include "platform/system/system.hpp"
#include "tts/minireg.hpp"

namespace {

int usage() {
    std::fprintf(stderr, "usage: sintetizar [-f freq] [-v volume] DATABASE INPUT.pho OUTPUT.wav\n");
    return 2;
}

std::string resolveDatabase(const std::string& name) {
    if (std::filesystem::is_regular_file(name)) return name;
    const char* windir = std::getenv("QUORIL_WINDIR");
    // Names inside the system are Windows-1252; the file system's are UTF-8.
    const std::filesystem::path exeDir =
        std::filesystem::path(platform::cp1252ToUtf8(platform::executablePath())).parent_path();
    if (!windir || !*windir) {
        std::ifstream reg(exeDir / "etc/registry.reg", std::ios::binary);
        if (reg) platform::setRegistryText(std::string(std::istreambuf_iterator<char>(reg), {}));
    }
    std::string path;
    if (minireg::regReadString(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\TCTS\\Mbrola\\databases\\" + name + "\\", path) &&
        !path.empty())
        return platform::toNativeName(path);
    const std::filesystem::path beside = exeDir / "share/quoril/tireltts" / name;
    return std::filesystem::is_regular_file(beside) ? beside.string() : name;
}

void put(std::vector<std::uint8_t>& h, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) h.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

}  // namespace

int main(int argc, char** argv) {
    int freq = 0;
    float volume = 1.0f;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "-f" || a == "-v") && i + 1 < argc) {
            char* end = nullptr;
            const double v = std::strtod(argv[++i], &end);
            if (!end || *end || !(v > 0) || v > 96000) return usage();
            if (a == "-f") freq = static_cast<int>(v); else volume = static_cast<float>(v);
        } else {
            args.push_back(a);
        }
    }
    if (args.size() != 3) return usage();
    const std::string db = resolveDatabase(args[0]);
    if (init_MBR(const_cast<char*>(db.c_str())) < 0) {
        char text[512];
        lastErrorStr_MBR(text, sizeof text);
        std::fprintf(stderr, "sintetizar: %s\n", text);
        return 1;
    }
    setNoError_MBR(1);
    if (freq) setFreq_MBR(freq);
    setVolumeRatio_MBR(volume);

    std::string input;
    if (args[1] == "-") {
        input.assign(std::istreambuf_iterator<char>(std::cin), {});
    } else {
        std::ifstream in(args[1], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "sintetizar: cannot read %s\n", args[1].c_str());
            return 1;
        }
        input.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<std::int16_t> samples;
    std::vector<short> buf(16000);
    auto drain = [&] {
        int n;
        while ((n = read_MBR(buf.data(), static_cast<int>(buf.size()))) > 0) samples.insert(samples.end(), buf.begin(), buf.begin() + n);
    };
    // Line by line, reporting what the engine refuses and going on.
    std::size_t start = 0;
    while (start < input.size()) {
        std::size_t end = input.find('\n', start);
        end = end == std::string::npos ? input.size() : end + 1;
        std::string line = input.substr(start, end - start);
        if (write_MBR(line.data()) < 0) {
            char text[512];
            lastErrorStr_MBR(text, sizeof text);
            std::fprintf(stderr, "sintetizar: %s\n", text);
        }
        drain();
        start = end;
    }
    flush_MBR();
    drain();
    const int rate = getFreq_MBR();
    close_MBR();

    const auto bytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<std::uint8_t> h{'R', 'I', 'F', 'F'};
    put(h, 36 + bytes, 4);
    for (char c : std::string("WAVEfmt ")) h.push_back(static_cast<std::uint8_t>(c));
    put(h, 16, 4), put(h, 1, 2), put(h, 1, 2), put(h, static_cast<std::uint32_t>(rate), 4);
    put(h, static_cast<std::uint32_t>(rate) * 2, 4), put(h, 2, 2), put(h, 16, 2);
    for (char c : std::string("data")) h.push_back(static_cast<std::uint8_t>(c));
    put(h, bytes, 4);
    for (std::int16_t s : samples) put(h, static_cast<std::uint16_t>(s), 2);
    if (args[2] == "-") {
        std::fwrite(h.data(), 1, h.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    std::ofstream out(args[2], std::ios::binary);
    out.write(reinterpret_cast<const char*>(h.data()), static_cast<long>(h.size()));
    if (!out) {
        std::fprintf(stderr, "sintetizar: cannot write %s\n", args[2].c_str());
        return 1;
    }
    return 0;
}
