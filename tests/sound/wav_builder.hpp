// Builds RIFF/WAVE images byte by byte for the sound tests and the fuzz seeds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wavtest {

using Bytes = std::vector<std::uint8_t>;

struct Chunk {
    std::string id;  // four letters
    Bytes body;
};

inline void put32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline void put16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline Chunk fmtChunk(std::uint32_t rate, std::uint16_t bits, std::uint16_t channels) {
    Bytes b;
    put16(b, 1);
    put16(b, channels);
    put32(b, rate);
    put32(b, rate * channels * (bits / 8));
    put16(b, static_cast<std::uint16_t>(channels * (bits / 8)));
    put16(b, bits);
    return {"fmt ", b};
}

// "RIFF", size, "WAVE", then the chunks in order.
inline Bytes riff(const std::vector<Chunk>& chunks, const std::string& riffId = "RIFF") {
    Bytes b(riffId.begin(), riffId.end());
    put32(b, 0);
    b.insert(b.end(), {'W', 'A', 'V', 'E'});
    for (const auto& c : chunks) {
        b.insert(b.end(), c.id.begin(), c.id.end());
        put32(b, static_cast<std::uint32_t>(c.body.size()));
        b.insert(b.end(), c.body.begin(), c.body.end());
    }
    std::uint32_t size = static_cast<std::uint32_t>(b.size() - 8);
    for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    return b;
}

inline Bytes wav(std::uint32_t rate, std::uint16_t bits, std::uint16_t channels, const Bytes& data) {
    return riff({fmtChunk(rate, bits, channels), {"data", data}});
}

// n bytes counting up from `from` (wrapping), so that pieces can be told apart.
inline Bytes ramp(std::size_t n, std::uint8_t from = 0) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(from + i * 7);
    return b;
}

}  // namespace wavtest
