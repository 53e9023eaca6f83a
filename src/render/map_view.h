#pragma once

#include <cstdint>

#include "document/map_document.h"
#include "document/view_port.h"
#include "platform/canvas.h"
#include "render/scaled_atlas.h"
#include "workspace/workspace.h"

namespace kelvor {

// Recomputes how many cells fit the map view's page: page size / cell, plus
// one for a remainder, capped at the map size. Nothing when the zoom makes
// cells smaller than a pixel.
void UpdateVisibleCells(const MapGrid& grid, float mapZoom, ViewPort& mapView);

// Cells the chip passes and the selection frames cover: from the scrolled-to
// cell, `visibleColumns` x `visibleRows` plus one more column (row) when the
// view is scrolled by part of a cell, never beyond the map.
struct DrawnRange {
  int32_t firstColumn = 0;
  int32_t firstRow = 0;
  int32_t endColumn = 0;  // exclusive
  int32_t endRow = 0;     // exclusive
};
DrawnRange MapDrawnRange(const MapGrid& grid, int32_t cell, const ViewPort& mapView);

// The map window's picture over a canvas already filled with the background
// colour: grid (behind or in front by showGrid), background and layer chips
// with the flag frames of the palette mode, selected cells, the drag
// rectangle, and the wall handles in collision mode. Does nothing without a
// map, without selection flags that match it, or at a zoom below one pixel
// per cell.
void ComposeMapView(const Workspace& workspace, Canvas& canvas, ScaledAtlasCache& atlases);
// The same with atlases scaled for this paint only.
void ComposeMapView(const Workspace& workspace, Canvas& canvas);

}  // namespace kelvor
