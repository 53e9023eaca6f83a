#pragma once

#include <cstdint>
#include <string_view>

#include "palette/palette_effect.h"
#include "workspace/workspace.h"

namespace kelvor {

// Palette menu command ids.
inline constexpr int32_t PaletteCommandReload = 40035;
inline constexpr int32_t PaletteCommandSheetFirst = 40036;
inline constexpr int32_t PaletteCommandSheetLast = 40291;
inline constexpr int32_t PaletteCommandModePlacement = 40292;
inline constexpr int32_t PaletteCommandModeLayer = 40293;
inline constexpr int32_t PaletteCommandModeCollision = 40294;
inline constexpr int32_t PaletteCommandModePriority = 40295;
inline constexpr int32_t PaletteCommandApplyCollision = 40296;
inline constexpr int32_t PaletteCommandApplyPriority = 40297;
inline constexpr int32_t PaletteCommandApplyBoth = 40298;
inline constexpr int32_t PaletteCommandClearModeFlags = 40299;
inline constexpr int32_t PaletteCommandClearSheetFlags = 40300;
inline constexpr int32_t PaletteCommandClearAllFlags = 40301;
inline constexpr int32_t PaletteCommandInitLayerFlags = 40302;
inline constexpr int32_t PaletteCommandChipFolder = 40303;
inline constexpr int32_t PaletteCommandZoom50 = 40304;
inline constexpr int32_t PaletteCommandZoom200 = 40308;
inline constexpr int32_t PaletteCommandSelectColor = 40309;
inline constexpr int32_t PaletteCommandDeselectColor = 40310;
inline constexpr int32_t PaletteCommandBorderColor = 40311;
inline constexpr int32_t PaletteCommandBackgroundColor = 40312;
inline constexpr int32_t PaletteCommandTransparency = 40313;
inline constexpr int32_t PaletteCommandRandomPlacement = 40320;

// The palette window's title in each mode (also the mode's name).
std::string_view PaletteModeTitle(int32_t mode);

// Switches the edit mode: the placement marks of the current sheet are
// cleared, both windows repaint and the palette takes the mode's title.
PaletteEffect SetPaletteMode(Workspace& workspace, int32_t mode);

// The sheet a file-menu command names (the menu lists the sheets backwards
// from 40036), or -1 when it names no loaded sheet.
int32_t SheetForCommand(int32_t command, int32_t sheetCount);
// Makes that sheet current with no chip marked for placement. Nothing when
// the command names no loaded sheet.
PaletteEffect SelectSheetByCommand(Workspace& workspace, int32_t command);

// Runs one palette menu command on the workspace. `handled` is false for ids
// that are not the palette's.
PaletteEffect RunPaletteCommand(Workspace& workspace, int32_t command);

}  // namespace kelvor
