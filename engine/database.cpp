// See database.hpp.
#include "database.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>

namespace mbr {
namespace {

struct Reader {
    const std::uint8_t* p;
    std::size_t size, at = 0;
    bool u32(std::uint32_t& v) {
        if (size - at < 4) return false;
        v = static_cast<std::uint32_t>(p[at]) | static_cast<std::uint32_t>(p[at + 1]) << 8 |
            static_cast<std::uint32_t>(p[at + 2]) << 16 | static_cast<std::uint32_t>(p[at + 3]) << 24;
        at += 4;
        return true;
    }
    std::size_t left() const { return size - at; }
};

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

}  // namespace

int Database::phoneme(const std::string& name) const {
    for (std::size_t i = 0; i < phonemes.size(); ++i)
        if (phonemes[i] == name) return static_cast<int>(i);
    return -1;
}

bool readDatabaseFile(const std::string& path, std::vector<std::uint8_t>& image, std::string& error) {
    image.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok) error = std::strerror(errno);
    else if (!S_ISREG(st.st_mode)) ok = false, error = "not a regular file";
    else if (static_cast<std::uint64_t>(st.st_size) > kMaxDatabaseBytes) ok = false, error = "larger than any database";
    if (ok) {
        try {
            image.resize(static_cast<std::size_t>(st.st_size));
        } catch (const std::bad_alloc&) {
            ok = false, error = "out of memory";
        }
    }
    std::size_t got = 0;
    while (ok && got < image.size()) {
        const ssize_t n = ::read(fd, image.data() + got, image.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false, error = std::strerror(errno);
        else if (n == 0) break;  // shorter now than it was: what is there is parsed
        else got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (!ok) {
        std::vector<std::uint8_t>().swap(image);
        return false;
    }
    image.resize(got);
    return true;
}

bool parseDatabase(const std::uint8_t* data, std::size_t size, Database& db, std::string& error) {
    db = Database{};
    Reader r{data, size};
    if (size < sizeof kMagic || std::memcmp(data, kMagic, sizeof kMagic) != 0) {
        error = "not a diphone database";
        return false;
    }
    r.at = sizeof kMagic;
    std::uint32_t version, rate, f0, period, nPh, nDi, nMarks, nSamples, infoLen;
    if (!r.u32(version) || !r.u32(rate) || !r.u32(f0) || !r.u32(period) || !r.u32(nPh) || !r.u32(nDi) ||
        !r.u32(nMarks) || !r.u32(nSamples) || !r.u32(infoLen)) {
        error = "database header cut short";
        return false;
    }
    if (version != kVersion) {
        error = "database version " + std::to_string(version) + " is not supported";
        return false;
    }
    if (rate < 4000 || rate > 96000 || f0 < 2000 || f0 > 100000 || period < 2 || period > rate / 20 || nPh == 0 ||
        nPh > kMaxPhonemes) {
        error = "database header out of range";
        return false;
    }
    // Every section must fit in what is left before anything is allocated.
    const std::uint64_t need = std::uint64_t{infoLen} + std::uint64_t{nPh} * kNameSize + std::uint64_t{nDi} * 36 +
                               std::uint64_t{nMarks} * 4 + std::uint64_t{nSamples} * 2;
    if (need != r.left()) {
        error = "database size does not match its header";
        return false;
    }
    db.rate = rate;
    db.defaultF0 = f0 / 100.0;
    db.period = period;
    std::string line;
    for (std::uint32_t i = 0; i < infoLen; ++i) {
        const char c = static_cast<char>(data[r.at++]);
        if (c == '\n') {
            db.info.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) db.info.push_back(line);
    for (std::uint32_t i = 0; i < nPh; ++i) {
        const char* n = reinterpret_cast<const char*>(data + r.at);
        const std::size_t len = strnlen(n, kNameSize);
        if (len == 0 || len == kNameSize) {
            error = "bad phoneme name in database";
            return false;
        }
        db.phonemes.emplace_back(n, len);
        r.at += kNameSize;
    }
    db.table.assign(std::size_t{nPh} * nPh, -1);
    db.diphones.resize(nDi);
    for (std::uint32_t i = 0; i < nDi; ++i) {
        Diphone& d = db.diphones[i];
        r.u32(d.left), r.u32(d.right), r.u32(d.first), r.u32(d.count), r.u32(d.cutStart), r.u32(d.boundary);
        r.u32(d.cutEnd), r.u32(d.firstMark), r.u32(d.markCount);
        const bool ok = d.left < nPh && d.right < nPh && d.count >= 2 && d.first <= nSamples &&
                        d.count <= nSamples - d.first && d.cutStart <= d.boundary && d.boundary <= d.cutEnd &&
                        d.cutEnd < d.count && d.markCount >= 1 && d.firstMark <= nMarks &&
                        d.markCount <= nMarks - d.firstMark;
        if (!ok) {
            error = "diphone " + std::to_string(i) + " out of range";
            return false;
        }
        std::int32_t& slot = db.table[std::size_t{d.left} * nPh + d.right];
        if (slot < 0) slot = static_cast<std::int32_t>(i);
    }
    db.marks.resize(nMarks);
    for (std::uint32_t i = 0; i < nMarks; ++i) r.u32(db.marks[i]);
    for (const Diphone& d : db.diphones) {
        std::uint32_t prev = 0;
        for (std::uint32_t k = 0; k < d.markCount; ++k) {
            const std::uint32_t pos = db.marks[d.firstMark + k] & ~kVoicedBit;
            if (pos >= d.count || (k > 0 && pos <= prev)) {
                error = "pitch marks out of order";
                return false;
            }
            prev = pos;
        }
    }
    db.samples.resize(nSamples);
    if constexpr (std::endian::native == std::endian::little) {
        if (nSamples > 0) std::memcpy(db.samples.data(), data + r.at, std::size_t{nSamples} * 2);
    } else {
        for (std::uint32_t i = 0; i < nSamples; ++i, r.at += 2)
            db.samples[i] = static_cast<std::int16_t>(data[r.at] | data[r.at + 1] << 8);
    }
    return true;
}

std::vector<std::uint8_t> serialiseDatabase(const Database& db) {
    std::vector<std::uint8_t> out(kMagic, kMagic + sizeof kMagic);
    std::string info;
    for (const std::string& l : db.info) info += l + "\n";
    put32(out, kVersion);
    put32(out, db.rate);
    put32(out, static_cast<std::uint32_t>(std::lround(db.defaultF0 * 100)));
    put32(out, db.period);
    put32(out, static_cast<std::uint32_t>(db.phonemes.size()));
    put32(out, static_cast<std::uint32_t>(db.diphones.size()));
    put32(out, static_cast<std::uint32_t>(db.marks.size()));
    put32(out, static_cast<std::uint32_t>(db.samples.size()));
    put32(out, static_cast<std::uint32_t>(info.size()));
    out.insert(out.end(), info.begin(), info.end());
    for (const std::string& n : db.phonemes) {
        char buf[kNameSize] = {};
        std::memcpy(buf, n.data(), std::min(n.size(), kNameSize - 1));
        out.insert(out.end(), buf, buf + kNameSize);
    }
    for (const Diphone& d : db.diphones)
        for (std::uint32_t v : {d.left, d.right, d.first, d.count, d.cutStart, d.boundary, d.cutEnd, d.firstMark,
                                d.markCount})
            put32(out, v);
    for (std::uint32_t m : db.marks) put32(out, m);
    for (std::int16_t s : db.samples) {
        out.push_back(static_cast<std::uint8_t>(s & 0xFF));
        out.push_back(static_cast<std::uint8_t>((static_cast<std::uint16_t>(s) >> 8) & 0xFF));
    }
    return out;
}

}  // namespace mbr
