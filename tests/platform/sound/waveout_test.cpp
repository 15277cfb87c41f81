// The wave-out devices themselves: the Windows rules for headers and handles
// on the test device, the SDL device on SDL's dummy and disk drivers (no
// sound hardware needed), and no device at all.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/sound/audio.hpp"
#include "platform/sound/audio_output.hpp"
#include "platform/system/messages.hpp"
#include "platform/system/system.hpp"
#include "platform/sound/waveout.hpp"
#include "sound/qrwav.hpp"
#include "sound/wav_builder.hpp"
#include "support/wav_check.hpp"

using namespace platform;

namespace {

WaveFormat pcm(std::uint32_t rate, std::uint16_t bits, std::uint16_t channels) {
    WaveFormat f;
    f.channels = channels;
    f.samplesPerSec = rate;
    f.bitsPerSample = bits;
    f.blockAlign = static_cast<std::uint16_t>(bits / 8 * channels);
    f.avgBytesPerSec = f.blockAlign * rate;
    return f;
}

// Takes MM_WOM_DONE notices from the queue until `count` came or the time is up.
std::vector<WaveHdr*> takeNotices(std::size_t count, int milliseconds) {
    std::vector<WaveHdr*> got;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        Msg m;
        while (peekMessage(m))
            if (m.message == MM_WOM_DONE) got.push_back(reinterpret_cast<WaveHdr*>(m.lParam));
        if (got.size() >= count || std::chrono::steady_clock::now() >= until) break;
        waitMessageFor(20);
    }
    return got;
}

class WaveOutTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("QUORIL_CONSOLE", "headless", 0);
        clearMessages();
        waveout::test::reset();
    }
    void TearDown() override {
        waveout::useTestDevice(false);
        waveout::test::reset();
        ::unsetenv("QUORIL_AUDIO");
        clearMessages();
    }
};

}  // namespace

