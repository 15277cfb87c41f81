// voicegen difones: builds the diphone synthesizer's database.
//
//     voicegen difones --list data/difones/unidades.txt --out DIR --base NAME
//
// Every unit of the list is said by espeak-ng (pt-br) from phoneme input,
// with a flat pitch so that units join without jumps, then brought down to
// 11025 Hz, trimmed of its silences, given short fades at both ends and
// stored as unsigned 8-bit samples in DIR/NAME.DIF. DIR/NAME.IND holds one
// 15-byte entry per unit, sorted by name. One gain serves the whole
// database, so units keep their loudness relative to each other.
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "synth/qrtradut.hpp"
#include "voicegen/registry.hpp"
#include "voicegen/speech.hpp"

namespace voicegen {
namespace {

std::vector<std::int16_t>* gUnit = nullptr;

int collectUnit(short* wav, int count, espeak_EVENT*) {
    if (wav && count > 0 && gUnit) gUnit->insert(gUnit->end(), wav, wav + count);
    return 0;
}

std::vector<std::int16_t> speakPhonemes(const std::string& phonemes) {
    std::vector<std::int16_t> out;
    gUnit = &out;
    const std::string text = "[[" + phonemes + "]]";
    espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_AUTO | espeakPHONEMES,
                 nullptr, nullptr);
    espeak_Synchronize();
    gUnit = nullptr;
    return out;
}

std::string unitName(const std::string& notation) {
    std::string name = "$";
    for (char c : notation) {
        if (c == '^') name += "CIRC";
        else if (c == '~') name += "TIL";
        else name += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
    return name;
}

struct Wanted {
    std::string name;
    std::string phonemes;
};

bool readList(const std::string& path, std::vector<Wanted>& units) {
    std::ifstream in(path);
    if (!in) return false;
    std::vector<std::pair<std::string, std::string>> onsets, vowels, codas;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string kind, a, b;
        if (!(fields >> kind) || kind[0] == '#') continue;
        fields >> a >> b;
        if (kind == "onset") onsets.push_back({a == "-" ? "" : a, b == "-" ? "" : b});
        else if (kind == "vowel") vowels.push_back({a, b});
        else if (kind == "unit") units.push_back({a, b});
        else if (kind == "coda") codas.push_back({a, b});
    }
    for (const auto& [c, cEspeak] : codas)
        for (const auto& [v, vEspeak] : vowels)
            if (v.size() == 1) units.push_back({unitName(v + c), "'" + vEspeak + cEspeak});
    for (const auto& [on, onEspeak] : onsets)
        for (const auto& [v, vEspeak] : vowels)
            units.push_back({unitName(on + v), onEspeak + "'" + vEspeak});
    // Names too long for the index are left to the fallbacks; repeated
    // names keep their first phonemes.
    std::vector<Wanted> kept;
    std::map<std::string, bool> seen;
    for (auto& u : units) {
        if (u.name.size() > 8 || seen[u.name]) continue;
        seen[u.name] = true;
        kept.push_back(u);
    }
    units = std::move(kept);
    return true;
}

int runDifones(int argc, char** argv) {
    std::string list, out, base = "DIFONES";
    int rate = 190;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--list") list = argv[i + 1];
        else if (opt == "--out") out = argv[i + 1];
        else if (opt == "--base") base = argv[i + 1];
        else if (opt == "--rate") rate = std::atoi(argv[i + 1]);
    }
    if (list.empty() || out.empty()) {
        std::fprintf(stderr, "usage: voicegen difones --list FILE --out DIR [--base NAME] [--rate WPM]\n");
        return 2;
    }
    std::vector<Wanted> units;
    if (!readList(list, units)) {
        std::fprintf(stderr, "voicegen difones: cannot read %s\n", list.c_str());
        return 1;
    }
    if (!startEspeak("pt-br", rate)) return 1;
    espeak_SetSynthCallback(collectUnit);
    espeak_SetParameter(espeakPITCH, 45, 0);
    espeak_SetParameter(espeakRANGE, 8, 0);

    std::vector<std::vector<std::int16_t>> sounds;
    int peak = 1;
    for (const Wanted& u : units) {
        std::vector<std::int16_t> s = halveRate(speakPhonemes(u.phonemes));
        s = trimSilence(s, 300, 40, 60);
        if (s.size() > 20000) s.resize(20000);
        const std::size_t fade = std::min<std::size_t>(60, s.size() / 4);
        for (std::size_t i = 0; i < fade; ++i) {
            const double g = static_cast<double>(i) / static_cast<double>(fade);
            s[i] = static_cast<std::int16_t>(s[i] * g);
            s[s.size() - 1 - i] = static_cast<std::int16_t>(s[s.size() - 1 - i] * g);
        }
        for (std::int16_t v : s) peak = std::max(peak, std::abs(static_cast<int>(v)));
        if (s.empty()) std::fprintf(stderr, "voicegen difones: %s is silent\n", u.name.c_str());
        sounds.push_back(std::move(s));
    }
    const double gain = std::min(3.0, 30000.0 / peak);

    std::vector<std::size_t> order(units.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return units[a].name < units[b].name; });

    std::filesystem::create_directories(out);
    const std::string indPath = out + "/" + base + ".IND";
    const std::string difPath = out + "/" + base + ".DIF";
    std::ofstream ind(indPath + ".tmp", std::ios::binary), dif(difPath + ".tmp", std::ios::binary);
    std::uint32_t offset = 0;
    for (std::size_t i : order) {
        std::vector<std::int16_t> s = sounds[i];
        for (auto& v : s) v = static_cast<std::int16_t>(std::clamp(std::lround(v * gain), -32767L, 32767L));
        const std::vector<std::uint8_t> bytes = toUnsigned8(s);
        qrtradut::IndexEntry e{units[i].name, static_cast<std::uint16_t>(bytes.size()), offset};
        ind << qrtradut::encodeIndexEntry(e);
        dif.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        offset += static_cast<std::uint32_t>(bytes.size());
    }
    ind.close();
    dif.close();
    if (!ind || !dif) {
        std::fprintf(stderr, "voicegen difones: cannot write %s\n", out.c_str());
        return 1;
    }
    std::filesystem::rename(indPath + ".tmp", indPath);
    std::filesystem::rename(difPath + ".tmp", difPath);
    std::printf("voicegen difones: %zu units, %.1f s of sound in %s\n", units.size(),
                offset / 11025.0, difPath.c_str());
    return 0;
}

const Subcommand registration("difones", runDifones);

}  // namespace
}  // namespace voicegen
