#pragma once

#include <cstdint>
#include <span>

#include "app/view_scroll.h"

namespace kelvor {

// How the user moves around a view besides its scroll bars: the wheel, zoom
// about a point, dragging with the middle button and the navigation keys.
// All of it goes through the view's ViewScroll, clamped as the bars are.

// One wheel notch is 120 eighths of a degree; it scrolls three cells.
inline constexpr int32_t WheelNotch = 120;
inline constexpr int32_t WheelCellsPerNotch = 3;

// What the wheel has turned but not yet scrolled: high-resolution wheels and
// touchpads send fractions of a notch, whose pixels add up here instead of
// being lost to rounding.
struct WheelRemainder {
  int64_t x = 0;  // in 1/120 of a pixel
  int64_t y = 0;
};

// A wheel event: `angleX`/`angleY` in eighths of a degree (positive: away
// from the user, or to the left), `pixelX`/`pixelY` the exact pixel scroll
// a touchpad reports (0 when it does not). `swapAxes`: Shift held, the
// vertical wheel scrolls horizontally. True when an offset moved.
struct WheelInput {
  int32_t angleX = 0;
  int32_t angleY = 0;
  int32_t pixelX = 0;
  int32_t pixelY = 0;
  bool swapAxes = false;
};
bool ScrollByWheel(ViewScroll& scroll, WheelRemainder& remainder, const WheelInput& wheel,
                   int32_t cellPixels);

// Whole notches of a zoom gesture, eighths of a degree collected in
// `remainder`: +1 per notch away from the user (zoom in), -1 towards.
int32_t WheelZoomSteps(int32_t& remainder, int32_t angle);

// The index of `zoom` among `steps` (ascending), else of the step nearest it.
int32_t ZoomStepIndex(std::span<const float> steps, float zoom);
// The step `delta` steps away from `zoom`, held inside the list.
float SteppedZoom(std::span<const float> steps, float zoom, int32_t delta);

// After a zoom from `oldZoom` to `newZoom` whose new content extent the
// scroll already has: scrolls so that the content point that was under the
// client point (anchorX, anchorY) at offsets (oldScrollX, oldScrollY) is
// under it again, as near as the edges allow. True when an offset moved.
bool ScrollToAnchor(ViewScroll& scroll, int32_t oldScrollX, int32_t oldScrollY, float oldZoom,
                    float newZoom, int32_t anchorX, int32_t anchorY);

// A drag with the middle button: the content follows the pointer, which
// has moved (dx, dy) since the drag began at offsets (startX, startY).
bool PanView(ViewScroll& scroll, int32_t startX, int32_t startY, int32_t dx, int32_t dy);

enum class NavigationKey {
  Left,
  Right,
  Up,
  Down,
  PageUp,
  PageDown,
  Home,         // left edge
  End,          // right edge
  FirstCorner,  // Ctrl+Home: top-left
  LastCorner,   // Ctrl+End: bottom-right
};
// Arrows move by one cell, pages by the client height. True when moved.
bool ScrollByKey(ViewScroll& scroll, NavigationKey key, int32_t cellPixels);

// Puts the client's centre over content point (x, y), as near as the edges
// allow (the overview's click).
bool CentreViewOn(ViewScroll& scroll, int32_t x, int32_t y);

}  // namespace kelvor
