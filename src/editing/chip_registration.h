#pragma once

#include "document/chip_sheet.h"
#include "document/map_document.h"
#include "editing/edit_state.h"

namespace kelvor {

// Gives the chip of the current sheet named by `item` (sheet position and
// level) a slot in its level's ChipTable: the slot already holding that chip,
// or the first free one, whose atlas cell then receives the chip's pixels.
// The sheet's name joins the ChipFileList when it is not there yet (exact
// byte comparison). Sets the item's table position, (-1, -1) when the chip
// cannot be registered (file list full, no atlas, table full). Without a
// loaded current sheet, a grid or a positive zoom the item is not touched.
void RegisterChip(MapDocument& document, const ChipSheetTable& sheets, float mapZoom,
                  PlacementItem& item);

// The slot of a table position, and back.
constexpr int32_t SlotOfTablePosition(int32_t tableColumn, int32_t tableRow) {
  return tableRow * 16 + tableColumn;
}

}  // namespace kelvor
