#include <gtest/gtest.h>

#include "document/chip_sheet_loader.h"
#include "document/transparency_dialog_model.h"
#include "support/fake_image_decoder.h"

namespace kelvor {
namespace {

// Sheet 1 ("k.png", 64 x 32) is current; its left half is pure red.
class TransparencyDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PixelBuffer image = test::SolidImage(64, 32, 255, 0, 0);  // blue
    for (int32_t y = 0; y < 32; ++y) {
      for (int32_t x = 0; x < 32; ++x) image.At(x, y)[0] = 0, image.At(x, y)[2] = 255;
    }
    decoder.images["k.png"] = image;
    sheets.sheets[1].fileName = "k.png";
    ASSERT_TRUE(LoadChipSheet(sheets.sheets[1], "/chips/k.png", true, decoder));
    sheets.sheetCount = 2;
    sheets.currentSheet = 1;
    sheets.sheets[1].transparentColor = Rgb(0, 0, 255);
    (*Sheet().chipFlags)[0] = ChipFlagCollision;
  }
  ChipSheet& Sheet() { return sheets.sheets[1]; }

  test::FakeImageDecoder decoder;
  ChipSheetTable sheets;
  TransparencyDialogModel dialog;
};

TEST_F(TransparencyDialogTest, CancelRestoresKeyAndLeavesPixels) {
  const std::vector<uint8_t> before = Sheet().bitmap.pixels;
  dialog.Open(sheets);
  EXPECT_FALSE(dialog.KeyOn());
  EXPECT_FALSE(dialog.ChooseEnabled());
  EXPECT_EQ(dialog.KeyColor(), Rgb(0, 0, 255));

  dialog.SetKeyOn(true);
  EXPECT_TRUE(dialog.ChooseEnabled());
  EXPECT_EQ(Sheet().transparent, 1);  // at once
  dialog.SetKeyColor(Rgb(255, 0, 0));
  EXPECT_EQ(Sheet().transparentColor, Rgb(255, 0, 0));

  dialog.Cancel();
  EXPECT_EQ(Sheet().transparent, 0);
  EXPECT_EQ(Sheet().transparentColor, Rgb(0, 0, 255));
  EXPECT_EQ(Sheet().bitmap.pixels, before);
}

TEST_F(TransparencyDialogTest, OkReloadsAppliesKeyAndKeepsFlags) {
  dialog.Open(sheets);
  dialog.SetKeyOn(true);
  dialog.SetKeyColor(Rgb(255, 0, 0));
  ASSERT_TRUE(dialog.Accept("/exe", "/chips", decoder));
  EXPECT_EQ(decoder.requested.back(), "/chips/k.png");
  EXPECT_EQ(Sheet().bitmap.At(5, 5)[3], 0);     // red made transparent
  EXPECT_EQ(Sheet().bitmap.At(40, 5)[3], 255);  // blue stays
  // The flags were kept: the layer bit is not recomputed by a reload.
  EXPECT_EQ((*Sheet().chipFlags)[0], ChipFlagCollision);

  // Switching the key off again brings the pixels back through the reload.
  dialog.Open(sheets);
  dialog.SetKeyOn(false);
  ASSERT_TRUE(dialog.Accept("/exe", "/chips", decoder));
  EXPECT_EQ(Sheet().bitmap.At(5, 5)[3], 255);
}

TEST_F(TransparencyDialogTest, FailedReloadLeavesSlotWithoutImage) {
  decoder.images.clear();
  dialog.Open(sheets);
  EXPECT_FALSE(dialog.Accept("/exe", "/chips", decoder));
  EXPECT_FALSE(Sheet().HasBitmap());
  EXPECT_EQ(Sheet().chipColumns, 0);
  EXPECT_EQ((*Sheet().chipFlags)[0], ChipFlagCollision);
}

TEST_F(TransparencyDialogTest, NoSheetLoadedReloadsNothing) {
  sheets.sheetCount = 0;
  sheets.currentSheet = 1;  // stale name and slot from an earlier scan
  dialog.Open(sheets);
  dialog.SetKeyOn(true);
  EXPECT_FALSE(dialog.Accept("/exe", "/chips", decoder));
  EXPECT_TRUE(decoder.requested.size() == 1);  // only the set-up load
}

}  // namespace
}  // namespace kelvor
