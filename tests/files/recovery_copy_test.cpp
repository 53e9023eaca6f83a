#include "files/recovery_copy.h"

#include <gtest/gtest.h>

#include "files/binary_document.h"
#include "files/document_fixture.h"
#include "files/open_document.h"
#include "files/save_as.h"
#include "platform/compression.h"
#include "support/byte_builder.h"
#include "support/fake_image_encoder.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "workspace/workspace.h"

namespace kelvor {
namespace {

using test::ByteBuilder;

// FNV-1a, 64 bits, as published.
uint64_t Fnv1a64(const std::vector<uint8_t>& bytes) {
  uint64_t hash = 0xCBF29CE484222325ull;
  for (uint8_t byte : bytes) hash = (hash ^ byte) * 0x100000001B3ull;
  return hash;
}

// One sheet, one file name, a background chip registered after the last
// optimisation set `count` (so `count` no longer covers it), a 2 x 1 map.
void FillWorkspace(Workspace& ws) {
  test::LoadSheet(ws.sheets, "tiles.png", 2, 1);
  ws.sheets.sheets[0].transparent = 1;
  ws.sheets.sheets[0].transparentColor = 0xff00ff;
  (*ws.sheets.sheets[0].chipFlags)[0] = ChipFlagCollision;
  CreateChipAtlases(ws.document);
  ws.document.fileList.names[0] = "tiles.png";
  ChipTable& background = ws.document.tables[0];
  background.entries[0] = {1, 0, 0, 0, 0};
  background.entries[1] = {1, 0, 1, 0, EntryFlagCollision};
  background.entries[2] = {1, 0, 0, 0, 0};
  background.count = 2;
  ws.document.tables[1].entries[0] = {1, 0, 0, 0, 0};
  ws.document.tables[1].count = 1;
  ws.document.grid.Allocate(2, 1);
  *ws.document.grid.cells = {0x00000002, 0x80000101};
  StoreDocumentPath(ws.document, "/maps/stage.kv");
  ws.folders.chipFolder = "/chips";
}

std::vector<uint8_t> CopyBytes(const Workspace& ws, int64_t savedAt) {
  RecoverySnapshot snapshot;
  EXPECT_TRUE(TakeRecoverySnapshot(ws, RecoverySnapshot{}, snapshot, savedAt));
  VectorByteSink sink;
  SerializeRecoveryCopy(sink, snapshot);
  return sink.bytes;
}

TEST(RecoveryCopyTest, TheDocumentEveryUsedChipTheRecordAndAChecksum) {
  ASSERT_EQ(Fnv1a64({'a'}), 0xAF63DC4C8601EC8Cull);
  Workspace ws;
  FillWorkspace(ws);
  ByteBuilder b;
  b.Raw({'K', 'V', 0, 0}).I32(12);
  b.Chunk("version", 9).Str("1.41");
  b.Chunk("bmp2_count", 4).I32(1);
  b.Chunk("bmp2_name", 14).Str("tiles.png");
  b.Chunk("bmp2_transparent", 8).I32(1).I32(0xff00ff);
  b.Chunk("bmp2_chip_count", 8).I32(2).I32(1);
  b.Chunk("bmp2_flag", 12).I32(8).Raw({4, 0, 0, 0, 0, 0, 0, 0});
  b.Chunk("bmp1_count", 4).I32(1);
  b.Chunk("bmp1_name", 14).Str("tiles.png");
  b.Chunk("chip1_count", 8).I32(3).I32(1);
  b.Chunk("chip1", 80)
      .Entry(1, 0, 0, 0, 0)
      .Entry(1, 0, 1, 0, 1)
      .Entry(1, 0, 0, 0, 0)
      .Entry(1, 0, 0, 0, 0);
  b.Chunk("mapdata_bin", 16).I32(2).I32(1).I32(0x00000002).I32(0x80000101);
  b.Chunk("recovery_record", 50).I32(1).Str("/maps/stage.kv").Str("/chips");
  b.I32(0x23456789).I32(0x1);
  const uint64_t sum = Fnv1a64(b.bytes);
  b.I32(static_cast<int64_t>(sum & 0xFFFFFFFF)).I32(static_cast<int64_t>(sum >> 32));
  EXPECT_EQ(CopyBytes(ws, 0x123456789), b.bytes);
}

TEST(RecoveryCopyTest, RestoreGivesTheMapBackAsOpenedChangedAndWithItsOwnPath) {
  Workspace from;
  FillWorkspace(from);
  const std::vector<uint8_t> bytes = CopyBytes(from, 1700000000);

  Workspace ws;
  test::LoadSheet(ws.sheets, "TILES.png", 2, 1);
  CreateChipAtlases(ws.document);
  ws.document.grid.Allocate(5, 5);
  RecordUndo(ws.undo, ws.document.grid);
  RecoveryCopy copy;
  ASSERT_TRUE(ParseRecoveryCopy(bytes, copy));
  EXPECT_EQ(copy.record.documentPath, "/maps/stage.kv");
  EXPECT_EQ(copy.record.chipFolder, "/chips");
  EXPECT_EQ(copy.record.savedAt, 1700000000);
  OpenRefresh refresh;
  RestoreRecoveryCopy(ws, std::move(copy), refresh);

  EXPECT_EQ(ws.document.grid.cells, (std::vector<MapCell>{0x00000002, 0x80000101}));
  EXPECT_EQ(ws.document.tables[0].entries[2], (ChipEntry{1, 0, 0, 0, 0}));
  EXPECT_EQ(ws.document.tables[0].UsedChips(), 2);
  EXPECT_EQ(ws.document.fileList.names[0], "tiles.png");
  EXPECT_EQ(ws.sheets.sheets[0].transparent, 1);
  EXPECT_EQ((*ws.sheets.sheets[0].chipFlags)[0], ChipFlagCollision);
  EXPECT_EQ(ws.document.documentPath, "/maps/stage.kv");
  EXPECT_EQ(ws.document.documentFileName, "stage.kv");
  EXPECT_EQ(ws.undo.cursor(), -1);
  EXPECT_TRUE(ws.unsaved.changed);
  EXPECT_TRUE(refresh.title && refresh.scrollExtents && refresh.palette);
  EXPECT_TRUE(refresh.missingImages.empty());
}

TEST(RecoveryCopyTest, RefusesCopiesCutShortAlteredOrWithoutRecord) {
  Workspace ws;
  FillWorkspace(ws);
  const std::vector<uint8_t> bytes = CopyBytes(ws, 5);
  RecoveryCopy copy;
  ASSERT_TRUE(ParseRecoveryCopy(bytes, copy));
  for (size_t size = 0; size < bytes.size(); ++size) {
    EXPECT_FALSE(ParseRecoveryCopy(std::span(bytes).first(size), copy)) << "cut at " << size;
  }
  for (size_t at = 0; at < bytes.size(); ++at) {
    std::vector<uint8_t> altered = bytes;
    altered[at] ^= 0x10;
    EXPECT_FALSE(ParseRecoveryCopy(altered, copy)) << "byte " << at;
  }
  // A plain document, and one with a correct checksum but no record.
  VectorByteSink plain;
  SerializeBinaryDocument(plain, ws.document, ws.sheets);
  EXPECT_FALSE(ParseRecoveryCopy(plain.bytes, copy));
  const uint64_t sum = Fnv1a64(plain.bytes);
  for (int shift = 0; shift < 64; shift += 8) plain.bytes.push_back(uint8_t(sum >> shift));
  EXPECT_FALSE(ParseRecoveryCopy(plain.bytes, copy));

  test::TempDir dir;
  EXPECT_EQ(ReadRecoveryCopy(dir.File("none.kv"), copy), RecoveryReadStatus::Missing);
  test::WriteFileBytes(dir.File("cut.kv"), std::vector<uint8_t>(bytes.begin(), bytes.end() - 1));
  EXPECT_EQ(ReadRecoveryCopy(dir.File("cut.kv"), copy), RecoveryReadStatus::Damaged);
}

TEST(RecoveryCopyTest, WrittenPackedUnpacksToItsOwnBytesAndDamageIsRefused) {
  Workspace ws;
  FillWorkspace(ws);
  MapGrid& grid = ws.document.grid;
  grid.Allocate(300, 200);
  for (int32_t row = 0; row < 200; ++row) {
    for (int32_t column = 0; column < 300; ++column)
      grid.At(column, row) = 1 + (row / 7 + column / 9) % 2;
  }
  RecoverySnapshot snapshot;
  ASSERT_TRUE(TakeRecoverySnapshot(ws, RecoverySnapshot{}, snapshot, 77));
  VectorByteSink plain;
  SerializeRecoveryCopy(plain, snapshot);

  test::TempDir dir;
  const std::string path = dir.File("copy.kv");
  ASSERT_EQ(WriteRecoveryCopy(path, snapshot), FileWriteStatus::Ok);
  const std::vector<uint8_t> file = test::ReadFileBytes(path);
  EXPECT_LT(file.size(), plain.bytes.size() / 10);
  std::vector<uint8_t> unpacked;
  ASSERT_TRUE(UnpackStream(file, plain.bytes.size(), unpacked));
  EXPECT_EQ(unpacked, plain.bytes);
  EXPECT_FALSE(UnpackStream(file, plain.bytes.size() - 1, unpacked));  // past the limit
  RecoveryCopy copy;
  ASSERT_EQ(ReadRecoveryCopy(path, copy), RecoveryReadStatus::Ok);
  ASSERT_TRUE(copy.document.grid.has_value());
  EXPECT_EQ(copy.document.grid->cells, *std::as_const(grid).cells);
  EXPECT_EQ(copy.record.savedAt, 77);

  // Cut short, altered, or with bytes after the stream.
  std::vector<std::vector<uint8_t>> damaged;
  for (size_t size : {size_t{3}, size_t{10}, file.size() / 2, file.size() - 1}) {
    damaged.emplace_back(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
  }
  for (size_t at = 4; at < file.size(); at += 7) {
    damaged.push_back(file);
    damaged.back()[at] ^= 0x04;
  }
  damaged.push_back(file);
  damaged.back().push_back(0);
  // A stream intact in itself around a copy whose own checksum fails.
  std::vector<uint8_t> altered = plain.bytes;
  altered[altered.size() / 2] ^= 1;
  VectorByteSink repacked;
  PackingSink packer(repacked);
  packer.Put(altered.data(), altered.size());
  ASSERT_TRUE(packer.Finish());
  damaged.push_back(repacked.bytes);
  // A flip in the packing's slack that leaves every unpacked byte as it
  // was is no damage; anything else is refused.
  for (size_t i = 0; i < damaged.size(); ++i) {
    test::WriteFileBytes(path, damaged[i]);
    const bool intact = UnpackStream(damaged[i], SIZE_MAX, unpacked) && unpacked == plain.bytes;
    EXPECT_EQ(ReadRecoveryCopy(path, copy),
              intact ? RecoveryReadStatus::Ok : RecoveryReadStatus::Damaged)
        << "case " << i;
  }
  // A copy an older editor left unpacked is still read.
  test::WriteFileBytes(path, plain.bytes);
  EXPECT_EQ(ReadRecoveryCopy(path, copy), RecoveryReadStatus::Ok);
}

// The cells a snapshot holds, in map order.
std::vector<MapCell> CellsOf(const GridSnapshot& snapshot) {
  std::vector<MapCell> cells(static_cast<size_t>(snapshot.width) * snapshot.height);
  WriteGridSnapshot(snapshot, cells.data());
  return cells;
}

// Pieces shared with the previous snapshot, by index.
std::vector<bool> Shared(const RecoverySnapshot& before, const RecoverySnapshot& after) {
  std::vector<bool> shared;
  for (size_t i = 0; i < after.grid.chunks.size(); ++i) {
    shared.push_back(i < before.grid.chunks.size() &&
                     before.grid.chunks[i] == after.grid.chunks[i]);
  }
  return shared;
}

TEST(RecoveryCopyTest, SnapshotsShareThePiecesNoWriteReached) {
  Workspace ws;
  ws.document.grid.Allocate(130, 70);  // 3 x 2 pieces, the last ones partial
  MapGrid& grid = ws.document.grid;
  RecoverySnapshot previous;
  ASSERT_TRUE(TakeRecoverySnapshot(ws, RecoverySnapshot{}, previous, 0));

  struct Step {
    const char* write;
    std::function<void()> run;
    std::vector<bool> shared;
  };
  const Step steps[] = {
      {"nothing", [] {}, {true, true, true, true, true, true}},
      {"one cell", [&] { grid.At(70, 65) = 7; }, {true, true, true, true, false, true}},
      {"a loop over every cell changing one",
       [&] {
         for (MapCell& cell : *grid.cells) cell = cell == 7 ? 8 : cell;
       },
       {true, true, true, true, false, true}},
      {"a new block of the same size",
       [&] {
         std::vector<MapCell> fresh = *std::as_const(grid).cells;
         fresh[129] = 9;
         grid.cells = std::move(fresh);
       },
       {true, true, false, true, true, true}},
  };
  for (const Step& step : steps) {
    step.run();
    RecoverySnapshot next;
    ASSERT_TRUE(TakeRecoverySnapshot(ws, previous, next, 0));
    EXPECT_EQ(CellsOf(next.grid), *std::as_const(grid).cells) << step.write;
    EXPECT_EQ(Shared(previous, next), step.shared) << step.write;
    EXPECT_EQ(SameRecoveryContent(previous, next), step.shared == std::vector<bool>(6, true))
        << step.write;
    previous = std::move(next);
  }
  // Sheet settings count as content too.
  test::LoadSheet(ws.sheets, "a.png", 1, 1);
  RecoverySnapshot withSheet;
  ASSERT_TRUE(TakeRecoverySnapshot(ws, previous, withSheet, 0));
  EXPECT_FALSE(SameRecoveryContent(previous, withSheet));
}

// Only a successful save in a document form clears the unsaved state;
// exports and failed saves leave it, and opening a document clears it.
TEST(RecoveryCopyTest, UnsavedStateClearedBySavingOrOpeningADocumentOnly) {
  test::TempDir dir;
  struct Save {
    int32_t type;
    std::string path;
    bool clears;
  };
  const Save saves[] = {
      {3, dir.File("map.bin"), false}, {5, dir.File("atlas.png"), false},
      {9, dir.File("map.png"), false}, {1, dir.File("none/x.kv"), false},
      {2, dir.File("text.kv"), true},  {1, dir.File("binary.kv"), true},
  };
  Workspace ws;
  FillWorkspace(ws);
  test::RecordingMessages messages;
  test::FakeImageEncoder encoder;
  for (const Save& save : saves) {
    MarkDocumentChanged(ws);
    RunSaveAsType(ws, save.path, save.type, encoder, CanvasFactory{}, messages);
    EXPECT_EQ(ws.unsaved.changed, !save.clears) << "type " << save.type;
  }
  MarkDocumentChanged(ws);
  OpenRefresh refresh;
  EXPECT_FALSE(OpenDocument(ws, dir.File("none.kv"), messages, refresh));
  EXPECT_TRUE(ws.unsaved.changed);
  ASSERT_TRUE(OpenDocument(ws, dir.File("binary.kv"), messages, refresh));
  EXPECT_FALSE(ws.unsaved.changed);
}

}  // namespace
}  // namespace kelvor
