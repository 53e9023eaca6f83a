#include "document/chip_sheet_loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "platform/image_codec.h"
#include "support/fake_image_decoder.h"
#include "support/temp_dir.h"

namespace kelvor {
namespace {

using test::SolidImage;

class ChipSheetScanTest : public ::testing::Test {
 protected:
  void AddFile(const std::string& name, std::optional<PixelBuffer> image) {
    test::WriteFileText(dir.File(name), "x");
    if (image) decoder.images[name] = *image;
  }
  // File names in the order the file system lists them.
  std::vector<std::string> ListingOrder() {
    std::vector<FolderEntry> entries;
    EXPECT_TRUE(ListFolderEntries(dir.path().string(), entries));
    std::vector<std::string> names;
    for (const FolderEntry& e : entries) {
      if (!e.directory) names.push_back(e.name);
    }
    return names;
  }
  SheetMenu Scan() { return ScanChipFolder(sheets, "/nowhere", dir.path().string(), decoder); }

  test::TempDir dir;
  test::FakeImageDecoder decoder;
  ChipSheetTable sheets;
};

TEST_F(ChipSheetScanTest, OffersEveryFileSkipsFoldersAndFailures) {
  AddFile("a.png", SolidImage(64, 32));
  AddFile("readme.txt", std::nullopt);
  AddFile("b.png", SolidImage(32, 32));
  AddFile("c.png", SolidImage(32, 64));
  std::filesystem::create_directory(dir.path() / "sub.png");
  decoder.images["sub.png"] = SolidImage(32, 32);

  const SheetMenu menu = Scan();

  std::vector<std::string> expected;
  for (const std::string& name : ListingOrder()) {
    if (name != "readme.txt") expected.push_back(name);
  }
  ASSERT_EQ(sheets.sheetCount, 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(sheets.sheets[static_cast<size_t>(i)].fileName, expected[static_cast<size_t>(i)]);
    EXPECT_TRUE(sheets.sheets[static_cast<size_t>(i)].Loaded());
  }
  // The text file was offered to the decoder, the folder never was.
  EXPECT_EQ(decoder.requested.size(), 4u);
  for (const std::string& path : decoder.requested) {
    EXPECT_NE(std::filesystem::path(path).filename(), "sub.png");
    EXPECT_EQ(std::filesystem::path(path).parent_path(), dir.path());
  }
  EXPECT_EQ(menu.items.size(), 3u);
}

TEST_F(ChipSheetScanTest, NeverOpensPipesOrDevices) {
  AddFile("a.png", SolidImage(32, 32));
  ASSERT_EQ(::mkfifo(dir.File("pipe.png").c_str(), 0600), 0);
  decoder.images["pipe.png"] = SolidImage(32, 32);
  Scan();
  EXPECT_EQ(sheets.sheetCount, 1);
  EXPECT_EQ(sheets.sheets[0].fileName, "a.png");
  EXPECT_EQ(decoder.requested.size(), 1u);
}

TEST_F(ChipSheetScanTest, StopsAtTwoHundredFiftySixSheetsAndRescansCleanly) {
  for (int i = 0; i < 300; ++i) AddFile(test::Numbered("s", i, ".png"), SolidImage(32, 32));
  Scan();
  const SheetMenu menu = Scan();
  EXPECT_EQ(sheets.sheetCount, 256);
  EXPECT_EQ(decoder.requested.size(), 512u);  // the walk stops after the 256th sheet
  ASSERT_EQ(menu.items.size(), 256u);
  std::set<int32_t> commands;
  std::set<std::string> names;
  for (const SheetMenuItem& item : menu.items) {
    commands.insert(item.command);
    names.insert(item.text);
  }
  EXPECT_EQ(commands.size(), 256u);
  EXPECT_EQ(names.size(), 256u);
  EXPECT_EQ(*commands.begin(), 40036);
  EXPECT_EQ(*commands.rbegin(), 40291);
}

TEST_F(ChipSheetScanTest, FillsTheSlotsAsLoadingOneFileAfterTheOtherDoes) {
  // Files decoded on several threads at once must land as a walk through
  // the listing would put them: failures anywhere, at the end, and in
  // numbers that leave slots for a second round of files.
  struct Case {
    int files;
    bool (*fails)(size_t index);
  };
  for (const Case& c : {Case{40, [](size_t i) { return i % 3 == 1 || i == 39; }},
                        Case{300, [](size_t i) { return i < 60 || i % 7 == 0; }}}) {
    SCOPED_TRACE(c.files);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      std::filesystem::remove(entry.path());
    }
    decoder.images.clear();
    for (int i = 0; i < c.files; ++i) test::WriteFileText(dir.File(test::Numbered("f", i)), "x");
    const std::vector<std::string> listing = ListingOrder();
    for (size_t i = 0; i < listing.size(); ++i) {
      if (c.fails(i)) continue;
      const auto columns = static_cast<int32_t>(1 + i % 3);
      PixelBuffer image =
          SolidImage(32 * columns + 5 * static_cast<int32_t>(i % 2),
                     32 * static_cast<int32_t>(1 + i % 2), 10, 20, static_cast<uint8_t>(i));
      image.At(32 * static_cast<int32_t>(i % columns), 3)[3] = 254;  // one translucent chip
      decoder.images[listing[i]] = image;
    }

    ChipSheetTable walked;
    int32_t count = 0;
    for (const std::string& name : listing) {
      ChipSheet& sheet = walked.sheets[static_cast<size_t>(count)];
      sheet.fileName = name;
      if (LoadChipSheet(sheet, dir.File(name), true, decoder) && ++count == ChipSheetSlots) break;
    }
    Scan();
    ASSERT_EQ(sheets.sheetCount, count);
    for (size_t slot = 0; slot < sheets.sheets.size(); ++slot) {
      const ChipSheet& got = sheets.sheets[slot];
      const ChipSheet& want = walked.sheets[slot];
      ASSERT_EQ(got.fileName, want.fileName) << slot;
      EXPECT_EQ(got.chipColumns, want.chipColumns) << slot;
      EXPECT_EQ(got.chipRows, want.chipRows) << slot;
      EXPECT_EQ(got.bitmap.pixels, want.bitmap.pixels) << slot;
      EXPECT_EQ(got.chipFlags, want.chipFlags) << slot;
    }
  }
}

TEST_F(ChipSheetScanTest, FailedFileGivesItsSlotToTheNext) {
  AddFile("a.png", SolidImage(32, 32));
  AddFile("b.png", std::nullopt);
  AddFile("c.png", SolidImage(32, 32));
  Scan();
  ASSERT_EQ(sheets.sheetCount, 2);
  EXPECT_NE(sheets.sheets[0].fileName, "b.png");
  EXPECT_NE(sheets.sheets[1].fileName, "b.png");
  EXPECT_FALSE(sheets.sheets[2].HasBitmap());
}

TEST_F(ChipSheetScanTest, RescanKeepsSlotTransparencyButFreesImages) {
  AddFile("a.png", SolidImage(32, 32));
  AddFile("b.png", SolidImage(32, 32));
  Scan();
  sheets.sheets[0].transparent = 1;
  sheets.sheets[0].transparentColor = Rgb(1, 2, 3);
  sheets.currentSheet = 1;
  std::filesystem::remove(dir.File("b.png"));
  Scan();
  EXPECT_EQ(sheets.sheetCount, 1);
  EXPECT_EQ(sheets.currentSheet, 0);
  EXPECT_EQ(sheets.sheets[0].transparent, 1);
  EXPECT_EQ(sheets.sheets[0].transparentColor, Rgb(1, 2, 3));
  // The emptied slot keeps its stale size but holds no image or flags.
  EXPECT_EQ(sheets.sheets[1].chipColumns, 1);
  EXPECT_FALSE(sheets.sheets[1].HasBitmap());
  EXPECT_FALSE(sheets.sheets[1].HasFlags());
}

TEST_F(ChipSheetScanTest, MissingFolderGivesNoSheets) {
  sheets.sheetCount = 2;  // from an earlier scan
  const SheetMenu menu = ScanChipFolder(sheets, "/nowhere", dir.File("does-not-exist"), decoder);
  EXPECT_EQ(sheets.sheetCount, 0);
  EXPECT_TRUE(menu.items.empty());
}

TEST(ChipFolderPath, DefaultsToMapChipBesideTheExecutable) {
  const std::string sep(1, static_cast<char>(std::filesystem::path::preferred_separator));
  EXPECT_EQ(ChipFolderPath("/opt/kelvor", ""), "/opt/kelvor" + sep + "map_chip");
  EXPECT_EQ(ChipFolderPath("/opt/kelvor", "/home/u/chips"), "/home/u/chips");
  EXPECT_EQ(ChipSheetPath("/opt/kelvor", "", "a.png"),
            "/opt/kelvor" + sep + "map_chip" + sep + "a.png");
}

// Beside the program wins; the installed layout (bin/ next to share/) is the
// fallback; with neither, the folder beside the program is named.
TEST(DefaultChipFolder, BesideTheProgramThenTheInstalledChipSet) {
  struct Case {
    const char* name;
    bool beside, installed, besideIsFile;
    const char* expected;  // relative to the temp folder
  };
  const Case cases[] = {
      {"both", true, true, false, "bin/map_chip"},
      {"installed only", false, true, false, "share/kelvor/map_chip"},
      {"a file named map_chip", false, true, true, "share/kelvor/map_chip"},
      {"neither", false, false, false, "bin/map_chip"},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "bin");
    if (c.beside) std::filesystem::create_directories(dir.path() / "bin" / "map_chip");
    if (c.besideIsFile) test::WriteFileText(dir.File("bin/map_chip"), "x");
    if (c.installed) std::filesystem::create_directories(dir.path() / "share/kelvor/map_chip");
    const std::string exe = (dir.path() / "bin").string();
    EXPECT_EQ(DefaultChipFolder(exe), (dir.path() / c.expected).string()) << c.name;
    EXPECT_EQ(ChipFolderPath(exe, ""), DefaultChipFolder(exe)) << c.name;
  }
}

