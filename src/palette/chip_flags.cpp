#include "palette/chip_flags.h"

#include "editing/bulk_operations.h"

namespace kelvor {

bool ApplyChipFlags(MapDocument& document, const ChipSheetTable& sheets, int32_t choice) {
  for (int32_t level = LevelBackground; level <= LevelLayer; ++level) {
    for (ChipEntry& entry : document.tables[static_cast<size_t>(level)].entries) {
      if (entry.used == 0 || entry.file < 0 || entry.file >= ChipFileSlots) continue;
      const std::string& name = document.fileList.names[static_cast<size_t>(entry.file)];
      if (name.empty()) continue;
      const int32_t found = sheets.FindExact(name);
      if (found < 0) continue;
      const ChipSheet& sheet = sheets.sheets[static_cast<size_t>(found)];
      entry.attributes = 0;
      // A chip position outside the sheet has no flags to take.
      if (!sheet.HasFlags() || entry.column < 0 || entry.row < 0 ||
          entry.column >= sheet.chipColumns || entry.row >= sheet.chipRows ||
          static_cast<size_t>(entry.row) * sheet.chipColumns + entry.column >=
              sheet.chipFlags->size()) {
        continue;
      }
      const uint8_t flags = sheet.Flag(entry.column, entry.row);
      if (flags & ChipFlagCollision) entry.attributes |= EntryFlagCollision;
      if (level == LevelLayer && (flags & ChipFlagPriority)) entry.attributes |= EntryFlagPriority;
    }
  }
  return ApplyChipAttributes(document, choice);
}

}  // namespace kelvor
