// voicegen letras: the recordings of the directory of letters.
//
//     voicegen letras --data DIR --out DIR [--force]
//
// Every name the system can ask for (speaking/soundnames) gets one 11025 Hz
// 8-bit mono WAV file: the spoken ones say the text that the lists in the
// data directory give for the name, the telephone keys are their two tones,
// computed. A file is made again when it is missing or what makes it (its
// text, the recipe) changed; the rest are left alone. The lists are UTF-8 text, one
// "name text" pair a line (the name, blanks, the text to speak); lines
// starting with '#' and blank lines are skipped. A name the system does not
// use, a name given twice, or a name the system uses that has no text stops
// the run with a message: the lists and the program never drift apart.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "platform/system/system.hpp"
#include "speaking/soundnames.hpp"
#include "voicegen/registry.hpp"
#include "voicegen/speech.hpp"

namespace fs = std::filesystem;
namespace names = speaking::soundnames;

namespace {

constexpr std::uint32_t kRate = 11025;
constexpr double kToneSeconds = 0.150;
constexpr double kRampSeconds = 0.005;
// Change a recipe when the way its recordings are made changes: every
// recording of that kind is then made again.
constexpr const char* kSpeechRecipe = "espeak-ng pt-br 165 wpm, fir31 4800, trim 400 5/5 ms, peak 29000 x3;";
constexpr const char* kToneRecipe = "dtmf 150 ms 0.4+0.4 ramp 5 ms;";
constexpr const char* kStampName = ".voicegen-letras";

// FNV-1a, 64 bits, in hexadecimal.
std::string fingerprint(const std::string& text) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    return buf;
}

bool loadLists(const fs::path& dir, std::map<std::string, std::string>& texts,
               std::vector<fs::path>& files) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec))
        if (entry.is_regular_file() && entry.path().extension() == ".txt") files.push_back(entry.path());
    if (ec || files.empty()) {
        std::fprintf(stderr, "voicegen: no lists (*.txt) in %s\n", dir.c_str());
        return false;
    }
    std::sort(files.begin(), files.end());
    bool ok = true;
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::string line;
        int number = 0;
        while (std::getline(in, line)) {
            ++number;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty() || line[0] == '#') continue;
            const std::size_t gap = line.find_first_of(" \t");
            const std::size_t text = gap == std::string::npos ? gap : line.find_first_not_of(" \t", gap);
            if (text == std::string::npos) {
                std::fprintf(stderr, "%s:%d: a name without text\n", file.c_str(), number);
                ok = false;
                continue;
            }
            const std::string name = line.substr(0, gap);
            if (!texts.emplace(name, line.substr(text)).second) {
                std::fprintf(stderr, "%s:%d: %s given twice\n", file.c_str(), number, name.c_str());
                ok = false;
            }
        }
    }
    return ok;
}

// Row and column frequencies of the telephone keypad.
bool toneOf(char key, double& low, double& high) {
    static const char* const rows[] = {"123", "456", "789", "*0#"};
    static const double rowHz[] = {697, 770, 852, 941};
    static const double colHz[] = {1209, 1336, 1477};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            if (rows[r][c] == key) {
                low = rowHz[r];
                high = colHz[c];
                return true;
            }
    return false;
}

std::vector<std::uint8_t> dialTone(double low, double high) {
    const auto n = static_cast<std::size_t>(kToneSeconds * kRate);
    const double ramp = kRampSeconds * kRate;
    std::vector<std::int16_t> s(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kRate;
        double env = 1;
        const double fromEdge = std::min<double>(static_cast<double>(i), static_cast<double>(n - 1 - i));
        if (fromEdge < ramp) env = 0.5 - 0.5 * std::cos(std::numbers::pi * fromEdge / ramp);
        const double v = 0.4 * std::sin(2 * std::numbers::pi * low * t) + 0.4 * std::sin(2 * std::numbers::pi * high * t);
        s[i] = static_cast<std::int16_t>(std::lround(env * v * 32767));
    }
    return voicegen::toUnsigned8(s);
}

std::vector<std::uint8_t> spoken(const std::string& text) {
    std::vector<std::int16_t> s = voicegen::speak(text);
    if (voicegen::espeakRate() == 2 * static_cast<int>(kRate)) s = voicegen::halveRate(s);
    // 5 ms kept at either end: a recording's silent tail would lengthen
    // every pause that follows it (the pause after a punctuation mark's name).
    s = voicegen::trimSilence(s, 400, kRate / 200, kRate / 200);
    voicegen::normalise(s, 29000, 3.0);
    return voicegen::toUnsigned8(s);
}

