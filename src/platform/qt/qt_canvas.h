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
  CanvasRect Clip() const override {
    return {clipLeft_, clipTop_, clipRight_ - clipLeft_, clipBottom_ - clipTop_};
  }
  // Twins paint the same pixels through their own QPainter.
  std::unique_ptr<Canvas> Twin() override;
  void FillRect(CanvasRect rect, Color color) override;
  void BlendImage(const PixelBuffer& source, CanvasRect sourceRect, CanvasRect targetRect) override;
  void SetPen(CanvasPen pen) override;
  CanvasPen Pen() const override { return pen_; }
  void MoveTo(CanvasPoint point) override { position_ = point; }
  void LineTo(CanvasPoint to) override;
  void Polyline(std::span<const CanvasPoint> points) override;
  void BlendTiles(const PixelBuffer& source, int32_t side,
                  std::span<const CanvasTile> tiles) override;
  void BlendTilePairs(const PixelBuffer& lower, const PixelBuffer& upper, int32_t side,
                      std::span<const CanvasTilePair> pairs) override;
  void Squares(std::span<const CanvasPoint> corners, int32_t side) override;
  void SquareRow(CanvasPoint first, int32_t step, std::span<const uint8_t> drawn,
                 int32_t side) override;
  void VerticalLines(std::span<const int32_t> xs, int32_t top, int32_t bottom) override;

  // Sends every shape through QPainter, for comparing the direct paths.
  void SetDirectPathsEnabled(bool enabled) { direct_ = enabled; }
  // Blends four pixels at a time even where AVX2 would do eight, for tests.
  void SetWideBlendEnabled(bool enabled);
  // Without twins, pictures are drawn on the calling thread alone.
  void SetTwinsEnabled(bool enabled) { twins_ = enabled; }

 private:
  // Paints the pixels left <= x < right, top <= y < bottom inside the clip.
  void FillBox(int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t pixel);
  bool FrameRectangle(std::span<const CanvasPoint> points);
  // The frame of the rectangle x0..x1, y0..y1 (x0 < x1, y0 < y1) with the
  // current pen.
  void FrameBox(int64_t x0, int64_t y0, int64_t x1, int64_t y1);
  void BlendSameSize(const PixelBuffer& source, CanvasRect sourceRect, CanvasRect targetRect);
  uint32_t PenPixel() const { return penPixel_; }
  void ApplyPainterPen(Qt::PenCapStyle cap);

  PixelBuffer& target_;
  QImage image_;
  std::unique_ptr<QPainter> painter_;
  CanvasPen pen_{};
  uint32_t penPixel_ = 0;  // the pen's colour as an opaque pixel
  CanvasPoint position_{};
  // The clip as left, top, right, bottom (exclusive), within the surface.
  int32_t clipLeft_ = 0;
  int32_t clipTop_ = 0;
  int32_t clipRight_ = 0;
  int32_t clipBottom_ = 0;
  bool twins_ = true;
  bool direct_ = true;
  bool avx2_ = false;  // blends eight pixels at a time
};

// The CanvasFactory of the Qt canvas.
std::unique_ptr<Canvas> MakeQtCanvas(PixelBuffer& target);

}  // namespace kelvor
