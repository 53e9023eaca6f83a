#include "document/chip_sheet.h"

#include "base/ascii.h"
#include "document/map_document.h"

namespace kelvor {

int32_t ChipSheetTable::FindIgnoringCase(const std::string& name) const {
  for (int32_t i = 0; i < sheetCount; ++i) {
    if (EqualsIgnoringAsciiCase(sheets[static_cast<size_t>(i)].fileName, name)) return i;
  }
  return -1;
}

int32_t ChipSheetTable::FindExact(const std::string& name) const {
  for (int32_t i = 0; i < sheetCount; ++i) {
    if (sheets[static_cast<size_t>(i)].fileName == name) return i;
  }
  return -1;
}

}  // namespace kelvor
