#include "app/view_navigation.h"

#include <algorithm>
#include <cmath>

namespace kelvor {
namespace {

int32_t ClampToInt(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// Moves one axis to `offset` as a thumb drag would.
bool ScrollAxisTo(ViewScroll& scroll, ScrollAxis axis, int64_t offset) {
  return scroll.Scroll(axis, ScrollRequest::Thumb, ClampToInt(offset));
}

// Pixels to scroll for `angle` eighths of a degree, the rest kept.
int64_t WheelPixels(int64_t& remainder, int32_t angle, int32_t cellPixels) {
  const int64_t total =
      remainder + static_cast<int64_t>(angle) * WheelCellsPerNotch * std::max(cellPixels, 1);
  remainder = total % WheelNotch;
  return total / WheelNotch;
}

}  // namespace

bool ScrollByWheel(ViewScroll& scroll, WheelRemainder& remainder, const WheelInput& wheel,
                   int32_t cellPixels) {
  int64_t moveX = 0;
  int64_t moveY = 0;
  if (wheel.pixelX != 0 || wheel.pixelY != 0) {
    // A touchpad says exactly how far; the rest of any earlier notch stays.
    moveX = wheel.pixelX;
    moveY = wheel.pixelY;
  } else {
    moveX = WheelPixels(remainder.x, wheel.angleX, cellPixels);
    moveY = WheelPixels(remainder.y, wheel.angleY, cellPixels);
  }
  if (wheel.swapAxes) std::swap(moveX, moveY);
  // Turning away from the user shows what is above (or to the left).
  bool moved = false;
  if (moveX != 0) moved |= ScrollAxisTo(scroll, ScrollAxis::Horizontal, scroll.scrollX - moveX);
  if (moveY != 0) moved |= ScrollAxisTo(scroll, ScrollAxis::Vertical, scroll.scrollY - moveY);
  return moved;
}

int32_t WheelZoomSteps(int32_t& remainder, int32_t angle) {
  const int64_t total = static_cast<int64_t>(remainder) + angle;
  const int64_t steps = total / WheelNotch;
  remainder = static_cast<int32_t>(total % WheelNotch);
  return ClampToInt(steps);
}

int32_t ZoomStepIndex(std::span<const float> steps, float zoom) {
  int32_t best = 0;
  for (size_t i = 0; i < steps.size(); ++i) {
    if (std::fabs(steps[i] - zoom) < std::fabs(steps[static_cast<size_t>(best)] - zoom)) {
      best = static_cast<int32_t>(i);
    }
  }
  return best;
}

float SteppedZoom(std::span<const float> steps, float zoom, int32_t delta) {
  if (steps.empty()) return zoom;
  const int64_t index = static_cast<int64_t>(ZoomStepIndex(steps, zoom)) + delta;
  return steps[static_cast<size_t>(std::clamp<int64_t>(index, 0, std::ssize(steps) - 1))];
}

bool ScrollToAnchor(ViewScroll& scroll, int32_t oldScrollX, int32_t oldScrollY, float oldZoom,
                    float newZoom, int32_t anchorX, int32_t anchorY) {
  if (!(oldZoom > 0.0f) || !(newZoom > 0.0f)) return false;
  // The content point under the anchor, at the new scale. Cells are whole
  // pixels at every step (8, 16, 24, 32, 48 or 64 for the map), so the
  // point stays in the same cell, on the same pixel where the steps allow.
  // Multiplying first keeps whole results exact (24 x 1.0 / 0.75 is 32).
  auto target = [oldZoom, newZoom](int32_t offset, int32_t anchor) {
    const double point = (static_cast<double>(offset) + anchor) * newZoom / oldZoom;
    return static_cast<int64_t>(std::floor(point + 1e-9)) - anchor;
  };
  bool moved = ScrollAxisTo(scroll, ScrollAxis::Horizontal, target(oldScrollX, anchorX));
  moved |= ScrollAxisTo(scroll, ScrollAxis::Vertical, target(oldScrollY, anchorY));
  return moved;
}

bool PanView(ViewScroll& scroll, int32_t startX, int32_t startY, int32_t dx, int32_t dy) {
  bool moved = ScrollAxisTo(scroll, ScrollAxis::Horizontal, static_cast<int64_t>(startX) - dx);
  moved |= ScrollAxisTo(scroll, ScrollAxis::Vertical, static_cast<int64_t>(startY) - dy);
  return moved;
}

bool ScrollByKey(ViewScroll& scroll, NavigationKey key, int32_t cellPixels) {
  const int64_t cell = std::max(cellPixels, 1);
  switch (key) {
    case NavigationKey::Left:
      return ScrollAxisTo(scroll, ScrollAxis::Horizontal, scroll.scrollX - cell);
    case NavigationKey::Right:
      return ScrollAxisTo(scroll, ScrollAxis::Horizontal, scroll.scrollX + cell);
    case NavigationKey::Up:
      return ScrollAxisTo(scroll, ScrollAxis::Vertical, scroll.scrollY - cell);
    case NavigationKey::Down:
      return ScrollAxisTo(scroll, ScrollAxis::Vertical, scroll.scrollY + cell);
    case NavigationKey::PageUp:
      return scroll.Scroll(ScrollAxis::Vertical, ScrollRequest::PageBack);
    case NavigationKey::PageDown:
      return scroll.Scroll(ScrollAxis::Vertical, ScrollRequest::PageForward);
    case NavigationKey::Home:
      return scroll.Scroll(ScrollAxis::Horizontal, ScrollRequest::ToStart);
    case NavigationKey::End:
      return scroll.Scroll(ScrollAxis::Horizontal, ScrollRequest::ToEnd);
    case NavigationKey::FirstCorner: {
      const bool moved = scroll.Scroll(ScrollAxis::Horizontal, ScrollRequest::ToStart);
      return scroll.Scroll(ScrollAxis::Vertical, ScrollRequest::ToStart) || moved;
    }
    case NavigationKey::LastCorner: {
      const bool moved = scroll.Scroll(ScrollAxis::Horizontal, ScrollRequest::ToEnd);
      return scroll.Scroll(ScrollAxis::Vertical, ScrollRequest::ToEnd) || moved;
    }
  }
  return false;
}

bool CentreViewOn(ViewScroll& scroll, int32_t x, int32_t y) {
  const int64_t halfWidth = scroll.horizontal.page / 2;
  const int64_t halfHeight = scroll.vertical.page / 2;
  bool moved = ScrollAxisTo(scroll, ScrollAxis::Horizontal, x - halfWidth);
  moved |= ScrollAxisTo(scroll, ScrollAxis::Vertical, y - halfHeight);
  return moved;
}

}  // namespace kelvor
