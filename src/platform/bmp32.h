#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/pixel_buffer.h"
#include "platform/atomic_file.h"
#include "platform/image_codec.h"

namespace kelvor {

// Our own 32-bit BMP reader and writer. Common image libraries drop the
// fourth byte of a 32-bit BMP; we keep it as the alpha, unpremultiplied,
// exactly as stored.

enum class Bmp32Kind {
  NotBmp32,  // some other file or another BMP depth: let the general decoder try
  Bmp32,     // a 32-bit BMP whose header we accept
  Damaged,   // a 32-bit BMP whose header is unusable: refuse it
};

struct Bmp32Header {
  Bmp32Kind kind = Bmp32Kind::NotBmp32;
  int32_t width = 0;
  int32_t height = 0;      // always positive
  bool topDown = false;    // rows stored from the top
  size_t pixelOffset = 0;  // where the first stored row starts
  size_t bytesNeeded = 0;  // file bytes the pixels require, header included
  uint32_t masks[4] = {};  // red, green, blue, alpha
  bool bitFields = false;
};

// Bytes enough to classify any header we accept.
inline constexpr size_t Bmp32HeaderProbeBytes = 14 + 124 + 16;

// Classifies a file from its first bytes (at most Bmp32HeaderProbeBytes are
// looked at). Sizes are checked against MaxImageSide here, before anything is
// allocated.
Bmp32Header ParseBmp32Header(const uint8_t* data, size_t size);

// Decodes a whole 32-bit BMP file held in memory into top-down pixels. False
// (and `out` empty) for anything but a complete 32-bit BMP.
bool ReadBmp32(const uint8_t* data, size_t size, PixelBuffer& out);

// True when the stored pixel bytes are already blue, green, red, alpha, so
// that the rows only need putting top-down.
bool Bmp32StoresBgra(const Bmp32Header& header);

// Decodes the stored rows alone (`size` bytes from the header's pixel offset
// on), for readers that skip whatever lies between header and pixels.
bool ReadBmp32Rows(const Bmp32Header& header, const uint8_t* rows, size_t size, PixelBuffer& out);

// A 32-bit BMP (bit-field header with an alpha mask, rows bottom-up) holding
// the pixels' bytes unchanged, the fourth byte as alpha.
std::vector<uint8_t> WriteBmp32(const PixelBuffer& pixels);

// The file's size fields hold 32 bits: true when a width x height picture
// fits in them, header included.
bool Bmp32Holds(int64_t width, int64_t height);

// WriteBmp32 for a picture made band by band: the bands are composed from
// the bottom, the order the file keeps its rows in, on several threads, and
// written as they come. False when a band could not be made or the sink
// failed; the caller checks Bmp32Holds.
bool WriteBmp32Bands(const PictureSource& source, ByteSink& sink);

}  // namespace kelvor
