#pragma once

#include <cstdint>
#include <string_view>

#include "document/chip_sheet.h"
#include "editing/edit_state.h"
#include "tools/edit_tools.h"

namespace kelvor {

struct Workspace;
class Messages;
class Clipboard;
class ImageDecoder;

// What the command handlers ask of the windows. The windows implement it;
// the handlers hold no widgets, so they read as plain rules.
class ShellActions {
 public:
  virtual ~ShellActions() = default;
  virtual void RepaintMap() = 0;
  virtual void RepaintPalette() = 0;
  virtual void RefreshTitle() = 0;
  virtual void RefreshMapExtent() = 0;
  virtual void RefreshPaletteExtent() = 0;
  // After a folder scan: new sheet items in the palette's file menu.
  virtual void RebuildSheetMenu() = 0;
  virtual void TogglePaletteWindow() = 0;
  virtual void SetPaletteTitle(std::string_view title) = 0;
  virtual void ShowPenCursor(PenCursor cursor) = 0;
  // The close question and, on Yes, the shutdown.
  virtual void RequestClose() = 0;
  virtual HeldKeys HeldKeysNow() const = 0;
};

// The dialogs the commands open. Each returns when the dialog has closed and
// has done its own work (a cancelled dialog changes nothing).
class EditorDialogs {
 public:
  virtual ~EditorDialogs() = default;
  virtual void RunSizeDialog(bool newMap) = 0;
  virtual void RunOpenDialog() = 0;
  virtual void RunSaveAsDialog() = 0;
  // True when a colour was chosen (and stored in `color`).
  virtual bool ChooseColor(Color& color) = 0;
  virtual void RunChipFolderDialog() = 0;
  virtual void RunTransparencyDialog() = 0;
  virtual void ShowHelp() = 0;
  virtual void ShowAbout() = 0;
};

// Everything a command handler may touch.
struct EditorContext {
  Workspace& workspace;
  Messages& messages;
  Clipboard& clipboard;
  ImageDecoder& decoder;
  ShellActions& shell;
  EditorDialogs& dialogs;
};

}  // namespace kelvor
