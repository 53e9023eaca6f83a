#include <gtest/gtest.h>

#include "base/ascii.h"
#include "document/chip_sheet.h"
#include "document/map_document.h"

namespace kelvor {
namespace {

TEST(MapCellTest, FieldsAndGroups) {
  const MapCell cell = 0x00030105;
  EXPECT_EQ(CellBackground(cell), 5);
  EXPECT_EQ(CellLayer(cell), 3);
  EXPECT_TRUE(cell & CellFlagCollision);
  EXPECT_EQ(0x00345678u & ~CellPriorityBits, 0x00340678u);
  EXPECT_EQ(0x00345678u & ~CellCollisionBits, 0x00345078u);
  // Rewriting one field keeps every other bit, the top byte included.
  EXPECT_EQ(WithLayer(0xAB12FF34u, 7), 0xAB07FF34u);
  EXPECT_EQ(WithBackground(0xAB12FF34u, 0), 0xAB12FF00u);
  EXPECT_EQ(WithFlags(0xAB12FF34u, 0x10), 0xAB121034u);
}

TEST(MapGridTest, AllocateRefusesNegativeAndKeepsOldGrid) {
  MapGrid grid;
  EXPECT_FALSE(grid.Exists());
  ASSERT_TRUE(grid.Allocate(3, 2));
  grid.At(2, 1) = 9;
  EXPECT_EQ((*grid.cells)[5], 9u);
  EXPECT_FALSE(grid.Allocate(-1, 4));
  EXPECT_EQ(grid.width, 3);
  EXPECT_EQ(grid.At(2, 1), 9u);
  ASSERT_TRUE(grid.Allocate(0, 5));  // an empty grid is still a grid
  EXPECT_TRUE(grid.Exists());
  EXPECT_EQ(grid.CellCount(), 0u);
  EXPECT_FALSE(grid.Contains(0, 0));
}

// Which pieces of a 130 x 70 map (3 x 2 pieces) count as written since a
// watch began; a watch of another size in between must not hide writes.
TEST(MapGridTest, WritesAreNotedPerPieceSinceAWatch) {
  struct Case {
    const char* write;
    void (*run)(MapGrid&);
    std::vector<bool> written;
  };
  const Case cases[] = {
      {"nothing", [](MapGrid&) {}, {false, false, false, false, false, false}},
      {"At(129, 69)",
       [](MapGrid& g) { g.At(129, 69) = 1; },
       {false, false, false, false, false, true}},
      {"rows 60..64",
       [](MapGrid& g) { g.cells.WriteRows(60, 5, 130); },
       {true, true, true, true, true, true}},
      {"rows 64..69",
       [](MapGrid& g) { g.cells.WriteRows(64, 6, 130); },
       {false, false, false, true, true, true}},
      {"the whole block",
       [](MapGrid& g) { (*g.cells)[0] = 1; },
       {true, true, true, true, true, true}},
      {"a watch of another size, then At(0, 0), then a watch of this size",
       [](MapGrid& g) {
         g.cells.Watch(10, 10);
         g.At(0, 0) = 2;
         g.cells.Watch(130, 70);
       },
       {true, true, true, true, true, true}},
      {"a new block",
       [](MapGrid& g) { g.Allocate(130, 70); },
       {true, true, true, true, true, true}},
      {"pieces 1 and 5 by number",
       [](MapGrid& g) { g.cells.WritePieces({1, 5}, 130, 70); },
       {false, true, false, false, false, true}},
      {"pieces by number, for a map of another size",
       [](MapGrid& g) { g.cells.WritePieces({1}, 70, 130); },
       {true, true, true, true, true, true}},
  };
  for (const Case& c : cases) {
    MapGrid grid;
    grid.Allocate(130, 70);
    const GridWatch watch = grid.cells.Watch(130, 70);
    c.run(grid);
    std::vector<bool> written;
    for (size_t piece = 0; piece < 6; ++piece) {
      written.push_back(grid.cells.WrittenSince(watch, piece));
    }
    EXPECT_EQ(written, c.written) << c.write;
  }
}

// A watch begun amid an edit still sees writes through a reference to the
// whole block handed out before it, but only for that one watch.
TEST(MapGridTest, AWatchAmidAnEditCountsTheWholeBlockHandedOutBeforeIt) {
  struct Case {
    const char* steps;
    void (*before)(MapGrid&);
    bool amidEdit;
    bool written;
  };
  const Case cases[] = {
      {"whole block, watch amid the edit", [](MapGrid& g) { (void)*g.cells; }, true, true},
      {"whole block, plain watch", [](MapGrid& g) { (void)*g.cells; }, false, false},
      {"one cell, watch amid the edit", [](MapGrid& g) { g.At(0, 0); }, true, false},
      {"whole block, then a watch amid the edit before this one",
       [](MapGrid& g) {
         (void)*g.cells;
         g.cells.WatchAmidEdit(130, 70);
       },
       true, false},
  };
  for (const Case& c : cases) {
    MapGrid grid;
    grid.Allocate(130, 70);
    grid.cells.Watch(130, 70);
    c.before(grid);
    const GridWatch watch =
        c.amidEdit ? grid.cells.WatchAmidEdit(130, 70) : grid.cells.Watch(130, 70);
    EXPECT_EQ(grid.cells.WrittenSince(watch, 4), c.written) << c.steps;
  }
}

TEST(ChipSheetTest, FlagIndexing) {
  ChipSheet sheet;
  sheet.width = 100;
  sheet.height = 70;
  sheet.chipColumns = 3;
  sheet.chipRows = 2;
  sheet.chipFlags.emplace(sheet.FlagBlockSize(), 0);
  EXPECT_EQ(sheet.chipFlags->size(), 24u);
  sheet.Flag(2, 1) = ChipFlagCollision;
  EXPECT_EQ((*sheet.chipFlags)[5], ChipFlagCollision);
}

TEST(DocumentPathTest, SplitsFolderAndName) {
  MapDocument doc;
  StoreDocumentPath(doc, "/home/user/maps.v2/stage1.kv");
  EXPECT_EQ(doc.documentPath, "/home/user/maps.v2/stage1.kv");
  EXPECT_EQ(doc.documentFolder, "/home/user/maps.v2/");
  EXPECT_EQ(doc.documentFileName, "stage1.kv");
  StoreDocumentPath(doc, "bare.kv");
  EXPECT_EQ(doc.documentFolder, "");
  EXPECT_EQ(doc.documentFileName, "bare.kv");
}

TEST(NameMatchingTest, ExtensionAndCase) {
  EXPECT_TRUE(HasExtension("a/b.KV", "kv"));
  EXPECT_FALSE(HasExtension("a.kv/b", "kv"));
  EXPECT_FALSE(HasExtension("a.kvx", "kv"));
  EXPECT_FALSE(HasExtension("noext", "kv"));
  EXPECT_TRUE(EqualsIgnoringAsciiCase("TILES.PNG", "tiles.png"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("tiles.png", "tiles.pn"));
  // Only ASCII letters fold: other bytes compare exactly.
  EXPECT_FALSE(EqualsIgnoringAsciiCase("\xC3\x84", "\xC3\xA4"));
}

TEST(ChipTableTest, AtlasRectIsClippedAndCounted) {
  ChipTable table;
  ClearAtlasRect(table, 0, 0, 32, 32);  // no atlas: nothing happens
  table.atlas = PixelBuffer::Make(AtlasSize, AtlasSize);
  std::fill(table.atlas.pixels.begin(), table.atlas.pixels.end(), 0xFF);
  const uint64_t before = table.atlasRevision;
  ClearAtlasRect(table, 480, 480, 600, 600);
  EXPECT_NE(table.atlasRevision, before);  // the views redo their copies
  EXPECT_EQ(table.atlas.At(511, 511)[0], 0);
  EXPECT_EQ(table.atlas.At(479, 511)[0], 0xFF);
  table.entries[0].used = 1;
  table.entries[7].used = 1;
  EXPECT_EQ(table.UsedChips(), 1);
}

// Views keep scaled copies of atlases by revision: no two tables may share
// one unless they are copies with equal pixels.
TEST(ChipTableTest, RevisionsAreNewForEveryTableAndChangeAndKeptByCopies) {
  ChipTable first;
  ChipTable second;
  EXPECT_NE(first.atlasRevision, second.atlasRevision);
  const ChipTable copy = first;
  EXPECT_EQ(copy.atlasRevision, first.atlasRevision);
  const uint64_t before = first.atlasRevision;
  MarkAtlasChanged(first);
  EXPECT_NE(first.atlasRevision, before);
  EXPECT_NE(first.atlasRevision, second.atlasRevision);
  MapDocument replaced;
  replaced = MapDocument{};
  EXPECT_NE(replaced.tables[0].atlasRevision, first.atlasRevision);
}

}  // namespace
}  // namespace kelvor
