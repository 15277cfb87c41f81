// The field is kept padded with spaces to its maximum length while it is
// edited; positions are 1-based, the cursor runs from 1 to maximum + 1. A
// selection is an anchor and an end (both 0 when there is none); the
// selected characters are those between the two.
#include "speaking/lineinput.hpp"

#include <algorithm>

#include "console/qrcrt.hpp"
#include "numbers/qrhora.hpp"
#include "platform/system/messages.hpp"
#include "platform/system/shell.hpp"
#include "platform/system/system.hpp"
#include "review/review.hpp"
#include "speaking/output.hpp"
#include "speaking/settings.hpp"
#include "speaking/sounds.hpp"

namespace speaking {
namespace {

constexpr int kReadLineLength = 255;
constexpr std::size_t kLinkLength = 255;
constexpr std::uint8_t kSelectedBackground = 8;

struct LineInputState {
    int lastExitPosition = 1;
};

LineInputState& state() {
    static LineInputState s;
    return s;
}

bool isDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }
bool isLetter(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 128; }

// A text whose letters are all among the consonants that have no vowel
// sound of their own is an abbreviation, and is spelled.
bool onlyConsonants(const std::string& word) {
    static const std::string consonants = "BCDFGHJKLMNPQRSTVXZbcdfghjklmnpqrstvxz";
    return std::all_of(word.begin(), word.end(),
                       [](char c) { return consonants.find(c) != std::string::npos; });
}

class Edit {
public:
    Edit(std::string& text, int column, int row, bool editable, int width, int maxLength)
        : result_(text), column_(column), row_(row), editable_(editable) {
        max_ = std::clamp(maxLength, 0, maxFieldLength);
        width_ = std::clamp(width, 0, max_);
        // Writing the field never wraps to the next row ...
        width_ = std::min(width_, qrcrt::screenColumns + 1 - column_);
        // ... nor scrolls the screen from its last row.
        if (row_ == qrcrt::screenRows && column_ + width_ > qrcrt::screenColumns) --width_;
        width_ = std::max(width_, 0);
        text_ = text.substr(0, static_cast<std::size_t>(max_));
        text_.resize(static_cast<std::size_t>(max_), ' ');
        entry_ = text_;
    }

    int run();

private:
    std::uint8_t at(int pos) const { return static_cast<std::uint8_t>(text_[static_cast<std::size_t>(pos - 1)]); }
    int lastNonSpace() const {
        for (int p = max_; p >= 1; --p)
            if (at(p) != ' ') return p;
        return 0;
    }
    bool nonSpaceFromCursor() const {
        for (int p = cursor_; p <= max_; ++p)
            if (at(p) != ' ') return true;
        return false;
    }
    bool hasSelection() const { return anchor_ != 0 && anchor_ != selEnd_; }
    int selStart() const { return std::min(anchor_, selEnd_); }
    int selStop() const { return std::max(anchor_, selEnd_); }  // just after the last selected
    void clearSelection() { anchor_ = selEnd_ = 0; }
    std::string trimmed() const { return text_.substr(0, static_cast<std::size_t>(lastNonSpace())); }

    void scrollToCursor();
    void draw(bool highlight);
    void writeVisible(int from, int to);
    void placeCursor();

    void typed(std::uint8_t c);
    void firstKeyRule(bool blank);
    bool deleteAt(bool announce);
    void deleteWord();
    void readWord();
    void openWord();
    int nextWordTarget(int pos, bool& pastEnd) const;
    int previousWordStart(int pos, bool& reachedStart) const;
    void copy();
    void paste();
    void changeSpeed();
    void route();

    bool ordinaryKey(std::uint8_t key, int& result);
    bool extendedKey(std::uint8_t code, bool alt, int& result);

    std::string& result_;
    std::string text_, entry_;
    int column_, row_, width_ = 0, max_ = 0;
    bool editable_;
    int cursor_ = 1, scroll_ = 1;
    int anchor_ = 0, selEnd_ = 0;
    bool firstKey_ = true;
};

void Edit::scrollToCursor() {
    if (cursor_ < scroll_) scroll_ = cursor_;
    if (cursor_ - scroll_ > width_) scroll_ = cursor_ - width_;
}

// Writes text positions [from, to) at their cells. Control bytes that the
// screen would act on (bell, backspace, line feed, return) show as spaces.
void Edit::writeVisible(int from, int to) {
    if (to <= from) return;
    std::string cells = text_.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(to - from));
    for (char& ch : cells)
        if (ch == 7 || ch == 8 || ch == 10 || ch == 13) ch = ' ';
    qrcrt::writeBlock(reinterpret_cast<const std::uint8_t*>(cells.data()), cells.size());
}

