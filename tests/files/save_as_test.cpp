#include "files/save_as.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/fake_image_encoder.h"
#include "support/fakes.h"
#include "support/recording_canvas.h"
#include "support/temp_dir.h"
#include "workspace/workspace.h"

namespace kelvor {
namespace {

TEST(SaveAsExtension, AppendedOnlyWhenTheFileNameHasNoDot) {
  struct Case {
    std::string path;
    int32_t type;
    std::string expected;
  };
  const Case cases[] = {
      {"level1", 3, "level1.bin"},
      {"level1.txt", 2, "level1.txt"},
      {"/home/u/.local/maps/level1", 1, "/home/u/.local/maps/level1.kv"},
      {"/maps/v1.2/stage", 5, "/maps/v1.2/stage.png"},
      {"/maps/v1.2/stage", 6, "/maps/v1.2/stage.bmp"},
      {"/maps/.hidden", 1, "/maps/.hidden"},
      {"stage.", 9, "stage."},
      {"stage", 10, "stage.tmx"},
      {"stage", 11, "stage.tmj"},
      // "All files" has no extension of its own: a lone dot, as the dialog always did.
      {"stage", 12, "stage."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WithDefaultExtension(c.path, c.type), c.expected) << c.path << " type " << c.type;
  }
}

TEST(SaveAsExtension, NameFieldIsRewrittenOnTypeChange) {
  struct Case {
    std::string field;
    int32_t type;
    std::string expected;
  };
  const Case cases[] = {
      {"stage.kv", 5, "stage.png"},
      {"", 5, ""},
      {"stage", 3, "stage.bin"},
      {"stage.old.kv", 4, "stage.old.bmp"},
      {"stage.", 1, "stage.kv"},
      {"stage.kv", 12, "stage."},
      {"stage.kv", 11, "stage.tmj"},
      {"maps.v2/stage", 7, "maps.v2/stage.png"},
      {"maps.v2/stage.kv", 8, "maps.v2/stage.bmp"},
      {"日本語.kv", 3, "日本語.bin"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RewriteNameForType(c.field, c.type), c.expected) << c.field << " type " << c.type;
  }
}

TEST(SaveAsExtension, EveryTypeHasItsPatternExtension) {
  // The pattern and the appended extension must agree, or a saved file
  // would not show up under the type it was saved with.
  for (int32_t type = 1; type <= SaveAsTypeCount; ++type) {
    const SaveAsType& info = SaveAsTypeInfo(type);
    const std::string expected =
        info.defaultExtension.empty() ? "*.*" : "*." + std::string(info.defaultExtension);
    EXPECT_EQ(info.pattern, expected) << type;
    EXPECT_NE(std::string(info.text).find(expected), std::string::npos) << type;
  }
  EXPECT_EQ(SaveAsTypeInfo(0).action, SaveAsAction::Nothing);
  EXPECT_EQ(SaveAsTypeInfo(13).action, SaveAsAction::Nothing);
}

// Plays the dialog: records what it was opened with, answers with `choice`.
class ScriptedChooser : public SaveAsChooser {
 public:
  std::optional<SaveAsChoice> Choose(const std::string& folder, const std::string& name) override {
    ++calls;
    seenFolder = folder;
    seenName = name;
    return choice;
  }
  std::optional<SaveAsChoice> choice;
  std::string seenFolder;
  std::string seenName;
  int calls = 0;
};

class SaveAsFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MapDocument& doc = ws.document;
    doc.grid.Allocate(2, 1);
    *doc.grid.cells = {0x00010203, 0x80000001};
    for (ChipTable& table : doc.tables) {
      table.atlas = PixelBuffer::Make(512, 512);
      table.entries[0].used = 1;
      table.count = 1;
    }
    // Tell the two atlases apart by their first pixel.
    doc.tables[0].atlas.At(0, 0)[0] = 0x11;
    doc.tables[1].atlas.At(0, 0)[0] = 0x22;
  }

