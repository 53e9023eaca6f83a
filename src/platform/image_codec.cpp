#include "platform/image_codec.h"

#include <algorithm>
#include <cstring>

#include "base/ascii.h"

namespace kelvor {

ImageFormat ImageFormatForPath(std::string_view path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return ImageFormat::None;
  const std::string_view extension = path.substr(dot + 1);
  struct Known {
    std::string_view extension;
    ImageFormat format;
  };
  static constexpr Known known[] = {
      {"bmp", ImageFormat::Bmp},   {"gif", ImageFormat::Gif}, {"jpg", ImageFormat::Jpeg},
      {"jpeg", ImageFormat::Jpeg}, {"png", ImageFormat::Png}, {"tif", ImageFormat::Tiff},
      {"tiff", ImageFormat::Tiff},
  };
  for (const Known& k : known) {
    if (EqualsIgnoringAsciiCase(extension, k.extension)) return k.format;
  }
  return ImageFormat::Unknown;
}

namespace {

void UnpremultiplyPixel(uint8_t* p) {
  const uint32_t a = p[3];
  if (a == 255) return;
  if (a == 0) {
    p[0] = p[1] = p[2] = 0;
    return;
  }
  for (int c = 0; c < 3; ++c) {
    p[c] = static_cast<uint8_t>(std::min<uint32_t>(255, (p[c] * 255u + a / 2) / a));
  }
}

}  // namespace

void UnpremultiplyPixels(PixelBuffer& pixels) {
  const size_t width = static_cast<size_t>(std::max(pixels.width, 0));
  for (int32_t y = 0; y < pixels.height; ++y) {
    uint8_t* row = pixels.Row(y);
    size_t x = 0;
    // Pictures are mostly opaque: four opaque pixels are passed at once.
    for (; x + 4 <= width; x += 4) {
      uint64_t low, high;
      std::memcpy(&low, row + x * 4, 8);
      std::memcpy(&high, row + x * 4 + 8, 8);
      constexpr uint64_t Alphas = 0xFF000000FF000000u;
      if ((low & high & Alphas) == Alphas) continue;
      for (size_t k = x; k < x + 4; ++k) UnpremultiplyPixel(row + k * 4);
    }
    for (; x < width; ++x) UnpremultiplyPixel(row + x * 4);
  }
}

}  // namespace kelvor
