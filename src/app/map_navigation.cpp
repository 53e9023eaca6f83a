// The map window's navigation: zoom gestures about a point through the zoom
// commands, the status line and the overview.
#include <span>

#include "app/map_window.h"
#include "app/view_navigation.h"
#include "resources/menu_tables.h"
#include "workspace/workspace.h"

namespace kelvor {

void MapWindow::InstallNavigation() {
  view_->cellPixels = [this] { return Zoomed(ChipSize, workspace_.display.mapZoom); };
  view_->onZoom = [this](int32_t delta, bool reset, QPoint anchor) {
    ZoomMapAbout(delta, reset, anchor);
  };
}

void MapWindow::ZoomMapAbout(int32_t delta, bool reset, QPoint anchor) {
  const std::span<const float> steps(MapZoomSteps);
  const float from = workspace_.display.mapZoom;
  const float to = reset ? 1.0f : SteppedZoom(steps, from, delta);
  if (to == from) return;
  const int32_t oldX = scroll_.scrollX;
  const int32_t oldY = scroll_.scrollY;
  // Exactly as the menu item, which also decides whether it may run now.
  RunAccelerator(CommandMapZoomFirst + ZoomStepIndex(steps, to));
  const float now = workspace_.display.mapZoom;
  if (now == from) return;
  ScrollToAnchor(scroll_, oldX, oldY, from, now, anchor.x(), anchor.y());
  view_->ApplyScroll();
}

}  // namespace kelvor
