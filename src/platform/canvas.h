#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "base/color.h"
#include "base/pixel_buffer.h"

namespace kelvor {

struct CanvasPoint {
  int32_t x = 0;
  int32_t y = 0;
  friend bool operator==(const CanvasPoint&, const CanvasPoint&) = default;
};

// A rectangle of pixels: left <= x < left + width, top <= y < top + height.
struct CanvasRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool Empty() const { return width <= 0 || height <= 0; }
  friend bool operator==(const CanvasRect&, const CanvasRect&) = default;
};

// One square of a BlendTiles call: the square's corner in the source and
// where it goes on the surface.
struct CanvasTile {
  int32_t sourceX = 0;
  int32_t sourceY = 0;
  int32_t targetX = 0;
  int32_t targetY = 0;
  friend bool operator==(const CanvasTile&, const CanvasTile&) = default;
};

// One cell of a BlendTilePairs call: the corners of its lower and upper
// squares in their sources and where both go on the surface.
struct CanvasTilePair {
  int32_t lowerX = 0;
  int32_t lowerY = 0;
  int32_t upperX = 0;
  int32_t upperY = 0;
  int32_t targetX = 0;
  int32_t targetY = 0;
  friend bool operator==(const CanvasTilePair&, const CanvasTilePair&) = default;
};

// A solid pen. Widths below 1 draw as 1.
struct CanvasPen {
  int32_t width = 1;
  Color color = 0;
  friend bool operator==(const CanvasPen&, const CanvasPen&) = default;
};

// A drawing surface over a PixelBuffer, with the pixel rules the views are
// designed for: nothing is antialiased; a line of pen width w at coordinate c
// covers the pixels c - w/2 .. c - w/2 + w - 1 (w/2 rounded down) across its
// direction; a move-to / line-to line does not paint its end point; a
// polyline joins its segments with mitres and squares off its two ends, so a
// closed rectangle is a complete frame.
class Canvas {
 public:
  virtual ~Canvas() = default;

  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;

  // Limits all later drawing to `clip` (and always to the surface).
  virtual void SetClip(CanvasRect clip) = 0;
  // The clip in effect, within the surface: the whole surface until SetClip.
  virtual CanvasRect Clip() const = 0;

  // Another canvas over the same surface with this one's clip and pen, for
  // drawing on another thread while this canvas draws elsewhere: each may
  // draw only where the other does not. Null when the surface cannot be
  // shared so.
  virtual std::unique_ptr<Canvas> Twin() { return nullptr; }

  // Paints `rect` opaque in `color`.
  virtual void FillRect(CanvasRect rect, Color color) = 0;

  // Draws `sourceRect` of `source` onto `targetRect`, source over, with the
  // source's per-pixel premultiplied alpha; stretched (nearest neighbour)
  // when the sizes differ. A source rectangle reaching outside `source`
  // draws nothing.
  virtual void BlendImage(const PixelBuffer& source, CanvasRect sourceRect,
                          CanvasRect targetRect) = 0;

  virtual void SetPen(CanvasPen pen) = 0;
  virtual CanvasPen Pen() const = 0;

  // The current position for LineTo.
  virtual void MoveTo(CanvasPoint point) = 0;
  // A line from the current position up to, not including, `to`, which
  // becomes the current position.
  virtual void LineTo(CanvasPoint to) = 0;

  // Connected segments through `points` with the current pen; leaves the
  // current position alone.
  virtual void Polyline(std::span<const CanvasPoint> points) = 0;

  // The batches below paint exactly what their one-by-one calls paint, in
  // the same order; a paint issues tens of thousands of them, so a surface
  // may do them faster together.

  // BlendImage of the side x side square at each tile's source corner onto
  // the same-size square at its target corner.
  virtual void BlendTiles(const PixelBuffer& source, int32_t side,
                          std::span<const CanvasTile> tiles);

  // For each pair, BlendImage of its side x side square of `lower`, then of
  // `upper`, onto the same square of the surface.
  virtual void BlendTilePairs(const PixelBuffer& lower, const PixelBuffer& upper, int32_t side,
                              std::span<const CanvasTilePair> pairs);

  // The closed five-point square of `side` from each corner, with the
  // current pen.
  virtual void Squares(std::span<const CanvasPoint> corners, int32_t side);

  // Squares of `side` from the corners first + (i x step, 0), for every i
  // whose byte in `drawn` is not 0: what Squares paints with those corners
  // from left to right.
  virtual void SquareRow(CanvasPoint first, int32_t step, std::span<const uint8_t> drawn,
                         int32_t side);

  // A move-to / line-to line from (x, top) to (x, bottom) for each x, with
  // the current pen; the current position ends at the last line's end.
  virtual void VerticalLines(std::span<const int32_t> xs, int32_t top, int32_t bottom);
};

// Makes a canvas that draws straight into `target` (which must outlive it).
using CanvasFactory = std::function<std::unique_ptr<Canvas>(PixelBuffer& target)>;

}  // namespace kelvor
