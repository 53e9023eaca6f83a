#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "document/map_document.h"
#include "editing/edit_state.h"
#include "editing/selection.h"

namespace kelvor {

// The placement items that were registered (have a table position), in
// collection order.
std::vector<int32_t> RegisteredItems(const MapEditState& edit);

// One of `count` choices, uniformly: the generator's output is drawn again
// while it falls in the uneven remainder.
uint32_t PickUniform(std::mt19937& random, uint32_t count);

// Fills every cell of `rect` (clipped to the map) with the marked chips'
// arrangement repeated from the rectangle's top-left cell; with `random`
// each cell gets one registered chip picked at random instead. Each chip
// goes to its own level; items whose registration failed leave their cells
// as they were. Area-fill mode plays no part.
void StampRectangle(MapGrid& grid, const MapEditState& edit, const SelectionRect& rect,
                    std::mt19937* random);

// Random placement at one cell: one registered chip picked at random is set
// there, or in area-fill mode every cell of the region an area fill of the
// first registered chip's level would cover gets its own pick.
void PlaceRandomChip(MapGrid& grid, const MapEditState& edit, int32_t column, int32_t row,
                     std::mt19937& random);

}  // namespace kelvor
