// Recorded letters and sounds.
//
// The click is 256 samples: 64 of noise (128 plus 0..59), drawn once when the
// module first needs it, then 192 of silence. The warning tone is 512
// samples of the eight-sample triangle 128 112 96 80 64 80 96 112, which at
// 11025 samples per second is about 1378 Hz for about 46 ms; its last sample
// is put back to silence so that the device stops at rest. Both are whole
// WAV images with the usual 44-byte header.
#include "speaking/sounds.hpp"

#include <algorithm>
#include <optional>
#include <random>

#include "console/qrcrt.hpp"
#include "platform/system/messages.hpp"
#include "platform/system/system.hpp"
#include "sound/qrwav.hpp"
#include "speaking/output.hpp"
#include "speaking/soundnames.hpp"

namespace speaking {
namespace {

constexpr std::size_t kHeaderSize = 44;
constexpr std::uint32_t kRate = 11025;
constexpr std::size_t kClickSamples = 256;
constexpr std::size_t kClickNoise = 64;
constexpr std::size_t kWarningSamples = 512;
constexpr std::uint8_t kSilence = 128;
constexpr int kDialPause = 100;
constexpr int kCommaPause = 1000;
constexpr int kWaitSlice = 20;  // longest sleep between two looks at the player

struct SoundsState {
    std::vector<std::uint8_t> click;
    std::vector<std::uint8_t> warning;
    std::optional<std::string> lettersDirectory;
    std::optional<std::string> synthLettersDirectory;
    std::string messageSoundDirectory;
};

SoundsState& state() {
    static SoundsState s;
    return s;
}

std::vector<std::uint8_t> makeImage(std::size_t samples) {
    std::vector<std::uint8_t> image(kHeaderSize + samples, kSilence);
    writeWaveHeader(image.data(), static_cast<std::uint32_t>(samples), kRate, 1, 8);
    return image;
}

void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

std::string withSeparator(std::string dir) {
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
    return dir;
}

// Waits, pumping messages, until the player is silent or a key cut it.
void awaitSound() {
    while (speechBusy()) platform::waitMessageFor(kWaitSlice);
}

}  // namespace

void writeWaveHeader(std::uint8_t* image, std::uint32_t dataLength, std::uint32_t rate,
                     std::uint16_t channels, std::uint16_t bits) {
    static constexpr std::uint8_t kTemplate[kHeaderSize] = {
        'R', 'I', 'F', 'F', 0xFF, 0xFF, 0xFF, 0xFF, 'W', 'A', 'V', 'E',
        'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0,
        0x11, 0x2B, 0, 0, 0x11, 0x2B, 0, 0, 1, 0, 8, 0,
        'd', 'a', 't', 'a', 0xFF, 0xFF, 0xFF, 0xFF};
    std::copy(std::begin(kTemplate), std::end(kTemplate), image);
    put32(image + 4, dataLength + 36);
    put16(image + 22, channels);
    put32(image + 24, rate);
    put32(image + 28, rate * channels * (bits / 8u));
    put16(image + 34, bits);
    put32(image + 40, dataLength);
}

const std::vector<std::uint8_t>& clickImage() {
    SoundsState& s = state();
    if (s.click.empty()) {
        s.click = makeImage(kClickSamples);
        std::minstd_rand random;  // the same click in every run
        for (std::size_t i = 0; i < kClickNoise; ++i)
            s.click[kHeaderSize + i] = static_cast<std::uint8_t>(kSilence + random() % 60);
    }
    return s.click;
}

const std::vector<std::uint8_t>& warningImage() {
    SoundsState& s = state();
    if (s.warning.empty()) {
        static constexpr std::uint8_t kTriangle[8] = {128, 112, 96, 80, 64, 80, 96, 112};
        s.warning = makeImage(kWarningSamples);
        for (std::size_t i = 0; i < kWarningSamples; ++i) s.warning[kHeaderSize + i] = kTriangle[i % 8];
        s.warning.back() = kSilence;
    }
    return s.warning;
}

std::string lettersDirectoryFromSettings() {
    return withSeparator(
        platform::getProfileString("TRADUTOR", "DIRLETRAS", "c:\\tamiru\\som\\letras\\", "QUORIL.INI"));
}

const std::string& lettersDirectory() {
    SoundsState& s = state();
    if (!s.lettersDirectory) s.lettersDirectory = lettersDirectoryFromSettings();
    return *s.lettersDirectory;
}

void setLettersDirectory(const std::string& directory) {
    state().lettersDirectory = withSeparator(directory);
}

const std::string& synthLettersDirectory() {
    SoundsState& s = state();
    if (!s.synthLettersDirectory) s.synthLettersDirectory = lettersDirectoryFromSettings();
    return *s.synthLettersDirectory;
}

void setSynthLettersDirectory(const std::string& directory) {
    state().synthLettersDirectory = withSeparator(directory);
}

const std::string& messageSoundDirectory() { return state().messageSoundDirectory; }

void setMessageSoundDirectory(const std::string& directory) {
    state().messageSoundDirectory = withSeparator(directory);
}

void playLetter(std::uint8_t c) {
    finishSpeech();
    qrwav::playWaveFile(synthLettersDirectory() + soundnames::characterSound(c) + ".wav");
}

void playSound(const std::string& name) {
    finishSpeech();
    const std::string& dir =
        !name.empty() && name[0] == '_' ? lettersDirectory() : messageSoundDirectory();
    qrwav::playWaveFile(dir + name + ".wav");
}

void beepShort() {
    finishSpeech();
    bool& cut = qrwav::waveCutSpeech();
    const bool saved = cut;
    cut = false;
    const std::vector<std::uint8_t>& click = clickImage();
    qrwav::playWaveImage(click.data(), click.size());
    awaitSound();
    cut = saved;
}

void beepError() {
    finishSpeech();
    while (qrcrt::keyWaiting()) qrcrt::readKeyCode();
    const std::vector<std::uint8_t>& warning = warningImage();
    qrwav::playWaveImage(warning.data(), warning.size());
    awaitSound();
}

void playImageAndWait(const std::uint8_t* image) {
    finishSpeech();
    qrwav::playWaveImage(image);
    awaitSound();
}

void dialTones(const std::string& text) {
    finishSpeech();
    bool& faster = qrwav::waveFaster();
    const bool saved = faster;
    faster = false;
    for (char c : upperCaseLatin(text)) {
        const std::string key = soundnames::telephoneKeySound(c);
        if (!key.empty()) {
            qrwav::playWaveFile(synthLettersDirectory() + key + ".wav");
            qrcrt::pauseFor(kDialPause);
        } else if (c == ',') {
            qrcrt::pauseFor(kCommaPause);
        }
    }
    faster = saved;
}

std::string upperCaseLatin(const std::string& text) {
    std::string out = text;
    for (char& ch : out) {
        const auto c = static_cast<std::uint8_t>(ch);
        if ((c >= 'a' && c <= 'z') || c >= 224) ch = static_cast<char>(c - 32);
    }
    return out;
}

void resetSoundsForTests() { state() = SoundsState{}; }

}  // namespace speaking
