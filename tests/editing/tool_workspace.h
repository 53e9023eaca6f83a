#pragma once

#include <cstdint>
#include <string>

#include "document/chip_sheet.h"
#include "editing/edit_state.h"
#include "editing/selection.h"
#include "workspace/workspace.h"

namespace kelvor::test {

// The colour of pixel (x, y) of the chip at (column, row) of a test sheet:
// every chip and every pixel differs, so a copy from the wrong place shows.
inline void SheetPixel(int32_t x, int32_t y, uint8_t sheetTag, uint8_t out[4]) {
  out[0] = static_cast<uint8_t>(x);
  out[1] = static_cast<uint8_t>(y);
  out[2] = static_cast<uint8_t>((x / 32) * 16 + (y / 32));
  out[3] = static_cast<uint8_t>(0x80 | sheetTag);
}

// Loads a sheet of columns x rows chips with the pixels above into `slot`.
inline ChipSheet& LoadTestSheet(Workspace& ws, int32_t slot, const std::string& name,
                                int32_t columns, int32_t rows) {
  ChipSheet& sheet = ws.sheets.sheets[static_cast<size_t>(slot)];
  sheet = ChipSheet{};
  sheet.fileName = name;
  sheet.width = columns * 32;
  sheet.height = rows * 32;
  sheet.bitsPerPixel = 32;
  sheet.chipColumns = columns;
  sheet.chipRows = rows;
  sheet.bitmap = PixelBuffer::Make(sheet.width, sheet.height);
  for (int32_t y = 0; y < sheet.height; ++y) {
    for (int32_t x = 0; x < sheet.width; ++x) {
      SheetPixel(x, y, static_cast<uint8_t>(slot), sheet.bitmap.At(x, y));
    }
  }
  sheet.chipFlags.emplace(sheet.FlagBlockSize(), 0);
  if (ws.sheets.sheetCount <= slot) ws.sheets.sheetCount = slot + 1;
  return sheet;
}

// A workspace as after start-up with a sheet of 8 x 8 chips and a map of
// width x height cells, the mouse gate open and a view that shows it all.
inline void PrepareToolWorkspace(Workspace& ws, int32_t width, int32_t height) {
  for (ChipTable& table : ws.document.tables) {
    table.atlas = PixelBuffer::Make(512, 512);
    table.entries[0].used = 1;
  }
  LoadTestSheet(ws, 0, "chips.png", 8, 8);
  ws.sheets.currentSheet = 0;
  ws.document.grid.Allocate(width, height);
  ResetSelection(ws.selection, width, height);
  ws.input.mouseEnabled = true;
  ws.views[ViewMap].pageWidth = 100000;
  ws.views[ViewMap].pageHeight = 100000;
}

// The client point of the middle of a cell at 100 %, no scrolling.
inline PixelPoint CellCentre(int32_t column, int32_t row) {
  return {column * 32 + 16, row * 32 + 16};
}

}  // namespace kelvor::test
