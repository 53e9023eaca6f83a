#include "platform/image_codec.h"

#include <algorithm>

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

void UnpremultiplyPixels(PixelBuffer& pixels) {
  for (int32_t y = 0; y < pixels.height; ++y) {
    uint8_t* p = pixels.Row(y);
    for (int32_t x = 0; x < pixels.width; ++x, p += 4) {
      const uint32_t a = p[3];
      if (a == 255) continue;
      if (a == 0) {
        p[0] = p[1] = p[2] = 0;
        continue;
      }
      for (int c = 0; c < 3; ++c) {
        p[c] = static_cast<uint8_t>(std::min<uint32_t>(255, (p[c] * 255u + a / 2) / a));
      }
    }
  }
}

}  // namespace kelvor