TEST(LoadChipSheet, SizesNotMultipleOf32CutWholeChipsOnly) {
  test::FakeImageDecoder decoder;
  decoder.images["s.png"] = SolidImage(100, 70);
  decoder.images["thin.png"] = SolidImage(31, 300);
  ChipSheet sheet;
  ASSERT_TRUE(LoadChipSheet(sheet, "/f/s.png", true, decoder));
  EXPECT_EQ(sheet.width, 100);
  EXPECT_EQ(sheet.height, 70);
  EXPECT_EQ(sheet.bitsPerPixel, 32);
  EXPECT_EQ(sheet.chipColumns, 3);
  EXPECT_EQ(sheet.chipRows, 2);
  ASSERT_TRUE(sheet.HasFlags());
  EXPECT_EQ(sheet.chipFlags->size(), 24u);

  ASSERT_TRUE(LoadChipSheet(sheet, "/f/thin.png", true, decoder));
  EXPECT_EQ(sheet.chipColumns, 0);
  EXPECT_EQ(sheet.chipRows, 9);
  EXPECT_TRUE(sheet.chipFlags->empty());
}

TEST(LoadChipSheet, ReloadWithoutAllocationKeepsFlagsThatFit) {
  test::FakeImageDecoder decoder;
  decoder.images["s.png"] = SolidImage(64, 32);
  decoder.images["wide.png"] = SolidImage(128, 32);
  ChipSheet sheet;
  ASSERT_TRUE(LoadChipSheet(sheet, "s.png", true, decoder));
  (*sheet.chipFlags)[1] = ChipFlagCollision | ChipFlagSelected;
  (*sheet.chipFlags)[7] = 0x40;  // the unused part of the block is kept too

  ASSERT_TRUE(LoadChipSheet(sheet, "s.png", false, decoder));
  EXPECT_EQ((*sheet.chipFlags)[1], ChipFlagCollision | ChipFlagSelected);
  EXPECT_EQ((*sheet.chipFlags)[7], 0x40);

  // A file replaced by one with more chips: the old block would be read
  // past its end, so the sheet starts afresh.
  ASSERT_TRUE(LoadChipSheet(sheet, "wide.png", false, decoder));
  EXPECT_EQ(sheet.chipColumns, 4);
  EXPECT_EQ(sheet.chipFlags->size(), 16u);
  EXPECT_EQ((*sheet.chipFlags)[1], 0);
}

