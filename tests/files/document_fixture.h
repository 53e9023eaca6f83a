#pragma once

#include <string>
#include <vector>

#include "document/chip_sheet.h"
#include "document/map_document.h"
#include "editing/selection.h"

namespace kelvor::test {

// A loaded sheet as the chip-set scan leaves it: image, size in chips and a
// zeroed flag block of 4 bytes per chip.
inline void LoadSheet(ChipSheetTable& sheets, const std::string& name, int32_t columns,
                      int32_t rows) {
  ChipSheet& sheet = sheets.sheets[static_cast<size_t>(sheets.sheetCount++)];
  sheet.fileName = name;
  sheet.width = columns * 32;
  sheet.height = rows * 32;
  sheet.bitsPerPixel = 32;
  sheet.bitmap = PixelBuffer::Make(sheet.width, sheet.height);
  sheet.chipColumns = columns;
  sheet.chipRows = rows;
  sheet.chipFlags = std::vector<uint8_t>(static_cast<size_t>(4 * columns * rows), 0);
}

// Two sheets, two file names, three background and two layer slots and a
// 3 x 2 map, one cell with bit 31 set.
struct SmallDocument {
  MapDocument document;
  ChipSheetTable sheets;

  SmallDocument() {
    LoadSheet(sheets, "tiles.png", 2, 1);
    sheets.sheets[0].transparent = 1;
    sheets.sheets[0].transparentColor = 0xff00ff;
    (*sheets.sheets[0].chipFlags)[0] = 4;
    LoadSheet(sheets, "Big Sheet.png", 1, 1);
    (*sheets.sheets[1].chipFlags)[3] = 0x0A;

    document.fileList.names[0] = "tiles.png";
    document.fileList.names[1] = "Big Sheet.png";
    ChipTable& background = document.tables[0];
    background.entries[0] = {1, 0, 0, 0, 0};
    background.entries[1] = {1, 0, 1, 0, 0x01};
    background.entries[2] = {1, 1, 0, 0, 0};
    background.count = 3;
    ChipTable& layer = document.tables[1];
    layer.entries[0] = {1, 0, 0, 0, 0};
    layer.entries[1] = {1, 0, 0, 0, 0x10};
    layer.count = 2;
    document.grid.Allocate(3, 2);
    *document.grid.cells = {0x00000001, 0x00010102, 0, 0x00001000, 0x80000001, 0x00000002};
  }
};

// Everything a reader may change, for comparing before and after.
struct DocumentSnapshot {
  int32_t width = 0;
  int32_t height = 0;
  std::optional<std::vector<MapCell>> cells;
  std::array<ChipEntry, 256> background{};
  std::array<ChipEntry, 256> layer{};
  int32_t counts[2] = {0, 0};
  std::array<std::string, 256> names;
  std::string path;
  std::vector<int32_t> transparent;
  std::vector<Color> colors;
  std::vector<std::optional<std::vector<uint8_t>>> flags;
  std::vector<uint8_t> selection;

  static DocumentSnapshot Of(const MapDocument& document, const ChipSheetTable& sheets,
                             const SelectionState& selectionState) {
    DocumentSnapshot s;
    s.width = document.grid.width;
    s.height = document.grid.height;
    s.cells = document.grid.cells;
    s.background = document.tables[0].entries;
    s.layer = document.tables[1].entries;
    s.counts[0] = document.tables[0].count;
    s.counts[1] = document.tables[1].count;
    s.names = document.fileList.names;
    s.path = document.documentPath;
    for (int32_t i = 0; i < sheets.sheetCount; ++i) {
      s.transparent.push_back(sheets.sheets[i].transparent);
      s.colors.push_back(sheets.sheets[i].transparentColor);
      s.flags.push_back(sheets.sheets[i].chipFlags);
    }
    s.selection = selectionState.selectionFlags;
    return s;
  }
  bool operator==(const DocumentSnapshot& o) const {
    return width == o.width && height == o.height && cells == o.cells &&
           background == o.background && layer == o.layer && counts[0] == o.counts[0] &&
           counts[1] == o.counts[1] && names == o.names && path == o.path &&
           transparent == o.transparent && colors == o.colors && flags == o.flags &&
           selection == o.selection;
  }
};

}  // namespace kelvor::test
