// The converter with the built-in voice (SAPI=S, TIPOSAPI=3) on the real
// engine, libmbrola.so and its database br4 from the build tree, found as an
// installed system finds them (the library by name, the database through
// the registry). The prompts reach the sound device as 16 kHz speech, a key
// cuts a line being spoken and the rest converts silently, and the ZUL file
// is the same as without speech. Skipped when the engine is not built.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "converter/converter.hpp"
#include "converter/zul.hpp"
#include "platform/sound/waveout.hpp"
#include "platform/speech/library.hpp"
#include "platform/system/registry.hpp"
#include "platform/window/window.hpp"
#include "servers/tirel.hpp"
#include "speaking/output.hpp"
#include "speaking/settings.hpp"
#include "support/env.hpp"
#include "support/files.hpp"
#include "support/fresh_system.hpp"
#include "support/temp_dir.hpp"
#include "support/converter_run.hpp"

namespace {

namespace fs = std::filesystem;
namespace test = platform::waveout::test;

double rms16(const std::vector<std::uint8_t>& b) {
    double sum = 0;
    const std::size_t n = b.size() / 2;
    for (std::size_t i = 0; i < n; ++i) {
        const double v = static_cast<std::int16_t>(static_cast<std::uint16_t>(b[2 * i] | b[2 * i + 1] << 8));
        sum += v * v;
    }
    return n ? std::sqrt(sum / static_cast<double>(n)) : 0;
}

class TirelConverter : public testing::Test {
protected:
    void SetUp() override {
        const fs::path build = QUORIL_BUILD_DIR;
        if (!fs::exists(build / "libmbrola.so") || !fs::exists(build / "share/quoril/tireltts/br4") ||
            !fs::exists(build / "etc/registry.reg"))
            GTEST_SKIP() << "the diphone engine and its database are not built";
        support::freshSystem(support::Sound::autoFinish);
        windir_.emplace("QUORIL_WINDIR", dir_.string());
        fs::copy_file(build / "etc/registry.reg", dir_ / "registry.reg");
        platform::reloadRegistry();
        platform::setLibraryDirectory(build.string());
        support::writeIni(dir_, "[TRADUTOR]\nSAPI=S\nVELOCIDADE=3\nDIRLETRAS=" + dir_.string() +
                                    "/\n[SERVFALA]\nTIPOSAPI=3\nVELOCIDADE=2\n");
        speaking::resetSettingsForTests();
        servers::registerTirelServer();
        speaking::setSynthesizerForTests([] { return 0; }, [](const std::string&) {});
        speaking::setSpeechTrace([this](const std::string& piece) {
            trace_.push_back(piece);
            if (piece.rfind("server " + keyDuring_, 0) == 0) keyArmed_ = true;
        });
        test::setWriteHook([this](std::size_t) {
            if (!keyArmed_) return;
            keyArmed_ = false;
            keyBlock_ = test::blocks().size();
            platform::headless::setKeysWhenWaiting(false);
            platform::headless::typeKey('Z', 'z');
        });
    }
    void TearDown() override {
        test::setWriteHook({});
        support::closeSystem();
        platform::setLibraryDirectory("");
        windir_.reset();
        platform::reloadRegistry();
        speaking::resetSettingsForTests();
    }


    support::TempDir tmp_{"quoril_tirel_conv"};
    const fs::path dir_ = tmp_.path();
    std::optional<support::ScopedEnv> windir_;
    std::vector<std::string> trace_;
    std::string keyDuring_ = "linha c";
    bool keyArmed_ = false;
    std::size_t keyBlock_ = 0;
};

TEST_F(TirelConverter, SpeaksWithTheBuiltInVoiceAndAKeyCutsIt) {
    std::string input;
    for (int i = 1; i <= 30; ++i)
        input += "linha " + std::string(1, static_cast<char>('a' + i % 26)) + " do arquivo de teste\r\n";
    std::ofstream(dir_ / "in.txt", std::ios::binary) << input;

    EXPECT_EQ(support::runConverter((dir_ / "in.txt").string(), (dir_ / "out.zul").string()), 0);

    std::ifstream out(dir_ / "out.zul", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(out), {}), zul::encodeText(input));

    const auto formats = test::openedFormats();
    ASSERT_FALSE(formats.empty());
    EXPECT_EQ(formats.front(), (test::Format{16000, 16, 1})) << "the first prompt is the voice's";
    const auto blocks = test::blocks();
    ASSERT_FALSE(blocks.empty());
    EXPECT_GT(blocks.front().size(), 8000u) << "a prompt holds a good part of a second of sound";
    EXPECT_GT(rms16(blocks.front()), 300.0) << "and it is speech, not silence";

    ASSERT_GT(keyBlock_, 0u) << "the line with the key was spoken";
    EXPECT_LE(blocks.size(), keyBlock_ + 1) << "nothing more is played after the key";
    const auto spokenAfter = std::find_if(trace_.begin(), trace_.end(),
                                          [](const std::string& t) { return t.rfind("server linha d", 0) == 0; });
    EXPECT_EQ(spokenAfter, trace_.end()) << "the lines after the key are not spoken";
}

}  // namespace
