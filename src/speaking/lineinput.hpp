// Line input with spoken echo.
#pragma once

#include <string>

namespace speaking {

// Reads one line typed at the cursor (up to 255 characters) into text;
// text is empty when the user gave up the input.
void readLineSpoken(std::string& text);

}  // namespace speaking
