#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/image_codec.h"
#include "support/temp_dir.h"

namespace kelvor::test {

// Keeps every picture it is asked to write instead of writing a file; with
// `writeFiles` it also writes each one's pixel bytes under its path, for the
// writers that move the files afterwards. A picture made in bands is composed
// whole, in one band, unless it is too large for a test (then only its size
// is kept).
class FakeImageEncoder : public ImageEncoder {
 public:
  struct Written {
    std::string path;
    PixelBuffer pixels;
    PixelAlpha alpha;
    int64_t width = 0;
    int64_t height = 0;
  };

  bool Encode(const std::string& path, const PixelBuffer& pixels, PixelAlpha alpha,
              Messages&) override {
    if (written.size() == failAt) return false;
    written.push_back({path, pixels, alpha, pixels.width, pixels.height});
    if (writeFiles && result) WriteFileBytes(path, pixels.pixels);
    return result;
  }

  PictureWrite EncodeBands(const std::string& path, const PictureSource& source, PixelAlpha alpha,
                           Messages&) override {
    Written picture{path, {}, alpha, source.Width(), source.Height()};
    if (picture.width * picture.height <= (int64_t{1} << 22)) {
      picture.pixels = PixelBuffer::Make(source.Width(), source.Height());
      source.ComposeRows(0, picture.pixels, RowOrder::TopDown);
    }
    written.push_back(std::move(picture));
    return result ? bandsResult : PictureWrite::CannotWrite;
  }

  std::vector<Written> written;
  bool result = true;
  PictureWrite bandsResult = PictureWrite::Written;  // what a picture made in bands gives
  bool writeFiles = false;
  size_t failAt = SIZE_MAX;  // the call (counting from 0) that fails
};

}  // namespace kelvor::test
