#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "document/map_document.h"
#include "editing/grid_snapshot.h"
#include "files/document_staging.h"
#include "files/open_document.h"
#include "platform/atomic_file.h"

namespace kelvor {

struct Workspace;
class Messages;

// A recovery copy keeps the open document while it has unsaved changes, so
// that a crash, a killed editor or a power cut loses no more than the last
// few seconds. It is a binary document with one more chunk at its end,
// "recovery_record": int32 1, the document's path and the chip-set folder
// (each an int32 length with its NUL, then the bytes and the NUL), the time
// the copy was taken as an int64 of seconds since 1970 (UTC), and last an
// FNV-1a 64 checksum of every byte before it. Other readers of the binary
// form skip the chunk. On disk the copy is packed as one zstd stream, so
// that a big map costs little to keep; unpacked, it is exactly these bytes.
inline constexpr const char* RecoveryChunkName = "recovery_record";
inline constexpr int32_t RecoveryRecordLayout = 1;

// Where a copy's document came from.
struct RecoveryRecord {
  std::string documentPath;  // its file; empty when it never had one
  std::string chipFolder;    // the chip-set folder in use
  int64_t savedAt = 0;       // when the copy was taken, seconds since 1970 (UTC)
};

// The document as a copy stores it, taken on the editing thread and then
// written on another: nothing in it points into the workspace.
struct RecoverySnapshot {
  std::vector<StoredSheetRecord> sheets;
  ChipFileList fileList;
  std::array<std::array<ChipEntry, ChipTableSlots>, 2> entries{};
  std::array<int32_t, 2> counts{};  // slots stored per table: every used one
  GridSnapshot grid;
  GridWatch gridWatch;  // begun when `grid` was taken
  RecoveryRecord record;
};

// Takes the workspace's document as a copy stores it. The map is shared
// piece by piece with `previous` (the last snapshot, or an empty one) where
// it was not written since, so this costs little more than the pieces that
// changed. False when memory ran out.
bool TakeRecoverySnapshot(const Workspace& workspace, const RecoverySnapshot& previous,
                          RecoverySnapshot& out, int64_t now);

// Whether two snapshots hold the same document and record (the time aside):
// a copy of the first needs no rewrite for the second.
bool SameRecoveryContent(const RecoverySnapshot& a, const RecoverySnapshot& b);

// The copy's bytes, record and checksum included. Needs a map.
void SerializeRecoveryCopy(ByteSink& sink, const RecoverySnapshot& snapshot);
// Writes the copy packed and atomically: a reader finds the old copy or the
// new one whole.
FileWriteStatus WriteRecoveryCopy(const std::string& path, const RecoverySnapshot& snapshot);

// A copy read back and checked, not yet applied.
struct RecoveryCopy {
  RecoveryRecord record;
  StagedDocument document;
};

enum class RecoveryReadStatus {
  Ok,
  Missing,  // no such file, or it cannot be opened
  Damaged,  // cut short, altered, or not a copy at all
};

// FNV-1a, 64 bits, of `bytes`: the checksum that ends a copy.
uint64_t RecoveryChecksum(std::span<const uint8_t> bytes);

// Checks a copy's (unpacked) bytes: checksum, record and a document read
// whole.
bool ParseRecoveryCopy(std::span<const uint8_t> bytes, RecoveryCopy& out);
// Reads a copy, packed or not, and checks it.
RecoveryReadStatus ReadRecoveryCopy(const std::string& path, RecoveryCopy& out);

// Makes the copy the open document as opening a file does (caption counts,
// atlases, missing images listed in `refresh`, undo history emptied), with
// the document path the copy was taken from, and marks it changed: it is
// not in that file.
void RestoreRecoveryCopy(Workspace& workspace, RecoveryCopy&& copy, OpenRefresh& refresh);

}  // namespace kelvor
