#include "platform/bmp32.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/band_pipeline.h"
#include "platform/image_codec.h"

namespace kelvor {
namespace {

constexpr uint32_t CompressionRgb = 0;
constexpr uint32_t CompressionBitFields = 3;
constexpr uint32_t CompressionAlphaBitFields = 6;

constexpr uint32_t StandardRed = 0x00FF0000;
constexpr uint32_t StandardGreen = 0x0000FF00;
constexpr uint32_t StandardBlue = 0x000000FF;
constexpr uint32_t StandardAlpha = 0xFF000000;

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
int32_t I32(const uint8_t* p) {
  return static_cast<int32_t>(U32(p));
}

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

bool Contiguous(uint32_t mask) {
  if (mask == 0) return false;
  const uint32_t shifted = mask >> std::countr_zero(mask);
  return (shifted & (shifted + 1)) == 0;
}

// One channel of a bit-field pixel scaled to 0..255.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  explicit Channel(uint32_t m) : mask(m) {
    if (mask != 0) {
      shift = std::countr_zero(mask);
      bits = std::popcount(mask);
    }
  }
  uint8_t Extract(uint32_t pixel, uint8_t absent) const {
    if (bits == 0) return absent;
    const uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return static_cast<uint8_t>(v >> (bits - 8));
    return static_cast<uint8_t>(v * 255 / ((1u << bits) - 1));
  }
};

Bmp32Header Damaged() {
  Bmp32Header header;
  header.kind = Bmp32Kind::Damaged;
  return header;
}

}  // namespace

Bmp32Header ParseBmp32Header(const uint8_t* data, size_t size) {
  Bmp32Header header;
  if (size < 14 + 4 || data[0] != 'B' || data[1] != 'M') return header;
  const uint32_t infoSize = U32(data + 14);
  // The old 12-byte core header has no 32-bit form worth reading here.
  if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124) {
    return header;
  }
  if (size < 14 + 40) return header;
  const uint16_t bitCount = U16(data + 28);
  const uint32_t compression = U32(data + 30);
  if (bitCount != 32) return header;
  if (compression != CompressionRgb && compression != CompressionBitFields &&
      compression != CompressionAlphaBitFields) {
    return header;  // embedded JPEG/PNG and the like: not ours
  }

  const int32_t width = I32(data + 18);
  const int64_t height = I32(data + 22);
  if (width < 1 || width > MaxImageSide || height == 0 || height > MaxImageSide ||
      height < -static_cast<int64_t>(MaxImageSide)) {
    return Damaged();
  }

  size_t headerEnd = 14 + infoSize;
  header.bitFields = compression != CompressionRgb;
  if (header.bitFields) {
    size_t maskCount = 0;
    size_t maskAt = 14 + 40;
    if (infoSize >= 56) {
      maskCount = 4;
    } else if (infoSize == 52) {
      maskCount = 3;
    } else {
      // A plain info header is followed by the masks.
      maskCount = compression == CompressionAlphaBitFields ? 4 : 3;
      headerEnd += maskCount * 4;
    }
    if (size < maskAt + maskCount * 4) return Damaged();
    for (size_t i = 0; i < maskCount; ++i) header.masks[i] = U32(data + maskAt + i * 4);
    const uint32_t r = header.masks[0], g = header.masks[1], b = header.masks[2];
    const uint32_t a = header.masks[3];
    if (!Contiguous(r) || !Contiguous(g) || !Contiguous(b) || (a != 0 && !Contiguous(a)) ||
        (r & g) != 0 || (r & b) != 0 || (g & b) != 0 || ((r | g | b) & a) != 0) {
      return Damaged();
    }
  }

  const size_t offset = U32(data + 10);
  if (offset < headerEnd) return Damaged();
  header.width = width;
  header.height = static_cast<int32_t>(height < 0 ? -height : height);
  header.topDown = height < 0;
  header.pixelOffset = offset;
  header.bytesNeeded =
      offset + static_cast<size_t>(header.width) * 4 * static_cast<size_t>(header.height);
  header.kind = Bmp32Kind::Bmp32;
  return header;
}

bool ReadBmp32(const uint8_t* data, size_t size, PixelBuffer& out) {
  out = PixelBuffer{};
  const Bmp32Header header = ParseBmp32Header(data, size);
  if (header.kind != Bmp32Kind::Bmp32 || size < header.bytesNeeded) return false;
  return ReadBmp32Rows(header, data + header.pixelOffset, size - header.pixelOffset, out);
}

bool Bmp32StoresBgra(const Bmp32Header& header) {
  return !header.bitFields || (header.masks[0] == StandardRed && header.masks[1] == StandardGreen &&
                               header.masks[2] == StandardBlue &&
                               (header.masks[3] == 0 || header.masks[3] == StandardAlpha));
}

