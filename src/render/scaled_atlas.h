#pragma once

#include <array>
#include <cstdint>

#include "document/pixel_buffer.h"

namespace kelvor {

// Chip atlases scaled to the cell size of the map zoom, kept from one paint
// to the next so that a paint blends every chip unscaled. An entry is made
// again when its zoom changes or its atlas no longer equals the copy it was
// made from (registration, optimisation and opening change atlases in place).
class ScaledAtlasCache {
 public:
  // `atlas` with the 32 x 32 square of chip n scaled (nearest neighbour) to
  // the cell x cell square at (cell x (n mod 16), cell x (n div 16)); the
  // atlas itself when cell is 32. `level` picks the entry (0 or 1). Null
  // for an empty atlas or a cell below 1.
  const PixelBuffer* Scaled(int32_t level, const PixelBuffer& atlas, int32_t cell);

 private:
  struct Entry {
    int32_t cell = 0;
    PixelBuffer source;  // the atlas the scaled copy was made from
    PixelBuffer scaled;
  };
  std::array<Entry, 2> entries_;
};

// The 32 x 32 chip squares of a 16 x 16 atlas scaled to cell x cell each.
PixelBuffer ScaleAtlas(const PixelBuffer& atlas, int32_t cell);

}  // namespace kelvor
