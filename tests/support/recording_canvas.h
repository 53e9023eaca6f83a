#pragma once

#include <cstdint>
#include <vector>

#include "platform/canvas.h"

namespace kelvor::test {

// A canvas that paints nothing and records every drawing call with the pen
// in effect, for checking the geometry the composers ask for.
class RecordingCanvas : public Canvas {
 public:
  enum class Kind { Clip, Fill, Blend, Line, Polyline };
  struct Call {
    Kind kind = Kind::Fill;
    CanvasPen pen{};                     // pen in effect (Line, Polyline)
    Color color = 0;                     // Fill
    CanvasRect rect{};                   // Clip, Fill, Blend target
    CanvasRect source{};                 // Blend
    const PixelBuffer* image = nullptr;  // Blend
    std::vector<CanvasPoint> points;     // Line: from, to; Polyline: all points
  };

  RecordingCanvas(int32_t width, int32_t height)
      : width_(width), height_(height), clip_{0, 0, width, height} {}

  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  void SetClip(CanvasRect clip) override;
  CanvasRect Clip() const override { return clip_; }
  void FillRect(CanvasRect rect, Color color) override;
  void BlendImage(const PixelBuffer& source, CanvasRect sourceRect, CanvasRect targetRect) override;
  void SetPen(CanvasPen pen) override { pen_ = pen; }
  CanvasPen Pen() const override { return pen_; }
  void MoveTo(CanvasPoint point) override { position_ = point; }
  void LineTo(CanvasPoint to) override;
  void Polyline(std::span<const CanvasPoint> points) override;

  std::vector<Call> calls;

  std::vector<Call> Of(Kind kind) const;
  // Polylines drawn with `pen`.
  std::vector<Call> PolylinesWith(CanvasPen pen) const;

 private:
  int32_t width_;
  int32_t height_;
  CanvasRect clip_;
  CanvasPen pen_{};
  CanvasPoint position_{};
};

}  // namespace kelvor::test
