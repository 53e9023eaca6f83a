#pragma once

#include <string_view>

#include "document/chip_sheet.h"

namespace kelvor {

// Work a palette operation leaves to the shell, which owns the dialogs, the
// folder scan and the cursor.
enum class PaletteShellAction {
  None,
  RescanChipFolder,    // wait cursor, ScanChipFolder, rebuild the file menu
  ChipFolderDialog,    // the chip-set folder dialog
  ChooseColor,         // the colour chooser for *colorToChoose, then repaint the palette
  TransparencyDialog,  // the transparency dialog for the current sheet
};

// What a palette operation changed and what the shell must do about it.
struct PaletteEffect {
  bool handled = false;  // commands: the id belongs to the palette
  bool repaintPalette = false;
  bool repaintMap = false;
  bool refreshPaletteExtent = false;
  bool captureMouse = false;
  bool releaseMouse = false;
  std::string_view paletteTitle;  // non-empty: the palette window's new title
  PaletteShellAction action = PaletteShellAction::None;
  Color* colorToChoose = nullptr;
};

}  // namespace kelvor