bool writeAtomically(const fs::path& path, const std::vector<std::uint8_t>& samples) {
    fs::path tmp = path;
    tmp += ".tmp";
    if (!voicegen::writeWav8(tmp.string(), samples, kRate)) return false;
    std::error_code ec;
    fs::rename(tmp, path, ec);
    return !ec;
}

int runLetras(int argc, char** argv) {
    fs::path dataDir, outDir;
    bool force = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--data" && i + 1 < argc) dataDir = argv[++i];
        else if (a == "--out" && i + 1 < argc) outDir = argv[++i];
        else if (a == "--force") force = true;
        else {
            std::fprintf(stderr, "usage: voicegen letras --data DIR --out DIR [--force]\n");
            return 2;
        }
    }
    if (dataDir.empty() || outDir.empty()) {
        std::fprintf(stderr, "usage: voicegen letras --data DIR --out DIR [--force]\n");
        return 2;
    }
    const auto started = std::chrono::steady_clock::now();

    std::map<std::string, std::string> texts;
    std::vector<fs::path> lists;
    if (!loadLists(dataDir, texts, lists)) return 1;
    const std::vector<std::string> spokenNames = names::spokenSounds();
    bool ok = true;
    const std::set<std::string> known(spokenNames.begin(), spokenNames.end());
    for (const std::string& name : spokenNames)
        if (!texts.count(name)) {
            std::fprintf(stderr, "voicegen: no text for %s in %s\n", name.c_str(), dataDir.c_str());
            ok = false;
        }
    for (const auto& [name, text] : texts)
        if (!known.count(name)) {
            std::fprintf(stderr, "voicegen: %s is listed but the system never plays it\n", name.c_str());
            ok = false;
        }
    if (!ok) return 1;

    // Each recording is remembered in the stamp file with a fingerprint of
    // what made it (the recipe and its text); it is made again when it is
    // missing or its fingerprint changed.
    std::error_code ec;
    fs::create_directories(outDir, ec);
    const fs::path stampPath = outDir / kStampName;
    std::map<std::string, std::string> before, after;
    {
        std::ifstream in(stampPath);
        std::string name, print;
        while (in >> name >> print) before[name] = print;
    }
    auto stale = [&](const std::string& name, const fs::path& p, const std::string& recipe) {
        const std::string print = fingerprint(recipe);
        after[name] = print;
        std::error_code e;
        return force || !fs::is_regular_file(p, e) || before[name] != print;
    };
    auto fileOf = [&](const std::string& name) {
        return outDir / platform::cp1252ToUtf8(name + ".wav");
    };

    int made = 0, failed = 0;
    bool espeakStarted = false;
    for (const std::string& name : spokenNames) {
        const fs::path path = fileOf(name);
        if (!stale(name, path, kSpeechRecipe + voicegen::espeakVersion() + ";" + texts[name])) continue;
        if (!espeakStarted) {
            if (!voicegen::startEspeak("pt-br", 165)) return 1;
            espeakStarted = true;
        }
        const std::vector<std::uint8_t> samples = spoken(texts[name]);
        if (samples.empty() || !writeAtomically(path, samples)) {
            std::fprintf(stderr, "voicegen: could not make %s\n", path.c_str());
            after.erase(name);
            ++failed;
        } else {
            ++made;
        }
    }
    for (const std::string& name : names::telephoneKeySounds()) {
        const fs::path path = fileOf(name);
        if (!stale(name, path, std::string(kToneRecipe) + name)) continue;
        double low = 0, high = 0;
        const char key = name.back() == 'X' ? '*' : name.back();
        if (!toneOf(key, low, high) || !writeAtomically(path, dialTone(low, high))) {
            std::fprintf(stderr, "voicegen: could not make %s\n", path.c_str());
            after.erase(name);
            ++failed;
        } else {
            ++made;
        }
    }

    {
        std::ofstream out(stampPath, std::ios::trunc);
        for (const auto& [name, print] : after) out << name << ' ' << print << '\n';
    }
    if (made > 0) {
        std::uintmax_t total = 0;
        std::size_t files = 0;
        for (const auto& entry : fs::directory_iterator(outDir, ec))
            if (entry.is_regular_file() && entry.path().extension() == ".wav") {
                total += entry.file_size();
                ++files;
            }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::printf("voicegen: made %d recordings in %.2f s; %zu files, %ju bytes in %s\n", made,
                    seconds, files, total, outDir.c_str());
    }
    return failed ? 1 : 0;
}

voicegen::Subcommand letras("letras", runLetras);

}  // namespace
