#include "platform/canvas.h"

#include <array>

namespace kelvor {

void Canvas::BlendTiles(const PixelBuffer& source, int32_t side,
                        std::span<const CanvasTile> tiles) {
  for (const CanvasTile& tile : tiles) {
    BlendImage(source, {tile.sourceX, tile.sourceY, side, side},
               {tile.targetX, tile.targetY, side, side});
  }
}

void Canvas::Squares(std::span<const CanvasPoint> corners, int32_t side) {
  for (const CanvasPoint& corner : corners) {
    const int32_t x = corner.x;
    const int32_t y = corner.y;
    const std::array<CanvasPoint, 5> points{
        {{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}, {x, y}}};
    Polyline(points);
  }
}

void Canvas::VerticalLines(std::span<const int32_t> xs, int32_t top, int32_t bottom) {
  for (const int32_t x : xs) {
    MoveTo({x, top});
    LineTo({x, bottom});
  }
}

}  // namespace kelvor
