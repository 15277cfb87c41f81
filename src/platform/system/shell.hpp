// The desktop's "open" verb: a document or web address is handed to
// xdg-open, a named program is started with the text it should open. The
// process is started directly from an argument vector, never through a
// command interpreter, so whatever a text holds (quotes, ';', '$(...)',
// backquotes, spaces) reaches the program as one argument and nothing else
// runs. The child's standard streams go to /dev/null, so it cannot disturb
// the console, and it gets none of the converter's other open files; it is
// not waited for.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Opens target with program. Both are Windows-1252 texts.
// - program not empty: the program (a Windows-style path, or a name looked
//   up in PATH) is started with target as its one argument, or with no
//   argument when target is empty;
// - program empty: target is opened with xdg-open (a document's name is
//   mapped to the Linux file system first, and a relative one gets "./"
//   before it so that "ab:cd.odt" is not taken for an address; "www." gets
//   "http://" before it).
// An argument that begins with '-' is a relative name and is passed as
// "./" + it, so that no program takes it for an option. Answers whether the
// process was started (a program that is missing or not executable: false).
bool shellOpen(const std::string& program, const std::string& target);

// Runs the file itself, without arguments, when it is an executable regular
// file (the name is Windows-style); false otherwise.
bool runExecutable(const std::string& windowsName);

// What shellOpen would start: the argument vector (UTF-8), or empty when
// there is nothing to start.
std::vector<std::string> shellOpenCommand(const std::string& program, const std::string& target);

}  // namespace platform
