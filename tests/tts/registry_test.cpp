#include <gtest/gtest.h>

#include "platform/system/registry.hpp"
#include "tts/minireg.hpp"

namespace {

const char* const kRegistry =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\TCTS\\Mbrola\\databases\\BR4]\r\n"
    "@=\"c:\\\\voz\\\\br4\"\r\n"
    "\"Vazio\"=\"\"\r\n"
    "\"Numero\"=dword:0000002a\r\n"
    "\"Aspas\"=\"diz \\\"oi\\\"\"\r\n"
    "\"Bin\"=hex:01,02,\\\r\n"
    "  03\r\n"
    "\"Exp\"=hex(2):41,00\r\n"
    "\"Apagado\"=\"x\"\r\n"
    "\"Apagado\"=-\r\n"
    "; a comment\r\n"
    "lixo sem aspas\r\n"
    "\"Torto\"=dword:xyz\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vazia]\r\n"
    "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Removida]\r\n"
    "\"Fora\"=\"nada\"\r\n";

class Registry : public ::testing::Test {
protected:
    void SetUp() override { platform::setRegistryText(kRegistry); }
    void TearDown() override { platform::reloadRegistry(); }
};

TEST_F(Registry, ReadString) {
    using platform::HKEY_LOCAL_MACHINE;
    struct Case {
        const char* path;
        bool found;
        const char* text;
    } cases[] = {
        {"SOFTWARE\\TCTS\\Mbrola\\databases\\BR4\\", true, "c:\\voz\\br4"},  // default value
        {"software\\tcts\\MBROLA\\databases\\br4\\", true, "c:\\voz\\br4"},  // keys without case
        {"SOFTWARE\\TCTS\\Mbrola\\databases\\BR4\\Vazio", true, ""},
        {"SOFTWARE\\TCTS\\Mbrola\\databases\\BR4\\Aspas", true, "diz \"oi\""},
        {"SOFTWARE\\TCTS\\Mbrola\\databases\\BR4\\Numero", false, "before"},  // not a string
        {"SOFTWARE\\TCTS\\Mbrola\\databases\\BR4\\Exp", false, "before"},     // expandable, not REG_SZ
        {"SOFTWARE\\TCTS\\Mbrola\\databases\\BR4\\Apagado", false, "before"},
        {"SOFTWARE\\TCTS\\Mbrola\\databases\\BR4\\Torto", false, "before"},
        {"SOFTWARE\\TCTS\\Mbrola\\databases\\EN1\\", false, "before"},
        {"SOFTWARE\\Vazia\\", false, "before"},
        {"SOFTWARE\\Removida\\Fora", false, "before"},
        {"semBarra", false, "before"},
        {"", false, "before"},
    };
    for (const Case& c : cases) {
        std::string text = "before";
        EXPECT_EQ(minireg::regReadString(HKEY_LOCAL_MACHINE, c.path, text), c.found) << c.path;
        EXPECT_EQ(text, c.text) << c.path;
    }
}

TEST_F(Registry, QueryDataTypesAndSizes) {
    std::vector<std::uint8_t> data;
    std::uint32_t size = 0;
    ASSERT_TRUE(minireg::regQueryData(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\TCTS\\Mbrola\\databases\\BR4\\Numero",
                                      platform::REG_DWORD, data, size));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(data, (std::vector<std::uint8_t>{42, 0, 0, 0}));
    ASSERT_TRUE(minireg::regQueryData(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\TCTS\\Mbrola\\databases\\BR4\\Bin",
                                      platform::REG_BINARY, data, size));
    EXPECT_EQ(data, (std::vector<std::uint8_t>{1, 2, 3}));
    ASSERT_TRUE(minireg::regQueryData(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\TCTS\\Mbrola\\databases\\BR4\\Vazio",
                                      platform::REG_SZ, data, size));
    EXPECT_EQ(size, 1u);  // the terminating zero
}

