// qrtradut: from a phonetic string to sound.
//
// transcribe ("casa") -> "[ k/A/ z/a]"
//   groups   the string is read group by group: '/'-joined pieces merge
//            while the group holds at most 8 characters; a space or ']'
//            ends it. Rule outputs put a space where a syllable starts, so
//            the groups are syllables: "kA", "za".
//   split    a group breaks into specs: an onset cluster loses its first
//            consonant ("tra" -> "t" + "ra"), a final consonant or plural s
//            is split off ("kas" -> "ka" + "s"), a vowel with a glide keeps
//            the diphthong whole and shortens what comes before it ("kay"
//            -> "ka" at 0.6 + "ay").
//   spec     a spec becomes unit names: "$" + its letters; a '^' closes the
//            name with "CIRC" (closed vowel), a '~' with "TIL" (nasal), so
//            "ka~" is "$kaTIL". An upper-case vowel marks it stressed:
//            its units are never shortened.
//   unit     a unit is looked up in the index; a missing one is rebuilt from
//            smaller ones ("$kaza" -> "$kaz" + "$a", "$kaTIL" -> "$kaCIRC"
//            + "$nn"), a missing one- or two-letter name is heard as 300
//            samples of noise, and what cannot be rebuilt is left out.
//   image    samples go into the 64000-byte image after its 44-byte header;
//            a full image is played, and waited for, before the next fills.
//
// Unstressed units of three or more characters lose the cut length from
// their end (never going below the minimum length); that is how the speeds
// differ.
//
// Units are cut from running speech and are cut shorter still, so they
// rarely end or begin at rest. Where sound meets silence (a word pause, a
// punctuation pause, the start and end of an utterance or of an image) its
// last or first 3 ms are faded to or from silence in place: no length
// changes, and no step into or out of silence clicks.
#include "synth/qrtradut.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/system/system.hpp"
#include "sound/qrwav.hpp"
#include "speaking/sounds.hpp"
#include "synth/regras.hpp"

