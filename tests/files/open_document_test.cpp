#include "files/open_document.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "document/chip_sheet_loader.h"
#include "files/binary_document.h"
#include "files/text_document.h"
#include "support/fake_image_decoder.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "workspace/workspace.h"

namespace kelvor {
namespace {

const std::string Sep(1, static_cast<char>(std::filesystem::path::preferred_separator));

// A 64 x 64 sheet whose chip (c, r) has blue = 10 * (c + 2 r) + 1 and whose
// chip (1, 1) is half transparent.
PixelBuffer NumberedSheet() {
  PixelBuffer image = test::SolidImage(64, 64);
  for (int32_t y = 0; y < 64; ++y) {
    for (int32_t x = 0; x < 64; ++x) {
      uint8_t* p = image.At(x, y);
      p[0] = static_cast<uint8_t>(10 * (x / 32 + 2 * (y / 32)) + 1);
      if (x >= 32 && y >= 32) p[0] = 20, p[1] = 0, p[2] = 0, p[3] = 128;
    }
  }
  return image;
}

class OpenDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ws.folders.chipFolder = "/chips";
    decoder.images["tiles.png"] = NumberedSheet();
    decoder.images["Other.png"] = test::SolidImage(32, 32, 0, 0, 255);
    for (const char* name : {"tiles.png", "Other.png"}) {
      ChipSheet& sheet = ws.sheets.sheets[static_cast<size_t>(ws.sheets.sheetCount++)];
      sheet.fileName = name;
      ASSERT_TRUE(LoadChipSheet(sheet, name, true, decoder));
    }
    CreateChipAtlases(ws.document);
  }

  // Writes a document using `names` as its file list and a 2 x 1 map whose
  // cells use background slots 1 and 2 and layer slot 1.
  std::string WriteDocument(const std::vector<ChipEntry>& background,
                            const std::vector<ChipEntry>& layer,
                            const std::vector<std::string>& names, bool textForm = false) {
    MapDocument doc;
    for (size_t i = 0; i < names.size(); ++i) doc.fileList.names[i] = names[i];
    doc.tables[0].entries[0].used = 1;
    doc.tables[1].entries[0].used = 1;
    for (size_t i = 0; i < background.size(); ++i) doc.tables[0].entries[i + 1] = background[i];
    for (size_t i = 0; i < layer.size(); ++i) doc.tables[1].entries[i + 1] = layer[i];
    doc.tables[0].count = static_cast<int32_t>(background.size()) + 1;
    doc.tables[1].count = static_cast<int32_t>(layer.size()) + 1;
    EXPECT_TRUE(doc.grid.Allocate(2, 1));
    doc.grid.At(0, 0) = 1 | (1u << 16);
    doc.grid.At(1, 0) = 2;
    const std::string path = dir.File(textForm ? "doc-text.kv" : "doc.kv");
    ChipSheetTable noSheets;
    test::RecordingMessages writerMessages;
    const bool written = textForm ? WriteTextDocument(path, doc, noSheets, writerMessages)
                                  : WriteBinaryDocument(path, doc, noSheets, writerMessages);
    EXPECT_TRUE(written);
    return path;
  }

  const uint8_t* AtlasPixel(int table, int slot, int x, int y) {
    return ws.document.tables[static_cast<size_t>(table)].atlas.At(32 * (slot % 16) + x,
                                                                   32 * (slot / 16) + y);
  }

  test::TempDir dir;
  test::FakeImageDecoder decoder;
  test::RecordingMessages messages;
  Workspace ws;
  OpenRefresh refresh;
};

TEST_F(OpenDocumentTest, RebuildsAtlasesFromSheetsIgnoringNameCase) {
  const std::string path = WriteDocument({{1, 0, 1, 0, 0}, {1, 1, 0, 0, 0}}, {{1, 0, 1, 1, 0}},
                                         {"TILES.PNG", "other.png"});
  // Stale pixels in a slot the document does not use must go.
  ws.document.tables[0].atlas.At(32 * 5, 0)[0] = 99;
  ws.sheets.sheets[0].transparent = 0;
  (*ws.sheets.sheets[0].chipFlags)[2] = ChipFlagSelected | ChipFlagCollision;
  (*ws.sheets.sheets[0].chipFlags)[9] = ChipFlagSelected;  // stored bytes beyond the chips

  ASSERT_TRUE(OpenDocument(ws, path, messages, refresh));
  EXPECT_TRUE(messages.shown.empty() && refresh.missingImages.empty());
  EXPECT_TRUE(refresh.title && refresh.scrollExtents && refresh.palette);
  EXPECT_EQ(ws.document.documentPath, path);

  EXPECT_EQ(AtlasPixel(0, 1, 0, 0)[0], 11);  // chip (1, 0) of tiles.png
  EXPECT_EQ(AtlasPixel(0, 1, 31, 31)[0], 11);
  EXPECT_EQ(AtlasPixel(0, 2, 3, 3)[2], 255);  // other.png, red
  // Half-transparent chip onto an empty square: an exact copy.
  const uint8_t* half = AtlasPixel(1, 1, 4, 4);
  EXPECT_EQ(std::vector<uint8_t>(half, half + 4), (std::vector<uint8_t>{20, 0, 0, 128}));
  EXPECT_EQ(AtlasPixel(0, 5, 0, 0)[0], 0);
  EXPECT_EQ(AtlasPixel(0, 0, 0, 0)[3], 0);  // slot 0 is never drawn
  // Placement marks of the current sheet are cleared, other flags stay.
  EXPECT_EQ((*ws.sheets.sheets[0].chipFlags)[2], ChipFlagCollision);
  EXPECT_EQ((*ws.sheets.sheets[0].chipFlags)[9], ChipFlagSelected);
}

