#include <gtest/gtest.h>

#include "app/menu_model.h"
#include "app/menu_state.h"
#include "app/window_title.h"
#include "workspace/workspace.h"

namespace kelvor {
namespace {

TEST(WindowTitleTest, CountsArePaddedToTheirFieldWidths) {
  MapDocument doc;
  EXPECT_EQ(FormatMapTitle(doc),
            "Kelvor    使用ﾁｯﾌﾟ数：  0/255(背景),   0/255(ﾚｲﾔｰ)    使用ﾌｧｲﾙ数： 0/256");
  // Slot 0 is the empty chip and never counts.
  doc.tables[0].entries[0].used = 1;
  for (int slot = 1; slot <= 12; ++slot) doc.tables[0].entries[static_cast<size_t>(slot)].used = 1;
  for (int slot = 1; slot <= 255; ++slot) doc.tables[1].entries[static_cast<size_t>(slot)].used = 1;
  for (int i = 0; i < 100; ++i) doc.fileList.names[static_cast<size_t>(i * 2)] = "a.png";
  EXPECT_EQ(FormatMapTitle(doc),
            "Kelvor    使用ﾁｯﾌﾟ数： 12/255(背景), 255/255(ﾚｲﾔｰ)    使用ﾌｧｲﾙ数：100/256");
}

TEST(MenuTablesTest, AcceleratorTableHasExactlyFiveEntries) {
  const auto accelerators = AcceleratorDefs();
  ASSERT_EQ(accelerators.size(), 5u);
  for (const AcceleratorDef& a : accelerators) EXPECT_NE(a.command, CommandSave) << a.key;
  EXPECT_EQ(accelerators[2].key, ' ');
  EXPECT_FALSE(accelerators[2].ctrl);
  EXPECT_EQ(accelerators[2].command, CommandToggleFillMode);
}

TEST(MenuTablesTest, PopupsAndItemPositions) {
  const MenuModel map = LoadMenuModel(MenuMapWindow);
  ASSERT_EQ(map.popups.size(), 7u);
  EXPECT_EQ(map.popups[4].title, "表示倍率(&Z)");
  EXPECT_EQ(map.popups[1].items.size(), 15u);
  EXPECT_EQ(map.popups[1].items[14].id, CommandOptimizeChipSet);
  EXPECT_EQ(map.popups[4].items[4].text, "150%(&j)");
  EXPECT_EQ(map.popups[0].items[3].keyHint, "Ctrl+S");
  const MenuModel palette = LoadMenuModel(MenuPaletteWindow);
  ASSERT_EQ(palette.popups.size(), 6u);
  EXPECT_EQ(palette.popups[2].items[8].id, CommandInitLayerFlags);
  EXPECT_EQ(palette.popups[4].items[3].text, "150%(&J)");
  const MenuModel context = LoadMenuModel(MenuMapContext);
  ASSERT_EQ(context.popups.size(), 1u);
  ASSERT_EQ(context.popups[0].items.size(), 9u);
  EXPECT_EQ(context.popups[0].items[3].keyHint, "[Y]+Click");
  EXPECT_EQ(context.popups[0].items[4].id, CommandClearBackground);
  // Every map command has one item, except the accelerator-only toggle.
  for (int32_t id = CommandNew; id <= CommandAbout; ++id) EXPECT_NE(map.FindId(id), nullptr) << id;
  EXPECT_EQ(map.FindId(CommandToggleFillMode), nullptr);
  // Mode and zoom items carry radio marks; the view switches plain checks.
  EXPECT_TRUE(map.FindId(CommandLineMode)->radio);
  EXPECT_TRUE(map.FindId(CommandMapZoomLast)->radio);
  EXPECT_TRUE(palette.FindId(CommandPaletteModeFirst)->radio);
  EXPECT_FALSE(map.FindId(CommandShowGrid)->radio);
  EXPECT_FALSE(map.FindId(CommandTogglePalette)->radio);
}

struct Menus {
  Workspace ws;
  MenuModel map = LoadMenuModel(MenuMapWindow);
  MenuModel palette = LoadMenuModel(MenuPaletteWindow);

