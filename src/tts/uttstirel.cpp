// uttsTirel: the engine driver.
//
// One utterance: normalise the text, cut it into category-tagged tokens,
// give each an intonation pattern, turn the words into phonemes with their
// stress, and time and pitch them into engine lines. Each line goes to the
// engine with CR LF; after each line the engine is drained of whatever
// samples it has ready, and after the last one it is flushed first. Samples
// gather in one image (a WAV header and 32000 bytes); once half a second
// (16000 bytes) would be waiting, the image is handed to the player, so a
// long text starts to sound before it is synthesised to its end. The last
// chunk is padded with silence to 256 bytes, the shortest block the player
// takes. The voice is played unaltered: the player's two accelerations are
// off while it hands its chunks over.
//
// The silence an utterance opens with (the pause before its first word, and
// the faint voicing before a first "b" or "d" bursts) is not played: it
// would only delay the first sound a user hears after a key or a prompt.
// Two milliseconds are kept before the first sample louder than -42 dBFS. The pause at its end, which parts it from the next one, is
// played; a WAV file gets all of it.
//
// A key that the player has cut the sound for ends the feeding too: every
// later chunk would be cut at once, and the key is answered sooner.
#include "tts/uttstirel.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "console/qrcrt.hpp"
#include "platform/system/registry.hpp"
#include "platform/system/system.hpp"
#include "sound/qrwav.hpp"
#include "tts/minireg.hpp"
#include "tts/mbrola.hpp"
#include "tts/ttschars.hpp"
#include "tts/uttsinic.hpp"
#include "tts/uttsportug.hpp"
#include "tts/uttspreproc.hpp"
#include "tts/uttsprosodia.hpp"

namespace uttstirel {
namespace {

constexpr std::size_t headerBytes = 44;
constexpr std::size_t playAreaBytes = 2 * sampleBufferSamples;  // 32000
constexpr int silenceLevel = 256;         // |sample| at most this (-42 dBFS) is not yet heard
constexpr std::size_t leadSamples = 32;   // kept before the first sound (2 ms)
const char* const databaseKey = "SOFTWARE\\TCTS\\Mbrola\\databases\\";
const char* const fallbackDatabase = "c:\\tamiru\\tireltts\\br4";

struct TirelState {
    std::string outputFileName;
    bool writingToFile = false;
    std::fstream outputFile;
    std::string lastError;
    double durationFactor = 1.0;
    double pitchFactor = 1.0;
    std::array<std::int16_t, sampleBufferSamples> sampleBuffer{};
    std::array<std::uint8_t, headerBytes + playAreaBytes> playImage{};
    std::size_t playFill = 0;
    bool opening = false;          // no sound of the utterance kept yet
    std::vector<char> lineBuffer;  // the line handed to write_MBR (grows, never shrinks)
};

TirelState& st() {
    static TirelState* s = new TirelState;
    return *s;
}

void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

// The engine's calls take writable zero-terminated text.
char* engineText(const std::string& text) {
    std::vector<char>& b = st().lineBuffer;
    b.assign(text.begin(), text.end());
    b.push_back('\0');
    return b.data();
}

// After a line or a first read: an error the engine reports resets it.
bool engineOk() {
    const mbrola::Entries& e = mbrola::entries();
    if (e.lastError_MBR() == 0) return true;
    e.reset_MBR();
    return false;
}

void handToPlayer() {
    TirelState& s = st();
    makeWaveHeader(s.playImage.data(), sampleRate, 16, 1, static_cast<std::uint32_t>(s.playFill));
    qrwav::playWaveImage(s.playImage.data(), headerBytes + s.playFill);
    s.playFill = 0;
}

// Reads the engine dry after one line; false when it reported an error.
bool drain() {
    TirelState& s = st();
    const mbrola::Entries& e = mbrola::entries();
    bool ok = true;
    const int wanted = static_cast<int>(sampleBufferSamples);
    int got = e.read_MBR(s.sampleBuffer.data(), wanted);
    if (got < 0) {
        got = 0;
        ok = engineOk();
    }
    while (got > 0) {
        std::size_t first = 0, count = static_cast<std::size_t>(std::min(got, wanted));
        if (s.opening && !s.writingToFile) {
            while (first < count && std::abs(s.sampleBuffer[first]) <= silenceLevel) ++first;
            if (first < count) {
                s.opening = false;
                first -= std::min(first, leadSamples);
            }
        }
        const std::size_t n = 2 * (count - first);  // 0 while all is silence
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(s.sampleBuffer.data() + first);
        if (n == 0) {
        } else if (s.writingToFile) {
            s.outputFile.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(n));
            if (!s.outputFile) {
                s.outputFile.clear();
                ok = false;
            }
        } else {
            if (s.playFill + n >= chunkBytes && s.playFill > 0) handToPlayer();
            std::memcpy(s.playImage.data() + headerBytes + s.playFill, bytes, n);
            s.playFill += n;
            if (s.playFill >= chunkBytes) handToPlayer();
        }
        got = e.read_MBR(s.sampleBuffer.data(), wanted);
    }
    return ok;
}

// The analysis stages, each list released once the next one has run.
std::vector<std::string> engineLines(const std::string& text) {
    const std::string normal = uttspreproc::normaliseText(text);
    std::vector<std::string> phonemes;
    {
        std::vector<std::string> patterned;
        {
            const std::vector<std::string> tokens = uttsprosodia::splitTokens(normal);
            patterned = uttsprosodia::assignPatterns(tokens, true);
        }
        phonemes = uttsportug::textToPhonemes(patterned);
    }
    return uttsprosodia::buildPhoLines(phonemes, st().durationFactor, st().pitchFactor);
}

bool keyCutTheSound() { return qrwav::waveInterruptible() && qrcrt::keyWaiting(); }

}  // namespace

