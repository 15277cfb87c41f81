// A directory of the running test's own under the system's temporary
// directory, named after the test and a random number so that test programs
// running side by side never share one; removed with everything in it when
// the object goes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace support {

class TempDir {
public:
    explicit TempDir(const std::string& prefix = "quoril") {
        std::string name = prefix;
        if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info())
            name += std::string("_") + info->test_suite_name() + "_" + info->name();
        for (char& c : name)
            if (c == '/' || c == '\\') c = '_';  // parameterized tests are named "Suite/Name/0"
        name += "_" + std::to_string(std::random_device{}());
        path_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace support
