// Text documents from anywhere: lines of any length, either line end, tags
// in any order. Accepted documents must survive a save and a reread.
#include <cstddef>
#include <cstdint>
#include <span>

#include "files/text_document.h"
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvor;
  ParseResult parsed = ParseTextDocument(std::span<const uint8_t>(data, size));
  if (parsed.status != ParseStatus::Ok) {
    FUZZ_CHECK(!parsed.reason.empty());
    return 0;
  }
  FUZZ_CHECK(parsed.document.grid.has_value());
  const MapGrid& grid = *parsed.document.grid;
  FUZZ_CHECK(grid.width >= 0 && grid.width <= MaxTextMapSide);
  FUZZ_CHECK(grid.height >= 0 && grid.height <= MaxTextMapSide);
  // Cells listed so far: each one took at least one line of the file.
  FUZZ_CHECK(grid.CellCount() <= size);
  FUZZ_CHECK(grid.CellCount() <=
             static_cast<uint64_t>(grid.width) * static_cast<uint64_t>(grid.height));
  for (const StoredSheetRecord& record : parsed.document.sheetRecords) {
    FUZZ_CHECK(record.flags.size() <= size);
    FUZZ_CHECK(record.name.size() < static_cast<size_t>(MaxStoredNameBytes));
  }

  fuzz::CheckRoundTrip(std::move(parsed.document), &SerializeTextDocument, &ParseTextDocument);
  return 0;
}
