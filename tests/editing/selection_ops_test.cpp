#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editing/tool_workspace.h"
#include "editing/undo_history.h"
#include "support/fake_clipboard.h"
#include "support/fakes.h"
#include "tools/selection_ops.h"

namespace kelvor {
namespace {

using Bytes = std::vector<uint8_t>;

class SelectionOpsTest : public ::testing::Test {
 protected:
  void SetUp() override { test::PrepareToolWorkspace(ws, 20, 20); }

  HeldKeys Ctrl() {
    HeldKeys keys;
    keys.ctrl = true;
    return keys;
  }
  HeldKeys V() {
    HeldKeys keys;
    keys.v = true;
    return keys;
  }
  void CtrlDrag(CellPoint from, CellPoint to) {
    OnMapButtonDown(ws, test::CellCentre(from.column, from.row), Ctrl(), clipboard, messages);
    if (!(from == to)) OnMapMouseMove(ws, test::CellCentre(to.column, to.row), Ctrl(), true);
    OnMapButtonUp(ws, Ctrl());
  }
  void PasteClick(int32_t column, int32_t row) {
    OnMapButtonDown(ws, test::CellCentre(column, row), V(), clipboard, messages);
    OnMapButtonUp(ws, V());
  }
  uint8_t Selected(int32_t column, int32_t row) {
    return ws.selection.selectionFlags[static_cast<size_t>(column + row * 20)];
  }
  int32_t SelectedCount() {
    return static_cast<int32_t>(
        std::count(ws.selection.selectionFlags.begin(), ws.selection.selectionFlags.end(), 1));
  }
  MapCell& Cell(int32_t column, int32_t row) { return ws.document.grid.At(column, row); }

