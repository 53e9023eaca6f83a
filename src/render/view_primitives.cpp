#include "render/view_primitives.h"

#include <algorithm>

#include "document/display_settings.h"

namespace kelvor {

ViewSizes ViewSizesAt(float zoom) {
  ViewSizes sizes;
  sizes.cell = Zoomed(32, zoom);
  sizes.thin = std::max(Zoomed(1, zoom), 1);
  sizes.thick = std::max(Zoomed(2, zoom), 1);
  return sizes;
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
  // lines entirely outside the clip are skipped, which changes no pixel.
  const int64_t reach = std::max(pen.width, 1);
  auto firstLine = [&](int64_t from) {
    const int64_t lowest = from - reach;
    return lowest <= 0 ? 0 : (lowest + step - 1) / step * step;
  };
  const CanvasPen previous = canvas.Pen();
  canvas.SetPen(pen);
  const CanvasRect clip = canvas.Clip();
  const int64_t xLimit = std::min(w, sx + clip.left + clip.width + reach);
  {
    auto send = [&canvas, top = static_cast<int32_t>(-sy), bottom = static_cast<int32_t>(h - sy)](
                    std::span<const int32_t> xs) { canvas.VerticalLines(xs, top, bottom); };
    ShapeBatch<int32_t, decltype(send)> lines(send);
    for (int64_t x = firstLine(sx + clip.left); x <= xLimit; x += step) {
      lines.Add(static_cast<int32_t>(x - sx));
    }
  }
  const int64_t yLimit = std::min(h, sy + clip.top + clip.height + reach);
  for (int64_t y = firstLine(sy + clip.top); y <= yLimit; y += step) {
    canvas.MoveTo({static_cast<int32_t>(-sx), static_cast<int32_t>(y - sy)});
    canvas.LineTo({static_cast<int32_t>(w - sx), static_cast<int32_t>(y - sy)});
  }
  canvas.SetPen(previous);
}

}  // namespace kelvor
