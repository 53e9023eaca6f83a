// Recovery copies from the state folder: the input gets a correct checksum
// appended, so that the record and the document behind it are read. Damaged
// input is refused cleanly; an accepted copy restores, and the copy taken
// of the restored document reads back the same.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "files/recovery_copy.h"
#include "fuzz_checks.h"
#include "workspace/workspace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvor;
  std::vector<uint8_t> bytes(data, data + size);
  const uint64_t sum = RecoveryChecksum(bytes);
  for (int shift = 0; shift < 64; shift += 8) bytes.push_back(static_cast<uint8_t>(sum >> shift));

  RecoveryCopy copy;
  if (!ParseRecoveryCopy(bytes, copy)) return 0;
  FUZZ_CHECK(copy.document.grid.has_value());
  const MapGrid& grid = *copy.document.grid;
  FUZZ_CHECK(grid.CellCount() ==
             static_cast<uint64_t>(grid.width) * static_cast<uint64_t>(grid.height));
  FUZZ_CHECK(grid.CellCount() * sizeof(MapCell) <= size);
  if (grid.CellCount() > fuzz::MaxRoundTripCells) return 0;

  const RecoveryRecord record = copy.record;
  Workspace ws;
  OpenRefresh refresh;
  RestoreRecoveryCopy(ws, std::move(copy), refresh);
  FUZZ_CHECK(ws.unsaved.changed);
  FUZZ_CHECK(ws.document.documentPath == record.documentPath);
  ws.folders.chipFolder = record.chipFolder;

  RecoverySnapshot snapshot;
  FUZZ_CHECK(TakeRecoverySnapshot(ws, RecoverySnapshot{}, snapshot, record.savedAt));
  VectorByteSink sink;
  SerializeRecoveryCopy(sink, snapshot);
  RecoveryCopy again;
  FUZZ_CHECK(ParseRecoveryCopy(sink.bytes, again));
  FUZZ_CHECK(again.record.documentPath == record.documentPath);
  FUZZ_CHECK(again.record.chipFolder == record.chipFolder);
  FUZZ_CHECK(again.record.savedAt == record.savedAt);
  FUZZ_CHECK(again.document.grid->cells == ws.document.grid.cells);
  return 0;
}
