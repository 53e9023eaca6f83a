#include "files/binary_document.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "files/document_fixture.h"
#include "support/byte_builder.h"
#include "support/fakes.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace kelvor {
namespace {

using test::ByteBuilder;
using test::DocumentSnapshot;
using test::SmallDocument;

std::vector<uint8_t> Serialize(const MapDocument& document, const ChipSheetTable& sheets) {
  VectorByteSink sink;
  SerializeBinaryDocument(sink, document, sheets);
  return sink.bytes;
}

// The document of SmallDocument, spelled out field by field.
std::vector<uint8_t> SmallDocumentBytes() {
  ByteBuilder b;
  b.Raw({'K', 'V', 0, 0}).I32(11);
  b.Chunk("version", 9).Str("1.41");
  b.Chunk("bmp2_count", 4).I32(2);
  b.Chunk("bmp2_name", 32).Str("tiles.png").Str("Big Sheet.png");
  b.Chunk("bmp2_transparent", 16).I32(1).I32(0xff00ff).I32(0).I32(0);
  b.Chunk("bmp2_chip_count", 16).I32(2).I32(1).I32(1).I32(1);
  b.Chunk("bmp2_flag", 20).I32(8).Raw({4, 0, 0, 0, 0, 0, 0, 0}).I32(4).Raw({0, 0, 0, 0x0A});
  b.Chunk("bmp1_count", 4).I32(2);
  b.Chunk("bmp1_name", 32).Str("tiles.png").Str("Big Sheet.png");
  b.Chunk("chip1_count", 8).I32(3).I32(2);
  b.Chunk("chip1", 100)
      .Entry(1, 0, 0, 0, 0)
      .Entry(1, 0, 1, 0, 0x01)
      .Entry(1, 1, 0, 0, 0)
      .Entry(1, 0, 0, 0, 0)
      .Entry(1, 0, 0, 0, 0x10);
  b.Chunk("mapdata_bin", 32).I32(3).I32(2);
  b.I32(0x00000001).I32(0x00010102).I32(0).I32(0x00001000).I32(0x80000001).I32(2);
  return b.bytes;
}

// A minimal readable document with the given version string and map.
ByteBuilder MinimalDocument(std::string_view version = "1.41") {
  ByteBuilder b;
  b.Raw({'K', 'V', 0, 0}).I32(2);
  b.Chunk("version", static_cast<int64_t>(version.size()) + 5).Str(version);
  b.Chunk("mapdata_bin", 12).I32(1).I32(1).I32(0x0305);
  return b;
}

TEST(BinaryDocumentWriter, WritesEveryByteOfTheDocument) {
  SmallDocument small;
  EXPECT_EQ(Serialize(small.document, small.sheets), SmallDocumentBytes());
}

TEST(BinaryDocumentWriter, EveryFileStartsWithTheSameThirtyThreeBytes) {
  const std::vector<uint8_t> start = {
      'K', 'V', 0x00, 0x00, 0x0B, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 'v', 'e', 'r', 's', 'i',
      'o', 'n', 0x00, 0x09, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, '1',  '.', '4', '1', 0x00};
  const std::vector<uint8_t> secondHeader = {0x0B, 0x00, 0x00, 0x00, 'b', 'm', 'p',
                                             '2',  '_',  'c',  'o',  'u', 'n', 't',
                                             0x00, 0x04, 0x00, 0x00, 0x00};
  MapDocument empty;
  empty.grid.Allocate(1, 1);
  const std::vector<uint8_t> bytes = Serialize(empty, ChipSheetTable{});
  ASSERT_GE(bytes.size(), 52u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 33), start);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 33, bytes.begin() + 52), secondHeader);
}

// Walks the chunk headers of a written file: name -> payload size.
std::map<std::string, int32_t> PayloadSizes(const std::vector<uint8_t>& bytes) {
  std::map<std::string, int32_t> sizes;
  size_t at = 8;
  while (at + 4 <= bytes.size()) {
    uint32_t nameLength = 0;
    std::memcpy(&nameLength, &bytes[at], 4);
    const std::string name(reinterpret_cast<const char*>(&bytes[at + 4]), nameLength - 1);
    int32_t size = 0;
    std::memcpy(&size, &bytes[at + 4 + nameLength], 4);
    sizes[name] = size;
    at += 8 + nameLength + static_cast<size_t>(size);
  }
  EXPECT_EQ(at, bytes.size());
  return sizes;
}