void Edit::draw(bool highlight) {
    scrollToCursor();
    const int first = scroll_, last = std::min(scroll_ + width_, max_ + 1);  // [first, last)
    qrcrt::moveCursor(column_, row_);
    if (highlight && hasSelection() && selStart() < last && selStop() > first) {
        const int a = std::max(first, selStart()), b = std::min(last, selStop());
        writeVisible(first, a);
        const std::uint8_t saved = qrcrt::currentAttribute();
        qrcrt::setBackground(kSelectedBackground);
        writeVisible(a, b);
        qrcrt::setBackground(saved >> 4);
        writeVisible(b, last);
    } else {
        writeVisible(first, last);
    }
    if (width_ < qrcrt::screenColumns) qrcrt::clearToLineEnd();
    placeCursor();
}

void Edit::placeCursor() { qrcrt::moveCursor(column_ + cursor_ - scroll_, row_); }

// The first key of an edit on a field that holds an answer: two clicks,
// and typing replaces the proposed answer.
void Edit::firstKeyRule(bool blank) {
    if (!firstKey_ || !firstKeyClearing() || !nonSpaceFromCursor()) return;
    beepShort();
    beepShort();
    if (blank && editable_) std::fill(text_.begin(), text_.end(), ' ');
}

void Edit::typed(std::uint8_t c) {
    firstKeyRule(true);
    if (!editable_) return;
    if (cursor_ > max_) {
        beepError();
        return;
    }
    text_.insert(static_cast<std::size_t>(cursor_ - 1), 1, static_cast<char>(c));
    text_.pop_back();
    ++cursor_;
    draw(true);
    if (typedEcho()) playLetter(c);
}

// Removes the character under the cursor; false when nothing was removed.
bool Edit::deleteAt(bool announce) {
    if (!editable_ || cursor_ > max_) return false;
    const std::uint8_t c = at(cursor_);
    text_.erase(static_cast<std::size_t>(cursor_ - 1), 1);
    text_.push_back(' ');
    draw(true);
    if (announce) playSound("_DEL");
    playLetter(c);
    return true;
}

// Where the next word begins, from pos: past the character there and the
// rest of its word (letters, or digits when it began on a digit), then past
// spaces. Running off the end answers just after the last non-space.
int Edit::nextWordTarget(int pos, bool& pastEnd) const {
    if (pos <= max_ && at(pos) != ' ') {
        const bool digits = isDigit(at(pos));
        ++pos;
        while (pos <= max_ && (digits ? isDigit(at(pos)) : isLetter(at(pos)))) ++pos;
    }
    while (pos <= max_ && at(pos) == ' ') ++pos;
    pastEnd = pos > max_;
    return pastEnd ? lastNonSpace() + 1 : pos;
}

// The start of the word before pos: back over spaces, then over the letters
// (or digits) of the word; any other character is a word by itself.
int Edit::previousWordStart(int pos, bool& reachedStart) const {
    int p = pos - 1;
    while (p >= 1 && at(p) == ' ') --p;
    reachedStart = false;
    if (p < 1) {
        reachedStart = true;
        return 1;
    }
    const std::uint8_t c = at(p);
    if (!isDigit(c) && !isLetter(c)) return p;
    const bool digits = isDigit(c);
    while (p >= 1 && (digits ? isDigit(at(p)) : isLetter(at(p)))) --p;
    reachedStart = p < 1;
    return p + 1;
}

void Edit::deleteWord() {
    if (!editable_) return;
    int start = cursor_;
    bool ignored = false;
    if (cursor_ > 1 && at(cursor_ - 1) != ' ') start = previousWordStart(cursor_, ignored);
    const int stop = nextWordTarget(start, ignored);
    if (stop <= start) {
        beepError();
        return;
    }
    cursor_ = start;
    for (int i = 0; i < stop - start; ++i) deleteAt(i == 0);
}