TEST_F(Registry, SmallBufferAndHandles) {
    platform::HKey key = 0;
    ASSERT_EQ(platform::regOpenKeyEx(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\TCTS", key), platform::ERROR_SUCCESS);
    platform::HKey sub = 0;
    ASSERT_EQ(platform::regOpenKeyEx(key, "Mbrola\\databases\\BR4", sub), platform::ERROR_SUCCESS);
    std::uint8_t buffer[4];
    std::uint32_t size = sizeof buffer, type = 0;
    EXPECT_EQ(platform::regQueryValueEx(sub, "", &type, buffer, &size), platform::ERROR_MORE_DATA);
    EXPECT_EQ(size, 11u);
    EXPECT_EQ(platform::regCloseKey(sub), platform::ERROR_SUCCESS);
    EXPECT_EQ(platform::regCloseKey(sub), platform::ERROR_INVALID_HANDLE);
    EXPECT_EQ(platform::regQueryValueEx(sub, "", &type, nullptr, &size), platform::ERROR_INVALID_HANDLE);
    EXPECT_EQ(platform::regCloseKey(key), platform::ERROR_SUCCESS);
}

TEST(RegistryFile, Utf16AndRegedit4) {
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n@=\"v\xE9\"\r\n")) {
        utf16 += c;
        utf16 += '\0';
    }
    const auto keys = platform::parseRegistry(utf16);
    ASSERT_EQ(keys.count("HKEY_LOCAL_MACHINE\\A"), 1u);
    const auto& v = keys.at("HKEY_LOCAL_MACHINE\\A").at("");
    EXPECT_EQ(v.type, platform::REG_SZ);
    EXPECT_EQ(std::string(v.data.begin(), v.data.end()), std::string("v\xE9", 2) + '\0');
    EXPECT_TRUE(platform::parseRegistry("").empty());
    EXPECT_TRUE(platform::parseRegistry("[HKEY_LOCAL_MACHINE\\A\n\"x\"=\"unclosed\n").size() <= 1);
}

TEST(LastCharPos, Positions) {
    EXPECT_EQ(minireg::lastCharPos('\\', "a\\b\\c"), 4u);
    EXPECT_EQ(minireg::lastCharPos('\\', "abc"), 0u);
    EXPECT_EQ(minireg::lastCharPos('\\', ""), 0u);
    EXPECT_EQ(minireg::lastCharPos('x', "x"), 1u);
}

}  // namespace

namespace {

// A [-KEY] section deletes the key and everything under it, whatever came
// before it in the file; keys defined after it stand.
TEST(RegistryFile, DeletedKeysAreGone) {
    const auto keys = platform::parseRegistry(
        "REGEDIT4\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Voz]\r\n\"a\"=\"1\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Voz\\Sub\\Mais]\r\n\"b\"=\"2\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VozOutra]\r\n\"c\"=\"3\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Fica]\r\n\"d\"=\"4\"\r\n"
        "[-hkey_local_machine\\software\\voz\\]\r\n"
        "\"ignorado\"=\"x\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Fica\\Nova]\r\n\"e\"=\"5\"\r\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Fica\\Nova]\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Fica\\Nova]\r\n\"f\"=\"6\"\r\n");
    const struct {
        const char* key;
        bool present;
    } cases[] = {
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\VOZ", false},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\VOZ\\SUB\\MAIS", false},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\VOZOUTRA", true},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\FICA", true},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\FICA\\NOVA", true},
    };
    for (const auto& c : cases) EXPECT_EQ(keys.count(c.key) == 1, c.present) << c.key;
    const auto nova = keys.find("HKEY_LOCAL_MACHINE\\SOFTWARE\\FICA\\NOVA");
    ASSERT_NE(nova, keys.end());
    EXPECT_EQ(nova->second.count("E"), 0u) << "the value from before the deletion";
    EXPECT_EQ(nova->second.count("F"), 1u);
}

}  // namespace
