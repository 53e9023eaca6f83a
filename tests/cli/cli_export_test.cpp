#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QImage>
#include <QString>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "files/binary_document.h"
#include "platform/bmp32.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace kelvor {
namespace {

std::string Quoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// A chip-set folder of two PNG sheets and a document using them: cell (0, 0)
// has red under a half-transparent blue layer chip, (1, 0) green, (1, 1) only
// the layer chip, (2, 1) a chip whose image is missing.
class CliExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir.path() / "chips");
    QImage a(64, 32, QImage::Format_ARGB32);
    a.fill(qRgba(255, 0, 0, 255));
    for (int y = 0; y < 32; ++y) {
      for (int x = 32; x < 64; ++x) a.setPixel(x, y, qRgba(0, 0, 255, 128));
    }
    ASSERT_TRUE(a.save(QString::fromStdString(dir.File("chips/a.png")), "PNG"));
    QImage b(32, 32, QImage::Format_RGB32);
    b.fill(qRgb(0, 255, 0));
    ASSERT_TRUE(b.save(QString::fromStdString(dir.File("chips/B.png")), "PNG"));
    test::WriteFileText(dir.File("chips/notes.txt"), "not an image");

    MapDocument doc;
    doc.fileList.names[0] = "a.png";
    doc.fileList.names[1] = "b.png";  // the folder spells it B.png
    doc.fileList.names[2] = "gone.png";
    for (ChipTable& table : doc.tables) table.entries[0].used = 1;
    doc.tables[0].entries[1] = {1, 0, 0, 0, 0};
    doc.tables[0].entries[2] = {1, 1, 0, 0, 0};
    doc.tables[0].entries[3] = {1, 2, 0, 0, 0};
    doc.tables[1].entries[1] = {1, 0, 1, 0, 0};
    doc.tables[0].count = 4;
    doc.tables[1].count = 2;
    ASSERT_TRUE(doc.grid.Allocate(3, 2));
    doc.grid.At(0, 0) = 1 | (1u << 16);
    doc.grid.At(1, 0) = 2;
    doc.grid.At(1, 1) = 1u << 16;
    doc.grid.At(2, 1) = 3;
    ChipSheetTable noSheets;
    test::RecordingMessages messages;
    ASSERT_TRUE(WriteBinaryDocument(dir.File("doc.kv"), doc, noSheets, messages));
  }

  // Runs the tool as a build script would: no display, no platform plugin.
  int Run(const std::vector<std::string>& args) {
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                          Quoted(std::string(KELVOR_BIN_DIR) + "/kelvor-cli");
    for (const std::string& arg : args) command += " " + Quoted(arg);
    command += " >" + Quoted(dir.File("stdout")) + " 2>" + Quoted(dir.File("stderr"));
    const int raw = std::system(command.c_str());
    const std::vector<uint8_t> out = test::ReadFileBytes(dir.File("stdout"));
    const std::vector<uint8_t> err = test::ReadFileBytes(dir.File("stderr"));
    stdoutText.assign(out.begin(), out.end());
    stderrText.assign(err.begin(), err.end());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  int Export(const std::string& out, const std::string& what, bool hideLayer = false) {
    std::vector<std::string> args = {"export", dir.File("doc.kv"), dir.File(out),    "--what",
                                     what,     "--chips",          dir.File("chips")};
    if (hideLayer) args.push_back("--hide-layer");
    return Run(args);
  }

  test::TempDir dir;
  std::string stdoutText;
  std::string stderrText;
};

TEST_F(CliExportTest, MapToPngComposesLayersAndWarnsOfMissingImages) {
  ASSERT_EQ(Export("map.png", "map"), 0) << stderrText;
  EXPECT_NE(stderrText.find("gone.png"), std::string::npos);
  const QImage map(QString::fromStdString(dir.File("map.png")), "PNG");
  ASSERT_EQ(map.width(), 96);
  ASSERT_EQ(map.height(), 64);
  const QImage straight = map.convertToFormat(QImage::Format_ARGB32);
  EXPECT_EQ(straight.pixel(5, 5), qRgba(127, 0, 128, 255));  // blue at 128 over red
  EXPECT_EQ(straight.pixel(40, 5), qRgba(0, 255, 0, 255));
  EXPECT_EQ(straight.pixel(40, 40), qRgba(0, 0, 255, 128));
  EXPECT_EQ(qAlpha(straight.pixel(70, 40)), 0);  // missing image: nothing
  EXPECT_EQ(qAlpha(straight.pixel(5, 40)), 0);   // no chip

  ASSERT_EQ(Export("nolayer.png", "map", true), 0) << stderrText;
  const QImage noLayer(QString::fromStdString(dir.File("nolayer.png")), "PNG");
  EXPECT_EQ(noLayer.pixel(5, 5), qRgba(255, 0, 0, 255));
  EXPECT_EQ(qAlpha(noLayer.pixel(40, 40)), 0);
}

