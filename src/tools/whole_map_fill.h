#pragma once

#include "workspace/workspace.h"

namespace kelvor {

// Puts the first chip marked on the current sheet (row-major order) on its
// level of every cell, as one undo step; flags and the other level stay. The
// chip becomes placement item 0. Nothing happens without a marked chip, a
// map with cells, or when the chip cannot be registered. True when the map
// changed (the caller refreshes the caption and repaints).
bool FillWholeMap(Workspace& workspace);

}  // namespace kelvor
