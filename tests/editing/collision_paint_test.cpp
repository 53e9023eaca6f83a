#include <gtest/gtest.h>

#include <vector>

#include "editing/tool_workspace.h"
#include "support/fake_clipboard.h"
#include "support/fakes.h"
#include "tools/edit_tools.h"

namespace kelvor {
namespace {

enum class Zone { None, Left, Right, Top, Bottom };

struct ZoneRow {
  float zoom;
  int32_t ox;  // offset inside cell (5, 5)
  int32_t oy;
  Zone zone;
};

// Side zones are lo = trunc(9 z) .. hi = trunc(24 z) along the side; the left
// and top zones reach below lo, the right zone from hi, the bottom zone above hi.
const ZoneRow kZones[] = {
    {1.0f, 4, 16, Zone::Left},     {1.0f, 8, 9, Zone::Left},     {1.0f, 8, 24, Zone::Left},
    {1.0f, 8, 8, Zone::None},      {1.0f, 8, 25, Zone::None},    {1.0f, 9, 9, Zone::None},
    {1.0f, 24, 16, Zone::Right},   {1.0f, 23, 16, Zone::None},   {1.0f, 31, 24, Zone::Right},
    {1.0f, 24, 24, Zone::Right},   {1.0f, 16, 8, Zone::Top},     {1.0f, 9, 0, Zone::Top},
    {1.0f, 24, 0, Zone::Top},      {1.0f, 25, 0, Zone::None},    {1.0f, 16, 24, Zone::None},
    {1.0f, 16, 25, Zone::Bottom},  {1.0f, 24, 31, Zone::Bottom}, {1.0f, 8, 31, Zone::None},
    {1.0f, 4, 4, Zone::None},      {1.0f, 16, 16, Zone::None},   {0.5f, 3, 4, Zone::Left},
    {0.5f, 3, 3, Zone::None},      {0.5f, 12, 8, Zone::Right},   {0.5f, 11, 8, Zone::None},
    {0.5f, 8, 3, Zone::Top},       {0.5f, 8, 13, Zone::Bottom},  {0.5f, 8, 12, Zone::None},
    {0.75f, 5, 6, Zone::Left},     {0.75f, 18, 6, Zone::Right},  {0.75f, 6, 5, Zone::Top},
    {0.75f, 18, 19, Zone::Bottom}, {0.75f, 17, 10, Zone::None},  {0.75f, 5, 19, Zone::None},
    {1.5f, 12, 13, Zone::Left},    {1.5f, 12, 36, Zone::Left},   {1.5f, 12, 37, Zone::None},
    {1.5f, 36, 20, Zone::Right},   {1.5f, 35, 20, Zone::None},   {1.5f, 20, 12, Zone::Top},
    {1.5f, 20, 37, Zone::Bottom},  {1.5f, 20, 36, Zone::None},   {2.0f, 17, 18, Zone::Left},
    {2.0f, 48, 48, Zone::Right},   {2.0f, 18, 17, Zone::Top},    {2.0f, 48, 49, Zone::Bottom},
    {2.0f, 17, 17, Zone::None},    {2.0f, 47, 30, Zone::None},   {0.25f, 1, 2, Zone::Left},
    {0.25f, 6, 6, Zone::Right},    {0.25f, 2, 1, Zone::Top},     {0.25f, 6, 7, Zone::Bottom},
    {0.25f, 5, 5, Zone::None},     {0.25f, 1, 1, Zone::None},
};

TEST(ToggleCollisionEdgeTest, ZoneTableAtEveryZoom) {
  for (const ZoneRow& row : kZones) {
    MapGrid grid;
    ASSERT_TRUE(grid.Allocate(20, 20));
    ViewPort view;
    view.pageWidth = 5000;
    view.pageHeight = 5000;
    const int32_t cell = Zoomed(32, row.zoom);
    const PixelPoint point{5 * cell + row.ox, 5 * cell + row.oy};
    const bool toggled = ToggleCollisionEdge(grid, row.zoom, view, point);

    std::vector<MapCell> expected(400, 0);
    auto set = [&](int32_t column, int32_t r, MapCell flag) {
      expected[static_cast<size_t>(column + r * 20)] = flag | CellFlagCollisionMark;
    };
    switch (row.zone) {
      case Zone::None:
        break;
      case Zone::Left:
        set(4, 5, CellFlagWallEast);
        break;
      case Zone::Right:
        set(5, 5, CellFlagWallEast);
        break;
      case Zone::Top:
        set(5, 4, CellFlagWallSouth);
        break;
      case Zone::Bottom:
        set(5, 5, CellFlagWallSouth);
        break;
    }
    EXPECT_EQ(toggled, row.zone != Zone::None)
        << "zoom " << row.zoom << " offset (" << row.ox << ", " << row.oy << ")";
    EXPECT_EQ(*grid.cells, expected)
        << "zoom " << row.zoom << " offset (" << row.ox << ", " << row.oy << ")";
  }
}

TEST(ToggleCollisionEdgeTest, ScrollOffsetsAndMapBorder) {
  MapGrid grid;
  ASSERT_TRUE(grid.Allocate(20, 20));
  ViewPort view;
  view.pageWidth = 200;
  view.pageHeight = 200;
  view.scrollX = 64;
  view.scrollY = 32;
  // Window (100, 144) is map pixel (164, 176): cell (5, 5), offset (4, 16).
  EXPECT_TRUE(ToggleCollisionEdge(grid, 1.0f, view, {100, 144}));
  EXPECT_EQ(grid.At(4, 5), CellFlagWallEast | CellFlagCollisionMark);
  // No walls on the outer border of the map.
  view.scrollX = 0;
  view.scrollY = 0;
  view.pageWidth = 5000;
  view.pageHeight = 5000;
  EXPECT_FALSE(ToggleCollisionEdge(grid, 1.0f, view, {4, 16}));             // left of column 0
  EXPECT_FALSE(ToggleCollisionEdge(grid, 1.0f, view, {19 * 32 + 28, 16}));  // right of 19
  EXPECT_FALSE(ToggleCollisionEdge(grid, 1.0f, view, {16, 4}));             // above row 0
  EXPECT_FALSE(ToggleCollisionEdge(grid, 1.0f, view, {16, 19 * 32 + 28}));  // below 19
  // A point beyond the map is clamped to its last pixel: cell (19, 19)'s corner.
  EXPECT_FALSE(ToggleCollisionEdge(grid, 1.0f, view, {4000, 4000}));
}

class CollisionPaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::PrepareToolWorkspace(ws, 20, 20);
    ws.palette.mode = PaletteModeCollision;
  }
  PixelPoint At(int32_t column, int32_t row, int32_t ox, int32_t oy) {
    return {column * 32 + ox, row * 32 + oy};
  }
  void Down(PixelPoint point) { OnMapButtonDown(ws, point, {}, clipboard, messages); }
  ToolResult Move(PixelPoint point) { return OnMapMouseMove(ws, point, {}, true); }
  void Up() { OnMapButtonUp(ws, {}); }
  MapCell& Cell(int32_t column, int32_t row) { return ws.document.grid.At(column, row); }

