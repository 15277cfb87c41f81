#include "platform/system/shell.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system/system.hpp"

extern char** environ;

namespace platform {
namespace {

bool beginsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// A Windows-style path (a drive letter, a backslash or a slash in it) is
// mapped to the Linux file system; a bare name is left for the PATH search.
bool looksLikePath(const std::string& name) {
    if (name.find('\\') != std::string::npos || name.find('/') != std::string::npos) return true;
    return name.size() >= 2 && name[1] == ':' &&
           ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
}

bool isWebAddress(const std::string& text) {
    return text.find("://") != std::string::npos || beginsWith(text, "www.");
}

// A name beginning with '-' would be read as an option.
std::string notAnOption(std::string arg) {
    if (!arg.empty() && arg[0] == '-') arg = "./" + arg;
    return arg;
}

std::string programName(const std::string& program) {
    return looksLikePath(program) ? toNativeName(program) : cp1252ToUtf8(program);
}

// Children are not waited for; those that have ended are collected here.
void collectEndedChildren(std::vector<pid_t>& children) {
    for (auto it = children.begin(); it != children.end();) {
        int status = 0;
        pid_t r = ::waitpid(*it, &status, WNOHANG);
        if (r == *it || (r < 0 && errno == ECHILD)) it = children.erase(it);
        else ++it;
    }
}

std::vector<pid_t>& spawned() {
    static std::vector<pid_t> children;
    return children;
}

bool spawn(const std::vector<std::string>& args) {
    if (args.empty() || args[0].empty()) return false;
    collectEndedChildren(spawned());
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return false;
    for (int fd = 0; fd <= 2; ++fd)
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    // Nothing else of ours goes with it (the diphone database, the
    // terminal's pipe, a sound file), whoever opened it and however.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own process group: a Ctrl+C meant for the console does not reach it.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);

    pid_t pid = 0;
    const bool searchPath = args[0].find('/') == std::string::npos;
    int rc = searchPath ? ::posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ)
                        : ::posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    spawned().push_back(pid);
    return true;
}

}  // namespace

std::vector<std::string> shellOpenCommand(const std::string& program, const std::string& target) {
    if (!program.empty()) {
        std::vector<std::string> args{programName(program)};
        if (!target.empty()) args.push_back(cp1252ToUtf8(notAnOption(target)));
        return args;
    }
    if (target.empty()) return {};
    std::string what;
    if (beginsWith(target, "www.")) what = cp1252ToUtf8("http://" + target);
    else if (isWebAddress(target)) what = cp1252ToUtf8(target);
    else {
        // A relative name gets "./" in front, so that xdg-open takes
        // neither "-x" for an option nor "ab:cd.odt" for an address.
        what = toNativeName(target);
        if (!what.empty() && what[0] != '/') what = "./" + what;
    }
    return {"xdg-open", what};
}

bool shellOpen(const std::string& program, const std::string& target) {
    return spawn(shellOpenCommand(program, target));
}

bool runExecutable(const std::string& windowsName) {
    const std::string native = toNativeName(windowsName);
    struct stat st{};
    if (native.empty() || ::stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (::access(native.c_str(), X_OK) != 0) return false;
    // A name without a slash would be searched in PATH: make it relative.
    return spawn({native.find('/') == std::string::npos ? "./" + native : native});
}

}  // namespace platform
