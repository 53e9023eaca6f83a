#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editing/tool_workspace.h"
#include "editing/undo_history.h"
#include "support/fake_clipboard.h"
#include "support/fakes.h"
#include "tools/edit_tools.h"

namespace kelvor {
namespace {

HeldKeys Keys(const std::string& held) {
  HeldKeys keys;
  for (char c : held) {
    switch (c) {
      case '^':
        keys.ctrl = true;
        break;
      case 'B':
        keys.b = true;
        break;
      case 'K':
        keys.k = true;
        break;
      case 'L':
        keys.l = true;
        break;
      case 'Y':
        keys.y = true;
        break;
      case 'C':
        keys.c = true;
        break;
      case 'X':
        keys.x = true;
        break;
      case 'V':
        keys.v = true;
        break;
      default:
        ADD_FAILURE() << "unknown key " << c;
    }
  }
  return keys;
}

struct ToolChoice {
  const char* keys;
  int32_t mode;
  MapTool tool;
};

TEST(ChooseMapToolTest, KeysFirstThenPaletteMode) {
  const ToolChoice table[] = {
      {"", PaletteModePlacement, MapTool::Place},
      {"", PaletteModeLayer, MapTool::Place},
      {"", PaletteModeCollision, MapTool::CollisionPaint},
      {"", PaletteModePriority, MapTool::PriorityPaint},
      {"V", PaletteModeCollision, MapTool::Paste},
      {"V^B", PaletteModePlacement, MapTool::Paste},
      {"^", PaletteModePriority, MapTool::Select},
      {"^BK", PaletteModePlacement, MapTool::Select},
      {"B", PaletteModeCollision, MapTool::Erase},
      {"K", PaletteModePlacement, MapTool::Erase},
      {"L", PaletteModePriority, MapTool::Erase},
      {"Y", PaletteModeLayer, MapTool::Erase},
      {"C", PaletteModePlacement, MapTool::Place},  // C and X play no part in a click
      {"X", PaletteModeCollision, MapTool::CollisionPaint},
  };
  for (const ToolChoice& row : table) {
    EXPECT_EQ(ChooseMapTool(Keys(row.keys), row.mode), row.tool)
        << "keys '" << row.keys << "' mode " << row.mode;
  }
}

class EditToolsTest : public ::testing::Test {
 protected:
  void SetUp() override { test::PrepareToolWorkspace(ws, 20, 20); }

  void Mark(int32_t column, int32_t row, uint8_t extra = 0) {
    ws.sheets.Current().Flag(column, row) |= ChipFlagSelected | extra;
  }
  ToolResult Down(PixelPoint point, const std::string& keys = "") {
    return OnMapButtonDown(ws, point, Keys(keys), clipboard, messages);
  }
  ToolResult Move(PixelPoint point, const std::string& keys = "") {
    return OnMapMouseMove(ws, point, Keys(keys), true);
  }
  ToolResult Up(const std::string& keys = "") { return OnMapButtonUp(ws, Keys(keys)); }
  void Click(PixelPoint point, const std::string& keys = "") {
    Down(point, keys);
    Up(keys);
  }
  MapCell& Cell(int32_t column, int32_t row) { return ws.document.grid.At(column, row); }
  std::vector<MapCell>& Cells() { return *ws.document.grid.cells; }

