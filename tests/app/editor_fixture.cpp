#include "editor_fixture.h"

#include <QPainter>

#include "editing/map_resize.h"

namespace kelvor::test {

QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "test_app";
  static char* argv[] = {name, nullptr};
  static QApplication* application = new QApplication(argc, argv);
  return *application;
}

void WriteTestSheet(const std::string& path) {
  QImage image(8 * 32, 5 * 32, QImage::Format_ARGB32);
  for (int row = 0; row < 5; ++row) {
    for (int column = 0; column < 8; ++column) {
      const int alpha = row == 4 ? 128 : 255;
      const QColor color(20 + column * 28, 20 + row * 40, 200 - column * 20, alpha);
      for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) image.setPixelColor(column * 32 + x, row * 32 + y, color);
      }
    }
  }
  ASSERT_TRUE(image.save(QString::fromStdString(path), "PNG"));
}

void EditorFixture::StartEditor(Chips chips, std::vector<std::string> arguments) {
  TestApplication();
  const std::filesystem::path chipFolder = dir.path() / "map_chip";
  if (chips != Chips::NoFolder) std::filesystem::create_directories(chipFolder);
  if (chips == Chips::TestSheet) WriteTestSheet((chipFolder / "tiles.png").string());
  EditorServices services;
  services.messages = &messages;
  services.clipboard = &clipboard;
  services.decoder = &decoder;
  services.dialogs = &dialogs;
  window = std::make_unique<MapWindow>(ws, services);
  StartOptions options;
  options.exeFolder = dir.path().string();
  options.arguments = std::move(arguments);
  options.recovery = recovery;
  window->Start(options);
  QCoreApplication::processEvents();
}

void EditorFixture::TearDown() {
  if (window) {
    messages.answer = true;
    messages.threeWayAnswer = Answer::No;
    window->close();
    window.reset();
  }
  QCoreApplication::processEvents();
}

void EditorFixture::NewMap(int32_t width, int32_t height) {
  ApplyNewMap(ws.document, ws.selection, width, height);
  window->RefreshMapExtent();
  window->RepaintMap();
}

QWidget* EditorFixture::mapViewport() const {
  return window->view()->viewport();
}

QWidget* EditorFixture::paletteViewport() const {
  return window->paletteWindow()->view()->viewport();
}

void EditorFixture::Press(QWidget* widget, QPoint point, Qt::KeyboardModifiers modifiers,
                          Qt::MouseButton button) {
  QMouseEvent event(QEvent::MouseButtonPress, point, widget->mapToGlobal(point), button, button,
                    modifiers);
  QApplication::sendEvent(widget, &event);
}

void EditorFixture::Move(QWidget* widget, QPoint point, Qt::MouseButtons buttons,
                         Qt::KeyboardModifiers modifiers) {
  QMouseEvent event(QEvent::MouseMove, point, widget->mapToGlobal(point), Qt::NoButton, buttons,
                    modifiers);
  QApplication::sendEvent(widget, &event);
}

void EditorFixture::Release(QWidget* widget, QPoint point, Qt::KeyboardModifiers modifiers,
                            Qt::MouseButton button) {
  QMouseEvent event(QEvent::MouseButtonRelease, point, widget->mapToGlobal(point), button,
                    Qt::NoButton, modifiers);
  QApplication::sendEvent(widget, &event);
}

void EditorFixture::Click(QWidget* widget, QPoint point, Qt::KeyboardModifiers modifiers) {
  Press(widget, point, modifiers);
  Release(widget, point, modifiers);
}

void EditorFixture::MarkChips(std::initializer_list<QPoint> chips) {
  bool first = true;
  for (const QPoint& chip : chips) {
    Click(paletteViewport(), QPoint(chip.x() * 32 + 10, chip.y() * 32 + 10),
          first ? Qt::NoModifier : Qt::ControlModifier);
    first = false;
  }
}

QPoint EditorFixture::ChipAt(int32_t column, int32_t row, int32_t level) const {
  const uint8_t slot = CellChip(Cell(column, row), level);
  if (slot == 0) return {-1, -1};
  const ChipEntry& entry = ws.document.tables[static_cast<size_t>(level)].entries[slot];
  return {entry.column, entry.row};
}

}  // namespace kelvor::test
