#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include "document/display_settings.h"
#include "document/view_port.h"
#include "platform/canvas.h"

namespace kelvor {

// Sizes of one view at a zoom, all float products truncated toward zero.
struct ViewSizes {
  int32_t cell = 0;   // edge of one 32-pixel chip or cell
  int32_t thin = 1;   // grid and wall-handle outline pen, at least 1
  int32_t thick = 1;  // frames and set wall handles, at least 1
};
ViewSizes ViewSizesAt(float zoom);

// The closed five-point square of side `side` from (x0, y0).
inline void DrawSquare(Canvas& canvas, int64_t x0, int64_t y0, int32_t side) {
  const auto x = static_cast<int32_t>(x0);
  const auto y = static_cast<int32_t>(y0);
  const std::array<CanvasPoint, 5> points{
      {{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}, {x, y}}};
  canvas.Polyline(points);
}

// Collects shapes of one kind and hands them to the canvas in batches, in
// the order they came; whatever is left goes out on Flush or destruction.
template <typename Item, typename Send>
class ShapeBatch {
 public:
  explicit ShapeBatch(Send send) : send_(std::move(send)) {}
  ~ShapeBatch() { Flush(); }
  ShapeBatch(const ShapeBatch&) = delete;
  ShapeBatch& operator=(const ShapeBatch&) = delete;

  void Add(const Item& item) {
    items_[count_++] = item;
    if (count_ == items_.size()) Flush();
  }
  void Flush() {
    if (count_ > 0) send_(std::span<const Item>(items_.data(), count_));
    count_ = 0;
  }

 private:
  std::array<Item, 512> items_;
  size_t count_ = 0;
  Send send_;
};

// Squares of one side drawn with the canvas's current pen when they go out.
inline auto SquareBatch(Canvas& canvas, int32_t side) {
  auto send = [&canvas, side](std::span<const CanvasPoint> corners) {
    canvas.Squares(corners, side);
  };
  return ShapeBatch<CanvasPoint, decltype(send)>(send);
}

// Squares laid out on a grid of `step` pixels, each `inset` from its grid
// corner (plus an offset), shifted by the view's scroll offsets.
struct SquareGeometry {
  int64_t step;
  int64_t inset;
  int32_t side;
  CanvasPoint Corner(int32_t column, int32_t row, const ViewPort& view, int32_t offsetX = 0,
                     int32_t offsetY = 0) const {
    return {static_cast<int32_t>(column * step + offsetX + inset - view.scrollX),
            static_cast<int32_t>(row * step + offsetY + inset - view.scrollY)};
  }
};

// The square frame of one cell or chip: inset trunc(zoom) + 1 from the
// cell's corner, side trunc((unit - 3) x zoom).
inline SquareGeometry CellFrameGeometry(int32_t unit, float zoom) {
  return {Zoomed(unit, zoom), Zoomed(1, zoom) + 1, Zoomed(unit - 3, zoom)};
}

// That frame with the current pen.
inline void DrawCellFrame(Canvas& canvas, int32_t column, int32_t row, int32_t unit, float zoom,
                          const ViewPort& view) {
  const SquareGeometry frame = CellFrameGeometry(unit, zoom);
  const CanvasPoint corner = frame.Corner(column, row, view);
  DrawSquare(canvas, corner.x, corner.y, frame.side);
}

// Grid lines every trunc(unit x zoom) over content of contentWidth x
// contentHeight unscaled pixels, in `pen`; the canvas pen is restored after.
// Only lines that can reach the canvas's clip are issued.
void DrawGrid(Canvas& canvas, int32_t contentWidth, int32_t contentHeight, int32_t unit, float zoom,
              CanvasPen pen, const ViewPort& view);

// The wall handle squares of the map view on a grid of trunc(unit x zoom)
// (unit 16, half a cell): inset trunc(zoom) + 1 from their corner, side
// trunc(13 x zoom).
inline SquareGeometry WallHandleGeometry(int32_t unit, float zoom) {
  return {Zoomed(unit, zoom), Zoomed(1, zoom) + 1, Zoomed(13, zoom)};
}

// One of those with the current pen: `column2` and `row2` are twice the
// cell's column and row.
inline void DrawWallHandle(Canvas& canvas, int32_t column2, int32_t row2, int32_t offsetX,
                           int32_t offsetY, int32_t unit, float zoom, const ViewPort& view) {
  const SquareGeometry handle = WallHandleGeometry(unit, zoom);
  const CanvasPoint corner = handle.Corner(column2, row2, view, offsetX, offsetY);
  DrawSquare(canvas, corner.x, corner.y, handle.side);
}

}  // namespace kelvor
