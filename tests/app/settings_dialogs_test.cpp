// The size, chip-set folder and transparency dialogs and the colour chooser,
// driven as a user would: fields, arrows, buttons.
#include <gtest/gtest.h>

#include <QColorDialog>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <filesystem>

#include "app/chip_folder_dialog.h"
#include "app/color_chooser.h"
#include "app/map_size_dialog.h"
#include "app/transparency_dialog.h"
#include "document/chip_sheet_loader.h"
#include "editor_fixture.h"
#include "platform/qt/qt_image_codec.h"
#include "support/modal_dialogs.h"
#include "workspace/workspace.h"

namespace kelvor {
namespace {

class SizeDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::TestApplication();
    ws.document.grid.width = 20;
    ws.document.grid.height = 15;
  }
  void MakeMap() {
    ApplyMapSize(ws.document.grid, ws.selection, 20, 15, true);
    for (int32_t row = 0; row < 15; ++row) {
      for (int32_t column = 0; column < 20; ++column) {
        ws.document.grid.At(column, row) = static_cast<MapCell>(0x00010000 | (row << 8) | column);
      }
    }
  }
  // Types into both fields and presses OK; true when the dialog closed.
  bool Enter(MapSizeDialog& dialog, const QString& width, const QString& height) {
    dialog.widthField()->setText(width);
    dialog.heightField()->setText(height);
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton*>("control_1"), Qt::LeftButton);
    return dialog.result() == QDialog::Accepted;
  }

  Workspace ws;
  test::RecordingMessages messages;
};

TEST_F(SizeDialogTest, ShowsTheCurrentSizeAndSpinsWithinItsRange) {
  MapSizeDialog dialog(ws, messages, true);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("ﾏｯﾌﾟｻｲｽﾞ変更"));
  for (const char* id :
       {"control_1000", "control_1001", "control_1002", "control_1003", "control_1", "control_2"}) {
    EXPECT_NE(dialog.findChild<QWidget*>(id), nullptr) << id;
  }
  EXPECT_EQ(dialog.widthField()->text(), QStringLiteral("20"));
  EXPECT_EQ(dialog.heightField()->text(), QStringLiteral("15"));

  struct Case {
    QString typed;
    int delta;
    QString shown;
  };
  const Case cases[] = {
      {"20", 1, "21"},     {"20", -1, "19"}, {"0", -1, "0"}, {"4096", 1, "4096"},
      {"4095", 1, "4096"}, {"abc", 1, "1"},  {"-7", 1, "0"}, {"9999", -1, "4096"},
  };
  for (const Case& c : cases) {
    dialog.widthField()->setText(c.typed);
    dialog.widthSpin()->Step(c.delta);
    EXPECT_EQ(dialog.widthField()->text(), c.shown) << c.typed.toStdString() << " " << c.delta;
  }
  // The arrow keys in the field step as well, and the arrows of the other spin leave it alone.
  dialog.heightField()->setText(QStringLiteral("15"));
  QTest::keyClick(dialog.heightField(), Qt::Key_Up);
  EXPECT_EQ(dialog.heightField()->text(), QStringLiteral("16"));
  QTest::mouseClick(dialog.heightSpin()->findChild<QWidget*>("down"), Qt::LeftButton);
  EXPECT_EQ(dialog.heightField()->text(), QStringLiteral("15"));
}

TEST_F(SizeDialogTest, ResizeKeepsWhatFitsAndNewStartsEmpty) {
  MakeMap();
  ws.document.tables[0].entries[1].used = 1;
  {
    MapSizeDialog dialog(ws, messages, false);
    ASSERT_TRUE(Enter(dialog, "10", "20"));
    EXPECT_TRUE(dialog.sizeResult().refreshMapExtent);
  }
  const MapGrid& grid = ws.document.grid;
  ASSERT_EQ(grid.width, 10);
  ASSERT_EQ(grid.height, 20);
  EXPECT_EQ(grid.At(9, 14), MapCell{0x00010000 | (14 << 8) | 9});
  EXPECT_EQ(grid.At(0, 15), MapCell{0});
  EXPECT_EQ(ws.selection.selectionFlags, std::vector<uint8_t>(200, 0));

  {
    MapSizeDialog dialog(ws, messages, true);
    // The field shows the current size until typed over; typed numbers beyond
    // the arrows' range are taken as typed.
    ASSERT_TRUE(Enter(dialog, "1000", " 64"));
  }
  EXPECT_EQ(grid.width, 1000);
  EXPECT_EQ(grid.height, 64);
  EXPECT_EQ(*grid.cells, std::vector<MapCell>(64000, 0));
  EXPECT_EQ(ws.document.tables[0].entries[1].used, 1);  // chips are not touched
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(ws.unsaved.changed);
}

