#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <vector>

#include "editing/chip_match.h"
#include "editing/tool_workspace.h"
#include "editing/undo_history.h"
#include "support/fake_clipboard.h"
#include "support/fakes.h"
#include "tools/map_gestures.h"
#include "tools/palette_commands.h"
#include "tools/selection_ops.h"

namespace kelvor {
namespace {

constexpr int32_t Side = 10;

HeldKeys With(bool HeldKeys::* key, bool shift = false) {
  HeldKeys keys;
  keys.*key = true;
  keys.shift = shift;
  return keys;
}

class MapGesturesTest : public ::testing::Test {
 protected:
  void SetUp() override { Prepare(ws); }
  static void Prepare(Workspace& w) { test::PrepareToolWorkspace(w, Side, Side); }

  void Mark(int32_t column, int32_t row, uint8_t extra = 0) {
    ws.sheets.Current().Flag(column, row) |= ChipFlagSelected | extra;
  }
  // A press at one cell, moves through `path`, a release; `answer` replies
  // to the question about cells falling off the map.
  void Drag(const HeldKeys& keys, CellPoint from, std::vector<CellPoint> path = {},
            bool answer = true) {
    OnMapGestureDown(ws, test::CellCentre(from.column, from.row), keys, clipboard, messages);
    for (CellPoint to : path) {
      OnMapGestureMove(ws, test::CellCentre(to.column, to.row), keys, true);
    }
    OnMapGestureUp(ws, keys, [&](int64_t dropped) {
      asked.push_back(dropped);
      return answer;
    });
  }
  void Select(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    std::fill(Flags().begin(), Flags().end(), 0);
    for (int32_t r = top; r <= bottom; ++r) {
      for (int32_t c = left; c <= right; ++c) Flags()[static_cast<size_t>(r * Side + c)] = 1;
    }
  }
  std::vector<uint8_t>& Flags() { return ws.selection.selectionFlags; }
  MapCell& Cell(int32_t column, int32_t row) { return ws.document.grid.At(column, row); }
  std::vector<MapCell> Cells() const { return *ws.document.grid.cells; }