namespace qrtradut {
namespace {

constexpr int noiseLength = 300;
constexpr std::size_t maxGroup = 40;
constexpr std::size_t maxSpec = 12;
constexpr std::size_t maxName = 12;
constexpr std::size_t maxDirectory = 80;
constexpr std::size_t maxBaseName = 8;
constexpr std::size_t fadeSamples = sampleRate * 3 / 1000;

struct State {
    // parameters
    std::string baseName = "DIFONES2";
    int cutLength = 400;
    int minimumLength = 0;
    int wordPause = 100;
    int pauseFullStop = 8000;
    int pauseComma = 4000;
    int pauseSemicolon = 6000;
    int pauseColon = 8000;
    // database
    std::string lettersDir;
    std::string diphoneDir;
    std::vector<IndexEntry> index;
    std::FILE* data = nullptr;
    // the image
    std::vector<std::uint8_t> image;
    std::size_t offset = headerSize;
    bool silent = true;  // what was appended last is silence (or nothing yet)
    int mode = 1;
    // counting
    Stats stats;
    bool groupNoise = false;
    bool groupDropped = false;
    bool dryRun = false;
    std::function<void(const std::uint8_t*, std::size_t)> sink;
    std::minstd_rand random{20240607u};
    std::vector<std::uint8_t> readBuffer;
};

State& st() {
    static State s;
    return s;
}

bool isVocalic(char c) {
    switch (c) {
        case 'A': case 'E': case 'I': case 'O': case 'U':
        case 'a': case 'e': case 'i': case 'o': case 'u':
        case 'w': case 'y':
            return true;
        default:
            return false;
    }
}
bool isClusterConsonant(char c) {
    switch (c) {
        case 'b': case 'c': case 'd': case 'f': case 'g': case 'j': case 'k': case 'l': case 'm':
        case 'n': case 'p': case 'q': case 'r': case 's': case 't': case 'v': case 'x': case 'z':
            return true;
        default:
            return false;
    }
}
bool isGlide(char c) { return c == 'w' || c == 'y'; }
bool isUpperVowel(char c) {
    return c == 'A' || c == 'E' || c == 'I' || c == 'O' || c == 'U';
}
bool endsWith(const std::string& s, const char* tail) {
    const std::string t(tail);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

std::string withSeparator(std::string dir) {
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
    return dir;
}

// ---- the image ----

// Scales count samples toward silence (128): in, the first ones from
// silence; out, the last ones to silence.
void fade(std::uint8_t* p, std::size_t count, bool in) {
    for (std::size_t j = 0; j < count; ++j) {
        std::uint8_t& v = in ? p[j] : p[count - 1 - j];
        const double g = static_cast<double>(j + 1) / static_cast<double>(fadeSamples + 1);
        v = static_cast<std::uint8_t>(128 + std::lround((v - 128) * g));
    }
}

// The sound before a silence ends at rest.
void fadeOutTail() {
    State& s = st();
    if (s.silent) return;
    const std::size_t n = std::min(fadeSamples, s.offset - headerSize);
    fade(s.image.data() + s.offset - n, n, false);
    s.silent = true;
}

void flush() {
    State& s = st();
    fadeOutTail();
    if (s.offset == headerSize) return;
    speaking::writeWaveHeader(s.image.data(), static_cast<std::uint32_t>(s.offset - headerSize),
                              sampleRate, 1, 8);
    if (s.sink) s.sink(s.image.data(), s.offset);
    else if (!s.dryRun) speaking::playImageAndWait(s.image.data());
    s.offset = headerSize;
}

void append(const std::uint8_t* bytes, std::size_t count) {
    State& s = st();
    // A unit never fills more than one image.
    count = std::min(count, imageSize - headerSize - 1);
    if (count == 0) return;
    if (s.offset + count >= imageSize) flush();
    std::copy(bytes, bytes + count, s.image.begin() + static_cast<std::ptrdiff_t>(s.offset));
    s.offset += count;
    s.stats.samples += count;
}

// Sound: after a silence it starts from rest.
void appendSound(const std::uint8_t* bytes, std::size_t count) {
    State& s = st();
    const std::size_t at = s.offset;
    append(bytes, count);
    if (s.offset == at) return;
    const std::size_t start = s.offset - std::min(count, imageSize - headerSize - 1);  // after a flush too
    if (s.silent) fade(s.image.data() + start, std::min(fadeSamples, s.offset - start), true);
    s.silent = false;
}

void silence(int samples) {
    static const std::vector<std::uint8_t> block(100, 128);
    if (samples / 100 > 0) fadeOutTail();
    for (int i = 0; i < samples / 100; ++i) append(block.data(), block.size());
}

void noise() {
    State& s = st();
    std::uint8_t bytes[noiseLength];
    std::uniform_int_distribution<int> value(88, 167);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(value(s.random));
    appendSound(bytes, sizeof bytes);
}

// ---- fetching units ----

bool appendDiphone(std::string name, int mode, double factor) {
    State& s = st();
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (name.size() > maxName) name.resize(maxName);
    const int at = findIndexEntry(s.index, name);
    if (at < 0) return false;
    const IndexEntry& e = s.index[static_cast<std::size_t>(at)];
    long n = e.length;
    if (mode < 2 && name.size() >= 3) {
        n = static_cast<long>(e.length) - s.cutLength;
        if (n < s.minimumLength) n = std::min<long>(e.length, s.minimumLength);
    }
    // Whatever the settings, a unit is never read past its end.
    n = std::clamp<long>(n, 0, e.length);
    const auto count = static_cast<std::size_t>(static_cast<double>(n) * factor);
    if (count == 0 || s.data == nullptr) return true;
    s.readBuffer.resize(count);
    if (std::fseek(s.data, static_cast<long>(e.offset), SEEK_SET) != 0) return true;
    const std::size_t got = std::fread(s.readBuffer.data(), 1, count, s.data);
    appendSound(s.readBuffer.data(), got);
    return true;
}

std::uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
bool sameTag(const unsigned char* p, const char* tag) {
    for (int i = 0; i < 4; ++i) {
        unsigned char a = p[i], b = static_cast<unsigned char>(tag[i]);
        if (a >= 'a' && a <= 'z') a -= 32;
        if (b >= 'a' && b <= 'z') b -= 32;
        if (a != b) return false;
    }
    return true;
}

bool appendRecorded(const std::string& name) {
    State& s = st();
    std::ifstream in(platform::toNativeName(s.lettersDir + name + ".wav"), std::ios::binary);
    if (!in) return false;
    unsigned char header[12];
    if (!in.read(reinterpret_cast<char*>(header), 12) || !sameTag(header, "RIFF")) return false;
    unsigned char chunk[8];
    if (!in.read(reinterpret_cast<char*>(chunk), 8) || !sameTag(chunk, "fmt ")) return false;
    // Chunks are skipped by seeking, whatever their size.
    std::uint32_t size = le32(chunk + 4);
    for (;;) {
        in.seekg(size + (size & 1u), std::ios::cur);
        if (!in.read(reinterpret_cast<char*>(chunk), 8)) return false;
        size = le32(chunk + 4);
        if (sameTag(chunk, "data")) break;
    }
    const std::size_t length = size % 65536u;
    if (length == 0) return false;
    s.readBuffer.resize(length);
    in.read(reinterpret_cast<char*>(s.readBuffer.data()), static_cast<std::streamsize>(length));
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got == 0) return false;
    appendSound(s.readBuffer.data(), got);
    return true;
}

// Speaks a unit, rebuilding a missing one from smaller units.
void appendUnit(const std::string& name, int mode, double factor) {
    State& s = st();
    const std::size_t len = name.size();
    const bool found = (!name.empty() && name[0] == '_') ? appendRecorded(name)
                                                           : appendDiphone(name, mode, factor);
    if (found) return;
    if (len <= 2) {
        noise();
        s.groupNoise = true;
        s.stats.missing.push_back(name);
        return;
    }
    if (isVocalic(name[len - 1])) {
        appendUnit(name.substr(0, len - 1), mode, 0.9 * factor);
        appendUnit(std::string("$") + name[len - 1], mode, factor);
    } else if (endsWith(name, "CIRC") && len > 6) {
        appendUnit(name.substr(0, len - 5), mode, 0.9 * factor);
        appendUnit("$" + name.substr(len - 5), mode, factor);
    } else if (endsWith(name, "TIL")) {
        const std::string m = name.substr(0, len - 3);
        const char last = m.empty() ? '\0' : m.back();
        if (last == 'I' || last == 'U' || last == 'i' || last == 'u')
            appendUnit(m, mode, 0.9 * factor);
        else
            appendUnit(m + "CIRC", 2, 0.9 * factor);
        appendUnit("$nn", 1, 0.9);
    } else {
        s.groupDropped = true;
        s.stats.missing.push_back(name);
    }
}

void speakSpec(std::string spec, double factor) {
    State& s = st();
    if (spec.size() > maxSpec) spec.resize(maxSpec);
    if (spec.empty()) return;
    if (spec[0] == '_') {
        if (spec.size() < 2) {
            appendUnit("_", s.mode, factor);
            return;
        }
        appendUnit("_" + std::to_string(static_cast<unsigned char>(spec[1])), s.mode, factor);
        return;
    }
    std::string name = "$";
    bool stressed = false;
    for (const char c : spec) {
        if (isUpperVowel(c)) {
            s.mode = 2;
            stressed = true;
            if (name.size() < maxName) name += c;
        } else if (c == '^') {
            appendUnit(name + "CIRC", s.mode, factor);
            name = "$";
        } else if (c == '~') {
            appendUnit(name + "TIL", s.mode, factor);
            name = "$";
        } else if (name.size() < maxName) {
            name += c;
        }
    }
    if (name != "$") appendUnit(name, s.mode, factor);
    if (stressed) s.mode = 0;
}

void splitPhonemes(const std::string& p, double f) {
    const std::size_t L = p.size();
    if (L == 0) return;
    if (L == 1) {
        speakSpec(p, f);
        return;
    }
    if (L > 2) {
        const std::string two = p.substr(0, 2);
        if (isClusterConsonant(p[0]) && isClusterConsonant(p[1]) && two != "dj" && two != "nh" &&
            two != "rr" && two != "ks" && p.compare(0, 3, "tch") != 0) {
            speakSpec(p.substr(0, 1), 1.0);
            splitPhonemes(p.substr(1), f);
            return;
        }
        if (endsWith(p, "rr")) {
            splitPhonemes(p.substr(0, L - 2), f);
            speakSpec("rr", f);
            return;
        }
        if (isClusterConsonant(p[L - 1])) {
            splitPhonemes(p.substr(0, L - 1), f);
            splitPhonemes(p.substr(L - 1), f);
            return;
        }
    }
    if (isGlide(p[L - 1])) {
        const char before = p[L - 2];
        if (isVocalic(before) && L > 2) {
            splitPhonemes(p.substr(0, L - 1), 0.6);
            speakSpec(p.substr(L - 2), f);
            return;
        }
        if (before == '^' || before == '~') {
            if (L > 3) {
                const std::string head =
                    before == '~' ? p.substr(0, L - 2) + "^" : p.substr(0, L - 1);
                splitPhonemes(head, 0.6);
                speakSpec(std::string{p[L - 3], p[L - 1], p[L - 2]}, f);
                return;
            }
            if (L == 3) {
                speakSpec(std::string{p[0], p[2], p[1]}, f);
                return;
            }
        }
    }
    if (p != "_s" && p[L - 1] == 's') {
        splitPhonemes(p.substr(0, L - 1), 0.7);
        speakSpec("s", f);
        return;
    }
    speakSpec(p, f);
}

// Reads one group from pos; answers the group, pos past its terminator.
std::string readGroup(const std::string& text, std::size_t& pos, bool noPunctuationPauses) {
    State& s = st();
    const std::size_t n = text.size();
    if (pos < n && text[pos] == '[') {
        s.mode = 1;
        ++pos;
    }
    std::string group;
    auto add = [&](char c) {
        if (group.size() < maxGroup) group += c;
    };
    while (pos < n) {
        const char c = text[pos];
        if (c == ' ' || c == ']') {
            ++pos;
            break;
        }
        if (c == '/') {
            ++pos;
            if (group.size() <= 8) continue;
            break;
        }
        if (c == '_') {
            add('_');
            ++pos;
            if (pos < n) add(text[pos++]);
            continue;
        }
        add(c);
        ++pos;
    }
    if (!noPunctuationPauses && group.size() == 2 && group[0] == '_') {
        int pause = -1;
        switch (group[1]) {
            case ',': pause = s.pauseComma; break;
            case '.': pause = s.pauseFullStop; break;
            case ':': pause = s.pauseColon; break;
            case ';': pause = s.pauseSemicolon; break;
            default: break;
        }
        if (pause >= 0) {
            silence(pause);
            group.clear();
        }
    }
    return group;
}

void closeDatabase() {
    State& s = st();
    if (s.data) std::fclose(s.data);
    s.data = nullptr;
    s.index.clear();
}

}  // namespace

std::vector<IndexEntry> parseIndex(const std::uint8_t* bytes, std::size_t size) {
    std::vector<IndexEntry> entries;
    entries.reserve(size / indexEntrySize);
    for (std::size_t at = 0; at + indexEntrySize <= size; at += indexEntrySize) {
        const std::uint8_t* p = bytes + at;
        IndexEntry e;
        const std::size_t len = std::min<std::size_t>(p[0], 8);
        e.name.assign(reinterpret_cast<const char*>(p + 1), len);
        e.length = static_cast<std::uint16_t>(p[9] | (p[10] << 8));
        e.offset = le32(p + 11);
        entries.push_back(std::move(e));
    }
    return entries;
}

std::string encodeIndexEntry(const IndexEntry& entry) {
    std::string out(indexEntrySize, '\0');
    const std::size_t len = std::min<std::size_t>(entry.name.size(), 8);
    out[0] = static_cast<char>(len);
    std::copy(entry.name.begin(), entry.name.begin() + static_cast<std::ptrdiff_t>(len), out.begin() + 1);
    out[9] = static_cast<char>(entry.length & 0xFF);
    out[10] = static_cast<char>(entry.length >> 8);
    for (int i = 0; i < 4; ++i) out[11 + i] = static_cast<char>((entry.offset >> (8 * i)) & 0xFF);
    return out;
}

int findIndexEntry(const std::vector<IndexEntry>& entries, const std::string& name) {
    int low = 0;
    int high = static_cast<int>(entries.size()) - 1;
    while (low <= high) {
        const int middle = low + (high - low) / 2;
        const int c = name.compare(entries[static_cast<std::size_t>(middle)].name);
        if (c == 0) return middle;
        if (c > 0) low = middle + 1;
        else high = middle - 1;
    }
    return -1;
}

int synthStart() {
    State& s = st();
    closeDatabase();
    int result = 0;
    s.lettersDir = platform::getProfileString("TRADUTOR", "dirLetras", "c:\\tamiru\\som\\letras",
                                              "QUORIL.INI", maxDirectory + 1);
    s.diphoneDir = platform::getProfileString("TRADUTOR", "DIRDIFONES", "c:\\tamiru\\som\\difones",
                                              "QUORIL.INI", maxDirectory + 1);
    if (!platform::directoryExists(s.lettersDir) || !platform::directoryExists(s.diphoneDir)) {
        result = 1;
    }
    s.lettersDir = withSeparator(s.lettersDir);
    s.diphoneDir = withSeparator(s.diphoneDir);
    speaking::setSynthLettersDirectory(s.lettersDir);
    if (result == 0) {
        std::ifstream in(platform::toNativeName(s.diphoneDir + s.baseName + ".IND"), std::ios::binary);
        if (!in) {
            result = 1;
        } else {
            const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                                  std::istreambuf_iterator<char>());
            s.index = parseIndex(bytes.data(), bytes.size());
            s.data = std::fopen(platform::toNativeName(s.diphoneDir + s.baseName + ".DIF").c_str(), "rb");
            if (s.data == nullptr) result = 1;
        }
    }
    if (result != 0) return result;
    if (!regras::loadRules(platform::toNativeName(s.diphoneDir + "regras.rgr")) ||
        !regras::loadExceptions(platform::toNativeName(s.diphoneDir + "portug.exc"))) {
        return 2;
    }
    s.image.assign(imageSize, 128);
    s.offset = headerSize;
    return 0;
}

