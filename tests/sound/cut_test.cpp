// The pitch-period cut on speech-like signals: a glottal pulse train (a peak
// followed by a decaying ring) whose periods carry a number, so that the
// periods kept can be read back from the result.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "sound/qrwav.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Period k starts with a 255 peak; its middle byte holds the marker k % 100
// (below every other byte); the rest rings down around 128.
Bytes markedBuzz(std::size_t periods, std::size_t period) {
    Bytes b;
    for (std::size_t k = 0; k < periods; ++k)
        for (std::size_t o = 0; o < period; ++o) {
            if (o == 0) {
                b.push_back(255);
            } else if (o == period / 2) {
                b.push_back(static_cast<std::uint8_t>(k % 100));
            } else {
                double ring = 60.0 * std::exp(-static_cast<double>(o) / (period / 4.0)) *
                              std::cos(2 * 3.14159265 * 3.0 * o / period);
                b.push_back(static_cast<std::uint8_t>(std::lround(150 + ring * 0.9 > 230 ? 230 : 150 + ring * 0.9)));
            }
        }
    return b;
}

std::vector<int> markers(const Bytes& b, std::size_t length) {
    std::vector<int> m;
    for (std::size_t i = 0; i < length; ++i)
        if (b[i] < 100) m.push_back(b[i]);
    return m;
}

}  // namespace

TEST(CutPitchPeriods, KeepsEveryOtherPeriodWithTheSmallConstantsAt11025) {
    Bytes b = markedBuzz(120, 100);
    std::size_t n = qrwav::cutPitchPeriods(b.data(), b.size(), 8, 11025);
    // Bytes before the first peak after 200 stay; then one period of two is
    // kept (the last 3 ms fade out).
    std::vector<int> m = markers(b, n - 33);
    ASSERT_GE(m.size(), 10u);
    std::vector<int> expected = {0, 1};
    for (int k = 3; expected.size() < m.size(); k += 2) expected.push_back(k % 100);
    EXPECT_EQ(m, expected);
    EXPECT_NEAR(static_cast<double>(n), b.size() / 2.0, 300.0);
}

TEST(CutPitchPeriods, OtherRatesUseConstantsFourTimesLarger) {
    // With a 100-byte period, skip 320 and window 200 keep four periods and
    // drop four, after the first eight.
    for (int rate : {16537, 16000, 22050, 8000}) {
        SCOPED_TRACE(rate);
        Bytes b = markedBuzz(120, 100);
        std::size_t n = qrwav::cutPitchPeriods(b.data(), b.size(), 8, rate);
        std::vector<int> m = markers(b, n - static_cast<std::size_t>(rate) * 3 / 1000);
        ASSERT_GE(m.size(), 16u);
        std::vector<int> expected = {0, 1, 2, 3, 4, 5, 6, 7};
        for (int k = 12; expected.size() < m.size(); k += 8)
            for (int j = 0; j < 4 && expected.size() < m.size(); ++j) expected.push_back((k + j) % 100);
        EXPECT_EQ(m, expected);
        EXPECT_NEAR(static_cast<double>(n), b.size() / 2.0 + 400, 500.0);
    }
}

TEST(CutPitchPeriods, SixteenBitSoundIsTurnedIntoEightBitFirst) {
    // The high byte of each 16-bit sample with its sign bit inverted is the
    // 8-bit sample: the cut of the 16-bit form equals the cut of the 8-bit one.
    Bytes eight = markedBuzz(120, 100);
    Bytes sixteen;
    for (std::uint8_t v : eight) {
        sixteen.push_back(0x5A);                               // low byte: ignored
        sixteen.push_back(static_cast<std::uint8_t>(v ^ 128));  // signed high byte
    }
    std::size_t n8 = qrwav::cutPitchPeriods(eight.data(), eight.size(), 8, 11025);
    std::size_t n16 = qrwav::cutPitchPeriods(sixteen.data(), sixteen.size(), 16, 11025);
    ASSERT_EQ(n16, n8);
    EXPECT_EQ(Bytes(sixteen.begin(), sixteen.begin() + static_cast<long>(n16)),
              Bytes(eight.begin(), eight.begin() + static_cast<long>(n8)));
}

TEST(CutPitchPeriods, FewerThanAThousandBytesAreOnlyConverted) {
    struct Case {
        int bits;
        std::size_t length, result;
    };
    const Case cases[] = {{8, 0, 0}, {8, 1, 1}, {8, 999, 999}, {16, 1998, 999}, {16, 1999, 999}, {16, 3, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.length);
        Bytes b(c.length);
        for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 37);
        Bytes before = b;
        EXPECT_EQ(qrwav::cutPitchPeriods(b.data(), b.size(), c.bits, 11025), c.result);
        for (std::size_t i = 0; i < c.result; ++i) {
            std::uint8_t want = c.bits == 16 ? static_cast<std::uint8_t>(before[2 * i + 1] ^ 128) : before[i];
            ASSERT_EQ(b[i], want) << i;
        }
    }
}

TEST(CutPitchPeriods, NeverReadsOrWritesBeyondTheBuffer) {
    // Lengths around the thresholds, at both constant sets, on noise and on
    // silence (the tail copy stops only at the end of the buffer or at silence).
    for (int rate : {11025, 16000})
        for (std::size_t length : {1000u, 1001u, 1040u, 1100u, 1320u, 1321u, 1400u, 2080u, 2081u, 4000u, 65534u})
            for (int kind = 0; kind < 3; ++kind) {
                Bytes b(length);
                for (std::size_t i = 0; i < length; ++i)
                    b[i] = kind == 0 ? static_cast<std::uint8_t>((i * 2654435761u) >> 24)
                                     : kind == 1 ? 128
                                                 : static_cast<std::uint8_t>(i % 2 ? 255 : 0);
                std::size_t n = qrwav::cutPitchPeriods(b.data(), b.size(), 8, rate);
                EXPECT_LE(n, length) << rate << " " << length << " " << kind;
            }
}
