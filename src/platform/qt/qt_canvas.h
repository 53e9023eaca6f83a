#pragma once

#include <QImage>
#include <QPainter>
#include <memory>

#include "platform/canvas.h"

namespace kelvor {

// QImage views of a PixelBuffer without copying its pixels. The buffer must
// outlive the image and keep its size.
QImage WrapPixelBuffer(PixelBuffer& buffer);
QImage WrapPixelBufferReadOnly(const PixelBuffer& buffer);

// The canvas of the editor and the command-line tool: QPainter on a QImage
// that shares the target's pixels. Axis-aligned lines and frames and
// same-size blends, which is all the views draw, are written straight into
// the pixels with the rules QPainter follows for them, because a paint at
// 25% zoom issues a few hundred thousand of them; everything else goes
// through QPainter.
class QtCanvas final : public Canvas {
 public:
  explicit QtCanvas(PixelBuffer& target);
  ~QtCanvas() override;
  QtCanvas(const QtCanvas&) = delete;
  QtCanvas& operator=(const QtCanvas&) = delete;

  int32_t Width() const override { return target_.width; }
  int32_t Height() const override { return target_.height; }
  void SetClip(CanvasRect clip) override;
  void FillRect(CanvasRect rect, Color color) override;
  void BlendImage(const PixelBuffer& source, CanvasRect sourceRect, CanvasRect targetRect) override;
  void SetPen(CanvasPen pen) override;
  CanvasPen Pen() const override { return pen_; }
  void MoveTo(CanvasPoint point) override { position_ = point; }
  void LineTo(CanvasPoint to) override;
  void Polyline(std::span<const CanvasPoint> points) override;

  // Sends every shape through QPainter, for comparing the direct paths.
  void SetDirectPathsEnabled(bool enabled) { direct_ = enabled; }
  // Blends four pixels at a time even where AVX2 would do eight, for tests.
  void SetWideBlendEnabled(bool enabled);

 private:
  // Paints the pixels left <= x < right, top <= y < bottom inside the clip.
  void FillBox(int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t pixel);
  bool FrameRectangle(std::span<const CanvasPoint> points);
  void BlendSameSize(const PixelBuffer& source, CanvasRect sourceRect, CanvasRect targetRect);
  uint32_t PenPixel() const;
  void ApplyPainterPen(Qt::PenCapStyle cap);

  PixelBuffer& target_;
  QImage image_;
  std::unique_ptr<QPainter> painter_;
  CanvasPen pen_{};
  CanvasPoint position_{};
  // The clip as left, top, right, bottom (exclusive), within the surface.
  int32_t clipLeft_ = 0;
  int32_t clipTop_ = 0;
  int32_t clipRight_ = 0;
  int32_t clipBottom_ = 0;
  bool direct_ = true;
  bool avx2_ = false;  // blends eight pixels at a time
};

// The CanvasFactory of the Qt canvas.
std::unique_ptr<Canvas> MakeQtCanvas(PixelBuffer& target);

}  // namespace kelvor
