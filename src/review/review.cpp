// The review position is a row (1 to the row count) and a column (1 to 81,
// 81 standing just past the last column, as the console cursor may). Each
// command moves it and reads; after every command a bounds check brings it
// back onto the screen with a warning tone. Ranges are read word by word
// through the recorded voice, or handed row by row to a speech server when
// one speaks; a key pressed meanwhile stops the reading.
#include "review/review.hpp"

#include <algorithm>

#include "console/qrcrt.hpp"
#include "speaking/output.hpp"
#include "speaking/sounds.hpp"

namespace review {
namespace {

constexpr int kColumns = qrcrt::screenColumns;
constexpr int kPastEnd = kColumns + 1;

struct ReviewState {
    std::string searchText;
};

ReviewState& state() {
    static ReviewState s;
    return s;
}

std::uint8_t upper(std::uint8_t c) { return c >= 'a' && c <= 'z' ? static_cast<std::uint8_t>(c - 32) : c; }
bool isLetterAZ(std::uint8_t c) { return upper(c) >= 'A' && upper(c) <= 'Z'; }

void flushKeys() {
    while (qrcrt::keyWaiting()) qrcrt::readKeyCode();
}

// A key without a command.
void refuse() {
    speaking::beepError();
    speaking::beepShort();
    speaking::beepError();
}

class Review {
public:
    void run();

private:
    std::uint8_t cell(int column) const { return qrcrt::screenChar(row_, column); }
    std::uint8_t attr(int column) const { return qrcrt::screenAttr(row_, column); }

    void readRow() { readRange(row_, 1, row_, kColumns, true); }
    void readRange(int fromRow, int fromColumn, int toRow, int toColumn, bool restore);
    void readWord();
    void goLineEnd();
    void fieldBounds(int& start, int& end) const;
    void nextField();
    void prevWord();
    void nextWord();
    void goToRowColumn();
    void firstLetter();
    void lastLetter();
    void askSearch();
    void searchNext();
    void copyScreen() const;
    void sayPosition() const;
    void twoKeyCommand(std::uint8_t first);
    bool plainKey(std::uint8_t key);
    void extendedKey(std::uint8_t code);
    void boundsCheck();

