#include "base/pixel_buffer.h"

#include <algorithm>
#include <cstring>

namespace kelvor {

PixelBuffer PixelBuffer::Make(int32_t width, int32_t height) {
  PixelBuffer buffer;
  if (width < 1 || height < 1) return buffer;
  buffer.width = width;
  buffer.height = height;
  buffer.stride = width * 4;
  buffer.pixels.assign(static_cast<size_t>(buffer.stride) * static_cast<size_t>(height), 0);
  return buffer;
}

void PixelBuffer::ClearRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, width);
  bottom = std::min(bottom, height);
  if (left >= right || top >= bottom) return;
  for (int32_t y = top; y < bottom; ++y) {
    std::memset(At(left, y), 0, static_cast<size_t>(right - left) * 4);
  }
}

}  // namespace kelvor