  Workspace ws;
  test::FakeClipboard clipboard;
  test::RecordingMessages messages;
  std::vector<int64_t> asked;
};

// A 3 x 2 selection of cells that differ in both chips, the flags and the
// high byte, with its own neighbours distinct too.
void FillDistinct(MapGrid& grid) {
  for (int32_t r = 0; r < Side; ++r) {
    for (int32_t c = 0; c < Side; ++c) {
      grid.At(c, r) = static_cast<MapCell>((r * Side + c + 1) | ((c + 1) << 16) |
                                           (r % 2 ? CellFlagCollision : CellFlagPriority) |
                                           (static_cast<MapCell>(c) << 24));
    }
  }
}

TEST_F(MapGesturesTest, MoveCarriesWholeCellsInEveryDirectionAndUndoesExactly) {
  const CellPoint offsets[] = {{1, 0},  {-1, 0}, {0, 1},  {0, -1}, {1, 1},
                               {-1, 1}, {1, -1}, {-2, -1}, {3, 2}, {-4, 0}};
  // With a hole, and whole rows (which move as blocks, one landing on another).
  for (int32_t run = 0; run < 20; ++run) {
    const CellPoint offset = offsets[run % 10];
    const bool hole = run < 10;
    Workspace fresh;
    Prepare(fresh);
    std::swap(ws.document.grid, fresh.document.grid);
    ResetUndo(ws.undo);
    FillDistinct(ws.document.grid);
    Select(4, 4, 6, 5);
    if (hole) Flags()[5 * Side + 6] = 0;  // its cell stays where it is
    const std::vector<MapCell> before = Cells();
    const std::vector<uint8_t> selected = Flags();

    // The reference: the selected cells lifted out, then put down moved.
    std::vector<MapCell> expected = before;
    std::vector<uint8_t> expectedFlags(selected.size(), 0);
    for (size_t i = 0; i < before.size(); ++i) {
      if (selected[i]) expected[i] = 0;
    }
    for (size_t i = 0; i < before.size(); ++i) {
      if (!selected[i]) continue;
      const auto c = static_cast<int32_t>(i % Side) + offset.column;
      const auto r = static_cast<int32_t>(i / Side) + offset.row;
      expected[static_cast<size_t>(r * Side + c)] = before[i];
      expectedFlags[static_cast<size_t>(r * Side + c)] = 1;
    }

    Drag(With(&HeldKeys::m), {5, 4},
         {{5 + offset.column, 4}, {5 + offset.column, 4 + offset.row}});
    SCOPED_TRACE(testing::Message() << "offset " << offset.column << "," << offset.row << " hole "
                                    << hole);
    EXPECT_EQ(Cells(), expected);
    EXPECT_EQ(Flags(), expectedFlags);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(ws.undo.cursor(), 0);
    EXPECT_TRUE(ws.unsaved.changed);
    ASSERT_TRUE(Undo(ws.undo, ws.document.grid, ws.selection));
    EXPECT_EQ(Cells(), before);
    ASSERT_TRUE(Redo(ws.undo, ws.document.grid, ws.selection));
    EXPECT_EQ(Cells(), expected);
  }
}

TEST_F(MapGesturesTest, MovePastTheEdgeAsksAndNoCancels) {
  for (bool answer : {false, true}) {
    ResetUndo(ws.undo);
    FillDistinct(ws.document.grid);
    Select(7, 0, 9, 1);
    const std::vector<MapCell> before = Cells();
    asked.clear();
    // Column 9 falls off; column 8 lands where it was.
    Drag(With(&HeldKeys::m), {7, 0}, {{8, 0}}, answer);
    ASSERT_EQ(asked, std::vector<int64_t>{2}) << answer;
    if (!answer) {
      EXPECT_EQ(Cells(), before);
      EXPECT_EQ(ws.undo.cursor(), -1);
      EXPECT_EQ(Flags()[7], 1);
      continue;
    }
    EXPECT_EQ(Cell(9, 0), before[8]);
    EXPECT_EQ(Cell(9, 1), before[Side + 8]);
    EXPECT_EQ(Cell(8, 0), before[7]);
    EXPECT_EQ(Cell(7, 0), 0u);
    EXPECT_EQ(Cell(7, 1), 0u);
    EXPECT_EQ(ws.undo.cursor(), 0);
  }
  // To the edge exactly, nothing is lost and nothing asked.
  asked.clear();
  Select(0, 0, 0, 0);
  Drag(With(&HeldKeys::m), {0, 0}, {{9, 9}});
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(Flags()[99], 1);
}

TEST_F(MapGesturesTest, EscapeOrAnUnselectedStartMovesNothing) {
  FillDistinct(ws.document.grid);
  Select(2, 2, 3, 3);
  const std::vector<MapCell> before = Cells();
  const HeldKeys m = With(&HeldKeys::m);
  OnMapGestureDown(ws, test::CellCentre(2, 2), m, clipboard, messages);
  OnMapGestureMove(ws, test::CellCentre(5, 5), m, true);
  EXPECT_TRUE(ws.gestures.moveActive);
  OnMapEditKey(ws, clipboard, EditKey::Escape, std::nullopt);
  OnMapGestureMove(ws, test::CellCentre(6, 6), m, true);
  OnMapGestureUp(ws, m, nullptr);
  Drag(m, {8, 8}, {{9, 9}});  // starts on an unselected cell
  EXPECT_EQ(Cells(), before);
  EXPECT_EQ(ws.undo.cursor(), -1);
  EXPECT_EQ(Flags()[2 * Side + 2], 1);  // the selection stays for another try
}


TEST_F(MapGesturesTest, RectangleRepeatsTheArrangementFromItsTopLeft) {
  struct Row {
    int32_t patternSide;
    SelectionRect rect;
  };
  for (const Row& row : {Row{2, {1, 2, 5, 4}}, Row{3, {6, 6, 7, 7}}, Row{2, {8, 8, 9, 9}}}) {
    Workspace fresh;
    Prepare(fresh);
    std::swap(ws.document, fresh.document);
    ResetUndo(ws.undo);
    ws.sheets.Current().chipFlags.emplace(ws.sheets.Current().FlagBlockSize(), 0);
    for (int32_t r = 0; r < row.patternSide; ++r) {
      for (int32_t c = 0; c < row.patternSide; ++c) Mark(c + 1, r + 1);
    }
    Cell(0, 0) = 0x77;
    Drag(With(&HeldKeys::r), {row.rect.right, row.rect.bottom}, {{row.rect.left, row.rect.top}});
    for (int32_t r = 0; r < Side; ++r) {
      for (int32_t c = 0; c < Side; ++c) {
        const bool inside = c >= row.rect.left && c <= row.rect.right && r >= row.rect.top &&
                            r <= row.rect.bottom;
        // Chips register row by row: slot = 1 + y * side + x.
        const int32_t x = (c - row.rect.left) % row.patternSide;
        const int32_t y = (r - row.rect.top) % row.patternSide;
        const MapCell want = inside ? static_cast<MapCell>(1 + y * row.patternSide + x)
                                    : (c == 0 && r == 0 ? 0x77u : 0u);
        EXPECT_EQ(Cell(c, r), want) << c << "," << r << " pattern " << row.patternSide;
      }
    }
    EXPECT_EQ(ws.undo.cursor(), 0);
  }
}

TEST_F(MapGesturesTest, OneCellRectangleEqualsAClickAndFullTablesSkipAsAStampDoes) {
  Mark(3, 1, ChipFlagLayer);
  Workspace clicked;
  Prepare(clicked);
  clicked.sheets.Current().Flag(3, 1) |= ChipFlagSelected | ChipFlagLayer;
  OnMapGestureDown(clicked, test::CellCentre(4, 4), {}, clipboard, messages);
  OnMapGestureUp(clicked, {}, nullptr);
  Drag(With(&HeldKeys::r), {4, 4});
  EXPECT_EQ(Cells(), *clicked.document.grid.cells);
  EXPECT_EQ(Cell(4, 4), 1u << 16);

  // One free background slot left: the first chip takes it, the second
  // fails and leaves its cells alone, as in a stamp.
  ChipTable& table = ws.document.tables[LevelBackground];
  for (int32_t slot = 2; slot < 256; ++slot) {
    table.entries[static_cast<size_t>(slot)] = {1, 0, 7, 7, 0};
  }
  ws.sheets.Current().chipFlags.emplace(ws.sheets.Current().FlagBlockSize(), 0);
  Mark(0, 0);
  Mark(1, 0);
  Drag(With(&HeldKeys::r), {0, 0}, {{3, 0}});
  EXPECT_EQ(Cell(0, 0), 1u);
  EXPECT_EQ(Cell(1, 0), 0u);
  EXPECT_EQ(Cell(2, 0), 1u);
  EXPECT_EQ(Cell(3, 0), 0u);
}

TEST_F(MapGesturesTest, RandomPlacementPicksEvenlyAndRepeatsWithTheSeed) {
  for (int32_t c = 0; c < 4; ++c) Mark(c, 0);
  RunPaletteCommand(ws, PaletteCommandRandomPlacement);
  ASSERT_TRUE(ws.gestures.randomPlacement);
  Workspace big;
  test::PrepareToolWorkspace(big, 100, 100);
  for (int32_t c = 0; c < 4; ++c) big.sheets.Current().Flag(c, 0) |= ChipFlagSelected;
  big.gestures.randomPlacement = true;
  big.gestures.random.seed(7);
  const HeldKeys r = With(&HeldKeys::r);
  OnMapGestureDown(big, test::CellCentre(0, 0), r, clipboard, messages);
  OnMapGestureMove(big, test::CellCentre(99, 99), r, true);
  OnMapGestureUp(big, r, nullptr);
  std::map<MapCell, int32_t> counts;
  for (MapCell cell : *big.document.grid.cells) ++counts[cell];
  ASSERT_EQ(counts.size(), 4u);
  for (const auto& [chip, count] : counts) {
    EXPECT_GE(chip, 1u);
    EXPECT_LE(chip, 4u);
    EXPECT_GE(count, 2200) << chip;
    EXPECT_LE(count, 2800) << chip;
  }

  // The same seed gives the same choices, in a trail as in a rectangle.
  std::vector<MapCell> runs[2];
  for (auto& run : runs) {
    ws.document.grid.Allocate(Side, Side);
    ws.gestures.random.seed(99);
    Drag({}, {0, 0}, {{1, 0}, {2, 0}, {3, 0}, {3, 1}, {3, 2}});
    Drag(With(&HeldKeys::r), {5, 5}, {{9, 9}});
    run = Cells();
  }
  EXPECT_EQ(runs[0], runs[1]);
  EXPECT_EQ(std::count(runs[0].begin(), runs[0].begin() + 4, 0u), 0);
  EXPECT_EQ(runs[0][4], 0u);  // one chip per trail cell, not the 4 x 1 arrangement
  EXPECT_NE(std::vector<MapCell>(runs[0].begin(), runs[0].begin() + 4),
            std::vector<MapCell>(4, runs[0][0]));
}

TEST_F(MapGesturesTest, RandomWithOneChipEqualsPlainPlacement) {
  for (bool fill : {false, true}) {
    std::vector<MapCell> results[2];
    for (bool random : {false, true}) {
      Workspace w;
      Prepare(w);
      w.sheets.Current().Flag(2, 2) |= ChipFlagSelected;
      w.edit.fillMode = fill;
      w.gestures.randomPlacement = random;
      w.document.grid.At(5, 0) = 9;  // a wall for the area fill
      w.document.grid.At(5, 1) = 9;
      OnMapGestureDown(w, test::CellCentre(1, 1), {}, clipboard, messages);
      OnMapGestureMove(w, test::CellCentre(2, 1), {}, true);
      OnMapGestureUp(w, {}, nullptr);
      results[random] = *w.document.grid.cells;
    }
    EXPECT_EQ(results[0], results[1]) << "fill " << fill;
  }
}

TEST_F(MapGesturesTest, SelectAlikeByLevelWholeMapOrConnected) {
  // Chip 5 on the background in two separate patches; the layer holds 5 at (0, 0) too.
  for (CellPoint p : std::initializer_list<CellPoint>{{0, 0}, {1, 0}, {8, 8}}) Cell(p.column, p.row) = 5;
  Cell(0, 0) |= 5u << 16;
  Cell(9, 9) = 5u << 16;
  struct Row {
    CellPoint click;
    bool shift;
    bool showLayer;
    std::vector<size_t> selected;
  };
  const Row table[] = {
      {{1, 0}, false, true, {0, 1, 88}},   // background 5, whole map
      {{1, 0}, true, true, {0, 1}},        // only the connected patch
      {{0, 0}, false, true, {0, 99}},      // the layer chip decides
      {{0, 0}, false, false, {0, 1, 88}},  // unless the layer is hidden
  };
  for (const Row& row : table) {
    ws.display.showLayer = row.showLayer;
    Drag(With(&HeldKeys::s, row.shift), row.click);
    std::vector<size_t> selected;
    for (size_t i = 0; i < Flags().size(); ++i) {
      if (Flags()[i]) selected.push_back(i);
    }
    EXPECT_EQ(selected, row.selected) << row.click.column << "," << row.click.row << " shift "
                                      << row.shift << " layer " << row.showLayer;
  }
  EXPECT_EQ(ws.undo.cursor(), -1);
}

TEST_F(MapGesturesTest, ReplaceCountsWithinTheSelectionAndRecordsOnlyChanges) {
  for (int32_t c = 0; c < Side; ++c) Cell(c, 0) = 7 | CellFlagCollision;
  Cell(0, 1) = 7u | (7u << 16);  // chip 7 on both levels
  Mark(2, 0);                    // registers as background slot 1
  std::fill(Flags().begin(), Flags().end(), 0);
  Flags()[0] = Flags()[1] = 1;
  Drag(With(&HeldKeys::t), {5, 0});
  EXPECT_EQ(Cell(0, 0), 1u | CellFlagCollision);
  EXPECT_EQ(Cell(1, 0), 1u | CellFlagCollision);
  EXPECT_EQ(Cell(2, 0), 7u | CellFlagCollision);
  EXPECT_EQ(ws.undo.cursor(), 0);

  // The whole map without a selection; the cell with 7 on both levels
  // matches at its layer when clicked there, at the background here.
  std::fill(Flags().begin(), Flags().end(), 0);
  ToolResult result = ReplaceChipAt(ws, {5, 0});
  EXPECT_EQ(result.replacedCells, 9);  // 8 on row 0 and (0, 1)'s background
  EXPECT_EQ(Cell(0, 1), 1u | (7u << 16));
  // Chip 1 for chip 1 changes nothing: 0, and no undo step.
  const int32_t cursor = ws.undo.cursor();
  result = ReplaceChipAt(ws, {0, 0});
  EXPECT_EQ(result.replacedCells, 0);
  EXPECT_EQ(ws.undo.cursor(), cursor);

  // A chip with transparency goes to the layer and the old one leaves.
  ws.sheets.Current().chipFlags.emplace(ws.sheets.Current().FlagBlockSize(), 0);
  Mark(4, 4, ChipFlagLayer);
  Cell(3, 3) = 2;
  result = ReplaceChipAt(ws, {3, 3});
  EXPECT_EQ(result.replacedCells, 1);
  EXPECT_EQ(Cell(3, 3), 1u << 16);
}

TEST_F(MapGesturesTest, UsualKeys) {
  FillDistinct(ws.document.grid);
  const std::vector<MapCell> before = Cells();
  // Ctrl+A, then Delete: chips go, flags and the high byte stay, the clipboard is untouched.
  OnMapEditKey(ws, clipboard, EditKey::SelectAll, std::nullopt);
  EXPECT_EQ(std::count(Flags().begin(), Flags().end(), 1), Side * Side);
  OnMapEditKey(ws, clipboard, EditKey::Delete, std::nullopt);
  for (size_t i = 0; i < before.size(); ++i) {
    ASSERT_EQ(Cells()[i], before[i] & ~(CellBackgroundMask | CellLayerMask)) << i;
  }
  EXPECT_TRUE(clipboard.formats.empty());
  EXPECT_EQ(ws.undo.cursor(), 0);
  OnMapEditKey(ws, clipboard, EditKey::Escape, std::nullopt);
  EXPECT_EQ(std::count(Flags().begin(), Flags().end(), 1), 0);

  // Ctrl+V pastes at the pointer's cell; outside the map it does nothing.
  ASSERT_TRUE(Undo(ws.undo, ws.document.grid, ws.selection));
  Select(1, 1, 2, 1);
  ASSERT_TRUE(CopySelection(ws.document.grid, ws.selection, clipboard));
  ws.views[ViewMap].pageWidth = 400;
  ws.views[ViewMap].pageHeight = 400;
  OnMapEditKey(ws, clipboard, EditKey::Paste, PixelPoint{390, 10});  // right of the map
  OnMapEditKey(ws, clipboard, EditKey::Paste, std::nullopt);
  EXPECT_EQ(Cells(), before);
  OnMapEditKey(ws, clipboard, EditKey::Paste, test::CellCentre(7, 8));
  EXPECT_EQ(Cell(7, 8), before[Side + 1]);
  EXPECT_EQ(Cell(8, 8), before[Side + 2]);
}

}  // namespace
}  // namespace kelvor