TEST_F(CliExportTest, MapToBmpKeepsTheAlpha) {
  ASSERT_EQ(Export("map.bmp", "map"), 0) << stderrText;
  const std::vector<uint8_t> bytes = test::ReadFileBytes(dir.File("map.bmp"));
  PixelBuffer image;
  ASSERT_TRUE(ReadBmp32(bytes.data(), bytes.size(), image));
  ASSERT_EQ(image.width, 96);
  const uint8_t* half = image.At(40, 40);
  EXPECT_EQ(std::vector<uint8_t>(half, half + 4), (std::vector<uint8_t>{255, 0, 0, 128}));
  EXPECT_EQ(image.At(70, 40)[3], 0);
  EXPECT_EQ(image.At(40, 5)[3], 255);
}

TEST_F(CliExportTest, ChipSetsExportAsAtlases) {
  ASSERT_EQ(Export("bg.png", "background"), 0) << stderrText;
  ASSERT_EQ(Export("layer.png", "layer"), 0) << stderrText;
  const QImage bg(QString::fromStdString(dir.File("bg.png")), "PNG");
  const QImage layer(QString::fromStdString(dir.File("layer.png")), "PNG");
  ASSERT_EQ(bg.size(), QSize(512, 512));
  EXPECT_EQ(bg.pixel(32, 0), qRgba(255, 0, 0, 255));
  EXPECT_EQ(bg.pixel(64, 31), qRgba(0, 255, 0, 255));
  EXPECT_EQ(qAlpha(bg.pixel(96, 0)), 0);
  EXPECT_EQ(qAlpha(bg.pixel(0, 0)), 0);
  // Bytes as stored: premultiplied blue 128 at alpha 128 reads back as such.
  EXPECT_EQ(layer.convertToFormat(QImage::Format_ARGB32).pixel(32, 0), qRgba(0, 0, 128, 128));
}

TEST_F(CliExportTest, RefusesBadRequestsWithoutWriting) {
  EXPECT_EQ(Export("out", "map"), 1);
  EXPECT_EQ(Export("out.gif", "map"), 1);
  EXPECT_EQ(Export("out.png", "everything"), 1);
  EXPECT_EQ(Export("out.png", "layer", true), 1);
  EXPECT_EQ(Run({"export", dir.File("doc.kv"), "--what", "map"}), 1);
  test::WriteFileText(dir.File("bad.kv"), "garbage");
  EXPECT_EQ(Run({"export", dir.File("bad.kv"), dir.File("out.png"), "--what", "map"}), 1);
  EXPECT_NE(stderrText.find("bad.kv"), std::string::npos);
  for (const char* name : {"out", "out.gif", "out.png"}) {
    EXPECT_FALSE(std::filesystem::exists(dir.File(name))) << name;
  }
  // An unknown extension still writes, as a BMP, with a warning.
  EXPECT_EQ(Export("out.dat", "map"), 0);
  EXPECT_NE(stderrText.find("BMP"), std::string::npos);
  EXPECT_EQ(test::ReadFileBytes(dir.File("out.dat"))[0], 'B');
}

TEST_F(CliExportTest, MapTooLargeForTheFormatIsRefusedWithTheLimit) {
  MapDocument doc;
  ASSERT_TRUE(doc.grid.Allocate(1025, 1025));  // 32800 x 32800 pixels, past 4 GiB as BMP
  ChipSheetTable noSheets;
  test::RecordingMessages messages;
  ASSERT_TRUE(WriteBinaryDocument(dir.File("wide.kv"), doc, noSheets, messages));
  for (const char* name : {"wide.bmp", "wide.jpg"}) {
    EXPECT_EQ(Run({"export", dir.File("wide.kv"), dir.File(name), "--what", "map"}), 1) << name;
    EXPECT_NE(stderrText.find("32800 x 32800 pixels is too large"), std::string::npos)
        << stderrText;
    EXPECT_FALSE(std::filesystem::exists(dir.File(name))) << name;
  }
  EXPECT_NE(stderrText.find("65535 pixels a side"), std::string::npos) << stderrText;
}

TEST_F(CliExportTest, InfoListsScannedSheetsAndMissingImages) {
  ASSERT_EQ(Run({"info", dir.File("doc.kv"), "--chips", dir.File("chips"), "--json"}), 0);
  // Sheets come in the folder's listing order; compare them as a set.
  EXPECT_NE(stdoutText.find("{\"fileName\":\"a.png\",\"width\":64,\"height\":32,"
                            "\"chipColumns\":2,\"chipRows\":1,\"layerChips\":1}"),
            std::string::npos)
      << stdoutText;
  EXPECT_NE(stdoutText.find("{\"fileName\":\"B.png\",\"width\":32,\"height\":32,"
                            "\"chipColumns\":1,\"chipRows\":1,\"layerChips\":0}"),
            std::string::npos)
      << stdoutText;
  EXPECT_NE(stdoutText.find(",\"missingImages\":[\"gone.png\"]}"), std::string::npos) << stdoutText;
  EXPECT_EQ(stdoutText.find("notes.txt"), std::string::npos);

  ASSERT_EQ(Run({"info", dir.File("doc.kv"), "--chips", dir.File("chips")}), 0);
  EXPECT_NE(stdoutText.find("sheets: 2\n"), std::string::npos) << stdoutText;
  EXPECT_NE(stdoutText.find("missing images: 1\n  gone.png\n"), std::string::npos);
}

}  // namespace
}  // namespace kelvor