void synthStop() {
    State& s = st();
    s.image.clear();
    s.image.shrink_to_fit();
    regras::freeRules();
    closeDatabase();
}

void synthesize(const std::string& phonetic, bool noPunctuationPauses) {
    State& s = st();
    if (s.image.size() != imageSize) s.image.assign(imageSize, 128);
    s.offset = headerSize;
    s.silent = true;
    s.mode = 1;
    std::size_t pos = 0;
    while (pos < phonetic.size()) {
        const std::string group = readGroup(phonetic, pos, noPunctuationPauses);
        s.groupNoise = s.groupDropped = false;
        splitPhonemes(group, 1.0);
        if (!group.empty()) {
            ++s.stats.groups;
            if (s.groupNoise) ++s.stats.noiseGroups;
            else if (s.groupDropped) ++s.stats.droppedGroups;
        }
        if (pos < phonetic.size() && phonetic[pos - 1] != ' ') silence(s.wordPause);
    }
    flush();
}

void setSynthParams(int cutLength, int minimumLength, int wordPause, bool cortaFala, bool rapidinho) {
    State& s = st();
    s.cutLength = std::clamp(cutLength, 0, maxUnitLength);
    s.minimumLength = std::clamp(minimumLength, 0, maxUnitLength);
    s.wordPause = std::clamp(wordPause, 0, maxWordPause);
    qrwav::waveCutSpeech() = cortaFala;
    qrwav::waveFaster() = rapidinho;
}

void setDatabaseName(const std::string& base) {
    st().baseName = base.size() > maxBaseName ? base.substr(0, maxBaseName) : base;
}
const std::string& databaseName() { return st().baseName; }
const std::string& lettersDirectory() { return st().lettersDir; }
const std::string& diphoneDirectory() { return st().diphoneDir; }

const Stats& stats() { return st().stats; }
void resetStats() { st().stats = Stats{}; }
void setDryRun(bool on) { st().dryRun = on; }

void setImageSink(std::function<void(const std::uint8_t*, std::size_t)> sink) {
    st().sink = std::move(sink);
}

void resetForTests() {
    closeDatabase();
    st() = State{};
}

}  // namespace qrtradut
