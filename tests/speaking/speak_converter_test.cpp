// The converter heard end to end on the headless backend and the test sound
// device: the order of what is heard for the first prompt, and a key pressed
// while a line is spoken, after which the rest converts silently.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "converter/converter.hpp"
#include "converter/zul.hpp"
#include "output_fixture.hpp"
#include "support/converter_run.hpp"

namespace {

}  // namespace

class ConverterHeard : public OutputTest {
protected:
    void SetUp() override {
        OutputTest::SetUp();
        settings("[TRADUTOR]\nDIRLETRAS=" + dir_.string() + "\ndirLetras=" + dir_.string() + "\n");
        speaking::setSynthLettersDirectory(dir_.string());
        record("_63", 63);  // ?
    }

    // Each run of words is heard as an image of its own: fill 100, 101, ...
    void onWords(const std::string& run) override {
        runs_.push_back(run);
        std::vector<std::uint8_t> image(44 + 200, static_cast<std::uint8_t>(100 + runs_.size() - 1));
        speaking::writeWaveHeader(image.data(), 200, 11025, 1, 8);
        speaking::playImageAndWait(image.data());
        if (run == keyAfter_) {
            platform::headless::setKeysWhenWaiting(false);
            platform::headless::typeKey('Z', 'z');
        }
    }


    std::vector<std::string> runs_;
    std::string keyAfter_;
};

TEST_F(ConverterHeard, FirstPromptInOrder) {
    EXPECT_EQ(support::runConverter((dir_ / "nao existe.txt").string(), (dir_ / "x.zul").string()), 0);
    ASSERT_GE(runs_.size(), 2u);
    EXPECT_EQ(runs_[0], std::string(converter::titleText) + " ");
    EXPECT_EQ(runs_[1], "Qual o arquivo a converter");
    const std::vector<int> fills = playedFills();
    ASSERT_GE(fills.size(), 3u);
    EXPECT_EQ(std::vector<int>(fills.begin(), fills.begin() + 3), (std::vector<int>{100, 101, 63}))
        << "the title, the words of the question, then its question mark";
}

TEST_F(ConverterHeard, KeyCutsTheLineAndTheRestIsSilent) {
    std::string input;
    for (int i = 1; i <= 50; ++i) input += "linha " + std::string(1, static_cast<char>('a' + i % 26)) + "\r\n";
    std::ofstream(dir_ / "in.txt", std::ios::binary) << input;
    keyAfter_ = "linha c ";
    EXPECT_EQ(support::runConverter((dir_ / "in.txt").string(), (dir_ / "out.zul").string()), 0);
    std::ifstream out(dir_ / "out.zul", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(out), {}), zul::encodeText(input));
    // Line b is read, line c presses the key while it is spoken.
    ASSERT_FALSE(runs_.empty());
    EXPECT_EQ(runs_.back(), "linha c ") << "nothing after the key is spoken";
    EXPECT_EQ(std::count(trace_.begin(), trace_.end(), "words linha d "), 0);
}
