// Maps written by the leading general-purpose tile editor itself (see
// tests/data/peer-maps/README.md): its CSV, zlib and JSON forms of one of our
// exports, and an infinite map of zstd chunks with external tilesets.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "files/engine_map_import.h"
#include "support/fake_image_decoder.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

TEST(PeerMapImportTest, ThePeersOwnFormsOpenWithTheCellsOfTheExport) {
  // Their tiles name the chip files of our sample through kelvorChip; with
  // those in the chip-set folder nothing is copied.
  test::TempDir dir;
  test::WriteFileText((dir.path() / "terrain.png").string(), "terrain");
  test::WriteFileText((dir.path() / "objects.png").string(), "objects");
  const fs::path data = fs::path(KELVOR_TEST_DATA) / "peer-maps";
  struct Case {
    const char* file;
    int32_t rowOffset;  // where the export's row 0 lands
    int32_t width, height;
  };
  // The infinite map keeps the export 16 columns and 8 rows from its
  // origin; its chunks (16 x 16, at multiples of 16) span 32 x 32 cells.
  for (const Case& c : {Case{"peer-csv.tmx", 0, 30, 20}, Case{"peer-zlib.tmx", 0, 30, 20},
                        Case{"peer.tmj", 0, 30, 20}, Case{"peer-infinite-zstd.tmx", 8, 32, 32}}) {
    SCOPED_TRACE(c.file);
    test::FakeImageDecoder decoder;
    EngineMapImport import;
    const EngineRefusal refusal =
        ReadEngineMap((data / c.file).string(), dir.path().string(), decoder, import);
    ASSERT_FALSE(refusal) << EngineRefusalReason(refusal);
    EXPECT_TRUE(import.copies.empty());
    const StagedDocument& doc = import.document;
    ASSERT_TRUE(doc.grid.has_value());
    ASSERT_EQ(doc.grid->width, c.width);
    ASSERT_EQ(doc.grid->height, c.height);
    // Background gids 2..11 become slots 1..10, layer gids 258..265 slots
    // 1..8, flags tile 1 (gid 514) the collision flag.
    const auto cell = [&](int32_t column, int32_t row) {
      return (*doc.grid->cells)[static_cast<size_t>((row + c.rowOffset) * c.width + column)];
    };
    EXPECT_EQ(cell(0, 0), 0x00000002u);   // gid 3
    EXPECT_EQ(cell(3, 2), 0x00000109u);   // gid 10, collision
    EXPECT_EQ(cell(13, 3), 0x00010102u);  // gid 3, layer gid 258, collision
    EXPECT_EQ(cell(6, 4), 0x0005000Au);   // gid 11, layer gid 262
    EXPECT_EQ(cell(18, 0), 0x00000106u);  // gid 7, collision
    EXPECT_EQ(cell(29, 19), 0x00000002u);
    EXPECT_EQ((*doc.fileNames)[0], "terrain.png");
    // Slot 2 is tile 2 of the background set: "terrain.png:3:0".
    EXPECT_EQ((*doc.tables[0].entries)[2], (ChipEntry{1, 0, 3, 0, 0}));
    EXPECT_EQ(doc.tables[0].count, 11);
    EXPECT_EQ(doc.tables[1].count, 9);
  }
}

}  // namespace
}  // namespace kelvor