TEST_F(SizeDialogTest, OkWithoutChangeKeepsEveryMapADocumentCanHold) {
  // Beyond the arrows' reach up to the largest side a document may have.
  for (int32_t width : {5000, 9999, 12000, MaxMapSide}) {
    ApplyMapSize(ws.document.grid, ws.selection, width, 2, true);
    ws.document.grid.At(width - 1, 1) = 0x00000101;
    MapSizeDialog dialog(ws, messages, false);
    EXPECT_EQ(dialog.widthField()->text(), QString::number(width));
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton*>("control_1"), Qt::LeftButton);
    EXPECT_EQ(ws.document.grid.width, width);
    EXPECT_EQ(ws.document.grid.At(width - 1, 1), MapCell{0x00000101}) << width;
  }
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SizeDialogTest, CancelAndRefusedSizesChangeNothing) {
  MakeMap();
  const std::vector<MapCell> before = *ws.document.grid.cells;
  {
    MapSizeDialog dialog(ws, messages, false);
    dialog.widthField()->setText(QStringLiteral("5"));
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton*>("control_2"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
  }
  // Negative sides and sides no document can hold.
  const std::pair<QString, QString> refused[] = {{"-5", "10"}, {"16385", "10"}, {"10", "99999"}};
  for (const auto& [width, height] : refused) {
    messages.shown.clear();
    MapSizeDialog dialog(ws, messages, false);
    EXPECT_FALSE(Enter(dialog, width, height)) << width.toStdString() << height.toStdString();
    // Still open, so the user can correct the number.
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);
  }
  EXPECT_EQ(ws.document.grid.width, 20);
  EXPECT_EQ(*ws.document.grid.cells, before);
  EXPECT_FALSE(ws.unsaved.changed);
}

class ChipFolderDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::TestApplication();
    folders.exeFolder = dir.path().string();
    std::filesystem::create_directories(dir.path() / "map_chip");
    std::filesystem::create_directories(dir.path() / "other");
  }
  ChipFolderDialog Make() {
    return ChipFolderDialog(
        folders,
        [this](QWidget*, const std::string& current) {
          browseStartedAt.push_back(current);
          return browseAnswer;
        },
        [this] { ++rescans; });
  }
  QString Field(const ChipFolderDialog& dialog) const { return dialog.pathField()->text(); }

  test::TempDir dir;
  FolderSettings folders;
  std::optional<std::string> browseAnswer;
  std::vector<std::string> browseStartedAt;
  int rescans = 0;
};

TEST_F(ChipFolderDialogTest, OpensOnTheFolderInUse) {
  {
    ChipFolderDialog dialog = Make();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("ﾁｯﾌﾟｾｯﾄ設定"));
    EXPECT_EQ(Field(dialog), QString::fromStdString((dir.path() / "map_chip").string()));
  }
  folders.chipFolder = dir.File("other");
  ChipFolderDialog dialog = Make();
  EXPECT_EQ(Field(dialog), QString::fromStdString(dir.File("other")));
  EXPECT_EQ(dialog.browseButton()->objectName(), QStringLiteral("control_1004"));
}

TEST_F(ChipFolderDialogTest, BrowsedFolderStaysEvenAfterCancel) {
  folders.chipFolder = dir.File("map_chip");
  ChipFolderDialog dialog = Make();
  browseAnswer = dir.File("other");
  QTest::mouseClick(dialog.browseButton(), Qt::LeftButton);
  ASSERT_EQ(browseStartedAt, std::vector<std::string>{dir.File("map_chip")});  // preselected
  EXPECT_EQ(Field(dialog), QString::fromStdString(dir.File("other")));
  dialog.reject();
  EXPECT_EQ(folders.chipFolder, dir.File("other"));
  EXPECT_EQ(rescans, 0);  // only OK or the reload command scan again
}

