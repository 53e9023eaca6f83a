#include <gtest/gtest.h>

#include <functional>

#include "editing/tool_workspace.h"
#include "support/fake_clipboard.h"
#include "support/fakes.h"
#include "tools/edit_tools.h"
#include "tools/palette_commands.h"
#include "tools/palette_selection.h"
#include "tools/selection_ops.h"
#include "tools/whole_map_fill.h"

namespace kelvor {
namespace {

using test::CellCentre;

struct Tools {
  Workspace& ws;
  test::FakeClipboard& clipboard;
  test::RecordingMessages& messages;

  void Click(PixelPoint point, HeldKeys keys = {}) {
    OnMapButtonDown(ws, point, keys, clipboard, messages);
    OnMapMouseMove(ws, {point.x + 40, point.y}, keys, true);
    OnMapButtonUp(ws, keys);
  }
  void MarkChip(int32_t column, int32_t row) {
    ws.sheets.Current().Flag(column, row) |= ChipFlagSelected;
  }
  void PaletteClick(int32_t mode) {
    ws.palette.mode = mode;
    PalettePress(ws, {5, 5}, {});
    PaletteRelease(ws);
  }
};

struct Rule {
  const char* action;
  std::function<void(Tools&)> run;
  bool changes;
};

// What marks the document changed: whatever alters what a save would store
// (cells, tables, file names, sheet flags), and nothing that only chooses.
TEST(UnsavedStateTest, EditsMarkTheDocumentChangedChoicesDoNot) {
  const Rule rules[] = {
      {"stamp a marked chip",
       [](Tools& t) {
         t.MarkChip(1, 0);
         t.Click(CellCentre(2, 2));
       },
       true},
      {"click with no chip marked", [](Tools& t) { t.Click(CellCentre(2, 2)); }, false},
      {"Ctrl-drag selecting", [](Tools& t) { t.Click(CellCentre(2, 2), {.ctrl = true}); }, false},
      {"B-click on an empty cell", [](Tools& t) { t.Click(CellCentre(2, 2), {.b = true}); }, true},
      {"collision click",
       [](Tools& t) {
         t.ws.palette.mode = PaletteModeCollision;
         t.Click(CellCentre(2, 2));
       },
       true},
      {"priority click",
       [](Tools& t) {
         t.ws.palette.mode = PaletteModePriority;
         t.Click(CellCentre(2, 2));
       },
       true},
      {"V-click with no block ever copied",
       [](Tools& t) { t.Click(CellCentre(2, 2), {.v = true}); }, false},
      {"V-click pasting a block",
       [](Tools& t) {
         t.clipboard.formats[0x0301] = {1, 0, 0, 0, 1, 0, 0, 0};
         t.clipboard.formats[0x0302] = {5, 0, 0, 0};
         t.clipboard.formats[0x0303] = {1};
         t.Click(CellCentre(2, 2), {.v = true});
       },
       true},
      {"C copying", [](Tools& t) { OnMapKeyDown(t.ws, t.clipboard, MapKey::C); }, false},
      {"X on selected empty cells",
       [](Tools& t) {
         t.ws.selection.selectionFlags[0] = 1;
         OnMapKeyDown(t.ws, t.clipboard, MapKey::X);
       },
       false},
      {"X cutting a chip",
       [](Tools& t) {
         t.ws.document.grid.At(0, 0) = 3;
         t.ws.selection.selectionFlags[0] = 1;
         OnMapKeyDown(t.ws, t.clipboard, MapKey::X);
       },
       true},
      {"whole-map fill",
       [](Tools& t) {
         t.MarkChip(0, 1);
         FillWholeMap(t.ws);
       },
       true},
      {"popup erase", [](Tools& t) { RunPopupErase(t.ws, 3); }, true},
      {"palette click in placement mode", [](Tools& t) { t.PaletteClick(PaletteModePlacement); },
       false},
      {"palette click in collision mode", [](Tools& t) { t.PaletteClick(PaletteModeCollision); },
       true},
      {"palette mode and sheet choice",
       [](Tools& t) {
         RunPaletteCommand(t.ws, PaletteCommandModeLayer);
         RunPaletteCommand(t.ws, PaletteCommandSheetFirst);
         RunPaletteCommand(t.ws, PaletteCommandZoom200);
       },
       false},
      {"clearing the placement marks",
       [](Tools& t) { RunPaletteCommand(t.ws, PaletteCommandClearModeFlags); }, false},
      {"clearing the layer flags",
       [](Tools& t) {
         t.ws.palette.mode = PaletteModeLayer;
         RunPaletteCommand(t.ws, PaletteCommandClearModeFlags);
       },
       true},
      {"applying chip flags to the map",
       [](Tools& t) { RunPaletteCommand(t.ws, PaletteCommandApplyBoth); }, true},
      {"initialising layer flags",
       [](Tools& t) { RunPaletteCommand(t.ws, PaletteCommandInitLayerFlags); }, true},
  };
  for (const Rule& rule : rules) {
    Workspace ws;
    test::PrepareToolWorkspace(ws, 8, 8);
    ws.paletteView().pageWidth = 513;
    ws.paletteView().pageHeight = 513;
    int flips = 0;
    ws.unsaved.onChanged = [&flips] { ++flips; };
    test::FakeClipboard clipboard;
    test::RecordingMessages messages;
    Tools tools{ws, clipboard, messages};
    rule.run(tools);
    EXPECT_EQ(ws.unsaved.changed, rule.changes) << rule.action;
    EXPECT_EQ(flips, rule.changes ? 1 : 0) << rule.action;
  }
}

}  // namespace
}  // namespace kelvor
