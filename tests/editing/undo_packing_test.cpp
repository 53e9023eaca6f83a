#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "editing/undo_history.h"

namespace kelvor {
namespace {

// A map of 10 x 10 pieces in a pattern that packs well.
MapGrid PatternGrid(MapCell seed) {
  MapGrid grid;
  grid.Allocate(640, 640);
  std::vector<MapCell>& cells = *grid.cells;
  for (size_t i = 0; i < cells.size(); ++i) cells[i] = seed + (i % 7 == 0 ? 0x10000u : 0u);
  return grid;
}

void Fill(MapGrid& grid, MapCell value) {
  for (MapCell& cell : *grid.cells) cell = (cell & ~0xFFu) | value;
}

std::vector<MapCell> Cells(const MapGrid& grid) {
  return *grid.cells;
}

TEST(UndoPackingTest, TheStateAnUndoLeavesIsPackedInTheBackground) {
  MapGrid grid = PatternGrid(3);
  const uint64_t raw = grid.CellCount() * sizeof(MapCell);
  UndoHistory history;
  SelectionState selection;
  RecordUndo(history, grid);
  Fill(grid, 9);
  const std::vector<MapCell> filled = Cells(grid);
  ASSERT_TRUE(Undo(history, grid, selection));
  history.WaitForPacking();
  EXPECT_LT(history.StoredBytes(), raw / 10);
  ASSERT_TRUE(Redo(history, grid, selection));
  EXPECT_EQ(Cells(grid), filled);
}

// Steps that each change every cell, undone and redone back and forth
// without waiting for the packer: each step restores its exact cells.
TEST(UndoPackingTest, StepsTakenWhilePackingIsPendingAreExact) {
  MapGrid grid = PatternGrid(1);
  UndoHistory history;
  SelectionState selection;
  std::vector<std::vector<MapCell>> states;
  for (MapCell value = 20; value < 26; ++value) {
    states.push_back(Cells(grid));
    RecordUndo(history, grid);
    Fill(grid, value);
  }
  states.push_back(Cells(grid));
  size_t at = states.size() - 1;
  for (const int move : {-1, -1, +1, -1, -1, -1, +1, +1, +1, -1, +1, +1}) {
    ASSERT_TRUE(move < 0 ? Undo(history, grid, selection) : Redo(history, grid, selection));
    at += move;
    ASSERT_EQ(Cells(grid), states[at]) << at;
  }
  // An unrecorded write after an undo comes back with the undo after a redo.
  ASSERT_TRUE(Undo(history, grid, selection));
  grid.At(639, 639) ^= 0x0100;
  const std::vector<MapCell> touched = Cells(grid);
  ASSERT_TRUE(Redo(history, grid, selection));
  ASSERT_TRUE(Undo(history, grid, selection));
  EXPECT_EQ(Cells(grid), touched);
  // A step recorded over a state just redone, its pieces maybe not packed yet.
  ASSERT_TRUE(Redo(history, grid, selection));
  const std::vector<MapCell> redone = Cells(grid);
  RecordUndo(history, grid);
  grid.At(0, 0) = 0x00FF00FF;
  ASSERT_TRUE(Undo(history, grid, selection));
  EXPECT_EQ(Cells(grid), redone);
}

// A history destroyed while its packer works must stop it first (run under
// the address sanitizer, a packer left running writes into freed memory).
TEST(UndoPackingTest, AHistoryDestroyedWhilePackingStopsItsPacker) {
  MapGrid grid = PatternGrid(2);
  const std::vector<MapCell> before = Cells(grid);
  SelectionState selection;
  for (MapCell value = 30; value < 40; ++value) {
    auto history = std::make_unique<UndoHistory>();
    RecordUndo(*history, grid);
    Fill(grid, value);
    ASSERT_TRUE(Undo(*history, grid, selection));
    ASSERT_TRUE(Redo(*history, grid, selection));
    ASSERT_TRUE(Undo(*history, grid, selection));
    history.reset();
    ASSERT_EQ(Cells(grid), before);
  }
}

}  // namespace
}  // namespace kelvor
