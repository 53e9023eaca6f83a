#include "files/image_export.h"

#include <gtest/gtest.h>

#include "files/chip_blend.h"
#include "support/fake_image_encoder.h"
#include "support/fakes.h"

namespace kelvor {
namespace {

using Pixel = std::vector<uint8_t>;

Pixel At(const PixelBuffer& image, int32_t x, int32_t y) {
  const uint8_t* p = image.At(x, y);
  return Pixel(p, p + 4);
}

// Fills the atlas square of `slot` with one premultiplied pixel value.
void PaintSlot(PixelBuffer& atlas, int32_t slot, Pixel value) {
  for (int32_t y = 0; y < 32; ++y) {
    for (int32_t x = 0; x < 32; ++x) {
      std::copy(value.begin(), value.end(), atlas.At(32 * (slot % 16) + x, 32 * (slot / 16) + y));
    }
  }
}

class ImageExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (ChipTable& table : doc.tables) table.atlas = PixelBuffer::Make(512, 512);
  }
  MapDocument doc;
  test::FakeImageEncoder encoder;
  test::RecordingMessages messages;
};

TEST_F(ImageExportTest, AtlasComesOutUprightWithBytesAsStored) {
  PaintSlot(doc.tables[0].atlas, 1, {1, 2, 3, 255});
  PaintSlot(doc.tables[0].atlas, 17, {40, 0, 0, 128});
  PaintSlot(doc.tables[1].atlas, 15, {9, 9, 9, 255});
  ASSERT_TRUE(ExportAtlasImage("bg.png", doc, 0, encoder, messages));
  ASSERT_TRUE(ExportAtlasImage("layer.bmp", doc, 1, encoder, messages));
  ASSERT_EQ(encoder.written.size(), 2u);

  const PixelBuffer& bg = encoder.written[0].pixels;
  EXPECT_EQ(encoder.written[0].alpha, PixelAlpha::Straight);
  ASSERT_EQ(bg.width, 512);
  ASSERT_EQ(bg.height, 512);
  EXPECT_EQ(At(bg, 32, 0), (Pixel{1, 2, 3, 255}));
  EXPECT_EQ(At(bg, 63, 31), (Pixel{1, 2, 3, 255}));
  EXPECT_EQ(At(bg, 32, 32), (Pixel{40, 0, 0, 128}));
  EXPECT_EQ(At(bg, 64, 0), (Pixel{0, 0, 0, 0}));
  EXPECT_EQ(At(bg, 31, 31), (Pixel{0, 0, 0, 0}));
  EXPECT_EQ(bg.pixels, doc.tables[0].atlas.pixels);
  // Entry 15 sits top right.
  EXPECT_EQ(At(encoder.written[1].pixels, 480, 0), (Pixel{9, 9, 9, 255}));
}

TEST_F(ImageExportTest, RefusesWithoutExtensionAtlasOrValidTable) {
  EXPECT_FALSE(ExportAtlasImage("noextension", doc, 0, encoder, messages));
  EXPECT_FALSE(ExportAtlasImage("a.png", doc, 2, encoder, messages));
  EXPECT_EQ(ExportMapImage("noextension", doc, true, encoder, messages), PictureWrite::NoEncoder);
  doc.tables[1].atlas = PixelBuffer{};
  EXPECT_FALSE(ExportAtlasImage("a.png", doc, 1, encoder, messages));
  EXPECT_EQ(ExportMapImage("a.png", doc, true, encoder, messages), PictureWrite::Empty);
  ASSERT_TRUE(doc.grid.Allocate(0, 5));
  EXPECT_EQ(ExportMapImage("a.png", doc, true, encoder, messages), PictureWrite::Empty);
  EXPECT_TRUE(encoder.written.empty());
  encoder.result = false;  // the encoder's failure is the export's
  EXPECT_FALSE(ExportAtlasImage("a.png", doc, 0, encoder, messages));
}

TEST_F(ImageExportTest, MapExportComposesBothLevelsAtFullSize) {
  PaintSlot(doc.tables[0].atlas, 3, {0, 0, 200, 255});  // opaque red
  PaintSlot(doc.tables[0].atlas, 4, {0, 100, 0, 255});  // opaque green
  PaintSlot(doc.tables[1].atlas, 2, {100, 0, 0, 128});  // half-transparent blue
  PaintSlot(doc.tables[1].atlas, 5, {0, 0, 0, 0});
  ASSERT_TRUE(doc.grid.Allocate(20, 15));
  doc.grid.At(0, 0) = 3;               // background only
  doc.grid.At(1, 0) = 4 | (2u << 16);  // layer over background
  doc.grid.At(19, 14) = (2u << 16);    // layer over nothing
  doc.grid.At(2, 0) = 0x0F00 | 3;      // flags draw nothing

  ASSERT_EQ(ExportMapImage("map.png", doc, true, encoder, messages), PictureWrite::Written);
  ASSERT_EQ(encoder.written.size(), 1u);
  const PixelBuffer& map = encoder.written[0].pixels;
  EXPECT_EQ(encoder.written[0].alpha, PixelAlpha::Premultiplied);
  ASSERT_EQ(map.width, 640);
  ASSERT_EQ(map.height, 480);
  EXPECT_EQ(At(map, 0, 0), (Pixel{0, 0, 200, 255}));
  EXPECT_EQ(At(map, 31, 31), (Pixel{0, 0, 200, 255}));
  // 100 + 0, green 100 * 127 / 255, alpha 255.
  EXPECT_EQ(At(map, 40, 10), (Pixel{100, 50, 0, 255}));
  EXPECT_EQ(At(map, 620, 470), (Pixel{100, 0, 0, 128}));
  EXPECT_EQ(At(map, 64, 0), (Pixel{0, 0, 200, 255}));
  EXPECT_EQ(At(map, 100, 100), (Pixel{0, 0, 0, 0}));

  ASSERT_EQ(ExportMapImage("map.bmp", doc, false, encoder, messages), PictureWrite::Written);
  const PixelBuffer& noLayer = encoder.written[1].pixels;
  EXPECT_EQ(At(noLayer, 40, 10), (Pixel{0, 100, 0, 255}));
  EXPECT_EQ(At(noLayer, 620, 470), (Pixel{0, 0, 0, 0}));
}

