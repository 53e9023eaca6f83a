#include "render/overview_picture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kelvor {
namespace {

TEST(OverviewPictureTest, FitsTheBoxKeepingTheAspect) {
  struct Case {
    int32_t columns, rows, box;
    OverviewSize size;
  };
  const Case cases[] = {
      {4096, 4096, 256, {256, 256}}, {20, 15, 256, {256, 192}}, {16384, 1, 256, {256, 1}},
      {1, 16384, 256, {1, 256}},     {3, 7, 100, {42, 100}},    {0, 5, 256, {0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FitOverview(c.columns, c.rows, c.box, c.box), c.size) << c.columns << "x" << c.rows;
  }
}

// Pixel to cell and back: the first pixel from a cell is exactly the least
// pixel showing it or a later cell, for maps smaller and larger than the
// picture, odd sizes included.
TEST(OverviewPictureTest, PixelsAndCellsMapBothWays) {
  for (int32_t cells : {1, 7, 20, 255, 16384}) {
    for (int32_t pixels : {1, 13, 256}) {
      int32_t previous = 0;
      for (int32_t p = 0; p < pixels; ++p) {
        const int32_t cell = OverviewCellOf(p, pixels, cells);
        ASSERT_GE(cell, previous);
        ASSERT_LT(cell, cells);
        previous = cell;
      }
      for (int32_t cell = 0; cell <= cells; cell += std::max(1, cells / 97)) {
        const int32_t first = OverviewFirstPixelFrom(cell, cells, pixels);
        if (first < pixels) {
          EXPECT_GE(OverviewCellOf(first, pixels, cells), cell);
        }
        if (first > 0) {
          EXPECT_LT(OverviewCellOf(first - 1, pixels, cells), cell);
        }
      }
      EXPECT_EQ(OverviewFirstPixelFrom(cells, cells, pixels), pixels);
    }
  }
}

TEST(OverviewPictureTest, FrameOfTheVisiblePart) {
  // 16384 x 1 and 1 x 16384 maps at 100 % in a 640 x 480 view.
  const OverviewSize wide = FitOverview(16384, 1, 256, 256);
  EXPECT_EQ(OverviewFrame(wide, 16384 * 32, 32, 0, 0, 640, 480), (OverviewRect{0, 0, 1, 1}));
  EXPECT_EQ(OverviewFrame(wide, 16384 * 32, 32, 16384 * 32 - 640, 0, 640, 480),
            (OverviewRect{255, 0, 256, 1}));
  const OverviewSize tall = FitOverview(1, 16384, 256, 256);
  EXPECT_EQ(OverviewFrame(tall, 32, 16384 * 32, 0, 8000 * 32, 640, 480),
            (OverviewRect{0, 125, 1, 126}));
  // A quarter of a 4096 map framed as a quarter of the picture; a map that
  // fits the view is framed whole.
  EXPECT_EQ(OverviewFrame({256, 256}, 4096, 4096, 2048, 1024, 1024, 2048),
            (OverviewRect{128, 64, 192, 192}));
  EXPECT_EQ(OverviewFrame({256, 192}, 640, 480, 0, 0, 800, 600), (OverviewRect{0, 0, 256, 192}));
  // A click finds the content point under the pixel's centre.
  EXPECT_EQ(OverviewContentPoint({256, 256}, 4096 * 32, 4096 * 32, 128, 0),
            (std::pair<int32_t, int32_t>{128 * 512 + 256, 256}));
}

struct OverviewMap {
  MapDocument document;
  DisplaySettings display;

  OverviewMap(int32_t columns, int32_t rows) {
    document.grid.Allocate(columns, rows);
    // Chip 1 of the background: opaque pure red; chip 2 of the layer: half
    // transparent blue (premultiplied).
    for (ChipTable& table : document.tables) table.atlas = PixelBuffer::Make(AtlasSize, AtlasSize);
    for (int32_t y = 0; y < ChipSize; ++y) {
      for (int32_t x = 0; x < ChipSize; ++x) {
        std::memcpy(document.tables[0].atlas.At(32 + x, y), "\x00\x00\xff\xff", 4);
        std::memcpy(document.tables[1].atlas.At(64 + x, y), "\x80\x00\x00\x80", 4);
      }
    }
    display.mapBackgroundColor = Rgb(0, 255, 0);
  }
};

uint32_t PixelAt(const PixelBuffer& buffer, int32_t x, int32_t y) {
  uint32_t value = 0;
  std::memcpy(&value, buffer.At(x, y), 4);
  return value;
}

// Colours per cell, an edit redrawing only its piece and giving what a
// fresh picture gives, and a new atlas redrawing everything.
TEST(OverviewPictureTest, FollowsEditsPieceByPiece) {
  OverviewMap m(1024, 1024);
  OverviewPicture picture;
  ASSERT_TRUE(picture.Update(m.document, m.display, 256, 256));
  EXPECT_EQ(picture.lastDrawn(), 256 * 256);
  EXPECT_EQ(PixelAt(picture.pixels(), 0, 0), 0xFF00FF00u);  // the background colour
  EXPECT_FALSE(picture.Update(m.document, m.display, 256, 256));
  EXPECT_EQ(picture.lastDrawn(), 0);

  // A 3 x 3 stamp; pixel 100 shows cell 401 (its centre).
  for (int32_t row = 400; row < 403; ++row) {
    for (int32_t column = 400; column < 403; ++column) {
      m.document.grid.At(column, row) = WithLayer(WithBackground(0, 1), 2);
    }
  }
  ASSERT_TRUE(picture.Update(m.document, m.display, 256, 256));
  EXPECT_EQ(picture.lastDrawn(), 16 * 16);                      // one 64 x 64 piece
  EXPECT_EQ(PixelAt(picture.pixels(), 100, 100), 0xFF7F0080u);  // blue half over red
  OverviewPicture fresh;
  fresh.Update(m.document, m.display, 256, 256);
  EXPECT_EQ(fresh.pixels().pixels, picture.pixels().pixels);

  m.display.showLayer = false;
  picture.Update(m.document, m.display, 256, 256);
  EXPECT_EQ(PixelAt(picture.pixels(), 100, 100), 0xFFFF0000u);
  MarkAtlasChanged(m.document.tables[0]);
  picture.Update(m.document, m.display, 256, 256);
  EXPECT_EQ(picture.lastDrawn(), 256 * 256);
  // A new grid of the same size is drawn whole.
  m.document.grid.Allocate(1024, 1024);
  picture.Update(m.document, m.display, 256, 256);
  EXPECT_EQ(PixelAt(picture.pixels(), 100, 100), 0xFF00FF00u);
}

}  // namespace
}  // namespace kelvor
