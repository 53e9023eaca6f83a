#include "tools/palette_selection.h"

#include <algorithm>

#include "editing/point_to_cell.h"

namespace kelvor {

namespace {

bool ValidMode(int32_t mode) {
  return mode >= PaletteModePlacement && mode <= PaletteModePriority;
}

bool ValidCurrent(const ChipSheetTable& sheets) {
  return sheets.currentSheet >= 0 && sheets.currentSheet < ChipSheetSlots;
}

// A sheet the palette can mark chips on: an image, a flag block covering its
// chips, and at least one whole chip.
bool Markable(const ChipSheet& sheet) {
  return sheet.HasBitmap() && sheet.HasFlags() && sheet.chipColumns > 0 && sheet.chipRows > 0 &&
         sheet.chipFlags->size() >=
             static_cast<size_t>(sheet.chipColumns) * static_cast<size_t>(sheet.chipRows);
}

}  // namespace

CellPoint PaletteChipUnderMouse(const Workspace& workspace, PixelPoint point) {
  const ChipSheet& sheet = workspace.sheets.Current();
  CellPoint chip =
      PalettePointToCell(point, sheet, workspace.display.paletteZoom, workspace.views[ViewPalette]);
  // Never a chip of the next row, never past the flags in use.
  chip.column = std::clamp(chip.column, 0, std::max(sheet.chipColumns - 1, 0));
  chip.row = std::clamp(chip.row, 0, std::max(sheet.chipRows - 1, 0));
  return chip;
}

bool ClearChipBit(ChipSheetTable& sheets, int32_t bit) {
  if (!ValidCurrent(sheets) || bit < 0 || bit > 7) return false;
  ChipSheet& sheet = sheets.Current();
  if (!sheet.HasFlags()) return false;
  const uint8_t keep = static_cast<uint8_t>(~(1u << bit));
  for (uint8_t& flag : *sheet.chipFlags) flag &= keep;
  return true;
}

PaletteEffect PalettePress(Workspace& ws, PixelPoint point, HeldKeys keys) {
  PaletteEffect effect;
  PaletteState& palette = ws.palette;
  if (!ValidMode(palette.mode) || !ValidCurrent(ws.sheets)) return effect;
  ChipSheet& sheet = ws.sheets.Current();
  if (!Markable(sheet) || !(ws.display.paletteZoom > 0.0f)) return effect;

  if (palette.mode == PaletteModePlacement && !keys.ctrl) ClearChipBit(ws.sheets, 0);
  effect.captureMouse = true;
  palette.dragging = true;
  const CellPoint anchor = PaletteChipUnderMouse(ws, point);
  palette.palettePressPoint = anchor;
  palette.dragClears = (sheet.Flag(anchor.column, anchor.row) & palette.ModeBit()) != 0;
  palette.dragLeft = palette.dragRight = anchor.column;
  palette.dragTop = palette.dragBottom = anchor.row;
  // A new drag starts from its anchor, so the first move always repaints.
  ws.selection.lastTrackCell = anchor;
  effect.repaintPalette = true;
  return effect;
}

PaletteEffect PaletteDrag(Workspace& ws, PixelPoint point, bool leftButtonDown) {
  PaletteEffect effect;
  PaletteState& palette = ws.palette;
  if (!ValidMode(palette.mode) || !ValidCurrent(ws.sheets)) return effect;
  if (!Markable(ws.sheets.Current()) || !(ws.display.paletteZoom > 0.0f)) return effect;
  if (!leftButtonDown || !palette.dragging) return effect;

  SelectionRect rect;
  const bool moved = TrackDragRectangle(PaletteChipUnderMouse(ws, point), palette.palettePressPoint,
                                        rect, ws.selection.lastTrackCell);
  palette.dragLeft = rect.left;
  palette.dragTop = rect.top;
  palette.dragRight = rect.right;
  palette.dragBottom = rect.bottom;
  effect.repaintPalette = moved;
  return effect;
}

PaletteEffect PaletteRelease(Workspace& ws) {
  PaletteEffect effect;
  PaletteState& palette = ws.palette;
  // The drag ends and the capture goes whatever happens next, so no later
  // move can stretch a drag whose sheet went away.
  effect.releaseMouse = palette.dragging;
  const bool wasDragging = palette.dragging;
  palette.dragging = false;
  // A release with no press of ours before it (the button went down
  // elsewhere) must not apply the previous drag again.
  if (!wasDragging || !ValidMode(palette.mode) || !ValidCurrent(ws.sheets)) return effect;
  ChipSheet& sheet = ws.sheets.Current();
  if (!Markable(sheet)) return effect;

  const uint8_t bit = palette.ModeBit();
  // Placement marks are a choice of chips, not a setting the document keeps.
  if (palette.mode != PaletteModePlacement) MarkDocumentChanged(ws);
  const int32_t right = std::min(palette.dragRight, sheet.chipColumns - 1);
  const int32_t bottom = std::min(palette.dragBottom, sheet.chipRows - 1);
  for (int32_t row = std::max(palette.dragTop, 0); row <= bottom; ++row) {
    for (int32_t column = std::max(palette.dragLeft, 0); column <= right; ++column) {
      uint8_t& flag = sheet.Flag(column, row);
      flag =
          palette.dragClears ? static_cast<uint8_t>(flag & ~bit) : static_cast<uint8_t>(flag | bit);
    }
  }
  effect.repaintPalette = true;
  return effect;
}

}  // namespace kelvor
