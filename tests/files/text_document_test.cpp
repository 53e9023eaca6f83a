#include "files/text_document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "files/binary_document.h"
#include "files/document_fixture.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace kelvor {
namespace {

using test::DocumentSnapshot;
using test::SmallDocument;

std::string Join(const std::vector<std::string>& lines, std::string_view end = "\r\n") {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += end;
    text += lines[i];
  }
  return text;
}

const std::vector<std::string> SmallDocumentLines = {"<version>",
                                                     "1.41",
                                                     "</version>",
                                                     "<bmp2_count>",
                                                     "2",
                                                     "</bmp2_count>",
                                                     "<bmp2>",
                                                     "<bmp2_name>",
                                                     "tiles.png",
                                                     "</bmp2_name>",
                                                     "<bmp2_transparent>",
                                                     "1 ff00ff",
                                                     "</bmp2_transparent>",
                                                     "<bmp2_chip_count>",
                                                     "2 1",
                                                     "</bmp2_chip_count>",
                                                     "<bmp2_flag>",
                                                     "4 0 0 0",
                                                     "0 0 0 0",
                                                     "</bmp2_flag>",
                                                     "</bmp2>",
                                                     "<bmp2>",
                                                     "<bmp2_name>",
                                                     "Big Sheet.png",
                                                     "</bmp2_name>",
                                                     "<bmp2_transparent>",
                                                     "0 0",
                                                     "</bmp2_transparent>",
                                                     "<bmp2_chip_count>",
                                                     "1 1",
                                                     "</bmp2_chip_count>",
                                                     "<bmp2_flag>",
                                                     "0 0",
                                                     "0 10",
                                                     "</bmp2_flag>",
                                                     "</bmp2>",
                                                     "<bmp1_name_count>",
                                                     "2",
                                                     "</bmp1_name_count>",
                                                     "<bmp1_name>",
                                                     "tiles.png",
                                                     "Big Sheet.png",
                                                     "</bmp1_name>",
                                                     "<chip1>",
                                                     "<chip1_data_count>",
                                                     "3",
                                                     "</chip1_data_count>",
                                                     "<chip1_data>",
                                                     "1 0 0 0 0",
                                                     "1 0 1 0 1",
                                                     "1 1 0 0 0",
                                                     "</chip1_data>",
                                                     "</chip1>",
                                                     "<chip1>",
                                                     "<chip1_data_count>",
                                                     "2",
                                                     "</chip1_data_count>",
                                                     "<chip1_data>",
                                                     "1 0 0 0 0",
                                                     "1 0 0 0 16",
                                                     "</chip1_data>",
                                                     "</chip1>",
                                                     "<mapdata_bin_chip_count>",
                                                     "3 2",
                                                     "</mapdata_bin_chip_count>",
                                                     "<mapdata_bin_data>",
                                                     "1",
                                                     "65794",
                                                     "0",
                                                     "4096",
                                                     "-2147483647",
                                                     "2",
                                                     "</mapdata_bin_data>"};

// The smallest text the reader accepts, around the given middle lines.
std::string Minimal(const std::vector<std::string>& middle = {},
                    const std::vector<std::string>& map = {"1 1", "7"}) {
  std::vector<std::string> lines = {"<version>", "1.41", "</version>"};
  lines.insert(lines.end(), middle.begin(), middle.end());
  lines.insert(lines.end(), {"<mapdata_bin_chip_count>", map[0], "</mapdata_bin_chip_count>",
                             "<mapdata_bin_data>"});
  lines.insert(lines.end(), map.begin() + 1, map.end());
  lines.push_back("</mapdata_bin_data>");
  return Join(lines);
}

std::string Serialize(const MapDocument& document, const ChipSheetTable& sheets) {
  VectorByteSink sink;
  SerializeTextDocument(sink, document, sheets);
  return std::string(sink.bytes.begin(), sink.bytes.end());
}

TEST(TextDocumentWriter, WritesEveryLineWithCrLfBetweenLines) {
  SmallDocument small;
  EXPECT_EQ(Serialize(small.document, small.sheets), Join(SmallDocumentLines));
}

