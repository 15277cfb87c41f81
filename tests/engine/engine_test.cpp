// The diphone engine through the loaded library, as a client sees it: the
// 23 names are bound with dlopen/dlsym and the database br4 is the one the
// build generated.
#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mbrola.h"

namespace {

struct Engine {
    void* lib = nullptr;
#define MBR_FN(name) decltype(&::name) name = nullptr;
    MBR_FN(init_MBR) MBR_FN(init_rename_MBR) MBR_FN(write_MBR) MBR_FN(flush_MBR) MBR_FN(read_MBR)
    MBR_FN(readtype_MBR) MBR_FN(close_MBR) MBR_FN(reset_MBR) MBR_FN(lastError_MBR) MBR_FN(lastErrorStr_MBR)
    MBR_FN(setNoError_MBR) MBR_FN(getNoError_MBR) MBR_FN(setFreq_MBR) MBR_FN(getFreq_MBR)
    MBR_FN(setVolumeRatio_MBR) MBR_FN(getVolumeRatio_MBR) MBR_FN(getVersion_MBR) MBR_FN(getDatabaseInfo_MBR)
    MBR_FN(setParser_MBR) MBR_FN(init_Phone) MBR_FN(reset_Phone) MBR_FN(close_Phone) MBR_FN(appendf0_Phone)
#undef MBR_FN
};

Engine& mbr() {
    static Engine e = [] {
        Engine e;
        e.lib = dlopen(QUORIL_BUILD_DIR "/libmbrola.so", RTLD_NOW | RTLD_LOCAL);
        if (!e.lib) return e;
#define MBR_BIND(name) e.name = reinterpret_cast<decltype(e.name)>(dlsym(e.lib, #name));
        MBR_BIND(init_MBR) MBR_BIND(init_rename_MBR) MBR_BIND(write_MBR) MBR_BIND(flush_MBR) MBR_BIND(read_MBR)
        MBR_BIND(readtype_MBR) MBR_BIND(close_MBR) MBR_BIND(reset_MBR) MBR_BIND(lastError_MBR)
        MBR_BIND(lastErrorStr_MBR) MBR_BIND(setNoError_MBR) MBR_BIND(getNoError_MBR) MBR_BIND(setFreq_MBR)
        MBR_BIND(getFreq_MBR) MBR_BIND(setVolumeRatio_MBR) MBR_BIND(getVolumeRatio_MBR) MBR_BIND(getVersion_MBR)
        MBR_BIND(getDatabaseInfo_MBR) MBR_BIND(setParser_MBR) MBR_BIND(init_Phone) MBR_BIND(reset_Phone)
        MBR_BIND(close_Phone) MBR_BIND(appendf0_Phone)
#undef MBR_BIND
        return e;
    }();
    return e;
}

const std::string kTireltts = QUORIL_BUILD_DIR "/share/quoril/tireltts";
constexpr int kRate = 16000;

std::string errorText() {
    char buf[256];
    mbr().lastErrorStr_MBR(buf, sizeof buf);
    return buf;
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        Engine& e = mbr();
        ASSERT_NE(e.lib, nullptr) << dlerror();
        ASSERT_TRUE(e.appendf0_Phone && e.init_MBR && e.setParser_MBR) << "a name is not exported";
        std::string db = kTireltts + "/br4";
        ASSERT_EQ(e.init_MBR(db.data()), 0) << errorText();
        e.setNoError_MBR(0);
    }
    void TearDown() override { mbr().close_MBR(); }

    static int write(std::string text) { return mbr().write_MBR(text.data()); }
    static std::vector<short> readAll() {
        std::vector<short> out;
        short buf[1000];
        int n;
        while ((n = mbr().read_MBR(buf, 1000)) > 0) out.insert(out.end(), buf, buf + n);
        return out;
    }
    // Writes the lines, flushes, and reads everything.
    static std::vector<short> speak(const std::string& lines) {
        EXPECT_GE(write(lines), 0) << errorText();
        EXPECT_GE(mbr().flush_MBR(), 0) << errorText();
        return readAll();
    }
};

const std::string kUtterance = "_ 50\nb 70 50 120\non 160 80 130\ndZ 95\ni 130 50 125\n@ 100\n_ 80\n";
constexpr int kUtteranceMs = 50 + 70 + 160 + 95 + 130 + 100 + 80;

