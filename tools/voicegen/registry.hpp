// The subcommands of voicegen. Each one lives in a file of its own and
// registers itself with a static Subcommand object:
//
//     static voicegen::Subcommand letras("letras", runLetras);
//
// main() looks the first argument up here and hands the rest of the command
// line (argv[0] being the subcommand's name) to the function.
#pragma once

#include <string>
#include <vector>

namespace voicegen {

struct Subcommand {
    Subcommand(const char* name, int (*fn)(int, char**));
};

// The function registered under name, or nullptr.
int (*findSubcommand(const std::string& name))(int, char**);
// Every registered name, sorted.
std::vector<std::string> subcommandNames();

}  // namespace voicegen
