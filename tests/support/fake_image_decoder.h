#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/image_codec.h"

namespace kelvor::test {

// Serves images by file name (the last part of the path); every other file
// fails to decode. Records every path it was asked for.
class FakeImageDecoder : public ImageDecoder {
 public:
  bool Decode(const std::string& path, PixelBuffer& out) override {
    {
      // Scans decode on several threads at once.
      const std::lock_guard<std::mutex> lock(requestedLock);
      requested.push_back(path);
    }
    const auto it = images.find(std::filesystem::path(path).filename().string());
    if (it == images.end()) {
      out = PixelBuffer{};
      return false;
    }
    out = it->second;
    return true;
  }

  std::map<std::string, PixelBuffer> images;
  std::vector<std::string> requested;
  std::mutex requestedLock;
};

// An opaque image of one colour (blue, green, red bytes).
inline PixelBuffer SolidImage(int32_t width, int32_t height, uint8_t blue = 0, uint8_t green = 0,
                              uint8_t red = 0, uint8_t alpha = 255) {
  PixelBuffer image = PixelBuffer::Make(width, height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = image.At(x, y);
      p[0] = blue, p[1] = green, p[2] = red, p[3] = alpha;
    }
  }
  return image;
}

}  // namespace kelvor::test