TEST_F(EngineTest, TextInPiecesAndFlushes) {
    const std::vector<short> whole = speak(kUtterance);
    ASSERT_EQ(whole.size(), static_cast<std::size_t>(kUtteranceMs * kRate / 1000));
    struct Case {
        const char* what;
        std::vector<std::string> pieces;  // written one by one, then a flush
    } cases[] = {
        {"line split in two writes", {"_ 50\nb 7", "0 50 120\non 160 80 130\ndZ 95\ni 130 50 125\n@ 100\n_ 80\n"}},
        {"number split at its sign", {"_ 50\nb 70 50 120\non 160 80 1", "30\r\ndZ 95\ni 130 50 125\n@ 100\n_ 80"}},
        {"flush line instead of call", {kUtterance, "#\n"}},
    };
    for (const Case& c : cases) {
        for (std::size_t i = 0; i + 1 < c.pieces.size(); ++i) ASSERT_GE(write(c.pieces[i]), 0) << c.what;
        EXPECT_EQ(readAll().size(), 0u) << c.what << ": nothing before the flush";
        ASSERT_GE(write(c.pieces.back()), 0) << c.what << ": " << errorText();
        if (c.pieces.back() != "#\n") {
            EXPECT_EQ(readAll().size(), 0u) << c.what << ": nothing before the flush";
            mbr().flush_MBR();
        }
        EXPECT_EQ(readAll(), whole) << c.what;
    }
}

TEST_F(EngineTest, ResetDropsWhatIsPending) {
    speak(kUtterance + kUtterance);
    ASSERT_GE(write(kUtterance), 0);
    short buf[100];
    ASSERT_EQ(mbr().read_MBR(buf, 0), 0);
    ASSERT_EQ(mbr().reset_MBR(), 0);
    EXPECT_EQ(readAll().size(), 0u) << "output dropped";
    ASSERT_GE(write("a 10"), 0);  // half a line
    ASSERT_EQ(mbr().reset_MBR(), 0);
    EXPECT_EQ(speak(kUtterance).size(), static_cast<std::size_t>(kUtteranceMs * kRate / 1000)) << "input dropped";
}

TEST_F(EngineTest, BadInputIsRefusedAndSpeechGoesOn) {
    const std::string huge(1 << 20, 'a');
    std::string binary;
    for (int c = 1; c < 256; ++c) binary += static_cast<char>(c);
    struct Case {
        const char* what;
        std::string line;
        bool noError;
        bool refused;
        std::string named;  // the error text names it
    } cases[] = {
        {"unknown phoneme", "xq 100\n", false, true, "xq"},
        {"unknown phoneme with no-error", "xq 100\n", true, false, ""},
        {"negative duration", "a -5\n", true, true, "a"},
        {"huge duration", "a 1e30\n", true, true, "a"},
        {"malformed number", "a 1x0\n", true, true, "a"},
        {"odd pitch pair", "a 100 50\n", true, true, "a"},
        {"zero pitch", "a 100 50 0\n", true, true, "a"},
        {"line of a megabyte", huge + "\n", true, true, ""},
        {"binary bytes", binary + "\n", true, true, ""},
        {"comment only", "; a 100\n", false, false, ""},
    };
    for (const Case& c : cases) {
        mbr().reset_MBR();
        mbr().setNoError_MBR(c.noError);
        const int r = write("_ 50\n" + c.line + "a 100\n_ 50\n");
        EXPECT_EQ(r < 0, c.refused) << c.what;
        if (c.refused) {
            EXPECT_NE(mbr().lastError_MBR(), 0) << c.what;
        }
        if (!c.named.empty()) {
            EXPECT_NE(errorText().find(c.named), std::string::npos) << c.what << ": " << errorText();
        }
        mbr().flush_MBR();
        EXPECT_GE(readAll().size(), 200u * kRate / 1000) << c.what << ": the good lines are spoken";
    }
}