  Workspace ws;
  test::FakeClipboard clipboard;
  test::RecordingMessages messages;
};

TEST_F(CollisionPaintTest, ClickTogglesAWallOrTheWholeCell) {
  Down(At(5, 5, 4, 16));
  Up();
  EXPECT_EQ(Cell(4, 5), CellFlagWallEast | CellFlagCollisionMark);
  EXPECT_EQ(Cell(5, 5), 0u);
  // The same click in column 0 has no wall to toggle: the cell itself flips.
  Down(At(0, 5, 4, 16));
  Up();
  EXPECT_EQ(Cell(0, 5), CellFlagCollision | CellFlagCollisionMark);
  EXPECT_EQ(Cell(4, 5), CellFlagWallEast);  // the new press cleared the old mark
  // A corner toggles the whole cell.
  Down(At(8, 8, 4, 4));
  EXPECT_EQ(Cell(8, 8), CellFlagCollision | CellFlagCollisionMark);
  EXPECT_EQ(ws.undo.cursor(), -1);  // flag painting records no undo step
}

TEST_F(CollisionPaintTest, DraggingTogglesEachWallOnceAndNeverWholeCells) {
  Down(At(2, 2, 16, 16));  // centre: cell (2, 2) flips
  EXPECT_EQ(Cell(2, 2), CellFlagCollision | CellFlagCollisionMark);
  // The right side of the already toggled cell is locked by its mark.
  Move(At(2, 2, 28, 16));
  EXPECT_EQ(Cell(2, 2), CellFlagCollision | CellFlagCollisionMark);
  // Through corners and centres nothing changes.
  Move(At(3, 3, 2, 2));
  Move(At(3, 3, 16, 16));
  EXPECT_EQ(Cell(3, 3), 0u);
  // Across the boundary between (6, 6) and (7, 6) twice: toggled once.
  Move(At(6, 6, 28, 16));
  Move(At(7, 6, 4, 16));
  Move(At(6, 6, 30, 16));
  EXPECT_EQ(Cell(6, 6), CellFlagWallEast | CellFlagCollisionMark);
  Up();
  // The next press may toggle it back.
  Down(At(6, 6, 28, 16));
  EXPECT_EQ(Cell(6, 6), CellFlagCollisionMark);
}

TEST_F(CollisionPaintTest, PriorityPaintingTogglesEachCellOncePerPress) {
  ws.palette.mode = PaletteModePriority;
  Cell(1, 1) = 0x00020107;
  Down(At(1, 1, 16, 16));
  Move(At(2, 1, 16, 16));
  Move(At(1, 1, 20, 20));  // back over a toggled cell
  Up();
  EXPECT_EQ(Cell(1, 1), 0x00020107u | CellFlagPriority | CellFlagPriorityMark);
  EXPECT_EQ(Cell(2, 1), CellFlagPriority | CellFlagPriorityMark);
  Down(At(1, 1, 16, 16));
  EXPECT_EQ(Cell(1, 1), 0x00020107u | CellFlagPriorityMark);
  EXPECT_EQ(Cell(2, 1), CellFlagPriority);
}

TEST(ClearTransientMarksTest, ClearsMarksAndReservedBitsOnly) {
  MapGrid grid;
  ASSERT_TRUE(grid.Allocate(2, 1));
  *grid.cells = {0xFFFFFFFF, 0x00AB0803};
  ClearTransientMarks(grid);
  EXPECT_EQ(*grid.cells, (std::vector<MapCell>{0xFFFF17FF, 0x00AB0003}));
  MapGrid none;
  ClearTransientMarks(none);
  EXPECT_FALSE(none.Exists());
}

}  // namespace
}  // namespace kelvor
