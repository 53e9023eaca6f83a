#include "app/overview_window.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>

#include "app/translations.h"
#include "app/view_scroll.h"
#include "platform/qt/qt_canvas.h"
#include "resources/artwork.h"
#include "workspace/workspace.h"

namespace kelvor {

OverviewWindow::OverviewWindow(const Workspace& workspace, QWidget* owner)
    : QWidget(owner,
              Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      workspace_(workspace) {
  setObjectName(QStringLiteral("KelvorOverview"));
  setWindowTitle(Tr("全体図"));
  setWindowIcon(AppIcon());
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(32, 32);
  resize(DefaultSize, DefaultSize);
}

QPoint OverviewWindow::pictureOrigin() const {
  const OverviewSize size = picture_.size();
  return QPoint((width() - size.width) / 2, (height() - size.height) / 2);
}

void OverviewWindow::Refresh() {
  if (!isVisible()) return;
  picture_.Update(workspace_.document, workspace_.display, width(), height());
  update();
}

void OverviewWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  const PixelBuffer& pixels = picture_.pixels();
  if (pixels.Empty()) return;
  const QPoint origin = pictureOrigin();
  painter.drawImage(origin, WrapPixelBufferReadOnly(pixels));
  const ViewPort& view = workspace_.views[ViewMap];
  const OverviewRect frame =
      OverviewFrame(picture_.size(), MapContentWidth(workspace_), MapContentHeight(workspace_),
                    view.scrollX, view.scrollY, view.pageWidth, view.pageHeight);
  // Black around white: visible over any chips.
  const QRect inner(origin.x() + frame.left, origin.y() + frame.top, frame.right - frame.left,
                    frame.bottom - frame.top);
  painter.setPen(QPen(Qt::black, 1));
  painter.drawRect(inner.adjusted(-1, -1, 0, 0));
  painter.setPen(QPen(Qt::white, 1));
  painter.drawRect(inner.adjusted(0, 0, -1, -1));
}

void OverviewWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Refresh();
}

void OverviewWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Refresh();
}

void OverviewWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  hide();
}

void OverviewWindow::MoveViewTo(QPoint point) {
  const OverviewSize size = picture_.size();
  if (size.width == 0 || !onMoveView) return;
  const QPoint at = point - pictureOrigin();
  const auto [x, y] = OverviewContentPoint(size, MapContentWidth(workspace_),
                                           MapContentHeight(workspace_), at.x(), at.y());
  onMoveView(x, y);
}

void OverviewWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) MoveViewTo(event->position().toPoint());
}

void OverviewWindow::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons().testFlag(Qt::LeftButton)) MoveViewTo(event->position().toPoint());
}

}  // namespace kelvor
