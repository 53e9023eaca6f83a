#pragma once

#include <cstdint>

#include "app/menu_model.h"

namespace kelvor {

struct Workspace;
class UndoHistory;
struct ChipSheetTable;

// Item states are recomputed for one popup of the menu bar just before it
// opens; `index` is the popup's position. Unknown indices do nothing.
void UpdateMapMenuState(MenuModel& mapMenu, int32_t index, const Workspace& workspace,
                        bool paletteVisible);
void UpdatePaletteMenuState(MenuModel& paletteMenu, int32_t index, const Workspace& workspace);
// The map context menu: every item greyed without a map or without sheets.
void UpdateContextMenuState(MenuPopup& popup, const Workspace& workspace);
// Undo and Redo follow the history's greyed flags; pushed on every change.
void UpdateUndoMenuState(MenuModel& mapMenu, const UndoHistory& history);

// The sheet items of the palette's file menu, newest id first: sheet k has
// id CommandSheetFirst + sheetCount - 1 - k, so the last sheet always has the
// first id. Without sheets the placeholder item keeps the text it had.
void RebuildSheetItems(MenuModel& paletteMenu, const ChipSheetTable& sheets);
int32_t SheetCommandId(int32_t sheetCount, int32_t sheetIndex);
// The sheet a file-menu command selects, or -1 when it names no loaded sheet.
int32_t SheetIndexForCommand(int32_t sheetCount, int32_t commandId);

}  // namespace kelvor
