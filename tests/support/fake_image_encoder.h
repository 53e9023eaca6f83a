#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/image_codec.h"
#include "support/temp_dir.h"

namespace kelvor::test {

// Keeps every picture it is asked to write instead of writing a file; with
// `writeFiles` it also writes each one's pixel bytes under its path, for the
// writers that move the files afterwards.
class FakeImageEncoder : public ImageEncoder {
 public:
  struct Written {
    std::string path;
    PixelBuffer pixels;
    PixelAlpha alpha;
  };

  bool Encode(const std::string& path, const PixelBuffer& pixels, PixelAlpha alpha,
              Messages&) override {
    if (written.size() == failAt) return false;
    written.push_back({path, pixels, alpha});
    if (writeFiles && result) WriteFileBytes(path, pixels.pixels);
    return result;
  }

  std::vector<Written> written;
  bool result = true;
  bool writeFiles = false;
  size_t failAt = SIZE_MAX;  // the call (counting from 0) that fails
};

}  // namespace kelvor::test