    int row_ = 1, column_ = 1;
    const int rows_ = qrcrt::screenRows;
};

void Review::readRange(int fromRow, int fromColumn, int toRow, int toColumn, bool restore) {
    if (fromRow == toRow && toColumn < fromColumn) {
        speaking::beepError();
        return;
    }
    const int savedRow = row_, savedColumn = column_;
    column_ = fromColumn;
    for (int r = fromRow; r <= toRow; ++r) {
        row_ = r;
        const int last = r == toRow ? toColumn : kColumns;
        if (speaking::serverActive()) {
            std::string text;
            for (int c = std::max(column_, 1); c <= last; ++c) text += static_cast<char>(cell(c));
            speaking::speakText(text);
        } else {
            // Only words that begin inside the range are read (a word that
            // begins there is read whole, even past the range's end).
            while (column_ <= last && cell(column_) == ' ') ++column_;
            while (column_ <= last && !qrcrt::keyWaiting()) {
                readWord();
                while (column_ <= last && cell(column_) == ' ') ++column_;
            }
        }
        if (qrcrt::keyWaiting()) break;
        column_ = 1;
        speaking::beepShort();
    }
    speaking::speechBusy();
    if (toColumn >= kColumns) goLineEnd();
    if (restore) {
        row_ = savedRow;
        column_ = savedColumn;
    }
}

void Review::readWord() {
    column_ = std::max(column_, 1);
    while (column_ <= kColumns && cell(column_) == ' ') ++column_;
    if (column_ > kColumns) return;
    // A word character begins a word that runs on over word characters;
    // any other character is taken by itself.
    std::string word;
    do {
        qrcrt::moveCursor(column_, row_);
        word += static_cast<char>(cell(column_));
        ++column_;
    } while (isWordChar(static_cast<std::uint8_t>(word[0])) && column_ <= kColumns && isWordChar(cell(column_)));
    if (word.size() == 1) {
        // A run of one symbol is voiced as at most three of it.
        while (column_ <= kColumns && cell(column_) == static_cast<std::uint8_t>(word[0])) {
            if (word.size() < 3) word += word[0];
            ++column_;
        }
        speaking::speakText(word);
    } else if (onlyConsonants(word)) {
        speaking::spellText(word);
    } else {
        speaking::speakText(word);
    }
}

void Review::goLineEnd() {
    column_ = kPastEnd;
    while (column_ >= 1 && cell(column_) == ' ') --column_;
    ++column_;
}

void Review::fieldBounds(int& start, int& end) const {
    const std::uint8_t a = attr(column_);
    if (isFieldSeparator(cell(column_))) {
        start = column_ + 1;
        end = column_ - 1;
        return;
    }
    auto inField = [&](int c) { return attr(c) == a && !isFieldSeparator(cell(c)); };
    start = column_;
    while (start - 1 >= 1 && inField(start - 1)) --start;
    end = column_;
    while (end + 1 <= kColumns && inField(end + 1)) ++end;
}

void Review::nextField() {
    int start = 0, end = 0;
    fieldBounds(start, end);
    column_ = end + 2;
    if (column_ <= kColumns) speaking::beepShort();
    else goLineEnd();
}

void Review::prevWord() {
    --column_;
    while (column_ >= 1 && cell(column_) == ' ') --column_;
    if (column_ < 1) {
        speaking::beepError();
        column_ = 1;
        return;
    }
    while (column_ >= 1 && cell(column_) != ' ') --column_;
    if (column_ < 1) speaking::beepError();
    else speaking::beepShort();
    ++column_;
}

void Review::nextWord() {
    column_ = std::max(column_, 1);
    while (column_ <= kColumns && cell(column_) != ' ') ++column_;
    while (column_ <= kColumns && cell(column_) == ' ') ++column_;
    if (column_ >= kPastEnd) {
        speaking::beepError();
        goLineEnd();
    } else {
        speaking::beepShort();
    }
}

void Review::goToRowColumn() {
    speaking::speakText("Entre linha e coluna");
    int digits[4] = {};
    for (int& d : digits) {
        const std::uint8_t key = qrcrt::readKeyCode();
        if (key < '0' || key > '9') {
            speaking::beepError();
            speaking::beepError();
            return;
        }
        speaking::playLetter(key);
        d = key - '0';
    }
    row_ = 10 * digits[0] + digits[1];
    column_ = 10 * digits[2] + digits[3];
}

void Review::firstLetter() {
    for (int r = 1; r <= rows_; ++r)
        for (int c = 1; c <= kColumns; ++c)
            if (isLetterAZ(qrcrt::screenChar(r, c))) {
                row_ = r;
                column_ = c;
                return;
            }
}

void Review::lastLetter() {
    for (int r = rows_; r >= 1; --r)
        for (int c = kColumns; c >= 1; --c)
            if (isLetterAZ(qrcrt::screenChar(r, c))) {
                row_ = r;
                column_ = c;
                return;
            }
}

void Review::askSearch() {
    std::string& text = state().searchText;
    speaking::speakText("Qual texto");
    text.clear();
    for (;;) {
        const std::uint8_t key = qrcrt::readKeyCode();
        if (key == 27) return;
        if (key == 13) break;
        if (key == 8) {
            if (!text.empty()) {
                speaking::playSound("_DEL");
                speaking::playLetter(static_cast<std::uint8_t>(text.back()));
                text.pop_back();
            }
            continue;
        }
        text += static_cast<char>(key);
        speaking::playLetter(key);
    }
    searchNext();
}

// From the review row on; on that row only after the review column.
void Review::searchNext() {
    const std::string& text = state().searchText;
    if (!text.empty()) {
        const int startRow = std::clamp(row_, 1, rows_);
        const int after = std::clamp(column_, 1, kColumns);
        for (int r = startRow; r <= rows_; ++r) {
            std::string line;
            for (int c = 1; c <= kColumns; ++c) line += static_cast<char>(qrcrt::screenChar(r, c));
            const std::size_t at = line.find(text, r == startRow ? static_cast<std::size_t>(after) : 0);
            if (at != std::string::npos) {
                row_ = r;
                column_ = static_cast<int>(at) + 1;
                speaking::beepShort();
                return;
            }
        }
    }
    speaking::beepError();
    speaking::beepError();
}

void Review::copyScreen() const {
    std::string buffer;
    buffer.reserve(static_cast<std::size_t>(rows_) * (kColumns + 2));
    for (int r = 1; r <= rows_; ++r) {
        for (int c = 1; c <= kColumns; ++c) buffer += static_cast<char>(qrcrt::screenChar(r, c));
        buffer += "\r\n";
    }
    qrcrt::copyToClipboard(buffer);
}

void Review::sayPosition() const {
    speaking::speakText(std::to_string(row_) + " " + std::to_string(column_));
}

void Review::twoKeyCommand(std::uint8_t firstKey) {
    std::uint8_t first = upper(firstKey);
    if (first == 'L') first = 'T';
    if (first != 'T' && first != 'I' && first != 'F') {
        refuse();
        return;
    }
    const std::uint8_t second = upper(qrcrt::readKeyCode());
    if (second != 'T' && second != 'L' && second != 'C') {
        refuse();
        return;
    }
    const int r = row_, c = column_, last = rows_;
    int s = 0, e = 0;
    if (second == 'C') fieldBounds(s, e);
    switch (second) {
    case 'T':
        if (first == 'T') readRange(1, 1, last, kColumns, false);
        else if (first == 'I') readRange(1, 1, r, c - 1, false);
        else readRange(r, c, last, kColumns, false);
        break;
    case 'L':
        if (first == 'T') readRange(r, 1, r, kColumns, true);
        else if (first == 'I') readRange(r, 1, r, c - 1, true);
        else readRange(r, c, r, kColumns, true);
        break;
    default:
        if (first == 'T') readRange(r, s, r, e, true);
        else if (first == 'I') readRange(r, s, r, c, true);
        else readRange(r, c, r, e, true);
    }
}

// Answers false for Esc.
bool Review::plainKey(std::uint8_t key) {
    switch (key) {
    case 27:
        return false;
    case 13:
        ++row_;
        column_ = 1;
        speaking::beepShort();
        break;
    case 32:
        readRow();
        break;
    case 8:
        extendedKey(75);
        break;
    case 9:
        nextField();
        break;
    case 3:
        copyScreen();
        break;
    case 11: case 12:
        sayPosition();
        break;
    default:
        if (isLetterAZ(key)) twoKeyCommand(key);
        else refuse();
    }
    return true;
}

void Review::extendedKey(std::uint8_t code) {
    switch (code) {
    case 59:  // F1
        if (!(speaking::serverActive() && qrcrt::keyWaiting())) readWord();
        if (column_ >= kColumns) {
            speaking::beepShort();
            goLineEnd();
        }
        break;
    case 94: {  // Ctrl+F1
        int s = 0, e = 0;
        fieldBounds(s, e);
        readRange(row_, s, row_, e, true);
        break;
    }
    case 63: askSearch(); break;     // F5
    case 98: searchNext(); break;    // Ctrl+F5
    case 64: goToRowColumn(); break;  // F6
    case 71: column_ = 1; break;     // Home
    case 79: goLineEnd(); break;     // End
    case 72:                         // Up
        --row_;
        column_ = 1;
        if (row_ >= 1) {
            readRow();
        } else {
            speaking::beepError();
            row_ = 1;
        }
        break;
    case 80:  // Down
        ++row_;
        column_ = 1;
        speaking::beepShort();
        if (row_ <= rows_) {
            readRow();
        } else {
            speaking::beepError();
            row_ = rows_;
        }
        break;
    case 73:  // Page Up
        row_ = 1;
        column_ = 1;
        readRow();
        break;
    case 81:  // Page Down
        row_ = rows_;
        column_ = 1;
        readRow();
        break;
    case 75:  // Left
        if (column_ > 1) speaking::playLetter(cell(column_ - 1));
        else speaking::beepError();
        --column_;
        break;
    case 77:  // Right
        if (column_ <= kPastEnd) speaking::playLetter(cell(column_));
        else speaking::beepError();
        ++column_;
        break;
    case 115: prevWord(); break;  // Ctrl+Left
    case 116: nextWord(); break;  // Ctrl+Right
    case 132:                     // Ctrl+Page Up
        firstLetter();
        readRow();
        break;
    case 118:  // Ctrl+Page Down
        lastLetter();
        readRow();
        break;
    case qrcrt::routingKeyCode:  // a routing key of the braille display
        row_ = qrcrt::routedRow();
        column_ = qrcrt::routedColumn();
        speaking::playLetter(cell(column_));
        break;
    default:
        refuse();
    }
}

void Review::boundsCheck() {
    auto correct = [](int& value, int to) {
        value = to;
        speaking::beepError();
        flushKeys();
    };
    if (column_ < 1) correct(column_, 1);
    if (column_ > kPastEnd) correct(column_, kColumns);
    if (row_ < 1) correct(row_, 1);
    if (row_ > rows_) correct(row_, rows_);
}

void Review::run() {
    speaking::beepError();
    const int consoleRow = qrcrt::cursorRow(), consoleColumn = qrcrt::cursorColumn();
    row_ = consoleRow;
    column_ = consoleColumn;
    for (bool going = true; going;) {
        qrcrt::moveCursor(column_, row_);
        const std::uint8_t key = qrcrt::readKeyCode();
        if (key == 0) extendedKey(qrcrt::readKeyCode());
        else going = plainKey(key);
        boundsCheck();
    }
    speaking::beepError();
    speaking::beepError();
    qrcrt::moveCursor(consoleColumn, consoleRow);
}

}  // namespace

bool isWordChar(std::uint8_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    if (c >= 224) c = static_cast<std::uint8_t>(c - 32);
    return (c >= 192 && c <= 195) || c == 199 || c == 201 || c == 202 || c == 205 || c == 209 ||
           (c >= 211 && c <= 213) || c == 218;
}

bool onlyConsonants(const std::string& text) {
    static const std::string consonants = "BCDFGHJKLMNPQRSTVWXYZ";
    return std::all_of(text.begin(), text.end(), [](char ch) {
        return consonants.find(static_cast<char>(upper(static_cast<std::uint8_t>(ch)))) != std::string::npos;
    });
}

bool isFieldSeparator(std::uint8_t c) {
    return c == '!' || c == ':' || c == '?' || c == '|' || (c >= 176 && c <= 223);
}

void reviewScreen() {
    Review review;
    review.run();
}

const std::string& searchText() { return state().searchText; }

void resetForTests() { state() = ReviewState{}; }

}  // namespace review
