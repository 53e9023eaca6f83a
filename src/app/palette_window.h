#pragma once

#include <QMainWindow>
#include <functional>

class QLabel;

#include "app/menu_binding.h"
#include "app/menu_model.h"
#include "app/view_area.h"
#include "app/view_scroll.h"

namespace kelvor {

struct Workspace;
struct EditorContext;

// The chip palette window: shows the current sheet, where chips are marked
// and chip flags are edited. A tool window owned by the map window; closing
// it only hides it.
class PaletteWindow : public QMainWindow {
  Q_OBJECT

 public:
  // Client area of a palette without scroll bars.
  static constexpr int ClientSize = 513;

  PaletteWindow(EditorContext& context, QWidget* owner);

  ViewArea* view() const { return view_; }
  ViewScroll& scroll() { return scroll_; }
  MenuModel& menuModel() { return menu_; }
  MenuBinding& menus() { return menus_; }

  // A palette menu command: the palette's own commands, then sheet selection.
  void RunCommand(int32_t id);
  // New sheet items after a folder scan.
  void RebuildSheetMenu();
  void RefreshExtent();
  void Repaint();
  // The status line under the view, shown and hidden with the map window's.
  void SetStatusVisible(bool visible);
  QLabel* statusText() const { return statusText_; }

  // Paints the view into `painter` (set by the map window, which owns the
  // paint machinery shared by both windows).
  std::function<void(QPainter&, QSize)> paint;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Alt plus the mnemonic of one of this window's menus.
  bool IsOwnMenuMnemonic(const QKeyEvent* event) const;
  void OnMousePress(QMouseEvent* event);
  void OnMouseMove(QMouseEvent* event);
  void OnMouseRelease(QMouseEvent* event);
  // A zoom gesture: the palette's zoom steps about a client point.
  void ZoomAbout(int32_t delta, bool reset, QPoint anchor);
  void RefreshStatus();

  EditorContext& context_;
  ViewScroll scroll_;
  ViewArea* view_ = nullptr;
  MenuModel menu_;
  MenuBinding menus_;
  QLabel* statusText_ = nullptr;
  QPoint pointer_{-1, -1};
};

}  // namespace kelvor
