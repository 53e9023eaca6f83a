// The gestures that move around a view: the wheel (Ctrl: zoom), dragging
// with the middle button, and the navigation and zoom keys. The arithmetic
// is the view model's; this only reads the events.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <optional>

#include "app/view_area.h"

namespace kelvor {
namespace {

std::optional<NavigationKey> NavigationKeyOf(const QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  const bool ctrl = modifiers == Qt::ControlModifier;
  if (modifiers != Qt::NoModifier && !ctrl) return std::nullopt;
  switch (event->key()) {
    case Qt::Key_Home:
      return ctrl ? NavigationKey::FirstCorner : NavigationKey::Home;
    case Qt::Key_End:
      return ctrl ? NavigationKey::LastCorner : NavigationKey::End;
    default:
      break;
  }
  if (ctrl) return std::nullopt;
  switch (event->key()) {
    case Qt::Key_Left:
      return NavigationKey::Left;
    case Qt::Key_Right:
      return NavigationKey::Right;
    case Qt::Key_Up:
      return NavigationKey::Up;
    case Qt::Key_Down:
      return NavigationKey::Down;
    case Qt::Key_PageUp:
      return NavigationKey::PageUp;
    case Qt::Key_PageDown:
      return NavigationKey::PageDown;
    default:
      return std::nullopt;
  }
}

}  // namespace

void ViewArea::AfterGestureScroll() {
  ApplyScroll();
  if (onScrolled) onScrolled();
}

bool ViewArea::NavigationKeyPress(QKeyEvent* event) {
  if (event->modifiers().testFlag(Qt::ControlModifier) && onZoom) {
    // Ctrl++ (also Ctrl+= and Ctrl+Shift+=, where + is shifted), Ctrl+-,
    // Ctrl+0: the zoom steps about the centre of the view.
    const QPoint centre(viewport()->width() / 2, viewport()->height() / 2);
    switch (event->key()) {
      case Qt::Key_Plus:
      case Qt::Key_Equal:
        onZoom(1, false, centre);
        return true;
      case Qt::Key_Minus:
        onZoom(-1, false, centre);
        return true;
      case Qt::Key_0:
        onZoom(0, true, centre);
        return true;
      default:
        break;
    }
  }
  const std::optional<NavigationKey> key = NavigationKeyOf(event);
  if (!key) return false;
  if (ScrollByKey(scroll_, *key, cellPixels ? cellPixels() : 1)) AfterGestureScroll();
  return true;
}

void ViewArea::wheelEvent(QWheelEvent* event) {
  event->accept();
  if (event->modifiers().testFlag(Qt::ControlModifier)) {
    // Whichever wheel turns; Qt reports some as horizontal under Alt.
    const QPoint angle = event->angleDelta();
    const int32_t turn = angle.y() != 0 ? angle.y() : angle.x();
    const int32_t steps = WheelZoomSteps(zoomWheelRest_, turn);
    if (steps != 0 && onZoom) onZoom(steps, false, event->position().toPoint());
    return;
  }
  zoomWheelRest_ = 0;
  WheelInput wheel;
  wheel.angleX = event->angleDelta().x();
  wheel.angleY = event->angleDelta().y();
  wheel.pixelX = event->pixelDelta().x();
  wheel.pixelY = event->pixelDelta().y();
  wheel.swapAxes = event->modifiers().testFlag(Qt::ShiftModifier);
  if (ScrollByWheel(scroll_, wheelRest_, wheel, cellPixels ? cellPixels() : 1)) {
    AfterGestureScroll();
  }
}

bool ViewArea::PanPress(QMouseEvent* event) {
  if (event->button() != Qt::MiddleButton) return false;
  // A left-button stroke in progress keeps the view where it is.
  if (panning_ || event->buttons().testFlag(Qt::LeftButton)) return true;
  panning_ = true;
  panStart_ = event->position().toPoint();
  panScrollX_ = scroll_.scrollX;
  panScrollY_ = scroll_.scrollY;
  cursorBeforePan_ = viewport()->cursor();
  viewport()->setCursor(Qt::ClosedHandCursor);
  return true;
}

bool ViewArea::PanMove(QMouseEvent* event) {
  if (!panning_) return false;
  const QPoint moved = event->position().toPoint() - panStart_;
  if (PanView(scroll_, panScrollX_, panScrollY_, moved.x(), moved.y())) AfterGestureScroll();
  return true;
}

bool ViewArea::PanRelease(QMouseEvent* event) {
  if (event->button() != Qt::MiddleButton) return false;
  if (panning_) {
    panning_ = false;
    // Unless a tool chose another cursor meanwhile.
    if (viewport()->cursor().shape() == Qt::ClosedHandCursor) {
      viewport()->setCursor(cursorBeforePan_);
    }
  }
  return true;
}

}  // namespace kelvor
