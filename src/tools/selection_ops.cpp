#include "tools/selection_ops.h"

#include <algorithm>
#include <new>
#include <vector>

#include "editing/area_fill.h"
#include "editing/clipboard_block.h"
#include "editing/point_to_cell.h"

namespace kelvor {

namespace {

// Selection flags that fit the grid; after a size change without a reset
// they would address the wrong cells.
bool SelectionFitsGrid(const MapGrid& grid, const SelectionState& selection) {
  return GridShapeHolds(grid) && selection.hasFlags &&
         selection.selectionFlags.size() == grid.CellCount();
}

size_t IndexOf(const MapGrid& grid, int32_t column, int32_t row) {
  return static_cast<size_t>(column) + static_cast<size_t>(row) * static_cast<size_t>(grid.width);
}

}  // namespace

void BeginSelectionDrag(Workspace& ws, PixelPoint point, CellPoint cell) {
  const MapGrid& grid = ws.document.grid;
  SelectionState& selection = ws.selection;
  if (!SelectionFitsGrid(grid, selection) || !grid.Contains(cell.column, cell.row)) return;
  selection.dragDeselects = selection.selectionFlags[IndexOf(grid, cell.column, cell.row)] != 0;
  ws.input.mapPressCell = cell;
  selection.selectionDragActive = true;
  TrackSelectionDrag(ws, point);
}

bool TrackSelectionDrag(Workspace& ws, PixelPoint point) {
  const CellPoint cell =
      MapPointToCell(point, ws.document.grid, ws.display.mapZoom, ws.views[ViewMap]);
  return TrackDragRectangle(cell, ws.input.mapPressCell, ws.selection.selectionRect,
                            ws.selection.lastTrackCell);
}

bool EndSelectionDrag(Workspace& ws) {
  MapGrid& grid = ws.document.grid;
  SelectionState& selection = ws.selection;
  bool repaint = false;
  if (SelectionFitsGrid(grid, selection) && selection.selectionDragActive) {
    // A press in a painting mode left marks behind; the next press starts clean.
    if (ws.palette.mode == PaletteModeCollision) ClearCellBits(grid, CellFlagCollisionMark);
    if (ws.palette.mode == PaletteModePriority) ClearCellBits(grid, CellFlagPriorityMark);
    const SelectionRect& rect = selection.selectionRect;
    if (rect.Valid()) {
      const uint8_t value = selection.dragDeselects ? 0 : 1;
      const int32_t right = std::min(rect.right, grid.width - 1);
      const int32_t bottom = std::min(rect.bottom, grid.height - 1);
      for (int32_t row = rect.top; row <= bottom; ++row) {
        for (int32_t column = rect.left; column <= right; ++column) {
          selection.selectionFlags[IndexOf(grid, column, row)] = value;
        }
      }
    }
    repaint = true;
  }
  selection.selectionDragActive = false;
  selection.selectionRect = SelectionRect{};
  return repaint;
}

void ClearSelection(SelectionState& selection) {
  std::fill(selection.selectionFlags.begin(), selection.selectionFlags.end(), 0);
}

bool CopySelection(const MapGrid& grid, const SelectionState& selection, Clipboard& clipboard) {
  if (!SelectionFitsGrid(grid, selection)) return false;
  int32_t left = grid.width;
  int32_t top = grid.height;
  int32_t right = -1;
  int32_t bottom = -1;
  for (int32_t row = 0; row < grid.height; ++row) {
    for (int32_t column = 0; column < grid.width; ++column) {
      if (selection.selectionFlags[IndexOf(grid, column, row)] == 0) continue;
      left = std::min(left, column);
      right = std::max(right, column);
      top = std::min(top, row);
      bottom = std::max(bottom, row);
    }
  }
  // Nothing selected gives an empty block, which pastes as nothing.
  const int32_t width = right >= left ? right - left + 1 : 0;
  const int32_t height = bottom >= top ? bottom - top + 1 : 0;

  ClipboardBlockBytes bytes;
  try {
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<MapCell> cells(count);
    std::vector<uint8_t> mask(count);
    for (int32_t i = 0; i < height; ++i) {
      for (int32_t j = 0; j < width; ++j) {
        const size_t from = IndexOf(grid, left + j, top + i);
        const size_t to = static_cast<size_t>(j) + static_cast<size_t>(i) * width;
        cells[to] = (*grid.cells)[from];
        mask[to] = selection.selectionFlags[from];
      }
    }
    bytes = EncodeClipboardBlock(width, height, cells, mask);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return clipboard.WriteBlocks(bytes.blockSize, bytes.blockCells, bytes.blockMask);
}

bool CutSelection(MapGrid& grid, const SelectionState& selection, UndoHistory& undo) {
  if (!SelectionFitsGrid(grid, selection)) return false;
  std::vector<MapCell>& cells = *grid.cells;
  const std::vector<uint8_t>& flags = selection.selectionFlags;
  constexpr MapCell chips = CellBackgroundMask | CellLayerMask;
  bool anyChip = false;
  for (size_t i = 0; i < cells.size() && !anyChip; ++i) {
    anyChip = flags[i] != 0 && (cells[i] & chips) != 0;
  }
  if (!anyChip) return false;
  RecordUndo(undo, grid);
  for (size_t i = 0; i < cells.size(); ++i) {
    if (flags[i] != 0) cells[i] &= ~chips;
  }
  return true;
}

bool PasteAt(MapGrid& grid, PasteBlock& paste, UndoHistory& undo, Clipboard& clipboard,
             int32_t column, int32_t row) {
  const ClipboardBlocks blocks = clipboard.ReadBlocks();
  if (blocks.HasAll()) {
    // Data another program left there is refused as a whole; the block of
    // the previous paste then stays.
    ParseClipboardBlock(*blocks.blockSize, *blocks.blockCells, *blocks.blockMask, paste);
  }
  if (!paste.hasBlock || !GridShapeHolds(grid) || column < 0 || row < 0) return false;
  const size_t count =
      static_cast<size_t>(paste.blockWidth) * static_cast<size_t>(paste.blockHeight);
  if (paste.blockWidth <= 0 || paste.blockHeight <= 0) return false;
  if (paste.blockCells.size() < count || paste.blockMask.size() < count) return false;

  RecordUndo(undo, grid);
  // Limits in 64 bits: a block from another program may be as wide as it likes.
  const auto columns = static_cast<int32_t>(
      std::clamp<int64_t>(static_cast<int64_t>(grid.width) - column, 0, paste.blockWidth));
  const auto rows = static_cast<int32_t>(
      std::clamp<int64_t>(static_cast<int64_t>(grid.height) - row, 0, paste.blockHeight));
  for (int32_t i = 0; i < rows; ++i) {
    for (int32_t j = 0; j < columns; ++j) {
      const size_t from = static_cast<size_t>(j) + static_cast<size_t>(i) * paste.blockWidth;
      if (paste.blockMask[from] != 0) grid.At(column + j, row + i) = paste.blockCells[from];
    }
  }
  return true;
}

ToolResult OnMapKeyDown(Workspace& ws, Clipboard& clipboard, MapKey key) {
  ToolResult result;
  MapGrid& grid = ws.document.grid;
  switch (key) {
    case MapKey::C:
    case MapKey::X:
      if (!SelectionFitsGrid(grid, ws.selection)) return result;
      if (!CopySelection(grid, ws.selection, clipboard)) return result;
      if (key == MapKey::X && CutSelection(grid, ws.selection, ws.undo)) {
        MarkDocumentChanged(ws);
      }
      ClearSelection(ws.selection);
      result.repaint = true;
      result.cursor = PenCursor::Arrow;
      return result;
    case MapKey::V:
    case MapKey::Ctrl:
      result.cursor = PenCursor::Arrow;
      return result;
  }
  return result;
}

}  // namespace kelvor