  bool Save(std::string path, int32_t type) {
    chooser.choice = SaveAsChoice{std::move(path), type};
    return SaveDocumentAs(ws, chooser, encoder, canvas, messages);
  }

  Workspace ws;
  ScriptedChooser chooser;
  test::FakeImageEncoder encoder;
  CanvasFactory canvas = [](PixelBuffer& target) {
    return std::make_unique<test::RecordingCanvas>(target.width, target.height);
  };
  test::RecordingMessages messages;
  test::TempDir dir;
};

TEST_F(SaveAsFlowTest, DialogOpensOnTheDocumentsFolderAndName) {
  StoreDocumentPath(ws.document, dir.File("stage.kv"));
  EXPECT_FALSE(SaveDocumentAs(ws, chooser, encoder, canvas, messages));
  EXPECT_EQ(chooser.seenFolder, dir.path().string() + "/");
  EXPECT_EQ(chooser.seenName, "stage.kv");
  // Cancelled: nothing written, the path kept.
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  EXPECT_EQ(ws.document.documentPath, dir.File("stage.kv"));
}

TEST_F(SaveAsFlowTest, MapDataGetsItsExtensionAndKeepsTheDocumentPath) {
  StoreDocumentPath(ws.document, dir.File("stage.kv"));
  ASSERT_TRUE(Save(dir.File("level1"), 3));
  const std::vector<uint8_t> expected = {2,    0,    0, 0, 1, 0, 0, 0,      // 2 x 1
                                         0x03, 0x02, 1, 0, 1, 0, 0, 0x80};  // two cells
  EXPECT_EQ(test::ReadFileBytes(dir.File("level1.bin")), expected);
  EXPECT_FALSE(std::filesystem::exists(dir.File("level1")));
  EXPECT_EQ(ws.document.documentPath, dir.File("stage.kv"));
}

TEST_F(SaveAsFlowTest, MapDataWithAnotherExtensionWritesNothing) {
  EXPECT_FALSE(Save(dir.File("stage.dat"), 3));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SaveAsFlowTest, DocumentFormsFollowTheTypeNotTheExtension) {
  ASSERT_TRUE(Save(dir.File("level1.txt"), 2));
  const std::vector<uint8_t> text = test::ReadFileBytes(dir.File("level1.txt"));
  const std::string head = "<version>\r\n";
  ASSERT_GE(text.size(), head.size());
  EXPECT_EQ(std::string(text.begin(), text.begin() + static_cast<long>(head.size())), head);
  EXPECT_EQ(ws.document.documentPath, dir.File("level1.txt"));

  // A folder with a dot: the name still gets ".kv", in binary form.
  std::filesystem::create_directory(dir.path() / "maps.v2");
  const std::string base = (dir.path() / "maps.v2" / "level1").string();
  ASSERT_TRUE(Save(base, 1));
  const std::vector<uint8_t> binary = test::ReadFileBytes(base + ".kv");
  ASSERT_GE(binary.size(), 4u);
  EXPECT_EQ(std::vector<uint8_t>(binary.begin(), binary.begin() + 4),
            (std::vector<uint8_t>{'K', 'V', 0, 0}));
  EXPECT_EQ(ws.document.documentPath, base + ".kv");
  EXPECT_EQ(ws.document.documentFileName, "level1.kv");
}

