#include <gtest/gtest.h>

#include "platform/image_codec.h"

namespace kelvor {
namespace {

TEST(ImageFormatForPath, GoesByTheTextAfterTheLastDotIgnoringCase) {
  const struct {
    const char* path;
    ImageFormat format;
  } cases[] = {
      {"a.bmp", ImageFormat::Bmp},        {"a.PNG", ImageFormat::Png},
      {"a.b.Jpeg", ImageFormat::Jpeg},    {"a.jpg", ImageFormat::Jpeg},
      {"x/a.TIF", ImageFormat::Tiff},     {"a.tiff", ImageFormat::Tiff},
      {"a.gif", ImageFormat::Gif},        {"a.dat", ImageFormat::Unknown},
      {"a.", ImageFormat::Unknown},       {"a.png.bak", ImageFormat::Unknown},
      {"folder/name", ImageFormat::None}, {"a.pngx", ImageFormat::Unknown},
  };
  for (const auto& c : cases) EXPECT_EQ(ImageFormatForPath(c.path), c.format) << c.path;
}

TEST(UnpremultiplyPixels, DividesColoursByAlpha) {
  PixelBuffer pixels = PixelBuffer::Make(3, 1);
  pixels.pixels = {10, 20, 30, 51, 9, 9, 9, 0, 1, 2, 3, 255};
  UnpremultiplyPixels(pixels);
  EXPECT_EQ(pixels.pixels, (std::vector<uint8_t>{50, 100, 150, 51, 0, 0, 0, 0, 1, 2, 3, 255}));
}

}  // namespace
}  // namespace kelvor