TEST_F(ChipFolderDialogTest, CancelledBrowsePutsTheStoredFolderBack) {
  folders.chipFolder = dir.File("map_chip");
  ChipFolderDialog dialog = Make();
  dialog.pathField()->setText(QStringLiteral("half typed"));
  QTest::mouseClick(dialog.browseButton(), Qt::LeftButton);
  EXPECT_EQ(Field(dialog), QString::fromStdString(dir.File("map_chip")));

  // A stored folder that does not exist does not replace the text.
  folders.chipFolder = dir.File("gone");
  dialog.pathField()->setText(QStringLiteral("half typed"));
  QTest::mouseClick(dialog.browseButton(), Qt::LeftButton);
  EXPECT_EQ(Field(dialog), QStringLiteral("half typed"));
}

TEST_F(ChipFolderDialogTest, OkStoresThePathAndScansOnlyAnExistingFolder) {
  struct Case {
    std::string typed;
    int rescans;
  };
  const Case cases[] = {{dir.File("other"), 1}, {dir.File("map_chip"), 1}, {dir.File("gone"), 0}};
  for (const Case& c : cases) {
    rescans = 0;
    ChipFolderDialog dialog = Make();
    dialog.pathField()->setText(QString::fromStdString(c.typed));
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton*>("control_1"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(folders.chipFolder, c.typed);
    EXPECT_EQ(rescans, c.rescans) << c.typed;
  }
}

// A 64 x 32 sheet: chip 0 pure red with one blue pixel, chip 1 pure blue.
void WriteKeyedSheet(const std::string& path) {
  QImage image(64, 32, QImage::Format_ARGB32);
  image.fill(QColor(0, 0, 255));
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) image.setPixelColor(x, y, QColor(255, 0, 0));
  }
  image.setPixelColor(5, 5, QColor(0, 0, 255));
  ASSERT_TRUE(image.save(QString::fromStdString(path), "PNG"));
}

class TransparencyDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::TestApplication();
    ws.folders.exeFolder = dir.path().string();
    std::filesystem::create_directories(dir.path() / "map_chip");
    WriteKeyedSheet((dir.path() / "map_chip" / "keyed.png").string());
    ScanChipFolder(ws.sheets, ws.folders.exeFolder, ws.folders.chipFolder, decoder);
    ASSERT_EQ(ws.sheets.sheetCount, 1);
    (*Sheet().chipFlags)[1] = ChipFlagCollision | ChipFlagPriority;
  }
  ChipSheet& Sheet() { return ws.sheets.sheets[0]; }
  // Blue, green, red, alpha of a sheet pixel.
  std::vector<uint8_t> Pixel(int x, int y) {
    const uint8_t* p = Sheet().bitmap.At(x, y);
    return {p[0], p[1], p[2], p[3]};
  }
  ColorPicker Picker(Color answer) {
    return [this, answer](QWidget*, Color& color) {
      pickerStartedAt.push_back(color);
      color = answer;
      return true;
    };
  }

  test::TempDir dir;
  Workspace ws;
  QtImageDecoder decoder;
  std::vector<Color> pickerStartedAt;
};

TEST_F(TransparencyDialogTest, OkReloadsWithTheKeyAndKeepsTheFlags) {
  Sheet().transparentColor = Rgb(1, 2, 3);
  TransparencyDialog dialog(ws, decoder, Picker(Rgb(255, 0, 0)));
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("透過色設定"));
  EXPECT_TRUE(dialog.noKeyButton()->isChecked());
  EXPECT_FALSE(dialog.colorButton()->isEnabled());

  dialog.show();
  QTest::mouseClick(dialog.keyButton(), Qt::LeftButton);
  EXPECT_EQ(Sheet().transparent, 1);  // at once, before OK
  EXPECT_TRUE(dialog.colorButton()->isEnabled());
  QTest::mouseClick(dialog.colorButton(), Qt::LeftButton);
  EXPECT_EQ(pickerStartedAt, std::vector<Color>{Rgb(1, 2, 3)});
  EXPECT_EQ(Sheet().transparentColor, Rgb(255, 0, 0));
  QTest::mouseClick(dialog.findChild<QPushButton*>("control_1"), Qt::LeftButton);

  EXPECT_TRUE(dialog.reloaded());
  EXPECT_EQ(Pixel(0, 0), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(Pixel(5, 5), (std::vector<uint8_t>{255, 0, 0, 255}));
  EXPECT_EQ(Pixel(40, 0), (std::vector<uint8_t>{255, 0, 0, 255}));
  EXPECT_EQ((*Sheet().chipFlags)[1], ChipFlagCollision | ChipFlagPriority);
  EXPECT_TRUE(ws.unsaved.changed);  // the key is stored with the document
}

