#include "editing/selection_move.h"

#include <algorithm>
#include <cstring>

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
  auto rowCells = [&](int64_t row) { return rows + static_cast<size_t>(row - firstRow) * width; };
  auto rowFlags = [&](int64_t row) { return flags.data() + static_cast<size_t>(row) * width; };

  // In place, rows (and, within one row, cells) taken in the direction of
  // the move: a target is always emptied of its own moving content before
  // anything lands on it, and a source is read before anything lands there.
  const Span columns = Kept(bounds.left, bounds.right, dx, grid.width);
  const int64_t rowStep = dy > 0 ? -1 : 1;
  const int64_t rowFrom = dy > 0 ? bounds.bottom : bounds.top;
  const int64_t rowEnd = dy > 0 ? int64_t{bounds.top} - 1 : int64_t{bounds.bottom} + 1;
  for (int64_t row = rowFrom; row != rowEnd; row += rowStep) {
    MapCell* source = rowCells(row);
    uint8_t* sourceFlags = rowFlags(row);
    const int64_t target = row + dy;
    const bool kept = target >= 0 && target < grid.height && columns.first <= columns.last;
    const auto blockWidth = static_cast<size_t>(bounds.right - bounds.left + 1);
    const bool whole = std::memchr(sourceFlags + bounds.left, 0, blockWidth) == nullptr;
    if (kept && dy != 0 && whole) {
      // A row selected all across the block (the usual rectangle) moves as a block.
      const auto count = static_cast<size_t>(columns.last - columns.first + 1);
      std::memcpy(rowCells(target) + columns.first + dx, source + columns.first,
                  count * sizeof(MapCell));
      std::memset(rowFlags(target) + columns.first + dx, 1, count);
      // What the row behind will put here in the same way need not be
      // emptied first: only the rest of the block's span is.
      int64_t coverFirst = 1;
      int64_t coverLast = 0;
      const int64_t behind = row - dy;
      if (behind >= bounds.top && behind <= bounds.bottom &&
          std::memchr(rowFlags(behind) + bounds.left, 0, blockWidth) == nullptr) {
        coverFirst = std::max<int64_t>(columns.first + dx, bounds.left);
        coverLast = std::min<int64_t>(columns.last + dx, bounds.right);
      }
      auto clear = [&](int64_t from, int64_t to) {
        if (from > to) return;
        const auto n = static_cast<size_t>(to - from + 1);
        std::memset(source + from, 0, n * sizeof(MapCell));
        std::memset(sourceFlags + from, 0, n);
      };
      if (coverFirst > coverLast) {
        clear(bounds.left, bounds.right);
      } else {
        clear(bounds.left, coverFirst - 1);
        clear(coverLast + 1, bounds.right);
      }
      continue;
    }
    if (kept && dy != 0) {
      // Another row: the whole kept span moves in one sweep, then the row empties.
      MapCell* out = rowCells(target) + dx;
      uint8_t* outFlags = rowFlags(target) + dx;
      for (auto x = static_cast<size_t>(columns.first); x <= static_cast<size_t>(columns.last);
           ++x) {
        const bool moved = sourceFlags[x] != 0;
        out[x] = moved ? source[x] : out[x];
        outFlags[x] = moved ? 1 : outFlags[x];
      }
    } else if (kept) {
      // Within the row: the cells that fall off empty first (another cell
      // may land on one), then the others move one by one.
      for (int64_t x = bounds.left; x <= bounds.right; ++x) {
        if ((x >= columns.first && x <= columns.last) || sourceFlags[x] == 0) continue;
        source[x] = 0;
        sourceFlags[x] = 0;
      }
      const int64_t step = dx > 0 ? -1 : 1;
      const int64_t from = dx > 0 ? columns.last : columns.first;
      const int64_t end = dx > 0 ? columns.first - 1 : columns.last + 1;
      for (int64_t x = from; x != end; x += step) {
        if (sourceFlags[x] == 0) continue;
        source[x + dx] = source[x];
        source[x] = 0;
        sourceFlags[x] = 0;
        sourceFlags[x + dx] = 1;
      }
      continue;
    }
    for (auto x = static_cast<size_t>(bounds.left); x <= static_cast<size_t>(bounds.right); ++x) {
      const MapCell keep = sourceFlags[x] != 0 ? 0u : ~MapCell{0};
      source[x] &= keep;
      sourceFlags[x] = 0;
    }
  }
  return true;
}

}  // namespace kelvor
