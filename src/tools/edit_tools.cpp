#include "tools/edit_tools.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "document/display_settings.h"
#include "editing/area_fill.h"
#include "editing/chip_registration.h"
#include "editing/point_to_cell.h"
#include "editing/stamp_pattern.h"
#include "editing/undo_history.h"
#include "tools/selection_ops.h"

namespace kelvor {

namespace {

bool HasCells(const MapGrid& grid) {
  return GridShapeHolds(grid) && grid.width > 0 && grid.height > 0;
}

bool CurrentSheetLoaded(const ChipSheetTable& sheets) {
  return sheets.currentSheet >= 0 && sheets.currentSheet < ChipSheetSlots &&
         sheets.Current().Loaded();
}

// Cells times cell pixels, saturated: a very wide map must not overflow.
int32_t ContentPixels(int32_t cells, int32_t cellPixels) {
  return static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(cells) * cellPixels,
                                                std::numeric_limits<int32_t>::max()));
}

CellPoint CellAt(const Workspace& ws, PixelPoint point) {
  return MapPointToCell(point, ws.document.grid, ws.display.mapZoom, ws.views[ViewMap]);
}

}  // namespace

void CollectMarkedChips(const ChipSheet& sheet, MapEditState& edit) {
  edit.originColumn = sheet.chipColumns;
  edit.originRow = sheet.chipRows;
  const std::vector<uint8_t>& flags = *sheet.chipFlags;
  for (int32_t row = 0; row < sheet.chipRows; ++row) {
    for (int32_t column = 0; column < sheet.chipColumns; ++column) {
      const size_t index = static_cast<size_t>(row) * sheet.chipColumns + column;
      if (index >= flags.size()) return;
      const uint8_t flag = flags[index];
      if ((flag & ChipFlagSelected) == 0) continue;
      PlacementItem& item = edit.placement[static_cast<size_t>(edit.placementCount++)];
      item.level = (flag & ChipFlagLayer) ? LevelLayer : LevelBackground;
      item.sheetColumn = column;
      item.sheetRow = row;
      edit.originColumn = std::min(edit.originColumn, column);
      edit.originRow = std::min(edit.originRow, row);
      if (edit.placementCount == MaxPlacementItems) return;
    }
  }
}

namespace {

bool Registered(const PlacementItem& item) {
  return item.tableColumn >= 0 && item.tableRow >= 0;
}

// PlaceItem, with area fills going through `batch` when there is one.
void PlaceItemWith(MapGrid& grid, const MapEditState& edit, int32_t column, int32_t row,
                   const PlacementItem& item, AreaFillBatch* batch) {
  if (!GridShapeHolds(grid) || (item.level != LevelBackground && item.level != LevelLayer)) return;
  const int64_t targetColumn =
      static_cast<int64_t>(column) + item.sheetColumn - static_cast<int64_t>(edit.originColumn);
  const int64_t targetRow =
      static_cast<int64_t>(row) + item.sheetRow - static_cast<int64_t>(edit.originRow);
  if (targetColumn < 0 || targetRow < 0 || targetColumn >= grid.width || targetRow >= grid.height) {
    return;
  }
  const auto c = static_cast<int32_t>(targetColumn);
  const auto r = static_cast<int32_t>(targetRow);
  const auto chip = static_cast<uint8_t>(SlotOfTablePosition(item.tableColumn, item.tableRow));
  if (edit.fillMode) {
    if (batch) {
      batch->Fill(item.level, c, r, chip);
    } else {
      AreaFill(grid, item.level, c, r, chip);
    }
  } else {
    MapCell& cell = grid.At(c, r);
    cell = WithChip(cell, item.level, chip);
  }
}

void PlaceMarkedChips(Workspace& ws, CellPoint cell, Messages& messages) {
  MapEditState& edit = ws.edit;
  CollectMarkedChips(ws.sheets.Current(), edit);
  if (edit.placementCount > 0) {
    RecordUndo(ws.undo, ws.document.grid);
    MarkDocumentChanged(ws);
  }
  WaitCursorScope wait(messages);
  // In area-fill mode the chips' fills share one working plane per level.
  AreaFillBatch batch(ws.document.grid);
  for (int32_t i = 0; i < edit.placementCount; ++i) {
    PlacementItem& item = edit.placement[static_cast<size_t>(i)];
    RegisterChip(ws.document, ws.sheets, ws.display.mapZoom, item);
    if (Registered(item) && !ws.gestures.randomPlacement)
      PlaceItemWith(ws.document.grid, edit, cell.column, cell.row, item, &batch);
  }
  batch.Commit();
  if (ws.gestures.randomPlacement) {
    PlaceRandomChip(ws.document.grid, edit, cell.column, cell.row, ws.gestures.random);
  }
}

void ToggleMarked(MapGrid& grid, CellPoint cell, MapCell flag, MapCell mark) {
  if (!grid.Contains(cell.column, cell.row)) return;
  MapCell& value = grid.At(cell.column, cell.row);
  if (value & mark) return;
  value = (value ^ flag) | mark;
}

}  // namespace

