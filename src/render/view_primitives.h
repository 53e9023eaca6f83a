#pragma once

#include <array>
#include <cstdint>

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

// The square frame of one cell or chip with the current pen: inset
// trunc(zoom) + 1 from the cell's corner, side trunc((unit - 3) x zoom),
// shifted by the view's scroll offsets. Inline, like DrawWallHandle, so
// that loops over many cells work the sizes out once.
inline void DrawCellFrame(Canvas& canvas, int32_t column, int32_t row, int32_t unit, float zoom,
                          const ViewPort& view) {
  const int64_t s = Zoomed(unit, zoom);
  const int64_t o = Zoomed(1, zoom);
  const int32_t m = Zoomed(unit - 3, zoom);
  DrawSquare(canvas, column * s + o + 1 - view.scrollX, row * s + o + 1 - view.scrollY, m);
}

// Grid lines every trunc(unit x zoom) over content of contentWidth x
// contentHeight unscaled pixels, in `pen`; the canvas pen is restored after.
// Only lines that can reach the canvas are issued.
void DrawGrid(Canvas& canvas, int32_t contentWidth, int32_t contentHeight, int32_t unit, float zoom,
              CanvasPen pen, const ViewPort& view);

// One wall handle square of the map view with the current pen. `column2`
// and `row2` are twice the cell's column and row, `unit` is 16.
inline void DrawWallHandle(Canvas& canvas, int32_t column2, int32_t row2, int32_t offsetX,
                           int32_t offsetY, int32_t unit, float zoom, const ViewPort& view) {
  const int64_t s = Zoomed(unit, zoom);
  const int64_t o = Zoomed(1, zoom);
  const int32_t m = Zoomed(13, zoom);
  DrawSquare(canvas, column2 * s + offsetX + o + 1 - view.scrollX,
             row2 * s + offsetY + o + 1 - view.scrollY, m);
}

}  // namespace kelvor
