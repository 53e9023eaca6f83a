#include <gtest/gtest.h>

#include <vector>

#include "editing/tool_workspace.h"
#include "editing/undo_history.h"
#include "tools/whole_map_fill.h"

namespace kelvor {
namespace {

class WholeMapFillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::PrepareToolWorkspace(ws, 6, 4);
    for (size_t i = 0; i < Cells().size(); ++i) {
      Cells()[i] = 0xA0000000 | static_cast<MapCell>(i % 3) << 16 | (i % 2 ? 0x1100 : 0) | 9;
    }
  }
  std::vector<MapCell>& Cells() { return *ws.document.grid.cells; }

  Workspace ws;
};

TEST_F(WholeMapFillTest, FirstMarkedChipOnItsLevelEverywhere) {
  for (bool fillMode : {false, true}) {
    SetUp();
    ResetUndo(ws.undo);
    ws.edit.fillMode = fillMode;
    ws.sheets.Current().Flag(5, 0) |= ChipFlagSelected;  // first in row-major order
    ws.sheets.Current().Flag(2, 1) |= ChipFlagSelected;
    const std::vector<MapCell> before = Cells();
    ASSERT_TRUE(FillWholeMap(ws));
    for (size_t i = 0; i < Cells().size(); ++i) {
      EXPECT_EQ(Cells()[i], (before[i] & ~CellBackgroundMask) | 1) << "cell " << i;
    }
    EXPECT_EQ(ws.document.tables[0].entries[1], (ChipEntry{1, 0, 5, 0, 0}));
    EXPECT_EQ(ws.edit.placement[0].sheetColumn, 5);
    EXPECT_EQ(ws.edit.originColumn, 5);
    EXPECT_EQ(ws.edit.placementCount, 0);
    EXPECT_EQ(ws.undo.cursor(), 0);
  }
}

TEST_F(WholeMapFillTest, LayerChipFillsTheLayer) {
  ws.sheets.Current().Flag(3, 3) |= ChipFlagSelected | ChipFlagLayer;
  const std::vector<MapCell> before = Cells();
  ASSERT_TRUE(FillWholeMap(ws));
  for (size_t i = 0; i < Cells().size(); ++i) {
    EXPECT_EQ(Cells()[i], (before[i] & ~CellLayerMask) | 0x00010000);
  }
  EXPECT_EQ(ws.document.tables[1].entries[1], (ChipEntry{1, 0, 3, 3, 0}));
  EXPECT_EQ(ws.document.tables[0].UsedChips(), 0);
}

TEST_F(WholeMapFillTest, NothingWithoutAChipOrASlot) {
  const std::vector<MapCell> before = Cells();
  EXPECT_FALSE(FillWholeMap(ws));  // nothing marked

  ws.sheets.Current().Flag(0, 0) |= ChipFlagSelected;
  for (int32_t slot = 1; slot < 256; ++slot) {
    ws.document.tables[0].entries[static_cast<size_t>(slot)] = {1, 3, 0, slot, 0};
  }
  EXPECT_FALSE(FillWholeMap(ws));  // table full
  EXPECT_EQ(Cells(), before);
  EXPECT_EQ(ws.undo.cursor(), -1);

  ws.document.grid.Allocate(0, 4);
  ws.document.tables[0].ClearEntries();
  EXPECT_FALSE(FillWholeMap(ws));  // an empty map stays as it is
  EXPECT_EQ(ws.document.tables[0].UsedChips(), 0);
}

}  // namespace
}  // namespace kelvor
