// Settings lookup. QUORIL.INI is taken from the Windows directory when it is
// there, else from the program directory. A value may name places inside
// the installation with the '@' marker: a leading '@', or an '@' followed by
// a backslash anywhere in the value, stands for the installation directory
// (key PGMQUORIL of section QUORIL, stored without a final backslash, so
// "@\som\" becomes "<installation>\som\"). A missing installation directory,
// or one that itself begins with '@', is replaced by the program directory.
//
// The expansion works on the stored value: each '@' written there is
// replaced at most once, and text brought in by a replacement is never
// expanded again. That keeps an installation directory containing "@\"
// from feeding the expansion for ever.
#include "speaking/settings.hpp"

#include <optional>
#include <vector>

#include "platform/system/system.hpp"

namespace speaking {
namespace {

constexpr const char* kSettingsFile = "QUORIL.INI";
constexpr std::size_t kValueSize = 256;  // values of up to 255 characters

struct SettingsState {
    std::optional<std::string> programDirectory;
};

SettingsState& state() {
    static SettingsState s;
    return s;
}

// The file name handed to the profile reader: without a directory (so the
// reader takes it from the Windows directory) when the Windows directory
// holds one, else inside the program directory.
std::string settingsFile() {
    if (platform::fileExists(platform::windowsDirectory() + "/" + kSettingsFile)) return kSettingsFile;
    return programDirectory() + "/" + kSettingsFile;
}

}  // namespace

const std::string& programDirectory() {
    SettingsState& s = state();
    if (!s.programDirectory) s.programDirectory = platform::currentDirectory();
    return *s.programDirectory;
}

void setProgramDirectory(const std::string& directory) { state().programDirectory = directory; }

std::string expandAt(const std::string& stored,
                     const std::function<std::string()>& installationDirectory) {
    struct Char {
        char c;
        bool fromStored;  // an '@' here may still be expanded
    };
    std::vector<Char> value;
    value.reserve(stored.size());
    for (char c : stored) value.push_back({c, true});

    while (!value.empty()) {
        std::size_t at = std::string::npos;
        if (value[0].c == '@' && value[0].fromStored) {
            at = 0;
        } else {
            for (std::size_t i = 0; i + 1 < value.size(); ++i) {
                if (value[i].c == '@' && value[i].fromStored && value[i + 1].c == '\\') {
                    at = i;
                    break;
                }
            }
        }
        if (at == std::string::npos) break;
        std::vector<Char> dir;
        for (char c : installationDirectory()) dir.push_back({c, false});
        value.erase(value.begin() + static_cast<std::ptrdiff_t>(at));
        value.insert(value.begin() + static_cast<std::ptrdiff_t>(at), dir.begin(), dir.end());
    }

    std::string out;
    out.reserve(value.size());
    for (const Char& ch : value) out.push_back(ch.c);
    return out;
}

std::string settingsValue(const std::string& section, const std::string& key) {
    const std::string file = settingsFile();
    const std::string sectionName = section.empty() ? std::string("QUORIL") : section;
    const std::string stored = platform::getProfileString(sectionName, key, "", file, kValueSize);
    return expandAt(stored, [&file] {
        std::string dir = platform::getProfileString("QUORIL", "PGMQUORIL", "", file, kValueSize);
        if (dir.empty() || dir[0] == '@') dir = programDirectory();
        return dir;
    });
}

void resetSettingsForTests() { state() = SettingsState{}; }

}  // namespace speaking
