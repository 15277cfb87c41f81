// The braille display: the row under the cursor, in cells of our own
// Portuguese computer-braille table, with the cursor shown. Every pump of
// messages looks at the screen and sends the line again when it changed, so
// the display is up to date before any wait. The display shows a stretch of
// the row as wide as it is; a move of the cursor brings the stretch that
// holds it, the panning keys show the next or previous stretch and the line
// keys the rows above and below, until the cursor moves again. (In the
// review mode the console cursor stands on the review cursor, so the display
// shows the review row.)
//
// The keys of the display: a routing key queues 0 and routingKeyCode and
// leaves the screen cell it stood for in routedColumn and routedRow; braille
// typed on the display is a chord of the six-key keyboard (its table, and in
// mode 2 its signs), and a cell with dot 7 or 8 is the character our table
// shows with that cell; typed characters and the keys of a keyboard on the
// display queue what the same keys of the PC keyboard queue.
//
// The table: the 64 cells of dots 1 to 6 are the characters the chords give,
// so what is typed is what is shown; a capital is its small letter with dot
// 7; the digits 1 to 9 and 0 are a to j with dot 8; control characters 1 to
// 26 are a to z with dots 7 and 8; a few signs take a cell of their own
// (full stop, brackets, arithmetic, quotes and dashes); every other byte
// takes the lowest cell left, so that each of the 256 bytes has a cell of
// its own and every cell reads back as one byte.
#include <algorithm>
#include <array>
#include <cstring>

#include "console/qrcrt.hpp"
#include "console/qrcrt_state.hpp"
#include "platform/window/window.hpp"

namespace qrcrt {

using detail::state;

namespace {

namespace brl = platform::braille;

constexpr std::uint8_t dot7 = brl::dot7, dot8 = brl::dot8;

// Dots written as digits, as braille readers name them: 1268 is dots 1, 2, 6, 8.
constexpr std::uint8_t cellOf(int digits) {
    std::uint8_t cell = 0;
    for (; digits > 0; digits /= 10) cell = static_cast<std::uint8_t>(cell | (1 << (digits % 10 - 1)));
    return cell;
}

struct Table {
    std::array<std::uint8_t, 256> cell{};
    std::array<std::uint8_t, 256> character{};
};

Table buildTable() {
    Table t;
    std::array<bool, 256> given{}, taken{};
    auto assign = [&](std::uint8_t c, std::uint8_t cell) {
        if (given[c] || taken[cell]) return;
        t.cell[c] = cell;
        t.character[cell] = c;
        given[c] = taken[cell] = true;
    };
    for (int dots = 0; dots < 64; ++dots)
        assign(detail::chordTableCharacter(static_cast<std::uint8_t>(dots)), static_cast<std::uint8_t>(dots));
    auto withDots = [&](std::uint8_t from, std::uint8_t to, std::uint8_t extra) {
        if (given[from]) assign(to, static_cast<std::uint8_t>(t.cell[from] | extra));
    };
    for (int c = 'a'; c <= 'z'; ++c) withDots(static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c - 32), dot7);
    // The accented capitals of Windows-1252 (not the multiplication sign).
    for (int c = 0xE0; c <= 0xFE; ++c)
        if (c != 0xF7) withDots(static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c - 32), dot7);
    withDots(0xFF, 0x9F, dot7);  // ÿ, Ÿ
    for (int i = 0; i < 10; ++i) withDots(static_cast<std::uint8_t>('a' + i), static_cast<std::uint8_t>(i == 9 ? '0' : '1' + i), dot8);
    for (int c = 1; c <= 26; ++c) withDots(static_cast<std::uint8_t>('a' + c - 1), static_cast<std::uint8_t>(c), dot7 | dot8);
    static constexpr std::pair<std::uint8_t, int> signs[] = {
        {'.', 38},    {'(', 1268},  {')', 3458},  {'[', 123568}, {']', 234568}, {'+', 2358}, {'<', 2468},
        {'>', 1358},  {'/', 68},    {'@', 1568},  {0x80, 567},   {0x93, 2367},  {0x94, 2368}, {0x91, 37},
        {0x92, 378},  {0x96, 367},  {0x97, 368},
    };
    for (const auto& [c, digits] : signs) assign(c, cellOf(digits));
    int next = 0;
    for (int c = 0; c < 256; ++c) {
        if (given[c]) continue;
        while (taken[next]) ++next;
        assign(static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(next));
    }
    return t;
}

const Table& table() {
    static const Table t = buildTable();
    return t;
}

struct DisplayState {
    brl::Display* display = nullptr;
    bool chosen = false;  // the default display was considered
    bool opened = false;
    int offset = 0;       // the first column shown, from 0
    int row = 1;          // the row shown
    // The cursor (and the width) when the display last followed it.
    int trackedRow = 0, trackedColumn = 0, trackedWidth = 0;
    std::vector<std::uint8_t> sentCells;
    std::string sentText;
    int sentCursor = -2;
    int routedColumn = 0, routedRow = 0;
};

DisplayState& display() {
    static DisplayState d;
    return d;
}

void onDisplayKey(const brl::Key& key);

// The display in use, opened; null for none.
brl::Display* activeDisplay() {
    DisplayState& d = display();
    if (!d.chosen) {
        d.chosen = true;
        // The headless backend is the tests': they bring a display of their own.
        if (!d.display && std::strcmp(platform::backendName(), "headless") != 0) d.display = &brl::brlapiDisplay();
    }
    if (d.display && !d.opened) {
        d.opened = true;
        d.display->open(onDisplayKey);
    }
    return d.display;
}