TEST(BinaryDocumentWriter, PayloadSizesFollowTheContent) {
  MapDocument document;
  ChipSheetTable sheets;
  test::LoadSheet(sheets, "a.png", 1, 1);
  test::LoadSheet(sheets, "bb.png", 2, 3);
  document.fileList.names[0] = "a.png";
  document.fileList.names[1] = "bb.png";
  document.fileList.names[2] = "c.png";
  document.tables[0].count = 4;
  document.tables[1].count = 2;
  document.grid.Allocate(20, 15);

  const std::map<std::string, int32_t> sizes = PayloadSizes(Serialize(document, sheets));
  const std::map<std::string, int32_t> expected = {
      {"version", 9},           {"bmp2_count", 4},           {"bmp2_name", 4 + 6 + 4 + 7},
      {"bmp2_transparent", 16}, {"bmp2_chip_count", 16},     {"bmp2_flag", 4 + 4 + 4 + 24},
      {"bmp1_count", 4},        {"bmp1_name", 10 + 11 + 10}, {"chip1_count", 8},
      {"chip1", 120},           {"mapdata_bin", 1208}};
  EXPECT_EQ(sizes, expected);
}

TEST(BinaryDocumentWriter, KeepsEveryFileNameWhenTheListHasGaps) {
  // Names are compact after the save's optimisation; a converted document
  // need not be, and no name may be lost then.
  MapDocument document;
  document.grid.Allocate(1, 1);
  document.fileList.names[0] = "a.png";
  document.fileList.names[2] = "c.png";
  ByteBuilder names;
  names.Chunk("bmp1_count", 4).I32(3).Chunk("bmp1_name", 25).Str("a.png").Str("").Str("c.png");
  const std::vector<uint8_t> bytes = Serialize(document, ChipSheetTable{});
  EXPECT_NE(std::search(bytes.begin(), bytes.end(), names.bytes.begin(), names.bytes.end()),
            bytes.end());
}

class BinaryReaderTest : public ::testing::Test {
 protected:
  bool Read(const std::vector<uint8_t>& bytes, const std::string& name = "doc.kv") {
    const std::string path = dir.File(name);
    test::WriteFileBytes(path, bytes);
    return ReadBinaryDocument(path, document, sheets, selection, messages);
  }
  DocumentSnapshot Snapshot() const { return DocumentSnapshot::Of(document, sheets, selection); }

  test::TempDir dir;
  MapDocument document;
  ChipSheetTable sheets;
  SelectionState selection;
  test::RecordingMessages messages;
};

