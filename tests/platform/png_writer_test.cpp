#include "platform/png_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <QImage>
#include <QString>
#include <algorithm>
#include <array>
#include <vector>

#include "files/image_export.h"
#include "platform/qt/qt_image_codec.h"
#include "support/fakes.h"
#include "support/png_rows.h"
#include "support/temp_dir.h"

namespace kelvor {
namespace {

using Bytes = std::vector<uint8_t>;
using Pixel = std::array<uint8_t, 4>;

// A picture whose pixel (x, y) is computed, with rows in [blankFrom, blankTo)
// ranges all zero; a band wholly in such a range says it is blank.
class PatternPicture final : public PictureSource {
 public:
  PatternPicture(int32_t width, int32_t height, std::vector<std::pair<int32_t, int32_t>> blank)
      : width_(width), height_(height), blank_(std::move(blank)) {}
  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  bool ComposeRows(int32_t top, PixelBuffer& band, RowOrder) const override {
    bool drawn = false;
    for (int32_t y = 0; y < band.height; ++y) {
      const bool blank = Blank(top + y);
      drawn = drawn || !blank;
      for (int32_t x = 0; x < width_; ++x) {
        const Pixel pixel = blank ? Pixel{} : At(x, top + y);
        std::copy(pixel.begin(), pixel.end(), band.At(x, y));
      }
    }
    return drawn;
  }
  // Blue, green, red, alpha.
  static Pixel At(int32_t x, int32_t y) {
    return {static_cast<uint8_t>(x * 7 + y), static_cast<uint8_t>(y * 3 + x / 64),
            static_cast<uint8_t>(x ^ y), static_cast<uint8_t>(x + y * 5)};
  }
  bool Blank(int32_t y) const {
    return std::any_of(blank_.begin(), blank_.end(),
                       [y](const auto& range) { return y >= range.first && y < range.second; });
  }

