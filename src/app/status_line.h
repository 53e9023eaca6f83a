#pragma once

#include <optional>
#include <string>

#include "editing/edit_state.h"

namespace kelvor {

struct Workspace;

// The cell of the map, or the chip of the current sheet, under a client
// point of its view; nothing where the point shows no content.
std::optional<CellPoint> MapCellUnder(const Workspace& workspace, int32_t x, int32_t y);
std::optional<CellPoint> PaletteChipUnder(const Workspace& workspace, int32_t x, int32_t y);

// The status lines, in the interface language: what lies under the pointer
// (when it is over content), then the map and the document.
std::string FormatMapStatus(const Workspace& workspace, std::optional<CellPoint> cell);
std::string FormatPaletteStatus(const Workspace& workspace, std::optional<CellPoint> chip);

}  // namespace kelvor