bool ToolsReady(const Workspace& ws) {
  return CurrentSheetLoaded(ws.sheets) && HasCells(ws.document.grid) && ws.display.mapZoom > 0.0f;
}

MapTool ChooseMapTool(const HeldKeys& keys, int32_t paletteMode) {
  if (keys.v) return MapTool::Paste;
  if (keys.ctrl) return MapTool::Select;
  if (keys.b || keys.k || keys.l || keys.y) return MapTool::Erase;
  if (paletteMode == PaletteModeCollision) return MapTool::CollisionPaint;
  if (paletteMode == PaletteModePriority) return MapTool::PriorityPaint;
  return MapTool::Place;
}

PenCursor UpdatePenCursor(const Workspace& ws, const HeldKeys& keys) {
  if (!ws.document.grid.Exists() || ws.palette.mode != PaletteModePlacement) {
    return PenCursor::Keep;
  }
  if (keys.ctrl || keys.c || keys.x || keys.v) return PenCursor::Keep;
  return ws.edit.fillMode ? PenCursor::Fill : PenCursor::Line;
}

ToolResult OnMapButtonDown(Workspace& ws, PixelPoint point, const HeldKeys& keys,
                           Clipboard& clipboard, Messages& messages) {
  ToolResult result;
  if (!ws.input.mouseEnabled) return result;
  ws.edit.ClearPlacement();
  result.cursor = UpdatePenCursor(ws, keys);
  if (!ToolsReady(ws)) return result;

  MapGrid& grid = ws.document.grid;
  const CellPoint cell = CellAt(ws, point);
  switch (ChooseMapTool(keys, ws.palette.mode)) {
    case MapTool::Paste:
      if (PasteAt(grid, ws.paste, ws.undo, clipboard, cell.column, cell.row)) {
        MarkDocumentChanged(ws);
      }
      break;
    case MapTool::Select:
      BeginSelectionDrag(ws, point, cell);
      break;
    case MapTool::Erase:
      RecordUndo(ws.undo, grid);
      MarkDocumentChanged(ws);
      if (keys.b || keys.l) {
        EraseChipsAtCell(grid, cell.column, cell.row, keys);
      } else {
        if (keys.k) AreaFill(grid, LevelBackground, cell.column, cell.row, 0);
        if (keys.y) AreaFill(grid, LevelLayer, cell.column, cell.row, 0);
      }
      break;
    case MapTool::CollisionPaint:
      MarkDocumentChanged(ws);
      ClearCellBits(grid, CellFlagCollisionMark);
      if (!ToggleCollisionEdge(grid, ws.display.mapZoom, ws.views[ViewMap], point)) {
        ToggleCollisionCell(grid, ws.display.mapZoom, ws.views[ViewMap], point);
      }
      break;
    case MapTool::PriorityPaint:
      MarkDocumentChanged(ws);
      ClearCellBits(grid, CellFlagPriorityMark);
      TogglePriority(grid, ws.display.mapZoom, ws.views[ViewMap], point);
      break;
    case MapTool::Place:
      PlaceMarkedChips(ws, cell, messages);
      break;
  }
  result.updateTitle = true;
  result.repaint = true;
  return result;
}

