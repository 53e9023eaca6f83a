#include "render/scaled_atlas.h"

#include <cstring>
#include <vector>

#include "document/map_document.h"

namespace kelvor {

PixelBuffer ChipStrip(const PixelBuffer& atlas, int32_t cell) {
  constexpr int32_t chipsPerRow = AtlasSize / ChipSize;
  PixelBuffer strip = PixelBuffer::Make(cell, cell * ChipTableSlots);
  if (strip.Empty() || atlas.Empty()) return strip;
  // Source offset inside a chip for each target offset, sampled at pixel centres.
  std::vector<int32_t> sample(static_cast<size_t>(cell));
  for (int32_t i = 0; i < cell; ++i)
    sample[static_cast<size_t>(i)] = (2 * i + 1) * ChipSize / (2 * cell);
  for (int32_t chip = 0; chip < ChipTableSlots; ++chip) {
    const int32_t sx = (chip % chipsPerRow) * ChipSize;
    const int32_t sy = (chip / chipsPerRow) * ChipSize;
    if (sx + ChipSize > atlas.width || sy + ChipSize > atlas.height) continue;
    for (int32_t y = 0; y < cell; ++y) {
      const uint8_t* source = atlas.At(sx, sy + sample[static_cast<size_t>(y)]);
      uint8_t* target = strip.At(0, chip * cell + y);
      for (int32_t x = 0; x < cell; ++x) {
        std::memcpy(target + static_cast<size_t>(x) * 4,
                    source + static_cast<size_t>(sample[static_cast<size_t>(x)]) * 4, 4);
      }
    }
  }
  return strip;
}

const PixelBuffer* ScaledAtlasCache::Scaled(int32_t level, const ChipTable& table, int32_t cell) {
  const PixelBuffer& atlas = table.atlas;
  if (atlas.Empty() || cell < 1 || level < 0 || level > 1) return nullptr;
  Entry& entry = entries_[static_cast<size_t>(level)];
  if (entry.cell != cell || entry.revision != table.atlasRevision) {
    entry.cell = cell;
    entry.revision = table.atlasRevision;
    entry.scaled = ChipStrip(atlas, cell);
  }
  return &entry.scaled;
}

}  // namespace kelvor