void Edit::readWord() {
    const int from = cursor_;
    while (cursor_ <= max_ && at(cursor_) == ' ') ++cursor_;
    if (cursor_ > max_) {
        cursor_ = from;
        beepError();
        return;
    }
    const int start = cursor_;
    const std::uint8_t c = at(cursor_);
    if (isDigit(c) || c == '-') {
        if (c == '-') ++cursor_;
        while (cursor_ <= max_ && isDigit(at(cursor_))) ++cursor_;
        speakText(text_.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(cursor_ - start)));
    } else if (isLetter(c)) {
        while (cursor_ <= max_ && isLetter(at(cursor_))) ++cursor_;
        const std::string word = text_.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(cursor_ - start));
        if (onlyConsonants(word)) spellText(word);
        else speakText(word);
    } else {
        ++cursor_;
        spellText(std::string(1, static_cast<char>(c)));
    }
}

void Edit::openWord() {
    // The run of non-spaces around the cursor; on a space just after a
    // word, that word.
    int pos = std::min(cursor_, max_);
    if (pos > 1 && at(pos) == ' ' && at(pos - 1) != ' ') --pos;
    if (pos < 1 || at(pos) == ' ') {
        beepError();
        return;
    }
    int start = pos, stop = pos;  // [start, stop)
    while (start > 1 && at(start - 1) != ' ') --start;
    while (stop <= max_ && at(stop) != ' ') ++stop;
    std::string word = text_.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(stop - start));
    // Quotes, brackets and marks around a link are the sentence's, not the
    // link's: "(www.site.com)," opens www.site.com.
    static const std::string strip = "\"(*-.<=>[_{)]}";
    static const std::string stripAtEnd = strip + ",;:!?";
    const std::size_t a = word.find_first_not_of(strip);
    word = a == std::string::npos ? std::string() : word.substr(a, word.find_last_not_of(stripAtEnd) - a + 1);
    if (word.empty()) {
        beepError();
        return;
    }
    openLink(word);
}

void Edit::copy() {
    if (hasSelection())
        qrcrt::copyToClipboard(text_.substr(static_cast<std::size_t>(selStart() - 1),
                                            static_cast<std::size_t>(selStop() - selStart())));
    else
        qrcrt::copyToClipboard(trimmed() + "\r\n");
}

void Edit::paste() {
    std::string clip = qrcrt::pasteFromClipboard(static_cast<std::size_t>(max_) + 1);
    clip = clip.substr(0, clip.find_first_of("\r\n"));
    if (clip.empty() || !editable_) return;
    firstKeyRule(true);
    if (hasSelection()) {
        const int s = selStart();
        text_.erase(static_cast<std::size_t>(s - 1), static_cast<std::size_t>(selStop() - s));
        cursor_ = s;
    }
    cursor_ = std::min(cursor_, max_ + 1);
    text_.insert(static_cast<std::size_t>(cursor_ - 1), clip);
    text_.resize(static_cast<std::size_t>(max_), ' ');
    // The pasted span is selected, from its end back to the cursor at its
    // start (so a Shift held on Shift+Insert keeps it).
    anchor_ = std::min(cursor_ + static_cast<int>(clip.size()), max_ + 1);
    selEnd_ = cursor_;
}

void Edit::changeSpeed() {
    playSound("_VELOC");
    std::uint8_t key = readKeySpoken();
    while (qrcrt::keyWaiting()) key = readKeySpoken();
    if (key == 27 || key == 13) return;
    const std::string dir = messageDirectory();
    endSpeech();
    startSpeech(static_cast<int>(key) - '0', dir);
}

// A routing key of the braille display over the field puts the cursor on
// the character under it, which is played; one anywhere else is refused.
void Edit::route() {
    const int offset = qrcrt::routedColumn() - column_;
    const int pos = scroll_ + offset;
    if (qrcrt::routedRow() != row_ || offset < 0 || offset > width_ || pos > max_ + 1) {
        beepError();
        return;
    }
    cursor_ = pos;
    if (pos <= max_) playLetter(at(pos));
    else beepShort();
}

