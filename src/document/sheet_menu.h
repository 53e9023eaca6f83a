#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/chip_sheet.h"

namespace kelvor {

inline constexpr int32_t SheetMenuReloadCommand = 40035;
// The placeholder item; it always shows the last sheet.
inline constexpr int32_t SheetMenuFirstCommand = 40036;
inline constexpr int32_t SheetMenuLastCommand = SheetMenuFirstCommand + ChipSheetSlots - 1;

struct SheetMenuItem {
  int32_t command = 0;
  int32_t sheet = 0;
  std::string text;
};

// The palette's sheet-selection menu below "再読み込み(&R)" and the separator,
// top to bottom. Empty means no sheet: the placeholder item keeps its text.
struct SheetMenu {
  std::vector<SheetMenuItem> items;
};

// Sheet k carries command 40036 + sheetCount - 1 - k, so the list shows the
// sheets in scan order with the last one on the placeholder.
int32_t SheetMenuCommand(int32_t sheet, int32_t sheetCount);
// The sheet a menu command selects, or -1 when it selects none.
int32_t SheetForMenuCommand(int32_t command, int32_t sheetCount);

// Builds the menu model for the loaded sheets, makes sheet 0 current and
// clears its placement marks. The shell then refreshes the palette extent.
SheetMenu RebuildFileMenu(ChipSheetTable& sheets);

}  // namespace kelvor
