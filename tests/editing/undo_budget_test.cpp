#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "editing/undo_history.h"
#include "platform/compression.h"

namespace kelvor {
namespace {

struct PieceCase {
  const char* name;
  std::vector<MapCell> cells;
  bool packed;  // expected to be stored packed rather than raw
};

std::vector<MapCell> RandomCells(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<MapCell> cells(count);
  for (MapCell& cell : cells) cell = random();
  return cells;
}

TEST(PackedPieceTest, RoundTripsEveryKindOfPiece) {
  std::vector<MapCell> chips(64 * 64);
  std::mt19937 random(5);
  for (MapCell& cell : chips) cell = (1 + random() % 4) | (random() % 30 == 0 ? 0x2A1100u : 0u);
  const PieceCase cases[] = {
      {"uniform", std::vector<MapCell>(64 * 64, 0x00030107), true},
      {"a few chips at random", chips, true},
      {"incompressible", RandomCells(64 * 64, 9), false},
      {"an edge piece of one cell", {0x12345678}, false},
      {"an edge piece of 64 x 3", std::vector<MapCell>(64 * 3, 0x00050000), true},
  };
  BlockPacker packer;
  std::atomic<uint64_t> tally{0};
  for (const PieceCase& c : cases) {
    SCOPED_TRACE(c.name);
    {
      const uint64_t hash =
          PieceHash(c.cells.data(), c.cells.size(), static_cast<int32_t>(c.cells.size()), 1);
      const PackedPiecePtr piece = PackPiece(c.cells, hash, packer, &tally);
      ASSERT_TRUE(piece);
      EXPECT_EQ(!piece->raw(), c.packed);
      EXPECT_LE(piece->bytes().size(), c.cells.size() * sizeof(MapCell));
      EXPECT_EQ(tally, piece->HeldBytes());
      std::vector<MapCell> back(c.cells.size(), 0xEEEEEEEE);
      ASSERT_TRUE(UnpackPiece(*piece, back, packer));
      EXPECT_EQ(back, c.cells);
      // Asked for another size, the piece refuses.
      std::vector<MapCell> wrong(c.cells.size() + 1);
      EXPECT_FALSE(UnpackPiece(*piece, wrong, packer));
    }
    EXPECT_EQ(tally, 0u);  // a piece gone no longer counts
  }
}

MapGrid RandomGrid(int32_t width, int32_t height, uint32_t seed) {
  MapGrid grid;
  grid.width = width;
  grid.height = height;
  grid.cells = RandomCells(static_cast<size_t>(width) * height, seed);
  return grid;
}

// Every step changes every cell to values that do not pack, so each one
// holds about as much as the map itself.
struct BudgetSession {
  MapGrid grid = RandomGrid(130, 100, 1);
  SelectionState selection;
  UndoHistory history;
  std::vector<std::vector<MapCell>> states;  // before each edit