bool Edit::ordinaryKey(std::uint8_t key, int& result) {
    switch (key) {
    case 3:  // Ctrl+C
        copy();
        break;
    case 4:  // Ctrl+D
        if (editable_) {
            std::fill(text_.begin() + (cursor_ - 1), text_.end(), ' ');
            draw(true);
            playSound("_APFCPO");
        }
        break;
    case 8:  // Backspace
        if (!editable_) break;
        if (cursor_ == 1) {
            beepError();
        } else {
            --cursor_;
            deleteAt(true);
        }
        break;
    case 9: case 10: case 13: case 27:
        result = key;
        return true;
    case 11:  // Ctrl+K
        speakText(std::to_string(cursor_));
        break;
    case 19:  // Ctrl+S
        if (editable_) {
            text_.erase(0, static_cast<std::size_t>(cursor_ - 1));
            text_.resize(static_cast<std::size_t>(max_), ' ');
            cursor_ = 1;
            draw(true);
            playSound("_APICPO");
        }
        break;
    case 21:  // Ctrl+U
        if (editable_) {
            text_ = entry_;
            cursor_ = 1;
            draw(true);
            for (int i = 0; i < 3; ++i) beepError();
        }
        break;
    case 22:  // Ctrl+V
        paste();
        break;
    case 25:  // Ctrl+Y
        if (editable_) {
            std::fill(text_.begin(), text_.end(), ' ');
            cursor_ = 1;
            draw(true);
            playSound("_CPOAPA");
        }
        break;
    case 28:  // Ctrl+backslash
        dialTones(text_);
        break;
    case 127:  // Ctrl+Backspace
        deleteWord();
        break;
    case 222:
        waitWhileSpeaking();
        speakText(trimmed());
        break;
    case 223:
        break;
    default:
        if (key >= 32) typed(key);
        else firstKeyRule(false);
    }
    return false;
}

bool Edit::extendedKey(std::uint8_t code, bool alt, int& result) {
    bool flag = false;
    switch (code) {
    case 59:  // F1
        readWord();
        break;
    case 62: {  // F4
        bool& echo = typedEcho();
        echo = !echo;
        playSound(echo ? "_FALACI" : "_FALDLG");
        break;
    }
    case 66:  // F8
        qrhora::speakCurrentTime();
        break;
    case 70:  // F12
        openWord();
        break;
    case 71:  // Home
        cursor_ = 1;
        break;
    case 75:  // Left
        if (cursor_ == 1) {
            beepError();
        } else {
            --cursor_;
            playLetter(at(cursor_));
        }
        break;
    case 77:  // Right
        if (cursor_ > max_) {
            beepError();
        } else {
            const std::uint8_t c = at(cursor_);
            if (alt && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) playSound("_FON" + std::to_string(c));
            else playLetter(c);
            ++cursor_;
        }
        break;
    case 79:  // End
        cursor_ = lastNonSpace() + 1;
        break;
    case 83:  // Delete
        if (!editable_) break;
        if (hasSelection()) {
            const int s = selStart(), n = selStop() - s;
            cursor_ = s;
            for (int i = 0; i < n; ++i) deleteAt(i == 0);
            anchor_ = selEnd_ = s;
        } else if (!deleteAt(true)) {
            beepError();
        }
        break;
    case 94:  // Ctrl+F1
        speakText(trimmed());
        break;
    case 97:  // Ctrl+F4
        changeSpeed();
        break;
    case 101:  // Ctrl+F8
        qrhora::speakCurrentDate();
        break;
    case 102:  // Ctrl+F9
        if (!alt) {
            result = code;
            return true;
        }
        review::reviewScreen();
        break;
    case 115:  // Ctrl+Left
        cursor_ = previousWordStart(cursor_, flag);
        if (flag) beepError();
        else beepShort();
        break;
    case 116:  // Ctrl+Right
        cursor_ = nextWordTarget(cursor_, flag);
        if (flag) beepError();
        else beepShort();
        break;
    case 254:  // Shift+Insert
        paste();
        break;
    case qrcrt::lackingCharacterCode:
        // A letter the field cannot hold: refused aloud, and the keys typed
        // after it are kept.
        playImageAndWait(warningImage().data());
        break;
    case 255:  // Ctrl+Insert
        copy();
        break;
    case qrcrt::routingKeyCode:
        route();
        break;
    default:
        if (code >= 120 && code <= 129) break;
        result = code;
        return true;
    }
    return false;
}

