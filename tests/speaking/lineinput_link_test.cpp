// Opening a word of the field: what the text asks for, and that the text
// reaches the program as one argument whatever it holds.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "lineinput_fixture.hpp"
#include "platform/system/shell_recorder.hpp"

using Kind = speaking::LinkRequest::Kind;

class Link : public EchoTest {};

TEST_F(Link, WhatATextAsksFor) {
    settings("[QUORIL]\nPROG.HTM=navegador\nPROG.TXT=editor\n");
    struct Case {
        const char* text;
        Kind kind;
        std::string program, target;
    };
    const Case cases[] = {
        {"http://x.org", Kind::withProgram, "navegador", "http://x.org"},
        {"https://x.org", Kind::withProgram, "navegador", "https://x.org"},
        {"www.x.org", Kind::withProgram, "navegador", "www.x.org"},
        {"WWW.x.org", Kind::document, "", "WWW.x.org"},  // case counts: extension X.O
        {"nota.txt", Kind::withProgram, "editor", "nota.txt"},
        {"nota.TxT.old", Kind::withProgram, "editor", "nota.TxT.old"},
        {"nota.doc", Kind::document, "", "nota.doc"},
        {"txt", Kind::withProgram, "editor", "txt"},  // no full stop: the first three
        {"jogo.exe", Kind::executable, ".\\jogo.exe", ""},
        {"Comando", Kind::executable, ".\\Comando", ""},
        {"c:\\bin\\jogo.exe", Kind::executable, "c:\\bin\\jogo.exe", ""},
        {"\\bin\\a.com", Kind::executable, "\\bin\\a.com", ""},
        {"/usr/bin/a.com", Kind::executable, "/usr/bin/a.com", ""},
        // A program named from the current folder stays in it.
        {"x.com/./y/../z", Kind::executable, ".\\x.com\\z", ""},
        {"x.com/y", Kind::executable, ".\\x.com\\y", ""},
        {"x.com/../../fora.sh", Kind::refused, "", "x.com/../../fora.sh"},
        {"x.exe\\..\\..\\bin\\sh", Kind::refused, "", "x.exe\\..\\..\\bin\\sh"},
        {"x.exe/..", Kind::refused, "", "x.exe/.."},
    };
    for (const Case& c : cases) {
        const speaking::LinkRequest r = speaking::linkRequest(c.text);
        EXPECT_EQ(r.kind, c.kind) << c.text;
        EXPECT_EQ(r.program, c.program) << c.text;
        EXPECT_EQ(r.target, c.target) << c.text;
    }
    EXPECT_EQ(speaking::linkRequest("http://" + std::string(300, 'a')).target.size(), 255u);
}

TEST_F(Link, HostileTextsReachTheProgramAsOneArgument) {
    ShellRecorder rec;
    settings("[QUORIL]\nPROG.HTM=" + rec.install("navegador") + "\n");
    for (const std::string& text : rec.hostileTexts()) {
        const std::string link = "http://" + text;
        EXPECT_TRUE(speaking::openLink(link)) << link;
        std::vector<std::string> args;
        ASSERT_TRUE(rec.arguments(args)) << link;
        EXPECT_EQ(args, std::vector<std::string>{link});
    }
    EXPECT_FALSE(rec.anythingRan());
}

