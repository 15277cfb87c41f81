// What a user who cannot see the screen hears of a failure: the message of
// an output that fails is spoken, and its sound reaches the device before
// the box waits for its key.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "converter/converter.hpp"
#include "platform/window/window.hpp"
#include "speaking/output_fixture.hpp"
#include "support/converter_run.hpp"

namespace {

class FailureHeard : public OutputTest {
protected:
    // Each run of words is heard as an image of its own: fill 100, 101, ...
    void onWords(const std::string& run) override {
        runs_.push_back({run, platform::headless::messageBoxes().size()});
        std::vector<std::uint8_t> image(44 + 200, static_cast<std::uint8_t>(100 + runs_.size() - 1));
        speaking::writeWaveHeader(image.data(), 200, 11025, 1, 8);
        speaking::playImageAndWait(image.data());
    }

    struct Run {
        std::string words;
        std::size_t boxesBefore;
    };
    std::vector<Run> runs_;
};

TEST_F(FailureHeard, OutputFailureIsSpokenBeforeItsBox) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    std::ofstream(dir_ / "in.txt", std::ios::binary) << "uma linha\r\n";
    EXPECT_EQ(support::runConverter((dir_ / "in.txt").string(), "/dev/full"), 1);
    int fill = -1;
    std::size_t boxesBefore = 0;
    for (std::size_t i = 0; i < runs_.size(); ++i)
        if (runs_[i].words.find("Erro de entrada") != std::string::npos) {
            fill = static_cast<int>(100 + i);
            boxesBefore = runs_[i].boxesBefore;
        }
    ASSERT_NE(fill, -1) << "the error's words were never spoken";
    const std::vector<int> fills = playedFills();
    EXPECT_NE(std::find(fills.begin(), fills.end(), fill), fills.end()) << "its sound never reached the device";
    EXPECT_EQ(boxesBefore, 0u) << "spoken before the box";
    EXPECT_EQ(platform::headless::messageBoxes().size(), 1u);
}

}  // namespace