ToolResult OnMapMouseMove(Workspace& ws, PixelPoint point, const HeldKeys& keys,
                          bool leftButtonDown) {
  ToolResult result;
  if (!ws.input.mouseEnabled) return result;
  result.cursor = UpdatePenCursor(ws, keys);
  if (!ToolsReady(ws) || !leftButtonDown) return result;

  MapGrid& grid = ws.document.grid;
  if (!keys.ctrl && !keys.b && !keys.l) {
    // Dragging paints walls only; a whole cell is toggled by the click alone.
    if (ws.palette.mode == PaletteModeCollision) {
      if (ToggleCollisionEdge(grid, ws.display.mapZoom, ws.views[ViewMap], point)) {
        MarkDocumentChanged(ws);
      }
      result.repaint = true;
      return result;
    }
    if (ws.palette.mode == PaletteModePriority) {
      TogglePriority(grid, ws.display.mapZoom, ws.views[ViewMap], point);
      MarkDocumentChanged(ws);
      result.repaint = true;
      return result;
    }
  }

  const CellPoint cell = CellAt(ws, point);
  if (cell == ws.edit.lastDragCell) return result;
  if (keys.ctrl) {
    TrackSelectionDrag(ws, point);
  } else if (keys.b || keys.l) {
    EraseChipsAtCell(grid, cell.column, cell.row, keys);
    MarkDocumentChanged(ws);
  } else {
    if (ws.edit.placementCount > 0) MarkDocumentChanged(ws);
    if (ws.gestures.randomPlacement) {
      PlaceRandomChip(grid, ws.edit, cell.column, cell.row, ws.gestures.random);
    }
    AreaFillBatch batch(grid);
    for (int32_t i = 0; i < ws.edit.placementCount; ++i) {
      const PlacementItem& item = ws.edit.placement[static_cast<size_t>(i)];
      if (Registered(item) && !ws.gestures.randomPlacement) {
        PlaceItemWith(grid, ws.edit, cell.column, cell.row, item, &batch);
      }
    }
    batch.Commit();
  }
  result.updateTitle = true;
  result.repaint = true;
  ws.edit.lastDragCell = cell;
  return result;
}

ToolResult OnMapButtonUp(Workspace& ws, const HeldKeys& keys) {
  ToolResult result;
  if (!ws.input.mouseEnabled) {
    // The release that ends the click which opened a dialog re-opens the gate.
    ws.input.mouseEnabled = true;
    return result;
  }
  result.repaint = EndSelectionDrag(ws);
  result.cursor = UpdatePenCursor(ws, keys);
  ws.edit.placementCount = 0;
  return result;
}

void PlaceItem(MapGrid& grid, const MapEditState& edit, int32_t column, int32_t row,
               const PlacementItem& item) {
  PlaceItemWith(grid, edit, column, row, item, nullptr);
}

void EraseChipsAtCell(MapGrid& grid, int32_t column, int32_t row, const HeldKeys& keys) {
  if (!GridShapeHolds(grid) || !grid.Contains(column, row)) return;
  MapCell& cell = grid.At(column, row);
  if (keys.b) cell = WithBackground(cell, 0);
  if (keys.l) cell = WithLayer(cell, 0);
}

void ToggleCollisionCell(MapGrid& grid, float mapZoom, const ViewPort& view, PixelPoint point) {
  if (!HasCells(grid) || !(mapZoom > 0.0f)) return;
  ToggleMarked(grid, MapPointToCell(point, grid, mapZoom, view), CellFlagCollision,
               CellFlagCollisionMark);
}

void TogglePriority(MapGrid& grid, float mapZoom, const ViewPort& view, PixelPoint point) {
  if (!HasCells(grid) || !(mapZoom > 0.0f)) return;
  ToggleMarked(grid, MapPointToCell(point, grid, mapZoom, view), CellFlagPriority,
               CellFlagPriorityMark);
}

