// Line input with spoken echo: a one-line field on the text screen, edited
// with the keys of a PC text console. Every typed or deleted character is
// announced by its recording; function keys read the word, the field, the
// position, the time or the date, change the speed, copy and paste through
// the clipboard, open a web address or a document, and start the screen
// review mode.
#pragma once

#include <cstdint>
#include <string>

namespace speaking {

// The longest field an edit handles.
constexpr int maxFieldLength = 2048;

// Edits text in place in a field at (column, row), width cells wide, of at
// most maxLength characters (capped at 2048). With editable false, the keys
// that change the text do nothing. Answers the code of the key that ended
// the edit: 9, 10, 13 or 27 for Tab, Ctrl+Enter, Enter and Esc, the
// extended code for the other ending keys (Up 72, Down 80, Page Up 73, Page
// Down 81, Ctrl+F9 102 ...). On return text has no trailing spaces.
int editLineSpoken(std::string& text, int column, int row, bool editable, int width, int maxLength);
// editLineSpoken with the width that reaches from column to the right edge
// of the screen, less one cell.
int editFieldSpoken(std::string& text, int column, int row, bool editable, int maxLength);
// Empties text and edits up to 255 characters at the cursor. Esc blanks
// what was typed on the screen and answers an empty text. A line end
// follows on the screen in every case.
void readLineSpoken(std::string& text);
// Reads one key, cuts any speech, plays the key's recording; answers it.
std::uint8_t readKeySpoken();

// The cursor position (1-based) at which the last edit ended.
int lastExitPosition();

// What opening a text asks of the desktop.
struct LinkRequest {
    enum Kind { withProgram, document, executable, refused } kind = document;
    std::string program;  // withProgram: the program (may be empty); executable: the file
    std::string target;   // withProgram and document: what to open
};
// The decision for a text (cut to 255 characters): a web address goes to
// QUORIL / PROG.HTM; a name whose extension (the three characters after the
// first full stop, or the first three when there is none) is EXE or COM is
// run, from the current directory unless it begins with a drive letter and
// a colon, a backslash or a slash; any other goes to QUORIL / PROG.<ext>,
// or is opened as a document when that key is missing. A program named
// from the current directory that leads out of it is refused (the warning
// tone, nothing run).
LinkRequest linkRequest(const std::string& text);
// Carries the decision out, after speech has ended; answers whether the
// program was started. The text is always one argument and never reaches a
// command interpreter.
bool openLink(const std::string& text);

// Tests: forget the last exit position.
void resetLineInputForTests();

}  // namespace speaking
