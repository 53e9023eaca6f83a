// The dialogs plugged into the real editor windows: the commands open them,
// and what the user does in them reaches the document, the files and the views.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <filesystem>

#include "app/chip_folder_dialog.h"
#include "app/map_size_dialog.h"
#include "app/palette_dispatch.h"
#include "app/qt_editor_dialogs.h"
#include "app/qt_messages.h"
#include "app/transparency_dialog.h"
#include "editor_fixture.h"
#include "resources/menu_tables.h"
#include "support/modal_dialogs.h"

namespace kelvor {
namespace {

class EditorDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::TestApplication();
    // The dialogs are the subject here: unsaved changes are given up.
    messages.threeWayAnswer = Answer::No;
    std::filesystem::create_directories(dir.path() / "map_chip");
    test::WriteTestSheet((dir.path() / "map_chip" / "tiles.png").string());
    dialogs.SetColorPicker([this](QWidget*, Color& color) {
      ++colorPicks;
      if (!colorAnswer) return false;
      color = *colorAnswer;
      return true;
    });
    dialogs.SetFolderBrowser(
        [this](QWidget*, const std::string&) -> std::optional<std::string> { return browsed; });
    // Never a real browser from the tests.
    dialogs.SetHelpOpener([](const QUrl&) { return false; });
    EditorServices services;
    services.messages = &messages;
    services.clipboard = &clipboard;
    services.decoder = &decoder;
    services.dialogs = &dialogs;
    window = std::make_unique<MapWindow>(ws, services);
    MapWindow* w = window.get();
    dialogs.Attach(
        &window->context(), w, [w] { return static_cast<QWidget*>(w->paletteWindow()); },
        [w](const std::string& path) { w->OpenDocumentFile(path); });
    StartOptions options;
    options.exeFolder = dir.path().string();
    window->Start(options);
    QCoreApplication::processEvents();
  }
  void TearDown() override {
    messages.answer = true;
    messages.threeWayAnswer = Answer::No;
    window->close();
    window.reset();
    QCoreApplication::processEvents();
  }

  void NewMapByDialog(const QString& width, const QString& height) {
    test::WhenModalShows<MapSizeDialog>([width, height](MapSizeDialog* dialog) {
      dialog->widthField()->setText(width);
      dialog->heightField()->setText(height);
      dialog->findChild<QPushButton*>("control_1")->click();
    });
    window->RunCommand(CommandNew);
  }
  void SaveAsByDialog(const std::string& path, int32_t type) {
    test::WhenModalShows<SaveAsFileDialog>([path, type](SaveAsFileDialog* dialog) {
      dialog->selectNameFilter(dialog->nameFilters()[type - 1]);
      dialog->nameField()->setText(QString::fromStdString(path));
      static_cast<QDialog*>(dialog)->accept();
    });
    window->RunCommand(CommandSaveAs);
  }

  test::TempDir dir;
  Workspace ws;
  test::RecordingMessages messages;
  InProcessClipboard clipboard;
  QtImageDecoder decoder;
  QtEditorDialogs dialogs;
  std::unique_ptr<MapWindow> window;
  std::optional<Color> colorAnswer;
  int colorPicks = 0;
  std::optional<std::string> browsed;
};

