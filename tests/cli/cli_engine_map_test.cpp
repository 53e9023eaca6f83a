// Maps from other editors through kelvor-cli: converted and described like
// documents, refused with a reason, and our own exports coming back whole.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "editing/bulk_operations.h"
#include "editing/undo_history.h"
#include "files/open_document.h"
#include "support/cli_runner.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "workspace/workspace.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

class CliEngineMapTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directory(dir.path() / "chips"); }

  int Run(const std::vector<std::string>& args) {
    test::CliRun run = test::RunCli(dir, args);
    stdoutText = std::move(run.out);
    stderrText = std::move(run.err);
    return run.status;
  }

  // A document as the editor holds it after a save: read, then optimised.
  bool Load(const std::string& path, Workspace& ws) {
    ws.folders.chipFolder = dir.File("chips");
    test::RecordingMessages messages;
    OpenRefresh refresh;
    if (!OpenDocument(ws, path, messages, refresh)) return false;
    OptimizeChipSet(ws.document, ws.undo);
    return true;
  }

  test::TempDir dir;
  std::string stdoutText;
  std::string stderrText;
};

TEST_F(CliEngineMapTest, ConvertsAndDescribesAMapAndRefusesWithAReason) {
  QImage tiles(64, 32, QImage::Format_ARGB32);
  tiles.fill(qRgba(0, 0, 255, 255));
  ASSERT_TRUE(tiles.save(QString::fromStdString(dir.File("tiles.png")), "PNG"));
  test::WriteFileText(dir.File("stage.tmx"), R"(<?xml version="1.0"?>
<map orientation="orthogonal" width="2" height="1" tilewidth="32" tileheight="32">
 <tileset firstgid="1" name="t" tilewidth="32" tileheight="32" tilecount="2" columns="2"><image source="tiles.png"/></tileset>
 <layer name="a"><data encoding="csv">2,1</data></layer>
</map>)");
  ASSERT_EQ(Run({"info", dir.File("stage.tmx"), "--chips", dir.File("chips")}), 0) << stderrText;
  EXPECT_NE(stdoutText.find("form: tmx\n"), std::string::npos) << stdoutText;
  EXPECT_NE(stdoutText.find("map: 2 x 1\n"), std::string::npos);
  EXPECT_NE(stdoutText.find("images to copy: 1\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir.path() / "chips" / "tiles.png"));

  ASSERT_EQ(Run({"convert", dir.File("stage.tmx"), dir.File("out.kv"), "--to", "binary", "--chips",
                 dir.File("chips")}),
            0)
      << stderrText;
  EXPECT_TRUE(fs::exists(dir.path() / "chips" / "tiles.png"));
  Workspace ws;
  ASSERT_TRUE(Load(dir.File("out.kv"), ws));
  EXPECT_EQ(*ws.document.grid.cells, (std::vector<MapCell>{2, 1}));
  EXPECT_EQ(ws.document.fileList.names[0], "tiles.png");
  EXPECT_EQ(ws.document.tables[0].entries[2], (ChipEntry{1, 0, 1, 0, 0}));

  test::WriteFileText(
      dir.File("iso.tmx"),
      R"(<map orientation="isometric" width="1" height="1" tilewidth="32" tileheight="16"/>)");
  EXPECT_EQ(Run({"convert", dir.File("iso.tmx"), dir.File("iso.kv"), "--to", "text"}), 1);
  EXPECT_EQ(stderrText,
            "kelvor-cli: " + dir.File("iso.tmx") + ": only orthogonal maps are read (isometric)\n");
  EXPECT_FALSE(fs::exists(dir.path() / "iso.kv"));
}

// Every document of the corpus, exported in each form and encoding and
// converted back, has the same cells, chips and flags once both sides are
// optimised.
TEST_F(CliEngineMapTest, OurExportsComeBackWhole) {
  int documents = 0;
  for (const char* folder : {"binary_document", "text_document", "open_document"}) {
    for (const fs::directory_entry& file :
         fs::directory_iterator(fs::path(KELVOR_SOURCE_DIR) / "fuzz" / "corpus" / folder)) {
      Workspace original;
      if (!Load(file.path().string(), original) || !original.document.grid.Exists() ||
          original.document.grid.CellCount() == 0) {
        continue;
      }
      ++documents;
      // The chip files the document names, large enough for every chip.
      for (const std::string& name : original.document.fileList.names) {
        if (name.empty() || fs::exists(dir.path() / "chips" / name)) continue;
        QImage sheet(1024, 1024, QImage::Format_ARGB32);
        sheet.fill(qRgba(10, 20, 30, 255));
        ASSERT_TRUE(sheet.save(QString::fromStdString(dir.File("chips/" + name)), "PNG"));
      }
      for (const auto& [form, encoding] : std::vector<std::pair<std::string, std::string>>{
               {"tmx", "csv"}, {"tmx", "zlib"}, {"tmj", "csv"}, {"tmj", "zlib"}}) {
        SCOPED_TRACE(file.path().string() + " " + form + " " + encoding);
        const std::string map = dir.File("map." + form);
        ASSERT_EQ(Run({"convert", file.path().string(), map, "--to", form, "--encoding", encoding,
                       "--chips", dir.File("chips")}),
                  0)
            << stderrText;
        ASSERT_EQ(Run({"convert", map, dir.File("back.kv"), "--to", "binary", "--chips",
                       dir.File("chips")}),
                  0)
            << stderrText;
        EXPECT_EQ(stderrText.find("copied"), std::string::npos) << stderrText;
        Workspace back;
        ASSERT_TRUE(Load(dir.File("back.kv"), back));
        const MapGrid& a = original.document.grid;
        const MapGrid& b = back.document.grid;
        ASSERT_EQ(std::tie(a.width, a.height), std::tie(b.width, b.height));
        // What a game sees of a cell: both chips and the four lasting flags.
        constexpr MapCell Lasting = 0x00FF17FF;
        for (size_t i = 0; i < a.CellCount(); ++i) {
          ASSERT_EQ((*a.cells)[i] & Lasting, (*b.cells)[i]) << "cell " << i;
        }
        for (int level = 0; level < 2; ++level) {
          // The background table's chips carry the collision attribute only.
          const uint8_t kept = level == 0 ? EntryFlagCollision : 0xFF;
          for (int32_t n = 1; n < ChipTableSlots; ++n) {
            const ChipEntry& x = original.document.tables[level].entries[static_cast<size_t>(n)];
            const ChipEntry& y = back.document.tables[level].entries[static_cast<size_t>(n)];
            ASSERT_EQ(x.used, y.used) << "level " << level << " slot " << n;
            if (x.used == 0) continue;
            EXPECT_EQ(original.document.fileList.names[static_cast<size_t>(x.file)],
                      back.document.fileList.names[static_cast<size_t>(y.file)]);
            EXPECT_EQ(std::tie(x.column, x.row), std::tie(y.column, y.row));
            EXPECT_EQ(x.attributes & kept, y.attributes);
          }
        }
      }
    }
  }
  EXPECT_GE(documents, 3);
}

}  // namespace
}  // namespace kelvor
