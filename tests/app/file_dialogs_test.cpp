// The Open and Save As dialogs: types, preset folder and name, the name
// rewriting on a type change, and the overwrite question on the final name.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <filesystem>

#include "app/file_dialogs.h"
#include "editor_fixture.h"
#include "support/modal_dialogs.h"

namespace kelvor {
namespace {

class SaveAsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { test::TestApplication(); }

  // Picks a type the way the user does, through the type list.
  static void PickType(SaveAsFileDialog& dialog, int32_t type) {
    auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(combo, nullptr);
    // What the combo box sends when the user picks an entry.
    combo->setCurrentIndex(type - 1);
    emit combo->activated(type - 1);
    emit combo->textActivated(combo->itemText(type - 1));
  }

  test::TempDir dir;
  test::RecordingMessages messages;
};

TEST_F(SaveAsDialogTest, OffersEveryTypeWithTheFirstSelected) {
  SaveAsFileDialog dialog(messages, QString::fromStdString(dir.path().string()),
                          QStringLiteral("stage.kv"));
  const QStringList filters = dialog.nameFilters();
  ASSERT_EQ(filters.size(), 12);
  EXPECT_EQ(filters[0], QStringLiteral("KV ファイル（バイナリ形式） (*.kv)"));
  EXPECT_EQ(filters[2], QStringLiteral("マップファイル (*.bin)"));
  EXPECT_EQ(filters[9], QStringLiteral("TMX ﾏｯﾌﾟ (*.tmx)"));
  EXPECT_EQ(filters[10], QStringLiteral("JSON ﾏｯﾌﾟ (*.tmj)"));
  EXPECT_EQ(filters[11], QStringLiteral("すべてのファイル (*.*)"));
  EXPECT_EQ(dialog.selectedType(), 1);
  EXPECT_EQ(QDir(dialog.directory()).canonicalPath(),
            QDir(QString::fromStdString(dir.path().string())).canonicalPath());
  ASSERT_NE(dialog.nameField(), nullptr);
  EXPECT_EQ(dialog.nameField()->text(), QStringLiteral("stage.kv"));
}

TEST_F(SaveAsDialogTest, TypeChangeRewritesTheNameField) {
  // A text-form document keeps its name until the user picks a type.
  SaveAsFileDialog dialog(messages, QString(), QStringLiteral("stage.txt"));
  EXPECT_EQ(dialog.nameField()->text(), QStringLiteral("stage.txt"));
  struct Step {
    int32_t type;
    QString typed;  // null = leave the field as it is
    QString shown;
  };
  const Step steps[] = {
      {5, {}, "stage.png"},       {3, {}, "stage.bin"},
      {1, "level1", "level1.kv"}, {10, {}, "level1.tmx"},
      {11, {}, "level1.tmj"},     {12, {}, "level1."},
      {2, {}, "level1.kv"},       {9, "", ""},
  };
  for (const Step& step : steps) {
    if (!step.typed.isNull()) dialog.nameField()->setText(step.typed);
    PickType(dialog, step.type);
    EXPECT_EQ(dialog.nameField()->text(), step.shown) << step.type;
    EXPECT_EQ(dialog.selectedType(), step.type);
  }
}

TEST_F(SaveAsDialogTest, OverwriteIsAskedAboutTheNameReallyWritten) {
  test::WriteFileText(dir.File("level1.bin"), "old");
  const QString folder = QString::fromStdString(dir.path().string());
  struct Case {
    QString typed;
    int32_t type;
    bool answer;
    bool asked;
    bool accepted;
  };
  const Case cases[] = {
      {"level1", 3, false, true, false},  // becomes level1.bin, which exists
      {"level1", 3, true, true, true},
      {"level1", 1, false, false, true},  // level1.kv is new
      {"level1.bin", 1, false, true, false},
  };
  for (const Case& c : cases) {
    messages.asked.clear();
    messages.answer = c.answer;
    SaveAsFileDialog dialog(messages, folder, QString());
    PickType(dialog, c.type);
    dialog.nameField()->setText(c.typed);
    dialog.show();
    dialog.accept();
    EXPECT_EQ(messages.asked.size(), c.asked ? 1u : 0u) << c.typed.toStdString() << c.type;
    EXPECT_EQ(dialog.result() == QDialog::Accepted, c.accepted) << c.typed.toStdString() << c.type;
    if (c.asked && !messages.asked.empty()) {
      EXPECT_NE(messages.asked[0].text.find("level1.bin"), std::string::npos);
    }
  }
  EXPECT_EQ(test::ReadFileBytes(dir.File("level1.bin")), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

TEST_F(SaveAsDialogTest, AllFilesTypeAsksForATypeInsteadOfClosing) {
  SaveAsFileDialog dialog(messages, QString::fromStdString(dir.path().string()), QString());
  PickType(dialog, 12);
  dialog.nameField()->setText(QStringLiteral("stage.kv"));
  dialog.show();
  dialog.accept();
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);

  PickType(dialog, 2);
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.selectedType(), 2);
  EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(SaveAsDialogTest, ChooserOpensOnTheDocumentFolderAndRemembersTheChoice) {
  std::filesystem::create_directories(dir.path() / "maps");
  const QString maps = QString::fromStdString((dir.path() / "maps").string());
  FileDialogFolder folder{QStringLiteral("/")};
  QtSaveAsChooser chooser(nullptr, messages, folder);

  QString openedIn;
  QString nameShown;
  test::WhenModalShows<SaveAsFileDialog>([&](SaveAsFileDialog* dialog) {
    openedIn = QDir(dialog->directory()).canonicalPath();
    nameShown = dialog->nameField()->text();
    PickType(*dialog, 3);
    dialog->accept();
  });
  const std::optional<SaveAsChoice> choice = chooser.Choose(maps.toStdString() + "/", "stage.kv");
  ASSERT_TRUE(choice.has_value());
  EXPECT_EQ(openedIn, QDir(maps).canonicalPath());
  EXPECT_EQ(nameShown, QStringLiteral("stage.kv"));
  EXPECT_EQ(choice->type, 3);
  EXPECT_EQ(std::filesystem::path(choice->path).filename(), "stage.bin");
  EXPECT_EQ(QDir(folder.current).canonicalPath(), QDir(maps).canonicalPath());

  test::WhenModalShows<SaveAsFileDialog>([](SaveAsFileDialog* dialog) { dialog->reject(); });
  EXPECT_FALSE(chooser.Choose("", "stage.kv").has_value());
}

TEST_F(SaveAsDialogTest, OpenDialogOffersDocumentsThenMapsThenAllFiles) {
  EXPECT_EQ(OpenNameFilters(), (QStringList{QStringLiteral("KV ファイル (*.kv)"),
                                            QStringLiteral("TMX/JSON ﾏｯﾌﾟ (*.tmx *.tmj *.json)"),
                                            QStringLiteral("すべてのファイル (*.*)")}));
  test::WriteFileText(dir.File("stage.kv"), "x");
  FileDialogFolder folder{QString::fromStdString(dir.path().string())};

  QString filterShown;
  test::WhenModalShows<QFileDialog>([&](QFileDialog* dialog) {
    filterShown = dialog->selectedNameFilter();
    test::ChooseFileInDialog(dialog, QString::fromStdString(dir.File("stage.kv")));
    static_cast<QDialog*>(dialog)->accept();
  });
  const std::optional<std::string> path = ChooseOpenPath(nullptr, folder);
  EXPECT_EQ(filterShown, OpenNameFilters().front());
  ASSERT_TRUE(path.has_value());
  EXPECT_TRUE(std::filesystem::equivalent(*path, dir.File("stage.kv")));

  test::WhenModalShows<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
  EXPECT_FALSE(ChooseOpenPath(nullptr, folder).has_value());
}

}  // namespace
}  // namespace kelvor