// G.711 decoders, to check the engine's encoders.
int fromULaw(unsigned char u) {
    u = static_cast<unsigned char>(~u);
    const int t = (((u & 0x0F) << 3) + 0x84) << ((u & 0x70) >> 4);
    return (u & 0x80) ? 0x84 - t : t - 0x84;
}
int fromALaw(unsigned char a) {
    a ^= 0x55;
    int t = (a & 0x0F) << 4;
    const int seg = (a & 0x70) >> 4;
    t = seg == 0 ? t + 8 : seg == 1 ? t + 0x108 : (t + 0x108) << (seg - 1);
    return (a & 0x80) ? t : -t;
}

TEST_F(EngineTest, SampleFormats) {
    const std::vector<short> lin = speak(kUtterance);
    struct Case {
        int type;
        int (*decode)(unsigned char);
        int tolerance;  // absolute, plus 1/16 of the sample
    } cases[] = {
        {MBR_LIN8, [](unsigned char b) { return (b - 128) * 256; }, 256},
        {MBR_ULAW, fromULaw, 16},
        {MBR_ALAW, fromALaw, 32},
    };
    for (const Case& c : cases) {
        ASSERT_GE(write(kUtterance), 0);
        mbr().flush_MBR();
        std::vector<unsigned char> bytes(lin.size() + 100);
        ASSERT_EQ(mbr().readtype_MBR(bytes.data(), static_cast<int>(bytes.size()), c.type), static_cast<int>(lin.size()));
        for (std::size_t i = 0; i < lin.size(); ++i)
            ASSERT_NEAR(c.decode(bytes[i]), lin[i], c.tolerance + std::abs(lin[i]) / 16) << "type " << c.type << " at " << i;
    }
    short s[4];
    EXPECT_LT(mbr().readtype_MBR(s, 4, 99), 0) << "unknown type";
}

TEST_F(EngineTest, VolumeSaturatesAndRateChangesCount) {
    const std::vector<short> base = speak(kUtterance);
    mbr().setVolumeRatio_MBR(50.0f);
    const std::vector<short> loud = speak(kUtterance);
    ASSERT_EQ(loud.size(), base.size());
    int clipped = 0;
    for (std::size_t i = 0; i < base.size(); ++i) {
        const long want = std::clamp(std::lround(base[i] * 50.0), -32768L, 32767L);
        ASSERT_NEAR(loud[i], want, 50 + 0.02 * std::abs(want)) << "at " << i;  // never wrapped
        clipped += std::abs(want) == 32767 || want == -32768;
    }
    EXPECT_GT(clipped, 100);
    mbr().setVolumeRatio_MBR(1.0f);
    for (int freq : {8000, 22050}) {
        mbr().setFreq_MBR(freq);
        EXPECT_EQ(mbr().getFreq_MBR(), freq);
        const double want = static_cast<double>(base.size()) * freq / kRate;
        EXPECT_NEAR(static_cast<double>(speak(kUtterance).size()), want, 2.0) << freq;
    }
}

// f0 of x around centre by autocorrelation (30 ms window); 0 when unvoiced.
double measureF0(const std::vector<short>& x, std::size_t centre) {
    const int half = 240, lo = kRate / 400, hi = kRate / 60;
    if (centre < half + hi || centre + half + hi >= x.size()) return 0;
    double best = 0;
    int bestLag = 0;
    std::vector<double> r(hi + 2, 0);
    for (int l = lo - 1; l <= hi + 1; ++l) {
        double xy = 0, xx = 0, yy = 0;
        for (int i = -half; i < half; ++i) {
            const double a = x[centre + i], b = x[centre + i + l];
            xy += a * b, xx += a * a, yy += b * b;
        }
        r[l] = xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
    }
    for (int l = lo; l <= hi; ++l)
        if (r[l] > best) best = r[l], bestLag = l;
    if (best < 0.7) return 0;
    // The shortest lag close to the best, then a parabola through its peak.
    for (int l = lo; l <= hi; ++l)
        if (r[l] > 0.9 * best && r[l] >= r[l - 1] && r[l] >= r[l + 1]) {
            bestLag = l;
            break;
        }
    const double a = r[bestLag - 1], b = r[bestLag], c = r[bestLag + 1];
    const double shift = (a - 2 * b + c) != 0 ? 0.5 * (a - c) / (a - 2 * b + c) : 0;
    return kRate / (bestLag + shift);
}

