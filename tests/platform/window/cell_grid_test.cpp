// The backends' grid of cells: whatever way a move is made (turning whole
// rows or copying cells), it must leave what copying pixels would.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/window/cell_grid.hpp"

using platform::CellGrid;
using platform::GridCell;
using platform::Rgb;

namespace {

constexpr int cols = 12, rows = 6;

// Every row a different text; rows 2 and 5 reach the last column.
void fillGrid(CellGrid& g, std::vector<std::string>& model) {
    g.resize(cols, rows);
    g.clear();
    model.assign(rows, std::string(cols, '.'));
    for (int y = 0; y < rows; ++y) {
        const int length = (y == 2 || y == 5) ? cols : 4 + y;
        std::string text(static_cast<std::size_t>(length), static_cast<char>('a' + y));
        g.put(0, y, reinterpret_cast<const std::uint8_t*>(text.data()), length, Rgb{1, 2, 3}, Rgb{});
        model[y].replace(0, text.size(), text);
    }
}

std::vector<std::string> shown(const CellGrid& g) {
    std::vector<std::string> out;
    for (int y = 0; y < g.rows(); ++y) {
        std::string line;
        for (int x = 0; x < g.cols(); ++x) line += g.row(y)[x].plain ? '.' : static_cast<char>(g.row(y)[x].byte);
        out.push_back(line);
    }
    return out;
}

// The pixel copy, cell by cell, clipped like the grid's.
void modelMove(std::vector<std::string>& m, int left, int top, int right, int bottom, int dx, int dy) {
    const std::vector<std::string> before = m;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            const int tx = dx + x - left, ty = dy + y - top;
            if (x < 0 || y < 0 || x >= cols || y >= rows || tx < 0 || ty < 0 || tx >= cols || ty >= rows) continue;
            m[ty][tx] = before[y][x];
        }
}

TEST(CellGrid, MovesLeaveWhatCopyingPixelsWould) {
    struct Case {
        const char* name;
        int left, top, right, bottom, dx, dy;
    };
    const Case cases[] = {
        {"scroll up a line over all columns", 0, 1, cols, rows, 0, 0},
        {"scroll up two lines", 0, 2, cols, rows, 0, 0},
        {"the upper rows only", 0, 1, cols, 4, 0, 0},
        {"up, fewer columns than a row holds", 0, 1, 8, rows, 0, 0},
        {"up, as wide as the short rows it passes", 0, 4, 8, 5, 0, 3},
        {"up by two, the short rows' columns", 0, 3, 8, 5, 0, 1},
        {"down a line", 0, 0, cols, rows - 1, 0, 1},
        {"sideways", 2, 0, 9, rows, 0, 0},
        {"further than the rows moved", 0, 4, cols, rows, 0, 0},
        {"partly off the grid", -3, -1, 20, 3, 2, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CellGrid g;
        std::vector<std::string> model;
        fillGrid(g, model);
        g.takeChanged([](int, const GridCell*, int, int) {});
        g.move(c.left, c.top, c.right, c.bottom, c.dx, c.dy);
        modelMove(model, c.left, c.top, c.right, c.bottom, c.dx, c.dy);
        EXPECT_EQ(shown(g), model);
        // Every row that now differs from what was copied out is reported.
        std::vector<std::string> out = shown(g);
        std::vector<std::string> before;
        fillGrid(g, before);
        g.takeChanged([](int, const GridCell*, int, int) {});
        g.move(c.left, c.top, c.right, c.bottom, c.dx, c.dy);
        g.takeChanged([&](int y, const GridCell*, int from, int to) {
            for (int x = from; x < to; ++x) before[y][x] = out[y][x];
        });
        EXPECT_EQ(before, out) << "a changed cell was not reported";
        // A second move after the first comes out right too (rows turned
        // once stay in order).
        g.move(c.left, c.top, c.right, c.bottom, c.dx, c.dy);
        modelMove(model, c.left, c.top, c.right, c.bottom, c.dx, c.dy);
        EXPECT_EQ(shown(g), model);
    }
}

}  // namespace
