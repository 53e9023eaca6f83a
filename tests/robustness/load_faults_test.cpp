// Chip-set folders as users have them: files that change while we scan,
// files that cannot be read, things that are not images at all, and images
// too small or far too large. The scan must finish, keep every good sheet
// and never take memory a header merely claims.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <QString>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "document/chip_sheet_loader.h"
#include "fault_support.h"
#include "files/open_document.h"
#include "platform/bmp32.h"
#include "platform/qt/qt_image_codec.h"
#include "support/byte_builder.h"
#include "support/temp_dir.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

void SavePng(const std::string& path, int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(qRgba(10, 20, 30, 255));
  ASSERT_TRUE(image.save(QString::fromStdString(path), "PNG"));
}

uint32_t Crc32(const std::vector<uint8_t>& bytes, size_t from) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = from; i < bytes.size(); ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// A PNG signature and a well-formed IHDR announcing width x height 8-bit
// RGBA pixels, followed by an IDAT of a few zero bytes: all a header needs
// to claim a huge picture.
std::vector<uint8_t> PngHeaderClaiming(uint32_t width, uint32_t height) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const auto be32 = [&](uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<uint8_t>(v >> shift));
  };
  be32(13);
  const size_t typeAt = png.size();
  png.insert(png.end(), {'I', 'H', 'D', 'R'});
  be32(width);
  be32(height);
  png.insert(png.end(), {8, 6, 0, 0, 0});
  be32(Crc32(std::vector<uint8_t>(png.begin() + static_cast<ptrdiff_t>(typeAt), png.end()), 0));
  be32(4);
  const size_t idatAt = png.size();
  png.insert(png.end(), {'I', 'D', 'A', 'T', 0x78, 0x9C, 0, 0});
  be32(Crc32(std::vector<uint8_t>(png.begin() + static_cast<ptrdiff_t>(idatAt), png.end()), 0));
  return png;
}

// The header of a BMP of the given depth claiming width x height, no pixels.
std::vector<uint8_t> BmpHeaderClaiming(int32_t width, int32_t height, int bits) {
  test::ByteBuilder b;
  b.Text("BM").I32(54).I32(0).I32(54);
  b.I32(40).I32(width).I32(height).Raw({1, 0, static_cast<uint8_t>(bits), 0}).I32(0).I32(0);
  b.I32(2835).I32(2835).I32(0).I32(0);
  return b.bytes;
}

// A decoder that lets a test change a file just before it is read: the
// moment between the folder listing and the decoding of one file.
class RacingDecoder : public ImageDecoder {
 public:
  bool Decode(const std::string& path, PixelBuffer& out) override {
    const std::string name = fs::path(path).filename().string();
    if (const auto it = before.find(name); it != before.end()) it->second(path);
    return real.Decode(path, out);
  }
  std::map<std::string, std::function<void(const std::string&)>> before;
  QtImageDecoder real;
};