void ttsSetOutputFile(const std::string& fileName) { st().outputFileName = fileName; }

void makeWaveHeader(std::uint8_t* dest, std::uint32_t rate, std::uint16_t bits, std::uint16_t channels,
                    std::uint32_t dataSize) {
    const std::uint16_t blockAlign = static_cast<std::uint16_t>((bits / 8) * channels);
    std::memcpy(dest, "RIFF", 4);
    put32(dest + 4, dataSize + 36);
    std::memcpy(dest + 8, "WAVEfmt ", 8);
    put32(dest + 16, 16);
    put16(dest + 20, 1);
    put16(dest + 22, channels);
    put32(dest + 24, rate);
    put32(dest + 28, blockAlign * rate);
    put16(dest + 32, blockAlign);
    put16(dest + 34, bits);
    std::memcpy(dest + 36, "data", 4);
    put32(dest + 40, dataSize);
}

bool ttsOpen(const std::string& database, const std::string& rules, const std::string& exceptions,
             const std::string& abbreviations, const std::string& prosody, const std::string& diphones) {
    TirelState& s = st();
    if (!mbrola::loadMbrola()) return false;
    const auto orDefault = [](const std::string& v, const char* d) { return v.empty() ? std::string(d) : v; };
    std::string db = orDefault(database, "br4");
    minireg::regReadString(platform::HKEY_LOCAL_MACHINE, databaseKey + db + "\\", db);
    if (db.empty()) db = fallbackDatabase;

    const mbrola::Entries& e = mbrola::entries();
    if (e.init_MBR(engineText(platform::toNativeName(db))) < 0) {
        mbrola::unloadMbrola();
        return false;
    }
    e.setNoError_MBR(1);

    uttsinic::freeRules();
    uttsprosodia::freeDiphoneList();
    if (!uttsportug::loadWordData(orDefault(rules, "portug.nrl"), orDefault(exceptions, "portug.exc"))) {
        s.lastError = "Erro na base de dados de portugu\xEAs";
        return false;
    }
    if (!uttspreproc::loadAbbreviations(orDefault(abbreviations, "portug.abr"))) {
        s.lastError = "Erro no arquivo de abreviaturas";
        return false;
    }
    // The feminine nouns lie beside the abbreviations (portug.gen); without
    // them counts are said in the masculine, as before the table existed.
    {
        std::string genders = orDefault(abbreviations, "portug.abr");
        const std::size_t dot = genders.find_last_of('.');
        const std::size_t slash = genders.find_last_of("/\\");
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) genders.erase(dot);
        uttspreproc::loadGenders(genders + ".gen");
    }
    if (!uttsprosodia::loadProsody(orDefault(prosody, "portug.pro")) ||
        !uttsprosodia::loadDiphoneList(orDefault(diphones, "portug.dfn"))) {
        s.lastError = "Erro no arquivo de pros\xF3" "dia";
        return false;
    }

    if (s.outputFile.is_open()) s.outputFile.close();
    s.writingToFile = false;
    if (s.outputFileName.empty()) return true;
    s.outputFile.open(platform::toNativeName(s.outputFileName),
                      std::ios::binary | std::ios::out | std::ios::trunc);
    if (!s.outputFile.is_open()) return false;
    std::uint8_t header[headerBytes];
    makeWaveHeader(header, sampleRate, 16, 1, 0);
    s.outputFile.write(reinterpret_cast<const char*>(header), headerBytes);
    s.outputFile.flush();
    if (!s.outputFile) {
        s.lastError = "Arquivo de sa\xED" "da n\xE3o pode ser criado";
        s.outputFile.close();
        return false;
    }
    s.writingToFile = true;
    return true;
}