TEST_F(EditorDialogsTest, NewSaveAsExportAndOpenThroughTheCommands) {
  NewMapByDialog("64", "48");
  ASSERT_TRUE(ws.document.grid.Exists());
  EXPECT_EQ(ws.document.grid.width, 64);
  EXPECT_EQ(ws.document.grid.height, 48);
  ws.document.grid.At(3, 4) = 0x00000100;  // a collision flag to find again

  SaveAsByDialog(dir.File("level1"), 1);
  const std::vector<uint8_t> saved = test::ReadFileBytes(dir.File("level1.kv"));
  ASSERT_GE(saved.size(), 4u);
  EXPECT_EQ(std::vector<uint8_t>(saved.begin(), saved.begin() + 4),
            (std::vector<uint8_t>{'K', 'V', 0, 0}));
  EXPECT_EQ(ws.document.documentFileName, "level1.kv");

  // An export leaves the document where it was.
  SaveAsByDialog(dir.File("level1"), 3);
  const std::vector<uint8_t> data = test::ReadFileBytes(dir.File("level1.bin"));
  ASSERT_EQ(data.size(), 8u + 64u * 48u * 4u);
  EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 8),
            (std::vector<uint8_t>{64, 0, 0, 0, 48, 0, 0, 0}));
  EXPECT_EQ(ws.document.documentPath, dir.File("level1.kv"));

  // Open it again over a different map; the click that closes the dialog must not edit.
  NewMapByDialog("5", "5");
  test::WhenModalShows<QFileDialog>([this](QFileDialog* dialog) {
    test::ChooseFileInDialog(dialog, QString::fromStdString(dir.File("level1.kv")));
    static_cast<QDialog*>(dialog)->accept();
  });
  window->RunCommand(CommandOpen);
  EXPECT_EQ(ws.document.grid.width, 64);
  EXPECT_EQ(ws.document.grid.At(3, 4), MapCell{0x00000100});
  EXPECT_FALSE(ws.input.mouseEnabled);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(EditorDialogsTest, CancelledDialogsChangeNothing) {
  NewMapByDialog("8", "8");
  test::WhenModalShows<MapSizeDialog>([](MapSizeDialog* dialog) {
    dialog->widthField()->setText(QStringLiteral("2"));
    dialog->reject();
  });
  window->RunCommand(CommandResizeMap);
  EXPECT_EQ(ws.document.grid.width, 8);

  test::WhenModalShows<SaveAsFileDialog>([](SaveAsFileDialog* dialog) { dialog->reject(); });
  window->RunCommand(CommandSaveAs);
  EXPECT_TRUE(ws.document.documentPath.empty());

  colorAnswer.reset();
  const Color before = ws.display.mapBackgroundColor;
  window->RunCommand(CommandMapColorFirst + 4);
  EXPECT_EQ(colorPicks, 1);
  EXPECT_EQ(ws.display.mapBackgroundColor, before);
}

TEST_F(EditorDialogsTest, ColourCommandsStoreTheChosenColour) {
  colorAnswer = Rgb(1, 2, 3);
  window->RunCommand(CommandMapColorFirst + 4);
  EXPECT_EQ(ws.display.mapBackgroundColor, Rgb(1, 2, 3));
  colorAnswer = Rgb(4, 5, 6);
  DispatchPaletteCommand(window->context(), CommandPaletteColorLast);
  EXPECT_EQ(ws.display.paletteBackgroundColor, Rgb(4, 5, 6));
  EXPECT_EQ(ws.display.mapBackgroundColor, Rgb(1, 2, 3));
}

TEST_F(EditorDialogsTest, ChipFolderDialogRescansTheChosenFolder) {
  const std::filesystem::path other = dir.path() / "other";
  std::filesystem::create_directories(other);
  test::WriteTestSheet((other / "a.png").string());
  test::WriteTestSheet((other / "b.png").string());
  ASSERT_EQ(ws.sheets.sheetCount, 1);
  browsed = other.string();

  // Browse, then Cancel: the folder is kept but not scanned yet.
  test::WhenModalShows<ChipFolderDialog>([](ChipFolderDialog* dialog) {
    dialog->browseButton()->click();
    dialog->reject();
  });
  DispatchPaletteCommand(window->context(), CommandChipFolder);
  EXPECT_EQ(ws.folders.chipFolder, other.string());
  EXPECT_EQ(ws.sheets.sheetCount, 1);
  // The palette's reload then finds the chosen folder's sheets.
  DispatchPaletteCommand(window->context(), CommandReloadSheets);
  EXPECT_EQ(ws.sheets.sheetCount, 2);
  ws.folders.chipFolder = (dir.path() / "map_chip").string();
  DispatchPaletteCommand(window->context(), CommandReloadSheets);
  ASSERT_EQ(ws.sheets.sheetCount, 1);

  // OK with a typed folder stores it and scans it at once.
  test::WhenModalShows<ChipFolderDialog>([other](ChipFolderDialog* dialog) {
    dialog->pathField()->setText(QString::fromStdString(other.string()));
    dialog->accept();
  });
  DispatchPaletteCommand(window->context(), CommandChipFolder);
  EXPECT_EQ(ws.folders.chipFolder, other.string());
  EXPECT_EQ(ws.sheets.sheetCount, 2);
  EXPECT_EQ(ws.sheets.currentSheet, 0);
}

TEST_F(EditorDialogsTest, TransparencyDialogWorksOnTheCurrentSheet) {
  colorAnswer = Rgb(20, 20, 200);  // the colour of chip (0, 0) of the test sheet
  test::WhenModalShows<TransparencyDialog>([](TransparencyDialog* dialog) {
    dialog->keyButton()->click();
    dialog->colorButton()->click();
    dialog->accept();
  });
  DispatchPaletteCommand(window->context(), CommandTransparency);
  const ChipSheet& sheet = ws.sheets.sheets[0];
  EXPECT_EQ(sheet.transparent, 1);
  EXPECT_EQ(sheet.transparentColor, Rgb(20, 20, 200));
  EXPECT_EQ(sheet.bitmap.At(0, 0)[3], 0);
  EXPECT_EQ(sheet.bitmap.At(32, 0)[3], 255);
}