 private:
  int32_t width_;
  int32_t height_;
  std::vector<std::pair<int32_t, int32_t>> blank_;
};

uint32_t Big32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

TEST(PngWriter, TinyPictureIsTheExactFile) {
  PixelBuffer pixels = PixelBuffer::Make(2, 1);
  pixels.pixels = {10, 20, 30, 40, 1, 2, 3, 255};
  class Tiny final : public PictureSource {
   public:
    explicit Tiny(const PixelBuffer& p) : p_(p) {}
    int32_t Width() const override { return 2; }
    int32_t Height() const override { return 1; }
    bool ComposeRows(int32_t, PixelBuffer& band, RowOrder) const override {
      band.pixels = p_.pixels;
      return true;
    }

   private:
    const PixelBuffer& p_;
  } tiny(pixels);
  VectorByteSink sink;
  ASSERT_TRUE(WritePngBands(tiny, sink));
  const Bytes& file = sink.bytes;

  const Bytes head = {
      0x89, 'P', 'N',  'G',  '\r', '\n', 0x1A, '\n',                                // signature
      0,    0,   0,    13,   'I',  'H',  'D',  'R',  0,    0,    0,    2,    0, 0,  // 2 x 1,
      0,    1,   8,    6,    0,    0,    0,    0xF4, 0x22, 0x7F, 0x8A,              // 8-bit RGBA
      0,    0,   0,    9,    'p',  'H',  'Y',  's',  0,    0,    0x0F, 0x61,        // 3937 dots per
      0,    0,   0x0F, 0x61, 1,    0xA8, 0x3F, 0xA7, 0x69,  // metre, both ways
  };
  const Bytes end = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  ASSERT_GT(file.size(), head.size() + end.size());
  EXPECT_EQ(Bytes(file.begin(), file.begin() + static_cast<ptrdiff_t>(head.size())), head);
  EXPECT_EQ(Bytes(file.end() - static_cast<ptrdiff_t>(end.size()), file.end()), end);

  // Between them IDAT chunks, each with its CRC, holding one zlib stream.
  Bytes stream;
  size_t at = head.size();
  while (at + 12 <= file.size() - end.size()) {
    const uint32_t length = Big32(&file[at]);
    ASSERT_LE(at + 12 + length, file.size() - end.size());
    ASSERT_EQ(Bytes(&file[at + 4], &file[at + 8]), (Bytes{'I', 'D', 'A', 'T'}));
    EXPECT_EQ(crc32(0, &file[at + 4], length + 4), Big32(&file[at + 8 + length]));
    stream.insert(stream.end(), &file[at + 8], &file[at + 8 + length]);
    at += 12 + length;
  }
  EXPECT_EQ(at, file.size() - end.size());
  Bytes rows(64);
  uLongf rowsSize = rows.size();
  ASSERT_EQ(uncompress(rows.data(), &rowsSize, stream.data(), stream.size()), Z_OK);
  rows.resize(rowsSize);
  // Filter type 0, then red, green, blue, alpha per pixel.
  EXPECT_EQ(rows, (Bytes{0, 30, 20, 10, 40, 3, 2, 1, 255}));
}

// Rows 8 KiB long make bands of 128 rows; blank ones among them, the first
// and the last included, must join the stream like any other.
TEST(PngWriter, BandsFromEveryThreadJoinIntoOneStream) {
  test::TempDir dir;
  const PatternPicture picture(2048, 647, {{0, 128}, {256, 384}, {640, 647}});
  VectorByteSink sink;
  ASSERT_TRUE(WritePngBands(picture, sink));
  test::WriteFileBytes(dir.File("p.png"), sink.bytes);

  test::PngHeader header;
  uint32_t wrongRows = 0;
  ASSERT_TRUE(test::ReadPngRows(dir.File("p.png"), header, [&](uint32_t y, const uint8_t* row) {
    for (int32_t x = 0; x < 2048; ++x) {
      const Pixel bgra = picture.Blank(static_cast<int32_t>(y))
                             ? Pixel{}
                             : PatternPicture::At(x, static_cast<int32_t>(y));
      const uint8_t* p = row + x * 4;
      if (p[0] != bgra[2] || p[1] != bgra[1] || p[2] != bgra[0] || p[3] != bgra[3]) {
        ++wrongRows;
        break;
      }
    }
  }));
  EXPECT_EQ(header.width, 2048u);
  EXPECT_EQ(header.height, 647u);
  EXPECT_EQ(header.bitDepth, 8);
  EXPECT_EQ(header.colorType, 6);
  EXPECT_EQ(wrongRows, 0u);

  const QImage qt = QImage(QString::fromStdString(dir.File("p.png")), "PNG")
                        .convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(qt.size(), QSize(2048, 647));
  for (const auto& [x, y] : {std::pair{0, 0}, {2047, 200}, {1000, 500}, {5, 646}}) {
    const Pixel b = picture.Blank(y) ? Pixel{} : PatternPicture::At(x, y);
    EXPECT_EQ(qt.pixel(x, y), qRgba(b[2], b[1], b[0], b[3])) << x << ", " << y;
  }
}

// A map of 520 x 520 cells is 16640 x 16640 pixels, past 2^28, and mostly
// empty: it streams out small, and every row reads back.
TEST(PngWriter, MapPictureBeyondTwoToThe28Pixels) {
  MapDocument doc;
  doc.tables[0].atlas = PixelBuffer::Make(AtlasSize, AtlasSize);
  for (int32_t y = 0; y < 32; ++y) {
    for (int32_t x = 32; x < 64; ++x) {
      uint8_t* p = doc.tables[0].atlas.At(x, y);  // chip 1: opaque, its colour by row
      p[0] = static_cast<uint8_t>(y), p[1] = 100, p[2] = static_cast<uint8_t>(x), p[3] = 255;
    }
  }
  ASSERT_TRUE(doc.grid.Allocate(520, 520));
  const std::vector<std::pair<int32_t, int32_t>> chips = {{0, 0}, {519, 0}, {260, 300}, {519, 519}};
  for (const auto& [column, row] : chips) doc.grid.At(column, row) = 1;

  test::TempDir dir;
  QtImageEncoder encoder;
  test::RecordingMessages messages;
  ASSERT_EQ(ExportMapImage(dir.File("huge.png"), doc, true, encoder, messages),
            PictureWrite::Written);
  EXPECT_LT(std::filesystem::file_size(dir.File("huge.png")), uint64_t{8} << 20);

  test::PngHeader header;
  const std::vector<uint8_t> zeros(16640 * 4, 0);
  uint32_t wrongRows = 0;
  ASSERT_TRUE(test::ReadPngRows(dir.File("huge.png"), header, [&](uint32_t y, const uint8_t* row) {
    std::vector<uint8_t> expected = zeros;
    for (const auto& [column, cellRow] : chips) {
      if (static_cast<uint32_t>(cellRow) != y / 32) continue;
      for (int32_t x = 0; x < 32; ++x) {
        uint8_t* p = &expected[static_cast<size_t>(column * 32 + x) * 4];
        p[0] = static_cast<uint8_t>(32 + x), p[1] = 100, p[2] = static_cast<uint8_t>(y % 32);
        p[3] = 255;
      }
    }
    if (!std::equal(expected.begin(), expected.end(), row)) ++wrongRows;
  }));
  EXPECT_EQ(header.width, 16640u);
  EXPECT_EQ(header.height, 16640u);
  EXPECT_EQ(wrongRows, 0u);
}

}  // namespace
}  // namespace kelvor
