#pragma once

#include <array>
#include <cstdint>

#include "base/pixel_buffer.h"
#include "document/map_document.h"

namespace kelvor {

// Chip atlases scaled to the cell size of the map zoom and laid out as
// strips of chips, kept from one paint to the next so that a paint blends
// every chip unscaled and from contiguous memory. An entry is made
// again when its zoom changes or its table's atlas has a new revision
// (registration, optimisation and opening change atlases in place).
class ScaledAtlasCache {
 public:
  // ChipStrip of the table's atlas. `level` picks the entry (0 or 1). Null
  // for an empty atlas or a cell below 1.
  const PixelBuffer* Scaled(int32_t level, const ChipTable& table, int32_t cell);

 private:
  struct Entry {
    int32_t cell = 0;
    uint64_t revision = 0;  // of the atlas the scaled copy was made from
    PixelBuffer scaled;
  };
  std::array<Entry, 2> entries_;
};

// The 32 x 32 square of atlas chip n scaled (nearest neighbour) to the
// cell x cell square at (0, cell x n) of a strip one chip wide: each chip's
// rows lie together in memory, where the atlas spreads them a whole atlas
// row apart.
PixelBuffer ChipStrip(const PixelBuffer& atlas, int32_t cell);

}  // namespace kelvor