TEST_F(OpenDocumentTest, ReportsMissingImagesOncePerLoadInIndexOrder) {
  // b.png is listed at index 3 and used twice; tiles.png is present.
  const std::string path = WriteDocument({{1, 3, 0, 0, 0}, {1, 0, 0, 0, 0}, {1, 1, 0, 0, 0}},
                                         {{1, 3, 0, 0, 0}}, {"a.png", "tiles.png", "", "b.png"});
  ASSERT_TRUE(OpenDocument(ws, path, messages, refresh));
  // Left to the caller, who refreshes the windows first.
  EXPECT_TRUE(messages.shown.empty());
  ShowMissingImages(refresh, messages);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "/chips" + Sep + "a.png\n/chips" + Sep + "b.png\n");
  EXPECT_EQ(messages.shown[0].caption, texts::MissingImagesCaption);
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::None);
  MissingImageList expected{};
  expected[0] = expected[3] = true;
  EXPECT_EQ(FindMissingImages(ws.document, ws.sheets), expected);
  // Missing chips stay in the tables, their squares empty.
  EXPECT_EQ(ws.document.tables[0].entries[1].used, 1);
  EXPECT_EQ(AtlasPixel(0, 1, 0, 0)[3], 0);
  EXPECT_EQ(AtlasPixel(0, 3, 0, 0)[0], 1);
}

TEST_F(OpenDocumentTest, ChipOutsideItsImageStaysEmptyAndIsNotMissing) {
  // other.png is 32 x 32: column 1 lies outside; tiles.png has no row 5.
  const std::string path = WriteDocument({{1, 1, 1, 0, 0}, {1, 0, 0, 5, 0}, {1, 0, 1, 1, 0}}, {},
                                         {"tiles.png", "other.png"});
  ASSERT_TRUE(OpenDocument(ws, path, messages, refresh));
  EXPECT_TRUE(messages.shown.empty() && refresh.missingImages.empty());
  EXPECT_EQ(AtlasPixel(0, 1, 0, 0)[3], 0);
  EXPECT_EQ(AtlasPixel(0, 2, 0, 0)[3], 0);
  EXPECT_EQ(AtlasPixel(0, 3, 0, 0)[3], 128);
}

TEST_F(OpenDocumentTest, TextFormAppliesTheColourKeyToEverySheet) {
  ws.sheets.sheets[1].transparent = 1;
  ws.sheets.sheets[1].transparentColor = Rgb(255, 0, 0);
  const std::string path = WriteDocument({{1, 1, 0, 0, 0}}, {}, {"tiles.png", "Other.png"}, true);
  ASSERT_TRUE(OpenDocument(ws, path, messages, refresh));
  // The document stores no settings for the sheets, so their own key holds.
  EXPECT_EQ(ws.sheets.sheets[1].bitmap.At(0, 0)[3], 0);
  EXPECT_EQ(AtlasPixel(0, 1, 0, 0)[3], 0);
}

TEST_F(OpenDocumentTest, UnreadableFileChangesNothing) {
  const std::string first = WriteDocument({{1, 0, 0, 0, 0}}, {}, {"tiles.png"});
  ASSERT_TRUE(OpenDocument(ws, first, messages, refresh));
  const std::vector<uint8_t> atlasBefore = ws.document.tables[0].atlas.pixels;

  const std::string bad = dir.File("bad.kv");
  test::WriteFileText(bad, "not a document");
  EXPECT_FALSE(OpenDocument(ws, bad, messages, refresh));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, texts::CannotReadFile);
  EXPECT_EQ(messages.shown[0].caption, texts::AppCaption);
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);
  EXPECT_FALSE(refresh.title || refresh.scrollExtents || refresh.palette);
  EXPECT_EQ(ws.document.documentPath, first);
  EXPECT_EQ(ws.document.tables[0].atlas.pixels, atlasBefore);
  EXPECT_EQ(ws.document.grid.width, 2);
}

