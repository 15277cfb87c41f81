// A braille display that a test holds in its hand: it records every line
// the console shows and lets the test press the display's keys.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "console/qrcrt.hpp"
#include "platform/braille/braille.hpp"

struct FakeDisplay : platform::braille::Display {
    struct Line {
        std::vector<std::uint8_t> cells;
        std::string text;
        int cursor = -1;
    };

    void open(platform::braille::KeyHandler h) override { handler = std::move(h); }
    int columns() const override { return width; }
    void show(const std::vector<std::uint8_t>& cells, const std::string& text, int cursor) override {
        lines.push_back({cells, text, cursor});
        if (onShow) {
            auto once = std::move(onShow);
            onShow = nullptr;
            once(lines.back());
        }
    }

    // A key of the display, handled as its posted call would be.
    void press(platform::braille::Key::Kind kind, std::uint32_t value = 0) {
        if (handler) handler({kind, value});
    }
    const Line& last() const { return lines.back(); }

    int width = 40;
    platform::braille::KeyHandler handler;
    std::vector<Line> lines;
    // Runs once, at the next line shown.
    std::function<void(const Line&)> onShow;
};

// Dots written as braille readers name them: 1268 is dots 1, 2, 6 and 8.
inline std::uint8_t dots(int digits) {
    std::uint8_t cell = 0;
    for (; digits > 0; digits /= 10) cell = static_cast<std::uint8_t>(cell | (1 << (digits % 10 - 1)));
    return cell;
}
