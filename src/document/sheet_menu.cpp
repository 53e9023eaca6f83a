#include "document/sheet_menu.h"

namespace kelvor {

int32_t SheetMenuCommand(int32_t sheet, int32_t sheetCount) {
  if (sheet < 0 || sheet >= sheetCount) return -1;
  return SheetMenuFirstCommand + sheetCount - 1 - sheet;
}

int32_t SheetForMenuCommand(int32_t command, int32_t sheetCount) {
  if (command < SheetMenuFirstCommand || command >= SheetMenuFirstCommand + sheetCount) return -1;
  return sheetCount - command + SheetMenuFirstCommand - 1;
}

SheetMenu RebuildFileMenu(ChipSheetTable& sheets) {
  SheetMenu menu;
  const int32_t count = sheets.sheetCount;
  menu.items.reserve(static_cast<size_t>(count));
  for (int32_t k = 0; k < count; ++k) {
    menu.items.push_back(
        {SheetMenuCommand(k, count), k, sheets.sheets[static_cast<size_t>(k)].fileName});
  }
  // Also with no sheet at all: a stale index would point at an emptied slot.
  sheets.currentSheet = 0;
  ChipSheet& first = sheets.sheets[0];
  if (count > 0 && first.HasFlags()) {
    const size_t chips = static_cast<size_t>(first.chipColumns) * first.chipRows;
    std::vector<uint8_t>& flags = *first.chipFlags;
    for (size_t i = 0; i < chips && i < flags.size(); ++i) flags[i] &= ~ChipFlagSelected;
  }
  return menu;
}

}  // namespace kelvor
