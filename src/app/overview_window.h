#pragma once

#include <QWidget>
#include <functional>

#include "render/overview_picture.h"

namespace kelvor {

struct Workspace;

// The overview: a small tool window with the whole map scaled to fit and
// the part the map window shows framed. A click or a drag in it moves the
// map view there. Hidden at start; closing it only hides it.
class OverviewWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int DefaultSize = 256;

  OverviewWindow(const Workspace& workspace, QWidget* owner);

  // After edits, scrolling, a new map or zoom: the picture catches up with
  // the document (only the changed pieces) and the frame is drawn again.
  void Refresh();
  const OverviewPicture& picture() const { return picture_; }
  // Where the picture lies in the client (centred).
  QPoint pictureOrigin() const;

  // A click or drag at a content point of the map view (view pixels).
  std::function<void(int32_t x, int32_t y)> onMoveView;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void MoveViewTo(QPoint point);

  const Workspace& workspace_;
  OverviewPicture picture_;
};

}  // namespace kelvor