void ttsSetFactors(double durationFactor, double pitchFactor) {
    st().durationFactor = durationFactor;
    st().pitchFactor = pitchFactor;
}

bool ttsSpeak(const std::string& text) {
    TirelState& s = st();
    if (ttschars::trim(text).empty()) return true;
    if (!mbrola::loaded()) return false;

    const std::vector<std::string> lines = engineLines(text);

    bool& faster = qrwav::waveFaster();
    bool& cut = qrwav::waveCutSpeech();
    const bool savedFaster = faster, savedCut = cut;
    faster = false;
    cut = false;

    const mbrola::Entries& e = mbrola::entries();
    bool result = true;
    e.reset_MBR();
    s.playFill = 0;
    s.opening = true;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool last = i + 1 == lines.size();
        if (lines[i].empty() && !last) continue;
        e.write_MBR(engineText(lines[i] + "\r\n"));
        if (!engineOk()) result = false;
        if (last) e.flush_MBR();
        if (!drain()) result = false;
        if (!s.writingToFile && keyCutTheSound()) {
            qrwav::stopWave();
            e.reset_MBR();
            s.playFill = 0;
            break;
        }
    }
    if (!s.writingToFile && s.playFill > 0) {
        if (s.playFill < shortestChunk) {
            std::memset(s.playImage.data() + headerBytes + s.playFill, 0, shortestChunk - s.playFill);
            s.playFill = shortestChunk;
        }
        handToPlayer();
    }
    faster = savedFaster;
    cut = savedCut;
    return result;
}

bool ttsSynthesize(const std::string& text, const SampleSink& sink) {
    TirelState& s = st();
    if (ttschars::trim(text).empty()) return true;
    if (!mbrola::loaded()) return false;
    const std::vector<std::string> lines = engineLines(text);
    const mbrola::Entries& e = mbrola::entries();
    const int wanted = static_cast<int>(sampleBufferSamples);
    bool result = true, opening = true;
    e.reset_MBR();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool last = i + 1 == lines.size();
        if (lines[i].empty() && !last) continue;
        e.write_MBR(engineText(lines[i] + "\r\n"));
        if (!engineOk()) result = false;
        if (last) e.flush_MBR();
        int got = e.read_MBR(s.sampleBuffer.data(), wanted);
        if (got < 0) {
            got = 0;
            if (!engineOk()) result = false;
        }
        while (got > 0) {
            std::size_t first = 0, count = static_cast<std::size_t>(std::min(got, wanted));
            if (opening) {
                while (first < count && std::abs(s.sampleBuffer[first]) <= silenceLevel) ++first;
                if (first < count) {
                    opening = false;
                    first -= std::min(first, leadSamples);
                }
            }
            if (first < count && !sink(s.sampleBuffer.data() + first, count - first)) {
                e.reset_MBR();
                return result;
            }
            got = e.read_MBR(s.sampleBuffer.data(), wanted);
        }
    }
    return result;
}

bool ttsSpeaking() { return !st().writingToFile && qrwav::waveStillPlaying(); }

void ttsStop() {
    if (!st().writingToFile) qrwav::stopWave();
}

void ttsClose() {
    TirelState& s = st();
    if (s.writingToFile) {
        s.outputFile.close();
        std::fstream f(platform::toNativeName(s.outputFileName), std::ios::binary | std::ios::in | std::ios::out);
        if (f.is_open()) {
            f.seekg(0, std::ios::end);
            const std::streamoff size = f.tellg();
            const std::uint64_t data = size > static_cast<std::streamoff>(headerBytes)
                                           ? static_cast<std::uint64_t>(size) - headerBytes
                                           : 0;
            std::uint8_t header[headerBytes];
            makeWaveHeader(header, sampleRate, 16, 1,
                           static_cast<std::uint32_t>(std::min<std::uint64_t>(data, 0xFFFFFFFFu - 36)));
            f.seekp(0);
            f.write(reinterpret_cast<const char*>(header), headerBytes);
        }
        s.writingToFile = false;
    }
    uttsinic::freeRules();
    uttsprosodia::freeDiphoneList();
    if (mbrola::loaded()) mbrola::entries().close_MBR();
    mbrola::unloadMbrola();
}

const std::string& ttsLastError() { return st().lastError; }
double durationFactor() { return st().durationFactor; }
double pitchFactor() { return st().pitchFactor; }

void resetForTests() {
    TirelState& s = st();
    if (s.outputFile.is_open()) s.outputFile.close();
    if (mbrola::loaded()) mbrola::entries().close_MBR();
    mbrola::unloadMbrola();
    s.outputFileName.clear();
    s.writingToFile = false;
    s.lastError.clear();
    s.durationFactor = s.pitchFactor = 1.0;
    s.playFill = 0;
}

}  // namespace uttstirel
