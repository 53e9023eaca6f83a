#include "render/scaled_atlas.h"

#include <cstring>
#include <vector>

#include "document/map_document.h"

namespace kelvor {

PixelBuffer ScaleAtlas(const PixelBuffer& atlas, int32_t cell) {
  constexpr int32_t chipsPerRow = AtlasSize / ChipSize;
  PixelBuffer scaled = PixelBuffer::Make(cell * chipsPerRow, cell * chipsPerRow);
  if (scaled.Empty() || atlas.Empty()) return scaled;
  // Source offset inside a chip for each target offset, sampled at pixel centres.
  std::vector<int32_t> sample(static_cast<size_t>(cell));
  for (int32_t i = 0; i < cell; ++i)
    sample[static_cast<size_t>(i)] = (2 * i + 1) * ChipSize / (2 * cell);
  for (int32_t chipRow = 0; chipRow < chipsPerRow; ++chipRow) {
    for (int32_t chipColumn = 0; chipColumn < chipsPerRow; ++chipColumn) {
      const int32_t sx = chipColumn * ChipSize;
      const int32_t sy = chipRow * ChipSize;
      if (sx + ChipSize > atlas.width || sy + ChipSize > atlas.height) continue;
      for (int32_t y = 0; y < cell; ++y) {
        const uint8_t* source = atlas.At(sx, sy + sample[static_cast<size_t>(y)]);
        uint8_t* target = scaled.At(chipColumn * cell, chipRow * cell + y);
        for (int32_t x = 0; x < cell; ++x) {
          std::memcpy(target + static_cast<size_t>(x) * 4,
                      source + static_cast<size_t>(sample[static_cast<size_t>(x)]) * 4, 4);
        }
      }
    }
  }
  return scaled;
}

const PixelBuffer* ScaledAtlasCache::Scaled(int32_t level, const PixelBuffer& atlas, int32_t cell) {
  if (atlas.Empty() || cell < 1 || level < 0 || level > 1) return nullptr;
  if (cell == ChipSize) return &atlas;
  Entry& entry = entries_[static_cast<size_t>(level)];
  const bool current = entry.cell == cell && entry.source.width == atlas.width &&
                       entry.source.height == atlas.height && entry.source.pixels == atlas.pixels;
  if (!current) {
    entry.cell = cell;
    entry.source = atlas;
    entry.scaled = ScaleAtlas(atlas, cell);
  }
  return &entry.scaled;
}

}  // namespace kelvor
