#include "files/recovery_copy.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "files/binary_document.h"
#include "files/byte_order.h"
#include "files/map_data_export.h"
#include "platform/compression.h"
#include "platform/messages.h"
#include "workspace/workspace.h"

namespace kelvor {

namespace {

// Paths in the record are the system's, which may be longer than the names a
// document stores.
constexpr int32_t MaxRecordPathBytes = 1 << 16;

// The most a packed copy may unpack to: the largest map's cells (1 GiB) and
// room for the chip-set settings beside them.
constexpr size_t MaxUnpackedCopyBytes = size_t{3} << 29;

constexpr uint64_t FnvOffset = 0xCBF29CE484222325ull;
constexpr uint64_t FnvPrime = 0x100000001B3ull;

uint64_t Fnv1a(uint64_t hash, const uint8_t* bytes, size_t size) {
  for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * FnvPrime;
  return hash;
}

// Passes bytes on and sums them up on the way.
class ChecksumSink final : public ByteSink {
 public:
  explicit ChecksumSink(ByteSink& target) : target_(target) {}
  void Put(const void* data, size_t size) override {
    hash_ = Fnv1a(hash_, static_cast<const uint8_t*>(data), size);
    target_.Put(data, size);
  }
  uint64_t hash() const { return hash_; }

 private:
  ByteSink& target_;
  uint64_t hash_ = FnvOffset;
};

void PutUint64(ByteSink& sink, uint64_t value) {
  PutUint32(sink, static_cast<uint32_t>(value));
  PutUint32(sink, static_cast<uint32_t>(value >> 32));
}

bool ReadUint64(ByteReader& reader, uint64_t& value) {
  uint32_t low = 0;
  uint32_t high = 0;
  if (!reader.Uint32(low) || !reader.Uint32(high)) return false;
  value = static_cast<uint64_t>(high) << 32 | low;
  return true;
}

void PutString(ByteSink& sink, const std::string& text) {
  PutInt32(sink, static_cast<int32_t>(text.size() + 1));
  sink.Put(text.c_str(), text.size() + 1);
}

bool ReadString(ByteReader& reader, std::string& out) {
  int32_t length = 0;
  std::span<const uint8_t> bytes;
  if (!reader.Int32(length) || length < 1 || length > MaxRecordPathBytes) return false;
  if (!reader.Take(static_cast<size_t>(length), bytes) || bytes.back() != 0) return false;
  out.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size() - 1);
  return out.find('\0') == std::string::npos;
}

// Every used slot is stored, also those a chip got after the last
// optimisation set `count`.
int32_t CopiedEntryCount(const ChipTable& table) {
  int32_t count = StoredEntryCount(table);
  for (int32_t slot = ChipTableSlots - 1; slot >= count; --slot) {
    if (table.entries[static_cast<size_t>(slot)].used != 0) return slot + 1;
  }
  return count;
}

// The record chunk of a copy whose checksum held: walked to by the chunk
// sizes, which the writer states exactly for every chunk.
bool FindRecord(std::span<const uint8_t> bytes, RecoveryRecord& record) {
  ByteReader reader(bytes);
  int32_t chunks = 0;
  if (!reader.Skip(4) || !reader.Int32(chunks) || chunks < 0) return false;
  for (int32_t i = 0; i < chunks; ++i) {
    uint32_t nameLength = 0;
    std::span<const uint8_t> name;
    int32_t size = 0;
    if (!reader.Uint32(nameLength) || nameLength > 256 || !reader.Take(nameLength, name) ||
        !reader.Int32(size) || size < 0) {
      return false;
    }
    const std::string_view wanted(RecoveryChunkName);
    if (name.size() != wanted.size() + 1 ||
        std::memcmp(name.data(), wanted.data(), wanted.size() + 1) != 0) {
      if (!reader.Skip(static_cast<size_t>(size))) return false;
      continue;
    }
    int32_t layout = 0;
    uint64_t savedAt = 0;
    if (!reader.Int32(layout) || layout != RecoveryRecordLayout ||
        !ReadString(reader, record.documentPath) || !ReadString(reader, record.chipFolder) ||
        !ReadUint64(reader, savedAt)) {
      return false;
    }
    record.savedAt = static_cast<int64_t>(savedAt);
    return true;
  }
  return false;
}

}  // namespace

