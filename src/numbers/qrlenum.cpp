// Number reading.
//
// A number is written with fifteen digits (leading zeros) and read as five
// groups of three: trilhoes, bilhoes, milhoes, mil and the units. Each group
// is read as hundreds, tens and units joined by " e "; the last group read
// is joined to the earlier ones by "e " only when it is under one hundred or
// a whole hundred ("mil e cem", "mil e cinco", but "mil novecentos e
// oitenta"), and a leading "um mil" is said as plain "mil" (but "um milhao"
// stays).
//
// Playing: every word names a recording in the letters directory. The
// samples after each file's 44-byte header are copied one after another
// into a 30044-byte image; when the next word would not fit, the image is
// played and awaited, and filling starts again.
#include "numbers/qrlenum.hpp"

#include <algorithm>
#include <array>
#include <fstream>

#include "platform/system/system.hpp"
#include "speaking/output.hpp"
#include "speaking/soundnames.hpp"
#include "speaking/sounds.hpp"

namespace qrlenum {
namespace {

namespace names = speaking::soundnames;

constexpr std::size_t kHeader = 44;
constexpr std::size_t kDigits = 15;
constexpr int kGroups = 5;

std::string digitWord(const std::array<const char*, 10>& table, char digit) {
    return table[static_cast<std::size_t>(digit - '0')];
}

std::vector<std::string> splitWords(const std::string& text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        std::size_t start = i;
        while (i < text.size() && text[i] != ' ') ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

// Plays the samples gathered so far and waits for their end.
void playGathered(std::vector<std::uint8_t>& image, std::size_t& count) {
    speaking::writeWaveHeader(image.data(), static_cast<std::uint32_t>(count), 11025, 1, 8);
    speaking::playImageAndWait(image.data());
    speaking::waitWhileSpeaking();
    count = 0;
}

}  // namespace

std::string hundredsToWords(const std::string& g) {
    const names::NumberWords& w = names::numberWords();
    if (g.size() != 3) return {};
    const char h = g[0], t = g[1], u = g[2];
    if (g == "000") return {};
    if (g == "100") return w.hundredExactly;
    std::string out;
    if (h != '0') {
        out = digitWord(w.hundreds, h);
        if (t == '0' && u == '0') return out;
        out += " e ";
    }
    if (t == '1') return out + digitWord(w.teens, u);
    if (t != '0') {
        out += digitWord(w.tens, t);
        if (u == '0') return out;
        out += " e ";
    }
    if (u > '0') out += digitWord(w.units, u);
    return out;
}

std::string groupToWords(const std::string& s, int group) {
    if (group < 0 || group >= kGroups || s.size() < kDigits) return {};
    const names::NumberWords& w = names::numberWords();
    const std::string g = s.substr(static_cast<std::size_t>(3 * group), 3);
    std::string words = hundredsToWords(g);
    const std::size_t i = static_cast<std::size_t>(group);
    if (group < kGroups - 1 && g != "000")
        words += std::string(" ") + (g == "001" ? w.scaleSingular[i] : w.scalePlural[i]) + " ";
    return words;
}

std::string numberToWords(std::uint64_t n) {
    if (n == 0) return names::numberWords().units[0];
    std::string digits = std::string(kDigits - 1, '0') + std::to_string(n);
    digits = digits.substr(digits.size() - kDigits);
    std::string groups[kGroups];
    int last = 0;
    for (int i = 0; i < kGroups; ++i) {
        groups[i] = groupToWords(digits, i);
        if (!groups[i].empty()) last = i;
    }
    const std::string lastGroup = digits.substr(static_cast<std::size_t>(3 * last), 3);
    const bool joinWithE = lastGroup[0] == '0' || (lastGroup[1] == '0' && lastGroup[2] == '0');
    std::string out;
    for (int i = 0; i <= last; ++i) {
        if (i == last && !out.empty() && joinWithE) out += "e ";
        out += groups[i];
    }
    if (out.rfind("um mil", 0) == 0 && out.rfind("um milh", 0) != 0) out.erase(0, 3);
    return out;
}

std::vector<std::string> wordSoundNames(const std::string& words, bool feminine) {
    const names::NumberWords& w = names::numberWords();
    const std::vector<std::string> list = splitWords(words);
    std::vector<std::string> sounds;
    for (std::size_t i = 0; i < list.size(); ++i) {
        std::string name = names::wordSound(list[i]);
        if (feminine && i + 1 == list.size()) {
            if (name == names::wordSound(w.units[1])) name = names::wordSound(w.oneFeminine);
            else if (name == names::wordSound(w.units[2])) name = names::wordSound(w.twoFeminine);
        }
        sounds.push_back(name);
    }
    return sounds;
}

void speakNumberWords(const std::string& words, bool feminine) {
    std::vector<std::uint8_t> image(kHeader + imageSamples, 128);
    std::size_t count = 0;
    const std::string& dir = speaking::synthLettersDirectory();
    for (const std::string& name : wordSoundNames(words, feminine)) {
        if (!platform::fileExists(dir + name + ".wav")) continue;  // a pipe in its place is no recording
        std::ifstream file(platform::toNativeName(dir + name + ".wav"), std::ios::binary);
        if (!file) continue;
        file.seekg(0, std::ios::end);
        const std::streamoff size = file.tellg();
        if (size <= static_cast<std::streamoff>(kHeader)) continue;
        // The length field of the player is 16 bits wide.
        std::size_t k = static_cast<std::size_t>(size - static_cast<std::streamoff>(kHeader)) % 65536;
        if (count + k > imageSamples && count > 0) playGathered(image, count);
        file.seekg(static_cast<std::streamoff>(kHeader));
        // A recording longer than one image is played in image-sized pieces.
        while (k > 0) {
            const std::size_t piece = std::min(k, imageSamples - count);
            file.read(reinterpret_cast<char*>(image.data() + kHeader + count),
                      static_cast<std::streamsize>(piece));
            const std::size_t got = static_cast<std::size_t>(file.gcount());
            count += got;
            k -= piece;
            if (got < piece) break;
            if (k > 0) playGathered(image, count);
        }
    }
    if (count != 0) playGathered(image, count);
}

}  // namespace qrlenum
