#include "app/view_area.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

namespace kelvor {
namespace {

ScrollRequest RequestForAction(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      return ScrollRequest::LineBack;
    case QAbstractSlider::SliderSingleStepAdd:
      return ScrollRequest::LineForward;
    case QAbstractSlider::SliderPageStepSub:
      return ScrollRequest::PageBack;
    case QAbstractSlider::SliderPageStepAdd:
      return ScrollRequest::PageForward;
    case QAbstractSlider::SliderToMinimum:
      return ScrollRequest::ToStart;
    case QAbstractSlider::SliderToMaximum:
      return ScrollRequest::ToEnd;
    case QAbstractSlider::SliderMove:
      return ScrollRequest::Thumb;
    default:
      return ScrollRequest::None;
  }
}

// Qt's bar ranges over the reachable offsets only; the model keeps the
// content extent. Both hide the bar exactly when the content fits.
void ApplyBar(QScrollBar* bar, const ScrollBarState& state, int32_t offset) {
  const int64_t extent = static_cast<int64_t>(state.max) - state.min + 1;
  const int64_t page = state.page;
  const int64_t reachable = std::max<int64_t>(0, extent - std::max<int64_t>(page, 1));
  const bool visible = ScrollBarVisible(state);
  bar->setRange(0, visible ? static_cast<int>(std::min<int64_t>(reachable, INT32_MAX)) : 0);
  bar->setPageStep(static_cast<int>(std::clamp<int64_t>(page, 1, INT32_MAX)));
  bar->setSingleStep(1);
  bar->setValue(offset);
}

}  // namespace

ViewArea::ViewArea(ViewScroll& scroll, QWidget* parent)
    : QAbstractScrollArea(parent), scroll_(scroll) {
  setFrameShape(QFrame::NoFrame);
  setFocusPolicy(Qt::StrongFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setAttribute(Qt::WA_NoSystemBackground);
  viewport()->setMouseTracking(true);
  connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
          [this](int action) { OnBarAction(ScrollAxis::Horizontal, action); });
  connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
          [this](int action) { OnBarAction(ScrollAxis::Vertical, action); });
}

void ViewArea::ApplyScroll() {
  applying_ = true;
  ApplyBar(horizontalScrollBar(), scroll_.horizontal, scroll_.scrollX);
  ApplyBar(verticalScrollBar(), scroll_.vertical, scroll_.scrollY);
  applying_ = false;
  viewport()->update();
}

void ViewArea::OnBarAction(ScrollAxis axis, int action) {
  if (applying_) return;
  QScrollBar* bar = axis == ScrollAxis::Horizontal ? horizontalScrollBar() : verticalScrollBar();
  const ScrollRequest request = RequestForAction(action);
  scroll_.Scroll(axis, request, bar->sliderPosition());
  // The model has the last word on where the bar goes.
  bar->setSliderPosition(axis == ScrollAxis::Horizontal ? scroll_.scrollX : scroll_.scrollY);
  viewport()->update();
}

bool ViewArea::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Paint) {
    QPainter painter(viewport());
    if (onPaint) {
      onPaint(painter, viewport()->size());
    } else {
      painter.fillRect(viewport()->rect(), palette().window());
    }
    return true;
  }
  if (event->type() == QEvent::Leave && onPointer) onPointer(QPoint(-1, -1));
  return QAbstractScrollArea::viewportEvent(event);
}

void ViewArea::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  // The viewport also resizes when a bar shows or hides; only a change of
  // the whole area is the user's resize.
  const bool userResize = size() != lastAreaSize_;
  lastAreaSize_ = size();
  scroll_.UpdatePage(viewport()->width(), viewport()->height(), userResize);
  if (onResize) onResize();
  ApplyScroll();
}

void ViewArea::scrollContentsBy(int, int) {
  // Offsets come from the model, and every paint redraws the whole client.
  viewport()->update();
}

void ViewArea::mousePressEvent(QMouseEvent* event) {
  if (PanPress(event)) return;
  // A click does not start a stroke in the middle of a pan.
  if (panning_) return;
  if (onMousePress) onMousePress(event);
}

void ViewArea::mouseMoveEvent(QMouseEvent* event) {
  PanMove(event);
  if (onMouseMove) onMouseMove(event);
  if (onPointer) onPointer(event->position().toPoint());
}

void ViewArea::mouseReleaseEvent(QMouseEvent* event) {
  if (PanRelease(event)) return;
  if (onMouseRelease) onMouseRelease(event);
}

void ViewArea::contextMenuEvent(QContextMenuEvent* event) {
  if (onContextMenu) {
    onContextMenu(event);
  } else {
    QAbstractScrollArea::contextMenuEvent(event);
  }
}

void ViewArea::keyPressEvent(QKeyEvent* event) {
  if (onKeyPress && onKeyPress(event)) return;
  if (NavigationKeyPress(event)) return;
  QAbstractScrollArea::keyPressEvent(event);
}

}  // namespace kelvor
