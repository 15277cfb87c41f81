#include "converter/zul.hpp"

#include <algorithm>
#include <cstring>

#include "platform/system/system.hpp"

namespace zul {

namespace {

// The masks of one cycle, indexed by (p - 1) mod 20.
struct MaskCycle {
    std::uint8_t mask[20];
    constexpr MaskCycle() : mask{} {
        for (std::size_t i = 0; i < 20; ++i) mask[i] = maskAt(i + 1);
    }
};
constexpr MaskCycle cycle;

bool isLineEnd(char c) {
    auto b = static_cast<std::uint8_t>(c);
    return b == 13 || b == 10 || b == endOfInput;
}

// The first line end (CR, LF or Ctrl-Z) in [begin, end), or end. Every
// line end is below 27: eight bytes at a time are passed over while none
// of them is, which text nearly always is.
const char* findLineEnd(const char* begin, const char* end) {
    constexpr std::uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    const char* p = begin;
    for (; end - p >= 8; p += 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        if ((w - ones * 27) & ~w & highs) break;  // some byte below 27
    }
    return std::find_if(p, end, isLineEnd);
}

}  // namespace

void scrambleLine(std::string& line) {
    auto* p = reinterpret_cast<std::uint8_t*>(line.data());
    std::size_t n = line.size();
    std::size_t i = 0;
    for (; i + 20 <= n; i += 20)
        for (std::size_t k = 0; k < 20; ++k) p[i + k] ^= cycle.mask[k];
    for (std::size_t k = 0; i < n; ++i, ++k) p[i] ^= cycle.mask[k];
}

void encodeLine(std::string& line) {
    platform::charToOem(line);
    scrambleLine(line);
}

void encodeBytes(const char* src, std::size_t size, std::size_t offset, char* dst) {
    const std::uint8_t* oem = platform::ansiToOemTable();
    const auto* in = reinterpret_cast<const std::uint8_t*>(src);
    auto* out = reinterpret_cast<std::uint8_t*>(dst);
    std::size_t i = 0, k = offset % 20;
    // Up to the start of the next cycle, then whole cycles, then the rest.
    for (; k != 0 && i < size; ++i, k = (k + 1) % 20) out[i] = oem[in[i]] ^ cycle.mask[k];
    for (; i + 20 <= size; i += 20)
        for (std::size_t m = 0; m < 20; ++m) out[i + m] = oem[in[i + m]] ^ cycle.mask[m];
    for (std::size_t m = 0; i < size; ++i, ++m) out[i] = oem[in[i]] ^ cycle.mask[m];
}

void decodeLine(std::string& line) {
    scrambleLine(line);
    platform::oemToChar(line);
}

std::string encodeText(const std::string& text) {
    MemorySource source(text);
    LineReader reader(source);
    platform::TextDecoder decoder;
    std::string out, line;
    while (reader.next(line)) {
        decoder.decodeLine(line);
        encodeLine(line);
        out += line;
        out += "\r\n";
    }
    return out;
}

// ---- memory source ----

std::size_t MemorySource::read(char* buffer, std::size_t size) {
    std::size_t n = std::min({size, chunk_, bytes_.size() - pos_});
    std::memcpy(buffer, bytes_.data() + pos_, n);
    pos_ += n;
    return n;
}

long long MemorySource::readAt(std::uint64_t offset, char* buffer, std::size_t size) {
    if (offset >= bytes_.size()) return 0;
    std::size_t n = std::min<std::size_t>(size, bytes_.size() - static_cast<std::size_t>(offset));
    std::memcpy(buffer, bytes_.data() + offset, n);
    return static_cast<long long>(n);
}

// ---- line reader ----

LineReader::LineReader(ByteSource& source, std::size_t chunkSize)
    : source_(source), buffer_(chunkSize ? chunkSize : 1) {}

bool LineReader::fill() {
    bufferOffset_ += len_;
    pos_ = len_ = 0;
    len_ = source_.read(buffer_.data(), buffer_.size());
    return len_ > 0;
}

// A long line would otherwise grow by doubling, holding the old and the new
// copy at once; instead the rest of the line is measured in the source and
// the buffer is made the line's full size in one step.
void LineReader::reserveFor(std::string& line) {
    measured_ = true;
    std::uint64_t offset = bufferOffset_ + pos_;
    std::vector<char> scratch(buffer_.size());
    std::uint64_t rest = 0;
    for (;;) {
        long long n = source_.readAt(offset + rest, scratch.data(), scratch.size());
        if (n < 0) return;  // cannot look ahead: ordinary growth
        if (n == 0) break;
        if (whileLong_) whileLong_();
        const char* begin = scratch.data();
        const char* end = findLineEnd(begin, begin + n);
        rest += static_cast<std::uint64_t>(end - begin);
        if (end != begin + n) break;
    }
    std::uint64_t total = line.size() + rest;
    if (total > line.capacity() && total < line.max_size()) line.reserve(static_cast<std::size_t>(total));
}

bool LineReader::next(std::string& line) {
    line.clear();
    measured_ = false;
    if (ended_) return false;
    bool started = false;  // a line exists once any of its bytes or its end was read
    for (;;) {
        if (pos_ == len_ && !fill()) {
            ended_ = true;
            return started;
        }
        if (skipLineFeed_) {
            skipLineFeed_ = false;
            if (buffer_[pos_] == '\n') {
                ++pos_;
                continue;
            }
        }
        const char* begin = buffer_.data() + pos_;
        const char* limit = buffer_.data() + len_;
        const char* end = findLineEnd(begin, limit);
        if (end != begin) {
            std::size_t n = static_cast<std::size_t>(end - begin);
            if (line.size() + n > line.capacity() && line.size() + n > longLine && !measured_)
                reserveFor(line);
            line.append(begin, n);
            started = true;
        }
        pos_ = static_cast<std::size_t>(end - buffer_.data());
        if (end == limit) {
            if (started && whileLong_) whileLong_();
            continue;
        }
        auto b = static_cast<std::uint8_t>(*end);
        ++pos_;
        if (b == endOfInput) {
            ended_ = true;
            return started;
        }
        if (b == 13) skipLineFeed_ = true;
        return true;
    }
}

}  // namespace zul
