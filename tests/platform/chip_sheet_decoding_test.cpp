#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <filesystem>
#include <string>
#include <vector>

#include "document/chip_sheet_loader.h"
#include "platform/bmp32.h"
#include "platform/qt/qt_image_codec.h"
#include "support/temp_dir.h"

namespace kelvor {
namespace {

// Real files through the real decoder: where the layer flags come from.
class ChipSheetDecodingTest : public ::testing::Test {
 protected:
  const ChipSheet& LoadOnly(const std::string& name) {
    const SheetMenu menu = ScanChipFolder(sheets, "", dir.path().string(), decoder);
    EXPECT_EQ(sheets.sheetCount, 1);
    EXPECT_EQ(sheets.sheets[0].fileName, name);
    return sheets.sheets[0];
  }
  std::vector<uint8_t> Flags(const ChipSheet& sheet) {
    const size_t chips = static_cast<size_t>(sheet.chipColumns) * sheet.chipRows;
    return std::vector<uint8_t>(sheet.chipFlags->begin(), sheet.chipFlags->begin() + chips);
  }

  test::TempDir dir;
  QtImageDecoder decoder;
  ChipSheetTable sheets;
};

TEST_F(ChipSheetDecodingTest, PngPixelOfAlpha254MarksOnlyItsChip) {
  QImage image(96, 64, QImage::Format_ARGB32);
  image.fill(qRgba(0, 128, 0, 255));
  image.setPixel(40, 3, qRgba(0, 128, 0, 254));
  ASSERT_TRUE(image.save(QString::fromStdString(dir.File("grass.png")), "PNG"));
  const ChipSheet& sheet = LoadOnly("grass.png");
  EXPECT_EQ(sheet.chipColumns, 3);
  EXPECT_EQ(sheet.chipRows, 2);
  EXPECT_EQ(Flags(sheet), (std::vector<uint8_t>{0, ChipFlagLayer, 0, 0, 0, 0}));
}

TEST_F(ChipSheetDecodingTest, OpaqueTwentyFourBitBmpHasNoLayerFlags) {
  QImage image(64, 32, QImage::Format_RGB888);
  image.fill(qRgb(9, 9, 9));
  ASSERT_TRUE(image.save(QString::fromStdString(dir.File("wall.bmp")), "BMP"));
  const ChipSheet& sheet = LoadOnly("wall.bmp");
  EXPECT_EQ(Flags(sheet), (std::vector<uint8_t>{0, 0}));
}

TEST_F(ChipSheetDecodingTest, ThirtyTwoBitBmpWithZeroFourthBytesIsAllLayer) {
  PixelBuffer stored = PixelBuffer::Make(64, 64);
  for (size_t i = 0; i < stored.pixels.size(); i += 4) stored.pixels[i + 2] = 200;  // red, alpha 0
  test::WriteFileBytes(dir.File("old.bmp"), WriteBmp32(stored));
  const ChipSheet& sheet = LoadOnly("old.bmp");
  EXPECT_EQ(Flags(sheet), std::vector<uint8_t>(4, ChipFlagLayer));
  // Kept as stored, not premultiplied (which would have zeroed the red).
  EXPECT_EQ(sheet.bitmap.At(10, 10)[2], 200);
}

TEST_F(ChipSheetDecodingTest, BundledChipArtStaysInsideEachChip) {
  // Two neighbouring chips with transparency (objects, not ground that tiles)
  // are never both drawn on the same point of their shared edge: that is
  // one drawing crossing the border, and stamping either chip shows a cut
  // piece of it.
  const std::filesystem::path folder =
      (std::filesystem::path(KELVOR_TEST_DATA) / ".." / ".." / "resources" / "map_chip")
          .lexically_normal();
  ScanChipFolder(sheets, "", folder.string(), decoder);
  ASSERT_EQ(sheets.sheetCount, 2);
  std::vector<std::string> crossings;
  for (int32_t i = 0; i < sheets.sheetCount; ++i) {
    ChipSheet& sheet = sheets.sheets[static_cast<size_t>(i)];
    const auto drawn = [&sheet](int32_t x, int32_t y) { return sheet.bitmap.At(x, y)[3] != 0; };
    const auto object = [&sheet](int32_t column, int32_t row) {
      return column < sheet.chipColumns && row < sheet.chipRows &&
             (sheet.Flag(column, row) & ChipFlagLayer) != 0;
    };
    for (int32_t row = 0; row < sheet.chipRows; ++row) {
      for (int32_t column = 0; column < sheet.chipColumns; ++column) {
        if (!object(column, row)) continue;
        for (int32_t along = 0; along < 32; ++along) {
          const int32_t x = column * 32 + along;
          const int32_t y = row * 32 + along;
          const bool right =
              object(column + 1, row) && drawn(column * 32 + 31, y) && drawn(column * 32 + 32, y);
          const bool below =
              object(column, row + 1) && drawn(x, row * 32 + 31) && drawn(x, row * 32 + 32);
          if (right || below) {
            crossings.push_back(sheet.fileName + " (" + std::to_string(column) + ", " +
                                std::to_string(row) + (right ? ") right" : ") below"));
            break;
          }
        }
      }
    }
  }
  EXPECT_TRUE(crossings.empty()) << ::testing::PrintToString(crossings);
}

}  // namespace
}  // namespace kelvor