TEST_F(EngineTest, PitchFollowsTargets) {
    struct Case {
        const char* lines;
        double fromMs, toMs, f0From, f0To;  // the target line over the vowel
    } cases[] = {
        {"_ 50\na 1000 0 100 100 200\n_ 50\n", 50, 1050, 100, 200},
        {"_ 50\na 500 50 100\nE 500 50 200\n_ 50\n", 300, 800, 100, 200},  // across a boundary
        {"_ 50\na 400 50 150\n_ 50\n", 50, 450, 150, 150},                  // flat around one target
    };
    for (const Case& c : cases) {
        const std::vector<short> out = speak(c.lines);
        int voiced = 0;
        for (double ms = c.fromMs + 60; ms <= c.toMs - 60; ms += 10) {
            const double f0 = measureF0(out, static_cast<std::size_t>(ms * kRate / 1000));
            if (f0 == 0) continue;
            ++voiced;
            const double want = c.f0From + (c.f0To - c.f0From) * (ms - c.fromMs) / (c.toMs - c.fromMs);
            EXPECT_NEAR(f0, want, 0.03 * want) << c.lines << " at " << ms << " ms";
        }
        EXPECT_GT(voiced, (c.toMs - c.fromMs - 120) / 10 * 0.8) << c.lines;
    }
}

TEST_F(EngineTest, LengthIsTheSumOfDurations) {
    const char* cases[] = {
        "_ 10\nk 60\na 300 50 80\nS 40\nu 30 50 300\n_ 10\n",
        "s 500\na 10\nR 90 0 200 100 60\n",
        "_ 1000\n",
        "a 0\nl 1\ni 1234.5\n",
    };
    for (const char* lines : cases) {
        std::istringstream in(lines);
        std::string name;
        double ms, total = 0;
        int phones = 0;
        for (std::string line; std::getline(in, line);) {
            std::istringstream w(line);
            w >> name >> ms;
            total += ms, ++phones;
        }
        const double period = kRate / 60.0;  // the longest period the engine makes
        EXPECT_NEAR(static_cast<double>(speak(lines).size()), total * kRate / 1000, phones * period) << lines;
    }
}

TEST_F(EngineTest, JoinsAreSmooth) {
    const char* lines = "_ 50\na 120\nl 80\ni 120\nm 80\no 120\nn 80\nu 120\nw 60\ne 120\nj 60\nan 150\n_ 50\n";
    const std::vector<short> out = speak(lines);
    // Each phone's middle half holds the join of its two diphones.
    std::vector<bool> join(out.size(), false);
    std::istringstream in(lines);
    double at = 0;
    for (std::string line; std::getline(in, line);) {
        std::istringstream w(line);
        std::string name;
        double ms;
        w >> name >> ms;
        for (double t = at + ms / 4; t < at + 3 * ms / 4; t += 1.0 / 16)
            join[std::min(out.size() - 1, static_cast<std::size_t>(t * kRate / 1000))] = true;
        at += ms;
    }
    int atJoins = 0, inside = 0;
    for (std::size_t i = 1; i < out.size(); ++i) {
        const int step = std::abs(out[i] - out[i - 1]);
        (join[i] ? atJoins : inside) = std::max(join[i] ? atJoins : inside, step);
    }
    EXPECT_GT(inside, 0);
    EXPECT_LE(atJoins, inside);
}

TEST_F(EngineTest, EveryListedDiphoneIsInTheDatabase) {
    std::ifstream list(kTireltts + "/portug.dfn");
    ASSERT_TRUE(list);
    int pairs = 0;
    for (std::string line; std::getline(list, line);) {
        std::istringstream w(line);
        std::string a, b;
        if (!(w >> a >> b) || a[0] == ';') continue;
        ++pairs;
        ASSERT_GE(write(a + " 20\n" + b + " 20\n"), 0) << a << "-" << b << ": " << errorText();
        ASSERT_GE(mbr().flush_MBR(), 0) << a << "-" << b << ": " << errorText();
        ASSERT_EQ(readAll().size(), 40u * kRate / 1000) << a << "-" << b;
    }
    EXPECT_GT(pairs, 1500);
}

