#include "editing/point_to_cell.h"

#include <algorithm>

#include "document/display_settings.h"

namespace kelvor {

PixelPoint ClampToContent(PixelPoint point, const ViewPort& view, int32_t contentWidth,
                          int32_t contentHeight) {
  int32_t x = std::clamp(point.x, 0, std::max(view.pageWidth, 0));
  int32_t y = std::clamp(point.y, 0, std::max(view.pageHeight, 0));
  if (x >= contentWidth) x = contentWidth - 1;
  if (y >= contentHeight) y = contentHeight - 1;
  return {x, y};
}

CellPoint PointToCell(PixelPoint point, const ViewPort& view, int32_t contentWidth,
                      int32_t contentHeight, int32_t cellPixels) {
  if (cellPixels <= 0) return {0, 0};
  const PixelPoint p = ClampToContent(point, view, contentWidth, contentHeight);
  // Division truncates toward zero, so an empty content (x = -1) gives cell 0.
  return {(p.x + view.scrollX) / cellPixels, (p.y + view.scrollY) / cellPixels};
}

CellPoint MapPointToCell(PixelPoint point, const MapGrid& grid, float mapZoom,
                         const ViewPort& view) {
  const int32_t cell = Zoomed(ChipSize, mapZoom);
  return PointToCell(point, view, grid.width * cell, grid.height * cell, cell);
}

CellPoint PalettePointToCell(PixelPoint point, const ChipSheet& sheet, float paletteZoom,
                             const ViewPort& view) {
  return PointToCell(point, view, Zoomed(sheet.width, paletteZoom),
                     Zoomed(sheet.height, paletteZoom), Zoomed(ChipSize, paletteZoom));
}

bool TrackDragRectangle(CellPoint underMouse, CellPoint anchor, SelectionRect& rect,
                        CellPoint& lastTrackCell) {
  rect.left = std::min(underMouse.column, anchor.column);
  rect.top = std::min(underMouse.row, anchor.row);
  rect.right = std::max(underMouse.column, anchor.column);
  rect.bottom = std::max(underMouse.row, anchor.row);
  if (underMouse == lastTrackCell) return false;
  lastTrackCell = underMouse;
  return true;
}

}  // namespace kelvor
