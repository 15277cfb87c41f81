// The diphone synthesizer's units: an index and a data file made of the
// input (its first byte says how many 15-byte index entries come first, the
// rest is the .DIF), opened as synthStart opens them, then phrases spoken
// from them: every unit is read within the file, whatever the entries say.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/sound/waveout.hpp"
#include "synth/qrtradut.hpp"
#include "synth/regras.hpp"

namespace {

namespace fs = std::filesystem;

struct Place {
    fs::path dir, index, data;
    std::string phrases;
};

// A settings file naming folders of our own, with the source tree's rule
// file and a short exception file beside the database.
const Place& place() {
    static const Place* p = [] {
        auto* q = new Place;
        q->dir = fs::temp_directory_path() / ("quoril_fuzz_dif_" + std::to_string(std::random_device{}()));
        fs::create_directories(q->dir / "letras");
        fs::create_directories(q->dir / "difones");
        std::ofstream(q->dir / "QUORIL.INI") << "[TRADUTOR]\nDIRLETRAS=" << (q->dir / "letras").string()
                                             << "\nDIRDIFONES=" << (q->dir / "difones").string() << "\n";
        fs::copy_file(QUORIL_SOURCE_DIR "/data/regras.rgr", q->dir / "difones" / "regras.rgr");
        std::ofstream(q->dir / "difones" / "portug.exc") << "XEROX CSEROCS\n";
        q->index = q->dir / "difones" / "VOZ.IND";
        q->data = q->dir / "difones" / "VOZ.DIF";
        setenv("QUORIL_WINDIR", q->dir.c_str(), 1);
        setenv("QUORIL_CONSOLE", "headless", 0);
        platform::waveout::useTestDevice(true);
        qrtradut::setDatabaseName("VOZ");
        qrtradut::setDryRun(true);
        return q;
    }();
    return *p;
}

struct Cleanup {
    ~Cleanup() {
        std::error_code ec;
        fs::remove_all(place().dir, ec);
    }
} cleanup;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Place& p = place();
    if (size == 0) return 0;
    const std::size_t indexBytes = std::min<std::size_t>(size - 1, data[0] * qrtradut::indexEntrySize);
    std::ofstream(p.index, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(indexBytes));
    std::ofstream(p.data, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 1 + indexBytes), static_cast<std::streamsize>(size - 1 - indexBytes));
    // Cuts and lengths from the input too: every setting is held in range.
    const int cut = size > 2 ? data[size - 1] * 8 : 0;
    qrtradut::setSynthParams(cut, cut / 2, data[size / 2] * 40, size & 1, size & 2);
    if (qrtradut::synthStart() == 0) {
        static const std::string phrases = regras::transcribe("casa bonita, a\xE7\xE3o; ninho. quatro x");
        qrtradut::synthesize(phrases, size & 4);
    }
    qrtradut::synthStop();
    return 0;
}
