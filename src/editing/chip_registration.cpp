#include "editing/chip_registration.h"

#include <algorithm>
#include <cstring>

namespace kelvor {

namespace {

// The file index of the sheet's name, adding it to the first free slot when
// absent; -1 when the list is full.
int32_t FileIndexOf(ChipFileList& fileList, const std::string& fileName) {
  for (int32_t i = 0; i < ChipFileSlots; ++i) {
    if (fileList.names[i] == fileName) return i;
  }
  for (int32_t i = 0; i < ChipFileSlots; ++i) {
    if (fileList.names[i].empty()) {
      fileList.names[i] = fileName;
      return i;
    }
  }
  return -1;
}

// Copies the 32 x 32 chip at (sheetColumn, sheetRow) into the zeroed atlas
// cell of `slot`. Blending onto transparent black is an exact copy, so the
// pixels are copied as they are; parts outside the image stay transparent.
void CopyChipToAtlas(const PixelBuffer& sheet, int32_t sheetColumn, int32_t sheetRow,
                     PixelBuffer& atlas, int32_t slot) {
  const int64_t sourceX = static_cast<int64_t>(sheetColumn) * ChipSize;
  const int64_t sourceY = static_cast<int64_t>(sheetRow) * ChipSize;
  const int32_t targetX = (slot % 16) * ChipSize;
  const int32_t targetY = (slot / 16) * ChipSize;
  if (sourceX < 0 || sourceY < 0 || sourceX >= sheet.width || sourceY >= sheet.height) return;
  const auto columns = static_cast<int32_t>(std::min<int64_t>(ChipSize, sheet.width - sourceX));
  const auto rows = static_cast<int32_t>(std::min<int64_t>(ChipSize, sheet.height - sourceY));
  for (int32_t y = 0; y < rows; ++y) {
    std::memcpy(atlas.At(targetX, targetY + y),
                sheet.At(static_cast<int32_t>(sourceX), static_cast<int32_t>(sourceY) + y),
                static_cast<size_t>(columns) * 4);
  }
}

}  // namespace

void RegisterChip(MapDocument& document, const ChipSheetTable& sheets, float mapZoom,
                  PlacementItem& item) {
  if (sheets.currentSheet < 0 || sheets.currentSheet >= ChipSheetSlots) return;
  const ChipSheet& sheet = sheets.Current();
  if (!sheet.Loaded() || !document.grid.Exists() || !(mapZoom > 0.0f)) return;

  item.tableColumn = -1;
  item.tableRow = -1;
  if (item.level != LevelBackground && item.level != LevelLayer) return;
  // A nameless sheet would match a free file slot and leave a dangling index.
  if (sheet.fileName.empty()) return;
  ChipTable& table = document.tables[static_cast<size_t>(item.level)];

  const int32_t file = FileIndexOf(document.fileList, sheet.fileName);
  if (file < 0) return;

  for (int32_t slot = 1; slot < ChipTableSlots; ++slot) {
    const ChipEntry& entry = table.entries[slot];
    if (entry.used != 0 && entry.file == file && entry.column == item.sheetColumn &&
        entry.row == item.sheetRow) {
      item.tableColumn = slot % 16;
      item.tableRow = slot / 16;
      return;
    }
  }

  // The atlas must be the full 16 x 16 chips, or the copy would leave it.
  if (table.atlas.width < AtlasSize || table.atlas.height < AtlasSize) return;

  for (int32_t slot = 1; slot < ChipTableSlots; ++slot) {
    ChipEntry& entry = table.entries[slot];
    if (entry.used != 0) continue;
    entry.used = 1;
    entry.file = file;
    entry.column = item.sheetColumn;
    entry.row = item.sheetRow;
    const int32_t left = (slot % 16) * ChipSize;
    const int32_t top = (slot / 16) * ChipSize;
    ClearAtlasRect(table, left, top, left + ChipSize, top + ChipSize);
    CopyChipToAtlas(sheet.bitmap, item.sheetColumn, item.sheetRow, table.atlas, slot);
    MarkAtlasChanged(table);
    item.tableColumn = slot % 16;
    item.tableRow = slot / 16;
    return;
  }
}

}  // namespace kelvor
