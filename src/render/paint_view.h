#pragma once

#include <cstdint>

#include "document/view_port.h"
#include "platform/canvas.h"
#include "render/scaled_atlas.h"
#include "workspace/workspace.h"

namespace kelvor {

struct PaintRequest {
  ViewKind window = ViewMap;  // which window paints: its colour and composer
  int32_t clientWidth = 0;
  int32_t clientHeight = 0;
  bool paletteHoldsCapture = false;  // the palette window has the mouse captured
};

// One paint: a fresh back buffer of the client size, clipped to it, filled
// with the window's background colour and drawn by the window's composer.
// The caller copies the returned picture to the screen in one block and
// drops it. An empty client area (or one that cannot be allocated) gives an
// empty buffer and draws nothing.
PixelBuffer PaintView(const Workspace& workspace, const PaintRequest& request,
                      const CanvasFactory& makeCanvas, ScaledAtlasCache& atlases);

}  // namespace kelvor
