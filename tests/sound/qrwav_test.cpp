#include <algorithm>
#include <chrono>

#include "sound_fixture.hpp"

using namespace wavtest;
namespace wt = platform::waveout::test;

namespace {

std::string screenText() {
    std::string s;
    for (int row = 1; row <= qrcrt::screenRows; ++row) {
        for (int col = 1; col <= qrcrt::screenColumns; ++col) s += static_cast<char>(qrcrt::screenChar(row, col));
        s += '\n';
    }
    return s;
}

}  // namespace

TEST_F(SoundTest, FileDataIsCutIntoPiecesThatLeaveALongLastPiece) {
    struct Case {
        std::size_t dataBytes;
        std::vector<std::size_t> pieces;
    };
    const Case cases[] = {
        {100, {256}},
        {65534, {65534}},
        {65535, {65278, 257}},
        {65600, {65278, 322}},
        {65789, {65278, 511}},
        {65790, {65534, 256}},
        {131068, {65534, 65534}},
        {200000, {65534, 65534, 65534, 3398}},
    };
    wt::setAutoFinish(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dataBytes);
        wt::reset();
        wt::setAutoFinish(true);
        // 16-bit stereo: blocks are played exactly as read.
        Bytes data = ramp(c.dataBytes, 3);
        std::string name = writeFile("p.wav", wav(22050, 16, 2, data));
        EXPECT_EQ(qrwav::playWaveFile(name), 0);
        EXPECT_EQ(blockSizes(), c.pieces);
        Bytes played;
        for (const auto& b : wt::blocks()) played.insert(played.end(), b.begin(), b.end());
        played.resize(std::min(played.size(), data.size()));
        EXPECT_EQ(played, data);
        EXPECT_FALSE(qrwav::deviceOpen());
        EXPECT_EQ(qrwav::queuedBlocks(), 0);
    }
}

TEST_F(SoundTest, ShortBlocksArePaddedWithSilenceAndMono8BitBlocksEndInSilence) {
    struct Case {
        int bits, channels;
        std::size_t length;
        std::size_t played;
        std::uint8_t pad;       // the bytes after the samples
        bool lastIsSilence;     // the block's own last byte set to 128
    };
    const Case cases[] = {
        {8, 1, 100, 256, 128, true},
        {8, 1, 1, 256, 128, true},
        {8, 1, 255, 256, 128, true},
        {8, 1, 256, 256, 0, true},
        {8, 1, 1000, 1000, 0, true},
        {8, 1, 65534, 65534, 0, false},
        {8, 2, 100, 256, 128, false},
        {16, 1, 100, 256, 0, false},
        {16, 2, 1000, 1000, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.channels << " ch, " << c.length);
        qrwav::resetForTests();
        wt::reset();
        ASSERT_EQ(qrwav::openWaveOut(11025, c.bits, c.channels), 0u);
        Bytes samples(c.length, 50);
        ASSERT_TRUE(qrwav::queueWaveBlock(samples.data(), samples.size()));
        auto blocks = wt::blocks();
        ASSERT_EQ(blocks.size(), 1u);
        const Bytes& b = blocks[0];
        ASSERT_EQ(b.size(), c.played);
        for (std::size_t i = 0; i + 1 < c.length; ++i) ASSERT_EQ(b[i], 50) << i;
        EXPECT_EQ(b[c.length - 1], c.lastIsSilence ? 128 : 50);
        for (std::size_t i = c.length; i < b.size(); ++i) ASSERT_EQ(b[i], c.pad) << i;
    }
}