TEST_F(WaveOutTest, TestDeviceKeepsTheWindowsRulesForHeadersAndHandles) {
    waveout::useTestDevice(true);
    WaveFormat f = pcm(11025, 8, 1);
    HWaveOut dev = 0, second = 0;
    ASSERT_EQ(waveOutOpen(&dev, WAVE_MAPPER, &f, 7, CALLBACK_WINDOW), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutOpen(&second, WAVE_MAPPER, &f, 7, CALLBACK_WINDOW), MMSYSERR_ALLOCATED);
    std::vector<std::uint8_t> data(300, 1);
    WaveHdr h[3];
    for (auto& x : h) {
        x.data = data.data();
        x.bufferLength = 300;
    }
    EXPECT_EQ(waveOutWrite(dev, &h[0], sizeof(WaveHdr)), WAVERR_UNPREPARED);
    for (auto& x : h) ASSERT_EQ(waveOutPrepareHeader(dev, &x, sizeof(WaveHdr)), MMSYSERR_NOERROR);
    for (auto& x : h) ASSERT_EQ(waveOutWrite(dev, &x, sizeof(WaveHdr)), MMSYSERR_NOERROR);
    EXPECT_TRUE(h[0].flags & WHDR_INQUEUE);
    EXPECT_EQ(waveOutUnprepareHeader(dev, &h[0], sizeof(WaveHdr)), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutClose(dev), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutWrite(dev + 1, &h[0], sizeof(WaveHdr)), MMSYSERR_INVALHANDLE);

    waveout::test::finishBlocks(1);
    ASSERT_EQ(waveOutReset(dev), MMSYSERR_NOERROR);
    // Every block came back, in order, through notices to the window.
    std::vector<WaveHdr*> order;
    Msg m;
    while (peekMessage(m)) {
        EXPECT_EQ(m.hwnd, 7u);
        EXPECT_EQ(m.wParam, dev);
        order.push_back(reinterpret_cast<WaveHdr*>(m.lParam));
    }
    EXPECT_EQ(order, (std::vector<WaveHdr*>{&h[0], &h[1], &h[2]}));
    for (auto& x : h) {
        EXPECT_EQ(x.flags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
        EXPECT_EQ(waveOutUnprepareHeader(dev, &x, sizeof(WaveHdr)), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(waveOutClose(dev), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(dev), MMSYSERR_INVALHANDLE);

    struct Bad {
        WaveFormat format;
        MmResult result;
    };
    WaveFormat adpcm = pcm(11025, 8, 1);
    adpcm.formatTag = 2;
    const Bad bad[] = {
        {pcm(11025, 12, 1), WAVERR_BADFORMAT}, {pcm(11025, 8, 0), WAVERR_BADFORMAT},
        {pcm(11025, 16, 6), WAVERR_BADFORMAT}, {pcm(0, 8, 1), WAVERR_BADFORMAT},
        {pcm(400000, 8, 1), WAVERR_BADFORMAT}, {adpcm, WAVERR_BADFORMAT},
    };
    for (const auto& b : bad) {
        HWaveOut d = 0;
        EXPECT_EQ(waveOutOpen(&d, WAVE_MAPPER, &b.format, 7, CALLBACK_WINDOW), b.result);
        EXPECT_EQ(d, 0u);
    }
}

TEST_F(WaveOutTest, WithoutASoundDeviceOpeningFailsAndNothingElseBreaks) {
    ::setenv("QUORIL_AUDIO", "none", 1);
    WaveFormat f = pcm(11025, 8, 1);
    HWaveOut dev = 0;
    EXPECT_EQ(waveOutOpen(&dev, WAVE_MAPPER, &f, 0, CALLBACK_WINDOW), MMSYSERR_NODRIVER);
    EXPECT_FALSE(audio::available());
    std::vector<std::uint8_t> tone = wavtest::wav(11025, 8, 1, wavtest::ramp(2000));
    playSoundLoop(tone.data(), tone.size());
    EXPECT_EQ(audio::loopImage(), tone);
    audio::beep();
    stopSoundLoop();
    EXPECT_TRUE(audio::loopImage().empty());
    qrwav::resetForTests();
    EXPECT_EQ(qrwav::playWaveData(tone.data() + 44, 2000, 11025, 1, 8), static_cast<int>(MMSYSERR_NODRIVER));
    EXPECT_FALSE(qrwav::deviceOpen());
    qrwav::resetForTests();
}

TEST_F(WaveOutTest, SdlDevicePlaysBlocksInOrderAndReturnsThemAfterTheirLastSample) {
    ::setenv("QUORIL_AUDIO", "sdl", 1);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (!audio::available()) GTEST_SKIP() << "SDL's dummy audio driver did not open";
    EXPECT_GT(waveout::outputRate(), 0);
    EXPECT_GT(waveout::outputBufferFrames(), 0);

    struct Case {
        WaveFormat format;
        std::uint32_t bytesPer100ms;
    };
    const Case cases[] = {{pcm(11025, 8, 1), 1102}, {pcm(16000, 16, 1), 3200}, {pcm(22050, 16, 2), 8820}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format.samplesPerSec);
        HWaveOut dev = 0;
        ASSERT_EQ(waveOutOpen(&dev, WAVE_MAPPER, &c.format, 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
        std::vector<std::uint8_t> data(c.bytesPer100ms, c.format.bitsPerSample == 8 ? 128 : 0);
        WaveHdr h[3];
        auto start = std::chrono::steady_clock::now();
        for (auto& x : h) {
            x.data = data.data();
            x.bufferLength = c.bytesPer100ms;
            ASSERT_EQ(waveOutPrepareHeader(dev, &x, sizeof(WaveHdr)), MMSYSERR_NOERROR);
            ASSERT_EQ(waveOutWrite(dev, &x, sizeof(WaveHdr)), MMSYSERR_NOERROR);
        }
        std::vector<WaveHdr*> got = takeNotices(3, 5000);
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(got, (std::vector<WaveHdr*>{&h[0], &h[1], &h[2]}));
        // 300 ms of sound cannot have gone out much sooner than 300 ms.
        EXPECT_GE(ms, 200);
        EXPECT_NE(waveout::lastBlockStartNanos(), 0u);
        for (auto& x : h) {
            EXPECT_EQ(x.flags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
            EXPECT_EQ(waveOutUnprepareHeader(dev, &x, sizeof(WaveHdr)), MMSYSERR_NOERROR);
        }
        EXPECT_EQ(waveOutClose(dev), MMSYSERR_NOERROR);
    }

    // Reset hands every queued block back before it returns.
    WaveFormat f = pcm(11025, 8, 1);
    HWaveOut dev = 0;
    ASSERT_EQ(waveOutOpen(&dev, WAVE_MAPPER, &f, 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
    HWaveOut other = 0;
    EXPECT_EQ(waveOutOpen(&other, WAVE_MAPPER, &f, 0, CALLBACK_WINDOW), MMSYSERR_ALLOCATED);
    std::vector<std::uint8_t> second(11025, 128);
    WaveHdr h[4];
    for (auto& x : h) {
        x.data = second.data();
        x.bufferLength = 11025;
        ASSERT_EQ(waveOutPrepareHeader(dev, &x, sizeof(WaveHdr)), MMSYSERR_NOERROR);
        ASSERT_EQ(waveOutWrite(dev, &x, sizeof(WaveHdr)), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(waveOutClose(dev), WAVERR_STILLPLAYING);
    ASSERT_EQ(waveOutReset(dev), MMSYSERR_NOERROR);
    EXPECT_EQ(takeNotices(4, 0), (std::vector<WaveHdr*>{&h[0], &h[1], &h[2], &h[3]}));
    EXPECT_EQ(waveOutClose(dev), MMSYSERR_NOERROR);

    // The looping sound and the beep share the output.
    std::vector<std::uint8_t> tone = wavtest::wav(11025, 8, 1, wavtest::ramp(2000));
    playSoundLoop(tone.data(), tone.size());
    audio::beep();
    EXPECT_EQ(audio::loopImage(), tone);
    waitMessageFor(50);
    stopSoundLoop();
    EXPECT_TRUE(audio::loopImage().empty());
}

namespace {

// The speech runtimes play from their own threads: two threads opening and
// closing the device at once never hold it both, the very first opening
// of the output included.
TEST_F(WaveOutTest, SdlDeviceOpenIsOneStepAcrossThreads) {
    ::setenv("QUORIL_AUDIO", "sdl", 1);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    const WaveFormat f = pcm(11025, 8, 1);
    std::atomic<int> holders{0}, overlaps{0}, opened{0}, ready{0};
    auto run = [&] {
        ++ready;
        while (ready.load() < 2) {
        }
        for (int i = 0; i < 20000; ++i) {
            HWaveOut dev = 0;
            const MmResult r = waveOutOpen(&dev, WAVE_MAPPER, &f, 0, CALLBACK_WINDOW);
            if (r == MMSYSERR_NODRIVER) return;
            if (r != MMSYSERR_NOERROR) continue;
            ++opened;
            if (++holders > 1) ++overlaps;
            --holders;
            if (waveOutClose(dev) != MMSYSERR_NOERROR) ++overlaps;
        }
    };
    std::thread a(run), b(run);
    a.join();
    b.join();
    if (opened.load() == 0) GTEST_SKIP() << "SDL's dummy audio driver did not open";
    EXPECT_EQ(overlaps.load(), 0);
}

}  // namespace

namespace {

// The SDL output through SDL's disk driver, which writes what it plays to a
// file: a sound split into blocks of odd sizes comes out sample for sample
// as the same sound in one block, for each format.
TEST_F(WaveOutTest, SdlDeviceJoinsBlocksOfOddSizesWithoutASeam) {
    if (waveout::outputRate() > 0) GTEST_SKIP() << "the output is already open on another driver";
    const std::string file = ::testing::TempDir() + "quoril_disk_audio.f32";
    std::remove(file.c_str());
    ::setenv("QUORIL_AUDIO", "sdl", 1);
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    if (!audio::available()) GTEST_SKIP() << "SDL's disk audio driver did not open";
    const auto fileFrames = [&] { return std::filesystem::exists(file) ? std::filesystem::file_size(file) / 8 : 0; };
    // Waits until the output has played `frames` more frames.
    const auto playedOn = [&](std::uintmax_t frames) {
        const std::uintmax_t until = fileFrames() + frames;
        for (int i = 0; i < 2000 && fileFrames() < until; ++i) waitMessageFor(5);
    };
    struct Case {
        WaveFormat format;
    };
    const Case cases[] = {{pcm(11025, 8, 1)}, {pcm(16000, 16, 1)}, {pcm(22050, 16, 2)}};
    const std::uint32_t oddFrames[] = {1, 2, 3, 5, 127, 1001, 2999};
    for (const Case& c : cases) {
        const std::uint32_t frameBytes = c.format.blockAlign, frames = c.format.samplesPerSec / 2;
        std::vector<std::uint8_t> data(frames * frameBytes);
        for (std::uint32_t i = 0; i < frames * c.format.channels; ++i) {
            const double v = 0.6 * std::sin(2 * M_PI * (300 + 0.01 * i) * i / c.format.samplesPerSec);
            if (c.format.bitsPerSample == 8) {
                data[i] = static_cast<std::uint8_t>(128 + std::lround(127 * v));
            } else {
                const auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(32767 * v)));
                data[2 * i] = static_cast<std::uint8_t>(s);
                data[2 * i + 1] = static_cast<std::uint8_t>(s >> 8);
            }
        }
        for (bool split : {false, true}) {
            std::vector<WaveHdr> h;
            std::uint32_t at = 0;
            for (std::uint32_t n : oddFrames) {
                if (!split) break;
                h.push_back(WaveHdr{data.data() + at * frameBytes, n * frameBytes});
                at += n;
            }
            h.push_back(WaveHdr{data.data() + at * frameBytes, (frames - at) * frameBytes});
            HWaveOut dev = 0;
            ASSERT_EQ(waveOutOpen(&dev, WAVE_MAPPER, &c.format, 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
            // All blocks are queued before the callback may take the first.
            audio::detail::lockOutput();
            for (auto& x : h) {
                EXPECT_EQ(waveOutPrepareHeader(dev, &x, sizeof(WaveHdr)), MMSYSERR_NOERROR);
                EXPECT_EQ(waveOutWrite(dev, &x, sizeof(WaveHdr)), MMSYSERR_NOERROR);
            }
            audio::detail::unlockOutput();
            EXPECT_EQ(takeNotices(h.size(), 10000).size(), h.size());
            for (auto& x : h) waveOutUnprepareHeader(dev, &x, sizeof(WaveHdr));
            EXPECT_EQ(waveOutClose(dev), MMSYSERR_NOERROR);
            playedOn(9600);  // 200 ms of silence after each sound
        }
    }
    // The file: one stretch of sound per play, between long silences.
    const std::vector<std::uint8_t> bytes = support::fileBytes(file);
    std::vector<float> out(bytes.size() / 4);
    std::memcpy(out.data(), bytes.data(), out.size() * 4);
    std::vector<std::vector<float>> sounds;
    std::size_t quiet = 1 << 20;
    for (std::size_t i = 0; i + 1 < out.size(); i += 2) {
        const bool silent = out[i] == 0 && out[i + 1] == 0;
        if (!silent && quiet >= 4800) sounds.emplace_back();
        quiet = silent ? quiet + 1 : 0;
        if (!sounds.empty() && quiet < 4800) sounds.back().insert(sounds.back().end(), {out[i], out[i + 1]});
    }
    ASSERT_EQ(sounds.size(), 2 * std::size(cases));
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        SCOPED_TRACE(cases[k].format.samplesPerSec);
        auto& whole = sounds[2 * k];
        auto& split = sounds[2 * k + 1];
        // Trailing silence inside a stretch is not part of the sound.
        for (auto* s : {&whole, &split})
            while (!s->empty() && s->back() == 0) s->pop_back();
        EXPECT_GT(whole.size(), 2u * 48000 / 2 - 200);
        EXPECT_TRUE(whole == split) << "the split sound differs from the whole one";
    }
    std::remove(file.c_str());
}

}  // namespace
