#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/in_process_clipboard.h"
#include "app/map_window.h"
#include "platform/qt/qt_image_codec.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "workspace/workspace.h"

namespace kelvor::test {

// The one QApplication of the test program (never destroyed, so windows of
// a failed test cannot outlive it).
QApplication& TestApplication();

// Records which dialogs the commands asked for.
class RecordingDialogs : public EditorDialogs {
 public:
  void RunSizeDialog(bool newMap) override { calls.push_back(newMap ? "new" : "resize"); }
  void RunOpenDialog() override { calls.push_back("open"); }
  void RunSaveAsDialog() override { calls.push_back("saveas"); }
  bool ChooseColor(Color& color) override {
    calls.push_back("color");
    color = chosenColor;
    return true;
  }
  void RunChipFolderDialog() override { calls.push_back("folder"); }
  void RunTransparencyDialog() override { calls.push_back("transparency"); }
  void ShowHelp() override { calls.push_back("help"); }
  void ShowAbout() override { calls.push_back("about"); }

  std::vector<std::string> calls;
  Color chosenColor = Rgb(1, 2, 3);
};

// A sheet of 8 x 5 chips, each its own colour; the chips of row 4 are half
// transparent, so they go to the layer level.
void WriteTestSheet(const std::string& path);

// The editor started on a temporary folder whose map_chip/ holds the test
// sheet (or nothing, or no folder at all).
class EditorFixture : public ::testing::Test {
 protected:
  enum class Chips { TestSheet, EmptyFolder, NoFolder };

  void StartEditor(Chips chips = Chips::TestSheet, std::vector<std::string> arguments = {});
  void TearDown() override;

  // A fresh empty map of that size, as the New command makes it.
  void NewMap(int32_t width, int32_t height);

  QWidget* mapViewport() const;
  QWidget* paletteViewport() const;
  static QPoint CellCenter(int32_t column, int32_t row) {
    return {column * 32 + 16, row * 32 + 16};
  }

  // Mouse input with explicit button state (moves carry the held buttons).
  static void Press(QWidget* widget, QPoint point, Qt::KeyboardModifiers modifiers = {},
                    Qt::MouseButton button = Qt::LeftButton);
  static void Move(QWidget* widget, QPoint point, Qt::MouseButtons buttons,
                   Qt::KeyboardModifiers modifiers = {});
  static void Release(QWidget* widget, QPoint point, Qt::KeyboardModifiers modifiers = {},
                      Qt::MouseButton button = Qt::LeftButton);
  static void Click(QWidget* widget, QPoint point, Qt::KeyboardModifiers modifiers = {});

  // Marks chips in the palette: a plain click on the first, Ctrl-clicks on the rest.
  void MarkChips(std::initializer_list<QPoint> chips);

  MapCell Cell(int32_t column, int32_t row) const { return ws.document.grid.At(column, row); }
  // The sheet position of the chip in a cell's level, or (-1, -1) for none.
  QPoint ChipAt(int32_t column, int32_t row, int32_t level) const;

  TempDir dir;
  Workspace ws;
  RecordingMessages messages;
  InProcessClipboard clipboard;
  QtImageDecoder decoder;
  RecordingDialogs dialogs;
  std::optional<RecoverySettings> recovery;  // handed to Start when set
  std::unique_ptr<MapWindow> window;
};

}  // namespace kelvor::test