TEST(LoadChipSheet, FailureDropsTheImageAndKeepsFlags) {
  test::FakeImageDecoder decoder;
  decoder.images["s.png"] = SolidImage(64, 64);
  ChipSheet sheet;
  ASSERT_TRUE(LoadChipSheet(sheet, "s.png", true, decoder));
  (*sheet.chipFlags)[3] = ChipFlagPriority;
  EXPECT_FALSE(LoadChipSheet(sheet, "gone.png", false, decoder));
  EXPECT_FALSE(sheet.HasBitmap());
  EXPECT_EQ(sheet.chipColumns, 0);
  EXPECT_EQ(sheet.chipRows, 0);
  ASSERT_TRUE(sheet.HasFlags());
  EXPECT_EQ((*sheet.chipFlags)[3], ChipFlagPriority);
  // With no image nothing works on the flags.
  EXPECT_FALSE(InitLayerFlags(sheet));
}

TEST(InitLayerFlags, SetsLayerWhereAnyPixelIsBelowOpaque) {
  ChipSheet sheet;
  sheet.bitmap = SolidImage(100, 70);     // 3 x 2 chips, the rest belongs to none
  sheet.bitmap.At(32 + 31, 31)[3] = 254;  // chip (1, 0), its last pixel
  sheet.bitmap.At(96, 5)[3] = 0;          // right of every chip
  sheet.bitmap.At(10, 64)[3] = 0;         // below every chip
  sheet.bitmap.At(64, 32)[3] = 0;         // chip (2, 1), its first pixel
  sheet.width = 100, sheet.height = 70, sheet.bitsPerPixel = 32;
  sheet.chipColumns = 3, sheet.chipRows = 2;
  sheet.chipFlags.emplace(24, uint8_t{0});
  (*sheet.chipFlags)[0] = ChipFlagLayer | ChipFlagCollision;  // stale layer bit goes
  (*sheet.chipFlags)[1] = ChipFlagPriority;

  ASSERT_TRUE(InitLayerFlags(sheet));
  const std::vector<uint8_t> expected = {
      ChipFlagCollision, ChipFlagPriority | ChipFlagLayer, 0, 0, 0, ChipFlagLayer};
  EXPECT_EQ(std::vector<uint8_t>(sheet.chipFlags->begin(), sheet.chipFlags->begin() + 6), expected);
}

