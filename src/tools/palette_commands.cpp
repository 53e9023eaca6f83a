#include "tools/palette_commands.h"

#include <algorithm>
#include <array>

#include "document/chip_sheet_loader.h"
#include "palette/chip_flags.h"
#include "tools/palette_selection.h"

namespace kelvor {

namespace {

constexpr std::array<std::string_view, 4> ModeTitles = {
    "ﾁｯﾌﾟ配置",
    "ﾚｲﾔｰ ﾌﾗｸﾞ",
    "当たり判定",
    "ﾚｲﾔｰ優先度",
};

constexpr std::array<float, 5> PaletteZooms = {0.5f, 0.75f, 1.0f, 1.5f, 2.0f};

void ZeroFlags(ChipSheet& sheet) {
  if (sheet.HasFlags()) std::fill(sheet.chipFlags->begin(), sheet.chipFlags->end(), 0);
}

}  // namespace

std::string_view PaletteModeTitle(int32_t mode) {
  if (mode < 0 || mode >= static_cast<int32_t>(ModeTitles.size())) return {};
  return ModeTitles[static_cast<size_t>(mode)];
}

PaletteEffect SetPaletteMode(Workspace& ws, int32_t mode) {
  PaletteEffect effect;
  if (mode < PaletteModePlacement || mode > PaletteModePriority) return effect;
  effect.handled = true;
  ws.palette.mode = mode;
  effect.paletteTitle = PaletteModeTitle(mode);
  ClearChipBit(ws.sheets, 0);
  effect.repaintPalette = true;
  effect.repaintMap = true;
  return effect;
}

int32_t SheetForCommand(int32_t command, int32_t sheetCount) {
  if (command < PaletteCommandSheetFirst || command > PaletteCommandSheetLast) return -1;
  const int32_t sheet = sheetCount - command + PaletteCommandReload;
  return sheet >= 0 && sheet < sheetCount ? sheet : -1;
}

PaletteEffect SelectSheetByCommand(Workspace& ws, int32_t command) {
  PaletteEffect effect;
  effect.handled = command >= PaletteCommandSheetFirst && command <= PaletteCommandSheetLast;
  const int32_t sheet = SheetForCommand(command, ws.sheets.sheetCount);
  if (sheet < 0) return effect;
  ws.sheets.currentSheet = sheet;
  ClearChipBit(ws.sheets, 0);
  effect.repaintPalette = true;
  effect.refreshPaletteExtent = true;
  return effect;
}

PaletteEffect RunPaletteCommand(Workspace& ws, int32_t command) {
  PaletteEffect effect;
  effect.handled = true;
  switch (command) {
    case PaletteCommandReload:
      effect.action = PaletteShellAction::RescanChipFolder;
      return effect;
    case PaletteCommandModePlacement:
    case PaletteCommandModeLayer:
    case PaletteCommandModeCollision:
    case PaletteCommandModePriority:
      return SetPaletteMode(ws, command - PaletteCommandModePlacement);
    case PaletteCommandApplyCollision:
    case PaletteCommandApplyPriority:
    case PaletteCommandApplyBoth:
      ApplyChipFlags(ws.document, ws.sheets, command - PaletteCommandApplyCollision);
      MarkDocumentChanged(ws);
      effect.repaintMap = true;
      return effect;
    case PaletteCommandClearModeFlags:
      ClearChipBit(ws.sheets, ws.palette.mode);
      if (ws.palette.mode != PaletteModePlacement) MarkDocumentChanged(ws);
      effect.repaintPalette = true;
      return effect;
    case PaletteCommandClearSheetFlags:
      if (ws.sheets.currentSheet >= 0 && ws.sheets.currentSheet < ChipSheetSlots) {
        ZeroFlags(ws.sheets.Current());
      }
      MarkDocumentChanged(ws);
      effect.repaintPalette = true;
      return effect;
    case PaletteCommandClearAllFlags:
      for (ChipSheet& sheet : ws.sheets.sheets) ZeroFlags(sheet);
      MarkDocumentChanged(ws);
      effect.repaintPalette = true;
      return effect;
    case PaletteCommandInitLayerFlags:
      if (ws.sheets.currentSheet >= 0 && ws.sheets.currentSheet < ChipSheetSlots) {
        InitLayerFlags(ws.sheets.Current());
      }
      MarkDocumentChanged(ws);
      effect.repaintPalette = true;
      return effect;
    case PaletteCommandChipFolder:
      effect.action = PaletteShellAction::ChipFolderDialog;
      return effect;
    case PaletteCommandSelectColor:
    case PaletteCommandDeselectColor:
    case PaletteCommandBorderColor:
    case PaletteCommandBackgroundColor: {
      const std::array<Color*, 4> colors = {
          &ws.display.paletteSelectFrameColor, &ws.display.paletteDeselectFrameColor,
          &ws.display.paletteBorderColor, &ws.display.paletteBackgroundColor};
      effect.action = PaletteShellAction::ChooseColor;
      effect.colorToChoose = colors[static_cast<size_t>(command - PaletteCommandSelectColor)];
      effect.repaintPalette = true;
      return effect;
    }
    case PaletteCommandTransparency:
      effect.action = PaletteShellAction::TransparencyDialog;
      return effect;
    case PaletteCommandRandomPlacement:
      ws.gestures.randomPlacement = !ws.gestures.randomPlacement;
      // The caption shows whether it is on.
      effect.paletteTitle = PaletteModeTitle(ws.palette.mode);
      return effect;
    default:
      break;
  }
  if (command >= PaletteCommandZoom50 && command <= PaletteCommandZoom200) {
    ws.display.paletteZoom = PaletteZooms[static_cast<size_t>(command - PaletteCommandZoom50)];
    effect.refreshPaletteExtent = true;
    return effect;
  }
  return SelectSheetByCommand(ws, command);
}

}  // namespace kelvor