void queueKey(std::initializer_list<std::uint8_t> bytes) {
    if (state().count + bytes.size() <= detail::queueSize) detail::queueBytes(bytes, false);
}

void typeDots(std::uint32_t dots) {
    const bool space = dots & brl::chordSpace;
    const auto cell = static_cast<std::uint8_t>(dots & 0xFF);
    if ((cell & (dot7 | dot8)) == 0) {
        const int c = detail::chordCharacter(static_cast<std::uint8_t>(cell | (space ? 64 : 0)));
        if (c >= 0) queueKey({static_cast<std::uint8_t>(c)});
        return;
    }
    std::uint8_t c = table().character[cell];
    if (space) c &= 31;
    if (c != 0) queueKey({c});
}

void pressSpecial(std::uint32_t vk) {
    switch (vk) {
    case platform::VK_RETURN: queueKey({13}); return;
    case platform::VK_BACK: queueKey({8}); return;
    case platform::VK_TAB: queueKey({9}); return;
    case platform::VK_ESCAPE: queueKey({27}); return;
    case platform::VK_HOME: queueKey({0, 71}); return;
    case platform::VK_UP: queueKey({0, 72}); return;
    case platform::VK_PRIOR: queueKey({0, 73}); return;
    case platform::VK_LEFT: queueKey({0, 75}); return;
    case platform::VK_RIGHT: queueKey({0, 77}); return;
    case platform::VK_END: queueKey({0, 79}); return;
    case platform::VK_DOWN: queueKey({0, 80}); return;
    case platform::VK_NEXT: queueKey({0, 81}); return;
    case platform::VK_INSERT: queueKey({0, 82}); return;
    case platform::VK_DELETE: queueKey({0, 83}); return;
    default:
        if (vk >= platform::VK_F1 && vk <= platform::VK_F12)
            queueKey({0, static_cast<std::uint8_t>(59 + (vk - platform::VK_F1))});
    }
}

void onDisplayKey(const brl::Key& key) {
    DisplayState& d = display();
    const int width = d.display ? d.display->columns() : 0;
    switch (key.kind) {
    case brl::Key::panLeft:
        if (width > 0 && d.offset > 0) d.offset = std::max(0, d.offset - width);
        break;
    case brl::Key::panRight:
        if (width > 0 && d.offset + width < screenColumns) d.offset += width;
        break;
    case brl::Key::lineUp:
        if (d.row > 1) --d.row;
        break;
    case brl::Key::lineDown:
        if (d.row < screenRows) ++d.row;
        break;
    case brl::Key::toCursor:
        d.trackedRow = 0;
        break;
    case brl::Key::route: {
        const int column = d.offset + static_cast<int>(key.value) + 1;
        if (static_cast<int>(key.value) >= width || column > screenColumns) break;
        d.routedColumn = column;
        d.routedRow = d.row;
        queueKey({0, routingKeyCode});
        break;
    }
    case brl::Key::dots: typeDots(key.value); break;
    case brl::Key::character:
        if (key.value > 0 && key.value <= 0xFF) queueKey({static_cast<std::uint8_t>(key.value)});
        break;
    case brl::Key::special: pressSpecial(key.value); break;
    case brl::Key::columns:
        d.sentCursor = -2;  // a new width, or a display again: the line is sent anew
        break;
    }
    detail::refreshBrailleDisplay();
}

}  // namespace

namespace detail {

void refreshBrailleDisplay() {
    brl::Display* shown = activeDisplay();
    if (!shown) return;
    DisplayState& d = display();
    const int width = shown->columns();
    if (width <= 0) return;
    const int cursorRow = qrcrt::cursorRow();
    const int cursorColumn = std::min(qrcrt::cursorColumn(), screenColumns);  // past the edge: on the last cell
    if (cursorRow != d.trackedRow || cursorColumn != d.trackedColumn || width != d.trackedWidth) {
        d.trackedRow = d.row = cursorRow;
        d.trackedColumn = cursorColumn;
        d.trackedWidth = width;
        d.offset = (cursorColumn - 1) / width * width;
    }
    std::vector<std::uint8_t> cells(static_cast<std::size_t>(width));
    std::string text(static_cast<std::size_t>(width), ' ');
    for (int i = 0; i < width; ++i) {
        const int column = d.offset + i + 1;
        const std::uint8_t c = column <= screenColumns ? screenChar(d.row, column) : ' ';
        text[static_cast<std::size_t>(i)] = static_cast<char>(c);
        cells[static_cast<std::size_t>(i)] = table().cell[c];
    }
    const int at = cursorColumn - 1 - d.offset;
    const int cursor = d.row == cursorRow && at >= 0 && at < width ? at : -1;
    if (cursor == d.sentCursor && cells == d.sentCells && text == d.sentText) return;
    d.sentCells = cells;
    d.sentText = text;
    d.sentCursor = cursor;
    shown->show(cells, text, cursor);
}

void resetBrailleDisplay() { display() = DisplayState{}; }

}  // namespace detail

void setBrailleDisplay(platform::braille::Display* shown) {
    DisplayState& d = display();
    d = DisplayState{};
    d.display = shown;
    d.chosen = true;
}

int routedColumn() { return display().routedColumn; }
int routedRow() { return display().routedRow; }

std::uint8_t brailleCell(std::uint8_t c) { return table().cell[c]; }
std::uint8_t brailleCharacter(std::uint8_t cell) { return table().character[cell]; }

}  // namespace qrcrt