  Workspace ws;
  test::FakeClipboard clipboard;
  test::RecordingMessages messages;
};

TEST_F(SelectionOpsTest, TwoCellsCopyAsABlockWithMaskAndPasteExactly) {
  Cell(2, 2) = 0xAB031105;
  Cell(3, 2) = 0x00000009;  // inside the box, not selected
  Cell(4, 3) = 0x00071002;
  CtrlDrag({2, 2}, {2, 2});
  CtrlDrag({4, 3}, {4, 3});
  EXPECT_EQ(SelectedCount(), 2);

  const ToolResult result = OnMapKeyDown(ws, clipboard, MapKey::C);
  EXPECT_TRUE(result.repaint);
  EXPECT_EQ(result.cursor, PenCursor::Arrow);
  EXPECT_EQ(SelectedCount(), 0);
  EXPECT_EQ(clipboard.formats[0x0301], (Bytes{3, 0, 0, 0, 2, 0, 0, 0}));
  EXPECT_EQ(clipboard.formats[0x0302],
            (Bytes{0x05, 0x11, 0x03, 0xAB, 0x09, 0, 0, 0, 0,    0,    0,    0,
                   0,    0,    0,    0,    0,    0, 0, 0, 0x02, 0x10, 0x07, 0}));
  EXPECT_EQ(clipboard.formats[0x0303], (Bytes{1, 0, 0, 0, 0, 1}));

  for (int32_t row = 9; row < 13; ++row) {
    for (int32_t column = 9; column < 14; ++column) Cell(column, row) = 0x00000606;
  }
  PasteClick(10, 10);
  EXPECT_EQ(Cell(10, 10), 0xAB031105u);
  EXPECT_EQ(Cell(12, 11), 0x00071002u);
  EXPECT_EQ(Cell(11, 10), 0x00000606u);  // mask 0: untouched
  EXPECT_EQ(Cell(10, 11), 0x00000606u);
  EXPECT_EQ(Cell(12, 10), 0x00000606u);
  EXPECT_EQ(ws.undo.cursor(), 0);
  ASSERT_TRUE(Undo(ws.undo, ws.document.grid, ws.selection));
  EXPECT_EQ(Cell(10, 10), 0x00000606u);
}

TEST_F(SelectionOpsTest, DragSelectsOrDeselectsByItsStartCell) {
  CtrlDrag({1, 1}, {3, 2});
  EXPECT_EQ(SelectedCount(), 6);
  // Starting on an unselected cell selects, including cells already selected.
  CtrlDrag({4, 3}, {2, 2});
  EXPECT_EQ(SelectedCount(), 6 + 6 - 2);
  EXPECT_EQ(Selected(4, 3), 1);
  // Starting on a selected cell deselects the rectangle.
  CtrlDrag({3, 2}, {5, 5});
  EXPECT_EQ(Selected(3, 2), 0);
  EXPECT_EQ(Selected(4, 3), 0);
  EXPECT_EQ(Selected(1, 1), 1);
  EXPECT_EQ(SelectedCount(), 10 - 4);
  EXPECT_FALSE(ws.selection.selectionDragActive);
  EXPECT_EQ(ws.selection.selectionRect, SelectionRect{});
}

TEST_F(SelectionOpsTest, DragRectangleFollowsTheMouse) {
  OnMapButtonDown(ws, test::CellCentre(5, 5), Ctrl(), clipboard, messages);
  EXPECT_TRUE(ws.selection.selectionDragActive);
  EXPECT_EQ(ws.selection.selectionRect, (SelectionRect{5, 5, 5, 5}));
  EXPECT_EQ(ws.input.mapPressCell, (CellPoint{5, 5}));
  OnMapMouseMove(ws, test::CellCentre(2, 7), Ctrl(), true);
  EXPECT_EQ(ws.selection.selectionRect, (SelectionRect{2, 5, 5, 7}));
  EXPECT_EQ(SelectedCount(), 0);  // applied only at the release
  OnMapButtonUp(ws, Ctrl());
  EXPECT_EQ(SelectedCount(), 12);
}

TEST_F(SelectionOpsTest, CtrlDuringAnotherStrokeSelectsNothing) {
  OnMapButtonDown(ws, test::CellCentre(1, 1), {}, clipboard, messages);
  OnMapMouseMove(ws, test::CellCentre(4, 4), Ctrl(), true);
  EXPECT_FALSE(ws.selection.selectionDragActive);
  OnMapButtonUp(ws, Ctrl());
  EXPECT_EQ(SelectedCount(), 0);
  EXPECT_EQ(ws.selection.selectionRect, SelectionRect{});
}

TEST_F(SelectionOpsTest, EndOfDragClearsTheMarksOfThePaintingModes) {
  Cell(0, 0) = CellFlagCollisionMark | CellFlagPriorityMark | CellFlagCollision;
  ws.palette.mode = PaletteModeCollision;
  CtrlDrag({1, 1}, {1, 1});
  EXPECT_EQ(Cell(0, 0), CellFlagPriorityMark | CellFlagCollision);
  ws.palette.mode = PaletteModePriority;
  CtrlDrag({1, 1}, {1, 1});
  EXPECT_EQ(Cell(0, 0), CellFlagCollision);
}

TEST_F(SelectionOpsTest, CutEmptiesChipsKeepsFlagsAndPasteRestoresFlags) {
  Cell(1, 1) = 0xC0051F02;
  Cell(2, 1) = 0x00001100;
  CtrlDrag({1, 1}, {2, 1});
  const ToolResult result = OnMapKeyDown(ws, clipboard, MapKey::X);
  EXPECT_TRUE(result.repaint);
  EXPECT_EQ(Cell(1, 1), 0xC0001F00u);
  EXPECT_EQ(Cell(2, 1), 0x00001100u);
  EXPECT_EQ(ws.undo.cursor(), 0);
  EXPECT_EQ(SelectedCount(), 0);

  Cell(6, 6) = 0x00000800;
  PasteClick(6, 6);
  EXPECT_EQ(Cell(6, 6), 0xC0051F02u);
  EXPECT_EQ(Cell(7, 6), 0x00001100u);
}

TEST_F(SelectionOpsTest, CutWithoutChipsCopiesButRecordsNothing) {
  Cell(1, 1) = CellFlagCollision;
  CtrlDrag({1, 1}, {1, 1});
  OnMapKeyDown(ws, clipboard, MapKey::X);
  EXPECT_EQ(clipboard.writes, 1);
  EXPECT_EQ(ws.undo.cursor(), -1);
  EXPECT_EQ(SelectedCount(), 0);
  EXPECT_EQ(Cell(1, 1), CellFlagCollision);
}

TEST_F(SelectionOpsTest, PasteNearTheCornerKeepsOnlyWhatFits) {
  CtrlDrag({0, 0}, {2, 2});
  for (int32_t row = 0; row < 3; ++row) {
    for (int32_t column = 0; column < 3; ++column) Cell(column, row) = 0x10 + row * 3 + column;
  }
  OnMapKeyDown(ws, clipboard, MapKey::C);
  PasteClick(18, 19);
  EXPECT_EQ(Cell(18, 19), 0x10u);
  EXPECT_EQ(Cell(19, 19), 0x11u);
  int32_t changed = 0;
  for (int32_t row = 3; row < 20; ++row) {
    for (int32_t column = 0; column < 20; ++column) changed += Cell(column, row) != 0;
  }
  EXPECT_EQ(changed, 2);
}

TEST_F(SelectionOpsTest, ForeignOrBrokenClipboardDataPastesThePreviousBlock) {
  Cell(0, 0) = 0x00000004;
  CtrlDrag({0, 0}, {0, 0});
  OnMapKeyDown(ws, clipboard, MapKey::C);
  PasteClick(5, 5);
  EXPECT_EQ(Cell(5, 5), 4u);

  // Another program's data: none of our formats.
  clipboard.formats.clear();
  clipboard.formats[13] = {'h', 'i', 0};
  PasteClick(6, 6);
  EXPECT_EQ(Cell(6, 6), 4u);
  // Our formats, but claiming more cells than there are.
  clipboard.formats[0x0301] = {0x10, 0, 0, 0, 0x10, 0, 0, 0};
  clipboard.formats[0x0302] = Bytes(8, 0x77);
  clipboard.formats[0x0303] = Bytes(2, 1);
  PasteClick(7, 7);
  EXPECT_EQ(Cell(7, 7), 4u);
  EXPECT_EQ(Cell(8, 7), 0u);
  // Only the size block.
  clipboard.formats.erase(0x0302);
  PasteClick(8, 8);
  EXPECT_EQ(Cell(8, 8), 4u);
  EXPECT_EQ(ws.undo.cursor(), 3);
}

TEST_F(SelectionOpsTest, PasteWithoutAnyBlockDoesNothing) {
  PasteClick(3, 3);
  EXPECT_EQ(ws.undo.cursor(), -1);
  EXPECT_EQ(clipboard.reads, 1);
}

TEST_F(SelectionOpsTest, CopyingNothingWritesAnEmptyBlockThatPastesNothing) {
  Cell(0, 0) = 3;
  CtrlDrag({0, 0}, {0, 0});
  OnMapKeyDown(ws, clipboard, MapKey::C);
  PasteClick(5, 5);
  ASSERT_EQ(Cell(5, 5), 3u);
  const int32_t steps = ws.undo.cursor();

  // The selection is empty now; C again copies it.
  const ToolResult result = OnMapKeyDown(ws, clipboard, MapKey::C);
  EXPECT_TRUE(result.repaint);
  EXPECT_EQ(clipboard.formats[0x0301], (Bytes{0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(clipboard.formats[0x0302].empty());
  EXPECT_TRUE(clipboard.formats[0x0303].empty());
  const std::vector<MapCell> before = *ws.document.grid.cells;
  PasteClick(9, 9);
  EXPECT_EQ(*ws.document.grid.cells, before);
  EXPECT_EQ(ws.undo.cursor(), steps);
}

TEST_F(SelectionOpsTest, FailedCopyKeepsTheSelectionAndCutsNothing) {
  Cell(1, 1) = 5;
  CtrlDrag({1, 1}, {1, 1});
  clipboard.failOpen = true;
  const ToolResult result = OnMapKeyDown(ws, clipboard, MapKey::X);
  EXPECT_FALSE(result.repaint);
  EXPECT_EQ(Cell(1, 1), 5u);
  EXPECT_EQ(SelectedCount(), 1);
  EXPECT_EQ(ws.undo.cursor(), -1);
}

TEST_F(SelectionOpsTest, KeysNeedSelectionFlagsThatFitTheGrid) {
  ws.selection = SelectionState{};
  EXPECT_FALSE(OnMapKeyDown(ws, clipboard, MapKey::C).repaint);
  // Flags of another size (a grid replaced without a reset) are not used.
  ResetSelection(ws.selection, 3, 3);
  ws.selection.selectionFlags.assign(9, 1);
  EXPECT_FALSE(OnMapKeyDown(ws, clipboard, MapKey::X).repaint);
  EXPECT_EQ(clipboard.writes, 0);
  EXPECT_EQ(OnMapKeyDown(ws, clipboard, MapKey::V).cursor, PenCursor::Arrow);
  EXPECT_EQ(OnMapKeyDown(ws, clipboard, MapKey::Ctrl).cursor, PenCursor::Arrow);
}

TEST_F(SelectionOpsTest, HugeForeignBlockPastesOnlyTheVisiblePart) {
  // 100000 x 1 cells: far wider than the map, every cell selected.
  const int32_t width = 100000;
  clipboard.formats[0x0301] = {0xA0, 0x86, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00};
  clipboard.formats[0x0302] = Bytes(static_cast<size_t>(width) * 4, 0x01);
  clipboard.formats[0x0303] = Bytes(static_cast<size_t>(width), 1);
  PasteClick(15, 19);
  EXPECT_EQ(Cell(15, 19), 0x01010101u);
  EXPECT_EQ(Cell(19, 19), 0x01010101u);
  EXPECT_EQ(Cell(14, 19), 0u);
  EXPECT_EQ(Cell(0, 0), 0u);
}

}  // namespace
}  // namespace kelvor