  void Edit(uint32_t seed) {
    states.push_back(*std::as_const(grid).cells);
    RecordUndo(history, grid);
    grid.cells = RandomCells(grid.CellCount(), seed);
  }
};

TEST(UndoBudgetTest, DropsExactlyTheOldestStepsAndGreysAsWhenTheSlotsRunOut) {
  BudgetSession s;
  s.Edit(100);
  const uint64_t oneStep = s.history.StoredBytes();
  // Room for three full steps, not four.
  s.history.SetBudget(oneStep * 3 + oneStep / 2);
  s.Edit(101);
  s.Edit(102);
  EXPECT_EQ(s.history.cursor(), 2);
  EXPECT_FALSE(s.history.wrapped());
  for (uint32_t seed = 103; seed < 110; ++seed) {
    s.Edit(seed);
    EXPECT_EQ(s.history.cursor(), 2) << seed;
    EXPECT_TRUE(s.history.wrapped());
    EXPECT_LE(s.history.StoredBytes(), s.history.budget());
  }
  EXPECT_FALSE(s.history.SlotFilled(3));

  // The newest three steps are left, each restoring its exact cells.
  const std::vector<MapCell> newest = *std::as_const(s.grid).cells;
  for (size_t back = 1; back <= 3; ++back) {
    ASSERT_TRUE(Undo(s.history, s.grid, s.selection));
    EXPECT_EQ(*std::as_const(s.grid).cells, s.states[s.states.size() - back]) << back;
  }
  EXPECT_EQ(s.history.cursor(), -1);
  EXPECT_FALSE(s.history.undoDisabled());  // enabled, as after wrapping
  EXPECT_FALSE(Undo(s.history, s.grid, s.selection));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(Redo(s.history, s.grid, s.selection));
  EXPECT_EQ(*std::as_const(s.grid).cells, newest);
  EXPECT_TRUE(s.history.redoDisabled());
}

TEST(UndoBudgetTest, AStepLargerThanTheBudgetIsKeptAlone) {
  BudgetSession s;
  s.Edit(200);
  s.Edit(201);
  s.history.SetBudget(1);
  s.Edit(202);
  EXPECT_EQ(s.history.cursor(), 0);
  EXPECT_TRUE(s.history.wrapped());
  ASSERT_TRUE(Undo(s.history, s.grid, s.selection));
  EXPECT_EQ(*std::as_const(s.grid).cells, s.states.back());
  EXPECT_FALSE(s.history.undoDisabled());
  EXPECT_FALSE(Undo(s.history, s.grid, s.selection));
}

TEST(UndoBudgetTest, ARepetitiveMapIsHeldPacked) {
  MapGrid grid;
  grid.Allocate(1000, 1000);
  for (MapCell& cell : *grid.cells) cell = 0x00000003;
  UndoHistory history;
  RecordUndo(history, grid);
  EXPECT_LT(history.StoredBytes(), grid.CellCount() * sizeof(MapCell) / 20);
}

// An edit may take its pointer into the cells before it records the step:
// the history must still see every write.
TEST(UndoBudgetTest, WritesThroughAPointerTakenBeforeTheRecordAreUndoneAndRedone) {
  MapGrid grid;
  grid.Allocate(200, 130);
  SelectionState selection;
  UndoHistory history;
  RecordUndo(history, grid);
  for (MapCell value : {5u, 6u}) {
    std::vector<MapCell>& cells = *grid.cells;
    RecordUndo(history, grid);
    cells[150 + 129 * 200] = value;
  }
  ASSERT_TRUE(Undo(history, grid, selection));
  EXPECT_EQ(grid.At(150, 129), 5u);
  ASSERT_TRUE(Undo(history, grid, selection));
  EXPECT_EQ(grid.At(150, 129), 0u);
  ASSERT_TRUE(Redo(history, grid, selection));
  ASSERT_TRUE(Redo(history, grid, selection));
  EXPECT_EQ(grid.At(150, 129), 6u);
}

TEST(UndoBudgetTest, DefaultIsAQuarterOfTheMachineAtMostFourGiBUnlessSet) {
  constexpr uint64_t MiB = 1024 * 1024;
  struct Case {
    uint64_t physical;
    const char* setting;
    uint64_t budget;
  };
  const Case cases[] = {
      {8192 * MiB, nullptr, 2048 * MiB},  {24576 * MiB, nullptr, 4096 * MiB},
      {0, nullptr, 1024 * MiB},           {8192 * MiB, "512", 512 * MiB},
      {8192 * MiB, "10000", 10000 * MiB}, {8192 * MiB, "0", 2048 * MiB},
      {8192 * MiB, "-5", 2048 * MiB},     {8192 * MiB, "12MB", 2048 * MiB},
      {8192 * MiB, "", 2048 * MiB},       {8192 * MiB, "99999999999999999999", 2048 * MiB},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UndoBudgetFor(c.physical, c.setting), c.budget)
        << c.physical << " " << (c.setting ? c.setting : "(unset)");
  }
}

}  // namespace
}  // namespace kelvor