TEST(MissingImageText, EmptyWhenNothingIsMissing) {
  MissingImageList missing{};
  ChipFileList names;
  names.names[0] = "a.png";
  EXPECT_EQ(MissingImageText(missing, names, "/chips"), "");
}

TEST(InitializeWorkspace, ResetsAndScansTheDefaultFolder) {
  test::TempDir exe;
  std::filesystem::create_directory(exe.path() / "map_chip");
  test::WriteFileText((exe.path() / "map_chip" / "a.png").string(), "x");
  test::FakeImageDecoder decoder;
  decoder.images["a.png"] = test::SolidImage(64, 32);

  Workspace ws;
  ASSERT_TRUE(ws.document.grid.Allocate(3, 3));
  ws.document.documentPath = "old.kv";
  const StartupResult result = InitializeWorkspace(ws, exe.path().string(), decoder);

  EXPECT_TRUE(result.chipFolderExists);
  EXPECT_EQ(ws.folders.chipFolder, exe.path().string() + Sep + "map_chip");
  EXPECT_EQ(ws.sheets.sheetCount, 1);
  ASSERT_EQ(result.sheetMenu.items.size(), 1u);
  EXPECT_EQ(result.sheetMenu.items[0].text, "a.png");
  for (const ChipTable& table : ws.document.tables) {
    EXPECT_EQ(table.atlas.width, 512);
    EXPECT_EQ(table.atlas.height, 512);
    EXPECT_EQ(table.entries[0].used, 1);
    EXPECT_EQ(table.UsedChips(), 0);
  }
  EXPECT_FALSE(ws.document.grid.Exists());
  EXPECT_EQ(ws.document.grid.width, 20);
  EXPECT_EQ(ws.document.grid.height, 15);
  EXPECT_TRUE(ws.document.documentPath.empty());

  test::TempDir empty;
  const StartupResult none = InitializeWorkspace(ws, empty.path().string(), decoder);
  EXPECT_FALSE(none.chipFolderExists);
  EXPECT_EQ(ws.sheets.sheetCount, 0);
}

TEST(InitializeWorkspace, StartsFromTheDefaultsButKeepsColours) {
  Workspace ws;
  ws.display.mapZoom = 2.0f;
  ws.display.paletteZoom = 0.5f;
  ws.display.showLayer = false;
  ws.display.showGrid = false;
  ws.display.mapBackgroundColor = Rgb(1, 2, 3);
  ws.edit.fillMode = true;
  ws.palette.mode = PaletteModeCollision;
  ws.input.mouseEnabled = true;
  ws.selection.selectionRect = {1, 2, 3, 4};
  ws.paste.hasBlock = true;
  ws.paste.blockCells.assign(4, 7);
  ws.document.fileList.names[9] = "x.png";
  ws.document.tables[1].entries[5].used = 1;
  ws.sheets.sheets[7].transparent = 1;
  ws.sheets.currentSheet = 7;
  ws.mapView().visibleColumns = 12;

  test::TempDir exe;
  test::FakeImageDecoder decoder;
  InitializeWorkspace(ws, exe.path().string(), decoder);

  EXPECT_EQ(ws.display.mapZoom, 1.0f);
  EXPECT_EQ(ws.display.paletteZoom, 1.0f);
  EXPECT_TRUE(ws.display.showLayer);
  EXPECT_TRUE(ws.display.showGrid);
  EXPECT_EQ(ws.display.mapBackgroundColor, Rgb(1, 2, 3));
  EXPECT_FALSE(ws.edit.fillMode);
  EXPECT_EQ(ws.palette.mode, PaletteModePlacement);
  EXPECT_FALSE(ws.input.mouseEnabled);
  EXPECT_EQ(ws.selection.selectionRect, (SelectionRect{-1, -1, -1, -1}));
  EXPECT_FALSE(ws.paste.hasBlock);
  EXPECT_TRUE(ws.paste.blockCells.empty());
  EXPECT_EQ(ws.document.fileList.UsedNames(), 0);
  EXPECT_EQ(ws.document.tables[1].entries[5].used, 0);
  EXPECT_EQ(ws.sheets.sheets[7].transparent, 0);
  EXPECT_EQ(ws.sheets.currentSheet, 0);
  EXPECT_EQ(ws.mapView().visibleColumns, 0);
}

}  // namespace
}  // namespace kelvor
