// The converter as a new user meets it: the settings the build generates
// (build/etc/QUORIL.INI and its registry file), the headless console and the
// test sound device. The built-in voice speaks the prompts (its engine is
// loaded and its 16 kHz samples reach the device), and Ctrl+F4 with a digit
// changes its pace: the prompt after Ctrl+F4 5 holds far fewer samples than
// after Ctrl+F4 1. The typed keys are still echoed by the recorded letters. Sample counts, not times, so a busy machine changes
// nothing. Skipped when the engine or its data are not built.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "converter/converter.hpp"
#include "platform/sound/waveout.hpp"
#include "platform/speech/library.hpp"
#include "platform/system/registry.hpp"
#include "platform/window/window.hpp"
#include "servers/tirel.hpp"
#include "speaking/output.hpp"
#include "speaking/settings.hpp"
#include "support/env.hpp"
#include "support/fresh_system.hpp"
#include "support/temp_dir.hpp"
#include "tts/mbrola.hpp"

namespace {

namespace fs = std::filesystem;
namespace test = platform::waveout::test;

const char* const askOutput = "Qual o arquivo de sa\xED" "da?";

class DefaultVoice : public testing::Test {
protected:
    void SetUp() override {
        const fs::path build = QUORIL_BUILD_DIR;
        if (!fs::exists(build / "libmbrola.so") || !fs::exists(build / "etc/QUORIL.INI") ||
            !fs::exists(build / "share/quoril/tireltts/br4"))
            GTEST_SKIP() << "the engine, its database or the generated settings are not built";
        windir_.emplace("QUORIL_WINDIR", (build / "etc").string());
        platform::setLibraryDirectory(build.string());
    }
    void TearDown() override {
        test::setWriteHook({});
        support::closeSystem();
        platform::setLibraryDirectory("");
        windir_.reset();
        platform::reloadRegistry();
        speaking::resetSettingsForTests();
    }

    // One run of the converter with Ctrl+F4 and a digit typed first; the
    // bytes of 16 kHz sound written while each prompt was being spoken.
    std::map<std::string, std::size_t> convertAfterSpeed(char digit) {
        support::freshSystem(support::Sound::autoFinish);
        platform::reloadRegistry();
        speaking::resetSettingsForTests();
        servers::registerTirelServer();
        std::map<std::string, std::size_t> bytes;
        std::string prompt;
        speaking::setSpeechTrace([&](const std::string& piece) {
            if (piece.rfind("server ", 0) == 0) prompt = piece.substr(7);
            voiceSpoke_ = voiceSpoke_ || (speaking::serverActive() && speaking::serverTypeInUse() == 3);
        });
        test::setWriteHook([&](std::size_t n) {
            const auto formats = test::openedFormats();
            if (!formats.empty() && formats.back() == test::Format{16000, 16, 1})
                bytes[prompt] += test::blocks()[n - 1].size();
            else if (!formats.empty() && formats.back() == test::Format{11025, 8, 1})
                echoBytes_ += test::blocks()[n - 1].size();
            engineLoaded_ = engineLoaded_ || mbrola::loaded();
        });
        std::ofstream(dir_ / "in.txt", std::ios::binary) << "uma linha\r\n";
        struct Ended {
            int code;
        };
        platform::setExitHandler([](int code) { throw Ended{code}; });
        platform::headless::setKeysWhenWaiting(true);
        platform::headless::typeKey(platform::VK_F4, 0, platform::MOD_CTRL);
        platform::headless::typeText(std::string(1, digit));
        platform::headless::typeText((dir_ / "in.txt").string() + "\r");
        platform::headless::typeText((dir_ / ("out" + std::string(1, digit) + ".zul")).string() + "\r");
        int code = -1;
        try {
            converter::run();
        } catch (const Ended& e) {
            code = e.code;
        }
        EXPECT_EQ(code, 0);
        EXPECT_TRUE(voiceSpoke_) << "the built-in voice started from the generated settings";
        test::setWriteHook({});
        return bytes;
    }

    support::TempDir tmp_{"quoril_default_voice"};
    const fs::path dir_ = tmp_.path();
    std::optional<support::ScopedEnv> windir_;
    bool engineLoaded_ = false, voiceSpoke_ = false;
    std::size_t echoBytes_ = 0;  // the recorded letters and messages
};

TEST_F(DefaultVoice, SpeaksAndCtrlF4ChangesItsPace) {
    const auto slow = convertAfterSpeed('1');
    ASSERT_TRUE(engineLoaded_) << "the engine library was loaded while the prompts sounded";
    ASSERT_GT(slow.count("Conversor de arquivos para formato ZUL"), 0u) << "the title is the voice's";
    EXPECT_GT(echoBytes_, 10000u) << "the typed keys are echoed by the recorded letters";
    const auto fast = convertAfterSpeed('5');
    ASSERT_GT(slow.count(askOutput), 0u);
    ASSERT_GT(fast.count(askOutput), 0u);
    // Speed 1 lasts about 1.6 times espeak-ng's pace, speed 5 about 0.5.
    EXPECT_LT(fast.at(askOutput) * 10, slow.at(askOutput) * 6)
        << "fast " << fast.at(askOutput) << " bytes, slow " << slow.at(askOutput);
    // The title came before the key: the same pace both times.
    const std::string title = "Conversor de arquivos para formato ZUL";
    EXPECT_NEAR(static_cast<double>(fast.at(title)), static_cast<double>(slow.at(title)), slow.at(title) * 0.1);
}

}  // namespace
