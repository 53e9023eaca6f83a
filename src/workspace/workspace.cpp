#include "workspace/workspace.h"

namespace kelvor {

namespace {

void SetChanged(UnsavedState& unsaved, bool changed) {
  if (unsaved.changed == changed) return;
  unsaved.changed = changed;
  if (unsaved.onChanged) unsaved.onChanged();
}

}  // namespace

void MarkDocumentChanged(Workspace& ws) {
  SetChanged(ws.unsaved, true);
}

void ClearDocumentChanged(Workspace& ws) {
  SetChanged(ws.unsaved, false);
}

void ReleaseDocument(Workspace& ws) {
  MapDocument& doc = ws.document;
  for (ChipTable& table : doc.tables) {
    table.atlas = PixelBuffer{};
    MarkAtlasChanged(table);
    table.ClearEntries();
  }
  doc.grid.Release();
  ws.selection = SelectionState{};
  ws.paste.Release();
  for (ChipSheet& sheet : ws.sheets.sheets) sheet = ChipSheet{};
  ResetUndo(ws.undo);

  ws.palette.ResetDrag();
  ws.edit.ClearPlacement();
  ws.gestures.EndDrags();
  doc.fileList.Clear();
  ws.sheets.sheetCount = 0;
  ws.sheets.currentSheet = 0;
  ws.mapView().visibleColumns = 0;
  ws.mapView().visibleRows = 0;
  ws.input.rightClickPoint = PixelPoint{};
  doc.documentPath.clear();
  doc.documentFolder.clear();
  doc.documentFileName.clear();
  ws.input.mouseEnabled = false;

  ws.display.ResetViewDefaults();
  ws.edit.fillMode = false;
  ws.palette.mode = PaletteModePlacement;
  ClearDocumentChanged(ws);
}

}  // namespace kelvor
