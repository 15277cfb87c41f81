// Reading back the WAV files the voices write: little-endian fields, and
// whether 16-bit mono samples hold speech (loud enough, with pauses).
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace support {

inline std::uint32_t le(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + static_cast<std::size_t>(i)];
    return v;
}

inline std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The samples after a 44-byte header: more than minSamples of them, an RMS
// above 500, and some but not all of them loud (speech has pauses).
inline void expectSpeech16(const std::vector<std::uint8_t>& b, std::size_t minSamples) {
    ASSERT_GE(b.size(), 44u);
    const std::size_t samples = (b.size() - 44) / 2;
    EXPECT_GT(samples, minSamples);
    double sum = 0;
    std::size_t loud = 0;
    for (std::size_t i = 0; i < samples; ++i) {
        const double v = static_cast<std::int16_t>(le(b, 44 + 2 * i, 2));
        sum += v * v;
        loud += std::abs(v) > 1000;
    }
    EXPECT_GT(std::sqrt(sum / static_cast<double>(samples)), 500.0);
    EXPECT_GT(loud, samples / 20);
    EXPECT_LT(loud, samples) << "pauses between words";
}

}  // namespace support
