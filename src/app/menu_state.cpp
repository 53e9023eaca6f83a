#include "app/menu_state.h"

#include <iterator>

#include "workspace/workspace.h"

namespace kelvor {
namespace {

// The command of the zoom step equal to `zoom`, or 0 when none is.
int32_t ZoomCommand(float zoom, const float* steps, int32_t count, int32_t firstCommand) {
  for (int32_t i = 0; i < count; ++i) {
    if (steps[i] == zoom) return firstCommand + i;
  }
  return 0;
}

void EnableRange(MenuPopup& popup, int32_t first, int32_t last, bool enabled) {
  for (int32_t position = first; position <= last; ++position) popup.EnableAt(position, enabled);
}

}  // namespace

void UpdateMapMenuState(MenuModel& menu, int32_t index, const Workspace& ws, bool paletteVisible) {
  if (index < 0 || static_cast<size_t>(index) >= menu.popups.size()) return;
  MenuPopup& popup = menu.popups[static_cast<size_t>(index)];
  const bool hasMap = ws.document.grid.Exists();
  switch (index) {
    case 0:
      // Save needs only a map: without a file of its own it asks for one.
      popup.EnableAt(3, hasMap);
      popup.EnableAt(4, hasMap);
      break;
    case 1:
      popup.CheckRadio(CommandLineMode, CommandFillMode,
                       ws.edit.fillMode ? CommandFillMode : CommandLineMode);
      for (int32_t position : {6, 8, 9, 10, 11, 12, 14}) popup.EnableAt(position, hasMap);
      // Without sheets nothing can be edited; Undo and Redo stay grey until
      // the history next changes.
      if (ws.sheets.sheetCount == 0) EnableRange(popup, 0, 14, false);
      break;
    case 3:
      popup.SetChecked(CommandTogglePalette, paletteVisible);
      popup.SetChecked(CommandShowLayer, ws.display.showLayer);
      popup.SetChecked(CommandShowGrid, ws.display.showGrid);
      break;
    case 4: {
      const int32_t command =
          ZoomCommand(ws.display.mapZoom, MapZoomSteps,
                      static_cast<int32_t>(std::size(MapZoomSteps)), CommandMapZoomFirst);
      if (command != 0) popup.CheckRadio(CommandMapZoomFirst, CommandMapZoomLast, command);
      EnableRange(popup, 0, 5, hasMap);
      break;
    }
    default:
      break;
  }
}

void UpdatePaletteMenuState(MenuModel& menu, int32_t index, const Workspace& ws) {
  if (index < 0 || static_cast<size_t>(index) >= menu.popups.size()) return;
  MenuPopup& popup = menu.popups[static_cast<size_t>(index)];
  const int32_t sheetCount = ws.sheets.sheetCount;
  switch (index) {
    case 0:
      if (sheetCount > 0) {
        popup.CheckRadio(CommandSheetFirst, CommandSheetFirst + sheetCount - 1,
                         SheetCommandId(sheetCount, ws.sheets.currentSheet));
      }
      break;
    case 1:
      popup.CheckRadio(CommandPaletteModeFirst, CommandPaletteModeLast,
                       CommandPaletteModeFirst + ws.palette.mode);
      EnableRange(popup, 0, 3, sheetCount > 0);
      break;
    case 2:
      EnableRange(popup, 0, 4, sheetCount > 0);
      break;
    case 4: {
      const int32_t command =
          ZoomCommand(ws.display.paletteZoom, PaletteZoomSteps,
                      static_cast<int32_t>(std::size(PaletteZoomSteps)), CommandPaletteZoomFirst);
      if (command != 0) popup.CheckRadio(CommandPaletteZoomFirst, CommandPaletteZoomLast, command);
      EnableRange(popup, 0, 4, ws.sheets.Current().Loaded());
      break;
    }
    default:
      break;
  }
}

void UpdateContextMenuState(MenuPopup& popup, const Workspace& ws) {
  if (!ws.document.grid.Exists() || ws.sheets.sheetCount == 0) EnableRange(popup, 0, 8, false);
}

void UpdateUndoMenuState(MenuModel& menu, const UndoHistory& history) {
  if (MenuItem* undo = menu.FindId(CommandUndo)) undo->enabled = !history.undoDisabled();
  if (MenuItem* redo = menu.FindId(CommandRedo)) redo->enabled = !history.redoDisabled();
}

int32_t SheetCommandId(int32_t sheetCount, int32_t sheetIndex) {
  return CommandSheetFirst + sheetCount - 1 - sheetIndex;
}

int32_t SheetIndexForCommand(int32_t sheetCount, int32_t commandId) {
  if (commandId < CommandSheetFirst || commandId > CommandSheetLast) return -1;
  const int32_t index = sheetCount - 1 - (commandId - CommandSheetFirst);
  return index >= 0 && index < sheetCount ? index : -1;
}

void RebuildSheetItems(MenuModel& menu, const ChipSheetTable& sheets) {
  if (menu.popups.empty()) return;
  MenuPopup& popup = menu.popups[0];
  std::erase_if(popup.items, [](const MenuItem& item) {
    return item.id > CommandSheetFirst && item.id <= CommandSheetLast;
  });
  const int32_t count = sheets.sheetCount;
  if (count <= 0) return;
  MenuItem* placeholder = popup.FindId(CommandSheetFirst);
  if (!placeholder) return;
  const size_t at = static_cast<size_t>(placeholder - popup.items.data());
  std::vector<MenuItem> sheetItems;
  for (int32_t index = 0; index < count; ++index) {
    MenuItem item;
    item.id = SheetCommandId(count, index);
    // A file name is shown as it is: '&' would otherwise underline the next letter.
    for (char c : sheets.sheets[static_cast<size_t>(index)].fileName) {
      item.text += c;
      if (c == '&') item.text += '&';
    }
    item.radio = true;
    sheetItems.push_back(std::move(item));
  }
  popup.items.erase(popup.items.begin() + static_cast<std::ptrdiff_t>(at));
  popup.items.insert(popup.items.begin() + static_cast<std::ptrdiff_t>(at), sheetItems.begin(),
                     sheetItems.end());
}

}  // namespace kelvor
