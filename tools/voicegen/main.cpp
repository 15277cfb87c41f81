// voicegen: makes the sound data of the system from Debian's espeak-ng.
//
//     voicegen <subcommand> [arguments]
//
// Each subcommand registers itself (registry.hpp); this file only
// dispatches.
#include <cstdio>
#include <map>
#include <string>

#include "voicegen/registry.hpp"

namespace voicegen {
namespace {

using Fn = int (*)(int, char**);

std::map<std::string, Fn>& table() {
    static std::map<std::string, Fn> t;  // filled by static objects before main
    return t;
}

}  // namespace

Subcommand::Subcommand(const char* name, int (*fn)(int, char**)) { table()[name] = fn; }

Fn findSubcommand(const std::string& name) {
    auto it = table().find(name);
    return it == table().end() ? nullptr : it->second;
}

std::vector<std::string> subcommandNames() {
    std::vector<std::string> names;
    for (const auto& [name, fn] : table()) names.push_back(name);
    return names;
}

}  // namespace voicegen

int main(int argc, char** argv) {
    auto usage = [] {
        std::fprintf(stderr, "usage: voicegen <subcommand> [arguments]\nsubcommands:");
        for (const std::string& n : voicegen::subcommandNames()) std::fprintf(stderr, " %s", n.c_str());
        std::fprintf(stderr, "\n");
    };
    if (argc < 2) {
        usage();
        return 2;
    }
    auto fn = voicegen::findSubcommand(argv[1]);
    if (!fn) {
        std::fprintf(stderr, "voicegen: unknown subcommand '%s'\n", argv[1]);
        usage();
        return 2;
    }
    return fn(argc - 1, argv + 1);
}
