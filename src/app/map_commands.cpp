#include "app/map_commands.h"

#include "editing/bulk_operations.h"
#include "editing/undo_history.h"
#include "files/binary_document.h"
#include "files/open_document.h"
#include "files/unsaved_changes.h"
#include "platform/messages.h"
#include "resources/menu_tables.h"
#include "tools/selection_ops.h"
#include "tools/whole_map_fill.h"
#include "workspace/workspace.h"

namespace kelvor {
namespace {

Color* MapColor(DisplaySettings& display, int32_t id) {
  switch (id - CommandMapColorFirst) {
    case 0:
      return &display.mapAttrFrameColor;
    case 1:
      return &display.mapCopyFrameColor;
    case 2:
      return &display.mapDeselectFrameColor;
    case 3:
      return &display.mapBorderColor;
    case 4:
      return &display.mapBackgroundColor;
    case 5:
      return &display.mapCollisionFrameColor;
    default:
      return nullptr;
  }
}

// The chip-set optimisation that runs before every save and on its own.
void Optimize(EditorContext& c) {
  if (OptimizeChipSet(c.workspace.document, c.workspace.undo)) MarkDocumentChanged(c.workspace);
  c.shell.RefreshTitle();
  c.shell.RepaintMap();
}

void AfterHistoryStep(EditorContext& c, bool changed) {
  if (!changed) return;
  MarkDocumentChanged(c.workspace);
  // A step may undo a resize: the extent follows the restored grid.
  c.shell.RefreshMapExtent();
  c.shell.RefreshTitle();
  c.shell.RepaintMap();
}

}  // namespace

void ApplyToolResult(EditorContext& c, const ToolResult& result) {
  if (result.updateTitle) c.shell.RefreshTitle();
  if (result.repaint) c.shell.RepaintMap();
  if (result.cursor != PenCursor::Keep) c.shell.ShowPenCursor(result.cursor);
}

void SaveDocument(EditorContext& c) {
  Workspace& ws = c.workspace;
  MapDocument& doc = ws.document;
  if (!doc.grid.Exists()) return;
  Optimize(c);
  if (doc.documentPath.empty()) {
    c.dialogs.RunSaveAsDialog();
    c.shell.RefreshTitle();
    return;
  }
  if (WriteBinaryDocument(doc.documentPath, doc, ws.sheets, c.messages)) ClearDocumentChanged(ws);
}

bool MayReplaceDocument(EditorContext& c) {
  return kelvor::MayReplaceDocument(c.workspace, c.messages, [&c] { SaveDocument(c); });
}

void ReplaceDocumentWith(EditorContext& c, const std::string& path) {
  if (!MayReplaceDocument(c)) return;
  OpenDocumentAndRefresh(c, path);
}

void OpenDocumentAndRefresh(EditorContext& c, const std::string& path) {
  OpenRefresh refresh;
  OpenDocument(c.workspace, path, c.messages, refresh);
  ApplyOpenRefresh(c, refresh);
}

void ApplyOpenRefresh(EditorContext& c, const OpenRefresh& refresh) {
  if (refresh.title) c.shell.RefreshTitle();
  if (refresh.scrollExtents) {
    c.shell.RefreshMapExtent();
    c.shell.RefreshPaletteExtent();
  }
  if (refresh.palette) c.shell.RepaintPalette();
  c.shell.RepaintMap();
  ShowMissingImages(refresh, c.messages);
}

bool DispatchMapCommand(EditorContext& c, int32_t id) {
  Workspace& ws = c.workspace;
  MapDocument& doc = ws.document;
  switch (id) {
    case CommandNew:
      if (!MayReplaceDocument(c)) return false;
      c.dialogs.RunSizeDialog(true);
      return false;
    case CommandOpen:
      if (!MayReplaceDocument(c)) return false;
      // The release of a double click that closes the dialog must not edit.
      ws.input.mouseEnabled = false;
      c.dialogs.RunOpenDialog();
      c.shell.RepaintMap();
      return false;
    case CommandSave:
      SaveDocument(c);
      return false;
    case CommandSaveAs:
      if (!doc.grid.Exists()) return false;
      Optimize(c);
      c.dialogs.RunSaveAsDialog();
      c.shell.RefreshTitle();
      return false;
    case CommandExit:
      c.shell.RequestClose();
      return false;
    case CommandUndo:
      AfterHistoryStep(c, Undo(ws.undo, doc.grid, ws.selection));
      return false;
    case CommandRedo:
      AfterHistoryStep(c, Redo(ws.undo, doc.grid, ws.selection));
      return false;
    case CommandLineMode:
      ws.edit.fillMode = false;
      return false;
    case CommandFillMode:
      ws.edit.fillMode = true;
      return false;
    case CommandFillWholeMap:
      FillWholeMap(ws);
      c.shell.RefreshTitle();
      c.shell.RepaintMap();
      return false;
    case CommandClearBackground:
    case CommandClearLayer:
      if (ClearLevel(doc.grid, ws.undo,
                     id == CommandClearBackground ? LevelBackground : LevelLayer)) {
        MarkDocumentChanged(ws);
      }
      c.shell.RefreshTitle();
      c.shell.RepaintMap();
      return false;
    case CommandClearSelection:
      ClearSelection(ws.selection);
      c.shell.RepaintMap();
      return false;
    case CommandClearCollision:
    case CommandClearPriority: {
      const bool collision = id == CommandClearCollision;
      const std::string_view question =
          collision ? texts::ConfirmClearCollision : texts::ConfirmClearPriority;
      if (!c.messages.AskYesNo(question, texts::AppCaption)) return false;
      ClearCellFlags(doc.grid, collision ? CellFlagGroup::Collision : CellFlagGroup::Priority);
      MarkDocumentChanged(ws);
      c.shell.RepaintMap();
      return false;
    }
    case CommandOptimizeChipSet:
      Optimize(c);
      return false;
    case CommandResizeMap:
      c.dialogs.RunSizeDialog(false);
      return false;
    case CommandShowLayer:
      ws.display.showLayer = !ws.display.showLayer;
      c.shell.RepaintMap();
      return false;
    case CommandShowGrid:
      ws.display.showGrid = !ws.display.showGrid;
      c.shell.RepaintMap();
      return false;
    case CommandTogglePalette:
      c.shell.TogglePaletteWindow();
      return false;
    case CommandHelp:
      c.dialogs.ShowHelp();
      return false;
    case CommandAbout:
      c.dialogs.ShowAbout();
      return false;
    case CommandToggleFillMode:
      ws.edit.fillMode = !ws.edit.fillMode;
      ApplyToolResult(c, ToolResult{false, false, UpdatePenCursor(ws, c.shell.HeldKeysNow())});
      return false;
    default:
      break;
  }
  if (id >= CommandMapZoomFirst && id <= CommandMapZoomLast) {
    ws.display.mapZoom = MapZoomSteps[id - CommandMapZoomFirst];
    c.shell.RefreshMapExtent();
    c.shell.RepaintMap();
    return false;
  }
  if (Color* color = MapColor(ws.display, id)) {
    c.dialogs.ChooseColor(*color);
    c.shell.RepaintMap();
    return false;
  }
  if (id >= CommandPopupEraseFirst && id <= CommandPopupEraseLast) {
    if (RunPopupErase(ws, id - CommandPopupEraseFirst)) {
      c.shell.RefreshTitle();
      c.shell.RepaintMap();
    }
    return false;
  }
  return true;
}

}  // namespace kelvor
