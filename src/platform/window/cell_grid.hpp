// Inside the platform layer: a grid of character cells that a backend draws
// into between two presents and copies out at a present (the terminal's
// cells, the window's glyph cells). The console writes and scrolls at every
// line; the screen itself is brought up to date far less often, so what
// happens between two presents must cost little: a text call stores bytes,
// and moving whole rows up turns the order of the rows instead of copying
// their cells, so a scroll costs rows, not cells.
//
// Cells that nothing has drawn since the last clear are "plain": the
// backend's own background (the terminal's default colours, black in the
// window). Each row remembers the span of columns changed since it was last
// copied out.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/window/window.hpp"

namespace platform {

struct GridCell {
    std::uint8_t byte = ' ';  // Windows-1252
    bool plain = true;
    Rgb fg{}, bg{};
};

class CellGrid {
public:
    // Columns x rows; what fits keeps its place, new cells are plain. Every
    // row is marked changed.
    void resize(int cols, int rows);
    int cols() const { return cols_; }
    int rows() const { return rows_; }
    // Every cell plain; every row marked changed.
    void clear();

    // Text from cell (x, y) on, one cell per byte, clipped to the grid.
    void put(int x, int y, const std::uint8_t* text, int count, Rgb fg, Rgb bg);
    // The cells [left, right) x [top, bottom) become blanks of the colour.
    void fill(int left, int top, int right, int bottom, Rgb colour);
    // The cells of src are copied to (dx, dy), as pixels are: cells outside
    // the destination keep theirs, overlapping copies come out right.
    void move(int left, int top, int right, int bottom, int dx, int dy);

    const GridCell* row(int y) const { return cells_.data() + static_cast<std::size_t>(order_[y]) * cols_; }
    bool changed() const { return changed_; }
    void markChanged(int y, int from, int to);
    void markAllChanged() {
        for (int y = 0; y < rows_; ++y) markChanged(y, 0, cols_);
    }
    // Hands each row's changed span [from, to) to f(y, cells of the row,
    // from, to), once; the rows count as copied out afterwards.
    template <class F>
    void takeChanged(F&& f) {
        if (!changed_) return;
        changed_ = false;
        for (int y = 0; y < rows_; ++y) {
            Span& s = spans_[y];
            if (s.from >= s.to) continue;
            const int from = s.from, to = s.to;
            s = Span{};
            f(y, row(y), from, to);
        }
    }

private:
    struct Span {
        int from = 0, to = 0;
    };
    GridCell* rowCells(int y) { return cells_.data() + static_cast<std::size_t>(order_[y]) * cols_; }
    // The columns up to which a row holds anything but plain cells.
    int& extent(int y) { return extents_[order_[y]]; }

    int cols_ = 0, rows_ = 0;
    std::vector<GridCell> cells_;  // storage rows of cols_ cells
    std::vector<int> order_;       // screen row -> storage row
    std::vector<int> extents_;     // per storage row
    std::vector<Span> spans_;      // per screen row: changed since copied out
    bool changed_ = false;
};

}  // namespace platform
