#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "editing/chip_registration.h"
#include "editing/tool_workspace.h"
#include "support/temp_dir.h"

namespace kelvor {
namespace {

class ChipRegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override { test::PrepareToolWorkspace(ws, 10, 10); }

  PlacementItem Register(int32_t level, int32_t column, int32_t row) {
    PlacementItem item;
    item.level = level;
    item.sheetColumn = column;
    item.sheetRow = row;
    RegisterChip(ws.document, ws.sheets, ws.display.mapZoom, item);
    return item;
  }

  // The atlas cell of `slot` holds exactly the pixels of the sheet chip.
  ::testing::AssertionResult AtlasHoldsChip(int32_t level, int32_t slot, int32_t column,
                                            int32_t row, uint8_t sheetTag = 0) {
    const PixelBuffer& atlas = ws.document.tables[static_cast<size_t>(level)].atlas;
    for (int32_t y = 0; y < 32; ++y) {
      for (int32_t x = 0; x < 32; ++x) {
        uint8_t expected[4];
        test::SheetPixel(column * 32 + x, row * 32 + y, sheetTag, expected);
        const uint8_t* actual = atlas.At((slot % 16) * 32 + x, (slot / 16) * 32 + y);
        if (std::memcmp(actual, expected, 4) != 0) {
          return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") differs";
        }
      }
    }
    return ::testing::AssertionSuccess();
  }

