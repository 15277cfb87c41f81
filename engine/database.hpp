// The diphone database: one file, little-endian, read whole into memory.
//
//   header   magic "QRDIFONE", u32 version, u32 sample rate, u32 default f0
//            in centihertz, u32 period in samples, u32 phoneme count,
//            u32 diphone count, u32 mark count, u32 sample count, u32 length
//            of the description text
//   text     the description (lines separated by '\n')
//   names    phoneme count x 16 bytes, zero-padded
//   diphones diphone count x 9 u32: left phoneme, right phoneme, first
//            sample, sample count, cut start, boundary, cut end (the last
//            three relative to the first sample), first mark, mark count
//   marks    mark count x u32: sample position within the diphone, bit 31
//            set when the period there is voiced
//   samples  sample count x i16
//
// A diphone's samples run from a little before its left cut (the middle of
// its first phoneme) to a little after its right cut (the middle of its
// second), so that the periods at the cuts have their neighbours. The
// reader checks every count, index and range against the file's size, so a
// damaged file is refused instead of read out of bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mbr {

inline constexpr char kMagic[8] = {'Q', 'R', 'D', 'I', 'F', 'O', 'N', 'E'};
inline constexpr std::uint32_t kVersion = 1;
inline constexpr std::size_t kNameSize = 16;
inline constexpr std::uint32_t kVoicedBit = 0x80000000u;
inline constexpr std::uint32_t kMaxPhonemes = 255;

struct Diphone {
    std::uint32_t left = 0, right = 0;
    std::uint32_t first = 0, count = 0;                 // in samples
    std::uint32_t cutStart = 0, boundary = 0, cutEnd = 0;  // relative to first
    std::uint32_t firstMark = 0, markCount = 0;
};

struct Database {
    std::uint32_t rate = 16000;
    double defaultF0 = 120.0;
    std::uint32_t period = 133;
    std::vector<std::string> info;      // description lines
    std::vector<std::string> phonemes;  // index = phoneme number
    std::vector<Diphone> diphones;
    std::vector<std::uint32_t> marks;
    std::vector<std::int16_t> samples;
    std::vector<std::int32_t> table;  // left * phonemes + right -> diphone index or -1

    int diphone(std::size_t left, std::size_t right) const {
        return left < phonemes.size() && right < phonemes.size() ? table[left * phonemes.size() + right] : -1;
    }
    int phoneme(const std::string& name) const;  // -1 when absent
};

// The largest database file read: far above any real voice (a few MB), and
// small enough that reading one never exhausts memory.
inline constexpr std::uint64_t kMaxDatabaseBytes = 256u << 20;

// Reads a database file whole: a regular file only (a pipe or a device in
// its place is refused at once, never waited for), at most
// kMaxDatabaseBytes. False with a reason in error otherwise.
bool readDatabaseFile(const std::string& path, std::vector<std::uint8_t>& image, std::string& error);
// Parses a database image; false with a reason in error when it is not one.
bool parseDatabase(const std::uint8_t* data, std::size_t size, Database& db, std::string& error);
// Serialises a database (the generator's side).
std::vector<std::uint8_t> serialiseDatabase(const Database& db);

}  // namespace mbr
