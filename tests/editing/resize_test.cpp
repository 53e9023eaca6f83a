#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editing/map_resize.h"
#include "editing/undo_history.h"

namespace kelvor {
namespace {

// Every cell holds a value naming its position, flags and top byte included.
MapGrid NumberedGrid(int32_t width, int32_t height) {
  MapGrid grid;
  grid.width = width;
  grid.height = height;
  grid.cells.emplace();
  for (int32_t row = 0; row < height; ++row) {
    for (int32_t column = 0; column < width; ++column) {
      grid.cells->push_back(0xA0000000u | static_cast<MapCell>(row << 16) | CellFlagCollision |
                            static_cast<MapCell>(column + 1));
    }
  }
  return grid;
}

TEST(ParseSizeFieldTest, ReadsTheFieldAsTheDialogDoes) {
  const std::vector<std::pair<std::string, int32_t>> cases = {
      {"1000", 1000}, {"20", 20},        {"  12", 12},   {"\t7", 7},     {"+7", 7},
      {"-5", -5},     {"12ab", 12},      {"abc", 0},     {"", 0},        {" -", 0},
      {"0", 0},       {"163841", 16384}, {"-999", -999}, {"9999", 9999}, {" 1 2", 1},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseSizeField(text), value) << text;
}

TEST(ApplyMapSizeTest, ResizeKeepsTheCellsThatFit) {
  struct Case {
    int32_t fromWidth, fromHeight, toWidth, toHeight;
  };
  const std::vector<Case> cases = {
      {20, 15, 10, 20}, {20, 15, 20, 15}, {5, 4, 9, 2}, {3, 3, 0, 6}, {3, 3, 4, 0}, {0, 4, 3, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.toWidth) + "x" + std::to_string(c.toHeight));
    MapGrid grid = NumberedGrid(c.fromWidth, c.fromHeight);
    const MapGrid before = grid;
    SelectionState selection;
    ResetSelection(selection, c.fromWidth, c.fromHeight);
    if (!selection.selectionFlags.empty()) selection.selectionFlags[0] = 1;
    selection.selectionRect = {0, 0, 1, 1};

    const MapSizeResult result = ApplyMapSize(grid, selection, c.toWidth, c.toHeight, false);
    EXPECT_EQ(result.status, MapSizeStatus::Applied);
    EXPECT_TRUE(result.refreshMapExtent);
    ASSERT_TRUE(grid.Exists());
    EXPECT_EQ(grid.width, c.toWidth);
    EXPECT_EQ(grid.height, c.toHeight);
    ASSERT_EQ(grid.CellCount(), static_cast<size_t>(c.toWidth) * c.toHeight);
    for (int32_t row = 0; row < c.toHeight; ++row) {
      for (int32_t column = 0; column < c.toWidth; ++column) {
        const bool kept = column < c.fromWidth && row < c.fromHeight;
        ASSERT_EQ(grid.At(column, row), kept ? before.At(column, row) : 0u) << column << "," << row;
      }
    }
    EXPECT_EQ(selection.selectionFlags,
              std::vector<uint8_t>(static_cast<size_t>(c.toWidth) * c.toHeight, 0));
    EXPECT_FALSE(selection.selectionRect.Valid());
  }
}

TEST(ApplyMapSizeTest, NewMapIsEmptyAndWorksWithoutAGrid) {
  MapGrid grid = NumberedGrid(20, 15);
  SelectionState selection;
  EXPECT_EQ(ApplyMapSize(grid, selection, 64, 48, true).status, MapSizeStatus::Applied);
  EXPECT_EQ(grid.width, 64);
  EXPECT_EQ(grid.height, 48);
  EXPECT_EQ(*grid.cells, std::vector<MapCell>(64 * 48, 0));

  for (bool newMap : {false, true}) {
    MapGrid none;
    EXPECT_EQ(ApplyMapSize(none, selection, 3, 2, newMap).status, MapSizeStatus::Applied);
    EXPECT_EQ(*none.cells, std::vector<MapCell>(6, 0));
  }
}

TEST(ApplyMapSizeTest, ANewMapForgetsTheFileUnlessItsSizeIsRefused) {
  for (const int32_t width : {8, -1}) {
    MapDocument doc;
    doc.grid = NumberedGrid(4, 3);
    doc.tables[0].entries[1].used = 1;
    StoreDocumentPath(doc, "/maps/stage.kv");
    SelectionState selection;
    const bool applied = ApplyNewMap(doc, selection, width, 2).status == MapSizeStatus::Applied;
    EXPECT_EQ(applied, width >= 0);
    EXPECT_EQ(doc.documentPath, applied ? "" : "/maps/stage.kv");
    EXPECT_EQ(doc.documentFolder, applied ? "" : "/maps/");
    EXPECT_EQ(doc.documentFileName, applied ? "" : "stage.kv");
    EXPECT_EQ(doc.grid.width, applied ? 8 : 4);
    EXPECT_EQ(doc.tables[0].entries[1].used, 1) << "the chip tables stay";
  }
}

TEST(ApplyMapSizeTest, RefusedSizesLeaveEverythingAsItWas) {
  struct Case {
    int32_t width, height;
    MapSizeStatus status;
  };
  const std::vector<Case> cases = {
      {-1, 5, MapSizeStatus::OutOfRange},
      {5, -999, MapSizeStatus::OutOfRange},
      {-3, -3, MapSizeStatus::OutOfRange},
      {MaxMapSide + 1, 5, MapSizeStatus::OutOfRange},
      {5, MaxMapSide + 1, MapSizeStatus::OutOfRange},
  };
  for (const Case& c : cases) {
    for (bool newMap : {false, true}) {
      MapGrid grid = NumberedGrid(4, 3);
      const MapGrid before = grid;
      SelectionState selection;
      ResetSelection(selection, 4, 3);
      selection.selectionFlags[5] = 1;
      const MapSizeResult result = ApplyMapSize(grid, selection, c.width, c.height, newMap);
      EXPECT_EQ(result.status, c.status);
      EXPECT_FALSE(result.refreshMapExtent);
      EXPECT_EQ(grid.width, 4);
      EXPECT_EQ(*grid.cells, *before.cells);
      EXPECT_EQ(selection.selectionFlags[5], 1);
    }
  }
}

TEST(ApplyMapSizeTest, UndoAfterNewReturnsToTheRecordedSize) {
  MapGrid grid = NumberedGrid(6, 5);
  const MapGrid before = grid;
  SelectionState selection;
  UndoHistory undo;
  RecordUndo(undo, grid);
  ApplyMapSize(grid, selection, 2, 2, true);
  EXPECT_EQ(undo.cursor(), 0);  // New records nothing
  ASSERT_TRUE(Undo(undo, grid, selection));
  EXPECT_EQ(grid.width, 6);
  EXPECT_EQ(*grid.cells, *before.cells);
  EXPECT_EQ(selection.selectionFlags.size(), 30u);
}

}  // namespace
}  // namespace kelvor
