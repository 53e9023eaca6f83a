#include "files/chip_blend.h"

#include <algorithm>
#include <cstring>

#include "document/map_document.h"

namespace kelvor {

bool ChipSquareInside(const PixelBuffer& buffer, int32_t x, int32_t y) {
  return x >= 0 && y >= 0 && x <= buffer.width - ChipSize && y <= buffer.height - ChipSize &&
         !buffer.Empty();
}

namespace {

void BlendPixels(uint8_t* d, const uint8_t* s, int32_t pixels) {
  for (int32_t x = 0; x < pixels; ++x, s += 4, d += 4) {
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

}  // namespace

void BlendChipRow(uint8_t* target, const uint8_t* source, int32_t pixels) {
  int32_t x = 0;
  // Chips are mostly wholly clear or wholly opaque: four such pixels go at
  // once. A clear pixel (all four bytes zero) leaves the target as it is.
  for (; x + 4 <= pixels; x += 4) {
    uint64_t low, high;
    std::memcpy(&low, source + x * 4, 8);
    std::memcpy(&high, source + x * 4 + 8, 8);
    if ((low | high) == 0) continue;
    constexpr uint64_t Alphas = 0xFF000000FF000000u;
    if ((low & high & Alphas) == Alphas) {
      std::memcpy(target + x * 4, source + x * 4, 16);
      continue;
    }
    BlendPixels(target + x * 4, source + x * 4, 4);
  }
  BlendPixels(target + x * 4, source + x * 4, pixels - x);
}

void BlendChipSquare(PixelBuffer& target, int32_t targetX, int32_t targetY,
                     const PixelBuffer& source, int32_t sourceX, int32_t sourceY) {
  if (!ChipSquareInside(target, targetX, targetY) || !ChipSquareInside(source, sourceX, sourceY)) {
    return;
  }
  for (int32_t row = 0; row < ChipSize; ++row) {
    BlendChipRow(target.At(targetX, targetY + row), source.At(sourceX, sourceY + row), ChipSize);
  }
}

}  // namespace kelvor
