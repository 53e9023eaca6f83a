#include <filesystem>

#include "editor_fixture.h"
#include "files/text_document.h"
#include "resources/menu_tables.h"

namespace kelvor::test {
namespace {

// The sample map of the repository: 30 x 20 cells over terrain.png and
// objects.png, which the test folder does not hold (so opening it also
// reports the two missing images).
std::string SampleMap() {
  return (std::filesystem::path(KELVOR_TEST_DATA) / ".." / ".." / "examples" / "sample.kv")
      .lexically_normal()
      .string();
}

class DocumentCommandsTest : public EditorFixture {
 protected:
  std::string CopyOfSample(const char* name) {
    const std::string path = dir.File(name);
    std::filesystem::copy_file(SampleMap(), path);
    return path;
  }
};

TEST_F(DocumentCommandsTest, CommandLineOpensOnlyTheFirstArgument) {
  const std::string first = CopyOfSample("first.kv");
  const std::string second = CopyOfSample("second.kv");
  // What the windows show while the missing-image box is up.
  std::string titleBehindBox;
  int32_t scrollBehindBox = -1;
  messages.onShow = [&] {
    titleBehindBox = window->windowTitle().toStdString();
    scrollBehindBox = window->scroll().horizontal.max;
  };
  StartEditor(Chips::TestSheet, {first, second});
  EXPECT_EQ(ws.document.documentPath, first);
  EXPECT_EQ(ws.document.grid.width, 30);
  EXPECT_EQ(ws.document.grid.height, 20);
  EXPECT_TRUE(ws.input.mouseEnabled);
  // The caption counts the document's chips and files.
  const std::string title =
      "Kelvor    使用ﾁｯﾌﾟ数： 10/255(背景),   8/255(ﾚｲﾔｰ)    使用ﾌｧｲﾙ数： 2/256";
  EXPECT_EQ(window->windowTitle().toStdString(), title);
  // The map view got its extent: 960 x 640 pixels in a 640 x 480 window.
  EXPECT_EQ(window->scroll().horizontal.max, 959);
  // Both were up to date before the box came.
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].caption, texts::MissingImagesCaption);
  EXPECT_EQ(titleBehindBox, title);
  EXPECT_EQ(scrollBehindBox, 959);
}

TEST_F(DocumentCommandsTest, UnreadableArgumentIsReportedAndChangesNothing) {
  const std::string bad = dir.File("bad.kv");
  WriteFileText(bad, "not a map");
  StartEditor(Chips::TestSheet, {bad});
  EXPECT_FALSE(ws.document.grid.Exists());
  EXPECT_TRUE(ws.document.documentPath.empty());
  ASSERT_FALSE(messages.shown.empty());
  EXPECT_EQ(messages.shown.back().text, std::string(texts::CannotReadFile));
}

TEST_F(DocumentCommandsTest, SaveWritesTheBinaryFormToTheDocumentPath) {
  StartEditor();
  const std::string path = dir.File("level.kv");
  window->OpenDocumentFile(CopyOfSample("source.kv"));
  ASSERT_TRUE(ws.document.grid.Exists());
  // Store it in the text form, then open that one.
  ASSERT_TRUE(WriteTextDocument(path, ws.document, ws.sheets, messages));
  window->OpenDocumentFile(path);
  ASSERT_EQ(ReadFileBytes(path)[0], '<');
  ASSERT_EQ(ws.document.documentPath, path);
  window->PreparePopup(0);
  ASSERT_TRUE(window->menus().FindAction(CommandSave)->isEnabled());
  window->RunCommand(CommandSave);
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4),
            (std::vector<uint8_t>{'K', 'V', 0, 0}));
  // Saving optimised the chip set first, which empties the history.
  EXPECT_FALSE(window->menus().FindAction(CommandUndo)->isEnabled());
}

TEST_F(DocumentCommandsTest, CtrlSSavesWhenSaveIsEnabled) {
  StartEditor();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  const std::string path = dir.File("keyed.kv");
  window->OpenDocumentFile(CopyOfSample("source.kv"));
  ASSERT_TRUE(WriteTextDocument(path, ws.document, ws.sheets, messages));
  window->OpenDocumentFile(path);
  QTest::keyClick(mapViewport(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(ReadFileBytes(path)[0], 'K');
}

TEST_F(DocumentCommandsTest, ANewMapBelongsToNoFileSoSaveAsksForOne) {
  StartEditor();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  const std::string path = CopyOfSample("stage.kv");
  window->OpenDocumentFile(path);
  const std::vector<uint8_t> before = ReadFileBytes(path);
  NewMap(3, 3);
  EXPECT_TRUE(ws.document.documentPath.empty());
  EXPECT_TRUE(ws.document.documentFileName.empty());
  // Ctrl+S and the menu command both go to Save As; the old file stays.
  QTest::keyClick(mapViewport(), Qt::Key_S, Qt::ControlModifier);
  window->RunCommand(CommandSave);
  EXPECT_EQ(dialogs.calls, (std::vector<std::string>{"saveas", "saveas"}));
  EXPECT_EQ(ReadFileBytes(path), before);
}

TEST_F(DocumentCommandsTest, DroppedFilesOpenOnlyTheFirst) {
  StartEditor();
  const std::string first = CopyOfSample("dropped.kv");
  const std::string second = CopyOfSample("ignored.kv");
  window->OpenDroppedFiles({QUrl::fromLocalFile(QString::fromStdString(first)),
                            QUrl::fromLocalFile(QString::fromStdString(second))});
  EXPECT_EQ(ws.document.documentPath, first);
  // Something that is no local file opens nothing.
  window->OpenDroppedFiles({QUrl(QStringLiteral("https://example.org/map.kv"))});
  EXPECT_EQ(ws.document.documentPath, first);
}

}  // namespace
}  // namespace kelvor::test
