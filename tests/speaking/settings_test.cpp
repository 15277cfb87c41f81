// Settings lookup: where QUORIL.INI is found and how '@' is expanded.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "speaking/settings.hpp"
#include "support/env.hpp"
#include "support/files.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root_ / "windows");
        fs::create_directories(root_ / "program");
        windir_.emplace("QUORIL_WINDIR", (root_ / "windows").string());
        speaking::resetSettingsForTests();
        speaking::setProgramDirectory((root_ / "program").string());
    }
    void TearDown() override {
        windir_.reset();
        speaking::resetSettingsForTests();
    }
    void write(const char* where, const std::string& text) { support::writeIni(root_ / where, text); }
    std::string program() const { return (root_ / "program").string(); }

    support::TempDir tmp_{"quoril-settings"};
    const fs::path root_ = tmp_.path();
    std::optional<support::ScopedEnv> windir_;
};

TEST_F(SettingsTest, FileFromProgramDirectoryWhenWindowsDirectoryHasNone) {
    write("program", "[TRADUTOR]\nVELOCIDADE=4\n");
    EXPECT_EQ(speaking::settingsValue("TRADUTOR", "VELOCIDADE"), "4");
    EXPECT_EQ(speaking::settingsValue("TRADUTOR", "SAPI"), "");
}

TEST_F(SettingsTest, WindowsDirectoryWins) {
    write("program", "[TRADUTOR]\nVELOCIDADE=4\nSAPI=S\n");
    write("windows", "[TRADUTOR]\nVELOCIDADE=2\n");
    EXPECT_EQ(speaking::settingsValue("TRADUTOR", "VELOCIDADE"), "2");
    // The file found is the whole answer: nothing falls through to the other.
    EXPECT_EQ(speaking::settingsValue("TRADUTOR", "SAPI"), "");
}

TEST_F(SettingsTest, NoFileAnywhereGivesEmpty) {
    EXPECT_EQ(speaking::settingsValue("TRADUTOR", "VELOCIDADE"), "");
    EXPECT_EQ(speaking::settingsValue("", "PGMQUORIL"), "");
}

TEST_F(SettingsTest, EmptySectionMeansQuoril) {
    write("windows", "[QUORIL]\nCHAVE=valor\n[OUTRA]\nCHAVE=outro\n");
    EXPECT_EQ(speaking::settingsValue("", "CHAVE"), "valor");
    EXPECT_EQ(speaking::settingsValue("OUTRA", "CHAVE"), "outro");
}

TEST_F(SettingsTest, AtExpansion) {
    struct Case {
        const char* stored;
        const char* expected;
    };
    write("windows",
          "[QUORIL]\nPGMQUORIL=/opt/quoril\n"
          "[X]\n"
          "ALONE=@\n"
          "LEADING=@\\som\\\n"
          "INSIDE=c:\\dir;@\\som\\\n"
          "TWO=@\\a;@\\b\n"
          "MAIL=ana@casa\n"
          "TRAILING=fim@\n"
          "SLASH=x@/y\n"
          "DOUBLE=@@\\z\n"
          "EMPTY=\n");
    const Case cases[] = {
        {"ALONE", "/opt/quoril"},
        {"LEADING", "/opt/quoril\\som\\"},
        {"INSIDE", "c:\\dir;/opt/quoril\\som\\"},
        {"TWO", "/opt/quoril\\a;/opt/quoril\\b"},
        {"MAIL", "ana@casa"},
        {"TRAILING", "fim@"},
        {"SLASH", "x@/y"},
        {"DOUBLE", "/opt/quoril/opt/quoril\\z"},
        {"EMPTY", ""},
        {"MISSING", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(speaking::settingsValue("X", c.stored), c.expected) << c.stored;
}

TEST_F(SettingsTest, InstallationDirectoryStandIns) {
    struct Case {
        const char* pgm;  // nullptr: no PGMQUORIL key at all
        std::string expected;
    };
    const Case cases[] = {
        {nullptr, program() + "\\x"},
        {"", program() + "\\x"},
        {"@", program() + "\\x"},
        {"@\\quoril", program() + "\\x"},
    };
    for (const Case& c : cases) {
        std::string text = "[QUORIL]\n";
        if (c.pgm) text += std::string("PGMQUORIL=") + c.pgm + "\n";
        text += "[X]\nV=@\\x\n";
        write("windows", text);
        EXPECT_EQ(speaking::settingsValue("X", "V"), c.expected) << (c.pgm ? c.pgm : "(absent)");
    }
}

TEST_F(SettingsTest, InstallationDirectoryHoldingTheMarkerIsExpandedOnce) {
    // Expanding "@\" into a text that holds "@\" again must come to an end;
    // the brought-in marker stays as it is.
    write("windows", "[QUORIL]\nPGMQUORIL=/q@\\r\n[X]\nV=@\\som\nW=@\nZ=a@\\b@\\c\n");
    EXPECT_EQ(speaking::settingsValue("X", "V"), "/q@\\r\\som");
    EXPECT_EQ(speaking::settingsValue("X", "W"), "/q@\\r");
    EXPECT_EQ(speaking::settingsValue("X", "Z"), "a/q@\\r\\b/q@\\r\\c");
    // PGMQUORIL asked for itself expands through itself, once.
    EXPECT_EQ(speaking::settingsValue("", "PGMQUORIL"), "/q/q@\\r\\r");
}

TEST(SettingsExpand, BroughtInTextIsNeverExpandedAgain) {
    int asked = 0;
    const std::string out = speaking::expandAt("@\\@\\@", [&] {
        ++asked;
        return std::string("@\\");
    });
    // The leading marker and the one before a backslash; the last '@' is
    // neither, and what the expansions brought in stays as it is.
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(out, "@\\\\@\\\\@");
}

}  // namespace
