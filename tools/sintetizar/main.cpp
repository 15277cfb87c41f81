// sintetizar: speaks a file of engine lines with the diphone engine into a
// WAV file, so the analysis of the built-in voice can be heard.
//
//   sintetizar [-f freq] [-v volume] DATABASE INPUT.pho OUTPUT.wav
//
// "-" stands for standard input or output. DATABASE is a path, or a name
// looked up in the registry as the built-in voice does
// (SOFTWARE\TCTS\Mbrola\databases\NAME); without QUORIL_WINDIR the registry
// file of the build tree (etc/registry.reg beside the program) is read.
// Unknown phonemes and missing diphones are replaced, never fatal. The
// sound is streamed to the file as it is made, so memory stays flat however
// long the input: a file gets its sizes in the header at the end, a pipe
// keeps 0xFFFFFFFF there, which streaming readers take as "up to the end".
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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

constexpr std::size_t headerBytes = 44;
constexpr std::uint32_t unknownSize = 0xFFFFFFFFu;  // "up to the end", for a pipe

// The 44-byte header of 16-bit mono PCM; unknownSize keeps both sizes so.
void header(std::uint8_t* h, std::uint32_t rate, std::uint32_t dataBytes) {
    auto put = [&](std::size_t at, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) h[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    std::memcpy(h, "RIFFxxxxWAVEfmt ", 16);
    put(4, dataBytes == unknownSize ? unknownSize : dataBytes + 36, 4);
    put(16, 16, 4), put(20, 1, 2), put(22, 1, 2), put(24, rate, 4), put(28, rate * 2, 4), put(32, 2, 2);
    put(34, 16, 2);
    std::memcpy(h + 36, "data", 4);
    put(40, dataBytes, 4);
}

// Samples go to the file as the engine makes them; a file that can seek
// gets its sizes in the header at the end.
struct WaveOut {
    std::FILE* file = nullptr;
    bool seekable = false, failed = false;
    std::uint64_t bytes = 0;
    std::vector<std::uint8_t> le;  // little-endian bytes of one read

    void write(const short* s, int n) {
        le.resize(2 * static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            le[2 * i] = static_cast<std::uint8_t>(s[i]);
            le[2 * i + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(s[i]) >> 8);
        }
        if (!failed && std::fwrite(le.data(), 1, le.size(), file) != le.size()) failed = true;
        bytes += le.size();
    }
};

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

    std::FILE* in = args[1] == "-" ? stdin : std::fopen(args[1].c_str(), "rb");
    if (!in) {
        std::fprintf(stderr, "sintetizar: cannot read %s\n", args[1].c_str());
        return 1;
    }
    WaveOut out;
    out.file = args[2] == "-" ? stdout : std::fopen(args[2].c_str(), "wb");
    if (!out.file) {
        std::fprintf(stderr, "sintetizar: cannot write %s\n", args[2].c_str());
        return 1;
    }
    out.seekable = std::fseek(out.file, 0, SEEK_CUR) == 0;
    const int rate = getFreq_MBR();
    std::uint8_t h[headerBytes];
    header(h, static_cast<std::uint32_t>(rate), unknownSize);
    if (std::fwrite(h, 1, headerBytes, out.file) != headerBytes) out.failed = true;

    std::vector<short> buf(16000);
    auto drain = [&] {
        for (int n; (n = read_MBR(buf.data(), static_cast<int>(buf.size()))) > 0;) out.write(buf.data(), n);
    };
    // Line by line, reporting what the engine refuses and going on. A line
    // longer than the piece read at once reaches the engine in pieces, which
    // it joins (and refuses whole when it is too long).
    std::vector<char> piece(65536);
    while (std::fgets(piece.data(), static_cast<int>(piece.size()), in)) {
        if (write_MBR(piece.data()) < 0) {
            char text[512];
            lastErrorStr_MBR(text, sizeof text);
            std::fprintf(stderr, "sintetizar: %s\n", text);
        }
        drain();
    }
    const bool readFailed = std::ferror(in) != 0;
    if (in != stdin) std::fclose(in);
    flush_MBR();
    drain();
    close_MBR();

    if (out.seekable && !out.failed) {
        header(h, static_cast<std::uint32_t>(rate),
               static_cast<std::uint32_t>(std::min<std::uint64_t>(out.bytes, unknownSize - 36)));
        if (std::fseek(out.file, 0, SEEK_SET) != 0 || std::fwrite(h, 1, headerBytes, out.file) != headerBytes)
            out.failed = true;
    }
    if (std::fflush(out.file) != 0) out.failed = true;
    if (out.file != stdout && std::fclose(out.file) != 0) out.failed = true;
    if (readFailed) {
        std::fprintf(stderr, "sintetizar: cannot read %s\n", args[1].c_str());
        return 1;
    }
    if (out.failed) {
        std::fprintf(stderr, "sintetizar: cannot write %s\n", args[2].c_str());
        return 1;
    }
    return 0;
}
