#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "editing/area_fill.h"

namespace kelvor {
namespace {

// Planes are written as rows of digits, one digit per cell.
std::vector<uint8_t> PlaneOf(const std::vector<std::string>& rows) {
  std::vector<uint8_t> plane;
  for (const std::string& row : rows) {
    for (char c : row) plane.push_back(static_cast<uint8_t>(c - '0'));
  }
  return plane;
}

std::vector<std::string> RowsOf(const std::vector<uint8_t>& plane, int32_t width) {
  std::vector<std::string> rows;
  for (size_t i = 0; i < plane.size(); i += static_cast<size_t>(width)) {
    std::string row;
    for (size_t j = i; j < plane.size() && j < i + width; ++j) {
      row.push_back(static_cast<char>('0' + plane[j]));
    }
    rows.push_back(row);
  }
  return rows;
}

struct FillCase {
  const char* name;
  std::vector<std::string> before;
  int32_t column;
  int32_t row;
  uint8_t value;
  std::vector<std::string> after;
};

class FillPlaneCases : public ::testing::TestWithParam<FillCase> {};

TEST_P(FillPlaneCases, FillsExactlyTheConnectedRegion) {
  const FillCase& c = GetParam();
  const auto width = static_cast<int32_t>(c.before[0].size());
  const auto height = static_cast<int32_t>(c.before.size());
  std::vector<uint8_t> plane = PlaneOf(c.before);
  EXPECT_TRUE(FillPlane(plane, c.column, c.row, width, height, c.value));
  EXPECT_EQ(RowsOf(plane, width), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, FillPlaneCases,
    ::testing::Values(
        FillCase{"Checkerboard", {"1212", "2121", "1212"}, 2, 1, 3, {"1212", "2131", "1212"}},
        // Erasing the ring from one of its cells empties the whole ring only.
        FillCase{"RingErased",
                 {"55555", "57775", "57075", "57775", "55555"},
                 4,
                 2,
                 0,
                 {"00000", "07770", "07070", "07770", "00000"}},
        FillCase{"UFromLeftArm",
                 {"01110", "01110", "00000", "11111"},
                 0,
                 0,
                 4,
                 {"41114", "41114", "44444", "11111"}},
        FillCase{"UFromRightArm",
                 {"01110", "01110", "00000", "11111"},
                 4,
                 0,
                 4,
                 {"41114", "41114", "44444", "11111"}},
        FillCase{"HeightOne", {"0010020"}, 1, 0, 9, {"9910020"}},
        FillCase{"WidthOne", {"3", "3", "1", "3"}, 0, 0, 2, {"2", "2", "1", "3"}},
        FillCase{"DiagonalDoesNotJoin", {"010", "101", "010"}, 1, 1, 5, {"010", "151", "010"}},
        // A comb: the filled row has several separate runs above and below.
        FillCase{"Comb",
                 {"0101010", "0000000", "1010101", "0000000"},
                 3,
                 1,
                 6,
                 {"6161616", "6666666", "1616161", "6666666"}},
        // A spiral corridor, entered at its outer end.
        FillCase{"Spiral",
                 {"0000000", "1111110", "0000010", "0111010", "0100010", "0111110", "0000000"},
                 0,
                 0,
                 8,
                 {"8888888", "1111118", "8888818", "8111818", "8188818", "8111118", "8888888"}},
        FillCase{"EqualValueChangesNothing", {"222", "212"}, 0, 0, 2, {"222", "212"}}),
    [](const ::testing::TestParamInfo<FillCase>& info) { return std::string(info.param.name); });

TEST(FillPlaneTest, EqualValueAllocatesNoStack) {
  std::vector<uint8_t> plane = PlaneOf({"444", "444"});
  FillStats stats;
  EXPECT_TRUE(FillPlane(plane, 1, 1, 3, 2, 4, &stats));
  EXPECT_FALSE(stats.stackAllocated);
  stats = {};
  EXPECT_TRUE(FillPlane(plane, 1, 1, 3, 2, 5, &stats));
  EXPECT_TRUE(stats.stackAllocated);
}

TEST(FillPlaneTest, StackHoldsRunsNotCells) {
  // An open 1024 x 1024 area is one run per row: the stack never needs more
  // than a couple of entries, however many cells the fill covers.
  const int32_t size = 1024;
  std::vector<uint8_t> plane(static_cast<size_t>(size) * size, 0);
  FillStats stats;
  EXPECT_TRUE(FillPlane(plane, 500, 500, size, size, 1, &stats));
  EXPECT_LE(stats.peakEntries, 4u);
  EXPECT_EQ(std::count(plane.begin(), plane.end(), 1), size * size);
}

TEST(FillPlaneTest, RefusesArgumentsOutsideThePlane) {
  std::vector<uint8_t> plane = PlaneOf({"00", "00"});
  const std::vector<uint8_t> before = plane;
  EXPECT_FALSE(FillPlane(plane, 2, 0, 2, 2, 1));
  EXPECT_FALSE(FillPlane(plane, 0, -1, 2, 2, 1));
  EXPECT_FALSE(FillPlane(plane, 0, 0, 0, 2, 1));
  EXPECT_FALSE(FillPlane(plane, 0, 0, 2, 3, 1));  // plane shorter than claimed
  EXPECT_EQ(plane, before);
}

// Breadth-first reference fill, the plainest correct definition.
void ReferenceFill(std::vector<uint8_t>& plane, int32_t width, int32_t height, int32_t column,
                   int32_t row, uint8_t value) {
  const uint8_t old = plane[static_cast<size_t>(column + row * width)];
  if (old == value) return;
  std::deque<std::pair<int32_t, int32_t>> queue{{column, row}};
  plane[static_cast<size_t>(column + row * width)] = value;
  while (!queue.empty()) {
    auto [x, y] = queue.front();
    queue.pop_front();
    const int32_t dx[] = {1, -1, 0, 0};
    const int32_t dy[] = {0, 0, 1, -1};
    for (int k = 0; k < 4; ++k) {
      const int32_t nx = x + dx[k];
      const int32_t ny = y + dy[k];
      if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
      uint8_t& cell = plane[static_cast<size_t>(nx + ny * width)];
      if (cell != old) continue;
      cell = value;
      queue.emplace_back(nx, ny);
    }
  }
}

TEST(FillPlaneTest, MatchesReferenceOnRandomPlanes) {
  std::mt19937 random(12345);
  for (int round = 0; round < 300; ++round) {
    const int32_t width = 1 + static_cast<int32_t>(random() % 40);
    const int32_t height = 1 + static_cast<int32_t>(random() % 40);
    const uint32_t values = 2 + random() % 2;  // few values: big, twisted regions
    std::vector<uint8_t> plane(static_cast<size_t>(width) * height);
    for (uint8_t& cell : plane) cell = static_cast<uint8_t>(random() % values);
    const auto column = static_cast<int32_t>(random() % static_cast<uint32_t>(width));
    const auto row = static_cast<int32_t>(random() % static_cast<uint32_t>(height));
    const auto value = static_cast<uint8_t>(random() % 4);
    std::vector<uint8_t> expected = plane;
    ReferenceFill(expected, width, height, column, row, value);
    ASSERT_TRUE(FillPlane(plane, column, row, width, height, value));
    ASSERT_EQ(plane, expected) << "round " << round << " " << width << "x" << height;
  }
}

TEST(FillPlaneTest, RowsApartByAStrideLeaveThePaddingAlone) {
  // 5 x 3 cells in rows 8 bytes apart; the padding holds the old value too.
  std::vector<uint8_t> plane = PlaneOf({"00100000", "00100000", "00000"});
  EXPECT_TRUE(FillRows(plane, 8, 0, 0, 5, 3, 7));
  EXPECT_EQ(RowsOf(plane, 8)[0], "77177000");
  EXPECT_EQ(RowsOf(plane, 8)[1], "77177000");
  EXPECT_EQ(plane.size(), 21u);
  EXPECT_EQ(std::vector<uint8_t>(plane.begin() + 16, plane.end()),
            (std::vector<uint8_t>{7, 7, 7, 7, 7}));
  EXPECT_FALSE(FillRows(plane, 4, 0, 0, 5, 3, 1));  // rows overlap
  EXPECT_FALSE(FillRows(plane, 8, 0, 0, 5, 4, 1));  // a row more than the plane holds
}

TEST(AreaFillTest, MatchesReferenceAcrossRowPaddings) {
  std::mt19937 random(99);
  for (int round = 0; round < 60; ++round) {
    const int32_t width = 1 + static_cast<int32_t>(random() % 200);
    const int32_t height = 1 + static_cast<int32_t>(random() % 12);
    MapGrid grid;
    ASSERT_TRUE(grid.Allocate(width, height));
    std::vector<uint8_t> layer(grid.CellCount());
    for (size_t i = 0; i < layer.size(); ++i) {
      layer[i] = static_cast<uint8_t>(random() % 2);
      (*grid.cells)[i] = 0x5A000000 | static_cast<MapCell>(layer[i]) << 16 | (random() & 0xFFFF);
    }
    const std::vector<MapCell> before = *grid.cells;
    const auto column = static_cast<int32_t>(random() % static_cast<uint32_t>(width));
    const auto row = static_cast<int32_t>(random() % static_cast<uint32_t>(height));
    ReferenceFill(layer, width, height, column, row, 9);
    AreaFill(grid, LevelLayer, column, row, 9);
    for (size_t i = 0; i < layer.size(); ++i) {
      ASSERT_EQ((*grid.cells)[i], (before[i] & ~CellLayerMask) | static_cast<MapCell>(layer[i])
                                                                     << 16)
          << "round " << round << " cell " << i;
    }
  }
}

TEST(AreaFillBatchTest, EqualsTheSameFillsOneByOne) {
  std::mt19937 random(4242);
  for (int round = 0; round < 80; ++round) {
    const int32_t width = 1 + static_cast<int32_t>(random() % 90);
    const int32_t height = 1 + static_cast<int32_t>(random() % 30);
    MapGrid one;
    ASSERT_TRUE(one.Allocate(width, height));
    for (MapCell& cell : *one.cells) {
      cell = static_cast<MapCell>(random() % 3) | static_cast<MapCell>(random() % 3) << 16 |
             (random() & 0xFF00);
    }
    MapGrid batched;
    batched.Allocate(width, height);
    *batched.cells = *one.cells;

    AreaFillBatch batch(batched);
    for (int fill = 0; fill < 6; ++fill) {
      const auto level = static_cast<int32_t>(random() % 2);
      const auto column = static_cast<int32_t>(random() % static_cast<uint32_t>(width));
      const auto row = static_cast<int32_t>(random() % static_cast<uint32_t>(height));
      const auto chip = static_cast<uint8_t>(random() % 4);
      AreaFill(one, level, column, row, chip);
      batch.Fill(level, column, row, chip);
    }
    batch.Commit();
    ASSERT_EQ(*batched.cells, *one.cells) << "round " << round;
  }
}

TEST(AreaFillBatchTest, NothingChangesBeforeCommit) {
  MapGrid grid;
  ASSERT_TRUE(grid.Allocate(4, 4));
  {
    AreaFillBatch batch(grid);
    batch.Fill(LevelBackground, 0, 0, 3);
    EXPECT_EQ(*grid.cells, std::vector<MapCell>(16, 0));
  }
  EXPECT_EQ(*grid.cells, std::vector<MapCell>(16, 0));
}

TEST(AreaFillTest, ChangesOnlyTheChosenLevel) {
  MapGrid grid;
  ASSERT_TRUE(grid.Allocate(3, 2));
  // Background 1 everywhere but (2,1); each cell has its own flags, layer and top byte.
  const std::vector<MapCell> before = {0xA1071F01, 0x00020001, 0x00FF0801,
                                       0x12030401, 0x00000001, 0x00050002};
  *grid.cells = before;
  AreaFill(grid, LevelBackground, 0, 0, 9);
  const std::vector<MapCell> background = {0xA1071F09, 0x00020009, 0x00FF0809,
                                           0x12030409, 0x00000009, 0x00050002};
  EXPECT_EQ(*grid.cells, background);

  // Layer of (1,0) is 2, alone: only its layer changes.
  AreaFill(grid, LevelLayer, 1, 0, 0);
  std::vector<MapCell> layer = background;
  layer[1] = 0x00000009;
  EXPECT_EQ(*grid.cells, layer);
}

TEST(AreaFillTest, NothingOutsideTheGridOrWithoutOne) {
  MapGrid none;
  AreaFill(none, LevelBackground, 0, 0, 1);
  EXPECT_FALSE(none.Exists());

  MapGrid grid;
  ASSERT_TRUE(grid.Allocate(2, 2));
  AreaFill(grid, LevelBackground, 2, 0, 1);
  AreaFill(grid, LevelBackground, 0, -1, 1);
  AreaFill(grid, 2, 0, 0, 1);  // no such level
  EXPECT_EQ(*grid.cells, std::vector<MapCell>(4, 0));

  MapGrid empty;
  ASSERT_TRUE(empty.Allocate(0, 3));
  AreaFill(empty, LevelBackground, 0, 0, 1);
  EXPECT_EQ(empty.CellCount(), 0u);
}

}  // namespace
}  // namespace kelvor
