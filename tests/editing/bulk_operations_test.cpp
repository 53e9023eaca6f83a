#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "editing/bulk_operations.h"
#include "support/temp_dir.h"

namespace kelvor {
namespace {

MapGrid MakeGrid(int32_t width, int32_t height, std::vector<MapCell> cells) {
  MapGrid grid;
  grid.width = width;
  grid.height = height;
  grid.cells = std::move(cells);
  return grid;
}

void FillAtlasCell(ChipTable& table, int32_t slot, uint8_t value) {
  for (int32_t y = 0; y < ChipSize; ++y) {
    for (int32_t x = 0; x < ChipSize; ++x) {
      uint8_t* p = table.atlas.At(ChipSize * (slot % 16) + x, ChipSize * (slot / 16) + y);
      p[0] = value;
      p[1] = static_cast<uint8_t>(value + 1);
      p[2] = static_cast<uint8_t>(x);
      p[3] = static_cast<uint8_t>(y);
    }
  }
}

// Whether the atlas cell of `slot` shows the picture FillAtlasCell drew with
// `value` (value 0 with all-zero pixels: an empty cell).
bool AtlasCellShows(const ChipTable& table, int32_t slot, int value) {
  for (int32_t y = 0; y < ChipSize; ++y) {
    for (int32_t x = 0; x < ChipSize; ++x) {
      const uint8_t* p = table.atlas.At(ChipSize * (slot % 16) + x, ChipSize * (slot / 16) + y);
      const bool ok = value < 0 ? (p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 0)
                                : (p[0] == value && p[1] == value + 1 && p[2] == x && p[3] == y);
      if (!ok) return false;
    }
  }
  return true;
}

void UseSlot(ChipTable& table, int32_t slot, int32_t file, int32_t column, int32_t row) {
  table.entries[static_cast<size_t>(slot)] = ChipEntry{1, file, column, row, 0};
}

// A document as after start-up: both atlases made, slot 0 taken.
void StartDocument(MapDocument& doc) {
  for (ChipTable& table : doc.tables) {
    table.atlas = PixelBuffer::Make(AtlasSize, AtlasSize);
    table.entries[0].used = 1;
  }
}

TEST(ClearLevelTest, RemovesOneLevelAndRecordsOnlyWhenSomethingGoes) {
  struct Case {
    const char* name;
    std::vector<MapCell> cells;
    int32_t level;
    bool removed;
    std::vector<MapCell> after;
  };
  const std::vector<Case> cases = {
      {"background", {0xAB07F305, 0x00000100}, LevelBackground, true, {0xAB07F300, 0x00000100}},
      {"layer", {0xAB07F305, 0x00020000}, LevelLayer, true, {0xAB00F305, 0x00000000}},
      {"no layer chips", {0x00001105, 0x00000001}, LevelLayer, false, {0x00001105, 0x00000001}},
      {"unknown level", {0x00010101}, 2, false, {0x00010101}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MapGrid grid = MakeGrid(static_cast<int32_t>(c.cells.size()), 1, c.cells);
    UndoHistory undo;
    EXPECT_EQ(ClearLevel(grid, undo, c.level), c.removed);
    EXPECT_EQ(*grid.cells, c.after);
    EXPECT_EQ(undo.cursor(), c.removed ? 0 : -1);
    if (c.removed) {
      SelectionState selection;
      ASSERT_TRUE(Undo(undo, grid, selection));
      EXPECT_EQ(*grid.cells, c.cells);
    }
  }
  MapGrid none;
  UndoHistory undo;
  EXPECT_FALSE(ClearLevel(none, undo, LevelBackground));
  EXPECT_EQ(undo.cursor(), -1);
}

TEST(ClearCellFlagsTest, ClearsExactlyOneGroupAndIsNotUndoable) {
  MapGrid grid = MakeGrid(2, 1, {0x12345678, 0x0003FF05});
  UndoHistory undo;
  SelectionState selection;
  RecordUndo(undo, grid);
  grid.At(1, 0) |= CellFlagWallEast;  // an unrecorded edit after the last step
  ClearCellFlags(grid, CellFlagGroup::Collision);
  EXPECT_EQ(*grid.cells, (std::vector<MapCell>{0x12345078, 0x0003F005}));
  ClearCellFlags(grid, CellFlagGroup::Priority);
  EXPECT_EQ(*grid.cells, (std::vector<MapCell>{0x12340078, 0x00030005}));
  EXPECT_EQ(undo.cursor(), 0);
  // Undo returns to the last recorded state, not to the flags alone.
  ASSERT_TRUE(Undo(undo, grid, selection));
  EXPECT_EQ(*grid.cells, (std::vector<MapCell>{0x12345678, 0x0003FF05}));
}

TEST(ApplyChipAttributesTest, EachKindRewritesItsBitsAndClearsTheMarks) {
  MapDocument doc;
  doc.tables[LevelBackground].entries[0].attributes = 0xFF;  // slot 0 never counts
  doc.tables[LevelBackground].entries[1].attributes = EntryFlagCollision;
  doc.tables[LevelBackground].entries[2].attributes = 0x30;
  doc.tables[LevelLayer].entries[0].attributes = 0xFF;
  doc.tables[LevelLayer].entries[1].attributes = EntryFlagPriority;
  doc.tables[LevelLayer].entries[2].attributes = 0x81;
  // Cells: walls, marks, collision and priority set by hand, various chips.
  const std::vector<MapCell> start = {
      0x00000001 | 0x0600 | CellFlagCollisionMark,            // background 1, two walls
      0x00010000 | CellFlagCollision | CellFlagPriorityMark,  // layer 1 only
      0x00020002 | CellFlagPriority | CellFlagWallSouth,      // background 2, layer 2
      0xAB000000 | 0xFF00,                                    // no chips, every flag
  };
  struct Case {
    int32_t kind;
    std::vector<MapCell> after;
  };
  const std::vector<Case> cases = {
      {AttributeKindCollision,
       {0x00000001 | 0x0700, 0x00010000, 0x00020002 | 0x1500, 0xAB000000 | 0x1600}},
      {AttributeKindPriority,
       {0x00000001 | 0x0600, 0x00010000 | 0x1100, 0x00020002 | 0x1400, 0xAB000000 | 0x0700}},
      {AttributeKindBoth,
       {0x00000001 | 0x0100, 0x00010000 | 0x1000, 0x00020002 | 0x1100, 0xAB000000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    doc.grid = MakeGrid(4, 1, start);
    EXPECT_TRUE(ApplyChipAttributes(doc, c.kind));
    EXPECT_EQ(*doc.grid.cells, c.after);
  }
  doc.grid = MakeGrid(4, 1, start);
  EXPECT_FALSE(ApplyChipAttributes(doc, 3));
  EXPECT_EQ(*doc.grid.cells, start);
  doc.grid = MapGrid{};
  EXPECT_FALSE(ApplyChipAttributes(doc, AttributeKindBoth));
}

TEST(OptimizeChipSetTest, DropsAnErasedChipAndMovesTheNextDown) {
  MapDocument doc;
  StartDocument(doc);
  ChipTable& bg = doc.tables[LevelBackground];
  doc.fileList.names[0] = "a.png";
  UseSlot(bg, 1, 0, 0, 0);  // P
  UseSlot(bg, 2, 0, 1, 0);  // Q, erased everywhere
  UseSlot(bg, 3, 0, 2, 0);  // R
  FillAtlasCell(bg, 1, 10);
  FillAtlasCell(bg, 2, 20);
  FillAtlasCell(bg, 3, 30);
  doc.grid = MakeGrid(3, 1, {0x00000001, 0x00000003, 0x00000103});
  UndoHistory undo;
  RecordUndo(undo, doc.grid);
  const uint64_t revision = bg.atlasRevision;

  OptimizeChipSet(doc, undo);

  EXPECT_NE(bg.atlasRevision, revision);  // a chip picture moved
  EXPECT_EQ(bg.entries[1], (ChipEntry{1, 0, 0, 0, 0}));
  EXPECT_EQ(bg.entries[2], (ChipEntry{1, 0, 2, 0, 0}));
  EXPECT_EQ(bg.entries[3], ChipEntry{});
  EXPECT_EQ(bg.count, 3);
  EXPECT_EQ(*doc.grid.cells, (std::vector<MapCell>{0x00000001, 0x00000002, 0x00000102}));
  EXPECT_TRUE(AtlasCellShows(bg, 1, 10));
  EXPECT_TRUE(AtlasCellShows(bg, 2, 30));
  EXPECT_TRUE(AtlasCellShows(bg, 3, -1));
  EXPECT_EQ(doc.tables[LevelLayer].count, 1);
  EXPECT_EQ(doc.fileList.names[0], "a.png");
  EXPECT_TRUE(undo.undoDisabled());
  EXPECT_TRUE(undo.redoDisabled());
  EXPECT_EQ(undo.cursor(), -1);
}

TEST(OptimizeChipSetTest, UnusedFileIsDroppedAndLaterNamesMoveDown) {
  MapDocument doc;
  StartDocument(doc);
  doc.fileList.names = {};
  doc.fileList.names[0] = "a.png";
  doc.fileList.names[1] = "b.png";  // only an erased chip uses it
  doc.fileList.names[2] = "c.png";
  doc.fileList.names[4] = "e.png";  // no entry at all
  ChipTable& bg = doc.tables[LevelBackground];
  ChipTable& layer = doc.tables[LevelLayer];
  UseSlot(bg, 1, 2, 3, 4);     // c.png, kept
  UseSlot(bg, 2, 1, 0, 0);     // b.png, unused
  UseSlot(layer, 1, 0, 1, 1);  // a.png, kept
  UseSlot(layer, 5, 2, 7, 7);  // c.png, kept, moves to slot 2
  FillAtlasCell(layer, 5, 50);
  doc.grid =
      MakeGrid(2, 1, {0x00010001, 0x00050000 | CellFlagCollisionMark | CellFlagPriorityMark});
  UndoHistory undo;

  OptimizeChipSet(doc, undo);

  EXPECT_EQ(doc.fileList.names[0], "a.png");
  EXPECT_EQ(doc.fileList.names[1], "c.png");
  for (size_t i = 2; i < ChipFileSlots; ++i) EXPECT_TRUE(doc.fileList.names[i].empty()) << i;
  EXPECT_EQ(bg.entries[1], (ChipEntry{1, 1, 3, 4, 0}));
  EXPECT_EQ(bg.entries[2], ChipEntry{});
  EXPECT_EQ(layer.entries[1], (ChipEntry{1, 0, 1, 1, 0}));
  EXPECT_EQ(layer.entries[2], (ChipEntry{1, 1, 7, 7, 0}));
  EXPECT_EQ(bg.count, 2);
  EXPECT_EQ(layer.count, 3);
  EXPECT_TRUE(AtlasCellShows(layer, 2, 50));
  EXPECT_TRUE(AtlasCellShows(layer, 5, -1));
  // Renumbered, and the transient marks are gone.
  EXPECT_EQ(*doc.grid.cells, (std::vector<MapCell>{0x00010001, 0x00020000}));
}

TEST(OptimizeChipSetTest, IndexOfAFreeSlotKeepsNothingAlive) {
  MapDocument doc;
  StartDocument(doc);
  doc.fileList.names[0] = "a.png";
  doc.fileList.names[1] = "b.png";
  ChipTable& bg = doc.tables[LevelBackground];
  bg.entries[1] = ChipEntry{0, 1, 0, 0, 0};  // free slot that a cell still names
  UseSlot(bg, 2, 0, 0, 0);
  doc.grid = MakeGrid(2, 1, {0x00000001, 0x00000002});
  UndoHistory undo;
  OptimizeChipSet(doc, undo);
  // The used entries are exactly slots 1..count-1.
  EXPECT_EQ(bg.count, 2);
  EXPECT_EQ(bg.entries[1], (ChipEntry{1, 0, 0, 0, 0}));
  EXPECT_EQ(bg.entries[2], ChipEntry{});
  EXPECT_EQ(doc.fileList.UsedNames(), 1);
  EXPECT_EQ(*doc.grid.cells, (std::vector<MapCell>{0x00000000, 0x00000001}));
}

TEST(OptimizeChipSetTest, WithoutGridNothingChangesWithoutAtlasNothingMoves) {
  MapDocument doc;
  StartDocument(doc);
  doc.fileList.names[3] = "d.png";
  UseSlot(doc.tables[LevelBackground], 4, 3, 0, 0);
  UndoHistory undo;
  MapGrid someGrid = MakeGrid(1, 1, {0});
  RecordUndo(undo, someGrid);
  OptimizeChipSet(doc, undo);  // no grid
  EXPECT_EQ(doc.tables[LevelBackground].entries[4].used, 1);
  EXPECT_EQ(doc.fileList.names[3], "d.png");
  EXPECT_EQ(undo.cursor(), 0);

  doc.tables[LevelLayer].atlas = PixelBuffer{};
  UseSlot(doc.tables[LevelBackground], 6, 3, 1, 0);
  doc.grid = MakeGrid(1, 1, {0x00000006 | CellFlagCollisionMark});
  OptimizeChipSet(doc, undo);
  EXPECT_EQ(doc.tables[LevelBackground].entries[4].used, 0);
  EXPECT_EQ(doc.tables[LevelBackground].entries[6], (ChipEntry{1, 0, 1, 0, 0}));
  EXPECT_EQ(doc.tables[LevelBackground].count, 2);
  EXPECT_EQ(doc.fileList.names[0], "d.png");  // the file list still compacts
  EXPECT_EQ(*doc.grid.cells, (std::vector<MapCell>{0x00000006}));
  EXPECT_EQ(undo.cursor(), -1);
}

// The compaction as the step list describes it, one grid pass per moved
// entry: the single-pass optimisation must give exactly its result.
using Entries = std::array<std::array<ChipEntry, 256>, 2>;
void CompactOnePassPerMove(Entries& entries, std::vector<MapCell>& cells) {
  for (size_t level = 0; level < 2; ++level) {
    auto& table = entries[level];
    for (int32_t j = 1; j < 256; ++j) {
      if (table[j].used) continue;
      int32_t k = j + 1;
      while (k < 256 && !table[k].used) ++k;
      if (k == 256) continue;
      table[j] = table[k];
      table[k] = ChipEntry{};
      for (MapCell& cell : cells) {
        const int32_t v = CellChip(cell, static_cast<int32_t>(level));
        if (v == j) cell = WithChip(cell, static_cast<int32_t>(level), 0);
        if (v == k) cell = WithChip(cell, static_cast<int32_t>(level), static_cast<uint8_t>(j));
      }
    }
  }
}

TEST(OptimizeChipSetTest, MatchesTheStepByStepCompactionOnRandomDocuments) {
  std::mt19937 random(99);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    MapDocument doc;
    StartDocument(doc);
    for (int32_t f = 0; f < 8; ++f) doc.fileList.names[f] = test::Numbered("f", f);
    for (ChipTable& table : doc.tables) {
      for (int32_t slot = 1; slot < 256; ++slot) {
        if (random() % 3 != 0) UseSlot(table, slot, static_cast<int32_t>(random() % 8), slot, 0);
      }
    }
    std::vector<MapCell> cells(40 * 30);
    for (MapCell& cell : cells) {
      // Few distinct indices, so most used entries lose their cells.
      cell = (random() % 40) | ((random() % 60) << 16) | (random() & 0x0000F700);
    }
    doc.grid = MakeGrid(40, 30, cells);

    // Expected: only kept entries stay, then the step-by-step compaction.
    Entries expected = {doc.tables[0].entries, doc.tables[1].entries};
    std::vector<MapCell> expectedCells = cells;
    for (size_t level = 0; level < 2; ++level) {
      for (int32_t slot = 1; slot < 256; ++slot) {
        bool shown = false;
        for (MapCell cell : cells) shown |= CellChip(cell, static_cast<int32_t>(level)) == slot;
        if (!shown) expected[level][slot].used = 0;
      }
    }
    CompactOnePassPerMove(expected, expectedCells);

    UndoHistory undo;
    OptimizeChipSet(doc, undo);
    for (size_t level = 0; level < 2; ++level) {
      for (int32_t slot = 0; slot < 256; ++slot) {
        const ChipEntry& got = doc.tables[level].entries[slot];
        const ChipEntry& want = expected[level][slot];
        // Files are renumbered by the list compaction; compare the names.
        EXPECT_EQ(got.used, want.used) << level << ":" << slot;
        EXPECT_EQ(got.column, want.column) << level << ":" << slot;
        if (got.used && slot > 0) {
          EXPECT_EQ(doc.fileList.names[got.file], test::Numbered("f", want.file));
        }
      }
    }
    for (size_t i = 0; i < cells.size(); ++i) {
      ASSERT_EQ((*doc.grid.cells)[i], expectedCells[i] & ~CellTransientBits) << i;
    }
  }
}

// The 16-cells-at-a-time passes must agree with the plain loops, tails and
// late first appearances of an index included.
TEST(OptimizeChipSetTest, VectorAndPlainPassesAgree) {
  std::mt19937 random(4);
  SlotMap background{};
  SlotMap layer{};
  for (size_t v = 0; v < 256; ++v) {
    background[v] = static_cast<uint8_t>(random());
    layer[v] = static_cast<uint8_t>(random());
  }
  for (size_t count : {0u, 1u, 15u, 16u, 17u, 33u, 4103u}) {
    SCOPED_TRACE(count);
    std::vector<MapCell> cells(count);
    for (size_t i = 0; i < count; ++i) {
      // Mostly a few indices, with rare new ones appearing late.
      const MapCell bg = random() % 50 == 0 ? random() % 256 : random() % 4;
      const MapCell ly = random() % 70 == 0 ? random() % 256 : 200 + random() % 3;
      cells[i] = bg | (ly << 16) | (random() & 0xFF00FF00u);
    }
    SlotUse vector;
    SlotUse plain;
    MarkUsedSlots(cells, vector, true);
    MarkUsedSlots(cells, plain, false);
    EXPECT_EQ(vector.background, plain.background);
    EXPECT_EQ(vector.layer, plain.layer);

    std::vector<MapCell> byVector = cells;
    std::vector<MapCell> byPlain = cells;
    RenumberCells(byVector, background, layer, true);
    RenumberCells(byPlain, background, layer, false);
    EXPECT_EQ(byVector, byPlain);
    for (size_t i = 0; i < count; ++i) {
      const MapCell want = (cells[i] & 0xFF001700u) | background[CellBackground(cells[i])] |
                           (static_cast<MapCell>(layer[CellLayer(cells[i])]) << 16);
      ASSERT_EQ(byPlain[i], want) << i;
    }
  }
}

}  // namespace
}  // namespace kelvor
