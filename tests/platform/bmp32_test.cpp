#include "platform/bmp32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kelvor {
namespace {

using Bytes = std::vector<uint8_t>;

// Byte by byte, as ByteBuilder does (a range insert trips GCC 12 at -O3).
void Append(Bytes& out, std::initializer_list<uint8_t> bytes) {
  for (uint8_t byte : bytes) out.push_back(byte);
}

// 'BM', file size, reserved, pixel offset, then the 40-byte info header of a
// 2 x `height` 32-bit image.
Bytes InfoHeader2Wide(uint8_t offset, int8_t height, uint8_t compression) {
  const uint8_t h = static_cast<uint8_t>(height);
  const uint8_t sign = height < 0 ? 0xFF : 0x00;
  Bytes b;
  Append(b, {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, offset, 0, 0, 0});
  Append(b, {40, 0, 0, 0, 2, 0, 0, 0, h, sign, sign, sign, 1, 0, 32, 0});
  Append(b, {compression, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  Append(b, {0, 0, 0, 0, 0, 0, 0, 0});
  return b;
}

// The two stored rows used below: first stored row, then second.
void AppendTwoRows(Bytes& b) {
  Append(b, {1, 2, 3, 0, 5, 6, 7, 128});
  Append(b, {9, 10, 11, 255, 13, 14, 15, 254});
}

PixelBuffer Read(const Bytes& bytes) {
  PixelBuffer out;
  EXPECT_TRUE(ReadBmp32(bytes.data(), bytes.size(), out));
  return out;
}

TEST(Bmp32Read, BottomUpRowsComeOutTopDownWithFourthByteAsAlpha) {
  Bytes file = InfoHeader2Wide(54, 2, 0);
  AppendTwoRows(file);
  const PixelBuffer image = Read(file);
  ASSERT_EQ(image.width, 2);
  ASSERT_EQ(image.height, 2);
  EXPECT_EQ(Bytes(image.pixels.begin(), image.pixels.end()),
            (Bytes{9, 10, 11, 255, 13, 14, 15, 254, 1, 2, 3, 0, 5, 6, 7, 128}));
}

TEST(Bmp32Read, NegativeHeightKeepsStoredRowOrder) {
  Bytes file = InfoHeader2Wide(54, -2, 0);
  AppendTwoRows(file);
  const PixelBuffer image = Read(file);
  ASSERT_EQ(image.height, 2);
  EXPECT_EQ(Bytes(image.pixels.begin(), image.pixels.end()),
            (Bytes{1, 2, 3, 0, 5, 6, 7, 128, 9, 10, 11, 255, 13, 14, 15, 254}));
}

TEST(Bmp32Read, BitFieldsWithUsualMasksAfterInfoHeader) {
  Bytes file = InfoHeader2Wide(66, -2, 3);
  Append(file, {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0});  // red, green, blue masks
  AppendTwoRows(file);
  const PixelBuffer image = Read(file);
  // Nothing premultiplied: colour above alpha stays as stored.
  EXPECT_EQ(Bytes(image.pixels.begin(), image.pixels.begin() + 8),
            (Bytes{1, 2, 3, 0, 5, 6, 7, 128}));
}

TEST(Bmp32Read, OtherMasksAreUnpacked) {
  // A 1 x 1 V4 image with red in the top byte and alpha in the lowest.
  Bytes file;
  Append(file, {'B', 'M', 126, 0, 0, 0, 0, 0, 0, 0, 122, 0, 0, 0});
  Append(file, {108, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 32, 0, 3, 0, 0, 0, 4, 0, 0, 0});
  Append(file, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  Append(file, {0, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0});  // R G B A
  file.resize(122, 0);                     // colour space fields
  Append(file, {0x40, 0x30, 0x20, 0x10});  // alpha 0x40, blue 0x30, green 0x20, red 0x10
  const PixelBuffer image = Read(file);
  EXPECT_EQ(Bytes(image.pixels.begin(), image.pixels.end()), (Bytes{0x30, 0x20, 0x10, 0x40}));
}

TEST(Bmp32Header, ClassifiesFiles) {
  struct Case {
    const char* what;
    Bytes bytes;
    Bmp32Kind kind;
  };
  Bytes truncatedMasks = InfoHeader2Wide(66, 2, 3);
  Bytes twentyFourBit = InfoHeader2Wide(54, 2, 0);
  twentyFourBit[28] = 24;
  Bytes tooWide = InfoHeader2Wide(54, 2, 0);
  tooWide[18] = 0x01, tooWide[19] = 0x40, tooWide[20] = 0x00;  // 16385
  Bytes zeroWidth = InfoHeader2Wide(54, 2, 0);
  zeroWidth[18] = 0;
  Bytes zeroHeight = InfoHeader2Wide(54, 0, 0);
  Bytes hugeNegative = InfoHeader2Wide(54, 2, 0);
  hugeNegative[22] = 0, hugeNegative[23] = 0, hugeNegative[24] = 0, hugeNegative[25] = 0x80;
  Bytes offsetInHeader = InfoHeader2Wide(20, 2, 0);
  Bytes overlapping = InfoHeader2Wide(66, 2, 3);
  Append(overlapping, {0, 0, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0xFF, 0, 0, 0});
  Bytes gapMask = InfoHeader2Wide(66, 2, 3);
  Append(gapMask, {0x0F, 0, 0x0F, 0, 0, 0xFF, 0, 0, 0xF0, 0, 0, 0});
  Bytes jpegInside = InfoHeader2Wide(54, 2, 4);
  const Case cases[] = {
      {"not a BMP", {'P', 'K', 3, 4}, Bmp32Kind::NotBmp32},
      {"24-bit BMP", twentyFourBit, Bmp32Kind::NotBmp32},
      {"embedded JPEG", jpegInside, Bmp32Kind::NotBmp32},
      {"too short for masks", truncatedMasks, Bmp32Kind::Damaged},
      {"wider than the limit", tooWide, Bmp32Kind::Damaged},
      {"zero width", zeroWidth, Bmp32Kind::Damaged},
      {"zero height", zeroHeight, Bmp32Kind::Damaged},
      {"most negative height", hugeNegative, Bmp32Kind::Damaged},
      {"pixels inside the header", offsetInHeader, Bmp32Kind::Damaged},
      {"overlapping masks", overlapping, Bmp32Kind::Damaged},
      {"mask with a gap", gapMask, Bmp32Kind::Damaged},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseBmp32Header(c.bytes.data(), c.bytes.size()).kind, c.kind) << c.what;
  }
}

TEST(Bmp32Read, RefusesMissingRows) {
  Bytes file = InfoHeader2Wide(54, 2, 0);
  Append(file, {1, 2, 3, 0, 5, 6, 7, 128, 9, 10, 11, 255});  // one pixel short
  PixelBuffer out = PixelBuffer::Make(1, 1);
  EXPECT_FALSE(ReadBmp32(file.data(), file.size(), out));
  EXPECT_TRUE(out.Empty());
}

TEST(Bmp32Write, WritesV4BitFieldsBottomUpWithAlpha) {
  PixelBuffer pixels = PixelBuffer::Make(2, 2);
  pixels.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0};
  // clang-format off
  const Bytes expected = {
      // file header: 'BM', file size 138, reserved, pixel offset 122
      'B', 'M', 138, 0, 0, 0, 0, 0, 0, 0, 122, 0, 0, 0,
      // header size 108, width 2, height 2 (bottom-up), 1 plane, 32 bits
      108, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 32, 0,
      // bit fields, 16 image bytes, 72 dpi both ways
      3, 0, 0, 0, 16, 0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0,
      // no palette
      0, 0, 0, 0, 0, 0, 0, 0,
      // red, green, blue, alpha masks
      0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF,
      // colour space sRGB, then 48 unused bytes of end points and gamma
      'B', 'G', 'R', 's',
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      // bottom row first
      9, 10, 11, 12, 13, 14, 15, 0,
      1, 2, 3, 4, 5, 6, 7, 8,
  };
  // clang-format on
  const Bytes written = WriteBmp32(pixels);
  EXPECT_EQ(written, expected);

  PixelBuffer back;
  ASSERT_TRUE(ReadBmp32(written.data(), written.size(), back));
  EXPECT_EQ(back.pixels, pixels.pixels);
}

}  // namespace
}  // namespace kelvor