int Edit::run() {
    int result = 0;
    for (;;) {
        draw(true);
        std::uint8_t key = qrcrt::readKeyCode();
        cutSpeech();
        const bool shift = platform::keyDown(platform::VK_SHIFT);
        bool extended = false;
        bool alt = qrcrt::altHeld();
        if (key == 0) {
            key = qrcrt::readKeyCode();
            alt = qrcrt::altHeld();
            extended = true;
            // AltGr combinations come as such a code followed by their
            // character; that character is the key.
            if (key >= 16 && key <= 18) {
                const std::uint8_t next = qrcrt::readKeyCode();
                if (next != 0) {
                    key = next;
                    extended = false;
                } else {
                    key = qrcrt::readKeyCode();
                    alt = qrcrt::altHeld();
                }
            }
        }
        bool ends = false;
        if (extended) {
            if (shift) {
                if (anchor_ == 0) anchor_ = selEnd_ = cursor_;
            } else if (key != 254 && key != 255) {
                clearSelection();
            }
            ends = extendedKey(key, alt, result);
            if (shift && anchor_ != 0) selEnd_ = cursor_;
        } else {
            if (key != 3 && key != 22 && key != 222 && key != 223) clearSelection();
            ends = ordinaryKey(key, result);
        }
        firstKey_ = false;
        if (ends) break;
    }
    state().lastExitPosition = cursor_;
    qrcrt::moveCursor(column_, row_);
    writeVisible(1, std::min(width_, max_) + 1);
    qrcrt::moveCursor(column_, row_);
    result_ = trimmed();
    return result;
}

}  // namespace

int editLineSpoken(std::string& text, int column, int row, bool editable, int width, int maxLength) {
    Edit edit(text, column, row, editable, width, maxLength);
    return edit.run();
}

int editFieldSpoken(std::string& text, int column, int row, bool editable, int maxLength) {
    // The text window is the whole screen: right edge 79 and left edge 0,
    // counted from 0.
    return editLineSpoken(text, column, row, editable, qrcrt::screenColumns - 1 - column, maxLength);
}

void readLineSpoken(std::string& text) {
    text.clear();
    const int column = qrcrt::cursorColumn(), row = qrcrt::cursorRow();
    if (editFieldSpoken(text, column, row, true, kReadLineLength) == 27) {
        const int width = std::max(0, qrcrt::screenColumns - 1 - column);
        const int shown = std::min(static_cast<int>(text.size()), width);
        if (shown > 0) {
            const std::string blank(static_cast<std::size_t>(shown), ' ');
            qrcrt::writeBlock(reinterpret_cast<const std::uint8_t*>(blank.data()), blank.size());
            qrcrt::moveCursor(column, row);
        }
        text.clear();
    }
    qrcrt::writeText("\r\n");
    qrcrt::flushOutput();
}

std::uint8_t readKeySpoken() {
    const std::uint8_t key = qrcrt::readKeyCode();
    cutSpeech();
    playLetter(key);
    return key;
}

int lastExitPosition() { return state().lastExitPosition; }

LinkRequest linkRequest(const std::string& input) {
    const std::string text = input.substr(0, kLinkLength);
    auto begins = [&](const char* prefix) { return text.rfind(prefix, 0) == 0; };
    if (begins("http://") || begins("https://") || begins("www."))
        return {LinkRequest::withProgram, settingsValue("QUORIL", "PROG.HTM"), text};
    const std::size_t dot = text.find('.');
    std::string ext = dot == std::string::npos ? text.substr(0, 3) : text.substr(dot + 1, 3);
    for (char& c : ext)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (ext != "EXE" && ext != "COM") {
        const std::string program = settingsValue("QUORIL", "PROG." + ext);
        if (program.empty()) return {LinkRequest::document, "", text};
        return {LinkRequest::withProgram, program, text};
    }
    const bool drive = text.size() >= 2 && text[1] == ':' &&
                       ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
    if (drive || begins("\\") || begins("/")) return {LinkRequest::executable, text, ""};
    // Relative to the current directory as it is, not to a spelling of it
    // in the ANSI code page, which may lead to another folder.
    return {LinkRequest::executable, ".\\" + text, ""};
}

bool openLink(const std::string& text) {
    const LinkRequest request = linkRequest(text);
    waitWhileSpeaking();
    bool started = false;
    switch (request.kind) {
    case LinkRequest::withProgram: started = platform::shellOpen(request.program, request.target); break;
    case LinkRequest::document: started = platform::shellOpen("", request.target); break;
    case LinkRequest::executable: started = platform::runExecutable(request.program); break;
    }
    waitWhileSpeaking();
    return started;
}

void resetLineInputForTests() { state() = LineInputState{}; }

}  // namespace speaking