TEST(InitLayerFlags, RefusesSheetWithoutImageOrFlags) {
  ChipSheet noImage;
  noImage.chipFlags.emplace(4, uint8_t{0});
  ChipSheet noFlags;
  noFlags.bitmap = SolidImage(32, 32);
  noFlags.bitsPerPixel = 32;
  EXPECT_FALSE(InitLayerFlags(noImage));
  EXPECT_FALSE(InitLayerFlags(noFlags));
}

TEST(ApplyTransparentColor, ClearsExactColourMatchesWhateverTheirAlpha) {
  ChipSheet sheet;
  sheet.bitmap = PixelBuffer::Make(4, 1);
  sheet.bitmap.pixels = {
      0,   0, 255, 255,  // pure red
      255, 0, 0,   255,  // pure blue
      0,   0, 255, 7,    // red bytes with another alpha
      1,   0, 255, 255,  // almost red
  };
  sheet.bitsPerPixel = 32;
  sheet.transparentColor = Rgb(255, 0, 0);

  ApplyTransparentColor(sheet);  // key off: nothing
  EXPECT_EQ(sheet.bitmap.pixels[3], 255);

  sheet.transparent = 1;
  ApplyTransparentColor(sheet);
  EXPECT_EQ(sheet.bitmap.pixels,
            (std::vector<uint8_t>{0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 0, 0, 1, 0, 255, 255}));
}

}  // namespace
}  // namespace kelvor
