#include "render/map_view.h"

#include <algorithm>

#include "document/display_settings.h"
#include "render/view_primitives.h"

namespace kelvor {

namespace {

int32_t VisibleCount(int32_t page, int32_t cell, int32_t limit) {
  if (page <= 0) return 0;
  const int32_t count = page / cell + (page % cell != 0 ? 1 : 0);
  return std::min(count, limit);
}

// First and last (inclusive) index of items spaced `step` apart whose
// drawing, starting at index x step - scroll and reaching at most `margin`
// steps before or after, can touch pixels 0 .. extent - 1.
struct IndexSpan {
  int64_t first;
  int64_t last;
};
IndexSpan TouchingSpan(int64_t scroll, int64_t extent, int64_t step, int64_t margin) {
  auto floorDiv = [](int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
  return {floorDiv(scroll, step) - margin, floorDiv(scroll + extent, step) + margin};
}

void DrawChipPasses(const Workspace& workspace, Canvas& canvas, ScaledAtlasCache& atlases,
                    const DrawnRange& range, int32_t cell) {
  const MapGrid& grid = workspace.document.grid;
  const DisplaySettings& display = workspace.display;
  const ViewPort& view = workspace.views[ViewMap];
  const int32_t mode = workspace.palette.mode;
  const int32_t passes = display.showLayer ? 2 : 1;
  for (int32_t pass = 0; pass < passes; ++pass) {
    const PixelBuffer* atlas =
        atlases.Scaled(pass, workspace.document.tables[static_cast<size_t>(pass)].atlas, cell);
    if (atlas == nullptr) continue;
    const bool collisionFrames = mode == PaletteModeCollision;
    const bool priorityFrames = mode == PaletteModePriority && pass == LevelLayer;
    for (int32_t row = range.firstRow; row < range.endRow; ++row) {
      for (int32_t column = range.firstColumn; column < range.endColumn; ++column) {
        const MapCell value = grid.At(column, row);
        const int32_t chip = CellChip(value, pass);
        if (chip == 0) continue;
        // The drawn range keeps these within the canvas; int64 keeps the
        // products of far columns from overflowing on the way.
        const auto x = static_cast<int32_t>(int64_t{column} * cell - view.scrollX);
        const auto y = static_cast<int32_t>(int64_t{row} * cell - view.scrollY);
        canvas.BlendImage(*atlas, {cell * (chip % 16), cell * (chip / 16), cell, cell},
                          {x, y, cell, cell});
        if ((collisionFrames && (value & CellFlagCollision) != 0) ||
            (priorityFrames && (value & CellFlagPriority) != 0)) {
          DrawCellFrame(canvas, column, row, 32, display.mapZoom, view);
        }
      }
    }
  }
}

void DrawSelection(const Workspace& workspace, Canvas& canvas, const DrawnRange& range,
                   int32_t cell, int32_t thick) {
  const MapGrid& grid = workspace.document.grid;
  const SelectionState& selection = workspace.selection;
  const DisplaySettings& display = workspace.display;
  const ViewPort& view = workspace.views[ViewMap];
  canvas.SetPen({thick, display.mapCopyFrameColor});
  for (int32_t row = range.firstRow; row < range.endRow; ++row) {
    for (int32_t column = range.firstColumn; column < range.endColumn; ++column) {
      const size_t index = static_cast<size_t>(column) + static_cast<size_t>(row) * grid.width;
      if (selection.selectionFlags[index] != 0) {
        DrawCellFrame(canvas, column, row, 32, display.mapZoom, view);
      }
    }
  }
  if (!selection.selectionDragActive) return;
  canvas.SetPen(
      {thick, selection.dragDeselects ? display.mapDeselectFrameColor : display.mapCopyFrameColor});
  // A frame stays within its cell and one pixel beyond, so cells more than
  // one away from the canvas cannot show.
  const SelectionRect& rect = selection.selectionRect;
  const IndexSpan columns = TouchingSpan(view.scrollX, canvas.Width(), cell, 1);
  const IndexSpan rows = TouchingSpan(view.scrollY, canvas.Height(), cell, 1);
  const int64_t top = std::max<int64_t>(rect.top, rows.first);
  const int64_t bottom = std::min<int64_t>(rect.bottom, rows.last);
  const int64_t left = std::max<int64_t>(rect.left, columns.first);
  const int64_t right = std::min<int64_t>(rect.right, columns.last);
  for (int64_t row = top; row <= bottom; ++row) {
    for (int64_t column = left; column <= right; ++column) {
      DrawCellFrame(canvas, static_cast<int32_t>(column), static_cast<int32_t>(row), 32,
                    display.mapZoom, view);
    }
  }
}

enum class HandleChoice { All, Set, Unset };

// Handles between horizontal neighbours (east walls) or vertical ones (south
// walls), all of them or those whose cell has (or lacks) the wall.
void DrawWallHandles(const Workspace& workspace, Canvas& canvas, bool east, HandleChoice choice) {
  const MapGrid& grid = workspace.document.grid;
  const float zoom = workspace.display.mapZoom;
  const ViewPort& view = workspace.views[ViewMap];
  const int32_t step = 2 * Zoomed(16, zoom);
  if (step < 1) return;
  const int32_t lastColumn = east ? grid.width - 2 : grid.width - 1;
  const int32_t lastRow = east ? grid.height - 1 : grid.height - 2;
  const int32_t offsetX = Zoomed(east ? 24 : 8, zoom);
  const int32_t offsetY = Zoomed(east ? 8 : 24, zoom);
  const MapCell wall = east ? CellFlagWallEast : CellFlagWallSouth;
  // A handle reaches less than two cells to the right of and below its
  // cell's corner, and never to its left or above.
  const IndexSpan columns = TouchingSpan(view.scrollX, canvas.Width(), step, 2);
  const IndexSpan rows = TouchingSpan(view.scrollY, canvas.Height(), step, 2);
  const auto columnEnd = static_cast<int32_t>(std::min<int64_t>(lastColumn, columns.last));
  const auto rowEnd = static_cast<int32_t>(std::min<int64_t>(lastRow, rows.last));
  const auto columnStart = static_cast<int32_t>(std::max<int64_t>(0, columns.first));
  const auto rowStart = static_cast<int32_t>(std::max<int64_t>(0, rows.first));
  for (int32_t row = rowStart; row <= rowEnd; ++row) {
    for (int32_t column = columnStart; column <= columnEnd; ++column) {
      if (choice != HandleChoice::All &&
          ((grid.At(column, row) & wall) != 0) != (choice == HandleChoice::Set)) {
        continue;
      }
      DrawWallHandle(canvas, column * 2, row * 2, offsetX, offsetY, 16, zoom, view);
    }
  }
}

}  // namespace

void UpdateVisibleCells(const MapGrid& grid, float mapZoom, ViewPort& mapView) {
  if (!(mapZoom > 0)) return;
  const int32_t cell = Zoomed(32, mapZoom);
  if (cell < 1) return;
  mapView.visibleColumns = VisibleCount(mapView.pageWidth, cell, grid.width);
  mapView.visibleRows = VisibleCount(mapView.pageHeight, cell, grid.height);
}

DrawnRange MapDrawnRange(const MapGrid& grid, int32_t cell, const ViewPort& mapView) {
  DrawnRange range;
  if (cell < 1) return range;
  const int32_t scrollX = std::max(mapView.scrollX, 0);
  const int32_t scrollY = std::max(mapView.scrollY, 0);
  range.firstColumn = scrollX / cell;
  range.firstRow = scrollY / cell;
  const int64_t endColumn = int64_t{range.firstColumn} + std::max(mapView.visibleColumns, 0) +
                            (scrollX % cell != 0 ? 1 : 0);
  const int64_t endRow =
      int64_t{range.firstRow} + std::max(mapView.visibleRows, 0) + (scrollY % cell != 0 ? 1 : 0);
  range.endColumn = static_cast<int32_t>(std::min<int64_t>(endColumn, grid.width));
  range.endRow = static_cast<int32_t>(std::min<int64_t>(endRow, grid.height));
  return range;
}

void ComposeMapView(const Workspace& workspace, Canvas& canvas, ScaledAtlasCache& atlases) {
  const MapGrid& grid = workspace.document.grid;
  const DisplaySettings& display = workspace.display;
  const SelectionState& selection = workspace.selection;
  if (!(display.mapZoom > 0) || !grid.Exists() || workspace.palette.mode < 0) return;
  if (grid.width < 0 || grid.height < 0 ||
      grid.CellCount() != static_cast<size_t>(grid.width) * static_cast<size_t>(grid.height)) {
    return;
  }
  if (!selection.hasFlags || selection.selectionFlags.size() != grid.CellCount()) return;
  const ViewSizes sizes = ViewSizesAt(display.mapZoom);
  if (sizes.cell < 1) return;
  const ViewPort& view = workspace.views[ViewMap];
  const DrawnRange range = MapDrawnRange(grid, sizes.cell, view);
  const CanvasPen gridPen{sizes.thin, display.mapBorderColor};
  // Beyond 2^29 pixels nothing can be scrolled to; the cap keeps the zoomed
  // sizes inside int32.
  constexpr int64_t contentLimit = int64_t{1} << 29;
  const auto contentWidth = static_cast<int32_t>(std::min(int64_t{grid.width} * 32, contentLimit));
  const auto contentHeight =
      static_cast<int32_t>(std::min(int64_t{grid.height} * 32, contentLimit));

  if (!display.showGrid) {
    DrawGrid(canvas, contentWidth, contentHeight, 32, display.mapZoom, gridPen, view);
  }
  canvas.SetPen({sizes.thick, display.mapAttrFrameColor});
  DrawChipPasses(workspace, canvas, atlases, range, sizes.cell);
  DrawSelection(workspace, canvas, range, sizes.cell, sizes.thick);
  if (display.showGrid) {
    DrawGrid(canvas, contentWidth, contentHeight, 32, display.mapZoom, gridPen, view);
  }
  if (workspace.palette.mode == PaletteModeCollision) {
    // When both pens have the same width, a set handle's outline is painted
    // over exactly by its second drawing, so only the unset ones need it.
    const HandleChoice outlined =
        sizes.thin == sizes.thick ? HandleChoice::Unset : HandleChoice::All;
    canvas.SetPen({sizes.thin, display.mapCollisionFrameColor});
    DrawWallHandles(workspace, canvas, true, outlined);
    DrawWallHandles(workspace, canvas, false, outlined);
    canvas.SetPen({sizes.thick, display.mapAttrFrameColor});
    DrawWallHandles(workspace, canvas, true, HandleChoice::Set);
    DrawWallHandles(workspace, canvas, false, HandleChoice::Set);
  }
}

void ComposeMapView(const Workspace& workspace, Canvas& canvas) {
  ScaledAtlasCache atlases;
  ComposeMapView(workspace, canvas, atlases);
}

}  // namespace kelvor
