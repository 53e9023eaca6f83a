#include "render/view_primitives.h"

#include <algorithm>
#include <array>

#include "document/display_settings.h"

namespace kelvor {

namespace {

// The closed five-point square of side `side` from (x0, y0).
void DrawSquare(Canvas& canvas, int64_t x0, int64_t y0, int32_t side) {
  const auto x = static_cast<int32_t>(x0);
  const auto y = static_cast<int32_t>(y0);
  const std::array<CanvasPoint, 5> points{
      {{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}, {x, y}}};
  canvas.Polyline(points);
}

}  // namespace

ViewSizes ViewSizesAt(float zoom) {
  ViewSizes sizes;
  sizes.cell = Zoomed(32, zoom);
  sizes.thin = std::max(Zoomed(1, zoom), 1);
  sizes.thick = std::max(Zoomed(2, zoom), 1);
  return sizes;
}

void DrawCellFrame(Canvas& canvas, int32_t column, int32_t row, int32_t unit, float zoom,
                   const ViewPort& view) {
  const int64_t s = Zoomed(unit, zoom);
  const int64_t o = Zoomed(1, zoom);
  const int32_t m = Zoomed(unit - 3, zoom);
  DrawSquare(canvas, column * s + o + 1 - view.scrollX, row * s + o + 1 - view.scrollY, m);
}

void DrawWallHandle(Canvas& canvas, int32_t column2, int32_t row2, int32_t offsetX, int32_t offsetY,
                    int32_t unit, float zoom, const ViewPort& view) {
  const int64_t s = Zoomed(unit, zoom);
  const int64_t o = Zoomed(1, zoom);
  const int32_t m = Zoomed(13, zoom);
  DrawSquare(canvas, column2 * s + offsetX + o + 1 - view.scrollX,
             row2 * s + offsetY + o + 1 - view.scrollY, m);
}

void DrawGrid(Canvas& canvas, int32_t contentWidth, int32_t contentHeight, int32_t unit, float zoom,
              CanvasPen pen, const ViewPort& view) {
  const int64_t step = Zoomed(unit, zoom);
  if (step < 1) return;
  const int64_t w = Zoomed(contentWidth, zoom);
  const int64_t h = Zoomed(contentHeight, zoom);
  const int64_t sx = view.scrollX;
  const int64_t sy = view.scrollY;
  // A line at view coordinate v paints v - width/2 .. v + width/2 at most;
  // lines entirely off the canvas are skipped, which changes no pixel.
  const int64_t reach = std::max(pen.width, 1);
  auto firstLine = [&](int64_t scroll) {
    const int64_t lowest = scroll - reach;
    return lowest <= 0 ? 0 : (lowest + step - 1) / step * step;
  };
  const CanvasPen previous = canvas.Pen();
  canvas.SetPen(pen);
  const int64_t xLimit = std::min(w, sx + canvas.Width() + reach);
  for (int64_t x = firstLine(sx); x <= xLimit; x += step) {
    canvas.MoveTo({static_cast<int32_t>(x - sx), static_cast<int32_t>(-sy)});
    canvas.LineTo({static_cast<int32_t>(x - sx), static_cast<int32_t>(h - sy)});
  }
  const int64_t yLimit = std::min(h, sy + canvas.Height() + reach);
  for (int64_t y = firstLine(sy); y <= yLimit; y += step) {
    canvas.MoveTo({static_cast<int32_t>(-sx), static_cast<int32_t>(y - sy)});
    canvas.LineTo({static_cast<int32_t>(w - sx), static_cast<int32_t>(y - sy)});
  }
  canvas.SetPen(previous);
}

}  // namespace kelvor
