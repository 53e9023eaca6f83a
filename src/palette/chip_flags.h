#pragma once

#include <cstdint>

#include "document/chip_sheet.h"
#include "document/map_document.h"

namespace kelvor {

// Refreshes the attributes of every used entry of both tables from the flags
// of its chip on the loaded sheet whose name equals the entry's file name
// exactly (letter case counts; entries without such a sheet keep theirs),
// then rewrites the cell flags by `choice` (0 collision, 1 priority, 2 both).
// True when the cells were rewritten (a grid exists).
bool ApplyChipFlags(MapDocument& document, const ChipSheetTable& sheets, int32_t choice);

}  // namespace kelvor