TEST_F(EngineTest, DescriptionRenamingAndParser) {
    char buf[200];
    EXPECT_GT(mbr().getDatabaseInfo_MBR(buf, sizeof buf, 0), 0);
    EXPECT_LT(mbr().getDatabaseInfo_MBR(buf, sizeof buf, 99), 0);
    mbr().getVersion_MBR(buf, sizeof buf);
    EXPECT_NE(std::string(buf).find("3."), std::string::npos);

    std::string db = kTireltts + "/br4", rename = "a A", clone = "aa A";
    ASSERT_EQ(mbr().init_rename_MBR(db.data(), rename.data(), clone.data()), 0) << errorText();
    EXPECT_LT(write("a 100\n"), 0) << "renamed away";
    EXPECT_EQ(write("A 100\naa 100\n"), 0) << errorText();

    struct Feed {
        Phone* phones[3];
        int next = 0;
    } feed{};
    feed.phones[0] = mbr().init_Phone(const_cast<char*>("_"), 50);
    feed.phones[1] = mbr().init_Phone(const_cast<char*>("a"), 200);
    mbr().appendf0_Phone(feed.phones[1], 50, 130);
    feed.phones[2] = mbr().init_Phone(const_cast<char*>("_"), 50);
    MbrParser parser{&feed,
                     [](void* self, Phone* p) {
                         auto* f = static_cast<Feed*>(self);
                         if (f->next >= 3) return f->next++ == 3 ? 2 : 0;
                         *p = *f->phones[f->next++];
                         return 1;
                     },
                     nullptr, nullptr};
    std::string plain = kTireltts + "/br4";
    ASSERT_EQ(mbr().init_MBR(plain.data()), 0);
    mbr().setParser_MBR(&parser);
    short one;
    ASSERT_EQ(mbr().read_MBR(&one, 0), 0);
    EXPECT_EQ(readAll().size(), 300u * kRate / 1000);
    mbr().setParser_MBR(nullptr);
    for (Phone* p : feed.phones) mbr().close_Phone(p);
}

}  // namespace

// An utterance's sound dies away after its last vowel and stays away: once
// the voice has fallen 40 dB below its loudest (2 ms windows), nothing rises
// above that again, not even the few isolated pitch pulses a stretched,
// fading recording would give through the final pause (a creak).
TEST_F(EngineTest, UtterancesEndWithoutIsolatedPulses) {
    const char* endings[] = {
        "_ 150 50 120\nm 70 50 127\nw 79 80 134\nin 159\nt 116\nu 130 50 93\n_ 400 50 93\n_ 150\n",
        "_ 150\na 110 50 114\nt 80\nen 115\ns 98\nan 174 80 114\nw 79 50 93\n_ 400 50 93\n_ 150 50 120\n_ 150\n",
        "_ 150\nk 80\na 160 80 120\nz 90\na 120 50 60\n_ 400 50 60\n",
        "_ 150\ns 90\nO 160 80 110\nl 120 50 70\n_ 300 50 70\n",
        "_ 150\nt 80\nr 35\ne 170 80 120\nS 100\n_ 300 50 80\n",
    };
    constexpr std::size_t window = kRate / 500;
    for (const char* lines : endings) {
        SCOPED_TRACE(lines);
        const std::vector<short> out = speak(lines);
        std::vector<double> level;
        for (std::size_t i = 0; i + window <= out.size(); i += window) {
            double sum = 0;
            for (std::size_t j = i; j < i + window; ++j) sum += static_cast<double>(out[j]) * out[j];
            level.push_back(std::sqrt(sum / window));
        }
        ASSERT_FALSE(level.empty());
        const double peak = *std::max_element(level.begin(), level.end());
        std::size_t k = level.size();
        while (k > 0 && level[k - 1] < 0.1 * peak) --k;  // k: past the last loud window
        while (k < level.size() && level[k] >= 0.01 * peak) ++k;
        ASSERT_LT(k, level.size()) << "the sound never dies away";
        const double after = *std::max_element(level.begin() + static_cast<long>(k), level.end());
        EXPECT_LT(after, 0.01 * peak) << "a pulse " << 20 * std::log10(after / peak) << " dB at "
                                      << std::max_element(level.begin() + static_cast<long>(k), level.end()) - level.begin()
                                      << " of " << level.size() << " windows";
    }
}
