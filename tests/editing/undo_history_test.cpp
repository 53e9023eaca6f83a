#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "editing/undo_history.h"

namespace kelvor {
namespace {

MapGrid MakeGrid(int32_t width, int32_t height, MapCell fill = 0) {
  MapGrid grid;
  grid.width = width;
  grid.height = height;
  grid.cells = std::vector<MapCell>(static_cast<size_t>(width) * height, fill);
  return grid;
}

// A small map whose first cell counts the edits made to it.
struct Session {
  MapGrid grid = MakeGrid(3, 2);
  SelectionState selection;
  UndoHistory history;
  int notifications = 0;

  Session() {
    ResetSelection(selection, 3, 2);
    history.onStateChanged = [this] { ++notifications; };
  }
  void Edit(MapCell value) {
    RecordUndo(history, grid);
    grid.At(0, 0) = value;
  }
  MapCell Value() const { return grid.At(0, 0); }
};

enum class Step { Edit, Undo, Redo, Reset };

struct Expect {
  Step step;
  MapCell editValue;  // for Step::Edit
  bool result;        // what Undo / Redo return
  int32_t cursor;
  bool undoGreyed;
  bool redoGreyed;
  MapCell value;  // the live cell afterwards
};

TEST(UndoHistoryTest, FollowsTheStateTable) {
  const std::vector<Expect> script = {
      {Step::Undo, 0, false, -1, true, true, 0},  // nothing to undo
      {Step::Redo, 0, false, -1, true, true, 0},
      {Step::Edit, 1, false, 0, false, true, 1},
      {Step::Edit, 2, false, 1, false, true, 2},
      {Step::Edit, 3, false, 2, false, true, 3},
      {Step::Undo, 0, true, 1, false, false, 2},
      {Step::Undo, 0, true, 0, false, false, 1},
      {Step::Undo, 0, true, -1, true, false, 0},
      {Step::Undo, 0, false, -1, true, false, 0},  // greyed: nothing happens
      {Step::Redo, 0, true, 0, false, false, 1},
      {Step::Redo, 0, true, 1, false, false, 2},
      {Step::Redo, 0, true, 2, false, true, 3},  // newest step reached
      {Step::Redo, 0, false, 2, false, true, 3},
      {Step::Undo, 0, true, 1, false, false, 2},
      {Step::Undo, 0, true, 0, false, false, 1},
      {Step::Edit, 9, false, 1, false, true, 9},  // drops the two undone states
      {Step::Redo, 0, false, 1, false, true, 9},
      {Step::Undo, 0, true, 0, false, false, 1},
      {Step::Undo, 0, true, -1, true, false, 0},
      {Step::Reset, 0, false, -1, true, true, 0},
      {Step::Redo, 0, false, -1, true, true, 0},
  };
  Session s;
  for (size_t i = 0; i < script.size(); ++i) {
    const Expect& e = script[i];
    SCOPED_TRACE("step " + std::to_string(i));
    bool result = false;
    switch (e.step) {
      case Step::Edit:
        s.Edit(e.editValue);
        break;
      case Step::Undo:
        result = Undo(s.history, s.grid, s.selection);
        break;
      case Step::Redo:
        result = Redo(s.history, s.grid, s.selection);
        break;
      case Step::Reset:
        ResetUndo(s.history);
        break;
    }
    EXPECT_EQ(result, e.result);
    EXPECT_EQ(s.history.cursor(), e.cursor);
    EXPECT_EQ(s.history.undoDisabled(), e.undoGreyed);
    EXPECT_EQ(s.history.redoDisabled(), e.redoGreyed);
    EXPECT_EQ(s.Value(), e.value);
  }
}

TEST(UndoHistoryTest, MenuStateIsPushedOnEveryChangeButNotOnANoOpUndo) {
  Session s;
  Undo(s.history, s.grid, s.selection);
  EXPECT_EQ(s.notifications, 0);
  s.Edit(1);
  EXPECT_EQ(s.notifications, 1);
  Undo(s.history, s.grid, s.selection);
  EXPECT_EQ(s.notifications, 2);
  Redo(s.history, s.grid, s.selection);
  Redo(s.history, s.grid, s.selection);  // nothing to redo, still re-greys
  EXPECT_EQ(s.notifications, 4);
  ResetUndo(s.history);
  EXPECT_EQ(s.notifications, 5);
}

TEST(UndoHistoryTest, TheTwoHundredFiftySeventhRecordRestartsAtSlotZero) {
  Session s;
  for (MapCell i = 1; i <= 256; ++i) s.Edit(i);
  EXPECT_EQ(s.history.cursor(), 255);
  EXPECT_FALSE(s.history.wrapped());
  EXPECT_TRUE(s.history.SlotFilled(255));

  s.Edit(257);
  EXPECT_EQ(s.history.cursor(), 0);
  EXPECT_TRUE(s.history.wrapped());
  for (int32_t slot = 1; slot < UndoSlotCount; ++slot) EXPECT_FALSE(s.history.SlotFilled(slot));

  // Exactly one step is left: the state before the 257th edit.
  EXPECT_TRUE(Undo(s.history, s.grid, s.selection));
  EXPECT_EQ(s.Value(), 256u);
  EXPECT_EQ(s.history.cursor(), -1);
  EXPECT_FALSE(s.history.undoDisabled());  // stays enabled once wrapped
  EXPECT_FALSE(Undo(s.history, s.grid, s.selection));
  EXPECT_EQ(s.Value(), 256u);

  EXPECT_TRUE(Redo(s.history, s.grid, s.selection));
  EXPECT_EQ(s.Value(), 257u);
  EXPECT_TRUE(s.history.redoDisabled());

  ResetUndo(s.history);
  EXPECT_FALSE(s.history.wrapped());
  EXPECT_TRUE(s.history.undoDisabled());
}

TEST(UndoHistoryTest, RedoStopsAtTheLastSlot) {
  Session s;
  for (MapCell i = 1; i <= 256; ++i) s.Edit(i);
  EXPECT_TRUE(Undo(s.history, s.grid, s.selection));
  EXPECT_FALSE(s.history.redoDisabled());
  EXPECT_TRUE(Redo(s.history, s.grid, s.selection));
  EXPECT_EQ(s.history.cursor(), 255);
  EXPECT_TRUE(s.history.redoDisabled());
  EXPECT_EQ(s.Value(), 256u);
}

TEST(UndoHistoryTest, UndoAcrossAResizeRestoresSizeContentAndSelectionFlags) {
  Session s;
  s.grid.At(2, 1) = 0x55;
  s.Edit(7);
  // A resize is not recorded: the grid grows and gets selection flags to match.
  MapGrid bigger = MakeGrid(5, 4);
  bigger.At(0, 0) = 7;
  bigger.At(2, 1) = 0x55;
  bigger.At(4, 3) = 0x99;
  s.grid = bigger;
  ResetSelection(s.selection, 5, 4);
  s.selection.selectionFlags[19] = 1;

  ASSERT_TRUE(Undo(s.history, s.grid, s.selection));
  EXPECT_EQ(s.grid.width, 3);
  EXPECT_EQ(s.grid.height, 2);
  EXPECT_EQ(*s.grid.cells, (std::vector<MapCell>{0, 0, 0, 0, 0, 0x55}));
  EXPECT_EQ(s.selection.selectionFlags, std::vector<uint8_t>(6, 0));

  // Redo brings back the grown grid, unrecorded content included.
  ASSERT_TRUE(Redo(s.history, s.grid, s.selection));
  EXPECT_EQ(s.grid.width, 5);
  EXPECT_EQ(s.grid.height, 4);
  EXPECT_EQ(*s.grid.cells, *bigger.cells);
  EXPECT_EQ(s.selection.selectionFlags, std::vector<uint8_t>(20, 0));
}

TEST(UndoHistoryTest, SameSizeUndoKeepsTheSelection) {
  Session s;
  s.Edit(1);
  s.selection.selectionFlags[4] = 1;
  ASSERT_TRUE(Undo(s.history, s.grid, s.selection));
  EXPECT_EQ(s.selection.selectionFlags[4], 1);
}

TEST(UndoHistoryTest, UnrecordedFlagChangesComeBackWithRedo) {
  Session s;
  s.Edit(5);
  s.grid.At(1, 1) |= CellFlagCollision;  // flag painting records nothing
  ASSERT_TRUE(Undo(s.history, s.grid, s.selection));
  EXPECT_EQ(s.grid.At(1, 1), 0u);
  ASSERT_TRUE(Redo(s.history, s.grid, s.selection));
  EXPECT_EQ(s.grid.At(1, 1), CellFlagCollision);
  EXPECT_EQ(s.Value(), 5u);
}

TEST(UndoHistoryTest, EmptyAndZeroSizedGrids) {
  UndoHistory history;
  SelectionState selection;
  MapGrid none;
  RecordUndo(history, none);  // no map: the step exists but holds nothing
  EXPECT_EQ(history.cursor(), 0);
  EXPECT_FALSE(history.SlotFilled(0));
  EXPECT_FALSE(Undo(history, none, selection));

  ResetUndo(history);
  MapGrid flat = MakeGrid(0, 7);
  RecordUndo(history, flat);
  EXPECT_TRUE(history.SlotFilled(0));
  flat = MakeGrid(2, 2, 3);
  ASSERT_TRUE(Undo(history, flat, selection));
  EXPECT_TRUE(flat.Exists());
  EXPECT_EQ(flat.width, 0);
  EXPECT_EQ(flat.height, 7);
  EXPECT_EQ(flat.CellCount(), 0u);
  ASSERT_TRUE(Redo(history, flat, selection));
  EXPECT_EQ(*flat.cells, std::vector<MapCell>(4, 3));
}

// Random edits on a map whose size is not a multiple of the piece size:
// every undo and redo must give back exactly the state it stood for.
TEST(UndoHistoryTest, SharedPiecesRestoreEveryStateExactly) {
  std::mt19937 random(12345);
  MapGrid grid = MakeGrid(150, 70);
  for (MapCell& cell : *grid.cells) cell = random();
  SelectionState selection;
  UndoHistory history;
  std::vector<std::vector<MapCell>> states;
  for (int edit = 0; edit < 40; ++edit) {
    states.push_back(*grid.cells);
    RecordUndo(history, grid);
    const int32_t cells = 1 + static_cast<int32_t>(random() % 3);
    for (int32_t i = 0; i < cells; ++i) {
      grid.At(static_cast<int32_t>(random() % 150), static_cast<int32_t>(random() % 70)) = random();
    }
  }
  const std::vector<MapCell> newest = *grid.cells;
  for (int edit = 39; edit >= 0; --edit) {
    ASSERT_TRUE(Undo(history, grid, selection));
    ASSERT_EQ(*grid.cells, states[static_cast<size_t>(edit)]) << "undo to state " << edit;
  }
  for (int edit = 1; edit < 40; ++edit) {
    ASSERT_TRUE(Redo(history, grid, selection));
    ASSERT_EQ(*grid.cells, states[static_cast<size_t>(edit)]) << "redo to state " << edit;
  }
  ASSERT_TRUE(Redo(history, grid, selection));
  EXPECT_EQ(*grid.cells, newest);
}

TEST(UndoHistoryTest, MemoryGrowsWithWhatChanged) {
  MapGrid grid = MakeGrid(512, 512, 0x00010001);
  const uint64_t gridBytes = 512u * 512u * sizeof(MapCell);
  UndoHistory history;
  RecordUndo(history, grid);
  const uint64_t first = history.HeldBytes();
  EXPECT_GE(first, gridBytes);
  EXPECT_LT(first, gridBytes + gridBytes / 8);
  for (int i = 0; i < 100; ++i) {
    grid.At(i * 5, i * 3) ^= 0xFF;
    RecordUndo(history, grid);
  }
  // One changed piece of 64 x 64 cells per edit, plus the piece table.
  const uint64_t perEdit = (history.HeldBytes() - first) / 100;
  EXPECT_LT(perEdit, 64u * 64u * sizeof(MapCell) + 2048u);
  ResetUndo(history);
  EXPECT_EQ(history.HeldBytes(), 0u);
}

}  // namespace
}  // namespace kelvor
