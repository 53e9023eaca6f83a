#include "files/map_data_export.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/byte_builder.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace kelvor {
namespace {

TEST(MapDataExport, WritesSizeThenEveryCellLittleEndian) {
  test::TempDir dir;
  MapGrid grid;
  grid.Allocate(20, 15);
  grid.At(0, 0) = 0x00030105;
  grid.At(19, 14) = 0xFF000000;  // the top byte travels as it is
  const std::string path = dir.File("stage.bin");
  ASSERT_TRUE(ExportMapData(path, grid));
  const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), 1208u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 12),
            (std::vector<uint8_t>{0x14, 0, 0, 0, 0x0F, 0, 0, 0, 0x05, 0x01, 0x03, 0x00}));
  EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 4, bytes.end()),
            (std::vector<uint8_t>{0, 0, 0, 0xFF}));
}

TEST(MapDataExport, WritesNothingWithoutAMapOrWithAnotherExtension) {
  test::TempDir dir;
  MapGrid grid;
  EXPECT_FALSE(ExportMapData(dir.File("none.bin"), grid));
  EXPECT_FALSE(std::filesystem::exists(dir.File("none.bin")));
  grid.Allocate(2, 2);
  EXPECT_FALSE(ExportMapData(dir.File("stage.dat"), grid));
  EXPECT_FALSE(std::filesystem::exists(dir.File("stage.dat")));
  EXPECT_TRUE(ExportMapData(dir.File("STAGE.BIN"), grid));
  EXPECT_FALSE(ExportMapData(dir.File("missing/stage.bin"), grid));
}

TEST(MapDataExport, AFailedExportKeepsThePreviousFile) {
  test::TempDir dir;
  const std::string path = dir.File("stage.bin");
  test::WriteFileText(path, "previous");
  MapGrid grid;
  grid.Allocate(256, 256);
  bool exported = true;
  {
    test::FileSizeLimit limit(4096);
    exported = ExportMapData(path, grid);
  }
  EXPECT_FALSE(exported);
  const std::vector<uint8_t> kept = test::ReadFileBytes(path);
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "previous");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(MapDataChunk, BelievesASizeOnlyWhenTheCellsAreThere) {
  struct Case {
    const char* what;
    int32_t width, height, cellsPresent;
    bool accepted;
  };
  for (const Case& c :
       {Case{"whole", 2, 3, 6, true}, Case{"empty map", 0, 7, 0, true},
        Case{"one cell short", 2, 3, 5, false}, Case{"negative width", -2, 3, 6, false},
        Case{"overflowing size", 0x40000000, 0x40000000, 1, false}}) {
    test::ByteBuilder b;
    b.I32(c.width).I32(c.height);
    for (int32_t i = 0; i < c.cellsPresent; ++i) b.I32(i + 1);
    MapGrid grid;
    size_t consumed = 0;
    EXPECT_EQ(ReadMapDataChunk(b.bytes, grid, consumed), c.accepted) << c.what;
    if (c.accepted) {
      EXPECT_EQ(consumed, b.bytes.size()) << c.what;
      EXPECT_EQ(grid.CellCount(), static_cast<size_t>(c.cellsPresent)) << c.what;
    } else {
      EXPECT_FALSE(grid.Exists()) << c.what;
    }
  }
}

}  // namespace
}  // namespace kelvor
