#include "support/recording_canvas.h"

#include <algorithm>

namespace kelvor::test {

void RecordingCanvas::SetClip(CanvasRect clip) {
  Call call;
  call.kind = Kind::Clip;
  call.rect = clip;
  calls.push_back(call);
  // Kept within the surface, as the canvases do.
  const int64_t left = std::clamp<int64_t>(clip.left, 0, width_);
  const int64_t top = std::clamp<int64_t>(clip.top, 0, height_);
  const int64_t right =
      std::clamp<int64_t>(int64_t{clip.left} + std::max(clip.width, 0), left, width_);
  const int64_t bottom =
      std::clamp<int64_t>(int64_t{clip.top} + std::max(clip.height, 0), top, height_);
  clip_ = {static_cast<int32_t>(left), static_cast<int32_t>(top),
           static_cast<int32_t>(right - left), static_cast<int32_t>(bottom - top)};
}

void RecordingCanvas::FillRect(CanvasRect rect, Color color) {
  Call call;
  call.kind = Kind::Fill;
  call.rect = rect;
  call.color = color;
  calls.push_back(call);
}

void RecordingCanvas::BlendImage(const PixelBuffer& source, CanvasRect sourceRect,
                                 CanvasRect targetRect) {
  Call call;
  call.kind = Kind::Blend;
  call.image = &source;
  call.source = sourceRect;
  call.rect = targetRect;
  calls.push_back(call);
}

void RecordingCanvas::LineTo(CanvasPoint to) {
  Call call;
  call.kind = Kind::Line;
  call.pen = pen_;
  call.points = {position_, to};
  calls.push_back(call);
  position_ = to;
}

void RecordingCanvas::Polyline(std::span<const CanvasPoint> points) {
  Call call;
  call.kind = Kind::Polyline;
  call.pen = pen_;
  call.points.assign(points.begin(), points.end());
  calls.push_back(call);
}

std::vector<RecordingCanvas::Call> RecordingCanvas::Of(Kind kind) const {
  std::vector<Call> result;
  for (const Call& call : calls) {
    if (call.kind == kind) result.push_back(call);
  }
  return result;
}

std::vector<RecordingCanvas::Call> RecordingCanvas::PolylinesWith(CanvasPen pen) const {
  std::vector<Call> result;
  for (const Call& call : calls) {
    if (call.kind == Kind::Polyline && call.pen == pen) result.push_back(call);
  }
  return result;
}

}  // namespace kelvor::test
