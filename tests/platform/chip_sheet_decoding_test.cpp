#include <gtest/gtest.h>

#include <QImage>
#include <QString>

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

}  // namespace
}  // namespace kelvor
