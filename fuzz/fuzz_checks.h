#pragma once

// Checks shared by the fuzz targets. A failed check aborts, which libFuzzer
// reports as a finding with the input that caused it.
#include <cstdio>
#include <cstdlib>
#include <span>
#include <utility>

#include "document/chip_sheet.h"
#include "document/map_document.h"
#include "editing/selection.h"
#include "files/document_staging.h"
#include "platform/atomic_file.h"

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

namespace kelvor::fuzz {

// Maps beyond this many cells are not written back: the round trip would
// only measure memory speed.
inline constexpr uint64_t MaxRoundTripCells = uint64_t{1} << 20;

using Serializer = void (*)(ByteSink&, const MapDocument&, const ChipSheetTable&);
using Parser = ParseResult (*)(std::span<const uint8_t>);

// A document this program accepted must open again after it saved it, with
// the same map, tables and file names.
inline void CheckRoundTrip(StagedDocument&& staged, Serializer serialize, Parser parse) {
  if (!staged.grid) return;
  const uint64_t cells =
      static_cast<uint64_t>(staged.grid->width) * static_cast<uint64_t>(staged.grid->height);
  if (cells > MaxRoundTripCells) return;
  // The text form may list fewer cells than its size; the rest are 0.
  if (!staged.grid->cells) staged.grid->cells.emplace();
  staged.grid->cells->resize(static_cast<size_t>(cells), 0);

  MapDocument document;
  ChipSheetTable sheets;
  SelectionState selection;
  CommitStagedDocument(std::move(staged), document, sheets, selection);
  FUZZ_CHECK(selection.selectionFlags.size() == cells);

  VectorByteSink sink;
  serialize(sink, document, sheets);
  ParseResult again = parse(sink.bytes);
  if (again.status != ParseStatus::Ok) {
    std::fprintf(stderr, "written document refused: %s\n", again.reason.c_str());
    std::abort();
  }
  MapDocument reread;
  ChipSheetTable rereadSheets;
  SelectionState rereadSelection;
  if (again.document.grid && !again.document.grid->cells) again.document.grid->cells.emplace();
  if (again.document.grid) again.document.grid->cells->resize(static_cast<size_t>(cells), 0);
  CommitStagedDocument(std::move(again.document), reread, rereadSheets, rereadSelection);

  FUZZ_CHECK(reread.grid.width == document.grid.width);
  FUZZ_CHECK(reread.grid.height == document.grid.height);
  FUZZ_CHECK(reread.grid.cells == document.grid.cells);
  FUZZ_CHECK(reread.fileList.names == document.fileList.names);
  for (size_t t = 0; t < 2; ++t) {
    const ChipTable& a = document.tables[t];
    const ChipTable& b = reread.tables[t];
    FUZZ_CHECK(StoredEntryCount(a) == StoredEntryCount(b));
    for (int32_t slot = 0; slot < StoredEntryCount(a); ++slot) {
      FUZZ_CHECK(a.entries[static_cast<size_t>(slot)] == b.entries[static_cast<size_t>(slot)]);
    }
  }
}

}  // namespace kelvor::fuzz
