#include "app/palette_dispatch.h"

#include "document/chip_sheet_loader.h"
#include "platform/messages.h"
#include "tools/palette_commands.h"
#include "workspace/workspace.h"

namespace kelvor {

void RescanChipFolder(EditorContext& c) {
  Workspace& ws = c.workspace;
  {
    WaitCursorScope wait(c.messages);
    ScanChipFolder(ws.sheets, ws.folders.exeFolder, ws.folders.chipFolder, c.decoder);
  }
  // Every sheet starts again with fresh flags, which the document stores.
  MarkDocumentChanged(ws);
  c.shell.RebuildSheetMenu();
  c.shell.RefreshPaletteExtent();
  c.shell.RepaintPalette();
  c.shell.RepaintMap();
}

void ApplyPaletteEffect(EditorContext& c, const PaletteEffect& effect) {
  if (!effect.paletteTitle.empty()) c.shell.SetPaletteTitle(effect.paletteTitle);
  if (effect.refreshPaletteExtent) c.shell.RefreshPaletteExtent();
  switch (effect.action) {
    case PaletteShellAction::None:
      break;
    case PaletteShellAction::RescanChipFolder:
      RescanChipFolder(c);
      break;
    case PaletteShellAction::ChipFolderDialog:
      c.dialogs.RunChipFolderDialog();
      break;
    case PaletteShellAction::ChooseColor:
      if (effect.colorToChoose) c.dialogs.ChooseColor(*effect.colorToChoose);
      c.shell.RepaintPalette();
      break;
    case PaletteShellAction::TransparencyDialog:
      c.dialogs.RunTransparencyDialog();
      c.shell.RepaintPalette();
      break;
  }
  if (effect.repaintPalette) c.shell.RepaintPalette();
  if (effect.repaintMap) c.shell.RepaintMap();
}

bool DispatchPaletteCommand(EditorContext& c, int32_t id) {
  PaletteEffect effect = RunPaletteCommand(c.workspace, id);
  if (!effect.handled && id >= PaletteCommandSheetFirst && id <= PaletteCommandSheetLast) {
    effect = SelectSheetByCommand(c.workspace, id);
    effect.handled = true;
  }
  if (!effect.handled) return false;
  ApplyPaletteEffect(c, effect);
  return true;
}

}  // namespace kelvor
