#include "render/map_view.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <exception>
#include <memory>
#include <vector>

#include "base/parallel.h"
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
int64_t FloorDiv(int64_t a, int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

IndexSpan TouchingSpan(int64_t scroll, int64_t extent, int64_t step, int64_t margin) {
  return {FloorDiv(scroll, step) - margin, FloorDiv(scroll + extent, step) + margin};
}

const MapCell* RowOf(const MapGrid& grid, int32_t row) {
  return grid.cells->data() + static_cast<size_t>(row) * static_cast<size_t>(grid.width);
}

// What one paint of the map view works with.
struct MapPaint {
  const Workspace& workspace;
  std::array<const PixelBuffer*, 2> atlases;  // scaled, or null for a pass not drawn
  ViewSizes sizes;
  DrawnRange range;
  SquareGeometry frame;
  // The reach of a cell's frame beyond the top and the bottom of its cell,
  // at least 0 (it reaches one pixel into the next row at 25%). Frames are
  // squares placed alike across and down, so the same holds for the left
  // and the right.
  int32_t frameAbove;
  int32_t frameBelow;
  bool FramesLeaveTheCell() const { return frameAbove > 0 || frameBelow > 0; }
};

// Canvas rows top <= y < bottom. A big view is drawn in bands at once on
// several threads, each shape that can touch a band drawn clipped to it, in
// the order of the whole picture.
struct Band {
  int32_t top;
  int32_t bottom;
};

// Indices r of items at canvas rows r x step + base + low .. r x step +
// base + high - 1 that touch the band; empty when first > last.
IndexSpan ItemsTouching(const Band& band, int64_t step, int64_t base, int64_t low, int64_t high) {
  return {FloorDiv(band.top - base - high, step) + 1, FloorDiv(band.bottom - base - low - 1, step)};
}

// Rows of the drawn range whose cells (grown by `above` and `below`
// pixels) touch the band.
IndexSpan RowsTouching(const MapPaint& paint, const Band& band, int32_t above, int32_t below) {
  const int64_t cell = paint.sizes.cell;
  const IndexSpan rows = ItemsTouching(band, cell, -int64_t{paint.workspace.views[ViewMap].scrollY},
                                       -above, cell + below);
  return {std::max<int64_t>(rows.first, paint.range.firstRow),
          std::min<int64_t>(rows.last, int64_t{paint.range.endRow} - 1)};
}

// The flag a chip pass draws frames for in the palette mode, or 0.
MapCell FrameFlagOfPass(int32_t mode, int32_t pass) {
  if (mode == PaletteModeCollision) return CellFlagCollision;
  if (mode == PaletteModePriority && pass == LevelLayer) return CellFlagPriority;
  return 0;
}

// Both chips of a cell may be blended in one go, one pass over the cells,
// where no frame is drawn between them: no background pass frames at all,
// and layer pass frames only where each stays within its own cell (then it
// covers nothing the chips of other cells paint). Any cell of the band
// with the flag counts, chips or not: the test is a plain scan then.
bool ChipsInOnePass(const MapPaint& paint, const Band& band) {
  if (paint.atlases[LevelBackground] == nullptr || paint.atlases[LevelLayer] == nullptr) {
    return false;
  }
  const int32_t mode = paint.workspace.palette.mode;
  const MapCell flags = FrameFlagOfPass(mode, LevelBackground) |
                        (paint.FramesLeaveTheCell() ? FrameFlagOfPass(mode, LevelLayer) : 0);
  if (flags == 0) return true;
  const MapGrid& grid = paint.workspace.document.grid;
  const IndexSpan rows = RowsTouching(paint, band, paint.frameAbove, paint.frameBelow);
  for (auto row = static_cast<int32_t>(rows.first); row <= rows.last; ++row) {
    const MapCell* cells = RowOf(grid, row);
    MapCell seen = 0;
    for (int32_t column = paint.range.firstColumn; column < paint.range.endColumn; ++column) {
      seen |= cells[column];
    }
    if ((seen & flags) != 0) return false;
  }
  return true;
}

// The chips of both levels in one pass over the cells, where ChipsInOnePass
// allows it: the pixels of the two passes, each cell's written once.
void DrawChipsInOnePass(const MapPaint& paint, Canvas& canvas, const Band& band) {
  const Workspace& workspace = paint.workspace;
  const MapGrid& grid = workspace.document.grid;
  const ViewPort& view = workspace.views[ViewMap];
  const int32_t cell = paint.sizes.cell;
  const SquareGeometry& frame = paint.frame;
  const PixelBuffer& lower = *paint.atlases[LevelBackground];
  const PixelBuffer& upper = *paint.atlases[LevelLayer];
  const IndexSpan chipRows = RowsTouching(paint, band, 0, 0);
  const IndexSpan frameRows = RowsTouching(paint, band, paint.frameAbove, paint.frameBelow);
  const auto firstRow = static_cast<int32_t>(std::min(chipRows.first, frameRows.first));
  const auto lastRow = static_cast<int32_t>(std::max(chipRows.last, frameRows.last));
  // Cells with one chip go out on their own; the order among cells does not
  // matter, as no two cover the same pixels.
  auto sendLower = [&canvas, &lower, cell](std::span<const CanvasTile> tiles) {
    canvas.BlendTiles(lower, cell, tiles);
  };
  auto sendUpper = [&canvas, &upper, cell](std::span<const CanvasTile> tiles) {
    canvas.BlendTiles(upper, cell, tiles);
  };
  auto sendPairs = [&canvas, &lower, &upper, cell](std::span<const CanvasTilePair> pairs) {
    canvas.BlendTilePairs(lower, upper, cell, pairs);
  };
  ShapeBatch<CanvasTile, decltype(sendLower)> lowerTiles(sendLower);
  ShapeBatch<CanvasTile, decltype(sendUpper)> upperTiles(sendUpper);
  ShapeBatch<CanvasTilePair, decltype(sendPairs)> pairs(sendPairs);
  // Frames go out after every chip before them.
  auto sendFrames = [&](std::span<const CanvasPoint> corners) {
    lowerTiles.Flush();
    upperTiles.Flush();
    pairs.Flush();
    canvas.Squares(corners, frame.side);
  };
  ShapeBatch<CanvasPoint, decltype(sendFrames)> frames(sendFrames);
  const MapCell frameFlag = FrameFlagOfPass(workspace.palette.mode, LevelLayer);
  // In locals: the batches' stores could otherwise stand for any of them.
  const int32_t firstColumn = paint.range.firstColumn;
  const int32_t endColumn = paint.range.endColumn;
  const auto firstX = static_cast<int32_t>(int64_t{firstColumn} * cell - view.scrollX);
  for (int32_t row = firstRow; row <= lastRow; ++row) {
    const MapCell* cells = RowOf(grid, row);
    const bool chipsShow = row >= chipRows.first && row <= chipRows.last;
    const bool framesShow = frameFlag != 0 && row >= frameRows.first && row <= frameRows.last;
    const auto y = static_cast<int32_t>(int64_t{row} * cell - view.scrollY);
    if (chipsShow) {
      int32_t x = firstX;
      for (int32_t column = firstColumn; column < endColumn; ++column, x += cell) {
        const MapCell value = cells[column];
        const int32_t background = CellChip(value, LevelBackground);
        const int32_t layer = CellChip(value, LevelLayer);
        if (background != 0 && layer != 0) {
          pairs.Add({0, cell * background, 0, cell * layer, x, y});
        } else if (background != 0) {
          lowerTiles.Add({0, cell * background, x, y});
        } else if (layer != 0) {
          upperTiles.Add({0, cell * layer, x, y});
        }
      }
    }
    if (!framesShow) continue;
    for (int32_t column = firstColumn; column < endColumn; ++column) {
      const MapCell value = cells[column];
      if (CellChip(value, LevelLayer) != 0 && (value & frameFlag) != 0) {
        frames.Add(frame.Corner(column, row, view));
      }
    }
  }
  lowerTiles.Flush();
  upperTiles.Flush();
  pairs.Flush();
  frames.Flush();
}

void DrawChipPasses(const MapPaint& paint, Canvas& canvas, const Band& band) {
  if (ChipsInOnePass(paint, band)) {
    DrawChipsInOnePass(paint, canvas, band);
    return;
  }
  const Workspace& workspace = paint.workspace;
  const MapGrid& grid = workspace.document.grid;
  const ViewPort& view = workspace.views[ViewMap];
  const int32_t mode = workspace.palette.mode;
  const int32_t cell = paint.sizes.cell;
  const SquareGeometry& frame = paint.frame;
  const IndexSpan chipRows = RowsTouching(paint, band, 0, 0);
  const IndexSpan frameRows = RowsTouching(paint, band, paint.frameAbove, paint.frameBelow);
  const auto firstRow = static_cast<int32_t>(std::min(chipRows.first, frameRows.first));
  const auto lastRow = static_cast<int32_t>(std::max(chipRows.last, frameRows.last));
  // A frame drawn in a pass is covered by no later chip of that pass unless
  // it reaches into the next cell; only then must each frame go out between
  // the chips before and after it.
  const bool framesLeaveTheCell = paint.FramesLeaveTheCell();
  for (int32_t pass = 0; pass < 2; ++pass) {
    const PixelBuffer* atlas = paint.atlases[static_cast<size_t>(pass)];
    if (atlas == nullptr) continue;
    auto sendTiles = [&canvas, atlas, cell](std::span<const CanvasTile> tiles) {
      canvas.BlendTiles(*atlas, cell, tiles);
    };
    ShapeBatch<CanvasTile, decltype(sendTiles)> tiles(sendTiles);
    // Frames go out after every chip before them.
    auto sendFrames = [&canvas, &tiles, side = frame.side](std::span<const CanvasPoint> corners) {
      tiles.Flush();
      canvas.Squares(corners, side);
    };
    ShapeBatch<CanvasPoint, decltype(sendFrames)> frames(sendFrames);
    const MapCell frameFlag = FrameFlagOfPass(mode, pass);
    for (int32_t row = firstRow; row <= lastRow; ++row) {
      const MapCell* cells = RowOf(grid, row);
      const bool chipsShow = row >= chipRows.first && row <= chipRows.last;
      const bool framesShow = frameFlag != 0 && row >= frameRows.first && row <= frameRows.last;
      // The drawn range keeps these within the canvas; int64 keeps the
      // products of far columns from overflowing on the way.
      const auto y = static_cast<int32_t>(int64_t{row} * cell - view.scrollY);
      for (int32_t column = paint.range.firstColumn; column < paint.range.endColumn; ++column) {
        const MapCell value = cells[column];
        const int32_t chip = CellChip(value, pass);
        if (chip == 0) continue;
        if (chipsShow) {
          const auto x = static_cast<int32_t>(int64_t{column} * cell - view.scrollX);
          tiles.Add({0, cell * chip, x, y});
        }
        if (framesShow && (value & frameFlag) != 0) {
          frames.Add(frame.Corner(column, row, view));
          if (framesLeaveTheCell) frames.Flush();
        }
      }
    }
    frames.Flush();
    tiles.Flush();
  }
}

// The cells of a selection being moved that land at view cells of the band:
// calls `each` with the target and the source cell.
template <typename Each>
void ForEachMovedCell(const MapPaint& paint, int32_t above, int32_t below, const Band& band,
                      Each&& each) {
  const Workspace& workspace = paint.workspace;
  const MapGestureState& gestures = workspace.gestures;
  const MapGrid& grid = workspace.document.grid;
  const SelectionRect& block = gestures.moveBlock;
  if (!block.Valid()) return;
  const int64_t dx = gestures.moveOffset.column;
  const int64_t dy = gestures.moveOffset.row;
  const IndexSpan rows = RowsTouching(paint, band, above, below);
  const int64_t top = std::max<int64_t>(block.top + dy, rows.first);
  const int64_t bottom = std::min<int64_t>(block.bottom + dy, rows.last);
  const int64_t left = std::max<int64_t>(block.left + dx, paint.range.firstColumn);
  const int64_t right = std::min<int64_t>(block.right + dx, int64_t{paint.range.endColumn} - 1);
  const std::vector<uint8_t>& flags = workspace.selection.selectionFlags;
  for (int64_t row = top; row <= bottom; ++row) {
    const int64_t from = row - dy;
    if (from < 0 || from >= grid.height) continue;
    for (int64_t column = left; column <= right; ++column) {
      const int64_t source = column - dx;
      if (source < 0 || source >= grid.width) continue;
      const size_t index = static_cast<size_t>(from) * static_cast<size_t>(grid.width) +
                           static_cast<size_t>(source);
      if (flags[index] != 0) {
        each(static_cast<int32_t>(column), static_cast<int32_t>(row), (*grid.cells)[index]);
      }
    }
  }
}

// While the selection is moved, its chips at the place it would go to,
// over the map, as a paste would put them.
void DrawMovedChips(const MapPaint& paint, Canvas& canvas, const Band& band) {
  if (!paint.workspace.gestures.moveActive) return;
  const ViewPort& view = paint.workspace.views[ViewMap];
  const int32_t cell = paint.sizes.cell;
  for (int32_t pass = 0; pass < 2; ++pass) {
    const PixelBuffer* atlas = paint.atlases[static_cast<size_t>(pass)];
    if (atlas == nullptr) continue;
    auto send = [&canvas, atlas, cell](std::span<const CanvasTile> tiles) {
      canvas.BlendTiles(*atlas, cell, tiles);
    };
    ShapeBatch<CanvasTile, decltype(send)> tiles(send);
    ForEachMovedCell(paint, 0, 0, band, [&](int32_t column, int32_t row, MapCell value) {
      const int32_t chip = CellChip(value, pass);
      if (chip == 0) return;
      tiles.Add({0, cell * chip, static_cast<int32_t>(int64_t{column} * cell - view.scrollX),
                 static_cast<int32_t>(int64_t{row} * cell - view.scrollY)});
    });
    tiles.Flush();
  }
}

// The frames of the selected cells follow a move.
void DrawMovedFrames(const MapPaint& paint, Canvas& canvas, const Band& band) {
  const ViewPort& view = paint.workspace.views[ViewMap];
  auto frames = SquareBatch(canvas, paint.frame.side);
  ForEachMovedCell(paint, paint.frameAbove, paint.frameBelow, band,
                   [&](int32_t column, int32_t row, MapCell) {
                     frames.Add(paint.frame.Corner(column, row, view));
                   });
}

void DrawSelection(const MapPaint& paint, Canvas& canvas, const Band& band) {
  const Workspace& workspace = paint.workspace;
  const MapGrid& grid = workspace.document.grid;
  const SelectionState& selection = workspace.selection;
  const DisplaySettings& display = workspace.display;
  const ViewPort& view = workspace.views[ViewMap];
  const int32_t thick = paint.sizes.thick;
  const SquareGeometry& frame = paint.frame;
  canvas.SetPen({thick, display.mapCopyFrameColor});
  if (workspace.gestures.moveActive) {
    DrawMovedFrames(paint, canvas, band);
  } else {
    const IndexSpan rows = RowsTouching(paint, band, paint.frameAbove, paint.frameBelow);
    auto frames = SquareBatch(canvas, frame.side);
    for (auto row = static_cast<int32_t>(rows.first); row <= rows.last; ++row) {
      const size_t rowStart = static_cast<size_t>(row) * static_cast<size_t>(grid.width);
      const uint8_t* flags = selection.selectionFlags.data() + rowStart;
      uint8_t any = 0;
      for (int32_t column = paint.range.firstColumn; column < paint.range.endColumn; ++column) {
        any |= flags[column];
      }
      if (any == 0) continue;  // most rows have no selected cell
      for (int32_t column = paint.range.firstColumn; column < paint.range.endColumn; ++column) {
        if (selection.selectionFlags[rowStart + static_cast<size_t>(column)] != 0) {
          frames.Add(frame.Corner(column, row, view));
        }
      }
    }
  }
  // A rectangle being stamped is drawn as one being selected.
  const bool stamping = workspace.gestures.stampActive;
  if (!selection.selectionDragActive && !stamping) return;
  const bool deselects = selection.dragDeselects && !stamping;
  canvas.SetPen({thick, deselects ? display.mapDeselectFrameColor : display.mapCopyFrameColor});
  // A frame stays within its cell and one pixel beyond, so cells more than
  // one away from the band cannot show.
  const int32_t cell = paint.sizes.cell;
  const SelectionRect& rect = stamping ? workspace.gestures.stampRect : selection.selectionRect;
  const IndexSpan columns = TouchingSpan(view.scrollX, canvas.Width(), cell, 1);
  const IndexSpan rows =
      TouchingSpan(int64_t{view.scrollY} + band.top, band.bottom - band.top, cell, 1);
  const int64_t top = std::max<int64_t>(rect.top, rows.first);
  const int64_t bottom = std::min<int64_t>(rect.bottom, rows.last);
  const int64_t left = std::max<int64_t>(rect.left, columns.first);
  const int64_t right = std::min<int64_t>(rect.right, columns.last);
  auto frames = SquareBatch(canvas, frame.side);
  for (int64_t row = top; row <= bottom; ++row) {
    for (int64_t column = left; column <= right; ++column) {
      frames.Add(frame.Corner(static_cast<int32_t>(column), static_cast<int32_t>(row), view));
    }
  }
}

enum class HandleChoice { Set, Unset };

// Handles between horizontal neighbours (east walls) or vertical ones (south
// walls), all of them or those whose cell has (or lacks) the wall.
void DrawWallHandles(const MapPaint& paint, Canvas& canvas, const Band& band, bool east,
                     HandleChoice choice) {
  const Workspace& workspace = paint.workspace;
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
  const MapCell wanted = choice == HandleChoice::Set ? wall : MapCell{0};
  // A handle reaches less than two cells to the right of and below its
  // cell's corner, and never to its left or above.
  const IndexSpan columns = TouchingSpan(view.scrollX, canvas.Width(), step, 2);
  // Its rows, from the corner less half the pen to the far side and the
  // rest of the pen.
  const SquareGeometry handle = WallHandleGeometry(16, zoom);
  const int32_t pen = std::max(canvas.Pen().width, 1);
  const IndexSpan rows = ItemsTouching(band, step, offsetY + handle.inset - view.scrollY,
                                       -(pen / 2), handle.side + pen - pen / 2);
  const auto columnEnd = static_cast<int32_t>(std::min<int64_t>(lastColumn, columns.last));
  const auto rowEnd = static_cast<int32_t>(std::min<int64_t>(lastRow, rows.last));
  const auto columnStart = static_cast<int32_t>(std::max<int64_t>(0, columns.first));
  const auto rowStart = static_cast<int32_t>(std::max<int64_t>(0, rows.first));
  if (columnStart > columnEnd) return;
  // Which handles of a row are drawn, worked out for the whole row at once
  // (without branches), then drawn along it: a paint at 25% has a hundred
  // thousand of them.
  const auto count = static_cast<size_t>(columnEnd - columnStart + 1);
  std::vector<uint8_t> drawn(count);
  for (int32_t row = rowStart; row <= rowEnd; ++row) {
    const MapCell* cells = RowOf(grid, row) + columnStart;
    uint8_t any = 0;
    for (size_t i = 0; i < count; ++i) {
      drawn[i] = (cells[i] & wall) == wanted ? 1 : 0;
      any |= drawn[i];
    }
    if (any == 0) continue;
    canvas.SquareRow(handle.Corner(columnStart * 2, row * 2, view, offsetX, offsetY), step, drawn,
                     handle.side);
  }
}

// Everything of one band, in the order of the whole picture.
void ComposeBand(const MapPaint& paint, Canvas& canvas, const Band& band) {
  const Workspace& workspace = paint.workspace;
  const DisplaySettings& display = workspace.display;
  const MapGrid& grid = workspace.document.grid;
  const ViewPort& view = workspace.views[ViewMap];
  const ViewSizes& sizes = paint.sizes;
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
  DrawChipPasses(paint, canvas, band);
  DrawMovedChips(paint, canvas, band);
  DrawSelection(paint, canvas, band);
  if (display.showGrid) {
    DrawGrid(canvas, contentWidth, contentHeight, 32, display.mapZoom, gridPen, view);
  }
  if (workspace.palette.mode == PaletteModeCollision) {
    // Every outline goes out before every set handle, and a set handle's
    // outline is painted over by its second drawing: the same square with a
    // pen at least as wide covers every pixel of the thinner one (a pen of
    // width w covers c - w/2 .. c - w/2 + w - 1). Only the unset ones need it.
    canvas.SetPen({sizes.thin, display.mapCollisionFrameColor});
    DrawWallHandles(paint, canvas, band, true, HandleChoice::Unset);
    DrawWallHandles(paint, canvas, band, false, HandleChoice::Unset);
    canvas.SetPen({sizes.thick, display.mapAttrFrameColor});
    DrawWallHandles(paint, canvas, band, true, HandleChoice::Set);
    DrawWallHandles(paint, canvas, band, false, HandleChoice::Set);
  }
}

// The clip's rows cut at cell boundaries into bands of at least 128 rows
// (a band costs more than it saves below), up to eight, when there is more
// than one processor: the threads take them as they come free, so a thread
// slowed by other work leaves its share to the others.
std::vector<Band> SplitIntoBands(const CanvasRect& clip, int32_t cell, int32_t scrollY) {
  constexpr int64_t leastRows = 128;
  constexpr int64_t mostBands = 8;
  const bool processors = ProcessorsUpTo(2) > 1;
  const int64_t count =
      processors ? std::min(mostBands, std::max<int64_t>(1, clip.height / leastRows)) : 1;
  const int64_t top = clip.top;
  const int64_t bottom = int64_t{clip.top} + clip.height;
  std::vector<Band> bands;
  int64_t start = top;
  for (int64_t i = 1; i < count; ++i) {
    // The cell boundary at or below an even share; boundaries lie at
    // row x cell - scrollY.
    const int64_t share = top + (bottom - top) * i / count;
    const int64_t cut = FloorDiv(share + scrollY, cell) * cell - scrollY;
    if (cut <= start || cut >= bottom) continue;
    bands.push_back({static_cast<int32_t>(start), static_cast<int32_t>(cut)});
    start = cut;
  }
  bands.push_back({static_cast<int32_t>(start), static_cast<int32_t>(bottom)});
  return bands;
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
  const SquareGeometry frame = CellFrameGeometry(32, display.mapZoom);
  const int64_t frameStart = frame.inset - sizes.thick / 2;
  const int64_t frameEnd = frame.inset + frame.side + (sizes.thick - sizes.thick / 2);
  // The scaled atlases are made here, before any thread reads them.
  std::array<const PixelBuffer*, 2> scaled{};
  for (int32_t pass = 0; pass < (display.showLayer ? 2 : 1); ++pass) {
    scaled[static_cast<size_t>(pass)] =
        atlases.Scaled(pass, workspace.document.tables[static_cast<size_t>(pass)], sizes.cell);
  }
  const MapPaint paint{workspace,
                       scaled,
                       sizes,
                       MapDrawnRange(grid, sizes.cell, view),
                       frame,
                       static_cast<int32_t>(std::max<int64_t>(0, -frameStart)),
                       static_cast<int32_t>(std::max<int64_t>(0, frameEnd - sizes.cell))};

  const CanvasRect clip = canvas.Clip();
  const std::vector<Band> bands = SplitIntoBands(clip, sizes.cell, view.scrollY);
  std::unique_ptr<Canvas> firstTwin = bands.size() > 1 ? canvas.Twin() : nullptr;
  if (!firstTwin) {  // one thread: the whole picture at once
    ComposeBand(paint, canvas, {clip.top, clip.top + clip.height});
    return;
  }
  // One canvas per thread: this one's and a twin for each other thread (as
  // many as can be had). The threads take the bands as they come free, each
  // drawing on whichever canvas is free, and this thread also takes the
  // bands no other thread has started: a busy machine makes a paint no
  // slower than one thread.
  const size_t threads = ProcessorsUpTo(bands.size());
  std::vector<std::unique_ptr<Canvas>> twins;
  twins.push_back(std::move(firstTwin));
  try {
    while (twins.size() + 1 < threads) {
      std::unique_ptr<Canvas> twin = canvas.Twin();
      if (!twin) break;
      twins.push_back(std::move(twin));
    }
  } catch (const std::exception&) {
    // Fewer threads, then.
  }
  std::vector<Canvas*> canvases{&canvas};
  for (const std::unique_ptr<Canvas>& twin : twins) canvases.push_back(twin.get());
  std::vector<std::atomic<bool>> taken(canvases.size());
  RunInParallel(
      bands.size(),
      [&](size_t i) {
        // As many canvases as threads: one is always free.
        size_t k = 0;
        while (taken[k].exchange(true)) k = (k + 1) % canvases.size();
        const Band band = bands[i];
        canvases[k]->SetClip({clip.left, band.top, clip.width, band.bottom - band.top});
        ComposeBand(paint, *canvases[k], band);
        taken[k] = false;
      },
      canvases.size());
  canvas.SetClip(clip);
}

void ComposeMapView(const Workspace& workspace, Canvas& canvas) {
  ScaledAtlasCache atlases;
  ComposeMapView(workspace, canvas, atlases);
}

}  // namespace kelvor
