// The map window's navigation: zoom gestures about a point through the zoom
// commands, the status line and the overview.
#include <QLabel>
#include <QStatusBar>
#include <span>

#include "app/map_window.h"
#include "app/overview_window.h"
#include "app/status_line.h"
#include "app/view_navigation.h"
#include "resources/menu_tables.h"
#include "workspace/workspace.h"

namespace kelvor {

void MapWindow::InstallNavigation() {
  view_->cellPixels = [this] { return Zoomed(ChipSize, workspace_.display.mapZoom); };
  view_->onZoom = [this](int32_t delta, bool reset, QPoint anchor) {
    ZoomMapAbout(delta, reset, anchor);
  };
  view_->onPointer = [this](QPoint point) { ShowPointerStatus(point); };
  view_->onScrolled = [this] { RefreshNavigation(); };
  // Whatever repaints the map (edits, undo, opening, zoom, scrolling) may
  // have changed what the status line and the overview show.
  view_->onPaint = [this](QPainter& painter, QSize size) {
    PaintMap(painter, size);
    RefreshNavigation();
  };

  statusText_ = new QLabel(this);
  statusText_->setObjectName(QStringLiteral("statusText"));
  statusText_->setTextFormat(Qt::PlainText);
  statusBar()->addWidget(statusText_, 1);
  statusBar()->setSizeGripEnabled(true);

  overview_ = new OverviewWindow(workspace_, this);
  overview_->onMoveView = [this](int32_t x, int32_t y) {
    if (CentreViewOn(scroll_, x, y)) view_->ApplyScroll();
    overview_->update();
  };
}

void MapWindow::ZoomMapAbout(int32_t delta, bool reset, QPoint anchor) {
  const std::span<const float> steps(MapZoomSteps);
  const float from = workspace_.display.mapZoom;
  const float to = reset ? 1.0f : SteppedZoom(steps, from, delta);
  if (to == from) return;
  const int32_t oldX = scroll_.scrollX;
  const int32_t oldY = scroll_.scrollY;
  // Exactly as the menu item, which also decides whether it may run now.
  RunAccelerator(CommandMapZoomFirst + ZoomStepIndex(steps, to));
  const float now = workspace_.display.mapZoom;
  if (now == from) return;
  ScrollToAnchor(scroll_, oldX, oldY, from, now, anchor.x(), anchor.y());
  view_->ApplyScroll();
}

bool MapWindow::RunNavigationCommand(int32_t id) {
  switch (id) {
    case CommandStatusBar: {
      const bool show = statusBar()->isHidden();
      statusBar()->setVisible(show);
      if (palette_) palette_->SetStatusVisible(show);
      return true;
    }
    case CommandOverview:
      if (overview_->isVisible()) {
        overview_->hide();
      } else {
        if (!overview_->property("placed").toBool()) {
          // First shown below the palette window, or beside the map window.
          const QRect frame = frameGeometry();
          overview_->move(frame.right() + 1,
                          frame.top() + (palette_ ? palette_->frameGeometry().height() : 0));
          overview_->setProperty("placed", true);
        }
        overview_->show();
      }
      return true;
    default:
      return false;
  }
}

void MapWindow::UpdateNavigationMenuState(int32_t popup) {
  if (popup != 3 || static_cast<size_t>(popup) >= menu_.popups.size()) return;
  MenuPopup& view = menu_.popups[static_cast<size_t>(popup)];
  view.SetChecked(CommandStatusBar, !statusBar()->isHidden());
  view.SetChecked(CommandOverview, overview_ && overview_->isVisible());
}

void MapWindow::ShowPointerStatus(QPoint point) {
  pointer_ = point;
  // Only the status line: moving the pointer changes nothing else.
  if (statusText_ && !statusBar()->isHidden()) {
    const QString text = QString::fromStdString(
        FormatMapStatus(workspace_, MapCellUnder(workspace_, pointer_.x(), pointer_.y())));
    if (text != statusText_->text()) statusText_->setText(text);
  }
}

void MapWindow::RefreshNavigation() {
  ShowPointerStatus(pointer_);
  if (overview_) overview_->Refresh();
}

}  // namespace kelvor
