#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelvor {

// 32-bit pixels, 4 bytes each in the order blue, green, red, alpha, colour
// premultiplied by alpha (a 32-bit BMP chip set is kept as stored). Rows are
// top-down. Chip sheets, chip atlases and back buffers all use this type.
struct PixelBuffer {
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;  // bytes per row, always width * 4
  std::vector<uint8_t> pixels;

  // A zero-filled (transparent black) buffer. Sizes below 1 give an empty buffer.
  static PixelBuffer Make(int32_t width, int32_t height);

  bool Empty() const { return pixels.empty(); }
  uint8_t* Row(int32_t y) { return pixels.data() + static_cast<size_t>(y) * stride; }
  const uint8_t* Row(int32_t y) const { return pixels.data() + static_cast<size_t>(y) * stride; }
  uint8_t* At(int32_t x, int32_t y) { return Row(y) + static_cast<size_t>(x) * 4; }
  const uint8_t* At(int32_t x, int32_t y) const { return Row(y) + static_cast<size_t>(x) * 4; }

  // Sets every pixel with left <= x < right and top <= y < bottom to zero,
  // limited to the buffer.
  void ClearRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
};

}  // namespace kelvor
