#pragma once

#include <QAbstractScrollArea>
#include <functional>

#include "app/view_navigation.h"
#include "app/view_scroll.h"

class QPainter;

namespace kelvor {

// The scrolled client area of one window. Its scroll bars show the
// ViewScroll model: every bar request goes through the model, which decides
// the new offset, and the whole client is repainted from the offsets.
class ViewArea : public QAbstractScrollArea {
  Q_OBJECT

 public:
  ViewArea(ViewScroll& scroll, QWidget* parent = nullptr);

  // Pushes the model's ranges, pages and offsets to the bars and repaints.
  void ApplyScroll();
  ViewScroll& scroll() { return scroll_; }

  // What the owning window does with the client's events.
  std::function<void(QPainter&, QSize)> onPaint;
  std::function<void(QMouseEvent*)> onMousePress;
  std::function<void(QMouseEvent*)> onMouseMove;
  std::function<void(QMouseEvent*)> onMouseRelease;
  std::function<void(QContextMenuEvent*)> onContextMenu;
  std::function<void()> onResize;              // after the model took the new page size
  std::function<bool(QKeyEvent*)> onKeyPress;  // true when taken

  // Navigation: one cell in view pixels (wheel and arrow steps); a zoom
  // gesture of `delta` steps, or back to 100 % with `reset`, about a client
  // point; and what follows any move of the offsets by a gesture here.
  std::function<int32_t()> cellPixels;
  std::function<void(int32_t delta, bool reset, QPoint anchor)> onZoom;
  std::function<void()> onScrolled;
  // The pointer over the client moved, or left it (-1, -1).
  std::function<void(QPoint)> onPointer;
  bool panning() const { return panning_; }

 protected:
  bool viewportEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void OnBarAction(ScrollAxis axis, int action);
  // The wheel, the middle-button drag and the navigation keys.
  bool NavigationKeyPress(QKeyEvent* event);
  bool PanPress(QMouseEvent* event);
  bool PanMove(QMouseEvent* event);
  bool PanRelease(QMouseEvent* event);
  void AfterGestureScroll();

  ViewScroll& scroll_;
  bool applying_ = false;
  QSize lastAreaSize_;
  WheelRemainder wheelRest_;
  int32_t zoomWheelRest_ = 0;
  bool panning_ = false;
  QPoint panStart_;
  int32_t panScrollX_ = 0;
  int32_t panScrollY_ = 0;
  QCursor cursorBeforePan_;
};

}  // namespace kelvor
