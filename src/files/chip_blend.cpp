#include "files/chip_blend.h"

#include <algorithm>
#include <cstring>

#include "document/map_document.h"

namespace kelvor {
namespace {

bool SquareInside(const PixelBuffer& buffer, int32_t x, int32_t y) {
  return x >= 0 && y >= 0 && x <= buffer.width - ChipSize && y <= buffer.height - ChipSize &&
         !buffer.Empty();
}

}  // namespace

void BlendChipSquare(PixelBuffer& target, int32_t targetX, int32_t targetY,
                     const PixelBuffer& source, int32_t sourceX, int32_t sourceY) {
  if (!SquareInside(target, targetX, targetY) || !SquareInside(source, sourceX, sourceY)) return;
  for (int32_t row = 0; row < ChipSize; ++row) {
    const uint8_t* s = source.At(sourceX, sourceY + row);
    uint8_t* d = target.At(targetX, targetY + row);
    for (int32_t x = 0; x < ChipSize; ++x, s += 4, d += 4) {
      const uint32_t alpha = s[3];
      if (alpha == 255) {
        std::memcpy(d, s, 4);
        continue;
      }
      const uint32_t keep = 255 - alpha;
      for (int c = 0; c < 4; ++c) {
        // Colours of unpremultiplied 32-bit BMP sheets may exceed their
        // alpha; saturate instead of wrapping.
        const uint32_t v = s[c] + (d[c] * keep + 127) / 255;
        d[c] = static_cast<uint8_t>(std::min<uint32_t>(v, 255));
      }
    }
  }
}

}  // namespace kelvor
