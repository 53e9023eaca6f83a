// 32-bit BMP files from anywhere: the header classification and the pixel
// reader must agree, stay inside the file and never allocate beyond the
// side limit.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_checks.h"
#include "platform/bmp32.h"
#include "platform/image_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvor;
  // The decoder classifies from a probe of the first bytes only.
  const Bmp32Header probe = ParseBmp32Header(data, std::min(size, Bmp32HeaderProbeBytes));
  const Bmp32Header whole = ParseBmp32Header(data, size);
  FUZZ_CHECK(probe.kind == whole.kind);
  if (whole.kind == Bmp32Kind::Bmp32) {
    FUZZ_CHECK(whole.width >= 1 && whole.width <= MaxImageSide);
    FUZZ_CHECK(whole.height >= 1 && whole.height <= MaxImageSide);
    FUZZ_CHECK(whole.bytesNeeded >= whole.pixelOffset);
  }

  PixelBuffer pixels;
  const bool read = ReadBmp32(data, size, pixels);
  FUZZ_CHECK(read == (whole.kind == Bmp32Kind::Bmp32 && size >= whole.bytesNeeded));
  if (!read) {
    FUZZ_CHECK(pixels.Empty());
    return 0;
  }
  FUZZ_CHECK(pixels.width == whole.width && pixels.height == whole.height);
  FUZZ_CHECK(pixels.pixels.size() == static_cast<size_t>(pixels.width) * 4 * pixels.height);

  // What we write we read back byte for byte.
  const std::vector<uint8_t> written = WriteBmp32(pixels);
  PixelBuffer again;
  FUZZ_CHECK(ReadBmp32(written.data(), written.size(), again));
  FUZZ_CHECK(again.width == pixels.width && again.height == pixels.height);
  FUZZ_CHECK(again.pixels == pixels.pixels);
  return 0;
}
