// The converter through the SAPI 4 voice end to end, on the headless
// backend and the test sound device: with SAPI=S and no TIPOSAPI (or
// TIPOSAPI=4) every prompt and line goes to the espeak-ng engine and its
// speech reaches the device; the diphone synthesizer says nothing.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "converter/converter.hpp"
#include "output_fixture.hpp"
#include "servers/sapi4.hpp"
#include "support/converter_run.hpp"

namespace {

class ConverterSapi4 : public OutputTest {
protected:
    void SetUp() override {
        OutputTest::SetUp();
        platform::com::coInitialize();
        servers::registerServer(servers::ServerKind::sapi4, servers::sapi4::ops());
    }

    void everyPromptIsSpokenByTheVoice(const std::string& type) {
        settings("[TRADUTOR]\nSAPI=S\n[SERVFALA]\n" + type);
        std::ofstream(dir_ / "in.txt", std::ios::binary) << "primeira linha\r\nsegunda linha\r\n";
        EXPECT_EQ(support::runConverter((dir_ / "in.txt").string(), (dir_ / "out.zul").string()), 0) << type;

        std::vector<std::string> spoken;
        for (const std::string& piece : trace_) {
            EXPECT_EQ(piece.rfind("words ", 0), std::string::npos) << "the synthesizer spoke: " << piece;
            if (piece.rfind("server ", 0) == 0) spoken.push_back(piece.substr(7));
        }
        const std::vector<std::string> expected = {converter::titleText, "Qual o arquivo a converter?",
                                                   "Qual o arquivo de sa\xED" "da?", "primeira linha",
                                                   "segunda linha", "Ok, convertido"};
        EXPECT_EQ(spoken, expected) << type;
        // Each utterance opened the device for espeak-ng's speech.
        const auto formats = platform::waveout::test::openedFormats();
        const auto speech = std::count(formats.begin(), formats.end(), platform::waveout::test::Format{22050, 16, 1});
        EXPECT_EQ(static_cast<std::size_t>(speech), expected.size()) << type;
        EXPECT_GT(platform::waveout::test::blocks().size(), expected.size());
    }
};

TEST_F(ConverterSapi4, NoTypeMeansThisVoice) { everyPromptIsSpokenByTheVoice(""); }
TEST_F(ConverterSapi4, TypeFour) { everyPromptIsSpokenByTheVoice("TIPOSAPI=4\n"); }

}  // namespace