TEST_F(ImageExportTest, LargeMapsGoToTheEncoderInBands) {
  ASSERT_TRUE(doc.grid.Allocate(1024, 1024));  // 32768 x 32768 pixels, 4 GiB
  EXPECT_EQ(ExportMapImage("big.png", doc, true, encoder, messages), PictureWrite::Written);
  ASSERT_EQ(encoder.written.size(), 1u);
  EXPECT_EQ(encoder.written[0].width, 32768);
  EXPECT_EQ(encoder.written[0].height, 32768);
}

// Any cut into bands gives the picture of drawing every background chip
// square over a transparent picture, then every layer chip square over
// that; a band over empty cells says so and comes out zero even when its
// buffer held something.
TEST_F(ImageExportTest, BandsOfAnyHeightGiveThePictureOfWholeChipSquares) {
  uint32_t seed = 7;
  const auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  for (ChipTable& table : doc.tables) {
    for (size_t i = 0; i < table.atlas.pixels.size(); i += 4) {
      const uint8_t alpha = static_cast<uint8_t>(next() % 3 == 0 ? 255 : next());
      for (size_t c = 0; c < 3; ++c) table.atlas.pixels[i + c] = static_cast<uint8_t>(next());
      table.atlas.pixels[i + 3] = alpha;
    }
  }
  ASSERT_TRUE(doc.grid.Allocate(7, 6));
  for (MapCell& cell : *doc.grid.cells) cell = (next() % 256) | ((next() % 256) << 16);
  for (int32_t column = 0; column < 7; ++column) doc.grid.At(column, 3) = 0;  // an empty row

  for (const bool showLayer : {true, false}) {
    PixelBuffer expected = PixelBuffer::Make(7 * 32, 6 * 32);
    for (int32_t level = 0; level < (showLayer ? 2 : 1); ++level) {
      for (int32_t row = 0; row < 6; ++row) {
        for (int32_t column = 0; column < 7; ++column) {
          const MapCell cell = doc.grid.At(column, row);
          const int32_t n = level == 0 ? CellBackground(cell) : CellLayer(cell);
          if (n == 0) continue;
          BlendChipSquare(expected, column * 32, row * 32,
                          doc.tables[static_cast<size_t>(level)].atlas, n % 16 * 32, n / 16 * 32);
        }
      }
    }
    const MapPicture picture(doc, showLayer);
    for (const int32_t bandRows : {1, 5, 31, 32, 33, 100, 6 * 32}) {
      for (const RowOrder order : {RowOrder::TopDown, RowOrder::BottomUp}) {
        SCOPED_TRACE(testing::Message() << bandRows << " rows, order " << static_cast<int>(order));
        for (int32_t top = 0; top < picture.Height(); top += bandRows) {
          const int32_t rows = std::min(bandRows, picture.Height() - top);
          PixelBuffer band = PixelBuffer::Make(picture.Width(), rows);
          std::fill(band.pixels.begin(), band.pixels.end(), uint8_t{0xA5});
          const bool drawn = picture.ComposeRows(top, band, order);
          for (int32_t y = 0; y < rows; ++y) {
            const int32_t at = order == RowOrder::TopDown ? y : rows - 1 - y;
            ASSERT_TRUE(std::equal(band.Row(at), band.Row(at) + band.stride, expected.Row(top + y)))
                << "row " << top + y;
          }
          EXPECT_EQ(drawn, top / 32 != 3 || (top + rows - 1) / 32 != 3) << top;
        }
      }
    }
  }
}

TEST(BlendChipSquare, CopiesOntoEmptyAndSkipsSquaresNotWhollyInside) {
  PixelBuffer source = PixelBuffer::Make(40, 40);
  for (size_t i = 0; i < source.pixels.size(); i += 4) {
    source.pixels[i] = 30, source.pixels[i + 3] = 60;
  }
  PixelBuffer target = PixelBuffer::Make(64, 64);
  BlendChipSquare(target, 32, 32, source, 8, 8);
  EXPECT_EQ(At(target, 32, 32), (Pixel{30, 0, 0, 60}));
  EXPECT_EQ(At(target, 31, 31), (Pixel{0, 0, 0, 0}));

  // Unpremultiplied 32-bit BMP colours above their alpha saturate.
  PixelBuffer bright = PixelBuffer::Make(32, 32);
  for (size_t i = 0; i < bright.pixels.size(); i += 4) bright.pixels[i + 2] = 200;
  PixelBuffer grey = PixelBuffer::Make(32, 32);
  std::fill(grey.pixels.begin(), grey.pixels.end(), uint8_t{100});
  BlendChipSquare(grey, 0, 0, bright, 0, 0);
  EXPECT_EQ(At(grey, 7, 7), (Pixel{100, 100, 255, 100}));

  const std::vector<uint8_t> before = target.pixels;
  BlendChipSquare(target, 0, 0, source, 9, 0);   // source square sticks out
  BlendChipSquare(target, 33, 0, source, 0, 0);  // target square sticks out
  BlendChipSquare(target, 0, 0, source, -1, 0);
  EXPECT_EQ(target.pixels, before);
}

}  // namespace
}  // namespace kelvor