std::vector<std::string> LoadedNames(const ChipSheetTable& sheets) {
  std::vector<std::string> names;
  for (int32_t i = 0; i < sheets.sheetCount; ++i) {
    names.push_back(sheets.sheets[static_cast<size_t>(i)].fileName);
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(LoadFaults, SheetsThatVanishOrChangeDuringTheScan) {
  test::TempDir dir;
  SavePng(dir.File("stays.png"), 64, 32);
  SavePng(dir.File("vanishes.png"), 64, 32);
  SavePng(dir.File("grows.png"), 64, 32);
  SavePng(dir.File("turns_to_text.png"), 64, 32);
  RacingDecoder decoder;
  decoder.before["vanishes.png"] = [](const std::string& path) { fs::remove(path); };
  decoder.before["grows.png"] = [](const std::string& path) { SavePng(path, 96, 64); };
  decoder.before["turns_to_text.png"] = [](const std::string& path) {
    test::WriteFileText(path, "not an image any more");
  };

  ChipSheetTable sheets;
  ScanChipFolder(sheets, "", dir.path().string(), decoder);

  EXPECT_EQ(LoadedNames(sheets), (std::vector<std::string>{"grows.png", "stays.png"}));
  for (int32_t i = 0; i < sheets.sheetCount; ++i) {
    const ChipSheet& sheet = sheets.sheets[static_cast<size_t>(i)];
    // What was read is what the sheet describes, whatever the listing saw.
    EXPECT_EQ(sheet.width, sheet.bitmap.width);
    EXPECT_EQ(sheet.chipColumns, sheet.fileName == "grows.png" ? 3 : 2);
    EXPECT_EQ(sheet.chipFlags->size(), sheet.FlagBlockSize());
  }
}

TEST(LoadFaults, ASheetWhoseFileVanishedAfterTheScanStillOpensDocuments) {
  // The open sequence works from the images in memory, so a chip-set file
  // removed after the scan changes nothing about the document it draws.
  test::TempDir dir;
  SavePng(dir.File("tiles.png"), 64, 64);
  QtImageDecoder decoder;
  ChipSheetTable sheets;
  ScanChipFolder(sheets, "", dir.path().string(), decoder);
  ASSERT_EQ(sheets.sheetCount, 1);
  fs::remove(dir.File("tiles.png"));

  MapDocument document;
  CreateChipAtlases(document);
  document.fileList.names[0] = "TILES.PNG";
  document.tables[0].entries[1] = {1, 0, 1, 1, 0};
  MissingImageList missing{};
  const uint64_t revision = document.tables[0].atlasRevision;
  RebuildChipAtlases(document, sheets, missing);
  EXPECT_FALSE(missing[0]);
  EXPECT_EQ(document.tables[0].atlas.At(32, 0)[3], 255);  // slot 1 drawn
  EXPECT_NE(document.tables[0].atlasRevision, revision);
}

TEST(LoadFaults, FilesThatCannotBeReadAreSkippedWithoutHanging) {
  // Run in a child with an alarm: a scan that blocks on a pipe must fail
  // the test, not hang the suite.
  test::TempDir dir;
  SavePng(dir.File("good.png"), 32, 32);
  ASSERT_EQ(::mkfifo(dir.File("pipe.png").c_str(), 0644), 0);
  fs::create_symlink("/proc/self/mem", dir.File("memory.png"));  // every read fails
  fs::create_symlink(dir.File("nowhere.png"), dir.File("dangling.png"));
  fs::create_directory(dir.File("folder.png"));
  test::WriteFileBytes(dir.File("locked.png"), {});
  ::chmod(dir.File("locked.png").c_str(), 0);  // only stops non-root runs

  const int status = test::RunWithMemoryBudget(uint64_t{1} << 40, [&] {
    ::alarm(20);
    QtImageDecoder decoder;
    ChipSheetTable sheets;
    ScanChipFolder(sheets, "", dir.path().string(), decoder);
    if (sheets.sheetCount != 1) return 1;
    return sheets.sheets[0].fileName == "good.png" ? 0 : 2;
  });
  EXPECT_EQ(status, 0) << "-1: killed (a read blocked or crashed), 1/2: wrong sheets";
}

TEST(LoadFaults, AFolderOfThreeHundredMostlyNonImageFiles) {
  test::TempDir dir;
  std::vector<std::string> images;
  for (int i = 0; i < 300; ++i) {
    const std::string name = test::Numbered("f", 1000 + i);
    switch (i % 6) {
      case 0:
        SavePng(dir.File(name + ".png"), 32 * (1 + i % 4), 32);
        images.push_back(name + ".png");
        break;
      case 1:
        test::WriteFileText(dir.File(name + ".txt"), "notes " + name);
        break;
      case 2:
        test::WriteFileBytes(dir.File(name + ".png"), {});  // zero bytes
        break;
      case 3:
        test::WriteFileBytes(dir.File(name + ".bmp"), {'B', 'M', 1, 2, 3});  // cut short
        break;
      case 4:
        test::WriteFileBytes(dir.File(name + ".png"), {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A});
        break;
      default:
        test::WriteFileText(dir.File(name), std::string(5000, static_cast<char>(i)));
        break;
    }
  }
  QtImageDecoder decoder;
  ChipSheetTable sheets;
  ScanChipFolder(sheets, "", dir.path().string(), decoder);
  std::sort(images.begin(), images.end());
  EXPECT_EQ(LoadedNames(sheets), images);
  for (int32_t i = sheets.sheetCount; i < ChipSheetSlots; ++i) {
    EXPECT_FALSE(sheets.sheets[static_cast<size_t>(i)].HasBitmap());
  }
}

TEST(LoadFaults, TinyAndEmptyImages) {
  test::TempDir dir;
  QtImageDecoder decoder;
  PixelBuffer out;

  test::WriteFileBytes(dir.File("zero.png"), {});
  EXPECT_FALSE(decoder.Decode(dir.File("zero.png"), out));
  EXPECT_TRUE(out.Empty());

  // A 1 x 1 sheet loads but holds no whole chip: nothing can be taken from
  // it, and a document chip that names it is drawn empty, not reported.
  SavePng(dir.File("dot.png"), 1, 1);
  ChipSheetTable sheets;
  ScanChipFolder(sheets, "", dir.path().string(), decoder);
  ASSERT_EQ(sheets.sheetCount, 1);
  const ChipSheet& dot = sheets.sheets[0];
  EXPECT_EQ(dot.fileName, "dot.png");
  EXPECT_EQ(dot.chipColumns, 0);
  EXPECT_EQ(dot.chipRows, 0);
  EXPECT_TRUE(dot.HasFlags());
  EXPECT_TRUE(InitLayerFlags(sheets.sheets[0]));

  MapDocument document;
  CreateChipAtlases(document);
  document.fileList.names[0] = "dot.png";
  document.tables[0].entries[1] = {1, 0, 0, 0, 0};
  MissingImageList missing{};
  RebuildChipAtlases(document, sheets, missing);
  EXPECT_FALSE(missing[0]);
  EXPECT_EQ(
      std::count(document.tables[0].atlas.pixels.begin(), document.tables[0].atlas.pixels.end(), 0),
      static_cast<ptrdiff_t>(document.tables[0].atlas.pixels.size()));
}

// Images of 20000 x 20000 pixels (1.6 GB decoded) are refused from their
// header, before any pixel memory is taken; the side limit is 16384.
TEST(LoadFaults, HugeImagesAreRefusedFromTheirHeader) {
  test::TempDir dir;
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {"huge.png", PngHeaderClaiming(20000, 20000)},
      {"wide.png", PngHeaderClaiming(20000, 1)},
      {"huge32.bmp", BmpHeaderClaiming(20000, 20000, 32)},
      {"huge32_top_down.bmp", BmpHeaderClaiming(20000, -20000, 32)},
      {"huge24.bmp", BmpHeaderClaiming(20000, 20000, 24)},
      {"huge8.bmp", BmpHeaderClaiming(20000, 20000, 8)},
  };
  for (const Case& c : cases) test::WriteFileBytes(dir.File(c.name), c.bytes);
  SavePng(dir.File("fine.png"), 64, 32);

  // 256 MiB is far below any of the claimed pictures.
  const int status = test::RunWithMemoryBudget(
      test::AddressSpaceLimitsWork ? uint64_t{256} << 20 : uint64_t{1} << 44, [&] {
        QtImageDecoder decoder;
        for (const Case& c : cases) {
          PixelBuffer out;
          if (decoder.Decode(dir.File(c.name), out) || !out.Empty()) return 1;
        }
        ChipSheetTable sheets;
        ScanChipFolder(sheets, "", dir.path().string(), decoder);
        if (sheets.sheetCount != 1 || sheets.sheets[0].fileName != "fine.png") return 2;
        return 0;
      });
  EXPECT_EQ(status, 0) << "1: a huge image was accepted, 2: wrong sheets, -1/102: out of memory";
}

}  // namespace
}  // namespace kelvor