  void LoadSheets(std::initializer_list<const char*> names) {
    int32_t index = 0;
    for (const char* name : names) {
      ChipSheet& sheet = ws.sheets.sheets[static_cast<size_t>(index++)];
      sheet.fileName = name;
      sheet.bitmap = PixelBuffer::Make(64, 64);
      sheet.width = sheet.height = 64;
      sheet.chipColumns = sheet.chipRows = 2;
      sheet.chipFlags.emplace(16, 0);
    }
    ws.sheets.sheetCount = index;
    RebuildSheetItems(palette, ws.sheets);
  }
  bool Enabled(const MenuModel& menu, int32_t id) const { return menu.FindId(id)->enabled; }
  bool Checked(const MenuModel& menu, int32_t id) const { return menu.FindId(id)->checked; }
};

TEST(MenuStateTest, FileItemsNeedAMapAndANameForSave) {
  Menus m;
  m.LoadSheets({"a.png"});
  struct Case {
    bool hasMap;
    const char* fileName;
    bool saveEnabled;
    bool saveAsEnabled;
  };
  const Case cases[] = {
      {false, "", false, false},
      {true, "", true, true},
      {true, "level.kv", true, true},
      {false, "level.kv", false, false},
  };
  for (const Case& c : cases) {
    if (c.hasMap) {
      m.ws.document.grid.Allocate(20, 15);
    } else {
      m.ws.document.grid.Release();
    }
    m.ws.document.documentFileName = c.fileName;
    UpdateMapMenuState(m.map, 0, m.ws, true);
    EXPECT_EQ(m.Enabled(m.map, CommandSave), c.saveEnabled) << c.hasMap << c.fileName;
    EXPECT_EQ(m.Enabled(m.map, CommandSaveAs), c.saveAsEnabled) << c.hasMap << c.fileName;
    EXPECT_TRUE(m.Enabled(m.map, CommandNew));
    EXPECT_TRUE(m.Enabled(m.map, CommandOpen));
  }
}

TEST(MenuStateTest, EditItemsWithAndWithoutMapAndSheets) {
  Menus m;
  m.LoadSheets({"a.png"});
  UpdateUndoMenuState(m.map, m.ws.undo);
  UpdateMapMenuState(m.map, 1, m.ws, true);
  EXPECT_TRUE(m.Enabled(m.map, CommandLineMode));
  EXPECT_TRUE(m.Checked(m.map, CommandLineMode));
  EXPECT_FALSE(m.Checked(m.map, CommandFillMode));
  for (int32_t id = CommandFillWholeMap; id <= CommandOptimizeChipSet; ++id) {
    EXPECT_FALSE(m.Enabled(m.map, id)) << id;
  }
  m.ws.document.grid.Allocate(4, 4);
  m.ws.edit.fillMode = true;
  UpdateMapMenuState(m.map, 1, m.ws, true);
  EXPECT_TRUE(m.Checked(m.map, CommandFillMode));
  EXPECT_FALSE(m.Checked(m.map, CommandLineMode));
  EXPECT_TRUE(m.map.FindId(CommandFillMode)->radio);
  for (int32_t id = CommandFillWholeMap; id <= CommandOptimizeChipSet; ++id) {
    EXPECT_TRUE(m.Enabled(m.map, id)) << id;
  }
  EXPECT_FALSE(m.Enabled(m.map, CommandUndo));  // nothing recorded yet
}

TEST(MenuStateTest, NoSheetsGreysAllEditItemsUntilTheHistoryChanges) {
  Menus m;
  m.ws.document.grid.Allocate(4, 4);
  RecordUndo(m.ws.undo, m.ws.document.grid);
  UpdateUndoMenuState(m.map, m.ws.undo);
  ASSERT_TRUE(m.Enabled(m.map, CommandUndo));
  UpdateMapMenuState(m.map, 1, m.ws, true);
  for (const MenuItem& item : m.map.popups[1].items) {
    if (!item.IsSeparator()) {
      EXPECT_FALSE(item.enabled) << item.id;
    }
  }
  // Sheets appear: the next popup enables the map items, Undo stays grey.
  m.LoadSheets({"a.png"});
  UpdateMapMenuState(m.map, 1, m.ws, true);
  EXPECT_TRUE(m.Enabled(m.map, CommandClearLayer));
  EXPECT_FALSE(m.Enabled(m.map, CommandUndo));
  EXPECT_FALSE(m.Enabled(m.map, CommandLineMode));
  RecordUndo(m.ws.undo, m.ws.document.grid);
  UpdateUndoMenuState(m.map, m.ws.undo);
  EXPECT_TRUE(m.Enabled(m.map, CommandUndo));
  EXPECT_FALSE(m.Enabled(m.map, CommandRedo));
}

TEST(MenuStateTest, ViewChecksFollowSettingsAndClearGrey) {
  Menus m;
  m.map.FindId(CommandShowGrid)->enabled = false;
  m.ws.display.showGrid = false;
  UpdateMapMenuState(m.map, 3, m.ws, false);
  EXPECT_TRUE(m.Checked(m.map, CommandShowLayer));
  EXPECT_FALSE(m.Checked(m.map, CommandShowGrid));
  EXPECT_TRUE(m.Enabled(m.map, CommandShowGrid));
  EXPECT_FALSE(m.Checked(m.map, CommandTogglePalette));
  UpdateMapMenuState(m.map, 3, m.ws, true);
  EXPECT_TRUE(m.Checked(m.map, CommandTogglePalette));
}

TEST(MenuStateTest, ZoomRadioMarks) {
  Menus m;
  m.LoadSheets({"a.png"});
  m.ws.document.grid.Allocate(4, 4);
  const float mapZooms[] = {0.25f, 0.5f, 0.75f, 1.0f, 1.5f, 2.0f};
  for (int32_t i = 0; i < 6; ++i) {
    m.ws.display.mapZoom = mapZooms[i];
    UpdateMapMenuState(m.map, 4, m.ws, true);
    for (int32_t id = CommandMapZoomFirst; id <= CommandMapZoomLast; ++id) {
      EXPECT_EQ(m.Checked(m.map, id), id == CommandMapZoomFirst + i) << id;
      EXPECT_TRUE(m.Enabled(m.map, id));
    }
  }
  // A factor that is no step keeps the previous mark.
  m.ws.display.mapZoom = 1.25f;
  UpdateMapMenuState(m.map, 4, m.ws, true);
  EXPECT_TRUE(m.Checked(m.map, CommandMapZoomLast));
  m.ws.document.grid.Release();
  UpdateMapMenuState(m.map, 4, m.ws, true);
  EXPECT_FALSE(m.Enabled(m.map, CommandMapZoomFirst));

  m.ws.display.paletteZoom = 1.5f;
  UpdatePaletteMenuState(m.palette, 4, m.ws);
  EXPECT_TRUE(m.Checked(m.palette, 40307));
  EXPECT_FALSE(m.Checked(m.palette, 40306));
  EXPECT_TRUE(m.Enabled(m.palette, 40307));
  m.ws.sheets.Current().chipFlags.reset();  // a sheet without flags cannot zoom
  UpdatePaletteMenuState(m.palette, 4, m.ws);
  EXPECT_FALSE(m.Enabled(m.palette, 40304));
}

TEST(MenuStateTest, SheetItemsAreNumberedBackwards) {
  Menus m;
  m.LoadSheets({"s0.png", "s1.png", "s2.png"});
  const MenuPopup& file = m.palette.popups[0];
  ASSERT_EQ(file.items.size(), 5u);
  EXPECT_EQ(file.items[0].text, "再読み込み(&R)");
  EXPECT_TRUE(file.items[1].IsSeparator());
  const std::pair<int32_t, const char*> expected[] = {
      {40038, "s0.png"}, {40037, "s1.png"}, {40036, "s2.png"}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(file.items[i + 2].id, expected[i].first);
    EXPECT_EQ(file.items[i + 2].text, expected[i].second);
  }
  EXPECT_EQ(SheetIndexForCommand(3, 40038), 0);
  EXPECT_EQ(SheetIndexForCommand(3, 40036), 2);
  EXPECT_EQ(SheetIndexForCommand(3, 40039), -1);
  EXPECT_EQ(SheetIndexForCommand(0, 40036), -1);

  m.ws.sheets.currentSheet = 0;
  UpdatePaletteMenuState(m.palette, 0, m.ws);
  EXPECT_TRUE(m.Checked(m.palette, 40038));
  EXPECT_FALSE(m.Checked(m.palette, 40036));

  // A rescan with fewer sheets removes the extra items, with no duplicates;
  // an ampersand in a name is shown, not taken as a mnemonic.
  m.LoadSheets({"r&d.png"});
  m.ws.sheets.sheetCount = 1;
  RebuildSheetItems(m.palette, m.ws.sheets);
  EXPECT_EQ(m.palette.popups[0].items[2].text, "r&&d.png");
  m.LoadSheets({"t0.png"});
  m.ws.sheets.sheetCount = 1;
  RebuildSheetItems(m.palette, m.ws.sheets);
  ASSERT_EQ(m.palette.popups[0].items.size(), 3u);
  EXPECT_EQ(m.palette.popups[0].items[2].id, 40036);
  EXPECT_EQ(m.palette.popups[0].items[2].text, "t0.png");
  // No sheets: only the reload item, the separator and the placeholder stay.
  m.ws.sheets.sheetCount = 0;
  RebuildSheetItems(m.palette, m.ws.sheets);
  ASSERT_EQ(m.palette.popups[0].items.size(), 3u);
  EXPECT_EQ(m.palette.popups[0].items[2].text, "t0.png");
}

TEST(MenuStateTest, PaletteModesAndEditItemsNeedSheets) {
  Menus m;
  UpdatePaletteMenuState(m.palette, 1, m.ws);
  UpdatePaletteMenuState(m.palette, 2, m.ws);
  EXPECT_TRUE(m.Checked(m.palette, 40292));
  EXPECT_FALSE(m.Enabled(m.palette, 40292));
  EXPECT_FALSE(m.Enabled(m.palette, 40299));
  EXPECT_TRUE(m.Enabled(m.palette, 40300));  // positions 5 to 8 are left alone
  m.LoadSheets({"a.png"});
  m.ws.palette.mode = PaletteModePriority;
  UpdatePaletteMenuState(m.palette, 1, m.ws);
  UpdatePaletteMenuState(m.palette, 2, m.ws);
  EXPECT_TRUE(m.Checked(m.palette, 40295));
  EXPECT_FALSE(m.Checked(m.palette, 40292));
  EXPECT_TRUE(m.Enabled(m.palette, 40292));
  EXPECT_TRUE(m.Enabled(m.palette, 40299));
}

TEST(MenuStateTest, ContextMenuNeedsMapAndSheets) {
  struct Case {
    bool hasMap;
    bool hasSheets;
    bool enabled;
  };
  for (const Case& c : {Case{false, false, false}, Case{true, false, false},
                        Case{false, true, false}, Case{true, true, true}}) {
    Menus m;
    if (c.hasMap) m.ws.document.grid.Allocate(3, 3);
    if (c.hasSheets) m.LoadSheets({"a.png"});
    MenuModel context = LoadMenuModel(MenuMapContext);
    UpdateContextMenuState(context.popups[0], m.ws);
    for (const MenuItem& item : context.popups[0].items) {
      EXPECT_EQ(item.enabled, c.enabled) << item.id << c.hasMap << c.hasSheets;
    }
  }
}

}  // namespace
}  // namespace kelvor
