#include "editing/chip_match.h"

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

#include "editing/area_fill.h"

namespace kelvor {

namespace {

MapCell Replaced(MapCell cell, const ChipReplacement& r) {
  return WithChip(WithChip(cell, r.fromLevel, 0), r.toLevel, r.toChip);
}

bool Matches(MapCell cell, const ChipReplacement& r) {
  return CellChip(cell, r.fromLevel) == r.fromChip && Replaced(cell, r) != cell;
}

}  // namespace

int32_t ClickedLevel(MapCell cell, bool showLayer) {
  return showLayer && CellLayer(cell) != 0 ? LevelLayer : LevelBackground;
}

int64_t SelectAlike(const MapGrid& grid, int32_t level, int32_t column, int32_t row,
                    bool connected, std::vector<uint8_t>& flags) {
  if (!GridShapeHolds(grid) || !grid.Contains(column, row) || flags.size() != grid.CellCount()) {
    return 0;
  }
  if (level != LevelBackground && level != LevelLayer) return 0;
  const std::vector<MapCell>& cells = *grid.cells;
  const uint8_t chip = CellChip(grid.At(column, row), level);
  const int shift = level == LevelLayer ? 16 : 0;
  int64_t count = 0;
  if (!connected) {
    // Row by row with a narrow count, so the loop stays a plain vector loop.
    const auto width = static_cast<size_t>(grid.width);
    for (size_t start = 0; start < cells.size(); start += width) {
      const MapCell* in = cells.data() + start;
      uint8_t* out = flags.data() + start;
      uint32_t rowCount = 0;
      for (size_t x = 0; x < width; ++x) {
        const uint8_t alike = static_cast<uint8_t>(in[x] >> shift) == chip ? 1 : 0;
        out[x] = alike;
        rowCount += alike;
      }
      count += rowCount;
    }
    return count;
  }
  // The region is the one an area fill would cover: fill a plane of the
  // level's chips with another value and see which cells it reached.
  std::unique_ptr<uint8_t[]> plane(new (std::nothrow) uint8_t[cells.size()]);
  if (!plane) return 0;
  for (size_t i = 0; i < cells.size(); ++i) plane[i] = static_cast<uint8_t>(cells[i] >> shift);
  const auto marker = static_cast<uint8_t>(chip ^ 1);
  if (!FillPlane({plane.get(), cells.size()}, column, row, grid.width, grid.height, marker)) {
    return 0;
  }
  for (size_t i = 0; i < cells.size(); ++i) {
    const uint8_t alike = plane[i] != static_cast<uint8_t>(cells[i] >> shift) ? 1 : 0;
    flags[i] = alike;
    count += alike;
  }
  return count;
}

bool AnyReplaced(const MapGrid& grid, const ChipReplacement& replacement, const uint8_t* within) {
  if (!GridShapeHolds(grid)) return false;
  const std::vector<MapCell>& cells = *grid.cells;
  for (size_t i = 0; i < cells.size(); ++i) {
    if ((within == nullptr || within[i] != 0) && Matches(cells[i], replacement)) return true;
  }
  return false;
}

int64_t ReplaceChip(MapGrid& grid, const ChipReplacement& replacement, const uint8_t* within) {
  if (!GridShapeHolds(grid) || grid.width == 0) return 0;
  const auto width = static_cast<size_t>(grid.width);
  const MapCell* cells = std::as_const(grid).cells->data();
  // Branch-free per cell, so the row loops stay vector loops: a cell
  // matches when its chip is the old one and the new value differs.
  const int fromShift = replacement.fromLevel == LevelLayer ? 16 : 0;
  const int toShift = replacement.toLevel == LevelLayer ? 16 : 0;
  const MapCell keep = ~(MapCell{0xFF} << fromShift) & ~(MapCell{0xFF} << toShift);
  const MapCell keepOnly = ~(MapCell{0xFF} << toShift);
  const MapCell toBits = MapCell{replacement.toChip} << toShift;
  const bool sameLevel = fromShift == toShift;
  auto newValue = [&](MapCell cell) { return (cell & (sameLevel ? keepOnly : keep)) | toBits; };
  auto matches = [&](MapCell cell, size_t i, const uint8_t* inside) -> uint32_t {
    const bool chip = static_cast<uint8_t>(cell >> fromShift) == replacement.fromChip;
    const bool inPlace = inside == nullptr || inside[i] != 0;
    return (chip && inPlace && newValue(cell) != cell) ? 1u : 0u;
  };
  int64_t count = 0;
  for (int32_t row = 0; row < grid.height; ++row) {
    const size_t start = static_cast<size_t>(row) * width;
    const MapCell* line = cells + start;
    const uint8_t* inside = within ? within + start : nullptr;
    size_t first = 0;
    while (first < width && matches(line[first], first, inside) == 0) ++first;
    if (first == width) continue;
    // Only rows with a change are noted as written: the undo step keeps
    // just the pieces that changed.
    MapCell* out = grid.cells.WriteRows(row, 1, grid.width);
    uint32_t rowCount = 0;
    for (size_t x = first; x < width; ++x) {
      const uint32_t hit = matches(out[x], x, inside);
      out[x] = hit ? newValue(out[x]) : out[x];
      rowCount += hit;
    }
    count += rowCount;
  }
  return count;
}

}  // namespace kelvor
