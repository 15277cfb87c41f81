// The WAV readers: the input is played as a file and as a memory image on
// the test device (blocks finish at once), with the speed-up and the
// pitch-period cut switched by the input's length.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/sound/waveout.hpp"
#include "sound/qrwav.hpp"

namespace {

const std::string& scratchFile() {
    static const std::string* name = new std::string(
        (std::filesystem::temp_directory_path() /
         ("quoril_fuzz_wav_" + std::to_string(std::random_device{}()) + ".bin"))
            .string());
    return *name;
}

struct Cleanup {
    ~Cleanup() {
        std::error_code ec;
        std::filesystem::remove(scratchFile(), ec);
    }
} cleanup;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool ready = [] {
        setenv("QUORIL_CONSOLE", "headless", 0);
        platform::waveout::useTestDevice(true);
        return true;
    }();
    (void)ready;
    platform::waveout::test::reset();
    platform::waveout::test::setAutoFinish(true);
    qrwav::resetForTests();
    qrwav::waveFaster() = size & 1;
    qrwav::waveCutSpeech() = size & 2;

    {
        std::ofstream out(scratchFile(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    qrwav::playWaveFile(scratchFile());

    // The image in a buffer of exactly its size, so that any read past the
    // end is caught.
    std::vector<std::uint8_t> image(data, data + size);
    qrwav::playWaveImage(image.data(), image.size());
    if (size >= 8 && image.size() >= 8) {
        std::uint32_t riffSize = image[4] | image[5] << 8 | image[6] << 16 | static_cast<std::uint32_t>(image[7]) << 24;
        if (riffSize <= size - 8) qrwav::playWaveImage(image.data());
    }
    while (qrwav::waveStillPlaying()) {
    }
    return 0;
}
