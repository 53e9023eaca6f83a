#pragma once

#include <cstdint>
#include <vector>

#include "document/map_document.h"
#include "editing/selection.h"

namespace kelvor {

// The bounding box of the selected cells of a map whose selection flags
// match it; not Valid() when no cell is selected.
SelectionRect SelectedBounds(const MapGrid& grid, const std::vector<uint8_t>& flags);

// How many selected cells inside `bounds` would land off the map when moved
// by (dx, dy).
int64_t CellsPushedOff(const MapGrid& grid, const std::vector<uint8_t>& flags,
                       const SelectionRect& bounds, int32_t dx, int32_t dy);

// Moves the whole content (both chips, every flag, bits 24-31) of the
// selected cells inside `bounds` by (dx, dy); the cells left behind become
// 0, and the selection moves with the content. Cells landing off the map are
// dropped. Source and target may overlap. False, with nothing changed, when
// the flags or `bounds` do not match the map.
bool MoveSelectedCells(MapGrid& grid, std::vector<uint8_t>& flags, const SelectionRect& bounds,
                       int32_t dx, int32_t dy);

}  // namespace kelvor