bool ReadBmp32Rows(const Bmp32Header& header, const uint8_t* rows, size_t size, PixelBuffer& out) {
  out = PixelBuffer{};
  if (header.kind != Bmp32Kind::Bmp32) return false;
  const size_t rowBytes = static_cast<size_t>(header.width) * 4;
  if (size < rowBytes * static_cast<size_t>(header.height)) return false;

  PixelBuffer pixels = PixelBuffer::Make(header.width, header.height);
  const bool standard = Bmp32StoresBgra(header);
  // Without an alpha mask the bits no colour uses carry the alpha, as the
  // fourth byte does in the usual layout.
  uint32_t alphaMask = header.masks[3];
  if (alphaMask == 0) {
    const uint32_t rest = ~(header.masks[0] | header.masks[1] | header.masks[2]);
    alphaMask = Contiguous(rest) ? rest : 0;
  }
  const Channel red(header.masks[0]), green(header.masks[1]), blue(header.masks[2]),
      alpha(alphaMask);

  for (int32_t y = 0; y < header.height; ++y) {
    const int32_t storedRow = header.topDown ? y : header.height - 1 - y;
    const uint8_t* src = rows + static_cast<size_t>(storedRow) * rowBytes;
    uint8_t* dst = pixels.Row(y);
    if (standard) {
      std::memcpy(dst, src, rowBytes);
      continue;
    }
    for (int32_t x = 0; x < header.width; ++x) {
      const uint32_t v = U32(src + static_cast<size_t>(x) * 4);
      dst[x * 4 + 0] = blue.Extract(v, 0);
      dst[x * 4 + 1] = green.Extract(v, 0);
      dst[x * 4 + 2] = red.Extract(v, 0);
      dst[x * 4 + 3] = alpha.Extract(v, 255);
    }
  }
  out = std::move(pixels);
  return true;
}

namespace {

constexpr uint32_t Bmp32InfoSize = 108;  // with masks and colour space, so alpha is declared
constexpr uint32_t Bmp32PixelOffset = 14 + Bmp32InfoSize;

// Everything before the rows of a width x height picture.
std::vector<uint8_t> Bmp32FileHeader(int32_t width, int32_t height) {
  const uint32_t imageBytes = static_cast<uint32_t>(width) * 4 * static_cast<uint32_t>(height);
  std::vector<uint8_t> out;
  out.reserve(Bmp32PixelOffset);
  out.push_back('B');
  out.push_back('M');
  Put32(out, Bmp32PixelOffset + imageBytes);
  Put32(out, 0);
  Put32(out, Bmp32PixelOffset);

  Put32(out, Bmp32InfoSize);
  Put32(out, static_cast<uint32_t>(width));
  Put32(out, static_cast<uint32_t>(height));  // positive: rows bottom-up
  Put16(out, 1);
  Put16(out, 32);
  Put32(out, CompressionBitFields);
  Put32(out, imageBytes);
  Put32(out, 2835);  // 72 dots per inch
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, StandardRed);
  Put32(out, StandardGreen);
  Put32(out, StandardBlue);
  Put32(out, StandardAlpha);
  Put32(out, 0x73524742);                      // 'sRGB'
  for (int i = 0; i < 12; ++i) Put32(out, 0);  // endpoints and gamma, unused for sRGB
  return out;
}

// Bands of about 1 MiB, and two more in flight than there are threads.
constexpr size_t BandBytes = size_t{1} << 20;
constexpr int32_t SpareSlots = 2;

}  // namespace

std::vector<uint8_t> WriteBmp32(const PixelBuffer& pixels) {
  std::vector<uint8_t> out = Bmp32FileHeader(pixels.width, pixels.height);
  out.reserve(out.size() + pixels.pixels.size());
  for (int32_t y = pixels.height - 1; y >= 0; --y) {
    const uint8_t* row = pixels.Row(y);
    out.insert(out.end(), row, row + static_cast<size_t>(pixels.width) * 4);
  }
  return out;
}

bool Bmp32Holds(int64_t width, int64_t height) {
  return width >= 1 && height >= 1 && width <= INT32_MAX && height <= INT32_MAX &&
         width * height <= (int64_t{UINT32_MAX} - Bmp32PixelOffset) / 4;
}

bool WriteBmp32Bands(const PictureSource& source, ByteSink& sink) {
  const int32_t width = source.Width();
  const int32_t height = source.Height();
  if (!Bmp32Holds(width, height)) return false;
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  const int32_t bandRows = static_cast<int32_t>(
      std::clamp<size_t>(BandBytes / rowBytes, 1, static_cast<size_t>(height)));
  const int64_t bands = (int64_t{height} + bandRows - 1) / bandRows;

  std::vector<PixelBuffer> slots;
  try {
    const std::vector<uint8_t> header = Bmp32FileHeader(width, height);
    sink.Put(header.data(), header.size());
    slots.resize(static_cast<size_t>(BandThreads() + SpareSlots));
  } catch (const std::exception&) {
    return false;
  }
  // Band 0 holds the picture's bottom rows.
  const auto make = [&](int64_t band, int32_t slot) {
    PixelBuffer& pixels = slots[static_cast<size_t>(slot)];
    const int64_t bottom = height - band * bandRows;
    const int32_t rows = static_cast<int32_t>(std::min<int64_t>(bandRows, bottom));
    if (pixels.height != rows) pixels = PixelBuffer::Make(width, rows);
    source.ComposeRows(static_cast<int32_t>(bottom - rows), pixels, RowOrder::BottomUp);
    return true;
  };
  const auto take = [&](int64_t, int32_t slot) {
    const PixelBuffer& pixels = slots[static_cast<size_t>(slot)];
    sink.Put(pixels.pixels.data(), pixels.pixels.size());
    return !sink.Failed();
  };
  return RunBandPipeline(bands, static_cast<int32_t>(slots.size()), BandThreads(), make, take) &&
         !sink.Failed();
}

}  // namespace kelvor
