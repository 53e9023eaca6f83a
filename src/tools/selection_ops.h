#pragma once

#include <cstdint>

#include "document/map_document.h"
#include "editing/selection.h"
#include "editing/undo_history.h"
#include "platform/clipboard.h"
#include "tools/edit_tools.h"
#include "workspace/workspace.h"

namespace kelvor {

// Ctrl + left button on a cell: starts a drag that selects, or deselects when
// the cell is already selected. The cell becomes the drag's anchor.
void BeginSelectionDrag(Workspace& workspace, PixelPoint point, CellPoint cell);
// Spans the drag rectangle from the anchor to the cell under the point. True
// when that cell changed since the last update (the map needs a repaint).
bool TrackSelectionDrag(Workspace& workspace, PixelPoint point);
// Applies the rectangle of an active drag to the selection and ends the drag.
// True when the map needs a repaint.
bool EndSelectionDrag(Workspace& workspace);
// Deselects every cell.
void ClearSelection(SelectionState& selection);

// Writes the bounding box of the selected cells and its mask to the
// clipboard. With nothing selected an empty 0 x 0 block is written. False
// when the clipboard could not be written or memory ran out.
bool CopySelection(const MapGrid& grid, const SelectionState& selection, Clipboard& clipboard);
// Empties both chip levels of every selected cell, keeping flags and bits
// 24-31, as one undo step; nothing when no selected cell holds a chip. True
// when chips were removed.
bool CutSelection(MapGrid& grid, const SelectionState& selection, UndoHistory& undo);
// Reads the block on the clipboard (a missing or invalid one leaves the
// previous block) and pastes its selected cells with its top-left at
// (column, row), whole cell values, dropping what falls off the map. True
// when an undo step was recorded.
bool PasteAt(MapGrid& grid, PasteBlock& paste, UndoHistory& undo, Clipboard& clipboard,
             int32_t column, int32_t row);

// Keys of the map window that act on key-down (any modifiers, auto-repeat acts again).
enum class MapKey { C, X, V, Ctrl };
// C copies and X cuts the selection, then clears it; V and Ctrl only ask for
// the arrow cursor (the paste and the selection happen at the click).
ToolResult OnMapKeyDown(Workspace& workspace, Clipboard& clipboard, MapKey key);

}  // namespace kelvor
