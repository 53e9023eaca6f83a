#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>

#include "document/map_document.h"

namespace kelvor {

// What one fill needed, for tests and measurements.
struct FillStats {
  bool stackAllocated = false;  // false when there was nothing to fill
  size_t peakEntries = 0;       // most pending runs held at once
  int32_t firstRow = 0;         // the rows between which cells were filled
  int32_t lastRow = -1;
};

// Sets every cell of the 4-connected region of equal values around
// (column, row) to `value`, on a row-major plane of width x height bytes.
// Scanline fill with an explicit stack holding one entry per pending run.
// False when the arguments do not describe a cell of the plane or when the
// stack could not grow (the plane then holds a partial result).
bool FillPlane(std::span<uint8_t> plane, int32_t column, int32_t row, int32_t width, int32_t height,
               uint8_t value, FillStats* stats = nullptr);

// The same on a plane whose rows lie `stride` bytes apart (stride >= width).
bool FillRows(std::span<uint8_t> plane, size_t stride, int32_t column, int32_t row, int32_t width,
              int32_t height, uint8_t value, FillStats* stats = nullptr);

// True when the grid exists and holds exactly width x height cells. Every
// tool checks it before computing cell positions from the two sizes.
bool GridShapeHolds(const MapGrid& grid);

// Fills the region of equal chip indices around (column, row) on one level
// (LevelBackground or LevelLayer) with `chip`. Flags, the other level and
// bits 24-31 never change. Nothing happens without a grid, outside it, or
// when memory runs out (the grid is then left as it was).
void AreaFill(MapGrid& grid, int32_t level, int32_t column, int32_t row, uint8_t chip);

// Several area fills in a row on one grid, as stamping many marked chips in
// area-fill mode does: each level's working plane is made once and written
// back once by Commit, with the result of the same AreaFill calls in the same
// order. The grid must not change otherwise until Commit. When memory runs
// out, Commit leaves the grid as it was; without Commit nothing changes.
class AreaFillBatch {
 public:
  explicit AreaFillBatch(MapGrid& grid);
  ~AreaFillBatch();
  AreaFillBatch(const AreaFillBatch&) = delete;
  AreaFillBatch& operator=(const AreaFillBatch&) = delete;

  void Fill(int32_t level, int32_t column, int32_t row, uint8_t chip);
  void Commit();

 private:
  struct Plane {
    std::unique_ptr<uint8_t[]> bytes;  // one chip index per cell, rows `stride_` apart
    int32_t firstRow = std::numeric_limits<int32_t>::max();  // rows any fill reached
    int32_t lastRow = -1;
  };
  Plane* PlaneOf(int32_t level);

  MapGrid& grid_;
  size_t stride_ = 0;
  std::array<Plane, 2> planes_;
  bool failed_ = false;
};

}  // namespace kelvor
