#include "tools/map_gestures.h"

#include <algorithm>

#include "editing/area_fill.h"
#include "editing/chip_match.h"
#include "editing/chip_registration.h"
#include "editing/point_to_cell.h"
#include "editing/selection_move.h"
#include "editing/stamp_pattern.h"
#include "editing/undo_history.h"
#include "tools/selection_ops.h"

namespace kelvor {

namespace {

bool SelectionFits(const Workspace& ws) {
  return GridShapeHolds(ws.document.grid) && ws.selection.hasFlags &&
         ws.selection.selectionFlags.size() == ws.document.grid.CellCount();
}

CellPoint CellAt(const Workspace& ws, PixelPoint point) {
  return MapPointToCell(point, ws.document.grid, ws.display.mapZoom, ws.views[ViewMap]);
}

bool IsSelected(const Workspace& ws, CellPoint cell) {
  const MapGrid& grid = ws.document.grid;
  return grid.Contains(cell.column, cell.row) &&
         ws.selection.selectionFlags[static_cast<size_t>(cell.row) * grid.width + cell.column] != 0;
}

SelectionRect Spanned(CellPoint a, CellPoint b) {
  return {std::min(a.column, b.column), std::min(a.row, b.row), std::max(a.column, b.column),
          std::max(a.row, b.row)};
}

ToolResult Repaint(bool title = false) {
  ToolResult result;
  result.repaint = true;
  result.updateTitle = title;
  return result;
}

void BeginMove(Workspace& ws, CellPoint cell) {
  if (!SelectionFits(ws) || !IsSelected(ws, cell)) return;
  MapGestureState& g = ws.gestures;
  g.moveBlock = SelectedBounds(ws.document.grid, ws.selection.selectionFlags);
  if (!g.moveBlock.Valid()) return;
  g.moveActive = true;
  g.moveAnchor = cell;
  g.moveOffset = {};
}

ToolResult EndMove(Workspace& ws, const ConfirmDroppedCells& confirm) {
  MapGestureState& g = ws.gestures;
  const CellPoint offset = g.moveOffset;
  const SelectionRect block = g.moveBlock;
  g.EndDrags();
  ToolResult result = Repaint();
  if (!SelectionFits(ws) || (offset.column == 0 && offset.row == 0)) return result;
  MapGrid& grid = ws.document.grid;
  // An undo during the drag may have made the map smaller than the block.
  if (block.right >= grid.width || block.bottom >= grid.height) return result;
  std::vector<uint8_t>& flags = ws.selection.selectionFlags;
  const int64_t dropped = CellsPushedOff(grid, flags, block, offset.column, offset.row);
  if (dropped > 0 && !(confirm && confirm(dropped))) return result;
  RecordUndo(ws.undo, grid);
  if (MoveSelectedCells(grid, flags, block, offset.column, offset.row)) MarkDocumentChanged(ws);
  result.updateTitle = true;
  return result;
}

ToolResult EndStamp(Workspace& ws) {
  MapGestureState& g = ws.gestures;
  const SelectionRect rect = g.stampRect;
  g.EndDrags();
  ToolResult result = Repaint(true);
  if (!ToolsReady(ws)) return result;
  MapEditState& edit = ws.edit;
  edit.ClearPlacement();
  CollectMarkedChips(ws.sheets.Current(), edit);
  if (edit.placementCount == 0) return result;
  RecordUndo(ws.undo, ws.document.grid);
  MarkDocumentChanged(ws);
  for (int32_t i = 0; i < edit.placementCount; ++i) {
    RegisterChip(ws.document, ws.sheets, ws.display.mapZoom,
                 edit.placement[static_cast<size_t>(i)]);
  }
  StampRectangle(ws.document.grid, edit, rect, g.randomPlacement ? &g.random : nullptr);
  edit.placementCount = 0;
  return result;
}

bool AnySelected(const Workspace& ws) {
  const std::vector<uint8_t>& flags = ws.selection.selectionFlags;
  return std::any_of(flags.begin(), flags.end(), [](uint8_t flag) { return flag != 0; });
}

// Whether the point lies over a cell of the map, not over the margin beside it.
bool OverMap(const Workspace& ws, PixelPoint point) {
  const ViewPort& view = ws.views[ViewMap];
  const int32_t cellPixels = Zoomed(ChipSize, ws.display.mapZoom);
  if (cellPixels <= 0 || point.x < 0 || point.y < 0) return false;
  if (point.x >= view.pageWidth || point.y >= view.pageHeight) return false;
  const int64_t column = (int64_t{point.x} + view.scrollX) / cellPixels;
  const int64_t row = (int64_t{point.y} + view.scrollY) / cellPixels;
  return column < ws.document.grid.width && row < ws.document.grid.height;
}

}  // namespace

ToolResult OnMapGestureDown(Workspace& ws, PixelPoint point, const HeldKeys& keys,
                            Clipboard& clipboard, Messages& messages) {
  const bool gesture = !keys.v && !keys.ctrl && (keys.m || keys.r || keys.s || keys.t);
  if (!gesture || !ws.input.mouseEnabled) {
    return OnMapButtonDown(ws, point, keys, clipboard, messages);
  }
  ws.edit.ClearPlacement();
  ToolResult result;
  if (!ToolsReady(ws)) return result;
  const CellPoint cell = CellAt(ws, point);
  if (keys.m) {
    BeginMove(ws, cell);
    return Repaint();
  }
  if (keys.r) {
    ws.gestures.stampActive = true;
    ws.gestures.stampAnchor = cell;
    ws.gestures.stampRect = Spanned(cell, cell);
    return Repaint();
  }
  if (keys.s) {
    if (!SelectionFits(ws)) return result;
    const MapGrid& grid = ws.document.grid;
    const int32_t level = ClickedLevel(grid.At(cell.column, cell.row), ws.display.showLayer);
    SelectAlike(grid, level, cell.column, cell.row, keys.shift, ws.selection.selectionFlags);
    return Repaint();
  }
  return ReplaceChipAt(ws, cell);
}

ToolResult OnMapGestureMove(Workspace& ws, PixelPoint point, const HeldKeys& keys,
                            bool leftButtonDown) {
  MapGestureState& g = ws.gestures;
  if (!g.moveActive && !g.stampActive) {
    return OnMapMouseMove(ws, point, keys, leftButtonDown);
  }
  ToolResult result;
  if (!ws.input.mouseEnabled || !leftButtonDown || !ToolsReady(ws)) return result;
  const CellPoint cell = CellAt(ws, point);
  if (g.moveActive) {
    const CellPoint offset{cell.column - g.moveAnchor.column, cell.row - g.moveAnchor.row};
    result.repaint = offset != g.moveOffset;
    g.moveOffset = offset;
  } else {
    const SelectionRect rect = Spanned(g.stampAnchor, cell);
    result.repaint = rect != g.stampRect;
    g.stampRect = rect;
  }
  return result;
}

ToolResult OnMapGestureUp(Workspace& ws, const HeldKeys& keys,
                          const ConfirmDroppedCells& confirm) {
  ToolResult gesture;
  if (ws.input.mouseEnabled) {
    if (ws.gestures.moveActive) gesture = EndMove(ws, confirm);
    if (ws.gestures.stampActive) gesture = EndStamp(ws);
  }
  ToolResult result = OnMapButtonUp(ws, keys);
  result.repaint = result.repaint || gesture.repaint;
  result.updateTitle = result.updateTitle || gesture.updateTitle;
  return result;
}

ToolResult ReplaceChipAt(Workspace& ws, CellPoint cell) {
  ToolResult result;
  if (!ToolsReady(ws) || !SelectionFits(ws)) return result;
  MapGrid& grid = ws.document.grid;
  if (!grid.Contains(cell.column, cell.row)) return result;
  MapEditState& edit = ws.edit;
  edit.ClearPlacement();
  CollectMarkedChips(ws.sheets.Current(), edit);
  if (edit.placementCount == 0) return result;
  PlacementItem& item = edit.placement[0];
  ChipReplacement replacement;
  replacement.fromLevel = ClickedLevel(grid.At(cell.column, cell.row), ws.display.showLayer);
  replacement.fromChip = CellChip(std::as_const(grid).At(cell.column, cell.row),
                                  replacement.fromLevel);
  replacement.toLevel = item.level;
  const uint8_t* within = AnySelected(ws) ? ws.selection.selectionFlags.data() : nullptr;
  // A chip is registered only when some cell will take it.
  replacement.toChip = static_cast<uint8_t>(replacement.fromChip ^ 1);
  replacement.toLevel = replacement.fromLevel;
  result.replacedCells = 0;
  if (AnyReplaced(grid, replacement, within)) {
    replacement.toLevel = item.level;
    RegisterChip(ws.document, ws.sheets, ws.display.mapZoom, item);
    if (item.tableColumn < 0 || item.tableRow < 0) {
      result.replacedCells = -1;
    } else {
      replacement.toChip = static_cast<uint8_t>(SlotOfTablePosition(item.tableColumn,
                                                                    item.tableRow));
      if (AnyReplaced(grid, replacement, within)) {
        RecordUndo(ws.undo, grid);
        MarkDocumentChanged(ws);
        result.replacedCells = ReplaceChip(grid, replacement, within);
      }
    }
  }
  edit.placementCount = 0;
  result.updateTitle = true;
  result.repaint = true;
  return result;
}

ToolResult RunPopupReplace(Workspace& ws) {
  if (!ToolsReady(ws)) return {};
  const ViewPort& view = ws.views[ViewMap];
  PixelPoint& click = ws.input.rightClickPoint;
  click.x = std::clamp(click.x, 0, std::max(view.pageWidth, 0));
  click.y = std::clamp(click.y, 0, std::max(view.pageHeight, 0));
  return ReplaceChipAt(ws, CellAt(ws, click));
}

ToolResult OnMapEditKey(Workspace& ws, Clipboard& clipboard, EditKey key,
                        std::optional<PixelPoint> pointer) {
  ToolResult result;
  MapGrid& grid = ws.document.grid;
  switch (key) {
    case EditKey::Delete:
      if (!SelectionFits(ws)) return result;
      if (CutSelection(grid, ws.selection, ws.undo)) {
        MarkDocumentChanged(ws);
        return Repaint(true);
      }
      return result;
    case EditKey::SelectAll:
      if (!SelectionFits(ws)) return result;
      std::fill(ws.selection.selectionFlags.begin(), ws.selection.selectionFlags.end(), 1);
      return Repaint();
    case EditKey::Escape: {
      SelectionState& selection = ws.selection;
      if (ws.gestures.moveActive || ws.gestures.stampActive || selection.selectionDragActive) {
        ws.gestures.EndDrags();
        selection.selectionDragActive = false;
        selection.selectionRect = SelectionRect{};
        return Repaint();
      }
      ClearSelection(selection);
      return Repaint();
    }
    case EditKey::Paste:
      if (!pointer || !ToolsReady(ws) || !OverMap(ws, *pointer)) return result;
      {
        const CellPoint cell = CellAt(ws, *pointer);
        if (PasteAt(grid, ws.paste, ws.undo, clipboard, cell.column, cell.row)) {
          MarkDocumentChanged(ws);
        }
      }
      return Repaint(true);
  }
  return result;
}

}  // namespace kelvor
