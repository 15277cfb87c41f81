// Settings lookup of the speaking console: one value of QUORIL.INI, with the
// '@' marker expanded into the installation directory.
#pragma once

#include <functional>
#include <string>

namespace speaking {

// The value of key in section of QUORIL.INI (an empty section means
// "QUORIL"), '@' expanded; the empty text when the file or key is missing.
// The file is the one in the Windows directory when there is one there,
// else the one in the program directory.
std::string settingsValue(const std::string& section, const std::string& key);

// The current directory when the speaking console started, without a final
// separator. It stands in for a missing installation directory.
const std::string& programDirectory();
void setProgramDirectory(const std::string& directory);

// The '@' expansion on its own: installationDirectory is asked afresh each
// time a marker is expanded. Each '@' of the stored value is expanded at
// most once, so an installation directory that itself holds "@\" cannot
// make the expansion run for ever.
std::string expandAt(const std::string& stored,
                     const std::function<std::string()>& installationDirectory);

// Tests: forget all state (the program directory is taken afresh).
void resetSettingsForTests();

}  // namespace speaking
