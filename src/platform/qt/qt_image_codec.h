#pragma once

#include "platform/image_codec.h"

namespace kelvor {

// Decoding through QImageReader (every format this Qt reads), with 32-bit
// BMPs taken by our own reader so that their fourth byte stays the alpha.
class QtImageDecoder : public ImageDecoder {
 public:
  QtImageDecoder();
  bool Decode(const std::string& path, PixelBuffer& out) override;
};

// Encoding by extension: BMP by our own 32-bit writer, PNG, JPEG and TIFF
// through QImageWriter; pictures made in bands go to our own streamed PNG
// and BMP writers. Every file is written to a temporary file first, so a
// failed write leaves the previous file in place.
class QtImageEncoder : public ImageEncoder {
 public:
  bool Encode(const std::string& path, const PixelBuffer& pixels, PixelAlpha alpha,
              Messages& messages) override;
  PictureWrite EncodeBands(const std::string& path, const PictureSource& source, PixelAlpha alpha,
                           Messages& messages) override;
};

}  // namespace kelvor
