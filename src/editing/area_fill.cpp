#include "editing/area_fill.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace kelvor {

namespace {

// A pending run: a cell of it, the direction it was found in (down from its
// parent row, or up) and the parent run's extent. The parent row needs no
// second look where the parent run lies: those cells were just filled. Each
// half is one 64-bit value, so a seed is read back exactly as it was stored.
struct Seed {
  uint64_t cell;    // column | row << 32 | up << 63
  uint64_t parent;  // left | right << 32; left > right: no parent
};

Seed MakeSeed(int32_t column, int32_t row, bool up, int32_t parentLeft, int32_t parentRight) {
  return {static_cast<uint32_t>(column) | (static_cast<uint64_t>(row) << 32) |
              (static_cast<uint64_t>(up) << 63),
          static_cast<uint32_t>(parentLeft) |
              (static_cast<uint64_t>(static_cast<uint32_t>(parentRight)) << 32)};
}

constexpr uint64_t Broadcast(uint8_t value) {
  return 0x0101010101010101ull * value;
}

uint64_t Load64(const uint8_t* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// Runs are scanned a word at a time: a whole-map fill looks at every row
// three times. Narrow runs (corridors) are settled by the first bytes, so
// those are looked at before any word is loaded or any library call made.
int32_t FirstNotEqual(const uint8_t* line, int32_t from, int32_t end, uint8_t value) {
  int32_t i = from;
  for (const int32_t quick = std::min(end, from + 8); i < quick; ++i) {
    if (line[i] != value) return i;
  }
  if constexpr (std::endian::native == std::endian::little) {
    const uint64_t pattern = Broadcast(value);
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
  int32_t i = from;  // line[i..from] all equal value
  for (const int32_t quick = std::max(0, from - 8); i > quick; --i) {
    if (line[i - 1] != value) return i;
  }
  if constexpr (std::endian::native == std::endian::little) {
    const uint64_t pattern = Broadcast(value);
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
  if (end - from <= 16) {
    while (from < end && line[from] != value) ++from;
    return from;
  }
  const void* hit = std::memchr(line + from, value, static_cast<size_t>(end - from));
  return hit ? static_cast<int32_t>(static_cast<const uint8_t*>(hit) - line) : end;
}

void SetRun(uint8_t* line, int32_t left, int32_t right, uint8_t value) {
  if (right - left < 16) {
    for (int32_t i = left; i <= right; ++i) line[i] = value;
  } else {
    std::memset(line + left, value, static_cast<size_t>(right - left + 1));
  }
}

// A narrow run is likely part of a vertical corridor, which visits one row
// after another: each step would wait for memory, so a row a few steps ahead
// is requested early.
constexpr int32_t kPrefetchRows = 8;
constexpr int32_t kWalkPrefetchRows = 16;

void PrefetchAhead(const uint8_t* cells, size_t stride, int32_t column, int32_t ahead, bool up,
                   int32_t height) {
#if defined(__GNUC__) || defined(__clang__)
  const int32_t row = up ? ahead - kPrefetchRows : ahead + kPrefetchRows;
  if (row >= 0 && row < height) {
    __builtin_prefetch(cells + static_cast<size_t>(row) * stride + static_cast<size_t>(column), 1);
  }
#else
  (void)cells, (void)stride, (void)column, (void)ahead, (void)up, (void)height;
#endif
}

// Follows a one-cell-wide corridor from its filled cell (column, row) in the
// direction `up` for as long as it stays one cell wide. Such a cell needs no
// look at the row it came from (that is its parent, just filled) and its run
// is the cell alone, so the stack is not needed; where the corridor widens,
// the cell is left to the general scan as a seed. Returns the last row filled.
int32_t WalkCorridor(std::vector<Seed>& stack, uint8_t* cells, size_t stride, int32_t width,
                     int32_t height, int32_t column, int32_t row, bool up, uint8_t old,
                     uint8_t value) {
  const ptrdiff_t step = up ? -static_cast<ptrdiff_t>(stride) : static_cast<ptrdiff_t>(stride);
  const int32_t rowStep = up ? -1 : 1;
  uint8_t* at = cells + static_cast<size_t>(row) * stride + static_cast<size_t>(column);
  const bool hasLeft = column > 0;
  const bool hasRight = column + 1 < width;
  for (int32_t next = row + rowStep; next >= 0 && next < height; next += rowStep) {
    uint8_t* nextAt = at + step;
    if (*nextAt != old) return next - rowStep;
    if ((hasLeft && nextAt[-1] == old) || (hasRight && nextAt[1] == old)) {
      stack.push_back(MakeSeed(column, next, up, column, column));
      return next - rowStep;
    }
    *nextAt = value;
#if defined(__GNUC__) || defined(__clang__)
    const int32_t ahead = next + rowStep * kWalkPrefetchRows;
    if (ahead >= 0 && ahead < height) __builtin_prefetch(nextAt + step * kWalkPrefetchRows, 1);
#endif
    at = nextAt;
  }
  return up ? 0 : height - 1;
}

// One seed per run of `old` cells within [left, right] of a neighbouring
// row, at the run's leftmost cell in that range.
void PushRuns(std::vector<Seed>& stack, const uint8_t* line, int32_t row, bool up, int32_t left,
              int32_t right, int32_t parentLeft, int32_t parentRight, uint8_t old) {
  const int32_t end = right + 1;
  if (end - left <= 16) {
    bool inRun = false;
    for (int32_t i = left; i < end; ++i) {
      const bool equal = line[i] == old;
      if (equal && !inRun) stack.push_back(MakeSeed(i, row, up, parentLeft, parentRight));
      inRun = equal;
    }
    return;
  }
  int32_t i = FirstEqual(line, left, end, old);
  while (i < end) {
    stack.push_back(MakeSeed(i, row, up, parentLeft, parentRight));
    i = FirstNotEqual(line, i, end, old);
    i = FirstEqual(line, i, end, old);
  }
}

}  // namespace

bool FillPlane(std::span<uint8_t> plane, int32_t column, int32_t row, int32_t width, int32_t height,
               uint8_t value, FillStats* stats) {
  return FillRows(plane, static_cast<size_t>(std::max(width, 0)), column, row, width, height, value,
                  stats);
}

bool FillRows(std::span<uint8_t> plane, size_t stride, int32_t column, int32_t row, int32_t width,
              int32_t height, uint8_t value, FillStats* stats) {
  if (width <= 0 || height <= 0 || column < 0 || row < 0 || column >= width || row >= height) {
    return false;
  }
  if (stride < static_cast<size_t>(width)) return false;
  // The last row needs only `width` bytes.
  if ((plane.size() - static_cast<size_t>(width)) / stride < static_cast<size_t>(height - 1) ||
      plane.size() < static_cast<size_t>(width)) {
    return false;
  }
  uint8_t* cells = plane.data();
  const uint8_t old = cells[static_cast<size_t>(column) + static_cast<size_t>(row) * stride];
  if (old == value) return true;

  std::vector<Seed> stack;
  size_t peak = 1;
  int32_t firstRow = row;
  int32_t lastRow = row;
  bool complete = true;
  try {
    stack.reserve(1024);
    if (stats) stats->stackAllocated = true;
    stack.push_back(MakeSeed(column, row, false, 1, 0));
    while (!stack.empty()) {
      const Seed seed = stack.back();
      stack.pop_back();
      const auto x = static_cast<int32_t>(static_cast<uint32_t>(seed.cell));
      const auto y = static_cast<int32_t>((seed.cell >> 32) & 0x7FFFFFFF);
      const bool up = (seed.cell >> 63) != 0;
      const auto parentLeft = static_cast<int32_t>(static_cast<uint32_t>(seed.parent));
      const auto parentRight = static_cast<int32_t>(static_cast<uint32_t>(seed.parent >> 32));
      uint8_t* line = cells + static_cast<size_t>(y) * stride;
      // Another run may have reached this seed since it was pushed.
      if (line[x] != old) continue;
      const int32_t left = RunStart(line, x, old);
      const int32_t right = FirstNotEqual(line, x, width, old) - 1;
      SetRun(line, left, right, value);
      firstRow = std::min(firstRow, y);
      lastRow = std::max(lastRow, y);

      if (left == right && parentLeft <= x && x <= parentRight) {
        const int32_t end = WalkCorridor(stack, cells, stride, width, height, x, y, up, old, value);
        firstRow = std::min(firstRow, end);
        lastRow = std::max(lastRow, end);
        continue;
      }
      // On through the row ahead, then back over the parent row beside the parent run.
      const int32_t ahead = up ? y - 1 : y + 1;
      const int32_t back = up ? y + 1 : y - 1;
      if (ahead >= 0 && ahead < height) {
        if (right - left < 16) PrefetchAhead(cells, stride, left, ahead, up, height);
        PushRuns(stack, cells + static_cast<size_t>(ahead) * stride, ahead, up, left, right, left,
                 right, old);
      }
      if (back >= 0 && back < height) {
        const uint8_t* backLine = cells + static_cast<size_t>(back) * stride;
        if (parentLeft > parentRight) {
          PushRuns(stack, backLine, back, !up, left, right, left, right, old);
        } else {
          if (left < parentLeft) {
            PushRuns(stack, backLine, back, !up, left, std::min(right, parentLeft - 1), left, right,
                     old);
          }
          if (right > parentRight) {
            PushRuns(stack, backLine, back, !up, std::max(left, parentRight + 1), right, left,
                     right, old);
          }
        }
      }
      peak = std::max(peak, stack.size());
    }
  } catch (const std::bad_alloc&) {
    complete = false;
  }
  if (stats) {
    stats->peakEntries = std::max(stats->peakEntries, peak);
    stats->firstRow = firstRow;
    stats->lastRow = lastRow;
  }
  return complete;
}

bool GridShapeHolds(const MapGrid& grid) {
  return grid.Exists() && grid.width >= 0 && grid.height >= 0 &&
         static_cast<uint64_t>(grid.width) * static_cast<uint64_t>(grid.height) == grid.CellCount();
}

AreaFillBatch::AreaFillBatch(MapGrid& grid) : grid_(grid) {
  if (!GridShapeHolds(grid)) return;
  // The planes' rows are padded to an odd number of cache lines: with rows a
  // power of two apart, a walk down a column keeps hitting the same few cache
  // sets and runs several times slower.
  stride_ = (static_cast<size_t>(grid.width) + 63) / 64 * 64;
  if ((stride_ / 64) % 2 == 0) stride_ += 64;
}

AreaFillBatch::~AreaFillBatch() = default;

AreaFillBatch::Plane* AreaFillBatch::PlaneOf(int32_t level) {
  Plane& plane = planes_[static_cast<size_t>(level)];
  if (plane.bytes) return &plane;
  const auto width = static_cast<size_t>(grid_.width);
  const auto height = static_cast<size_t>(grid_.height);
  // Every byte of a row is written before it is read, so the plane is not zeroed first.
  plane.bytes.reset(new (std::nothrow) uint8_t[stride_ * height]);
  if (!plane.bytes) return nullptr;
  const int shift = level == LevelLayer ? 16 : 0;
  for (size_t y = 0; y < height; ++y) {
    const MapCell* source = std::as_const(grid_).cells->data() + y * width;
    uint8_t* target = plane.bytes.get() + y * stride_;
    for (size_t x = 0; x < width; ++x) target[x] = static_cast<uint8_t>(source[x] >> shift);
  }
  return &plane;
}

void AreaFillBatch::Fill(int32_t level, int32_t column, int32_t row, uint8_t chip) {
  if (failed_ || stride_ == 0 || !GridShapeHolds(grid_) || !grid_.Contains(column, row)) return;
  if (level != LevelBackground && level != LevelLayer) return;
  const Plane* existing = &planes_[static_cast<size_t>(level)];
  if (!existing->bytes) {
    // Until a plane exists the grid tells the value, and a fill that changes
    // nothing needs no plane.
    if (CellChip(std::as_const(grid_).At(column, row), level) == chip) return;
  }
  Plane* plane = PlaneOf(level);
  if (!plane) {
    failed_ = true;
    return;
  }
  const size_t size = stride_ * static_cast<size_t>(grid_.height);
  FillStats stats;
  if (!FillRows({plane->bytes.get(), size}, stride_, column, row, grid_.width, grid_.height, chip,
                &stats)) {
    failed_ = true;
    return;
  }
  if (stats.firstRow <= stats.lastRow) {
    plane->firstRow = std::min(plane->firstRow, stats.firstRow);
    plane->lastRow = std::max(plane->lastRow, stats.lastRow);
  }
}

void AreaFillBatch::Commit() {
  if (!failed_ && GridShapeHolds(grid_)) {
    const auto width = static_cast<size_t>(grid_.width);
    for (int32_t level : {LevelBackground, LevelLayer}) {
      const Plane& plane = planes_[static_cast<size_t>(level)];
      if (!plane.bytes || plane.firstRow > plane.lastRow) continue;
      const int shift = level == LevelLayer ? 16 : 0;
      const MapCell keep = ~(static_cast<MapCell>(0xFF) << shift);
      // Rows no fill reached hold their own values: only the others go back.
      const auto lastRow = static_cast<size_t>(plane.lastRow);
      MapCell* rows =
          grid_.cells.WriteRows(plane.firstRow, plane.lastRow - plane.firstRow + 1, grid_.width);
      for (auto y = static_cast<size_t>(plane.firstRow); y <= lastRow; ++y) {
        MapCell* out = rows + (y - static_cast<size_t>(plane.firstRow)) * width;
        const uint8_t* source = plane.bytes.get() + y * stride_;
        for (size_t x = 0; x < width; ++x) {
          out[x] = (out[x] & keep) | (static_cast<MapCell>(source[x]) << shift);
        }
      }
    }
  }
  planes_ = {};
  failed_ = false;
}

void AreaFill(MapGrid& grid, int32_t level, int32_t column, int32_t row, uint8_t chip) {
  AreaFillBatch batch(grid);
  batch.Fill(level, column, row, chip);
  batch.Commit();
}

}  // namespace kelvor