  Workspace ws;
  test::FakeClipboard clipboard;
  test::RecordingMessages messages;
};

TEST_F(EditToolsTest, PenCursorOnlyForPlacementWithoutSelectionKeys) {
  struct Row {
    int32_t mode;
    bool fillMode;
    const char* keys;
    PenCursor cursor;
  };
  const Row table[] = {
      {PaletteModePlacement, false, "", PenCursor::Line},
      {PaletteModePlacement, true, "", PenCursor::Fill},
      {PaletteModePlacement, false, "BKLY", PenCursor::Line},
      {PaletteModePlacement, true, "^", PenCursor::Keep},
      {PaletteModePlacement, false, "C", PenCursor::Keep},
      {PaletteModePlacement, false, "X", PenCursor::Keep},
      {PaletteModePlacement, false, "V", PenCursor::Keep},
      {PaletteModeLayer, false, "", PenCursor::Keep},
      {PaletteModeCollision, true, "", PenCursor::Keep},
      {PaletteModePriority, false, "", PenCursor::Keep},
  };
  for (const Row& row : table) {
    ws.palette.mode = row.mode;
    ws.edit.fillMode = row.fillMode;
    EXPECT_EQ(UpdatePenCursor(ws, Keys(row.keys)), row.cursor)
        << "mode " << row.mode << " fill " << row.fillMode << " keys " << row.keys;
  }
  ws.palette.mode = PaletteModePlacement;
  ws.document.grid.Release();
  EXPECT_EQ(UpdatePenCursor(ws, {}), PenCursor::Keep);
}

TEST_F(EditToolsTest, MarkedChipsKeepTheirSheetArrangement) {
  Mark(3, 2);
  Mark(4, 2);
  Mark(3, 4);
  const ToolResult result = Down(test::CellCentre(10, 10));
  EXPECT_TRUE(result.updateTitle);
  EXPECT_TRUE(result.repaint);
  EXPECT_EQ(result.cursor, PenCursor::Line);
  EXPECT_EQ(ws.edit.placementCount, 3);
  EXPECT_EQ(ws.edit.originColumn, 3);
  EXPECT_EQ(ws.edit.originRow, 2);
  EXPECT_EQ(CellBackground(Cell(10, 10)), 1);
  EXPECT_EQ(CellBackground(Cell(11, 10)), 2);
  EXPECT_EQ(CellBackground(Cell(10, 12)), 3);
  EXPECT_EQ(std::count_if(Cells().begin(), Cells().end(), [](MapCell c) { return c != 0; }), 3);
  EXPECT_EQ(ws.undo.cursor(), 0);
  EXPECT_EQ(messages.waitCount, 1);
  EXPECT_EQ(messages.waitDepth, 0);
  Up();
  EXPECT_EQ(ws.edit.placementCount, 0);
}

TEST_F(EditToolsTest, PartsBeyondTheMapAreDropped) {
  ws.document.grid.Allocate(12, 12);
  ResetSelection(ws.selection, 12, 12);
  Mark(3, 2);
  Mark(4, 2);
  Mark(3, 4);
  Down(test::CellCentre(10, 10));
  EXPECT_EQ(CellBackground(Cell(10, 10)), 1);
  EXPECT_EQ(CellBackground(Cell(11, 10)), 2);
  // (10, 12) lies below the map; the chip is still registered.
  EXPECT_EQ(std::count_if(Cells().begin(), Cells().end(), [](MapCell c) { return c != 0; }), 2);
  EXPECT_EQ(ws.document.tables[0].UsedChips(), 3);
}

TEST_F(EditToolsTest, AtMost256MarkedChipsAnd255PerTable) {
  test::LoadTestSheet(ws, 0, "big.png", 20, 15);  // 300 chips
  for (int32_t row = 0; row < 15; ++row) {
    for (int32_t column = 0; column < 20; ++column) Mark(column, row);
  }
  Down(test::CellCentre(0, 0));
  EXPECT_EQ(ws.edit.placementCount, 256);
  // Item 255 is chip (15, 12): the 256th in row-major order, the last collected.
  EXPECT_EQ(ws.edit.placement[255].sheetColumn, 15);
  EXPECT_EQ(ws.edit.placement[255].sheetRow, 12);
  EXPECT_EQ(ws.edit.placement[254].tableColumn, 15);
  EXPECT_EQ(ws.edit.placement[254].tableRow, 15);
  EXPECT_EQ(ws.edit.placement[255].tableColumn, -1);
  EXPECT_EQ(ws.document.tables[0].UsedChips(), 255);
  // Chip (19, 0) is the 20th item: slot 20 at cell (19, 0).
  EXPECT_EQ(CellBackground(Cell(19, 0)), 20);
  EXPECT_EQ(CellBackground(Cell(14, 12)), 255);
  EXPECT_EQ(CellBackground(Cell(15, 12)), 0);  // its chip found no slot
  EXPECT_EQ(CellBackground(Cell(0, 13)), 0);   // never collected
}

TEST_F(EditToolsTest, FullTableSkipsOnlyThatLevel) {
  for (int32_t slot = 1; slot < 256; ++slot) {
    ws.document.tables[0].entries[static_cast<size_t>(slot)] = {1, 9, slot, 99, 0};
  }
  Mark(0, 0);
  Mark(1, 0, ChipFlagLayer);
  Down(test::CellCentre(5, 5));
  EXPECT_EQ(Cell(5, 5), 0u);
  EXPECT_EQ(Cell(6, 5), 0x00010000u);
}

TEST_F(EditToolsTest, BothLevelsInOneClickAreOneUndoStep) {
  Cell(4, 4) = 0x00001100;  // flags must survive
  Mark(2, 2);
  Mark(2, 3, ChipFlagLayer);
  Click(test::CellCentre(4, 3));
  EXPECT_EQ(Cell(4, 3), 0x00000001u);
  EXPECT_EQ(Cell(4, 4), 0x00011100u);
  EXPECT_EQ(ws.undo.cursor(), 0);
  ASSERT_TRUE(Undo(ws.undo, ws.document.grid, ws.selection));
  EXPECT_EQ(Cell(4, 3), 0u);
  EXPECT_EQ(Cell(4, 4), 0x00001100u);
}

TEST_F(EditToolsTest, ClickWithNothingMarkedRepaintsButRecordsNothing) {
  const ToolResult result = Down(test::CellCentre(1, 1));
  EXPECT_TRUE(result.repaint);
  EXPECT_EQ(ws.undo.cursor(), -1);
  EXPECT_EQ(ws.document.fileList.UsedNames(), 0);
}

TEST_F(EditToolsTest, UnmetPreconditionsDoNothing) {
  Mark(0, 0);
  const std::vector<MapCell> before = Cells();
  ws.display.mapZoom = 0.0f;
  EXPECT_FALSE(Down(test::CellCentre(1, 1)).repaint);
  ws.display.mapZoom = 1.0f;
  ws.sheets.Current().bitmap = PixelBuffer{};
  EXPECT_FALSE(Down(test::CellCentre(1, 1)).repaint);
  EXPECT_EQ(Cells(), before);
  EXPECT_EQ(ws.undo.cursor(), -1);
}

TEST_F(EditToolsTest, EmptyGridIsLeftAlone) {
  for (auto [width, height] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{0, 0}}) {
    ws.document.grid.Allocate(width, height);
    ResetSelection(ws.selection, width, height);
    Mark(0, 0);
    for (const char* keys : {"", "K", "B", "^", "V"}) {
      const ToolResult result = Down({3, 3}, keys);
      EXPECT_FALSE(result.repaint);
      Move({40, 40}, keys);
      Up(keys);
    }
    ws.palette.mode = PaletteModeCollision;
    Click({3, 3});
    ws.palette.mode = PaletteModePlacement;
    EXPECT_FALSE(RunPopupErase(ws, 2));
    EXPECT_EQ(ws.document.grid.CellCount(), 0u);
    EXPECT_EQ(ws.undo.cursor(), -1);
    EXPECT_EQ(ws.document.tables[0].UsedChips(), 0);
  }
}

TEST_F(EditToolsTest, GridWhoseCellsDoNotMatchItsSizeIsLeftAlone) {
  Mark(0, 0);
  ws.document.grid.cells->resize(30);  // 20 x 20 claimed, 30 cells held
  for (const char* keys : {"", "K", "B", "V"}) Down(test::CellCentre(19, 19), keys);
  ws.edit.fillMode = true;
  Down(test::CellCentre(19, 19));
  EXPECT_EQ(*ws.document.grid.cells, std::vector<MapCell>(30, 0));
  EXPECT_EQ(ws.undo.cursor(), -1);
}

TEST_F(EditToolsTest, MouseGateClosedIgnoresPressesUntilARelease) {
  Mark(0, 0);
  ws.input.mouseEnabled = false;
  EXPECT_FALSE(Down(test::CellCentre(2, 2)).repaint);
  EXPECT_FALSE(Move(test::CellCentre(3, 2)).repaint);
  EXPECT_EQ(Cells(), std::vector<MapCell>(400, 0));
  Up();
  EXPECT_TRUE(ws.input.mouseEnabled);
  Down(test::CellCentre(2, 2));
  EXPECT_EQ(CellBackground(Cell(2, 2)), 1);
}

TEST_F(EditToolsTest, DragStampsEachNewlyEnteredCell) {
  Mark(1, 1);
  Down(test::CellCentre(0, 0));
  Move({20, 16});  // still cell (0, 0): the first move handles it
  Move({24, 18});  // same cell again: skipped
  EXPECT_FALSE(Move({26, 20}).repaint);
  Move(test::CellCentre(1, 0));
  Cell(0, 0) = 0;  // back into a cell stamped earlier in the stroke: stamped again
  Move(test::CellCentre(0, 0));
  EXPECT_EQ(CellBackground(Cell(0, 0)), 1);
  EXPECT_EQ(CellBackground(Cell(1, 0)), 1);
  EXPECT_EQ(ws.undo.cursor(), 0);  // one stroke, one step
  Up();
  // A move without the button down does nothing.
  Cell(5, 5) = 0;
  EXPECT_FALSE(OnMapMouseMove(ws, test::CellCentre(5, 5), {}, false).repaint);
  EXPECT_EQ(Cell(5, 5), 0u);
}

TEST_F(EditToolsTest, LastDragCellCarriesIntoTheNextStroke) {
  Mark(0, 0);
  Down(test::CellCentre(3, 3));
  Move(test::CellCentre(4, 3));
  Up();
  EXPECT_EQ(ws.edit.lastDragCell, (CellPoint{4, 3}));
  Down(test::CellCentre(8, 8));
  Cell(4, 3) = 0;
  Move(test::CellCentre(4, 3));  // the cell the last stroke ended on: skipped
  EXPECT_EQ(Cell(4, 3), 0u);
  Move(test::CellCentre(5, 3));
  EXPECT_EQ(CellBackground(Cell(5, 3)), 1);
}

TEST_F(EditToolsTest, AreaModeFillsFromEachTargetInOrder) {
  ws.edit.fillMode = true;
  // Background 7 in column 5 splits the map into two regions of 0.
  for (int32_t row = 0; row < 20; ++row) Cell(5, row) = 7;
  Mark(2, 2);
  Mark(3, 2);
  Mark(2, 3, ChipFlagLayer);
  const ToolResult result = Down(test::CellCentre(4, 0));
  EXPECT_EQ(result.cursor, PenCursor::Fill);
  // Chip 1 filled the left region from (4, 0); chip 2 then filled the
  // wall column from (5, 0); chip 3 filled the whole layer from (4, 1).
  EXPECT_EQ(Cell(0, 19), 0x00010001u);
  EXPECT_EQ(Cell(5, 7), 0x00010002u);
  EXPECT_EQ(Cell(19, 19), 0x00010000u);
}

TEST_F(EditToolsTest, EraseKeys) {
  for (MapCell& cell : Cells()) cell = 0x00031E02;
  // B and L together empty both levels of each cell passed over.
  Down(test::CellCentre(0, 0), "BL");
  Move(test::CellCentre(1, 0), "BL");
  Up("BL");
  EXPECT_EQ(Cell(0, 0), 0x00001E00u);
  EXPECT_EQ(Cell(1, 0), 0x00001E00u);
  Click(test::CellCentre(2, 0), "B");
  EXPECT_EQ(Cell(2, 0), 0x00031E00u);
  Click(test::CellCentre(3, 0), "L");
  EXPECT_EQ(Cell(3, 0), 0x00001E02u);
  EXPECT_EQ(ws.undo.cursor(), 2);
  // K and Y area-erase the background, then the layer; not on moves.
  Down(test::CellCentre(10, 10), "KY");
  EXPECT_EQ(Cell(19, 19), 0x00001E00u);
  EXPECT_EQ(Cell(0, 0), 0x00001E00u);
  Cell(12, 12) = 0x00000005;
  Move(test::CellCentre(12, 12), "KY");
  EXPECT_EQ(Cell(12, 12), 0x00000005u);
  EXPECT_EQ(ws.undo.cursor(), 3);
}

TEST_F(EditToolsTest, PopupEraseAtTheRightClickPoint) {
  for (MapCell& cell : Cells()) cell = 0x00040103;
  ws.views[ViewMap].pageWidth = 300;
  ws.views[ViewMap].pageHeight = 200;
  ws.input.rightClickPoint = {-5, 50};
  EXPECT_TRUE(RunPopupErase(ws, 0));
  EXPECT_EQ(ws.input.rightClickPoint, (PixelPoint{0, 50}));  // clamped in place
  EXPECT_EQ(Cell(0, 1), 0x00040100u);
  ws.input.rightClickPoint = {1000, 1000};
  EXPECT_TRUE(RunPopupErase(ws, 1));
  EXPECT_EQ(ws.input.rightClickPoint, (PixelPoint{300, 200}));
  EXPECT_EQ(Cell(9, 6), 0x00000103u);
  EXPECT_TRUE(RunPopupErase(ws, 2));  // background everywhere, one region
  EXPECT_EQ(Cell(19, 19), 0x00040100u);
  // Erasing the layer from (9, 6), already empty there, changes nothing.
  EXPECT_TRUE(RunPopupErase(ws, 3));
  EXPECT_EQ(Cell(19, 19), 0x00040100u);
  ws.input.rightClickPoint = {100, 100};
  EXPECT_TRUE(RunPopupErase(ws, 3));
  EXPECT_EQ(Cell(19, 19), 0x00000100u);
  EXPECT_EQ(ws.undo.cursor(), 4);
  EXPECT_FALSE(RunPopupErase(ws, 4));
  EXPECT_EQ(ws.undo.cursor(), 4);
}

TEST_F(EditToolsTest, LayerFlagModePlacesWithoutPenCursor) {
  ws.palette.mode = PaletteModeLayer;
  Mark(0, 0);
  const ToolResult result = Down(test::CellCentre(1, 1));
  EXPECT_EQ(result.cursor, PenCursor::Keep);
  EXPECT_EQ(CellBackground(Cell(1, 1)), 1);
}

TEST_F(EditToolsTest, PlaceItemDropsBadItems) {
  MapEditState edit;
  PlacementItem item{LevelLayer, 2, 0, 3, 1};
  edit.originColumn = 2;
  PlaceItem(ws.document.grid, edit, 19, 19, item);
  EXPECT_EQ(Cell(19, 19), 0x00130000u);  // slot 1 x 16 + 3
  item.level = -1;
  PlaceItem(ws.document.grid, edit, 0, 0, item);
  item.level = LevelBackground;
  PlaceItem(ws.document.grid, edit, 20, 0, item);
  PlaceItem(ws.document.grid, edit, 0, 20, item);
  EXPECT_EQ(std::count_if(Cells().begin(), Cells().end(), [](MapCell c) { return c != 0; }), 1);
}

}  // namespace
}  // namespace kelvor