TEST_F(Link, F12OpensTheWordUnderTheCursor) {
    ShellRecorder rec;
    settings("[QUORIL]\nPROG.HTM=" + rec.install("navegador") + "\n");
    const std::string word = "http://x.org/?q=$(id);`id`";
    std::string text = "veja (" + word + "). agora";
    keys(platform::VK_RIGHT, 12);
    key(platform::VK_F12);
    type("\r");
    speaking::editLineSpoken(text, 1, 1, false, 60, 60);
    std::vector<std::string> args;
    ASSERT_TRUE(rec.arguments(args));
    EXPECT_EQ(args, std::vector<std::string>{word}) << "stripped of ( at its start and ). at its end";

    // Brackets and a sentence's marks around the word are not the link's.
    const struct {
        const char* typed;
        const char* opened;
    } cases[] = {
        {"(www.site.com)", "www.site.com"},   {"[www.site.com],", "www.site.com"},
        {"{www.site.com};", "www.site.com"},  {"www.site.com?!", "www.site.com"},
        {"\"www.site.com\":", "www.site.com"}, {"http://x.org/a(b)c?q=1", "http://x.org/a(b)c?q=1"},
    };
    for (const auto& c : cases) {
        text = std::string("veja ") + c.typed + " agora";
        keys(platform::VK_RIGHT, 7);
        key(platform::VK_F12);
        type("\r");
        speaking::editLineSpoken(text, 1, 1, false, 60, 60);
        ASSERT_TRUE(rec.arguments(args)) << c.typed;
        EXPECT_EQ(args, std::vector<std::string>{c.opened}) << c.typed;
    }

    // Nothing left after stripping: a warning.
    log_.clear();
    text = "a (._ b";
    keys(platform::VK_RIGHT, 3);
    key(platform::VK_F12);
    type("\r");
    speaking::editLineSpoken(text, 1, 1, false, 60, 60);
    EXPECT_EQ(log_, (std::vector<std::string>{"warning"}));
}

TEST_F(Link, F12OnAWordBeginningWithComRunsItFromTheCurrentDirectory) {
    ShellRecorder rec;
    rec.install("comando");
    const std::string saved = std::filesystem::current_path().string();
    std::filesystem::current_path(rec.dir);
    std::string text = "comando";
    key(platform::VK_F12);
    type("\r");
    speaking::editLineSpoken(text, 1, 1, true, 60, 60);
    std::filesystem::current_path(saved);
    std::vector<std::string> args;
    ASSERT_TRUE(rec.arguments(args)) << "the program in the current directory ran";
    EXPECT_TRUE(args.empty());
}

// What F12 opens keeps the meaning of the name: the full stops of a path
// stay ("../../x" is not "/../x"), a program named from the current folder
// may not climb out of it, and a hidden file keeps its leading full stop.
TEST_F(Link, F12KeepsWhatTheNameMeans) {
    ShellRecorder rec;
    const std::string program = rec.install("abrir");
    rec.install("fora.sh");
    settings("[QUORIL]\nPROG../.=" + program + "\nPROG../N=" + program + "\nPROG..=" + program + "\nPROG.OCU=" + program +
             "\nPROG.TXT=" + program + "\n");
    const std::filesystem::path sub = rec.dir / "sub";
    std::filesystem::create_directories(sub / "x.com");
    std::ofstream(sub / ".oculto.txt") << "";
    const std::string saved = std::filesystem::current_path().string();
    std::filesystem::current_path(sub);
    const struct {
        const char* typed;
        const char* opened;  // empty: nothing runs, a warning
    } cases[] = {
        {"../../bin/sh", "../../bin/sh"},
        {"(../notas.txt),", "../notas.txt"},
        {"pasta/..", "pasta/.."},
        {".oculto.txt", ".oculto.txt"},
        {"...nota.txt", "nota.txt"},
        {"x.com/../../fora.sh", ""},
    };
    for (const auto& c : cases) {
        log_.clear();
        std::string text = std::string("veja ") + c.typed + " agora";
        keys(platform::VK_RIGHT, 7);
        key(platform::VK_F12);
        type("\r");
        speaking::editLineSpoken(text, 1, 1, false, 60, 60);
        std::vector<std::string> args;
        if (*c.opened) {
            ASSERT_TRUE(rec.arguments(args)) << c.typed;
            EXPECT_EQ(args, std::vector<std::string>{c.opened}) << c.typed;
        } else {
            EXPECT_FALSE(rec.arguments(args)) << c.typed << ": a program outside the folder ran";
            EXPECT_EQ(log_, (std::vector<std::string>{"warning"})) << c.typed;
        }
    }
    std::filesystem::current_path(saved);
}