TEST_F(TransparencyDialogTest, TurningTheKeyOffShowsTheKeyedColourAgain) {
  Sheet().transparent = 1;
  Sheet().transparentColor = Rgb(255, 0, 0);
  ApplyTransparentColor(Sheet());
  ASSERT_EQ(Pixel(0, 0), (std::vector<uint8_t>{0, 0, 0, 0}));
  TransparencyDialog dialog(ws, decoder, Picker(0));
  EXPECT_TRUE(dialog.keyButton()->isChecked());
  dialog.show();
  QTest::mouseClick(dialog.noKeyButton(), Qt::LeftButton);
  EXPECT_FALSE(dialog.colorButton()->isEnabled());
  dialog.accept();
  EXPECT_EQ(Pixel(0, 0), (std::vector<uint8_t>{0, 0, 255, 255}));
}

TEST_F(TransparencyDialogTest, CancelEscapeAndCloseRestoreTheKey) {
  for (int way = 0; way < 3; ++way) {
    Sheet().transparent = 0;
    Sheet().transparentColor = Rgb(9, 9, 9);
    TransparencyDialog dialog(ws, decoder, Picker(Rgb(255, 0, 0)));
    dialog.show();
    QTest::mouseClick(dialog.keyButton(), Qt::LeftButton);
    QTest::mouseClick(dialog.colorButton(), Qt::LeftButton);
    if (way == 0) QTest::mouseClick(dialog.findChild<QPushButton*>("control_2"), Qt::LeftButton);
    if (way == 1) QTest::keyClick(&dialog, Qt::Key_Escape);
    if (way == 2) dialog.close();
    EXPECT_EQ(Sheet().transparent, 0) << way;
    EXPECT_EQ(Sheet().transparentColor, Rgb(9, 9, 9)) << way;
    EXPECT_EQ(Pixel(0, 0), (std::vector<uint8_t>{0, 0, 255, 255})) << way;
  }
  EXPECT_FALSE(ws.unsaved.changed);
}

TEST(ColorChooser, StartsOnTheSettingAndStoresOnlyAConfirmedColour) {
  test::TestApplication();
  EXPECT_EQ(ToQColor(Rgb(10, 20, 30)), QColor(10, 20, 30));
  EXPECT_EQ(FromQColor(QColor(10, 20, 30)), Rgb(10, 20, 30));
  ResetCustomColors();
  for (int i = 0; i < QColorDialog::customCount(); ++i) {
    EXPECT_EQ(QColorDialog::customColor(i), QColor(Qt::black)) << i;
  }

  Color setting = Rgb(0, 255, 128);
  QColor shownAtStart;
  test::WhenModalShows<QColorDialog>([&](QColorDialog* dialog) {
    shownAtStart = dialog->currentColor();
    dialog->setCurrentColor(QColor(1, 2, 3));
    dialog->accept();
  });
  EXPECT_TRUE(ChooseSettingColor(nullptr, setting));
  EXPECT_EQ(shownAtStart, QColor(0, 255, 128));
  EXPECT_EQ(setting, Rgb(1, 2, 3));

  test::WhenModalShows<QColorDialog>([](QColorDialog* dialog) {
    dialog->setCurrentColor(QColor(200, 0, 0));
    dialog->reject();
  });
  EXPECT_FALSE(ChooseSettingColor(nullptr, setting));
  EXPECT_EQ(setting, Rgb(1, 2, 3));
}

}  // namespace
}  // namespace kelvor
