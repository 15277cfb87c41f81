// The braille room of the platform layer: a refreshable braille display
// reached through BRLTTY's BrlAPI. What the console shows on it is one line
// of cells; what the display reports (its panning, line and routing keys,
// the braille typed on its keyboard, the keys of a keyboard attached to it)
// comes back as keys. The console talks to the Display interface below, so
// a test can stand a fake display in for the real one.
//
// The BrlAPI display connects in the background: a thread of its own tries
// the server that BRLAPI_HOST names (the local one by default) and tries
// again every two seconds while there is none, so a program that starts
// before BRLTTY, or outlives a restart of it, finds it. Nothing is printed
// and nothing waits for it. Keys reach the main thread as posted calls
// (platform::postCall), so they are handled while messages are pumped.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform::braille {

// Dots of a cell: bit 0 is dot 1 ... bit 7 is dot 8.
enum : std::uint8_t {
    dot1 = 1, dot2 = 2, dot3 = 4, dot4 = 8, dot5 = 16, dot6 = 32, dot7 = 64, dot8 = 128,
};

struct Key {
    enum Kind : std::uint8_t {
        panLeft,    // show the previous stretch of the line
        panRight,   // show the next stretch
        lineUp,     // show the row above
        lineDown,   // show the row below
        toCursor,   // back to where the cursor is
        route,      // a routing key: value is its cell, from 0
        dots,       // typed braille: value is the dots, plus chordSpace with the space bar
        character,  // a typed character: value is its Windows-1252 byte
        special,    // a key of an attached keyboard: value is its virtual-key code
        columns,    // the display's width changed: value is the cells (0 once it is gone)
    };
    Kind kind = panLeft;
    std::uint32_t value = 0;
    bool operator==(const Key&) const = default;
};
constexpr std::uint32_t chordSpace = 0x100;

using KeyHandler = std::function<void(const Key&)>;

class Display {
public:
    virtual ~Display() = default;
    // Starts reporting keys to the handler (on the main thread). Once.
    virtual void open(KeyHandler handler) = 0;
    // The cells of the line it shows; 0 while there is no display.
    virtual int columns() const = 0;
    // Shows the cells (one per column), the text they stand for (Windows-1252,
    // one byte per cell, for the display's own copy and paste) and the cursor
    // cell, from 0, or -1 for none. Never blocks.
    virtual void show(const std::vector<std::uint8_t>& cells, const std::string& text, int cursor) = 0;
};

// The display BrlAPI reaches (a stand-in without cells where the program was
// built without BrlAPI).
Display& brlapiDisplay();

// The BrlAPI key code (64 bits, as BrlAPI gives it) as a key; false for a
// key the console has no use for. rowCells, when not null, holds the 256
// cells the server's own text table gives the characters U+0000 to U+00FF:
// a typed character is then taken back to the dots that were typed, since
// the console reads typed braille by its own table.
bool keyFromCode(std::uint64_t code, const std::uint8_t* rowCells, Key& key);

}  // namespace platform::braille
