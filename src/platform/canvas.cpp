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

void Canvas::BlendTilePairs(const PixelBuffer& lower, const PixelBuffer& upper, int32_t side,
                            std::span<const CanvasTilePair> pairs) {
  for (const CanvasTilePair& pair : pairs) {
    const CanvasRect target{pair.targetX, pair.targetY, side, side};
    BlendImage(lower, {pair.lowerX, pair.lowerY, side, side}, target);
    BlendImage(upper, {pair.upperX, pair.upperY, side, side}, target);
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

void Canvas::SquareRow(CanvasPoint first, int32_t step, std::span<const uint8_t> drawn,
                       int32_t side) {
  std::array<CanvasPoint, 256> corners;
  size_t count = 0;
  for (size_t i = 0; i < drawn.size(); ++i) {
    if (drawn[i] == 0) continue;
    corners[count++] = {static_cast<int32_t>(first.x + static_cast<int64_t>(i) * step), first.y};
    if (count == corners.size()) {
      Squares(corners, side);
      count = 0;
    }
  }
  Squares(std::span<const CanvasPoint>(corners.data(), count), side);
}

void Canvas::VerticalLines(std::span<const int32_t> xs, int32_t top, int32_t bottom) {
  for (const int32_t x : xs) {
    MoveTo({x, top});
    LineTo({x, bottom});
  }
}

}  // namespace kelvor
