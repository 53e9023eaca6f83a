#include "editing/stamp_pattern.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "editing/area_fill.h"
#include "editing/chip_registration.h"

namespace kelvor {

namespace {

uint8_t ChipOf(const PlacementItem& item) {
  return static_cast<uint8_t>(SlotOfTablePosition(item.tableColumn, item.tableRow));
}

bool UsableLevel(int32_t level) {
  return level == LevelBackground || level == LevelLayer;
}

MapCell WithItem(MapCell cell, const PlacementItem& item) {
  return WithChip(cell, item.level, ChipOf(item));
}

}  // namespace

std::vector<int32_t> RegisteredItems(const MapEditState& edit) {
  std::vector<int32_t> items;
  const int32_t count = std::clamp(edit.placementCount, 0, MaxPlacementItems);
  for (int32_t i = 0; i < count; ++i) {
    const PlacementItem& item = edit.placement[static_cast<size_t>(i)];
    if (item.tableColumn >= 0 && item.tableRow >= 0 && UsableLevel(item.level)) items.push_back(i);
  }
  return items;
}

uint32_t PickUniform(std::mt19937& random, uint32_t count) {
  if (count <= 1) return 0;
  const uint32_t limit = std::numeric_limits<uint32_t>::max() -
                         (std::numeric_limits<uint32_t>::max() % count + 1) % count;
  uint32_t value = 0;
  do {
    value = static_cast<uint32_t>(random());
  } while (value > limit);
  return value % count;
}

void StampRectangle(MapGrid& grid, const MapEditState& edit, const SelectionRect& rect,
                    std::mt19937* random) {
  if (!GridShapeHolds(grid) || !rect.Valid()) return;
  const std::vector<int32_t> items = RegisteredItems(edit);
  if (items.empty()) return;
  const int32_t right = std::min(rect.right, grid.width - 1);
  const int32_t bottom = std::min(rect.bottom, grid.height - 1);
  if (rect.left > right || rect.top > bottom) return;

  // The arrangement as a table over its bounding box: which item (or none)
  // each position of the pattern holds.
  // (Chips whose registration failed keep their place in it.)
  int32_t patternWidth = 1;
  int32_t patternHeight = 1;
  for (int32_t i = 0; i < std::clamp(edit.placementCount, 0, MaxPlacementItems); ++i) {
    const PlacementItem& item = edit.placement[static_cast<size_t>(i)];
    patternWidth = std::max(patternWidth, item.sheetColumn - edit.originColumn + 1);
    patternHeight = std::max(patternHeight, item.sheetRow - edit.originRow + 1);
  }
  std::vector<int32_t> pattern;
  if (random == nullptr) {
    pattern.assign(static_cast<size_t>(patternWidth) * static_cast<size_t>(patternHeight), -1);
    for (int32_t i : items) {
      const PlacementItem& item = edit.placement[static_cast<size_t>(i)];
      const int32_t x = item.sheetColumn - edit.originColumn;
      const int32_t y = item.sheetRow - edit.originRow;
      if (x < 0 || y < 0) continue;
      pattern[static_cast<size_t>(y) * static_cast<size_t>(patternWidth) + x] = i;
    }
  }

  const auto width = static_cast<size_t>(grid.width);
  MapCell* rows = grid.cells.WriteRows(rect.top, bottom - rect.top + 1, grid.width);
  for (int32_t row = rect.top; row <= bottom; ++row) {
    MapCell* line = rows + static_cast<size_t>(row - rect.top) * width;
    const auto y = static_cast<size_t>((row - rect.top) % patternHeight);
    for (int32_t column = rect.left; column <= right; ++column) {
      int32_t index;
      if (random) {
        index = items[PickUniform(*random, static_cast<uint32_t>(items.size()))];
      } else {
        index = pattern[y * static_cast<size_t>(patternWidth) +
                        static_cast<size_t>((column - rect.left) % patternWidth)];
        if (index < 0) continue;
      }
      line[column] = WithItem(line[column], edit.placement[static_cast<size_t>(index)]);
    }
  }
}

void PlaceRandomChip(MapGrid& grid, const MapEditState& edit, int32_t column, int32_t row,
                     std::mt19937& random) {
  if (!GridShapeHolds(grid) || !grid.Contains(column, row)) return;
  const std::vector<int32_t> items = RegisteredItems(edit);
  if (items.empty()) return;
  auto pick = [&]() -> const PlacementItem& {
    return edit.placement[static_cast<size_t>(
        items[PickUniform(random, static_cast<uint32_t>(items.size()))])];
  };
  if (!edit.fillMode) {
    MapCell& cell = grid.At(column, row);
    cell = WithItem(cell, pick());
    return;
  }
  const int32_t level = edit.placement[static_cast<size_t>(items.front())].level;
  const std::vector<MapCell>& cells = *std::as_const(grid).cells;
  const int shift = level == LevelLayer ? 16 : 0;
  std::unique_ptr<uint8_t[]> plane(new (std::nothrow) uint8_t[cells.size()]);
  if (!plane) return;
  for (size_t i = 0; i < cells.size(); ++i) plane[i] = static_cast<uint8_t>(cells[i] >> shift);
  const uint8_t old = plane[static_cast<size_t>(row) * static_cast<size_t>(grid.width) + column];
  const auto marker = static_cast<uint8_t>(old ^ 1);
  if (!FillPlane({plane.get(), cells.size()}, column, row, grid.width, grid.height, marker)) return;
  const auto width = static_cast<size_t>(grid.width);
  for (int32_t y = 0; y < grid.height; ++y) {
    const uint8_t* line = plane.get() + static_cast<size_t>(y) * width;
    const MapCell* before = cells.data() + static_cast<size_t>(y) * width;
    size_t x = 0;
    while (x < width && line[x] == static_cast<uint8_t>(before[x] >> shift)) ++x;
    if (x == width) continue;
    MapCell* out = grid.cells.WriteRows(y, 1, grid.width);
    for (; x < width; ++x) {
      if (line[x] != static_cast<uint8_t>(out[x] >> shift)) out[x] = WithItem(out[x], pick());
    }
  }
}

}  // namespace kelvor
