#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editing/bulk_operations.h"
#include "palette/chip_flags.h"
#include "tools/palette_commands.h"
#include "tools/palette_selection.h"

namespace kelvor {
namespace {

// A loaded sheet of width x height pixels with zeroed flags.
void LoadSheet(ChipSheet& sheet, const std::string& name, int32_t width, int32_t height) {
  sheet.fileName = name;
  sheet.bitmap = PixelBuffer::Make(width, height);
  sheet.width = width;
  sheet.height = height;
  sheet.bitsPerPixel = 32;
  sheet.chipColumns = width / 32;
  sheet.chipRows = height / 32;
  sheet.chipFlags = std::vector<uint8_t>(sheet.FlagBlockSize(), 0);
}

struct PaletteFixture : ::testing::Test {
  Workspace ws;
  PaletteFixture() {
    LoadSheet(ws.sheets.sheets[0], "a.png", 256, 192);  // 8 x 6 chips
    ws.sheets.sheetCount = 1;
    ws.paletteView().pageWidth = 513;
    ws.paletteView().pageHeight = 513;
  }
  ChipSheet& sheet() { return ws.sheets.Current(); }
  static PixelPoint At(int32_t column, int32_t row) { return {column * 32 + 5, row * 32 + 17}; }
  void Drag(CellPoint from, CellPoint to, bool ctrl = false) {
    PalettePress(ws, At(from.column, from.row), HeldKeys{.ctrl = ctrl});
    PaletteDrag(ws, At(to.column, to.row), true);
    PaletteRelease(ws);
  }
  void Click(CellPoint chip, bool ctrl = false) { Drag(chip, chip, ctrl); }
  // Chips of the current sheet with `bit`, as (column, row) pairs.
  std::vector<CellPoint> Marked(uint8_t bit) {
    std::vector<CellPoint> marked;
    for (int32_t row = 0; row < sheet().chipRows; ++row) {
      for (int32_t column = 0; column < sheet().chipColumns; ++column) {
        if (sheet().Flag(column, row) & bit) marked.push_back({column, row});
      }
    }
    return marked;
  }
};

TEST_F(PaletteFixture, PlacementClicksCtrlClicksAndCtrlDragThatUnmarks) {
  Click({2, 1});
  EXPECT_EQ(Marked(ChipFlagSelected), (std::vector<CellPoint>{{2, 1}}));
  Click({4, 3}, true);
  EXPECT_EQ(Marked(ChipFlagSelected), (std::vector<CellPoint>{{2, 1}, {4, 3}}));
  Click({0, 0});
  EXPECT_EQ(Marked(ChipFlagSelected), (std::vector<CellPoint>{{0, 0}}));

  Drag({0, 0}, {3, 1});
  EXPECT_EQ(Marked(ChipFlagSelected).size(), 8u);
  Drag({1, 1}, {2, 0}, true);  // starts on a marked chip: unmarks its rectangle
  EXPECT_EQ(Marked(ChipFlagSelected), (std::vector<CellPoint>{{0, 0}, {3, 0}, {0, 1}, {3, 1}}));
}

TEST_F(PaletteFixture, CollisionDragSetsThenClearsTheWholeRectangle) {
  sheet().Flag(2, 2) |= ChipFlagCollision;
  sheet().Flag(1, 0) |= ChipFlagSelected;
  ws.palette.mode = PaletteModeCollision;
  Drag({1, 1}, {3, 2});
  EXPECT_EQ(Marked(ChipFlagCollision),
            (std::vector<CellPoint>{{1, 1}, {2, 1}, {3, 1}, {1, 2}, {2, 2}, {3, 2}}));
  EXPECT_EQ(Marked(ChipFlagSelected), (std::vector<CellPoint>{{1, 0}}));  // other modes' bits stay
  Drag({3, 2}, {1, 1});
  EXPECT_TRUE(Marked(ChipFlagCollision).empty());
}

TEST_F(PaletteFixture, PressDragReleaseProtocol) {
  const PaletteEffect press = PalettePress(ws, At(1, 1), {});
  EXPECT_TRUE(press.captureMouse);
  EXPECT_TRUE(press.repaintPalette);
  EXPECT_TRUE(ws.palette.dragging);
  EXPECT_FALSE(ws.palette.dragClears);
  // Moving within the anchor chip repaints nothing; entering another does.
  EXPECT_FALSE(PaletteDrag(ws, {40, 40}, true).repaintPalette);
  EXPECT_TRUE(PaletteDrag(ws, At(3, 0), true).repaintPalette);
  EXPECT_FALSE(PaletteDrag(ws, At(3, 0), true).repaintPalette);
  EXPECT_EQ(ws.palette.dragLeft, 1);
  EXPECT_EQ(ws.palette.dragTop, 0);
  EXPECT_EQ(ws.palette.dragRight, 3);
  EXPECT_EQ(ws.palette.dragBottom, 1);
  // Without the left button the rectangle stays.
  PaletteDrag(ws, At(6, 5), false);
  EXPECT_EQ(ws.palette.dragRight, 3);
  const PaletteEffect release = PaletteRelease(ws);
  EXPECT_TRUE(release.releaseMouse);
  EXPECT_FALSE(ws.palette.dragging);
  EXPECT_EQ(Marked(ChipFlagSelected).size(), 6u);

  // A drag starts from its own anchor, whatever cell an earlier drag ended on.
  ws.selection.lastTrackCell = {3, 0};
  PalettePress(ws, At(0, 0), HeldKeys{.ctrl = true});
  EXPECT_TRUE(PaletteDrag(ws, At(3, 0), true).repaintPalette);
  PaletteRelease(ws);
  EXPECT_EQ(Marked(ChipFlagSelected).size(), 7u);  // (0, 0) joins the six

  // A release whose press happened elsewhere changes nothing.
  ClearChipBit(ws.sheets, 0);
  EXPECT_FALSE(PaletteRelease(ws).repaintPalette);
  EXPECT_TRUE(Marked(ChipFlagSelected).empty());

  // A sheet that lost its image mid-drag: the drag still ends, nothing is marked.
  PalettePress(ws, At(1, 1), {});
  sheet().bitmap = PixelBuffer{};
  EXPECT_TRUE(PaletteRelease(ws).releaseMouse);
  EXPECT_FALSE(ws.palette.dragging);
  EXPECT_TRUE(Marked(ChipFlagSelected).empty());
}

TEST_F(PaletteFixture, NothingHappensWithoutAUsableSheet) {
  struct Case {
    const char* name;
    void (*spoil)(Workspace&);
  };
  const std::vector<Case> cases = {
      {"no image", [](Workspace& w) { w.sheets.Current().bitmap = PixelBuffer{}; }},
      {"no flags", [](Workspace& w) { w.sheets.Current().chipFlags.reset(); }},
      {"zero zoom", [](Workspace& w) { w.display.paletteZoom = 0.0f; }},
      {"bad mode", [](Workspace& w) { w.palette.mode = 4; }},
      {"no whole chip", [](Workspace& w) { LoadSheet(w.sheets.Current(), "t.png", 20, 200); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Workspace w;
    LoadSheet(w.sheets.sheets[0], "a.png", 64, 64);
    w.sheets.sheetCount = 1;
    w.paletteView().pageWidth = 100;
    w.paletteView().pageHeight = 100;
    c.spoil(w);
    const PaletteEffect effect = PalettePress(w, {5, 5}, {});
    EXPECT_FALSE(effect.captureMouse);
    EXPECT_FALSE(w.palette.dragging);
    PaletteRelease(w);
    if (w.sheets.Current().HasFlags()) {
      for (uint8_t flag : *w.sheets.Current().chipFlags) EXPECT_EQ(flag, 0);
    }
  }
}

TEST(PaletteChipUnderMouseTest, ClampsToPageSheetAndLastWholeChip) {
  struct Case {
    int32_t sheetWidth, sheetHeight;
    float zoom;
    int32_t page, scrollX, scrollY;
    PixelPoint point;
    CellPoint chip;
  };
  const std::vector<Case> cases = {
      {256, 192, 1.0f, 513, 0, 0, {70, 40}, {2, 1}},
      {256, 192, 1.0f, 513, 0, 0, {-30, -1}, {0, 0}},
      {256, 192, 1.0f, 513, 0, 0, {2000, 2000}, {7, 5}},  // past the sheet's end
      {256, 192, 1.0f, 100, 0, 0, {2000, 2000}, {3, 3}},  // stops at the window's edge
      {256, 192, 1.0f, 100, 64, 32, {10, 10}, {2, 1}},    // scrolled
      {256, 192, 2.0f, 513, 0, 0, {130, 70}, {2, 1}},
      {256, 192, 0.5f, 513, 0, 0, {40, 20}, {2, 1}},
      // 100 x 70 pixels: 3 x 2 chips and a partial strip right and below.
      {100, 70, 1.0f, 513, 0, 0, {99, 69}, {2, 1}},
      {100, 70, 1.0f, 513, 0, 0, {97, 10}, {2, 0}},
      {100, 70, 2.0f, 513, 0, 0, {199, 139}, {2, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.point.x) + "," + std::to_string(c.point.y));
    Workspace ws;
    LoadSheet(ws.sheets.sheets[0], "a.png", c.sheetWidth, c.sheetHeight);
    ws.sheets.sheetCount = 1;
    ws.display.paletteZoom = c.zoom;
    ws.paletteView().pageWidth = c.page;
    ws.paletteView().pageHeight = c.page;
    ws.paletteView().scrollX = c.scrollX;
    ws.paletteView().scrollY = c.scrollY;
    EXPECT_EQ(PaletteChipUnderMouse(ws, c.point), c.chip);
  }
}

TEST(PalettePartialStripTest, DragOntoTheStripNeverMarksTheNextRow) {
  Workspace ws;
  LoadSheet(ws.sheets.sheets[0], "a.png", 100, 70);
  ws.sheets.sheetCount = 1;
  ws.paletteView().pageWidth = 513;
  ws.paletteView().pageHeight = 513;
  PalettePress(ws, {98, 5}, {});
  PaletteRelease(ws);
  const std::vector<uint8_t> expected = {0, 0, 1, 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(ws.sheets.Current().chipFlags->begin(),
                                 ws.sheets.Current().chipFlags->begin() + 6),
            expected);
  for (size_t i = 6; i < 24; ++i) EXPECT_EQ((*ws.sheets.Current().chipFlags)[i], 0) << i;
}

TEST_F(PaletteFixture, ModeSwitchKeepsFlagsButClearsPlacementMarks) {
  sheet().Flag(1, 1) = ChipFlagSelected | ChipFlagCollision;
  sheet().Flag(2, 1) = ChipFlagSelected | ChipFlagLayer;
  const PaletteEffect toCollision = RunPaletteCommand(ws, PaletteCommandModeCollision);
  EXPECT_EQ(ws.palette.mode, PaletteModeCollision);
  EXPECT_EQ(toCollision.paletteTitle, "当たり判定");
  EXPECT_TRUE(toCollision.repaintPalette && toCollision.repaintMap);
  const PaletteEffect toPriority = RunPaletteCommand(ws, PaletteCommandModePriority);
  EXPECT_EQ(toPriority.paletteTitle, "ﾚｲﾔｰ優先度");
  EXPECT_EQ(sheet().Flag(1, 1), ChipFlagCollision);
  EXPECT_EQ(sheet().Flag(2, 1), ChipFlagLayer);
  EXPECT_EQ(RunPaletteCommand(ws, PaletteCommandModePlacement).paletteTitle, "ﾁｯﾌﾟ配置");
  EXPECT_EQ(RunPaletteCommand(ws, PaletteCommandModeLayer).paletteTitle, "ﾚｲﾔｰ ﾌﾗｸﾞ");
}

TEST_F(PaletteFixture, FlagClearingCommands) {
  LoadSheet(ws.sheets.sheets[1], "b.png", 64, 64);
  ws.sheets.sheetCount = 2;
  for (uint8_t& flag : *sheet().chipFlags) flag = 0x0F;
  for (uint8_t& flag : *ws.sheets.sheets[1].chipFlags) flag = 0x0F;
  ws.sheets.sheets[5].chipFlags.reset();  // a slot without flags is skipped

  ws.palette.mode = PaletteModeLayer;
  EXPECT_TRUE(RunPaletteCommand(ws, PaletteCommandClearModeFlags).repaintPalette);
  for (uint8_t flag : *sheet().chipFlags) ASSERT_EQ(flag, 0x0D);  // whole block
  EXPECT_EQ((*ws.sheets.sheets[1].chipFlags)[0], 0x0F);

  RunPaletteCommand(ws, PaletteCommandClearSheetFlags);
  for (uint8_t flag : *sheet().chipFlags) ASSERT_EQ(flag, 0);
  EXPECT_EQ((*ws.sheets.sheets[1].chipFlags)[0], 0x0F);

  RunPaletteCommand(ws, PaletteCommandClearAllFlags);
  for (uint8_t flag : *ws.sheets.sheets[1].chipFlags) ASSERT_EQ(flag, 0);
}

TEST_F(PaletteFixture, SheetSelectionCountsBackwardsFromTheFirstFileItem) {
  LoadSheet(ws.sheets.sheets[1], "b.png", 64, 64);
  LoadSheet(ws.sheets.sheets[2], "c.png", 64, 64);
  ws.sheets.sheetCount = 3;
  (*ws.sheets.sheets[0].chipFlags)[0] = ChipFlagSelected | ChipFlagPriority;
  struct Case {
    int32_t command;
    int32_t current;  // -1: unchanged
  };
  const std::vector<Case> cases = {
      {40036, 2}, {40037, 1}, {40038, 0}, {40039, -1}, {40291, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    ws.sheets.currentSheet = 1;
    const PaletteEffect effect = RunPaletteCommand(ws, c.command);
    EXPECT_TRUE(effect.handled);
    EXPECT_EQ(ws.sheets.currentSheet, c.current < 0 ? 1 : c.current);
    EXPECT_EQ(effect.refreshPaletteExtent, c.current >= 0);
  }
  EXPECT_EQ((*ws.sheets.sheets[0].chipFlags)[0], ChipFlagPriority);

  Workspace empty;  // the placeholder item with no sheet loaded
  EXPECT_FALSE(RunPaletteCommand(empty, 40036).refreshPaletteExtent);
  EXPECT_EQ(empty.sheets.currentSheet, 0);
  EXPECT_FALSE(RunPaletteCommand(empty, 40314).handled);
  EXPECT_FALSE(RunPaletteCommand(empty, 40035 - 1).handled);
}

TEST_F(PaletteFixture, ZoomColourAndShellCommands) {
  const std::vector<std::pair<int32_t, float>> zooms = {
      {40304, 0.5f}, {40305, 0.75f}, {40306, 1.0f}, {40307, 1.5f}, {40308, 2.0f}};
  for (const auto& [command, zoom] : zooms) {
    EXPECT_TRUE(RunPaletteCommand(ws, command).refreshPaletteExtent);
    EXPECT_EQ(ws.display.paletteZoom, zoom);
  }
  const std::vector<std::pair<int32_t, Color*>> colours = {
      {40309, &ws.display.paletteSelectFrameColor},
      {40310, &ws.display.paletteDeselectFrameColor},
      {40311, &ws.display.paletteBorderColor},
      {40312, &ws.display.paletteBackgroundColor}};
  for (const auto& [command, colour] : colours) {
    const PaletteEffect effect = RunPaletteCommand(ws, command);
    EXPECT_EQ(effect.action, PaletteShellAction::ChooseColor);
    EXPECT_EQ(effect.colorToChoose, colour);
  }
  const std::vector<std::pair<int32_t, PaletteShellAction>> actions = {
      {40035, PaletteShellAction::RescanChipFolder},
      {40303, PaletteShellAction::ChipFolderDialog},
      {40313, PaletteShellAction::TransparencyDialog}};
  for (const auto& [command, action] : actions) {
    EXPECT_EQ(RunPaletteCommand(ws, command).action, action) << command;
  }
}

TEST_F(PaletteFixture, InitialiseLayerFlagsCommandRecomputesFromAlpha) {
  for (int32_t y = 0; y < sheet().bitmap.height; ++y) {
    for (int32_t x = 0; x < sheet().bitmap.width; ++x) sheet().bitmap.At(x, y)[3] = 255;
  }
  sheet().bitmap.At(32 + 31, 31)[3] = 254;  // inside chip (1, 0)
  sheet().Flag(4, 4) = ChipFlagLayer | ChipFlagCollision;
  EXPECT_TRUE(RunPaletteCommand(ws, PaletteCommandInitLayerFlags).repaintPalette);
  EXPECT_EQ(Marked(ChipFlagLayer), (std::vector<CellPoint>{{1, 0}}));
  EXPECT_EQ(sheet().Flag(4, 4), ChipFlagCollision);
}

TEST(ApplyChipFlagsTest, RefreshesAttributesFromExactlyNamedSheetsThenTheCells) {
  Workspace ws;
  MapDocument& doc = ws.document;
  LoadSheet(ws.sheets.sheets[0], "Tiles.png", 128, 64);
  ws.sheets.sheetCount = 1;
  ChipSheet& sheet = ws.sheets.sheets[0];
  sheet.Flag(1, 0) = ChipFlagCollision | ChipFlagPriority;
  sheet.Flag(2, 1) = ChipFlagPriority;
  doc.fileList.names[0] = "Tiles.png";
  doc.fileList.names[1] = "tiles.png";  // differs in case: no sheet
  auto& bg = doc.tables[LevelBackground].entries;
  auto& layer = doc.tables[LevelLayer].entries;
  bg[1] = ChipEntry{1, 0, 1, 0, 0x80};     // collision, never priority on the background
  bg[2] = ChipEntry{1, 1, 1, 0, 0x10};     // no matching sheet: kept
  bg[3] = ChipEntry{0, 0, 1, 0, 0x00};     // unused: untouched
  bg[4] = ChipEntry{1, 0, 9, 9, 0x01};     // outside the sheet: no flags
  layer[1] = ChipEntry{1, 0, 1, 0, 0};     // collision and priority
  layer[2] = ChipEntry{1, 0, 2, 1, 0x01};  // priority only
  doc.grid.width = 3;
  doc.grid.height = 1;
  doc.grid.cells = std::vector<MapCell>{0x00000001 | CellFlagWallEast, 0x00020002, 0x00010000};

  EXPECT_TRUE(ApplyChipFlags(doc, ws.sheets, AttributeKindBoth));
  EXPECT_EQ(bg[1].attributes, EntryFlagCollision);
  EXPECT_EQ(bg[2].attributes, 0x10);
  EXPECT_EQ(bg[3].attributes, 0);
  EXPECT_EQ(bg[4].attributes, 0);
  EXPECT_EQ(layer[1].attributes, EntryFlagCollision | EntryFlagPriority);
  EXPECT_EQ(layer[2].attributes, EntryFlagPriority);
  EXPECT_EQ(*doc.grid.cells, (std::vector<MapCell>{0x00000101, 0x00021002, 0x00011100}));

  // Through the command, with the collision choice only.
  doc.grid.cells = std::vector<MapCell>{0x00000001 | CellFlagWallEast, 0x00020002, 0x00010000};
  const PaletteEffect effect = RunPaletteCommand(ws, PaletteCommandApplyCollision);
  EXPECT_TRUE(effect.repaintMap);
  EXPECT_EQ(*doc.grid.cells, (std::vector<MapCell>{0x00000301, 0x00020002, 0x00010100}));

  doc.grid = MapGrid{};  // without a map the attributes still refresh
  bg[1].attributes = 0;
  EXPECT_FALSE(ApplyChipFlags(doc, ws.sheets, AttributeKindBoth));
  EXPECT_EQ(bg[1].attributes, EntryFlagCollision);
}

}  // namespace
}  // namespace kelvor