TEST_F(SaveAsFlowTest, ImageTypesExportTheRightPicture) {
  StoreDocumentPath(ws.document, "/old/stage.kv");
  struct Case {
    int32_t type;
    std::string path;
    int32_t width;
    uint8_t firstByte;  // tells the two atlases apart
  };
  const Case cases[] = {
      {4, "/out/bg.bmp", 512, 0x11},    {5, "/out/bg.png", 512, 0x11},
      {6, "/out/layer.bmp", 512, 0x22}, {7, "/out/layer.png", 512, 0x22},
      {8, "/out/map.bmp", 64, 0},       {9, "/out/map.png", 64, 0},
  };
  for (const Case& c : cases) {
    encoder.written.clear();
    const std::string bare = c.path.substr(0, c.path.rfind('.'));
    ASSERT_TRUE(Save(bare, c.type)) << c.type;
    ASSERT_EQ(encoder.written.size(), 1u) << c.type;
    EXPECT_EQ(encoder.written[0].path, c.path);
    EXPECT_EQ(encoder.written[0].pixels.width, c.width) << c.type;
    if (c.width == 512) {
      EXPECT_EQ(encoder.written[0].pixels.At(0, 0)[0], c.firstByte) << c.type;
    }
  }
  EXPECT_EQ(ws.document.documentPath, "/old/stage.kv");
}

TEST_F(SaveAsFlowTest, EngineMapTypesWriteTheMapWithItsPicturesAndKeepThePath) {
  StoreDocumentPath(ws.document, dir.File("stage.kv"));
  encoder.writeFiles = true;
  struct Case {
    int32_t type;
    std::string name;
    char first;  // '<' for XML, '{' for JSON
  };
  const Case cases[] = {{10, "level1.tmx", '<'}, {11, "level2.tmj", '{'}};
  for (const Case& c : cases) {
    ASSERT_TRUE(Save(dir.File(c.name.substr(0, c.name.find('.'))), c.type)) << c.type;
    const std::vector<uint8_t> map = test::ReadFileBytes(dir.File(c.name));
    ASSERT_FALSE(map.empty());
    EXPECT_EQ(map[0], c.first);
    const std::string stem = c.name.substr(0, c.name.find('.'));
    for (const char* picture : {".background.png", ".layer.png", ".flags.png"}) {
      EXPECT_TRUE(std::filesystem::is_regular_file(dir.File(stem + picture))) << stem + picture;
    }
  }
  EXPECT_EQ(ws.document.documentPath, dir.File("stage.kv"));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(messages.waitDepth, 0);
  EXPECT_GT(messages.waitCount, 0);

  // Unlike the other exports, a failure is told.
  EXPECT_FALSE(Save(dir.File("missing/level3"), 10));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, texts::CannotCreateFile);
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Error);
}

TEST_F(SaveAsFlowTest, RefusedOrFailedPictureIsReported) {
  StoreDocumentPath(ws.document, "/old/stage.kv");
  ASSERT_TRUE(ws.document.grid.Allocate(2, 1));
  // A picture too large for its format, refused by the encoder.
  encoder.bandsResult = PictureWrite::TooLarge;
  EXPECT_FALSE(Save(dir.File("big"), 9));
  // A picture the encoder cannot write, for each kind of picture.
  encoder.result = false;
  for (int32_t type : {4, 7, 8}) EXPECT_FALSE(Save(dir.File("out"), type)) << type;

  ASSERT_EQ(messages.shown.size(), 4u);
  for (const test::RecordingMessages::Shown& shown : messages.shown) {
    EXPECT_EQ(shown.text, texts::CannotSaveFile);
    EXPECT_EQ(shown.caption, texts::AppCaption);
    EXPECT_EQ(shown.icon, MessageIcon::Warning);
  }
  EXPECT_EQ(ws.document.documentPath, "/old/stage.kv");
}

TEST_F(SaveAsFlowTest, AllFilesTypeWritesNothing) {
  EXPECT_FALSE(Save(dir.File("stage.kv"), 12));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  EXPECT_TRUE(encoder.written.empty());
  EXPECT_TRUE(ws.document.documentPath.empty());
}

TEST_F(SaveAsFlowTest, FailedWriteKeepsTheOldFileAndPath) {
  StoreDocumentPath(ws.document, dir.File("stage.kv"));
  EXPECT_FALSE(Save(dir.File("missing/level1"), 1));
  EXPECT_EQ(ws.document.documentPath, dir.File("stage.kv"));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Error);
}

}  // namespace
}  // namespace kelvor
