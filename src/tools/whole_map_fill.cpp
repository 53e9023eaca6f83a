#include "tools/whole_map_fill.h"

#include "editing/chip_registration.h"
#include "editing/undo_history.h"

namespace kelvor {

namespace {

// The first marked chip of the sheet, or (-1, -1).
CellPoint FirstMarkedChip(const ChipSheet& sheet) {
  const std::vector<uint8_t>& flags = *sheet.chipFlags;
  for (int32_t row = 0; row < sheet.chipRows; ++row) {
    for (int32_t column = 0; column < sheet.chipColumns; ++column) {
      const size_t index = static_cast<size_t>(row) * sheet.chipColumns + column;
      if (index >= flags.size()) return {-1, -1};
      if (flags[index] & ChipFlagSelected) return {column, row};
    }
  }
  return {-1, -1};
}

}  // namespace

bool FillWholeMap(Workspace& ws) {
  MapGrid& grid = ws.document.grid;
  if (ws.sheets.currentSheet < 0 || ws.sheets.currentSheet >= ChipSheetSlots) return false;
  const ChipSheet& sheet = ws.sheets.Current();
  if (!sheet.Loaded() || !grid.Exists() || grid.CellCount() == 0) return false;

  const CellPoint chip = FirstMarkedChip(sheet);
  if (chip.column < 0) return false;
  PlacementItem& item = ws.edit.placement[0];
  item.level = (sheet.Flag(chip.column, chip.row) & ChipFlagLayer) ? LevelLayer : LevelBackground;
  item.sheetColumn = chip.column;
  item.sheetRow = chip.row;
  ws.edit.originColumn = chip.column;
  ws.edit.originRow = chip.row;

  RegisterChip(ws.document, ws.sheets, ws.display.mapZoom, item);
  if (item.tableColumn < 0 || item.tableRow < 0) return false;
  RecordUndo(ws.undo, grid);
  MarkDocumentChanged(ws);

  // Stamping or area-filling from every cell ends with the chip in every
  // cell either way, so one pass sets it directly.
  const auto value = static_cast<uint8_t>(SlotOfTablePosition(item.tableColumn, item.tableRow));
  for (MapCell& cell : *grid.cells) cell = WithChip(cell, item.level, value);
  return true;
}

}  // namespace kelvor
