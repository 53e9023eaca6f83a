#pragma once

#include "platform/canvas.h"
#include "workspace/workspace.h"

namespace kelvor {

// The palette window's picture over a canvas already filled with the
// background colour: the current sheet at paletteZoom with its chip grid,
// a frame on every chip carrying the palette mode's flag bit and, while the
// palette holds the mouse capture and a drag runs, the drag rectangle in
// the colour that tells whether releasing sets or clears the bit.
void ComposePaletteView(const Workspace& workspace, Canvas& canvas, bool holdsMouseCapture);

}  // namespace kelvor
