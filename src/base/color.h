#pragma once

#include <cstdint>

namespace kelvor {

// COLORREF layout: red in bits 0-7, green 8-15, blue 16-23.
using Color = uint32_t;
constexpr Color Rgb(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<Color>(red) | (static_cast<Color>(green) << 8) |
         (static_cast<Color>(blue) << 16);
}
constexpr uint8_t ColorRed(Color c) {
  return static_cast<uint8_t>(c & 0xFF);
}
constexpr uint8_t ColorGreen(Color c) {
  return static_cast<uint8_t>((c >> 8) & 0xFF);
}
constexpr uint8_t ColorBlue(Color c) {
  return static_cast<uint8_t>((c >> 16) & 0xFF);
}

}  // namespace kelvor