  Workspace ws;
};

TEST_F(ChipRegistrationTest, FirstChipTakesSlotOneAndFileSlotZero) {
  const uint64_t revision = ws.document.tables[0].atlasRevision;
  const PlacementItem item = Register(LevelBackground, 3, 2);
  EXPECT_NE(ws.document.tables[0].atlasRevision, revision);  // views redraw
  EXPECT_EQ(item.tableColumn, 1);
  EXPECT_EQ(item.tableRow, 0);
  const ChipEntry& entry = ws.document.tables[0].entries[1];
  EXPECT_EQ(entry, (ChipEntry{1, 0, 3, 2, 0}));
  EXPECT_EQ(ws.document.fileList.names[0], "chips.png");
  EXPECT_EQ(ws.document.fileList.UsedNames(), 1);
  EXPECT_TRUE(AtlasHoldsChip(LevelBackground, 1, 3, 2));
  // Nothing else of the atlas was written.
  const PixelBuffer& atlas = ws.document.tables[0].atlas;
  EXPECT_EQ(atlas.At(31, 31)[3], 0);
  EXPECT_EQ(atlas.At(64, 0)[3], 0);
  EXPECT_EQ(ws.document.tables[1].UsedChips(), 0);
}

TEST_F(ChipRegistrationTest, SameChipReusesItsSlotWithoutRedrawing) {
  Register(LevelBackground, 0, 0);
  Register(LevelBackground, 5, 5);
  // Scribble on the atlas: a reuse must leave it alone.
  ws.document.tables[0].atlas.At(32 * 2, 0)[0] = 0xEE;
  const uint64_t revision = ws.document.tables[0].atlasRevision;
  const PlacementItem again = Register(LevelBackground, 5, 5);
  EXPECT_EQ(ws.document.tables[0].atlasRevision, revision);
  EXPECT_EQ(again.tableColumn, 2);
  EXPECT_EQ(again.tableRow, 0);
  EXPECT_EQ(ws.document.tables[0].atlas.At(64, 0)[0], 0xEE);
  EXPECT_EQ(ws.document.tables[0].UsedChips(), 2);
}

TEST_F(ChipRegistrationTest, EachLevelHasItsOwnSlot) {
  const PlacementItem background = Register(LevelBackground, 4, 1);
  const PlacementItem layer = Register(LevelLayer, 4, 1);
  EXPECT_EQ(background.tableColumn, 1);
  EXPECT_EQ(layer.tableColumn, 1);
  EXPECT_EQ(ws.document.tables[1].entries[1], (ChipEntry{1, 0, 4, 1, 0}));
  EXPECT_TRUE(AtlasHoldsChip(LevelLayer, 1, 4, 1));
  EXPECT_EQ(ws.document.fileList.UsedNames(), 1);
}

TEST_F(ChipRegistrationTest, FileNamesCompareWithCase) {
  test::LoadTestSheet(ws, 1, "Chips.png", 8, 8);
  Register(LevelBackground, 0, 0);
  ws.sheets.currentSheet = 1;
  const PlacementItem other = Register(LevelBackground, 0, 0);
  EXPECT_EQ(other.tableColumn, 2);
  EXPECT_EQ(ws.document.fileList.names[0], "chips.png");
  EXPECT_EQ(ws.document.fileList.names[1], "Chips.png");
  EXPECT_EQ(ws.document.tables[0].entries[2].file, 1);
  EXPECT_TRUE(AtlasHoldsChip(LevelBackground, 2, 0, 0, 1));
}

TEST_F(ChipRegistrationTest, TakesTheFirstFreeSlotAndClearsItsAtlasCell) {
  ChipTable& table = ws.document.tables[0];
  for (int32_t slot : {1, 2, 4}) table.entries[static_cast<size_t>(slot)] = {1, 7, slot, 7, 0};
  // Stale pixels of an earlier chip in slot 3's cell are replaced.
  std::memset(table.atlas.At(96, 0), 0x55, 32 * 4);
  ws.document.fileList.names[0] = "other.png";
  const PlacementItem item = Register(LevelBackground, 6, 6);
  EXPECT_EQ(item.tableColumn, 3);
  EXPECT_EQ(table.entries[3], (ChipEntry{1, 1, 6, 6, 0}));
  EXPECT_TRUE(AtlasHoldsChip(LevelBackground, 3, 6, 6));
}

TEST_F(ChipRegistrationTest, FullTableRefusesNewChipsButReusesOld) {
  ChipTable& table = ws.document.tables[0];
  const PlacementItem first = Register(LevelBackground, 0, 0);
  for (int32_t slot = 2; slot < 256; ++slot) {
    table.entries[static_cast<size_t>(slot)] = {1, 0, slot % 8, 100 + slot, 0};
  }
  const PlacementItem refused = Register(LevelBackground, 1, 0);
  EXPECT_EQ(refused.tableColumn, -1);
  EXPECT_EQ(refused.tableRow, -1);
  const PlacementItem reused = Register(LevelBackground, 0, 0);
  EXPECT_EQ(reused.tableColumn, first.tableColumn);
  EXPECT_EQ(reused.tableRow, first.tableRow);
  // The other table is not affected.
  EXPECT_EQ(Register(LevelLayer, 1, 0).tableColumn, 1);
}

TEST_F(ChipRegistrationTest, FullFileListRefusesTheChip) {
  for (int32_t i = 0; i < ChipFileSlots; ++i) {
    ws.document.fileList.names[static_cast<size_t>(i)] = test::Numbered("f", i, ".png");
  }
  const PlacementItem item = Register(LevelBackground, 0, 0);
  EXPECT_EQ(item.tableColumn, -1);
  EXPECT_EQ(item.tableRow, -1);
  EXPECT_EQ(ws.document.tables[0].UsedChips(), 0);
}

TEST_F(ChipRegistrationTest, WithoutAtlasTheNameStaysButNoSlotIsTaken) {
  ws.document.tables[1].atlas = PixelBuffer{};
  const PlacementItem item = Register(LevelLayer, 2, 2);
  EXPECT_EQ(item.tableColumn, -1);
  EXPECT_EQ(ws.document.tables[1].UsedChips(), 0);
  EXPECT_EQ(ws.document.fileList.names[0], "chips.png");
}

TEST_F(ChipRegistrationTest, UnmetPreconditionsLeaveTheItemAlone) {
  PlacementItem item;
  item.tableColumn = 5;
  item.tableRow = 6;
  auto unchanged = [&](const char* what) {
    PlacementItem copy = item;
    RegisterChip(ws.document, ws.sheets, ws.display.mapZoom, copy);
    EXPECT_EQ(copy.tableColumn, 5) << what;
    EXPECT_EQ(copy.tableRow, 6) << what;
    EXPECT_EQ(ws.document.fileList.UsedNames(), 0) << what;
  };
  ws.display.mapZoom = 0.0f;
  unchanged("zoom 0");
  ws.display.mapZoom = 1.0f;
  ws.sheets.currentSheet = 3;  // an empty slot
  unchanged("no sheet");
  ws.sheets.currentSheet = 0;
  ws.document.grid.Release();
  unchanged("no grid");
}

}  // namespace
}  // namespace kelvor
