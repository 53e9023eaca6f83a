#include <gtest/gtest.h>

#include "document/sheet_menu.h"
#include "support/fake_image_decoder.h"

namespace kelvor {
namespace {

void LoadFakeSheet(ChipSheet& sheet, const std::string& name) {
  sheet.fileName = name;
  sheet.bitmap = test::SolidImage(64, 32);
  sheet.width = 64, sheet.height = 32, sheet.bitsPerPixel = 32;
  sheet.chipColumns = 2, sheet.chipRows = 1;
  sheet.chipFlags.emplace(8, uint8_t{ChipFlagSelected | ChipFlagCollision});
}

TEST(RebuildFileMenu, ListsSheetsInScanOrderNumberedBackwards) {
  ChipSheetTable sheets;
  LoadFakeSheet(sheets.sheets[0], "a.png");
  LoadFakeSheet(sheets.sheets[1], "b.png");
  LoadFakeSheet(sheets.sheets[2], "c.png");
  sheets.sheetCount = 3;
  sheets.currentSheet = 2;

  const SheetMenu menu = RebuildFileMenu(sheets);
  ASSERT_EQ(menu.items.size(), 3u);
  const struct {
    int32_t command;
    int32_t sheet;
    const char* text;
  } expected[] = {{40038, 0, "a.png"}, {40037, 1, "b.png"}, {40036, 2, "c.png"}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(menu.items[i].command, expected[i].command);
    EXPECT_EQ(menu.items[i].sheet, expected[i].sheet);
    EXPECT_EQ(menu.items[i].text, expected[i].text);
    EXPECT_EQ(SheetForMenuCommand(expected[i].command, 3), expected[i].sheet);
  }
  EXPECT_EQ(sheets.currentSheet, 0);
  // Placement marks go on sheet 0 only, other bits stay.
  EXPECT_EQ((*sheets.sheets[0].chipFlags)[0], ChipFlagCollision);
  EXPECT_EQ((*sheets.sheets[0].chipFlags)[1], ChipFlagCollision);
  EXPECT_EQ((*sheets.sheets[1].chipFlags)[0], ChipFlagSelected | ChipFlagCollision);
}

TEST(RebuildFileMenu, NoSheetsLeavesThePlaceholder) {
  ChipSheetTable sheets;
  sheets.currentSheet = 4;
  EXPECT_TRUE(RebuildFileMenu(sheets).items.empty());
  EXPECT_EQ(sheets.currentSheet, 0);
}

TEST(SheetMenuCommands, MapBothWaysAndRejectOthers) {
  for (int32_t count : {1, 2, 256}) {
    for (int32_t sheet = 0; sheet < count; ++sheet) {
      const int32_t command = SheetMenuCommand(sheet, count);
      ASSERT_GE(command, SheetMenuFirstCommand);
      ASSERT_LE(command, SheetMenuLastCommand);
      ASSERT_EQ(SheetForMenuCommand(command, count), sheet);
    }
  }
  EXPECT_EQ(SheetForMenuCommand(SheetMenuReloadCommand, 3), -1);
  EXPECT_EQ(SheetForMenuCommand(40039, 3), -1);
  EXPECT_EQ(SheetForMenuCommand(40036, 0), -1);
  EXPECT_EQ(SheetMenuCommand(3, 3), -1);
}

}  // namespace
}  // namespace kelvor
