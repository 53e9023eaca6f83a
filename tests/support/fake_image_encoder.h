#pragma once

#include <string>
#include <vector>

#include "platform/image_codec.h"

namespace kelvor::test {

// Keeps every picture it is asked to write instead of writing a file.
class FakeImageEncoder : public ImageEncoder {
 public:
  struct Written {
    std::string path;
    PixelBuffer pixels;
    PixelAlpha alpha;
  };

  bool Encode(const std::string& path, const PixelBuffer& pixels, PixelAlpha alpha,
              Messages&) override {
    written.push_back({path, pixels, alpha});
    return result;
  }

  std::vector<Written> written;
  bool result = true;
};

}  // namespace kelvor::test
