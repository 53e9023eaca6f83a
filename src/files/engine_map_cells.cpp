#include "files/engine_map_cells.h"

#include <algorithm>
#include <bit>
#include <string>

#include "base/parallel.h"

namespace kelvor {
namespace {

constexpr uint32_t FlipBits = 0xF0000000u;
// Gids below this are looked up by flat tables, and those below SetGids
// gathered by bit sets.
constexpr uint32_t FlatGids = 1u << 20;
constexpr uint32_t SetGids = 1u << 16;
// The cells one task scans, and the rows one task paints.
constexpr size_t ScanPiece = size_t{1} << 20;
constexpr int64_t PaintRows = 32;

// A stretch of one chunk's gids, scanned by one task.
struct GidRange {
  size_t layer = 0;
  const uint32_t* begin = nullptr;
  const uint32_t* end = nullptr;
};

std::vector<GidRange> GidRanges(const EngineMapSource& map) {
  std::vector<GidRange> ranges;
  for (size_t i = 0; i < map.layers.size(); ++i) {
    for (const EngineChunk& chunk : map.layers[i].chunks) {
      const uint32_t* at = chunk.gids.data();
      const uint32_t* const end = at + chunk.gids.size();
      while (at != end) {
        const uint32_t* next = at + std::min<size_t>(ScanPiece, static_cast<size_t>(end - at));
        ranges.push_back({i, at, next});
        at = next;
      }
    }
  }
  return ranges;
}

// The distinct gids of a layer the slow way, for gids too big for a table.
std::vector<uint32_t> SortedDistinct(const EngineTileLayer& layer) {
  std::unordered_map<uint32_t, bool> seen;
  for (const EngineChunk& chunk : layer.chunks) {
    for (const uint32_t gid : chunk.gids) {
      if (gid != 0) seen[gid] = true;
    }
  }
  std::vector<uint32_t> found;
  for (const auto& [gid, unused] : seen) found.push_back(gid);
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

std::vector<LayerGids> ScanLayerGids(const EngineMapSource& map) {
  const std::vector<GidRange> ranges = GidRanges(map);
  // One pass: each stretch's largest gid, all its bits together, and which
  // of the usual small gids it holds.
  struct Seen {
    uint32_t largest = 0, bits = 0;
    std::vector<uint64_t> small;
  };
  std::vector<Seen> seen(ranges.size());
  RunInParallel(ranges.size(), [&](size_t r) {
    Seen& found = seen[r];
    found.small.assign(SetGids / 64, 0);
    uint32_t largest = 0, bits = 0;
    for (const uint32_t* at = ranges[r].begin; at != ranges[r].end; ++at) {
      const uint32_t gid = *at;
      largest = std::max(largest, gid);
      bits |= gid;
      if (gid < SetGids) found.small[gid >> 6] |= uint64_t{1} << (gid & 63);
    }
    found.largest = largest;
    found.bits = bits;
  });
  std::vector<LayerGids> result(map.layers.size());
  std::vector<uint32_t> largest(map.layers.size(), 0);
  for (size_t r = 0; r < ranges.size(); ++r) {
    const size_t layer = ranges[r].layer;
    largest[layer] = std::max(largest[layer], seen[r].largest);
    if (seen[r].bits & FlipBits) result[layer].flipped = true;
  }
  for (size_t i = 0; i < map.layers.size(); ++i) {
    if (result[i].flipped) continue;
    if (largest[i] >= SetGids) {
      result[i].distinct = SortedDistinct(map.layers[i]);
      continue;
    }
    std::vector<uint64_t> joined(SetGids / 64, 0);
    for (size_t r = 0; r < ranges.size(); ++r) {
      if (ranges[r].layer != i) continue;
      for (size_t w = 0; w < joined.size(); ++w) joined[w] |= seen[r].small[w];
    }
    joined[0] &= ~uint64_t{1};  // gid 0 is no tile
    for (size_t w = 0; w < joined.size(); ++w) {
      for (uint64_t word = joined[w]; word != 0; word &= word - 1) {
        result[i].distinct.push_back(static_cast<uint32_t>(w * 64 + std::countr_zero(word)));
      }
    }
  }
  return result;
}

std::string FirstFlippedCell(const EngineMapSource& map, const EngineBox& box) {
  for (const EngineTileLayer& layer : map.layers) {
    for (const EngineChunk& chunk : layer.chunks) {
      for (size_t i = 0; i < chunk.gids.size(); ++i) {
        if ((chunk.gids[i] & FlipBits) == 0) continue;
        const int64_t column = chunk.x + static_cast<int64_t>(i % static_cast<size_t>(chunk.width));
        const int64_t row = chunk.y + static_cast<int64_t>(i / static_cast<size_t>(chunk.width));
        std::string cell = "(";
        cell.append(std::to_string(column - box.left)).append(", ");
        cell.append(std::to_string(row - box.top)).append(")");
        return cell;
      }
    }
  }
  return "";
}

GidValues::GidValues(const std::vector<uint32_t>& ascending) {
  const uint32_t largest = ascending.empty() ? 0 : ascending.back();
  if (largest < FlatGids) flat_.assign(size_t{largest} + 1, 0);
}

void GidValues::Set(uint32_t gid, uint32_t value) {
  if (gid < flat_.size()) {
    flat_[gid] = value;
  } else {
    other_[gid] = value;
  }
}

std::vector<MapCell> PaintCells(const std::vector<LayerPaint>& paints, const EngineBox& box) {
  const size_t width = static_cast<size_t>(box.Width());
  std::vector<MapCell> cells(width * static_cast<size_t>(box.Height()), 0);
  // Bands of rows, each painted by every layer while it is in the cache.
  const size_t bands = static_cast<size_t>((box.Height() + PaintRows - 1) / PaintRows);
  RunInParallel(bands, [&](size_t band) {
    const int64_t top = box.top + static_cast<int64_t>(band) * PaintRows;
    const int64_t bottom = std::min(top + PaintRows, box.bottom);
    for (const LayerPaint& paint : paints) {
      const GidValues& values = *paint.values;
      for (const EngineChunk& chunk : paint.layer->chunks) {
        const int64_t from = std::max<int64_t>(top, chunk.y);
        const int64_t to = std::min<int64_t>(bottom, int64_t{chunk.y} + chunk.height);
        const size_t columns = static_cast<size_t>(chunk.width);
        for (int64_t y = from; y < to; ++y) {
          MapCell* out = cells.data() + static_cast<size_t>(y - box.top) * width +
                         static_cast<size_t>(chunk.x - box.left);
          const uint32_t* in = chunk.gids.data() + static_cast<size_t>(y - chunk.y) * columns;
          for (size_t c = 0; c < columns; ++c) {
            out[c] = (out[c] & paint.keep) | (values(in[c]) << paint.shift);
          }
        }
      }
    }
  });
  return cells;
}

}  // namespace kelvor
