// A line has no length limit: one line of 200 MB converts correctly while
// the converter holds that line once.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "converter/converter.hpp"
#include "converter/zul.hpp"

namespace fs = std::filesystem;

namespace {

// Kilobytes of a "VmHWM:" or "VmRSS:" line of /proc/self/status; 0 when absent.
long long statusKilobytes(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::stoll(line.substr(key.size()));
    return 0;
}

char patternAt(std::uint64_t i) { return static_cast<char>('a' + i % 26); }
constexpr std::size_t period = 260;  // of the pattern (26) and the masks (20) together

// A folder where this user can write both files (twice the line, and room
// to spare): memory-backed /dev/shm when the system has it (the test is
// about the converter, not the disk), else the temporary folder, else the
// build folder; empty when none has room.
fs::path roomFor(std::uint64_t bytes, std::string& tried) {
    std::vector<fs::path> places = {"/dev/shm"};
    std::error_code ec;
    const fs::path temp = fs::temp_directory_path(ec);
    if (!ec) places.push_back(temp);
    if (const char* build = std::getenv("QUORIL_BUILD_DIR")) places.push_back(build);
    std::random_device random;
    for (const fs::path& place : places) {
        const fs::space_info space = fs::space(place, ec);
        tried += " " + place.string();
        if (ec || space.available < bytes) {
            tried += ec ? " (" + ec.message() + ")" : " (" + std::to_string(space.available >> 20) + " MB free)";
            continue;
        }
        const fs::path dir = place / ("convzul-long-" + std::to_string(random()));
        if (fs::create_directories(dir, ec) && std::ofstream(dir / "probe").good()) return dir;
        tried += " (not writable)";
        fs::remove_all(dir, ec);
    }
    return {};
}

TEST(ConvertFile, OneLineOf200Megabytes) {
    const std::uint64_t length = 200ull << 20;
    std::string tried;
    const fs::path dir = roomFor(2 * length + (16ull << 20), tried);
    if (dir.empty()) GTEST_SKIP() << "no folder with room for two files of 200 MB:" << tried;
    const fs::path in = dir / "long.txt", out = dir / "long.zul";
    {
        std::ofstream f(in, std::ios::binary);
        // The pattern repeats every 26 bytes and the block holds whole periods.
        std::string block(period * 4033, '\0');
        for (std::size_t k = 0; k < block.size(); ++k) block[k] = patternAt(k);
        for (std::uint64_t done = 0; done < length; done += block.size())
            f.write(block.data(), static_cast<std::streamsize>(std::min<std::uint64_t>(block.size(), length - done)));
        ASSERT_TRUE(f.good());
    }

    const long long rssBefore = statusKilobytes("VmRSS:");
    std::size_t lines = 0, seenLength = 0;
    converter::convertFile(in.string(), out.string(), [&](const std::string& line) {
        ++lines;
        seenLength = line.size();
    });
    const long long peak = statusKilobytes("VmHWM:");

    EXPECT_EQ(lines, 1u);
    EXPECT_EQ(seenLength, length);
    ASSERT_EQ(fs::file_size(out), length + 2);
    // Holding the line once; growing it by doubling would pass 1.5 times it.
    if (rssBefore > 0 && peak > 0) {
        EXPECT_LT(peak - rssBefore, static_cast<long long>(length / 1024 * 13 / 10))
            << "peak " << peak << " kB, before " << rssBefore << " kB";
    }

    std::ifstream f(out, std::ios::binary);
    // Pattern and mask together repeat every 260 bytes.
    std::string expected(period * 4033, '\0');
    for (std::size_t k = 0; k < expected.size(); ++k)
        expected[k] = static_cast<char>(static_cast<std::uint8_t>(patternAt(k)) ^ zul::maskAt(k + 1));
    std::string block(expected.size(), '\0');
    std::uint64_t i = 0, wrongBlocks = 0;
    while (i < length) {
        f.read(block.data(), static_cast<std::streamsize>(std::min<std::uint64_t>(block.size(), length - i)));
        std::size_t n = static_cast<std::size_t>(f.gcount());
        ASSERT_GT(n, 0u);
        if (block.compare(0, n, expected, 0, n) != 0) ++wrongBlocks;
        i += n;
    }
    EXPECT_EQ(wrongBlocks, 0u);
    char end[3] = {};
    f.read(end, 3);
    EXPECT_EQ(f.gcount(), 2);
    EXPECT_EQ(std::string(end, 2), "\r\n");
    f.close();
    fs::remove_all(dir);
}

TEST(ConvertFile, MissingInputIsAnError) {
    try {
        converter::convertFile("/nonexistent/in.txt", "/nonexistent/out.zul", nullptr);
        FAIL() << "no error";
    } catch (const converter::IoError& e) {
        EXPECT_EQ(e.code, 2);
        EXPECT_NE(e.text().find("/nonexistent/in.txt"), std::string::npos);
    }
}

}  // namespace
