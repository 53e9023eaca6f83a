#include "editing/selection_move.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "editing/area_fill.h"

namespace kelvor {

namespace {

bool FlagsFit(const MapGrid& grid, const std::vector<uint8_t>& flags) {
  return GridShapeHolds(grid) && flags.size() == grid.CellCount();
}

// Whether any byte of [from, from + count) is nonzero, a word at a time.
bool AnySet(const uint8_t* from, size_t count) {
  size_t i = 0;
  uint64_t any = 0;
  for (; i + 32 <= count; i += 32) {
    uint64_t words[4];
    std::memcpy(words, from + i, sizeof words);
    any = words[0] | words[1] | words[2] | words[3];
    if (any != 0) return true;
  }
  for (; i < count; ++i) {
    if (from[i] != 0) return true;
  }
  return false;
}

// The part of `bounds` moved by (dx, dy) that stays on the map, in source
// coordinates; empty (first > last) when none does.
struct Span {
  int64_t first;
  int64_t last;
};
Span Kept(int32_t first, int32_t last, int32_t delta, int32_t size) {
  return {std::max<int64_t>(first, -int64_t{delta}),
          std::min<int64_t>(last, int64_t{size} - 1 - delta)};
}

}  // namespace

SelectionRect SelectedBounds(const MapGrid& grid, const std::vector<uint8_t>& flags) {
  SelectionRect bounds;
  if (!FlagsFit(grid, flags) || grid.width == 0) return bounds;
  const auto width = static_cast<size_t>(grid.width);
  int32_t left = grid.width;
  int32_t right = -1;
  for (int32_t row = 0; row < grid.height; ++row) {
    const uint8_t* line = flags.data() + static_cast<size_t>(row) * width;
    if (!AnySet(line, width)) continue;
    if (bounds.top < 0) bounds.top = row;
    bounds.bottom = row;
    // Only the ends of a row outside the box found so far need a look.
    int32_t first = 0;
    while (first < left && line[first] == 0) ++first;
    left = std::min(left, first);
    int32_t last = grid.width - 1;
    while (last > right && line[last] == 0) --last;
    right = std::max(right, last);
  }
  if (bounds.top < 0) return SelectionRect{};
  bounds.left = left;
  bounds.right = right;
  return bounds;
}

int64_t CellsPushedOff(const MapGrid& grid, const std::vector<uint8_t>& flags,
                       const SelectionRect& bounds, int32_t dx, int32_t dy) {
  if (!FlagsFit(grid, flags) || !bounds.Valid()) return 0;
  const Span columns = Kept(bounds.left, bounds.right, dx, grid.width);
  const Span rows = Kept(bounds.top, bounds.bottom, dy, grid.height);
  const auto width = static_cast<size_t>(grid.width);
  int64_t dropped = 0;
  for (int32_t row = bounds.top; row <= bounds.bottom; ++row) {
    const uint8_t* line = flags.data() + static_cast<size_t>(row) * width;
    const bool rowKept = row >= rows.first && row <= rows.last;
    for (int32_t column = bounds.left; column <= bounds.right; ++column) {
      if (line[column] == 0) continue;
      if (!rowKept || column < columns.first || column > columns.last) ++dropped;
    }
  }
  return dropped;
}

bool MoveSelectedCells(MapGrid& grid, std::vector<uint8_t>& flags, const SelectionRect& bounds,
                       int32_t dx, int32_t dy) {
  if (!FlagsFit(grid, flags)) return false;
  if (!bounds.Valid() || bounds.right >= grid.width || bounds.bottom >= grid.height) return false;
  if (dx == 0 && dy == 0) return true;
  const auto width = static_cast<size_t>(grid.width);
  const auto blockWidth = static_cast<size_t>(bounds.right - bounds.left + 1);
  const auto blockHeight = static_cast<size_t>(bounds.bottom - bounds.top + 1);
  // The block is taken aside first, so overlapping source and target need
  // no particular order.
  std::unique_ptr<MapCell[]> cells(new (std::nothrow) MapCell[blockWidth * blockHeight]);
  std::unique_ptr<uint8_t[]> mask(new (std::nothrow) uint8_t[blockWidth * blockHeight]);
  if (!cells || !mask) return false;
  const MapCell* source = std::as_const(grid).cells->data();
  for (size_t i = 0; i < blockHeight; ++i) {
    const size_t from = (static_cast<size_t>(bounds.top) + i) * width + bounds.left;
    std::memcpy(cells.get() + i * blockWidth, source + from, blockWidth * sizeof(MapCell));
    std::memcpy(mask.get() + i * blockWidth, flags.data() + from, blockWidth);
  }

  // Rows the move writes: the source rows and the target rows on the map.
  const int64_t targetTop = std::max<int64_t>(int64_t{bounds.top} + dy, 0);
  const int64_t targetBottom = std::min<int64_t>(int64_t{bounds.bottom} + dy, grid.height - 1);
  int64_t firstRow = bounds.top;
  int64_t lastRow = bounds.bottom;
  if (targetTop <= targetBottom) {
    firstRow = std::min(firstRow, targetTop);
    lastRow = std::max(lastRow, targetBottom);
  }
  MapCell* rows = grid.cells.WriteRows(static_cast<int32_t>(firstRow),
                                       static_cast<int32_t>(lastRow - firstRow + 1), grid.width);
  auto cellAt = [&](int64_t column, int64_t row) -> MapCell& {
    return rows[static_cast<size_t>(row - firstRow) * width + static_cast<size_t>(column)];
  };

  for (size_t i = 0; i < blockHeight; ++i) {
    const size_t row = static_cast<size_t>(bounds.top) + i;
    const uint8_t* line = mask.get() + i * blockWidth;
    for (size_t j = 0; j < blockWidth; ++j) {
      if (line[j] == 0) continue;
      const size_t column = static_cast<size_t>(bounds.left) + j;
      cellAt(static_cast<int64_t>(column), static_cast<int64_t>(row)) = 0;
      flags[row * width + column] = 0;
    }
  }
  const Span columns = Kept(bounds.left, bounds.right, dx, grid.width);
  for (size_t i = 0; i < blockHeight; ++i) {
    const int64_t row = int64_t{bounds.top} + static_cast<int64_t>(i) + dy;
    if (row < 0 || row >= grid.height) continue;
    const uint8_t* line = mask.get() + i * blockWidth;
    const MapCell* values = cells.get() + i * blockWidth;
    for (int64_t column = columns.first; column <= columns.last; ++column) {
      const auto j = static_cast<size_t>(column - bounds.left);
      if (line[j] == 0) continue;
      const int64_t target = column + dx;
      cellAt(target, row) = values[j];
      flags[static_cast<size_t>(row) * width + static_cast<size_t>(target)] = 1;
    }
  }
  return true;
}

}  // namespace kelvor
