#include "editing/area_fill.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <vector>

namespace kelvor {

namespace {

struct Seed {
  int32_t column;
  int32_t row;
};

constexpr uint64_t Broadcast(uint8_t value) {
  return 0x0101010101010101ull * value;
}

uint64_t Load64(const uint8_t* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// Runs are scanned a word at a time: a whole-map fill looks at every row
// three times, so this matters.
int32_t FirstNotEqual(const uint8_t* line, int32_t from, int32_t end, uint8_t value) {
  const uint64_t pattern = Broadcast(value);
  int32_t i = from;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= end; i += 8) {
      const uint64_t diff = Load64(line + i) ^ pattern;
      if (diff != 0) return i + std::countr_zero(diff) / 8;
    }
  }
  while (i < end && line[i] == value) ++i;
  return i;
}

// The leftmost index of the run of `value` that ends at `from` (line[from] == value).
int32_t RunStart(const uint8_t* line, int32_t from, uint8_t value) {
  const uint64_t pattern = Broadcast(value);
  int32_t i = from;  // line[i..from] all equal value
  if constexpr (std::endian::native == std::endian::little) {
    while (i >= 8) {
      const uint64_t diff = Load64(line + i - 8) ^ pattern;
      if (diff != 0) return i - std::countl_zero(diff) / 8;
      i -= 8;
    }
  }
  while (i > 0 && line[i - 1] == value) --i;
  return i;
}

int32_t FirstEqual(const uint8_t* line, int32_t from, int32_t end, uint8_t value) {
  if (from >= end) return end;
  const void* hit = std::memchr(line + from, value, static_cast<size_t>(end - from));
  return hit ? static_cast<int32_t>(static_cast<const uint8_t*>(hit) - line) : end;
}

// One seed per run of `old` cells within [left, right] of a neighbouring row.
void PushRuns(std::vector<Seed>& stack, const uint8_t* line, int32_t row, int32_t left,
              int32_t right, uint8_t old) {
  const int32_t end = right + 1;
  int32_t i = FirstEqual(line, left, end, old);
  while (i < end) {
    stack.push_back({i, row});
    i = FirstNotEqual(line, i, end, old);
    i = FirstEqual(line, i, end, old);
  }
}

}  // namespace

bool FillPlane(std::span<uint8_t> plane, int32_t column, int32_t row, int32_t width, int32_t height,
               uint8_t value, FillStats* stats) {
  if (width <= 0 || height <= 0 || column < 0 || row < 0 || column >= width || row >= height) {
    return false;
  }
  const auto stride = static_cast<size_t>(width);
  if (plane.size() / stride < static_cast<size_t>(height)) return false;
  uint8_t* cells = plane.data();
  const uint8_t old = cells[static_cast<size_t>(column) + static_cast<size_t>(row) * stride];
  if (old == value) return true;

  std::vector<Seed> stack;
  size_t peak = 1;
  bool complete = true;
  try {
    stack.reserve(1024);
    if (stats) stats->stackAllocated = true;
    stack.push_back({column, row});
    while (!stack.empty()) {
      const Seed seed = stack.back();
      stack.pop_back();
      uint8_t* line = cells + static_cast<size_t>(seed.row) * stride;
      // Another run may have reached this seed since it was pushed.
      if (line[seed.column] != old) continue;
      const int32_t left = RunStart(line, seed.column, old);
      const int32_t right = FirstNotEqual(line, seed.column, width, old) - 1;
      std::memset(line + left, value, static_cast<size_t>(right - left + 1));
      if (seed.row > 0) PushRuns(stack, line - stride, seed.row - 1, left, right, old);
      if (seed.row < height - 1) PushRuns(stack, line + stride, seed.row + 1, left, right, old);
      peak = std::max(peak, stack.size());
    }
  } catch (const std::bad_alloc&) {
    complete = false;
  }
  if (stats) stats->peakEntries = std::max(stats->peakEntries, peak);
  return complete;
}

void AreaFill(MapGrid& grid, int32_t level, int32_t column, int32_t row, uint8_t chip) {
  if (!grid.Contains(column, row) || (level != LevelBackground && level != LevelLayer)) return;
  std::vector<MapCell>& cells = *grid.cells;
  const int shift = level == LevelLayer ? 16 : 0;
  const MapCell keep = ~(static_cast<MapCell>(0xFF) << shift);
  if (static_cast<uint8_t>(grid.At(column, row) >> shift) == chip) return;

  std::vector<uint8_t> plane;
  try {
    plane.resize(cells.size());
  } catch (const std::bad_alloc&) {
    return;
  }
  const size_t count = cells.size();
  const MapCell* source = cells.data();
  uint8_t* target = plane.data();
  for (size_t i = 0; i < count; ++i) target[i] = static_cast<uint8_t>(source[i] >> shift);

  if (!FillPlane(plane, column, row, grid.width, grid.height, chip)) return;

  MapCell* out = cells.data();
  for (size_t i = 0; i < count; ++i) {
    out[i] = (out[i] & keep) | (static_cast<MapCell>(target[i]) << shift);
  }
}

}  // namespace kelvor