bool TakeRecoverySnapshot(const Workspace& ws, const RecoverySnapshot& previous,
                          RecoverySnapshot& out, int64_t now) {
  const MapDocument& document = ws.document;
  try {
    out.sheets.clear();
    for (int32_t i = 0; i < StoredSheetCount(ws.sheets); ++i) {
      const ChipSheet& sheet = ws.sheets.sheets[static_cast<size_t>(i)];
      StoredSheetRecord record;
      record.name = sheet.fileName;
      record.transparent = sheet.transparent;
      record.transparentColor = sheet.transparentColor;
      record.chipColumns = sheet.chipColumns;
      record.chipRows = sheet.chipRows;
      if (sheet.HasFlags()) {
        const size_t size = std::min(sheet.chipFlags->size(), sheet.FlagBlockSize());
        record.flags.assign(sheet.chipFlags->begin(),
                            sheet.chipFlags->begin() + static_cast<std::ptrdiff_t>(size));
      }
      out.sheets.push_back(std::move(record));
    }
    out.fileList = document.fileList;
    out.record.documentPath = document.documentPath;
    out.record.chipFolder = ws.folders.chipFolder;
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (size_t t = 0; t < 2; ++t) {
    out.entries[t] = document.tables[t].entries;
    out.counts[t] = CopiedEntryCount(document.tables[t]);
  }
  out.record.savedAt = now;
  const GridWatch* watch = previous.grid.present ? &previous.gridWatch : nullptr;
  if (!TakeGridSnapshot(document.grid, previous.grid, out.grid, watch)) return false;
  out.gridWatch = document.grid.cells.Watch(document.grid.width, document.grid.height);
  return true;
}

bool SameRecoveryContent(const RecoverySnapshot& a, const RecoverySnapshot& b) {
  const auto sameSheet = [](const StoredSheetRecord& x, const StoredSheetRecord& y) {
    return x.name == y.name && x.transparent == y.transparent &&
           x.transparentColor == y.transparentColor && x.chipColumns == y.chipColumns &&
           x.chipRows == y.chipRows && x.flags == y.flags;
  };
  return a.grid.present == b.grid.present && a.grid.width == b.grid.width &&
         a.grid.height == b.grid.height && a.grid.chunks == b.grid.chunks &&
         a.entries == b.entries && a.counts == b.counts && a.fileList.names == b.fileList.names &&
         std::equal(a.sheets.begin(), a.sheets.end(), b.sheets.begin(), b.sheets.end(),
                    sameSheet) &&
         a.record.documentPath == b.record.documentPath &&
         a.record.chipFolder == b.record.chipFolder;
}

void SerializeRecoveryCopy(ByteSink& sink, const RecoverySnapshot& snapshot) {
  ChecksumSink summed(sink);
  BinaryDocumentParts parts;
  for (const StoredSheetRecord& sheet : snapshot.sheets) {
    parts.sheets.push_back(StoredSheetView{sheet.name, sheet.transparent, sheet.transparentColor,
                                           sheet.chipColumns, sheet.chipRows, sheet.flags});
  }
  parts.fileNames = std::span<const std::string>(snapshot.fileList.names.data(),
                                                 StoredFileNameCount(snapshot.fileList));
  for (size_t t = 0; t < 2; ++t) {
    parts.tables[t] = std::span<const ChipEntry>(snapshot.entries[t].data(),
                                                 static_cast<size_t>(snapshot.counts[t]));
  }
  const GridSnapshot& grid = snapshot.grid;
  parts.width = grid.width;
  parts.height = grid.height;
  parts.cellCount = static_cast<uint64_t>(grid.width) * static_cast<uint64_t>(grid.height);
  parts.putCells = [&grid](ByteSink& out) {
    ForEachCellRun(grid, [&out](const MapCell* cells, size_t count) {
      PutCells(out, std::span<const MapCell>(cells, count));
    });
  };
  parts.extraChunks = 1;
  SerializeBinaryParts(summed, parts);

  const RecoveryRecord& record = snapshot.record;
  const int64_t size = 4 + 4 + static_cast<int64_t>(record.documentPath.size()) + 1 + 4 +
                       static_cast<int64_t>(record.chipFolder.size()) + 1 + 8 + 8;
  WriteChunkHeader(summed, RecoveryChunkName, static_cast<int32_t>(size));
  PutInt32(summed, RecoveryRecordLayout);
  PutString(summed, record.documentPath);
  PutString(summed, record.chipFolder);
  PutUint64(summed, static_cast<uint64_t>(record.savedAt));
  PutUint64(sink, summed.hash());
}

FileWriteStatus WriteRecoveryCopy(const std::string& path, const RecoverySnapshot& snapshot) {
  AtomicFile file;
  if (!file.Open(path)) return FileWriteStatus::CannotCreate;
  PackingSink packed(file);
  SerializeRecoveryCopy(packed, snapshot);
  if (!packed.Finish()) {
    file.Discard();
    return FileWriteStatus::CannotWrite;
  }
  return file.Commit();
}

uint64_t RecoveryChecksum(std::span<const uint8_t> bytes) {
  return Fnv1a(FnvOffset, bytes.data(), bytes.size());
}

bool ParseRecoveryCopy(std::span<const uint8_t> bytes, RecoveryCopy& out) {
  if (bytes.size() < 8) return false;
  const std::span<const uint8_t> body = bytes.first(bytes.size() - 8);
  ByteReader tail(bytes.last(8));
  uint64_t stored = 0;
  if (!ReadUint64(tail, stored) || RecoveryChecksum(body) != stored) {
    return false;
  }
  // The checksum closes the record chunk: the chunks are walked whole.
  if (!FindRecord(bytes, out.record)) return false;
  ParseResult parsed = ParseBinaryDocument(bytes);
  if (parsed.status != ParseStatus::Ok) return false;
  out.document = std::move(parsed.document);
  return true;
}

RecoveryReadStatus ReadRecoveryCopy(const std::string& path, RecoveryCopy& out) {
  FileContents file;
  if (!file.Open(path)) return RecoveryReadStatus::Missing;
  std::span<const uint8_t> bytes(file.data(), file.size());
  // Copies are written packed; one left unpacked by an older editor is read
  // as it is.
  std::vector<uint8_t> unpacked;
  if (IsPackedStream(bytes)) {
    if (!UnpackStream(bytes, MaxUnpackedCopyBytes, unpacked)) return RecoveryReadStatus::Damaged;
    bytes = unpacked;
  }
  return ParseRecoveryCopy(bytes, out) ? RecoveryReadStatus::Ok : RecoveryReadStatus::Damaged;
}

void RestoreRecoveryCopy(Workspace& ws, RecoveryCopy&& copy, OpenRefresh& refresh) {
  CommitStagedDocument(std::move(copy.document), ws.document, ws.sheets, ws.selection);
  FinishOpen(ws, copy.record.documentPath, refresh);
  MarkDocumentChanged(ws);
}

}  // namespace kelvor
