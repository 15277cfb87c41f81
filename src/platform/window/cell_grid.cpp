#include "platform/window/cell_grid.hpp"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace platform {

static_assert(std::is_trivially_copyable_v<GridCell>);

void CellGrid::resize(int cols, int rows) {
    cols = std::max(0, cols);
    rows = std::max(0, rows);
    std::vector<GridCell> cells(static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows));
    std::vector<int> extents(static_cast<std::size_t>(rows), 0);
    const int keepCols = std::min(cols, cols_), keepRows = std::min(rows, rows_);
    for (int y = 0; y < keepRows; ++y) {
        std::copy_n(row(y), keepCols, cells.data() + static_cast<std::size_t>(y) * cols);
        extents[y] = std::min(extent(y), cols);
    }
    cells_.swap(cells);
    extents_.swap(extents);
    cols_ = cols;
    rows_ = rows;
    order_.resize(static_cast<std::size_t>(rows));
    for (int y = 0; y < rows; ++y) order_[y] = y;
    spans_.assign(static_cast<std::size_t>(rows), Span{0, cols});
    changed_ = rows > 0 && cols > 0;
}

void CellGrid::clear() {
    std::fill(cells_.begin(), cells_.end(), GridCell{});
    std::fill(extents_.begin(), extents_.end(), 0);
    spans_.assign(static_cast<std::size_t>(rows_), Span{0, cols_});
    changed_ = rows_ > 0 && cols_ > 0;
}

void CellGrid::markChanged(int y, int from, int to) {
    if (y < 0 || y >= rows_) return;
    from = std::max(from, 0);
    to = std::min(to, cols_);
    if (from >= to) return;
    Span& s = spans_[y];
    if (s.from >= s.to) {
        s = Span{from, to};
    } else {
        s.from = std::min(s.from, from);
        s.to = std::max(s.to, to);
    }
    changed_ = true;
}

void CellGrid::put(int x, int y, const std::uint8_t* text, int count, Rgb fg, Rgb bg) {
    if (y < 0 || y >= rows_ || text == nullptr) return;
    int from = x, to = x + count;
    if (from < 0) {
        text -= from;
        from = 0;
    }
    to = std::min(to, cols_);
    if (from >= to) return;
    GridCell* cells = rowCells(y);
    for (int c = from; c < to; ++c) cells[c] = GridCell{*text++, false, fg, bg};
    extent(y) = std::max(extent(y), to);
    markChanged(y, from, to);
}

void CellGrid::fill(int left, int top, int right, int bottom, Rgb colour) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, cols_);
    bottom = std::min(bottom, rows_);
    if (left >= right) return;
    for (int y = top; y < bottom; ++y) {
        std::fill(rowCells(y) + left, rowCells(y) + right, GridCell{' ', false, colour, colour});
        extent(y) = std::max(extent(y), right);
        markChanged(y, left, right);
    }
}

void CellGrid::move(int left, int top, int right, int bottom, int dx, int dy) {
    // Clip the source to the grid, then the destination.
    if (left < 0) {
        dx -= left;
        left = 0;
    }
    if (top < 0) {
        dy -= top;
        top = 0;
    }
    right = std::min(right, cols_);
    bottom = std::min(bottom, rows_);
    if (dx < 0) {
        left -= dx;
        dx = 0;
    }
    if (dy < 0) {
        top -= dy;
        dy = 0;
    }
    const int w = std::min(right - left, cols_ - dx), h = std::min(bottom - top, rows_ - dy);
    if (w <= 0 || h <= 0) return;
    right = left + w;
    bottom = top + h;

    // Rows moved up by k (no more than their count) from the first column,
    // with nothing but plain cells right of the source in any row they
    // pass: the rows are turned, not copied.
    const int k = top - dy;
    bool turn = k > 0 && k <= h && left == 0 && dx == 0;
    for (int y = dy; turn && y < bottom; ++y) turn = extent(y) <= right;
    if (turn) {
        std::rotate(order_.begin() + dy, order_.begin() + top, order_.begin() + bottom);
        // The rows below the destination keep what they held, which the
        // turn has put k rows higher.
        for (int y = dy + h; y < bottom; ++y) {
            std::copy_n(rowCells(y - k), cols_, rowCells(y));
            extent(y) = extent(y - k);
        }
        for (int y = dy; y < dy + h; ++y) markChanged(y, 0, right);
        return;
    }
    auto copyRow = [&](int i) {
        const int sourceExtent = extent(top + i);
        std::memmove(static_cast<void*>(rowCells(dy + i) + dx), rowCells(top + i) + left,
                     static_cast<std::size_t>(w) * sizeof(GridCell));
        int& e = extent(dy + i);
        e = std::max(e, dx + std::clamp(sourceExtent - left, 0, w));
        markChanged(dy + i, dx, dx + w);
    };
    if (dy > top)
        for (int i = h - 1; i >= 0; --i) copyRow(i);
    else
        for (int i = 0; i < h; ++i) copyRow(i);
}

}  // namespace platform
