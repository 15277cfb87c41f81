// The speaking output's text runs and the number readers: any text is cut
// into zeros, digit runs, word runs and symbols and voiced (words go to a
// stand-in for the synthesizer, sounds to the test device), and any number
// and any digits become words, date and time included.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "numbers/qrhora.hpp"
#include "numbers/qrlenum.hpp"
#include "platform/sound/waveout.hpp"
#include "speaking/output.hpp"

namespace {

std::uint64_t number(const std::uint8_t* data, std::size_t size) {
    std::uint64_t n = 0;
    for (std::size_t i = 0; i < size && i < 8; ++i) n = (n << 8) | data[i];
    return n % 1000000000000000ULL;  // at most 15 digits
}

// Speech started once, against settings of its own with no pauses (a pause
// sleeps), on the headless console and the test device.
void start() {
    setenv("QUORIL_CONSOLE", "headless", 0);
    const auto dir = std::filesystem::temp_directory_path() /
                     ("quoril_fuzz_speak_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "QUORIL.INI") << "[SINTETIZADOR]\nPAUSAPONTO3=0\nPAUSAVIRG3=0\nPAUSADOISPONTOS3=0\n";
    setenv("QUORIL_WINDIR", dir.c_str(), 1);
    platform::waveout::useTestDevice(true);
    platform::waveout::test::setAutoFinish(true);
    speaking::setSynthesizerForTests([] { return 0; }, [](const std::string&) {});
    speaking::startSpeech(3, "");
    std::filesystem::remove_all(dir);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = (start(), true);
    (void)ready;
    if (size > 512) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    speaking::speakText(text);
    platform::waveout::test::reset();
    platform::waveout::test::setAutoFinish(true);

    const std::string words = qrlenum::numberToWords(number(data, size));
    if (words.empty()) std::abort();
    for (const std::string& name : qrlenum::wordSoundNames(words, size & 1))
        if (name.size() > 9 || name[0] != '_') std::abort();
    (void)qrlenum::wordSoundNames(text, size & 2);
    // The group readers take digits only, as numberToWords gives them.
    std::string digits(15, '0');
    for (std::size_t i = 0; i < size && i < 15; ++i) digits[i] = static_cast<char>('0' + data[i] % 10);
    for (int g = 0; g < 5; ++g) (void)qrlenum::groupToWords(digits, g);
    (void)qrlenum::hundredsToWords(digits.substr(12));
    if (size >= 4) {
        qrhora::speakTime(data[0] - 100, data[1] - 100);
        qrhora::speakDate(data[2] - 100, data[3] - 100, static_cast<int>(number(data, size) % 20000) - 5000);
    }
    return 0;
}
