#pragma once

// Menus 102 (map window), 103 (chip palette window), 104 (map context menu)
// and accelerator table 105: one table each, exact ids, texts and order.
// Plain data, no Qt, so the menu rules can be checked without a display.

#include <cstdint>
#include <span>
#include <string_view>

namespace kelvor {

enum CommandId : int32_t {
  CommandNew = 40001,
  CommandOpen = 40002,
  CommandSave = 40003,
  CommandSaveAs = 40004,
  CommandExit = 40005,
  CommandUndo = 40006,
  CommandRedo = 40007,
  CommandLineMode = 40008,
  CommandFillMode = 40009,
  CommandFillWholeMap = 40010,
  CommandClearBackground = 40011,
  CommandClearLayer = 40012,
  CommandClearSelection = 40013,
  CommandClearCollision = 40014,
  CommandClearPriority = 40015,
  CommandOptimizeChipSet = 40016,
  CommandResizeMap = 40017,
  CommandShowLayer = 40018,
  CommandShowGrid = 40019,
  CommandTogglePalette = 40020,
  CommandMapZoomFirst = 40021,  // 25 %, 50 %, 75 %, 100 %, 150 %, 200 %
  CommandMapZoomLast = 40026,
  CommandMapColorFirst = 40027,  // six map colours
  CommandMapColorLast = 40032,
  CommandHelp = 40033,
  CommandAbout = 40034,
  CommandReloadSheets = 40035,
  CommandSheetFirst = 40036,  // the last sheet; earlier sheets count upward
  CommandSheetLast = 40291,
  CommandPaletteModeFirst = 40292,  // placement, layer, collision, priority
  CommandPaletteModeLast = 40295,
  CommandApplyCollision = 40296,
  CommandApplyPriority = 40297,
  CommandApplyBoth = 40298,
  CommandClearModeFlags = 40299,
  CommandClearSheetFlags = 40300,
  CommandClearAllFlags = 40301,
  CommandInitLayerFlags = 40302,
  CommandChipFolder = 40303,
  CommandPaletteZoomFirst = 40304,  // 50 %, 75 %, 100 %, 150 %, 200 %
  CommandPaletteZoomLast = 40308,
  CommandPaletteColorFirst = 40309,  // four palette colours
  CommandPaletteColorLast = 40312,
  CommandTransparency = 40313,
  CommandToggleFillMode = 40314,   // accelerator only
  CommandPopupEraseFirst = 40315,  // background, layer, area background, area layer
  CommandPopupEraseLast = 40318,
  CommandReplaceChip = 40319,      // map context menu
  CommandRandomPlacement = 40320,  // palette window, checkable
  CommandStatusBar = 40321,  // the map window's status line
  CommandOverview = 40322,   // the overview window
};

inline constexpr int32_t MenuMapWindow = 102;
inline constexpr int32_t MenuPaletteWindow = 103;
inline constexpr int32_t MenuMapContext = 104;
inline constexpr int32_t AcceleratorTable = 105;
inline constexpr int32_t IconApp = 101;
inline constexpr int32_t CursorFill = 106;
inline constexpr int32_t CursorLine = 107;

// One item of a popup; id 0 is a separator. The key hint is shown
// right-aligned after the text.
struct MenuItemDef {
  int32_t id = 0;
  std::string_view text;
  std::string_view keyHint;
};

struct PopupDef {
  std::string_view title;
  std::span<const MenuItemDef> items;
};

struct MenuDef {
  int32_t resourceId = 0;
  std::span<const PopupDef> popups;
};

// Returns the menu resource with that id, or an empty menu for unknown ids.
MenuDef LoadMenuDef(int32_t resourceId);

// One accelerator: the key (an upper-case letter or ' ' for Space) and
// whether Ctrl must be held.
struct AcceleratorDef {
  char key = 0;
  bool ctrl = false;
  int32_t command = 0;
};

std::span<const AcceleratorDef> AcceleratorDefs();

// Items that show a radio mark when checked: the drawing modes, the zoom
// steps, the sheet items and the palette edit modes.
constexpr bool IsRadioCommand(int32_t id) {
  return (id >= CommandLineMode && id <= CommandFillMode) ||
         (id >= CommandMapZoomFirst && id <= CommandMapZoomLast) ||
         (id >= CommandSheetFirst && id <= CommandSheetLast) ||
         (id >= CommandPaletteModeFirst && id <= CommandPaletteModeLast) ||
         (id >= CommandPaletteZoomFirst && id <= CommandPaletteZoomLast);
}

// The map and palette zoom steps, in menu order.
inline constexpr float MapZoomSteps[] = {0.25f, 0.5f, 0.75f, 1.0f, 1.5f, 2.0f};
inline constexpr float PaletteZoomSteps[] = {0.5f, 0.75f, 1.0f, 1.5f, 2.0f};

}  // namespace kelvor
