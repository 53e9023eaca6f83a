// Unsaved changes are never replaced or ended without a word: New, Open, a
// drop, a document handed over by a second start and the exit ask first.
#include <QMessageBox>
#include <filesystem>
#include <functional>

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
  // The cell of a document on disk (0 when it cannot be read).
  MapCell CellOnDisk(const std::string& path, int32_t column, int32_t row) {
    Workspace read;
    if (!ReadBinaryDocument(path, read.document, read.sheets, read.selection, messages)) return 0;
    return read.document.grid.Contains(column, row) ? read.document.grid.At(column, row) : 0;
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

TEST_F(UnsavedChangesTest, EveryReplacementAndTheExitAskAndHonourTheAnswer) {
  struct Action {
    const char* name;
    std::function<void(const std::string& other)> run;
    // Whether the action went ahead.
    std::function<bool(const std::string& other)> done;
  };
  const Action actions[] = {
      {"new", [this](const std::string&) { window->RunCommand(CommandNew); },
       [this](const std::string&) {
         return !dialogs.calls.empty() && dialogs.calls.back() == "new";
       }},
      {"open", [this](const std::string&) { window->RunCommand(CommandOpen); },
       [this](const std::string&) {
         return !dialogs.calls.empty() && dialogs.calls.back() == "open";
       }},
      {"drop",
       [this](const std::string& other) {
         window->OpenDroppedFiles({QUrl::fromLocalFile(QString::fromStdString(other))});
       },
       [this](const std::string& other) {
         return ws.document.documentPath == other;
       }},
      {"handed over",
       [this](const std::string& other) { window->OpenHandedOver(other); },
       [this](const std::string& other) {
         return ws.document.documentPath == other;
       }},
      {"exit", [this](const std::string&) { window->close(); },
       [this](const std::string&) { return !window->isVisible(); }},
  };
  struct Reply {
    Answer answer;
    bool saved;
    bool goesOn;
  };
  const Reply replies[] = {
      {Answer::Yes, true, true},
      {Answer::No, false, true},
      {Answer::Cancel, false, false},
  };
  for (const Action& action : actions) {
    for (const Reply& reply : replies) {
      SCOPED_TRACE(std::string(action.name) + " answered " +
                   std::to_string(static_cast<int>(reply.answer)));
      const std::string doc = WriteDocument("stage.kv", 8, 6);
      const std::string other = WriteDocument("other.kv", 3, 3);
      StartEditor(Chips::TestSheet, {doc});
      Stamp(2, 3);
      const MapCell stamped = Cell(2, 3);
      ASSERT_NE(stamped, 0u);
      // What the user sees behind the question: the change, still unsaved.
      MapCell behindQuestion = 0;
      messages.onAsk = [&] { behindQuestion = Cell(2, 3); };
      messages.threeWayAnswer = reply.answer;
      action.run(other);
      EXPECT_EQ(Asked(texts::ConfirmSaveChanges), 1);
      EXPECT_EQ(Asked(texts::ConfirmQuit), 0);
      EXPECT_EQ(behindQuestion, stamped);
      EXPECT_EQ(CellOnDisk(doc, 2, 3), reply.saved ? stamped : 0u);
      EXPECT_EQ(action.done(other), reply.goesOn);
      if (!reply.goesOn) {
        EXPECT_EQ(Cell(2, 3), stamped);
        EXPECT_TRUE(ws.unsaved.changed);
      }
      messages.onAsk = nullptr;
      TearDown();
      messages.asked.clear();
      dialogs.calls.clear();
      fs::remove(doc);
      fs::remove(other);
    }
  }
}

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

  // A write that fails keeps it too.
  const std::string locked = dir.File("locked");
  fs::create_directories(locked);
  StoreDocumentPath(ws.document, (fs::path(locked) / "stage.kv").string());
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  window->close();
  fs::permissions(locked, fs::perms::owner_all);
  if (!fs::exists(fs::path(locked) / "stage.kv")) {  // not when run as root
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(ws.unsaved.changed);
  }
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