TEST(TextDocumentWriter, PrintsCellsAsSignedDecimals) {
  MapDocument document;
  document.grid.Allocate(9, 1);
  *document.grid.cells = {0, 9, 10, 99, 100, 12345678, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
  const std::string text = Serialize(document, ChipSheetTable{});
  EXPECT_NE(text.find("<mapdata_bin_data>\r\n0\r\n9\r\n10\r\n99\r\n100\r\n12345678\r\n"
                      "2147483647\r\n-2147483648\r\n-1\r\n</mapdata_bin_data>"),
            std::string::npos)
      << text;
}

TEST(TextDocumentWriter, ASheetBelowOneChipRowHasNoFlagLines) {
  MapDocument document;
  document.grid.Allocate(0, 0);
  ChipSheetTable sheets;
  test::LoadSheet(sheets, "strip.png", 3, 0);
  const std::string text = Serialize(document, sheets);
  EXPECT_NE(text.find("<bmp2_flag>\r\n</bmp2_flag>"), std::string::npos);
  EXPECT_NE(text.find("<mapdata_bin_data>\r\n</mapdata_bin_data>"), std::string::npos);
}

class TextReaderTest : public ::testing::Test {
 protected:
  bool Read(std::string_view text, const std::string& name = "doc.kv") {
    const std::string path = dir.File(name);
    test::WriteFileText(path, text);
    return ReadTextDocument(path, document, sheets, selection, messages);
  }
  DocumentSnapshot Snapshot() const { return DocumentSnapshot::Of(document, sheets, selection); }

  test::TempDir dir;
  MapDocument document;
  ChipSheetTable sheets;
  SelectionState selection;
  test::RecordingMessages messages;
};

TEST_F(TextReaderTest, ASheetWithoutChipColumnsKeepsItsEmptyFlagLines) {
  // 16 x 64 pixels: 0 x 2 chips, so four flag lines without values. As the
  // last sheet its lines are what lets the document be read again.
  SmallDocument small;
  test::LoadSheet(small.sheets, "post.png", 0, 2);
  const std::string text = Serialize(small.document, small.sheets);
  EXPECT_NE(text.find("<bmp2_name>\r\npost.png\r\n</bmp2_name>\r\n<bmp2_transparent>\r\n0 0\r\n"
                      "</bmp2_transparent>\r\n<bmp2_chip_count>\r\n0 2\r\n</bmp2_chip_count>\r\n"
                      "<bmp2_flag>\r\n\r\n\r\n\r\n\r\n</bmp2_flag>\r\n</bmp2>"),
            std::string::npos)
      << text;

  test::LoadSheet(sheets, "tiles.png", 2, 1);
  test::LoadSheet(sheets, "Big Sheet.png", 1, 1);
  test::LoadSheet(sheets, "post.png", 0, 2);
  ASSERT_TRUE(Read(text));
  EXPECT_TRUE(Snapshot() == DocumentSnapshot::Of(small.document, small.sheets, selection));
}

TEST_F(TextReaderTest, ReadsWhatTheWriterWroteWithEitherLineEnd) {
  SmallDocument small;
  for (std::string_view end : {"\r\n", "\n"}) {
    document = MapDocument{};
    sheets = ChipSheetTable{};
    test::LoadSheet(sheets, "TILES.PNG", 2, 1);
    test::LoadSheet(sheets, "Big Sheet.png", 1, 1);
    ASSERT_TRUE(Read(Join(SmallDocumentLines, end))) << end.size();
    EXPECT_EQ(document.grid.width, 3);
    EXPECT_EQ(document.grid.cells, small.document.grid.cells);
    EXPECT_EQ(document.tables[0].entries, small.document.tables[0].entries);
    EXPECT_EQ(document.tables[1].entries, small.document.tables[1].entries);
    EXPECT_EQ(document.tables[0].count, 3);
    EXPECT_EQ(document.tables[1].count, 2);
    EXPECT_EQ(document.fileList.names, small.document.fileList.names);
    EXPECT_EQ(sheets.sheets[0].transparent, 1);
    EXPECT_EQ(sheets.sheets[0].transparentColor, 0xff00ffu);
    EXPECT_EQ(*sheets.sheets[0].chipFlags, (std::vector<uint8_t>{4, 0, 0, 0, 0, 0, 0, 0}));
    // The name with a space is read whole, so its sheet gets its flags back.
    EXPECT_EQ(*sheets.sheets[1].chipFlags, (std::vector<uint8_t>{0, 0, 0, 10}));
    EXPECT_EQ(selection.selectionFlags.size(), 6u);
  }
  EXPECT_TRUE(document.documentPath.empty());
}

TEST_F(TextReaderTest, TheSheetBlockExampleReachesAnImageNamedInOtherCase) {
  test::LoadSheet(sheets, "TILES.PNG", 2, 1);
  ASSERT_TRUE(Read(
      Minimal({"<bmp2>", "<bmp2_name>", "tiles.png", "</bmp2_name>", "<bmp2_transparent>",
               "1 ff00ff", "</bmp2_transparent>", "<bmp2_chip_count>", "2 1", "</bmp2_chip_count>",
               "<bmp2_flag>", "4 0 0 0", "0 0 0 0", "</bmp2_flag>", "</bmp2>"})));
  EXPECT_EQ(sheets.sheets[0].transparent, 1);
  EXPECT_EQ(sheets.sheets[0].transparentColor, 0xff00ffu);
  EXPECT_EQ((*sheets.sheets[0].chipFlags)[0], ChipFlagCollision);
}

TEST_F(TextReaderTest, ASheetNameLineWithBlanksOrACommentStillNamesItsSheet) {
  // The whole line first, then the line without the blanks and CRs around
  // it, then its first word.
  struct Case {
    const char* line;
    std::vector<std::string> loaded;
    size_t receiver;
  };
  const std::vector<Case> cases = {
      {"tiles.png ", {"tiles.png"}, 0},
      {"tiles.png\t", {"tiles.png"}, 0},
      {"\ttiles.png", {"tiles.png"}, 0},
      {"tiles.png\r", {"tiles.png"}, 0},  // CR CR LF
      {"tiles.png  ; grass and walls", {"tiles.png"}, 0},
      {" Big Sheet.png\t", {"Big", "Big Sheet.png"}, 1},
      {"tiles.png old", {"tiles.png", "tiles.png old"}, 1},
  };
  for (const Case& c : cases) {
    sheets = ChipSheetTable{};
    for (const std::string& name : c.loaded) test::LoadSheet(sheets, name, 2, 1);
    ASSERT_TRUE(Read(
        Minimal({"<bmp2>", "<bmp2_name>", c.line, "</bmp2_name>", "<bmp2_transparent>", "1 ff00ff",
                 "</bmp2_transparent>", "<bmp2_chip_count>", "2 1", "</bmp2_chip_count>",
                 "<bmp2_flag>", "4 0 0 0", "0 0 0 0", "</bmp2_flag>", "</bmp2>"})))
        << c.line;
    for (size_t i = 0; i < c.loaded.size(); ++i) {
      const ChipSheet& sheet = sheets.sheets[i];
      const bool receives = i == c.receiver;
      EXPECT_EQ(sheet.transparent, receives ? 1 : 0) << c.line << " " << i;
      EXPECT_EQ((*sheet.chipFlags)[0], receives ? ChipFlagCollision : 0) << c.line << " " << i;
    }
  }
}

TEST_F(TextReaderTest, ASecondFlagSectionStartsAgainAtTheFirstRow) {
  struct Case {
    std::vector<std::string> second;
    std::vector<uint8_t> flags;
  };
  const std::vector<Case> cases = {
      {{"8 1 0 0", "0 0 0 2"}, {8, 1, 0, 0, 0, 0, 0, 2}},
      {{"8 1 0 0"}, {8, 1, 0, 0, 0, 0, 3, 0}},  // the first section's second row stays
  };
  for (const Case& c : cases) {
    sheets = ChipSheetTable{};
    test::LoadSheet(sheets, "tiles.png", 2, 1);
    std::vector<std::string> lines = {
        "<bmp2>",       "<bmp2_name>",        "tiles.png",   "</bmp2_name>", "<bmp2_chip_count>",
        "2 1",          "</bmp2_chip_count>", "<bmp2_flag>", "4 0 0 0",      "0 0 3 0",
        "</bmp2_flag>", "<bmp2_flag>"};
    lines.insert(lines.end(), c.second.begin(), c.second.end());
    lines.insert(lines.end(), {"</bmp2_flag>", "</bmp2>"});
    ASSERT_TRUE(Read(Minimal(lines))) << c.second.size();
    EXPECT_EQ(*sheets.sheets[0].chipFlags, c.flags) << c.second.size();
  }
}

TEST_F(TextReaderTest, ReadsFlagRowsOfAnyLength) {
  // 130 chips across: each flag row is 260 values, well over 1023 characters.
  MapDocument saved;
  saved.grid.Allocate(1, 1);
  ChipSheetTable savedSheets;
  test::LoadSheet(savedSheets, "wide.png", 130, 2);
  std::vector<uint8_t>& flags = *savedSheets.sheets[0].chipFlags;
  for (size_t i = 0; i < flags.size(); ++i) flags[i] = static_cast<uint8_t>(100 + i % 150);
  const std::string text = Serialize(saved, savedSheets);

  test::LoadSheet(sheets, "wide.png", 130, 2);
  ASSERT_TRUE(Read(text));
  EXPECT_EQ(*sheets.sheets[0].chipFlags, flags);
}

TEST_F(TextReaderTest, VersionsFromOnePointZeroUpAreRead) {
  struct Case {
    const char* line;
    bool accepted;
  };
  for (const Case& c : {Case{"1.0", true}, Case{"2.0", true}, Case{"1.41 beta", true},
                        Case{"0.9", false}, Case{"1", false}}) {
    messages.shown.clear();
    std::string text = Minimal();
    text.replace(text.find("1.41"), 4, c.line);
    EXPECT_EQ(Read(text), c.accepted) << c.line;
    EXPECT_EQ(messages.shown.size(), c.accepted ? 0u : 1u) << c.line;
    if (!c.accepted && !messages.shown.empty()) {
      EXPECT_EQ(messages.shown[0].text, "ファイル バージョンが違います");
      EXPECT_EQ(messages.shown[0].icon, MessageIcon::None);
    }
  }
}

TEST_F(TextReaderTest, OpensDocumentsThisProgramWritesWithoutSheetsNamesOrChipRows) {
  MapDocument saved;
  saved.grid.Allocate(2, 1);
  ChipSheetTable none;
  ASSERT_TRUE(Read(Serialize(saved, none)));
  EXPECT_EQ(document.grid.width, 2);

  ChipSheetTable strip;
  test::LoadSheet(strip, "strip.png", 4, 0);
  ASSERT_TRUE(Read(Serialize(saved, strip)));
}

TEST_F(TextReaderTest, KeepsThePartsAFileLacksAndFillsMissingCellsWithZero) {
  document.fileList.names[0] = "kept.png";
  document.tables[0].count = 5;
  ASSERT_TRUE(Read(Minimal({}, {"3 1", "-1"}) + "\r\nnotes after the map\r\n<bmp2_count>"));
  EXPECT_EQ(document.fileList.names[0], "kept.png");
  EXPECT_EQ(document.tables[0].count, 5);
  EXPECT_EQ(document.grid.cells, (std::vector<MapCell>{0xFFFFFFFF, 0, 0}));
  EXPECT_EQ(selection.selectionFlags.size(), 3u);
}

TEST_F(TextReaderTest, ReadsEveryFormOfCellLine) {
  struct Case {
    const char* line;
    bool accepted;
    MapCell cell;
  };
  for (std::string_view end : {"\r\n", "\n"}) {
    for (const Case& c :
         {Case{"7", true, 7}, Case{"-1", true, 0xFFFFFFFF}, Case{"-2147483648", true, 0x80000000},
          Case{"+7", true, 7}, Case{" 7 ", true, 7}, Case{"7\t", true, 7},
          Case{"4294967295", true, 0xFFFFFFFF}, Case{"007", true, 7}, Case{"4294967296", false, 0},
          Case{"-2147483649", false, 0}, Case{"12345678901", false, 0},
          // A line without a number is an empty cell, and the next line the next cell.
          Case{"", true, 0}, Case{"-", true, 0}, Case{"x7", true, 0}, Case{"<note>", true, 0}}) {
      const std::string text = Join(
          {"<version>", "1.41", "</version>", "<mapdata_bin_chip_count>", "2 1",
           "</mapdata_bin_chip_count>", "<mapdata_bin_data>", c.line, "9", "</mapdata_bin_data>"},
          end);
      ASSERT_EQ(Read(text), c.accepted) << c.line;
      if (c.accepted) {
        EXPECT_EQ(document.grid.cells, (std::vector<MapCell>{c.cell, 9})) << c.line;
      }
    }
  }
}

TEST_F(TextReaderTest, ABinaryDocumentIsNotText) {
  SmallDocument small;
  VectorByteSink binary;
  SerializeBinaryDocument(binary, small.document, small.sheets);
  document.fileList.names[0] = "kept.png";
  const DocumentSnapshot before = Snapshot();
  EXPECT_FALSE(Read(std::string(binary.bytes.begin(), binary.bytes.end())));
  EXPECT_TRUE(Snapshot() == before);
  EXPECT_EQ(ParseTextDocument(binary.bytes).status, ParseStatus::NotThisForm);
}

TEST_F(TextReaderTest, RefusesDamagedFilesAndLeavesTheDocumentAlone) {
  SmallDocument current;
  document.grid = current.document.grid;
  document.tables = current.document.tables;
  document.fileList = current.document.fileList;
  document.documentPath = "/maps/current.kv";
  test::LoadSheet(sheets, "tiles.png", 2, 1);
  ResetSelection(selection, 3, 2);
  const DocumentSnapshot before = Snapshot();

  const std::vector<std::string> sheetHead = {
      "<bmp2>", "<bmp2_name>",        "tiles.png",  "</bmp2_name>", "<bmp2_chip_count>",
      "2 1",    "</bmp2_chip_count>", "<bmp2_flag>"};
  const auto withSheet = [&](std::vector<std::string> rows) {
    std::vector<std::string> lines = sheetHead;
    lines.insert(lines.end(), rows.begin(), rows.end());
    lines.insert(lines.end(), {"</bmp2_flag>", "</bmp2>"});
    return Minimal(lines);
  };
  std::vector<std::string> manyNames = {"<bmp1_name>"};
  for (int i = 0; i < 257; ++i) manyNames.push_back(test::Numbered("n", i));
  manyNames.push_back("</bmp1_name>");
  std::vector<std::string> manyEntries = {"<chip1>", "<chip1_data>"};
  for (int i = 0; i < 257; ++i) manyEntries.push_back("0 0 0 0 0");
  manyEntries.push_back("</chip1_data>");

  std::vector<std::string> manyBlocks;
  std::vector<std::string> manyLooseSections;
  for (int i = 0; i < 257; ++i) {
    manyBlocks.insert(manyBlocks.end(), {"<bmp2>", "</bmp2>"});
    manyLooseSections.insert(manyLooseSections.end(),
                             {"<bmp2_transparent>", "1 0", "</bmp2_transparent>", "</bmp2>"});
  }

  struct Case {
    const char* what;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"257 sheet blocks", Minimal(manyBlocks)},
      {"257 sheet records outside blocks", Minimal(manyLooseSections)},
      {"no map", Join({"<version>", "1.41", "</version>"})},
      {"map section without a cell, not closed",
       Join({"<version>", "1.41", "</version>", "<mapdata_bin_chip_count>", "1 1",
             "</mapdata_bin_chip_count>", "<mapdata_bin_data>"})},
      {"indented tag",
       Join({"<version>", "1.41", "</version>", "<mapdata_bin_chip_count>", "1 1",
             "</mapdata_bin_chip_count>", "  <mapdata_bin_data>", "1", "</mapdata_bin_data>"})},
      {"tag followed by blanks",
       Join({"<version>", "1.41", "</version>", "<mapdata_bin_chip_count>", "1 1",
             "</mapdata_bin_chip_count>", "<mapdata_bin_data> ", "1", "</mapdata_bin_data>"})},
      {"map wider than 16384", Minimal({}, {"16385 1", "1"})},
      {"negative map height", Minimal({}, {"4 -1", "1"})},
      {"cells before the size",
       Join({"<version>", "1.41", "</version>", "<mapdata_bin_data>", "1", "</mapdata_bin_data>"})},
      {"cell beyond 32 bits", Minimal({}, {"2 1", "1", "99999999999"})},
      {"257 file names", Minimal(manyNames)},
      {"file name of 260 bytes", Minimal({"<bmp1_name>", std::string(260, 'f'), "</bmp1_name>"})},
      {"257 entries", Minimal(manyEntries)},
      {"table count 257", Minimal({"<chip1_data_count>", "257", "</chip1_data_count>"})},
      {"negative table count", Minimal({"<chip1_data_count>", "-1", "</chip1_data_count>"})},
      {"third table", Minimal({"</chip1>", "</chip1>", "<chip1_data>", "1 0 0 0 0"})},
      {"file index 256", Minimal({"<chip1_data>", "1 256 0 0 0", "</chip1_data>"})},
      {"sheet name of 260 bytes",
       Minimal({"<bmp2>", "<bmp2_name>", std::string(260, 's'), "</bmp2_name>"})},
      {"negative chip count", Minimal({"<bmp2_chip_count>", "-2 1", "</bmp2_chip_count>"})},
      {"more flag rows than the sheet has", withSheet({"1 2 3 4", "0 0 0 0", "5 5 5 5"})},
      {"short flag row", withSheet({"1 2 3"})},
      {"flag value beyond 32 bits", withSheet({"2147483648 0 0 0"})},
      {"bad transparency", Minimal({"<bmp2_transparent>", "on", "</bmp2_transparent>"})},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(Read(c.text)) << c.what;
    EXPECT_TRUE(Snapshot() == before) << c.what;
  }
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(TextReaderTest, ReadsFlagWordsAsCDecimalConversionDoes) {
  // Words are separated by spaces alone; each keeps the low 8 bits of its
  // leading number and ignores the rest.
  struct Case {
    const char* chipCount;
    std::vector<std::string> rows;
    std::vector<uint8_t> flags;
  };
  const std::vector<Case> cases = {
      {"2 1", {"4\t9 0 0 0", "0 0 0 0"}, {4, 0, 0, 0, 0, 0, 0, 0}},
      {"2 1", {"\t9 +5 -1 12abc", "x - + 0x7"}, {9, 5, 255, 12, 0, 0, 0, 0}},
      {"2 1", {"  007   -0 256 2147483647", "-2147483648 1\t 8 9"}, {7, 0, 0, 255, 0, 1, 8, 9}},
      // A sheet without chip columns has empty rows.
      {"0 2", {"", "", "", ""}, {}},
  };
  for (const Case& c : cases) {
    sheets = ChipSheetTable{};
    const int32_t columns = c.chipCount[0] - '0';
    test::LoadSheet(sheets, "tiles.png", columns, columns == 0 ? 2 : 1);
    std::vector<std::string> lines = {
        "<bmp2>",    "<bmp2_name>",        "tiles.png",  "</bmp2_name>", "<bmp2_chip_count>",
        c.chipCount, "</bmp2_chip_count>", "<bmp2_flag>"};
    lines.insert(lines.end(), c.rows.begin(), c.rows.end());
    lines.insert(lines.end(), {"</bmp2_flag>", "</bmp2>"});
    ASSERT_TRUE(Read(Minimal(lines))) << c.rows[0];
    EXPECT_EQ(*sheets.sheets[0].chipFlags, c.flags) << c.rows[0];
  }
}

TEST_F(TextReaderTest, ReadsBigMapsWhoseHalvesAreReadAtOnceAsInOrder) {
  // Cells of one to eight digits, with a long or negative one (read the
  // slow way) nowhere, in the first half or in the second.
  constexpr int32_t side = 512;
  std::vector<MapCell> plain(side * side);
  for (size_t i = 0; i < plain.size(); ++i) {
    plain[i] = static_cast<MapCell>(i * 2654435761u) >> (8 + i % 24);
  }
  for (size_t odd : {size_t{0}, plain.size() / 4, plain.size() * 3 / 4}) {
    std::vector<MapCell> cells = plain;
    if (odd != 0) {
      cells[odd] = 0xFFFFFFFE;
      cells[odd + 1] = 123456789;
    }
    for (std::string_view end : {"\r\n", "\n"}) {
      std::vector<std::string> lines = {"<version>",         "1.41",
                                        "</version>",        "<mapdata_bin_chip_count>",
                                        "512 512",           "</mapdata_bin_chip_count>",
                                        "<mapdata_bin_data>"};
      for (MapCell cell : cells) lines.push_back(std::to_string(static_cast<int32_t>(cell)));
      lines.push_back("</mapdata_bin_data>");
      ASSERT_TRUE(Read(Join(lines, end))) << odd << " " << end.size();
      EXPECT_TRUE(document.grid.cells == cells) << odd << " " << end.size();
    }
  }
}

TEST_F(TextReaderTest, RefusesAFileCutOffBeforeItsLastCell) {
  // Cut anywhere before the last cell's line, a file is refused and the open
  // document stays; cut after it (only the closing tag lost), it reads whole.
  const std::string whole = Join(SmallDocumentLines);
  const std::string mapStart = "<mapdata_bin_data>\r\n";
  const size_t firstCell = whole.find(mapStart) + mapStart.size();
  size_t lastCellEnd = firstCell;
  for (int i = 0; i < 6; ++i) lastCellEnd = whole.find('\n', lastCellEnd) + 1;
  ASSERT_TRUE(Read(whole));
  const std::vector<MapCell> cells = *document.grid.cells;
  for (size_t size = 0; size < whole.size(); ++size) {
    document = MapDocument{};
    sheets = ChipSheetTable{};
    test::LoadSheet(sheets, "tiles.png", 2, 1);
    document.grid.Allocate(1, 1);
    const DocumentSnapshot before = Snapshot();
    const std::string cut = whole.substr(0, size);
    if (size < lastCellEnd - 2) {  // the last line's digits not all there
      ASSERT_FALSE(Read(cut)) << size;
      ASSERT_TRUE(Snapshot() == before) << size;
      continue;
    }
    ASSERT_TRUE(Read(cut)) << size;
    EXPECT_EQ(*document.grid.cells, cells) << size;
  }
}

TEST_F(TextReaderTest, ReadsAMapWithoutVersionOrClosingTag) {
  struct Case {
    const char* what;
    std::vector<std::string> lines;
    std::vector<MapCell> cells;
  };
  const std::vector<std::string> head = {"<mapdata_bin_chip_count>", "2 2",
                                         "</mapdata_bin_chip_count>", "<mapdata_bin_data>"};
  const auto with = [&](std::vector<std::string> before, std::vector<std::string> after) {
    before.insert(before.end(), head.begin(), head.end());
    before.insert(before.end(), after.begin(), after.end());
    return before;
  };
  const std::vector<Case> cases = {
      {"no version", with({}, {"1", "2", "3", "4", "</mapdata_bin_data>"}), {1, 2, 3, 4}},
      {"every cell, then the end of the file",
       with({"<version>", "1.41", "</version>"}, {"1", "2", "3", "4"}),
       {1, 2, 3, 4}},
      {"every cell, then another section",
       with({}, {"1", "2", "3", "4", "<bmp1_name>", "a.png", "</bmp1_name>"}),
       {1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Read(Join(c.lines))) << c.what;
    EXPECT_EQ(document.grid.cells, c.cells) << c.what;
  }
  EXPECT_EQ(document.fileList.names[0], "a.png");
  // Cells missing at the end of the file are damage, not a smaller map.
  EXPECT_FALSE(Read(Join(with({}, {"1", "2"}))));
  messages.shown.clear();
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(TextReaderTest, NeedsTheKvExtension) {
  EXPECT_FALSE(Read(Minimal(), "doc.txt"));
  EXPECT_TRUE(Read(Minimal(), "doc.Kv"));
}

class TextWriterTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  SmallDocument small;
  test::RecordingMessages messages;
};

TEST_F(TextWriterTest, SavesWithAnyExtensionAndRecordsThePath) {
  const std::string path = dir.File("level1.txt");
  ASSERT_TRUE(WriteTextDocument(path, small.document, small.sheets, messages));
  const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), Join(SmallDocumentLines));
  EXPECT_EQ(small.document.documentPath, path);
  EXPECT_EQ(messages.waitDepth, 0);
  EXPECT_EQ(messages.waitCount, 1);
}