TEST_F(BinaryReaderTest, ReadsWhatTheWriterWrote) {
  SmallDocument small;
  test::LoadSheet(sheets, "TILES.PNG", 2, 1);      // case differs: still the same image
  test::LoadSheet(sheets, "big sheet.png", 2, 2);  // other size: keeps its flags
  ASSERT_TRUE(Read(SmallDocumentBytes()));

  EXPECT_EQ(document.grid.width, 3);
  EXPECT_EQ(document.grid.height, 2);
  EXPECT_EQ(document.grid.cells, small.document.grid.cells);
  EXPECT_EQ(document.tables[0].entries, small.document.tables[0].entries);
  EXPECT_EQ(document.tables[1].entries, small.document.tables[1].entries);
  EXPECT_EQ(document.tables[0].count, 3);
  EXPECT_EQ(document.tables[1].count, 2);
  EXPECT_EQ(document.fileList.names, small.document.fileList.names);
  EXPECT_EQ(sheets.sheets[0].transparent, 1);
  EXPECT_EQ(sheets.sheets[0].transparentColor, 0xff00ffu);
  EXPECT_EQ(*sheets.sheets[0].chipFlags, (std::vector<uint8_t>{4, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(sheets.sheets[1].transparent, 0);
  EXPECT_EQ(*sheets.sheets[1].chipFlags, std::vector<uint8_t>(16, 0));
  EXPECT_EQ(selection.selectionFlags.size(), 6u);
  EXPECT_TRUE(document.documentPath.empty()) << "the open flow records the path, not the reader";
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(BinaryReaderTest, ATransparencyReachesASheetOfAnotherSizeButItsFlagsDoNot) {
  test::LoadSheet(sheets, "tiles.png", 3, 1);
  ASSERT_TRUE(Read(SmallDocumentBytes()));
  EXPECT_EQ(sheets.sheets[0].transparent, 1);
  EXPECT_EQ(sheets.sheets[0].transparentColor, 0xff00ffu);
  EXPECT_EQ(*sheets.sheets[0].chipFlags, std::vector<uint8_t>(12, 0));
}

TEST_F(BinaryReaderTest, MagicNeedsKVAndANulOnly) {
  struct Case {
    uint8_t magic[4];
    bool accepted;
  };
  for (const Case& c : {Case{{'K', 'V', 0, 0}, true}, Case{{'K', 'V', 0, 'x'}, true},
                        Case{{'K', 'V', 'x', 0}, false}, Case{{'k', 'v', 0, 0}, false}}) {
    std::vector<uint8_t> bytes = MinimalDocument().bytes;
    std::memcpy(bytes.data(), c.magic, 4);
    EXPECT_EQ(Read(bytes), c.accepted) << c.magic[2] << c.magic[3];
  }
}

TEST_F(BinaryReaderTest, VersionsFromOnePointZeroUpAreRead) {
  struct Case {
    const char* version;
    bool accepted;
  };
  for (const Case& c :
       {Case{"1.0", true}, Case{"1.41", true}, Case{"2.0", true}, Case{"1.0a", true},
        Case{"0.9", false}, Case{"1", false}, Case{"", false}, Case{"0.99", false}}) {
    messages.shown.clear();
    EXPECT_EQ(Read(MinimalDocument(c.version).bytes), c.accepted) << c.version;
    if (c.accepted) {
      EXPECT_TRUE(messages.shown.empty()) << c.version;
    } else {
      ASSERT_EQ(messages.shown.size(), 1u) << c.version;
      EXPECT_EQ(messages.shown[0].text, "ファイル バージョンが違います");
      EXPECT_EQ(messages.shown[0].caption, "Kelvor");
      EXPECT_EQ(messages.shown[0].icon, MessageIcon::None);
    }
  }
}

TEST_F(BinaryReaderTest, SkipsUnknownChunksByTheirSize) {
  ByteBuilder b;
  b.Raw({'K', 'V', 0, 0}).I32(4);
  b.Chunk("version", 9).Str("1.41");
  b.Chunk("thumbnail", 5).Raw({1, 2, 3, 4, 5});
  b.Chunk("", 0);  // an empty name is unknown too
  b.Chunk("mapdata_bin", 12).I32(1).I32(1).I32(0x0305);
  ASSERT_TRUE(Read(b.bytes));
  EXPECT_EQ(document.grid.cells, std::vector<MapCell>{0x0305});
}

TEST_F(BinaryReaderTest, OpensDocumentsWithoutSheetsOrFileNames) {
  MapDocument saved;
  saved.grid.Allocate(2, 2);
  saved.tables[0].count = 1;
  saved.tables[0].entries[0].used = 1;
  ASSERT_TRUE(Read(Serialize(saved, ChipSheetTable{})));
  EXPECT_EQ(document.grid.width, 2);
  EXPECT_EQ(document.tables[0].count, 1);
}

TEST_F(BinaryReaderTest, ReadsMapsOfEveryShapeWhereverTheCellsStart) {
  // The cells are taken from the file's own block; an unknown chunk in
  // front shifts them off any word boundary.
  for (int32_t padding = 0; padding < 4; ++padding) {
    for (const auto& [width, height] : {std::pair{0, 5}, std::pair{3, 0}, std::pair{3, 2}}) {
      ByteBuilder b;
      b.Raw({'K', 'V', 0, 0}).I32(3).Chunk("version", 9).Str("1.41");
      b.Chunk("pad", padding).Text(std::string(static_cast<size_t>(padding), 'p'));
      b.Chunk("mapdata_bin", 8 + 4 * width * height).I32(width).I32(height);
      std::vector<MapCell> cells;
      for (int32_t i = 0; i < width * height; ++i) {
        cells.push_back(0x01020304u * static_cast<uint32_t>(i + 1));
        b.I32(cells.back());
      }
      ASSERT_TRUE(Read(b.bytes)) << padding << " " << width << "x" << height;
      EXPECT_EQ(document.grid.width, width);
      EXPECT_EQ(document.grid.height, height);
      EXPECT_EQ(document.grid.cells, cells);
      EXPECT_EQ(selection.selectionFlags.size(), cells.size());
    }
  }
}

TEST_F(BinaryReaderTest, NeedsTheKvExtension) {
  const std::vector<uint8_t> bytes = MinimalDocument().bytes;
  EXPECT_TRUE(Read(bytes, "upper.KV"));
  EXPECT_FALSE(Read(bytes, "doc.kvx"));
  EXPECT_FALSE(Read(bytes, "doc"));
  EXPECT_FALSE(ReadBinaryDocument(dir.File("missing.kv"), document, sheets, selection, messages));
}

// Every way a file can lie about its content; each is refused as a whole.
TEST_F(BinaryReaderTest, RefusesFilesBeyondTheLimitsAndLeavesTheDocumentAlone) {
  SmallDocument current;
  document.grid = current.document.grid;
  document.tables = current.document.tables;
  document.fileList = current.document.fileList;
  document.documentPath = "/maps/current.kv";
  test::LoadSheet(sheets, "tiles.png", 2, 1);
  (*sheets.sheets[0].chipFlags)[1] = 9;
  ResetSelection(selection, 3, 2);
  selection.selectionFlags[4] = 1;
  const DocumentSnapshot before = Snapshot();

  const auto header = [](ByteBuilder& b, int32_t chunks) {
    b.Raw({'K', 'V', 0, 0}).I32(chunks).Chunk("version", 9).Str("1.41");
  };
  const auto withMap = [](ByteBuilder& b) {
    b.Chunk("mapdata_bin", 12).I32(1).I32(1).I32(0);
    return b.bytes;
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  {
    ByteBuilder b;
    header(b, 3);
    b.Chunk("bmp2_count", 4).I32(-1);
    cases.push_back({"negative sheet count", withMap(b)});
  }
  {
    ByteBuilder b;
    header(b, 3);
    b.Chunk("bmp2_count", 4).I32(257);
    cases.push_back({"257 sheets", withMap(b)});
  }
  {
    ByteBuilder b;
    header(b, 4);
    b.Chunk("bmp2_count", 4).I32(1).Chunk("bmp2_name", 265).I32(261).Text(std::string(261, 'a'));
    cases.push_back({"sheet name of 261 bytes", withMap(b)});
  }
  {
    ByteBuilder b;
    header(b, 4);
    b.Chunk("bmp2_count", 4).I32(1).Chunk("bmp2_name", 4).I32(-5);
    cases.push_back({"negative name length", withMap(b)});
  }
  {
    ByteBuilder b;
    header(b, 5);
    b.Chunk("bmp2_count", 4).I32(1).Chunk("bmp2_chip_count", 8).I32(1).I32(1);
    b.Chunk("bmp2_flag", 9).I32(5).Raw({0, 0, 0, 0, 0});
    cases.push_back({"flag record longer than its sheet", withMap(b)});
  }
  {
    ByteBuilder b;
    header(b, 4);
    b.Chunk("bmp2_count", 4).I32(1).Chunk("bmp2_chip_count", 8).I32(-1).I32(-4);
    cases.push_back({"negative chip counts", withMap(b)});
  }
  {
    ByteBuilder b;
    header(b, 3);
    b.Chunk("bmp1_count", 4).I32(300);
    cases.push_back({"300 file names", withMap(b)});
  }
  {
    ByteBuilder b;
    header(b, 3);
    b.Chunk("chip1_count", 8).I32(257).I32(1);
    cases.push_back({"table count 257", withMap(b)});
  }
  {
    ByteBuilder b;
    header(b, 3);
    b.Chunk("chip1_count", 8).I32(1).I32(-1);
    cases.push_back({"negative table count", withMap(b)});
  }
  {
    ByteBuilder b;
    header(b, 4);
    b.Chunk("chip1_count", 8).I32(1).I32(0).Chunk("chip1", 20).Entry(1, 256, 0, 0, 0);
    cases.push_back({"file index 256", withMap(b)});
  }
  {
    ByteBuilder b;
    header(b, 4);
    b.Chunk("chip1_count", 8).I32(0).I32(1).Chunk("chip1", 20).Entry(1, -1, 0, 0, 0);
    cases.push_back({"file index -1", withMap(b)});
  }
  {
    ByteBuilder b;
    header(b, 2);
    b.Chunk("mapdata_bin", 8).I32(-1).I32(5);
    cases.push_back({"negative map width", b.bytes});
  }
  {
    ByteBuilder b;
    header(b, 2);
    b.Chunk("mapdata_bin", 12).I32(65536).I32(65536).I32(0);
    cases.push_back({"map larger than the file", b.bytes});
  }
  {
    ByteBuilder b;
    header(b, 3);
    b.Chunk("notes", -8);
    cases.push_back({"unknown chunk with negative size", withMap(b)});
  }
  {
    ByteBuilder b;
    header(b, 3);
    b.Chunk("notes", 1 << 30);
    cases.push_back({"unknown chunk larger than the file", withMap(b)});
  }
  {
    ByteBuilder b;
    header(b, 3);
    b.I32(300).Text(std::string(300, 'n')).I32(0);
    cases.push_back({"chunk name of 300 bytes", withMap(b)});
  }
  {
    ByteBuilder b;
    header(b, 3);  // one chunk short
    cases.push_back({"fewer chunks than counted", withMap(b)});
  }
  {
    ByteBuilder b;
    b.Raw({'K', 'V', 0, 0}).I32(1).Chunk("mapdata_bin", 12).I32(1).I32(1).I32(0);
    cases.push_back({"no version chunk", b.bytes});
  }
  {
    ByteBuilder b;
    header(b, 1);
    cases.push_back({"no map chunk", b.bytes});
  }
  for (const Case& c : cases) {
    EXPECT_FALSE(Read(c.bytes)) << c.what;
    EXPECT_TRUE(Snapshot() == before) << c.what;
  }
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(BinaryReaderTest, RefusesEveryTruncationOfAGoodFile) {
  test::LoadSheet(sheets, "tiles.png", 2, 1);
  document.grid.Allocate(1, 1);
  document.fileList.names[0] = "keep.png";
  const DocumentSnapshot before = Snapshot();
  const std::vector<uint8_t> whole = SmallDocumentBytes();
  for (size_t size = 0; size < whole.size(); ++size) {
    const std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<long>(size));
    ASSERT_FALSE(Read(part)) << size;
    ASSERT_TRUE(Snapshot() == before) << size;
  }
  EXPECT_TRUE(Read(whole));
}

TEST_F(BinaryReaderTest, ParsesBytesWithoutAFile) {
  const ParseResult good = ParseBinaryDocument(SmallDocumentBytes());
  EXPECT_EQ(good.status, ParseStatus::Ok);
  EXPECT_EQ(good.document.version, "1.41");
  ASSERT_EQ(good.document.sheetRecords.size(), 2u);
  EXPECT_EQ(good.document.sheetRecords[1].name, "Big Sheet.png");
  EXPECT_EQ(ParseBinaryDocument(std::vector<uint8_t>{'<', 'v'}).status, ParseStatus::NotThisForm);
}

class BinaryWriterTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  SmallDocument small;
  test::RecordingMessages messages;
};

TEST_F(BinaryWriterTest, SavesAndRecordsThePath) {
  const std::string path = dir.File("saved.kv");
  ASSERT_TRUE(WriteBinaryDocument(path, small.document, small.sheets, messages));
  EXPECT_EQ(test::ReadFileBytes(path), SmallDocumentBytes());
  EXPECT_EQ(small.document.documentPath, path);
  EXPECT_EQ(small.document.documentFileName, "saved.kv");
  EXPECT_EQ(messages.waitCount, 1);
  EXPECT_EQ(messages.waitDepth, 0);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(BinaryWriterTest, ReportsAFileThatCannotBeCreated) {
  small.document.documentPath = "/maps/old.kv";
  EXPECT_FALSE(
      WriteBinaryDocument(dir.File("no/such/folder/x.kv"), small.document, small.sheets, messages));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "ファイルを作成できません");
  EXPECT_EQ(messages.shown[0].caption, "Kelvor");
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(small.document.documentPath, "/maps/old.kv");
  EXPECT_EQ(messages.waitDepth, 0);
}

TEST_F(BinaryWriterTest, AWriteFailureKeepsTheOldFileAndPath) {
  const std::string path = dir.File("big.kv");
  test::WriteFileText(path, "previous");
  small.document.grid.Allocate(256, 256);  // 256 KiB of cells
  small.document.documentPath = "/maps/old.kv";
  bool saved = true;
  {
    test::FileSizeLimit limit(64 * 1024);
    saved = WriteBinaryDocument(path, small.document, small.sheets, messages);
  }
  EXPECT_FALSE(saved);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "ファイルを保存できません");
  EXPECT_EQ(messages.shown[0].caption, "Kelvor");
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(small.document.documentPath, "/maps/old.kv");
  const std::vector<uint8_t> kept = test::ReadFileBytes(path);
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "previous");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(BinaryWriterTest, RefusesToSaveWithoutAMap) {
  small.document.grid.Release();
  const std::string path = dir.File("nomap.kv");
  EXPECT_FALSE(WriteBinaryDocument(path, small.document, small.sheets, messages));
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(small.document.documentPath.empty());
}

}  // namespace
}  // namespace kelvor
