#pragma once

#include <cstdint>

#include "document/chip_sheet.h"
#include "document/map_document.h"
#include "document/view_port.h"
#include "editing/edit_state.h"
#include "editing/selection.h"

namespace kelvor {

// Window pixel to cell of a view whose content is contentWidth x contentHeight
// view pixels in cells of cellPixels: the point is clamped to the client area
// and to the content, then shifted by the scroll offsets.
CellPoint PointToCell(PixelPoint point, const ViewPort& view, int32_t contentWidth,
                      int32_t contentHeight, int32_t cellPixels);

// The map view: cells of trunc(32 x mapZoom).
CellPoint MapPointToCell(PixelPoint point, const MapGrid& grid, float mapZoom,
                         const ViewPort& view);

// The palette view: chips of trunc(32 x paletteZoom) over the sheet's pixels.
CellPoint PalettePointToCell(PixelPoint point, const ChipSheet& sheet, float paletteZoom,
                             const ViewPort& view);

// The point clamped as PointToCell clamps it (client area, then content).
PixelPoint ClampToContent(PixelPoint point, const ViewPort& view, int32_t contentWidth,
                          int32_t contentHeight);

// Spans `rect` between the anchor and the cell under the mouse. Returns true
// when that cell differs from `lastTrackCell` (the caller repaints), which it
// then updates.
bool TrackDragRectangle(CellPoint underMouse, CellPoint anchor, SelectionRect& rect,
                        CellPoint& lastTrackCell);

}  // namespace kelvor
