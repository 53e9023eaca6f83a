// Binary documents from anywhere: the parser must refuse damaged input
// cleanly, and whatever it accepts must survive being written and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "document/chip_sheet.h"
#include "editing/selection.h"
#include "files/binary_document.h"
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvor;
  ParseResult parsed = ParseBinaryDocument(std::span<const uint8_t>(data, size));
  if (parsed.status != ParseStatus::Ok) {
    FUZZ_CHECK(!parsed.reason.empty());
    return 0;
  }
  FUZZ_CHECK(parsed.document.grid.has_value());
  const MapGrid& grid = *parsed.document.grid;
  FUZZ_CHECK(grid.width >= 0 && grid.width <= MaxTextMapSide);
  FUZZ_CHECK(grid.height >= 0 && grid.height <= MaxTextMapSide);
  FUZZ_CHECK(grid.CellCount() ==
             static_cast<uint64_t>(grid.width) * static_cast<uint64_t>(grid.height));
  // The cells come from the file, so the map can never outgrow it.
  FUZZ_CHECK(grid.CellCount() * sizeof(MapCell) <= size);

  fuzz::CheckRoundTrip(std::move(parsed.document), &SerializeBinaryDocument, &ParseBinaryDocument);
  return 0;
}
