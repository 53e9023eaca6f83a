#pragma once

#include <cstdint>

#include "editing/edit_state.h"
#include "palette/palette_effect.h"
#include "workspace/workspace.h"

namespace kelvor {

// The chip of the current sheet under a palette window point. A point on the
// strip right of or below the last whole chip is taken as that chip.
CellPoint PaletteChipUnderMouse(const Workspace& workspace, PixelPoint point);

// Left button down over the palette: in placement mode a plain click first
// unmarks every chip (Ctrl keeps them); the drag will set the mode's bit, or
// clear it when the chip under the mouse already has it.
PaletteEffect PalettePress(Workspace& workspace, PixelPoint point, HeldKeys keys);
// Mouse move: stretches the drag rectangle between the anchor and the chip
// under the mouse; repaints only when that chip changed.
PaletteEffect PaletteDrag(Workspace& workspace, PixelPoint point, bool leftButtonDown);
// Left button up: sets or clears the mode's bit on every chip of the rectangle.
PaletteEffect PaletteRelease(Workspace& workspace);

// Clears flag bit `bit` (0..7) in the whole flag block of the current sheet.
// False when the sheet has no flags.
bool ClearChipBit(ChipSheetTable& sheets, int32_t bit);

}  // namespace kelvor