// Kelvor.chm beside the program first, then the installed manual in the
// interface's language, then in the other one; a place that is missing or
// whose viewer fails leaves the next; with none, where was looked is said.
TEST_F(EditorDialogsTest, HelpOpensTheHelpFileOrTheManualInTheInterfacesLanguage) {
  const std::filesystem::path bin = dir.path() / "bin";
  const std::filesystem::path manual = dir.path() / "share/doc/kelvor/manual";
  const std::string chm = (bin / "Kelvor.chm").string();
  const std::string ja = (manual / "ja/index.html").string();
  const std::string en = (manual / "en/index.html").string();
  struct Case {
    const char* name;
    std::vector<std::string> present;
    UiLanguage language;
    std::vector<std::string> refusedByViewer;
    std::vector<std::string> opened;  // every place the viewer was asked to open
  };
  const Case cases[] = {
      {"help file first", {chm, ja, en}, UiLanguage::English, {}, {chm}},
      {"manual in the language", {ja, en}, UiLanguage::English, {}, {en}},
      {"other language", {ja}, UiLanguage::English, {}, {ja}},
      {"help file refused", {chm, ja}, UiLanguage::Japanese, {chm}, {chm, ja}},
      {"nothing", {}, UiLanguage::Japanese, {}, {}},
      {"nothing opens", {ja, en}, UiLanguage::Japanese, {ja, en}, {ja, en}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(bin);
    std::filesystem::remove_all(dir.path() / "share");
    for (const std::string& path : c.present) {
      std::filesystem::create_directories(std::filesystem::path(path).parent_path());
      test::WriteFileText(path, "help");
    }
    ws.folders.exeFolder = bin.string();
    dialogs.SetLanguage(c.language);
    std::vector<std::string> opened;
    dialogs.SetHelpOpener([&](const QUrl& url) {
      opened.push_back(url.toLocalFile().toStdString());
      return std::find(c.refusedByViewer.begin(), c.refusedByViewer.end(), opened.back()) ==
             c.refusedByViewer.end();
    });
    messages.shown.clear();
    window->RunCommand(CommandHelp);
    EXPECT_EQ(opened, c.opened) << c.name;
    const bool failed = c.opened.size() == c.refusedByViewer.size();
    ASSERT_EQ(messages.shown.size(), failed ? 1u : 0u) << c.name;
    if (failed) {
      const std::string other = c.language == UiLanguage::Japanese ? en : ja;
      const std::string first = c.language == UiLanguage::Japanese ? ja : en;
      EXPECT_EQ(messages.shown[0].text,
                "説明書を開けません\n以下の場所を探しました\n" + chm + "\n" + first + "\n" + other)
          << c.name;
      EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);
    }
  }
}

TEST_F(EditorDialogsTest, AboutBoxShowsNameVersionAndIcon) {
  std::unique_ptr<QMessageBox> box = MakeAboutBox(window.get());
  EXPECT_EQ(box->windowTitle(), QStringLiteral("Kelvor"));
  EXPECT_EQ(box->informativeText(), QStringLiteral("Kelvor ver.1.51"));
  EXPECT_FALSE(box->iconPixmap().isNull());

  bool shown = false;
  test::WhenModalShows<QMessageBox>([&shown](QMessageBox* dialog) {
    shown = dialog->informativeText() == QStringLiteral("Kelvor ver.1.51");
    dialog->accept();
  });
  window->RunCommand(CommandAbout);
  EXPECT_TRUE(shown);
}

TEST(QtMessagesTest, BoxesStandOnTheEditorWindowUnlessUnowned) {
  test::TestApplication();
  QWidget window;
  QtMessages messages(&window);
  for (bool unowned : {false, true}) {
    QWidget* parent = nullptr;
    QString caption;
    test::WhenModalShows<QMessageBox>([&parent, &caption](QMessageBox* box) {
      parent = box->parentWidget();
      caption = box->windowTitle();
      box->accept();
    });
    if (unowned) {
      messages.ShowUnowned(texts::SaveAsBitmap, "", MessageIcon::Warning);
    } else {
      messages.Show(texts::CannotSaveFile, texts::AppCaption, MessageIcon::Warning);
    }
    EXPECT_EQ(parent, unowned ? nullptr : &window) << unowned;
    EXPECT_EQ(caption, unowned ? QString() : QStringLiteral("Kelvor"));
  }
}

}  // namespace
}  // namespace kelvor
