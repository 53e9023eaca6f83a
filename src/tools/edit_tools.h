#pragma once

#include <cstdint>

#include "document/map_document.h"
#include "document/view_port.h"
#include "editing/edit_state.h"
#include "platform/clipboard.h"
#include "platform/messages.h"
#include "workspace/workspace.h"

namespace kelvor {

// The cursor the map window should show after a mouse or key message.
enum class PenCursor {
  Keep,   // leave the cursor as it is
  Line,   // the pencil: placement in line-drawing mode
  Fill,   // the paint bucket: placement in area-fill mode
  Arrow,  // the standard arrow (Ctrl or V pressed, copy, cut)
};

// What the shell must do after a tool ran: the tools never touch the UI.
struct ToolResult {
  bool updateTitle = false;  // chip usage may have changed: rebuild the caption
  bool repaint = false;      // repaint the whole map view
  PenCursor cursor = PenCursor::Keep;
  int64_t replacedCells = -1;  // >= 0: tell the user how many cells a replace changed
};

// What every tool needs: a loaded current sheet, a map with cells and a zoom.
// An empty map is legal but no tool may change it.
bool ToolsReady(const Workspace& workspace);

// The tool a left-button press uses: held keys first, then the palette mode.
enum class MapTool { Paste, Select, Erase, CollisionPaint, PriorityPaint, Place };
MapTool ChooseMapTool(const HeldKeys& keys, int32_t paletteMode);

// The pen cursor: shown only with a grid, in placement mode, and while none
// of Ctrl, C, X and V is held; otherwise the cursor is kept.
PenCursor UpdatePenCursor(const Workspace& workspace, const HeldKeys& keys);

// Left button pressed over the map at a client point. Chooses the tool,
// records the undo step of an editing tool and performs it. The clipboard
// serves a paste (V held); the wait cursor is shown while chips are placed.
ToolResult OnMapButtonDown(Workspace& workspace, PixelPoint point, const HeldKeys& keys,
                           Clipboard& clipboard, Messages& messages);
// Mouse moved over the map; repeats the stroke's tool on each newly entered
// cell (collision and priority painting on every move), without undo step.
ToolResult OnMapMouseMove(Workspace& workspace, PixelPoint point, const HeldKeys& keys,
                          bool leftButtonDown);
// Left button released: ends a selection drag and the stroke. While the mouse
// gate is closed it only opens the gate.
ToolResult OnMapButtonUp(Workspace& workspace, const HeldKeys& keys);

// Collects the chips marked in the current sheet into the placement list
// (at most 256, row by row) with the origin of their bounding box.
void CollectMarkedChips(const ChipSheet& sheet, MapEditState& edit);

// Stamps one placement item with the top-left of the marked chips' bounding
// box at (column, row); parts beyond the right or bottom edge are dropped. In
// area-fill mode the chip area-fills from its target cell instead.
void PlaceItem(MapGrid& grid, const MapEditState& edit, int32_t column, int32_t row,
               const PlacementItem& item);

// B held empties the cell's background, L its layer; flags stay.
void EraseChipsAtCell(MapGrid& grid, int32_t column, int32_t row, const HeldKeys& keys);

// Collision and priority painting at a client point of the map view. Each
// cell changes at most once per press: a toggled cell gets its mark.
void ToggleCollisionCell(MapGrid& grid, float mapZoom, const ViewPort& view, PixelPoint point);
// Toggles the wall of the cell side the point is near; false when the point is
// in no side zone (centre, corner, map border) or that cell was already toggled.
bool ToggleCollisionEdge(MapGrid& grid, float mapZoom, const ViewPort& view, PixelPoint point);
void TogglePriority(MapGrid& grid, float mapZoom, const ViewPort& view, PixelPoint point);

// Clears `bits` in every cell of the grid.
void ClearCellBits(MapGrid& grid, MapCell bits);
// Clears the two marks and the two reserved bits in every cell.
void ClearTransientMarks(MapGrid& grid);

// The map popup's erase commands (kind 0 background, 1 layer, 2 background
// area, 3 layer area) at the last right-click point, which is clamped to the
// view in place. True when the map must be repainted.
bool RunPopupErase(Workspace& workspace, int32_t kind);

}  // namespace kelvor
