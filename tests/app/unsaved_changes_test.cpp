// Unsaved changes are never replaced or ended without a word. Each action
// with each answer runs with real X events in tests/e2e/unsaved_e2e.sh;
// here: when nothing is asked, a Yes that saved nothing, and a handed-over
// document that waits for an open dialog.
#include <QMessageBox>
#include <filesystem>

#include "editor_fixture.h"
#include "files/binary_document.h"
#include "resources/menu_tables.h"
#include "support/modal_dialogs.h"

namespace kelvor::test {
namespace {

namespace fs = std::filesystem;

class UnsavedChangesTest : public EditorFixture {
 protected:
  std::string WriteDocument(const char* name, int32_t width, int32_t height) {
    Workspace other;
    other.document.grid.Allocate(width, height);
    for (ChipTable& table : other.document.tables) {
      table.entries[0].used = 1;
      table.count = 1;
    }
    const std::string path = dir.File(name);
    EXPECT_TRUE(WriteBinaryDocument(path, other.document, other.sheets, messages));
    return path;
  }
  void Stamp(int32_t column, int32_t row) {
    MarkChips({{0, 0}});
    Click(mapViewport(), CellCenter(column, row));
  }
  int Asked(std::string_view text) const {
    int count = 0;
    for (const auto& asked : messages.asked) count += asked.text == text ? 1 : 0;
    return count;
  }
};

TEST_F(UnsavedChangesTest, WithoutUnsavedChangesNothingIsAskedButTheExitQuestion) {
  const std::string doc = WriteDocument("stage.kv", 8, 6);
  StartEditor(Chips::TestSheet, {doc});
  window->RunCommand(CommandNew);
  window->RunCommand(CommandOpen);
  EXPECT_EQ(dialogs.calls, (std::vector<std::string>{"new", "open"}));
  // A new map is unsaved work as any other.
  NewMap(4, 4);
  MarkDocumentChanged(ws);
  messages.threeWayAnswer = Answer::Cancel;
  window->RunCommand(CommandOpen);
  EXPECT_EQ(dialogs.calls.size(), 2u);
  // Saved: the plain question at exit, as always.
  ClearDocumentChanged(ws);
  messages.answer = false;
  window->close();
  EXPECT_EQ(Asked(texts::ConfirmSaveChanges), 1);
  EXPECT_EQ(Asked(texts::ConfirmQuit), 1);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(UnsavedChangesTest, YesGoesOnOnlyWhenTheChangesReachedADocumentFile) {
  // A map without a file: Yes opens Save As, and a Save As that saved
  // nothing (cancelled, or an export) keeps the map.
  StartEditor();
  NewMap(5, 5);
  Stamp(1, 1);
  messages.threeWayAnswer = Answer::Yes;
  const std::string other = WriteDocument("other.kv", 3, 3);
  window->OpenDroppedFiles({QUrl::fromLocalFile(QString::fromStdString(other))});
  EXPECT_EQ(dialogs.calls, (std::vector<std::string>{"saveas"}));
  EXPECT_TRUE(ws.document.documentPath.empty());
  EXPECT_NE(Cell(1, 1), 0u);

  // A write that fails keeps it too (its folder is gone).
  StoreDocumentPath(ws.document, (fs::path(dir.File("gone")) / "stage.kv").string());
  window->close();
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(ws.unsaved.changed);
  ASSERT_FALSE(messages.shown.empty());
  EXPECT_EQ(messages.shown.back().text, std::string(texts::CannotCreateFile));
}

TEST_F(UnsavedChangesTest, AHandedOverDocumentWaitsForAnOpenDialog) {
  StartEditor();
  const std::string first = WriteDocument("first.kv", 3, 3);
  const std::string second = WriteDocument("second.kv", 4, 4);
  QDialog dialog(window.get());
  std::string openBehindDialog = "unset";
  QTimer::singleShot(50, [&] {
    window->OpenHandedOver(first);
    window->OpenHandedOver(second);  // the latest wins
    openBehindDialog = ws.document.documentPath;
    dialog.reject();
  });
  dialog.exec();
  EXPECT_EQ(openBehindDialog, "");
  QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(ws.document.documentPath),
                            QString::fromStdString(second), 5000);
  EXPECT_EQ(ws.document.grid.width, 4);
}

}  // namespace
}  // namespace kelvor::test