TEST_F(SoundTest, RingHoldsFourBlocksAndAdvancesInOrder) {
    ASSERT_EQ(qrwav::openWaveOut(11025, 8, 1), 0u);
    Bytes samples(300, 60);
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(qrwav::queueWaveBlock(samples.data(), samples.size()));
    EXPECT_EQ(qrwav::queuedBlocks(), 4);
    // The fifth waits for a free block; finishing one lets it through.
    wt::setWriteHook(nullptr);
    wt::finishBlocks(1);
    EXPECT_TRUE(qrwav::queueWaveBlock(samples.data(), samples.size()));
    EXPECT_EQ(qrwav::queuedBlocks(), 4);
    wt::finishBlocks();
    EXPECT_FALSE(qrwav::waveStillPlaying());
    EXPECT_EQ(qrwav::queuedBlocks(), 0);
    EXPECT_FALSE(qrwav::deviceOpen());
    EXPECT_EQ(wt::blocks().size(), 5u);
    // Refused sizes never reach the device.
    ASSERT_EQ(qrwav::openWaveOut(11025, 8, 1), 0u);
    Bytes big(qrwav::blockBytes + 1, 1);
    EXPECT_FALSE(qrwav::queueWaveBlock(big.data(), 0));
    EXPECT_FALSE(qrwav::queueWaveBlock(big.data(), big.size()));
    EXPECT_FALSE(qrwav::queueWaveBlock(nullptr, 10));
    EXPECT_EQ(wt::blocks().size(), 5u);
}

