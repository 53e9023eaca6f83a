#include <QLockFile>
#include <filesystem>
#include <functional>

#include "app/palette_dispatch.h"
#include "editor_fixture.h"
#include "files/binary_document.h"
#include "files/recovery_copy.h"
#include "resources/menu_tables.h"
#include "tools/palette_commands.h"

namespace kelvor::test {
namespace {

namespace fs = std::filesystem;

class RecoveryTest : public EditorFixture {
 protected:
  // An empty width x height document.
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
  // The copy another editor left: a 4 x 4 map with `cell` at (1, 1).
  static void LeaveCopy(const std::string& path, const std::string& documentPath, MapCell cell) {
    Workspace other;
    other.document.grid.Allocate(4, 4);
    other.document.grid.At(1, 1) = cell;
    StoreDocumentPath(other.document, documentPath);
    RecoverySnapshot snapshot;
    ASSERT_TRUE(TakeRecoverySnapshot(other, RecoverySnapshot{}, snapshot, 1700000000));
    ASSERT_EQ(WriteRecoveryCopy(path, snapshot), FileWriteStatus::Ok);
  }
  std::string StateFolder() {
    const std::string folder = dir.File("state");
    fs::create_directories(folder);
    recovery = RecoverySettings{folder, "kelvor-this", 5000};
    return folder;
  }
  void Stamp(int32_t column, int32_t row) {
    MarkChips({{0, 0}});
    Click(mapViewport(), CellCenter(column, row));
  }
  int Shown(std::string_view text) const {
    int count = 0;
    for (const auto& shown : messages.shown) count += shown.text == text ? 1 : 0;
    return count;
  }
};

// The map window's commands mark the document changed when they change
// what a save stores; view settings do not, and Save clears it.
TEST_F(RecoveryTest, CommandsMarkWhatASaveWouldStore) {
  StartEditor();
  const std::string doc = WriteDocument("stage.kv", 6, 6);
  struct Rule {
    const char* command;
    std::function<void()> before;
    std::function<void()> run;
    bool changes;
  };
  const auto stamp = [this] { Stamp(1, 1); };
  const auto command = [this](int32_t id) { return [this, id] { window->RunCommand(id); }; };
  const Rule rules[] = {
      {"Undo", stamp, command(CommandUndo), true},
      {"Redo with nothing undone", stamp, command(CommandRedo), false},
      {"clear the background", stamp, command(CommandClearBackground), true},
      {"clear the background of an empty map", [] {}, command(CommandClearBackground), false},
      {"clear collision flags, Yes", [this] { messages.answer = true; },
       command(CommandClearCollision), true},
      {"clear collision flags, No", [this] { messages.answer = false; },
       command(CommandClearCollision), false},
      {"optimise a chip no cell uses",
       [&] {
         stamp();
         window->RunCommand(CommandUndo);
       },
       command(CommandOptimizeChipSet), true},
      {"optimise a compact document", [] {}, command(CommandOptimizeChipSet), false},
      {"reload the chip sheets", [] {},
       [this] { DispatchPaletteCommand(window->context(), PaletteCommandReload); }, true},
      {"zoom, grid and colours", [] {},
       [this] {
         window->RunCommand(CommandMapZoomFirst);
         window->RunCommand(CommandShowGrid);
         window->RunCommand(CommandMapColorFirst);
       },
       false},
  };
  for (const Rule& rule : rules) {
    window->OpenDocumentFile(doc);
    rule.before();
    ClearDocumentChanged(ws);
    rule.run();
    EXPECT_EQ(ws.unsaved.changed, rule.changes) << rule.command;
  }
  window->OpenDocumentFile(doc);
  stamp();
  ASSERT_TRUE(ws.unsaved.changed);
  window->RunCommand(CommandSave);
  EXPECT_FALSE(ws.unsaved.changed);
}

TEST_F(RecoveryTest, TheCopyFollowsTheUnsavedState) {
  StateFolder();
  const std::string doc = WriteDocument("stage.kv", 6, 6);
  StartEditor(Chips::TestSheet, {doc});
  ASSERT_NE(window->recovery(), nullptr);
  RecoveryKeeper& keeper = *window->recovery();
  const std::string copy = keeper.copyPath();
  const auto interval = [&keeper] {
    keeper.WriteIfChanged();
    keeper.writer().Wait();
  };

  interval();
  EXPECT_FALSE(fs::exists(copy)) << "nothing changed yet";
  Stamp(2, 2);
  interval();
  RecoveryCopy read;
  ASSERT_EQ(ReadRecoveryCopy(copy, read), RecoveryReadStatus::Ok);
  EXPECT_EQ(read.record.documentPath, doc);
  EXPECT_EQ(read.document.grid->At(2, 2), Cell(2, 2));

  window->RunCommand(CommandSave);
  keeper.writer().Wait();
  EXPECT_FALSE(fs::exists(copy)) << "saved";

  Stamp(3, 3);
  interval();
  EXPECT_TRUE(fs::exists(copy));
  messages.threeWayAnswer = Answer::Cancel;
  window->close();
  EXPECT_TRUE(fs::exists(copy)) << "the quit was declined";
  messages.threeWayAnswer = Answer::No;
  window->close();
  EXPECT_FALSE(fs::exists(copy)) << "a quit that gives the changes up";
}

TEST_F(RecoveryTest, ATerminationSignalsLastCopyStays) {
  StateFolder();
  StartEditor(Chips::TestSheet, {WriteDocument("stage.kv", 6, 6)});
  RecoveryKeeper& keeper = *window->recovery();
  Stamp(4, 4);
  keeper.WriteLastCopy();
  RecoveryCopy read;
  ASSERT_EQ(ReadRecoveryCopy(keeper.copyPath(), read), RecoveryReadStatus::Ok);
  EXPECT_EQ(read.document.grid->At(4, 4), Cell(4, 4));
  ReleaseDocument(ws);
  keeper.Discard();
  keeper.writer().Wait();
  EXPECT_TRUE(fs::exists(keeper.copyPath()));
}

// At start-up: a damaged copy is reported and deleted, a copy whose editor
// still runs in another session is left alone, a declined one is deleted,
// and then the command-line document opens.
TEST_F(RecoveryTest, DamagedBusyAndDeclinedCopies) {
  const std::string state = StateFolder();
  LeaveCopy(state + "/kelvor-other.kv", "", CellFlagCollision);
  LeaveCopy(state + "/kelvor-busy.kv", "/maps/busy.kv", CellFlagCollision);
  WriteFileBytes(state + "/kelvor-bad.kv", {'K', 'V', 0, 0, 1, 0, 0, 0});
  QLockFile busy(QString::fromStdString(state + "/kelvor-busy.lock"));
  ASSERT_TRUE(busy.tryLock(0));
  const std::string doc = WriteDocument("stage.kv", 6, 6);
  messages.answer = false;
  StartEditor(Chips::TestSheet, {doc});

  EXPECT_EQ(Shown(texts::RecoveryDamaged), 1);
  ASSERT_EQ(messages.asked.size(), 1u);
  EXPECT_NE(messages.asked[0].text.find("（名前なし）"), std::string::npos);
  EXPECT_NE(messages.asked[0].text.find("2023/11/"), std::string::npos);
  EXPECT_FALSE(fs::exists(state + "/kelvor-bad.kv"));
  EXPECT_FALSE(fs::exists(state + "/kelvor-other.kv"));
  EXPECT_TRUE(fs::exists(state + "/kelvor-busy.kv"));
  EXPECT_EQ(ws.document.documentPath, doc);
  EXPECT_FALSE(ws.unsaved.changed);
}

TEST_F(RecoveryTest, AnotherSessionsCopyIsRestoredInsteadOfTheCommandLine) {
  const std::string state = StateFolder();
  LeaveCopy(state + "/kelvor-other.kv", "/maps/level.kv", CellFlagCollision);
  StartEditor(Chips::TestSheet, {WriteDocument("stage.kv", 6, 6)});

  ASSERT_EQ(messages.asked.size(), 1u);
  EXPECT_NE(messages.asked[0].text.find("level.kv"), std::string::npos);
  EXPECT_EQ(ws.document.documentPath, "/maps/level.kv");
  EXPECT_EQ(ws.document.grid.width, 4);
  EXPECT_EQ(Cell(1, 1), CellFlagCollision);
  EXPECT_TRUE(ws.unsaved.changed);
  EXPECT_FALSE(window->menus().FindAction(CommandUndo)->isEnabled());
  // Now this editor's copy, kept under its own name.
  EXPECT_FALSE(fs::exists(state + "/kelvor-other.kv"));
  EXPECT_TRUE(fs::exists(window->recovery()->copyPath()));
}

}  // namespace
}  // namespace kelvor::test