TEST_F(TextWriterTest, AFailedSaveKeepsTheOldFileAndPath) {
  const std::string path = dir.File("old.kv");
  test::WriteFileText(path, "previous content");
  small.document.documentPath = "/maps/old.kv";
  // A folder in the way of the file: it cannot be created.
  const std::string blocked = dir.File("blocked.kv");
  std::filesystem::create_directory(blocked);
  EXPECT_FALSE(WriteTextDocument(blocked, small.document, small.sheets, messages));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "ファイルを作成できません");
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(small.document.documentPath, "/maps/old.kv");
  const std::vector<uint8_t> old = test::ReadFileBytes(path);
  EXPECT_EQ(std::string(old.begin(), old.end()), "previous content");
}

TEST_F(TextWriterTest, RefusesNamesThatWouldNotReadBackAsWritten) {
  for (const char* name : {"two\nlines.png", "cr\r.png", "<bmp2>", "</bmp1_name>"}) {
    for (bool inFileList : {false, true}) {
      SmallDocument document;
      (inFileList ? document.document.fileList.names[1] : document.sheets.sheets[1].fileName) =
          name;
      test::RecordingMessages failed;
      const std::string path = dir.File("names.kv");
      EXPECT_FALSE(WriteTextDocument(path, document.document, document.sheets, failed)) << name;
      EXPECT_FALSE(std::filesystem::exists(path)) << name;
      ASSERT_EQ(failed.shown.size(), 1u);
      EXPECT_EQ(failed.shown[0].text, "ファイルを保存できません");
    }
  }
  // The binary form stores names by length and takes them all.
  small.document.fileList.names[1] = "two\nlines.png";
  EXPECT_TRUE(WriteBinaryDocument(dir.File("names.kv"), small.document, small.sheets, messages));
}

TEST(TextAndBinaryForms, ConvertBackAndForthWithoutLoss) {
  SmallDocument small;
  VectorByteSink firstBinary;
  SerializeBinaryDocument(firstBinary, small.document, small.sheets);

  const ParseResult fromBinary = ParseBinaryDocument(firstBinary.bytes);
  ASSERT_EQ(fromBinary.status, ParseStatus::Ok);
  MapDocument middle;
  ChipSheetTable middleSheets = small.sheets;
  SelectionState selection;
  StagedDocument staged = fromBinary.document;
  CommitStagedDocument(std::move(staged), middle, middleSheets, selection);
  const std::string text = Serialize(middle, middleSheets);

  const ParseResult fromText =
      ParseTextDocument(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  ASSERT_EQ(fromText.status, ParseStatus::Ok) << fromText.reason;
  MapDocument last;
  ChipSheetTable lastSheets = small.sheets;
  staged = fromText.document;
  CommitStagedDocument(std::move(staged), last, lastSheets, selection);
  VectorByteSink secondBinary;
  SerializeBinaryDocument(secondBinary, last, lastSheets);
  EXPECT_EQ(secondBinary.bytes, firstBinary.bytes);
}

}  // namespace
}  // namespace kelvor