bool ToggleCollisionEdge(MapGrid& grid, float mapZoom, const ViewPort& view, PixelPoint point) {
  if (!HasCells(grid)) return false;
  const int32_t cellPixels = Zoomed(ChipSize, mapZoom);
  if (cellPixels <= 0) return false;
  const PixelPoint p = ClampToContent(point, view, ContentPixels(grid.width, cellPixels),
                                      ContentPixels(grid.height, cellPixels));
  const int32_t px = p.x + view.scrollX;
  const int32_t py = p.y + view.scrollY;
  if (px < 0 || py < 0) return false;
  const int32_t column = px / cellPixels;
  const int32_t row = py / cellPixels;
  const int32_t ox = px % cellPixels;
  const int32_t oy = py % cellPixels;
  const int32_t lo = Zoomed(9, mapZoom);
  const int32_t hi = Zoomed(24, mapZoom);

  CellPoint target;
  MapCell wall;
  if (lo <= oy && oy <= hi && ox < lo && column > 0) {
    target = {column - 1, row};
    wall = CellFlagWallEast;
  } else if (lo <= oy && oy <= hi && ox >= hi && column < grid.width - 1) {
    target = {column, row};
    wall = CellFlagWallEast;
  } else if (oy < lo && lo <= ox && ox <= hi && row > 0) {
    target = {column, row - 1};
    wall = CellFlagWallSouth;
  } else if (oy > hi && lo <= ox && ox <= hi && row < grid.height - 1) {
    target = {column, row};
    wall = CellFlagWallSouth;
  } else {
    return false;
  }
  if (!grid.Contains(target.column, target.row)) return false;
  MapCell& cell = grid.At(target.column, target.row);
  if (cell & CellFlagCollisionMark) return false;
  cell = (cell ^ wall) | CellFlagCollisionMark;
  return true;
}

void ClearCellBits(MapGrid& grid, MapCell bits) {
  if (!grid.Exists()) return;
  if (!GridShapeHolds(grid) || grid.width == 0) {
    for (MapCell& cell : *grid.cells) cell &= ~bits;
    return;
  }
  // Every press in a flag mode clears its mark everywhere: only the cells
  // that hold it are written, so the pieces noted as changed stay few.
  const std::vector<MapCell>& cells = *std::as_const(grid).cells;
  const auto width = static_cast<size_t>(grid.width);
  for (size_t i = 0; i < cells.size(); ++i) {
    if ((cells[i] & bits) == 0) continue;
    grid.At(static_cast<int32_t>(i % width), static_cast<int32_t>(i / width)) &= ~bits;
  }
}

void ClearTransientMarks(MapGrid& grid) {
  ClearCellBits(grid, CellTransientBits);
}

bool RunPopupErase(Workspace& ws, int32_t kind) {
  MapGrid& grid = ws.document.grid;
  if (!grid.Exists() || kind < 0 || kind > 3) return false;
  if (!HasCells(grid) || !(ws.display.mapZoom > 0.0f)) return false;
  // The point is kept clamped to the client area, as the next command sees it.
  const ViewPort& view = ws.views[ViewMap];
  PixelPoint& click = ws.input.rightClickPoint;
  click.x = std::clamp(click.x, 0, std::max(view.pageWidth, 0));
  click.y = std::clamp(click.y, 0, std::max(view.pageHeight, 0));
  const CellPoint cell = CellAt(ws, ws.input.rightClickPoint);
  if (!grid.Contains(cell.column, cell.row)) return false;
  RecordUndo(ws.undo, grid);
  MarkDocumentChanged(ws);
  switch (kind) {
    case 0:
      grid.At(cell.column, cell.row) = WithBackground(grid.At(cell.column, cell.row), 0);
      break;
    case 1:
      grid.At(cell.column, cell.row) = WithLayer(grid.At(cell.column, cell.row), 0);
      break;
    case 2:
      AreaFill(grid, LevelBackground, cell.column, cell.row, 0);
      break;
    default:
      AreaFill(grid, LevelLayer, cell.column, cell.row, 0);
      break;
  }
  return true;
}

}  // namespace kelvor
