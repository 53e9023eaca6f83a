#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "editing/edit_state.h"
#include "platform/clipboard.h"
#include "platform/messages.h"
#include "tools/edit_tools.h"
#include "workspace/workspace.h"

namespace kelvor {

// Asked before a move drops cells off the map, with how many; true to go on.
using ConfirmDroppedCells = std::function<bool(int64_t dropped)>;

// The map's mouse protocol with the gestures of the letter keys M (move the
// selection), R (stamp a rectangle), S (select alike, Shift: only the
// connected ones) and T (replace a chip). Without those keys, or with V or
// Ctrl held, each call is the plain tool's (OnMapButtonDown and the rest).
ToolResult OnMapGestureDown(Workspace& workspace, PixelPoint point, const HeldKeys& keys,
                            Clipboard& clipboard, Messages& messages);
ToolResult OnMapGestureMove(Workspace& workspace, PixelPoint point, const HeldKeys& keys,
                            bool leftButtonDown);
// Ends a move (asking `confirm` when cells would fall off the map; a No
// cancels it) or a rectangle stamp, each as one undo step.
ToolResult OnMapGestureUp(Workspace& workspace, const HeldKeys& keys,
                          const ConfirmDroppedCells& confirm);

// Replaces the chip of `cell` (at its clicked level) by the first chip
// marked in the palette, inside the selection when there is one, else on the
// whole map; one undo step when a cell changes. replacedCells tells how many
// changed; it stays -1 when no chip is marked or it could not be registered.
ToolResult ReplaceChipAt(Workspace& workspace, CellPoint cell);
// The map popup's replace command, at the last right-click point.
ToolResult RunPopupReplace(Workspace& workspace);

// The editing keys of the map window.
enum class EditKey {
  Delete,     // Delete and Backspace: empty the selected cells as a cut does
  SelectAll,  // Ctrl+A
  Escape,     // cancel the drag in progress, else clear the selection
  Paste,      // Ctrl+V: paste at the cell under the pointer
};
// `pointer` is the pointer's point in the map view, when it is over it.
ToolResult OnMapEditKey(Workspace& workspace, Clipboard& clipboard, EditKey key,
                        std::optional<PixelPoint> pointer);

}  // namespace kelvor