TEST_F(SoundTest, BadFilesAreRefusedWithMinusOne) {
    Bytes fmt8 = fmtChunk(11025, 8, 1).body;
    Bytes data(500, 90);
    Bytes truncated = wav(11025, 8, 1, data);
    truncated.resize(30);
    Bytes overlongSkip = riff({fmtChunk(11025, 8, 1), {"LIST", Bytes(40, 1)}, {"data", data}});
    overlongSkip[36 + 4] = 0xFF;  // the LIST size now runs past the end
    overlongSkip[36 + 5] = 0xFF;
    Bytes longFormat = riff({{"fmt ", Bytes(70000, 0)}, {"data", data}});
    std::copy(fmt8.begin(), fmt8.end(), longFormat.begin() + 20);
    struct Case {
        const char* what;
        Bytes bytes;
    };
    const Case cases[] = {
        {"too short", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V'}},
        {"not RIFF", riff({fmtChunk(11025, 8, 1), {"data", data}}, "RIFX")},
        {"list chunk first", riff({{"LIST", Bytes(20, 0)}, fmtChunk(11025, 8, 1), {"data", data}})},
        {"no chunks", riff({})},
        {"short format", riff({{"fmt ", Bytes(10, 1)}, {"data", data}})},
        {"format truncated", truncated},
        {"format longer than the read buffer", longFormat},
        {"no data chunk", riff({fmtChunk(11025, 8, 1), {"LIST", Bytes(8, 0)}})},
        {"chunk runs past the end", overlongSkip},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        wt::reset();
        EXPECT_EQ(qrwav::playWaveFile(writeFile("bad.wav", c.bytes)), -1);
        EXPECT_EQ(wt::openAttempts(), 0);
    }
    EXPECT_EQ(qrwav::playWaveFile((dir_ / "missing.wav").string()), -1);
    EXPECT_EQ(qrwav::playWaveFile(dir_.string()), -1);
}

TEST_F(SoundTest, ChunkNamesIgnoreCaseAndOtherChunksAreSkipped) {
    wt::setAutoFinish(true);
    Bytes data(700, 77);
    Bytes bytes = riff({fmtChunk(11025, 8, 1), {"LIST", Bytes(33, 5)}, {"fact", Bytes(4, 0)}, {"data", data}}, "riff");
    bytes[12] = 'F';
    bytes[13] = 'M';
    bytes[14] = 'T';
    EXPECT_EQ(qrwav::playWaveFile(writeFile("odd.wav", bytes)), 0);
    ASSERT_EQ(wt::blocks().size(), 1u);
    EXPECT_EQ(wt::blocks()[0].size(), 700u);
    EXPECT_EQ(wt::blocks()[0][10], 77);
}

TEST_F(SoundTest, SameFormatKeepsTheDeviceOpenAndAnotherFormatReopensIt) {
    wt::setAutoFinish(true);  // notices wait in the queue until something pumps
    Bytes a = wav(11025, 8, 1, Bytes(1000, 100));
    Bytes b = wav(11025, 8, 1, Bytes(2000, 110));
    Bytes c = wav(16000, 16, 1, Bytes(3000, 0));
    qrwav::playWaveImage(a.data());
    qrwav::playWaveImage(b.data());
    EXPECT_EQ(wt::openAttempts(), 1);
    EXPECT_TRUE(qrwav::deviceOpen());
    qrwav::playWaveImage(c.data());
    // The old sound played out and the device closed before the new open,
    // which therefore found the device free at the first attempt.
    EXPECT_EQ(wt::openAttempts(), 2);
    EXPECT_EQ(wt::closes(), 1);
    EXPECT_EQ(wt::openedFormats(), (std::vector<wt::Format>{{11025, 8, 1}, {16000, 16, 1}}));
    EXPECT_EQ(blockSizes(), (std::vector<std::size_t>{1000, 2000, 3000}));
    while (qrwav::waveStillPlaying()) {
    }
    EXPECT_EQ(wt::closes(), 2);
}

TEST_F(SoundTest, TwoFilesInARowNeverOverlap) {
    // Without notices the device never finishes: playWaveFile must still be
    // waiting when the test finishes the block from the write hook.
    Bytes a = wav(11025, 8, 1, Bytes(1000, 100));
    std::string name = writeFile("a.wav", a);
    std::size_t pendingAtSecondWrite = 99;
    wt::setWriteHook([&](std::size_t n) {
        if (n == 1) {
            wt::finishBlocks();  // the first file's block ends while it waits
        } else {
            pendingAtSecondWrite = wt::pending() - 1;
            wt::finishBlocks();
        }
    });
    EXPECT_EQ(qrwav::playWaveFile(name), 0);
    EXPECT_EQ(qrwav::playWaveFile(name), 0);
    EXPECT_EQ(pendingAtSecondWrite, 0u);
    EXPECT_EQ(wt::blocks().size(), 2u);
}

TEST_F(SoundTest, AWaitingKeyStopsPlaybackAtOnceAndStaysQueued) {
    Bytes data(6 * 65534, 90);
    std::string name = writeFile("long.wav", wav(11025, 8, 1, data));
    for (std::size_t keyAt : {std::size_t{0}, std::size_t{2}, std::size_t{4}}) {
        SCOPED_TRACE(keyAt);
        qrwav::resetForTests();
        wt::reset();
        qrcrt::resetForTests();
        platform::headless::reset();
        platform::clearMessages();
        // Blocks never finish on their own: without the key this would wait forever.
        if (keyAt == 0) {
            qrcrt::openScreen();
            platform::headless::typeKey('A', 'a');
        } else {
            wt::setWriteHook([&](std::size_t n) {
                if (n == keyAt) platform::headless::typeKey('A', 'a');
            });
        }
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(qrwav::playWaveFile(name), 0);
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        EXPECT_LT(ms.count(), 1500);
        EXPECT_EQ(wt::blocks().size(), keyAt);
        EXPECT_EQ(wt::pending(), 0u);
        EXPECT_FALSE(qrwav::deviceOpen());
        EXPECT_EQ(qrwav::queuedBlocks(), 0);
        ASSERT_TRUE(qrcrt::keyWaiting());
        EXPECT_EQ(qrcrt::readKeyCode(), 'a');
    }
}

TEST_F(SoundTest, KeysDoNotStopPlaybackWhenNotInterruptible) {
    qrwav::waveInterruptible() = false;
    wt::setAutoFinish(true);
    qrcrt::openScreen();
    platform::headless::typeKey('A', 'a');
    EXPECT_EQ(qrwav::playWaveFile(writeFile("k.wav", wav(11025, 8, 1, Bytes(140000, 90)))), 0);
    EXPECT_EQ(wt::blocks().size(), 3u);
    EXPECT_TRUE(qrcrt::keyWaiting());
}

TEST_F(SoundTest, AccelerationsChooseTheDeviceFormat) {
    struct Case {
        std::uint32_t rate;
        std::uint16_t bits, channels;
        bool faster, cut;
        wt::Format opened;
    };
    const Case cases[] = {
        {11025, 8, 1, false, false, {11025, 8, 1}},
        {11025, 8, 1, true, false, {16537, 8, 1}},
        {22050, 16, 2, true, false, {33075, 16, 2}},
        {16000, 16, 1, false, true, {16000, 8, 1}},
        {16000, 16, 2, false, true, {16000, 16, 2}},
        {11025, 16, 1, true, true, {16537, 8, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << "/" << c.bits << "/" << c.channels << " faster " << c.faster
                                        << " cut " << c.cut);
        qrwav::resetForTests();
        wt::reset();
        wt::setAutoFinish(true);
        qrwav::waveFaster() = c.faster;
        qrwav::waveCutSpeech() = c.cut;
        EXPECT_EQ(qrwav::playWaveFile(writeFile("f.wav", wav(c.rate, c.bits, c.channels, ramp(4000)))), 0);
        EXPECT_EQ(wt::openedFormats(), std::vector<wt::Format>{c.opened});
    }
}

TEST_F(SoundTest, TheCutPlaysACopyAndUsesTheRateAfterTheSpeedUp) {
    // A buzz with a 90-byte period: the cut at 16537 Hz (large constants)
    // keeps other bytes than the cut at 11025 Hz.
    Bytes data(6000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i % 90 == 0 ? 250 : 100 + (i % 90));
    Bytes image = wav(11025, 8, 1, data);
    const Bytes original = image;
    wt::setAutoFinish(true);
    qrwav::waveFaster() = true;
    qrwav::waveCutSpeech() = true;
    qrwav::playWaveImage(image.data(), image.size());
    EXPECT_EQ(image, original);  // the caller's samples stay as they were
    Bytes large = data, small = data;
    std::size_t nLarge = qrwav::cutPitchPeriods(large.data(), large.size(), 8, 16537);
    std::size_t nSmall = qrwav::cutPitchPeriods(small.data(), small.size(), 8, 11025);
    large.resize(nLarge);
    small.resize(nSmall);
    ASSERT_NE(large, small);
    large.back() = 128;  // mono 8-bit blocks end in silence
    ASSERT_EQ(wt::blocks().size(), 1u);
    EXPECT_EQ(wt::blocks()[0], large);

    // A stereo sound is never cut.
    qrwav::resetForTests();
    wt::reset();
    wt::setAutoFinish(true);
    qrwav::waveCutSpeech() = true;
    Bytes stereo = wav(11025, 8, 2, data);
    qrwav::playWaveImage(stereo.data());
    ASSERT_EQ(wt::blocks().size(), 1u);
    EXPECT_EQ(wt::blocks()[0], data);
}

TEST_F(SoundTest, OpeningRetriesABusyDeviceAndReportsOtherFailures) {
    wt::scriptOpenResults({platform::MMSYSERR_ALLOCATED, platform::MMSYSERR_ALLOCATED, platform::MMSYSERR_ALLOCATED});
    EXPECT_EQ(qrwav::openWaveOut(11025, 8, 1), platform::MMSYSERR_NOERROR);
    EXPECT_EQ(wt::openAttempts(), 4);
    EXPECT_TRUE(qrwav::deviceOpen());

    struct Case {
        std::vector<platform::MmResult> script;
        Bytes file;
        int result;
    };
    const Case cases[] = {
        {{platform::MMSYSERR_NODRIVER}, wav(11025, 8, 1, Bytes(500, 1)), 6},
        {{platform::MMSYSERR_BADDEVICEID}, wav(11025, 8, 1, Bytes(500, 1)), 2},
        {{}, wav(11025, 12, 1, Bytes(500, 1)), 32},
        {{}, wav(11025, 8, 0, Bytes(500, 1)), 32},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        qrwav::resetForTests();
        wt::reset();
        wt::setAutoFinish(true);
        wt::scriptOpenResults(c.script);
        EXPECT_EQ(qrwav::playWaveFile(writeFile("o.wav", c.file)), c.result);
        EXPECT_TRUE(wt::blocks().empty());
        EXPECT_FALSE(qrwav::deviceOpen());
    }
}

TEST_F(SoundTest, FailedUnprepareShowsTheDeviceMessageAndWaitsForEnter) {
    struct Case {
        platform::MmResult code;
        std::string text;
    };
    const Case cases[] = {
        {platform::MMSYSERR_INVALHANDLE, "Specified device handle is invalid."},
        {platform::MMSYSERR_NODRIVER, "No device driver is present."},
        {platform::MMSYSERR_NOMEM, "Unable to allocate or lock memory."},
        {platform::WAVERR_STILLPLAYING, "The data block pointed to by the pwh parameter is still in queue"},
        {platform::MMSYSERR_INVALPARAM, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        qrwav::resetForTests();
        wt::reset();
        qrcrt::resetForTests();
        platform::headless::reset();
        platform::clearMessages();
        ASSERT_EQ(qrwav::openWaveOut(11025, 8, 1), 0u);
        Bytes samples(400, 70);
        ASSERT_TRUE(qrwav::queueWaveBlock(samples.data(), samples.size()));
        wt::scriptUnprepareResult(c.code);
        platform::headless::typeKey(platform::VK_RETURN);
        wt::finishBlocks();
        qrcrt::pumpMessages();
        EXPECT_EQ(qrwav::queuedBlocks(), 0);
        EXPECT_EQ(qrcrt::queuedKeys(), 0u);  // the Enter was read
        std::string screen = screenText();
        if (!c.text.empty()) {
            EXPECT_NE(screen.find(c.text), std::string::npos) << screen;
        } else {
            EXPECT_EQ(screen.find_first_not_of(" \n"), std::string::npos) << screen;
        }
        wt::scriptUnprepareResult(platform::MMSYSERR_NOERROR);
    }
}

TEST_F(SoundTest, MemoryImagesAreReadWithinTheirRiffSize) {
    Bytes data(600, 33);
    // The RIFF size ends the image before its data chunk: not played.
    Bytes cutShort = riff({fmtChunk(11025, 8, 1), {"LIST", Bytes(12, 0)}, {"data", data}});
    std::uint32_t shortSize = 4 + 24 + 20;  // "WAVE", fmt chunk, LIST chunk
    for (int i = 0; i < 4; ++i) cutShort[4 + i] = static_cast<std::uint8_t>(shortSize >> (8 * i));
    // A data chunk claiming more than the image holds plays what is there.
    Bytes overlong = wav(11025, 8, 1, data);
    overlong[40] = 0x00;
    overlong[41] = 0x00;
    overlong[42] = 0x10;
    // No data chunk at all, the image ending exactly at its last chunk.
    Bytes noData = riff({fmtChunk(11025, 8, 1), {"LIST", Bytes(10, 0)}});
    Bytes notFmt = riff({{"LIST", Bytes(16, 0)}, fmtChunk(11025, 8, 1), {"data", data}});
    struct Case {
        const char* what;
        const Bytes* image;
        std::vector<std::size_t> blocks;
    };
    const Case cases[] = {
        {"data beyond the RIFF size", &cutShort, {}},
        {"data chunk longer than the image", &overlong, {600}},
        {"no data chunk", &noData, {}},
        {"no fmt chunk at 12", &notFmt, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        qrwav::resetForTests();
        wt::reset();
        wt::setAutoFinish(true);
        qrwav::playWaveImage(c.image->data());
        qrwav::playWaveImage(c.image->data(), c.image->size());
        std::vector<std::size_t> expected = c.blocks;
        if (!expected.empty()) expected.push_back(expected[0]);
        EXPECT_EQ(blockSizes(), expected);
    }
}

TEST_F(SoundTest, StopWaveReturnsEveryBlockAndClosesTheDevice) {
    ASSERT_EQ(qrwav::openWaveOut(11025, 8, 1), 0u);
    Bytes samples(300, 60);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(qrwav::queueWaveBlock(samples.data(), samples.size()));
    EXPECT_TRUE(qrwav::waveStillPlaying());
    qrwav::stopWave();
    EXPECT_EQ(wt::resets(), 1);
    EXPECT_EQ(wt::closes(), 1);
    EXPECT_EQ(qrwav::queuedBlocks(), 0);
    EXPECT_FALSE(qrwav::deviceOpen());
    EXPECT_FALSE(qrwav::waveStillPlaying());
    // The next sound opens the device again.
    EXPECT_EQ(qrwav::playWaveData(samples.data(), samples.size(), 11025, 1, 8), 0);
    EXPECT_EQ(wt::openedFormats().size(), 2u);
}
