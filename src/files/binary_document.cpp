#include "files/binary_document.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

#include "base/ascii.h"
#include "files/byte_order.h"
#include "files/document_saving.h"
#include "files/map_data_export.h"

namespace kelvor {

namespace {

enum Chunk : int32_t {
  ChunkVersion,
  ChunkSheetCount,
  ChunkSheetNames,
  ChunkSheetTransparency,
  ChunkSheetChipCounts,
  ChunkSheetFlags,
  ChunkFileCount,
  ChunkFileNames,
  ChunkTableCounts,
  ChunkTables,
  ChunkMap,
};

constexpr int32_t EntryRecordSize = 20;
constexpr uint32_t MaxChunkNameBytes = 256;

// The bytes of `text` and a NUL.
void PutCString(ByteSink& sink, std::string_view text) {
  sink.Put(text.data(), text.size());
  const uint8_t nul = 0;
  sink.Put(&nul, 1);
}

// A string with its NUL, preceded by its length including the NUL.
void PutString(ByteSink& sink, std::string_view text) {
  PutInt32(sink, static_cast<int32_t>(text.size() + 1));
  PutCString(sink, text);
}

int64_t StringSize(std::string_view text) {
  return 4 + static_cast<int64_t>(text.size()) + 1;
}

// The flag bytes a sheet stores: its block, never more than the block its
// size in chips describes.
std::span<const uint8_t> StoredFlags(const ChipSheet& sheet) {
  if (!sheet.HasFlags()) return {};
  const size_t size = std::min(sheet.chipFlags->size(), sheet.FlagBlockSize());
  return std::span<const uint8_t>(sheet.chipFlags->data(), size);
}

std::string CString(std::span<const uint8_t> bytes) {
  const auto* begin = reinterpret_cast<const char*>(bytes.data());
  return std::string(begin, strnlen(begin, bytes.size()));
}

// Reads a length-prefixed string of at most 260 bytes.
bool ReadString(ByteReader& reader, std::string& out) {
  int32_t length = 0;
  std::span<const uint8_t> bytes;
  if (!reader.Int32(length) || length < 0 || length > MaxStoredNameBytes) return false;
  if (!reader.Take(static_cast<size_t>(length), bytes)) return false;
  out = CString(bytes);
  return true;
}

ParseResult Fail(ParseStatus status, std::string reason) {
  ParseResult result;
  result.status = status;
  result.reason = std::move(reason);
  return result;
}

}  // namespace

void WriteChunkHeader(ByteSink& sink, int32_t chunk, int32_t payloadSize) {
  WriteChunkHeader(sink, BinaryChunkNames[chunk], payloadSize);
}

void WriteChunkHeader(ByteSink& sink, std::string_view name, int32_t payloadSize) {
  PutUint32(sink, static_cast<uint32_t>(name.size() + 1));
  PutCString(sink, name);
  PutInt32(sink, payloadSize);
}

void SerializeBinaryParts(ByteSink& sink, const BinaryDocumentParts& parts) {
  const auto sheetCount = static_cast<int32_t>(parts.sheets.size());
  const std::array<int32_t, 2> counts = {static_cast<int32_t>(parts.tables[0].size()),
                                         static_cast<int32_t>(parts.tables[1].size())};

  int64_t namesSize = 0;
  int64_t flagsSize = 0;
  for (const StoredSheetView& sheet : parts.sheets) {
    namesSize += StringSize(sheet.name);
    flagsSize += 4 + static_cast<int64_t>(sheet.flags.size());
  }
  int64_t fileNamesSize = 0;
  for (const std::string& name : parts.fileNames) fileNamesSize += StringSize(name);
  const int64_t mapSize = 8 + 4 * static_cast<int64_t>(parts.cellCount);

  sink.Put("KV\0\0", 4);
  PutInt32(sink, BinaryChunkCount + parts.extraChunks);

  WriteChunkHeader(sink, ChunkVersion, 9);
  PutString(sink, DocumentVersion);

  WriteChunkHeader(sink, ChunkSheetCount, 4);
  PutInt32(sink, sheetCount);

  WriteChunkHeader(sink, ChunkSheetNames, static_cast<int32_t>(namesSize));
  for (const StoredSheetView& sheet : parts.sheets) PutString(sink, sheet.name);

  WriteChunkHeader(sink, ChunkSheetTransparency, 8 * sheetCount);
  for (const StoredSheetView& sheet : parts.sheets) {
    PutInt32(sink, sheet.transparent);
    PutUint32(sink, sheet.transparentColor);
  }

  WriteChunkHeader(sink, ChunkSheetChipCounts, 8 * sheetCount);
  for (const StoredSheetView& sheet : parts.sheets) {
    PutInt32(sink, sheet.chipColumns);
    PutInt32(sink, sheet.chipRows);
  }

  WriteChunkHeader(sink, ChunkSheetFlags, static_cast<int32_t>(flagsSize));
  for (const StoredSheetView& sheet : parts.sheets) {
    PutInt32(sink, static_cast<int32_t>(sheet.flags.size()));
    sink.Put(sheet.flags.data(), sheet.flags.size());
  }

  WriteChunkHeader(sink, ChunkFileCount, 4);
  PutInt32(sink, static_cast<int32_t>(parts.fileNames.size()));

  WriteChunkHeader(sink, ChunkFileNames, static_cast<int32_t>(fileNamesSize));
  for (const std::string& name : parts.fileNames) PutString(sink, name);

  WriteChunkHeader(sink, ChunkTableCounts, 8);
  PutInt32(sink, counts[0]);
  PutInt32(sink, counts[1]);

  WriteChunkHeader(sink, ChunkTables, EntryRecordSize * (counts[0] + counts[1]));
  for (const std::span<const ChipEntry>& table : parts.tables) {
    for (const ChipEntry& entry : table) {
      PutInt32(sink, entry.used);
      PutInt32(sink, entry.file);
      PutInt32(sink, entry.column);
      PutInt32(sink, entry.row);
      const uint8_t tail[4] = {entry.attributes, 0, 0, 0};
      sink.Put(tail, 4);
    }
  }

  // A map beyond 2 GiB cannot state its payload size; the reader does not
  // need it, so the field is saturated rather than wrapped.
  WriteChunkHeader(sink, ChunkMap, static_cast<int32_t>(std::min<int64_t>(mapSize, INT32_MAX)));
  PutInt32(sink, parts.width);
  PutInt32(sink, parts.height);
  if (parts.putCells) parts.putCells(sink);
}

void SerializeBinaryDocument(ByteSink& sink, const MapDocument& document,
                             const ChipSheetTable& sheets) {
  BinaryDocumentParts parts;
  for (int32_t i = 0; i < StoredSheetCount(sheets); ++i) {
    const ChipSheet& sheet = sheets.sheets[static_cast<size_t>(i)];
    parts.sheets.push_back(StoredSheetView{sheet.fileName, sheet.transparent,
                                           sheet.transparentColor, sheet.chipColumns,
                                           sheet.chipRows, StoredFlags(sheet)});
  }
  parts.fileNames = std::span<const std::string>(document.fileList.names.data(),
                                                 StoredFileNameCount(document.fileList));
  for (size_t t = 0; t < 2; ++t) {
    parts.tables[t] = std::span<const ChipEntry>(document.tables[t].entries.data(),
                                                 StoredEntryCount(document.tables[t]));
  }
  const MapGrid& grid = document.grid;
  parts.width = grid.width;
  parts.height = grid.height;
  parts.cellCount = grid.CellCount();
  parts.putCells = [&grid](ByteSink& out) {
    if (grid.Exists()) PutCells(out, *grid.cells);
  };
  SerializeBinaryParts(sink, parts);
}

namespace {

// Where the cells of the map chunk lie, for a reader that takes them from
// the file's own block instead of a copy.
struct CellsInFile {
  size_t offset = 0;
  size_t count = 0;
};

ParseResult ParseBinary(std::span<const uint8_t> bytes, CellsInFile* cellsInFile);

}  // namespace

ParseResult ParseBinaryDocument(std::span<const uint8_t> bytes) {
  return ParseBinary(bytes, nullptr);
}

namespace {

ParseResult ParseBinary(std::span<const uint8_t> bytes, CellsInFile* cellsInFile) {
  // Only the first three bytes are the magic; the fourth is not looked at.
  if (bytes.size() < 4 || bytes[0] != 'K' || bytes[1] != 'V' || bytes[2] != 0) {
    return Fail(ParseStatus::NotThisForm, "not a binary document");
  }
  ByteReader reader(bytes.subspan(4));
  int32_t chunkCount = 0;
  if (!reader.Int32(chunkCount)) return Fail(ParseStatus::Invalid, "truncated after the magic");

  ParseResult result;
  StagedDocument& staged = result.document;
  bool hasVersion = false;
  bool hasTableCounts = false;
  int32_t tableCounts[2] = {0, 0};
  int32_t sheetCount = 0;
  int32_t fileCount = 0;

  for (int32_t chunk = 0; chunk < chunkCount; ++chunk) {
    uint32_t nameLength = 0;
    std::span<const uint8_t> nameBytes;
    int32_t payloadSize = 0;
    if (!reader.Uint32(nameLength)) return Fail(ParseStatus::Invalid, "truncated chunk header");
    if (nameLength > MaxChunkNameBytes) {
      return Fail(ParseStatus::Invalid, "chunk name longer than 256 bytes");
    }
    if (!reader.Take(nameLength, nameBytes) || !reader.Int32(payloadSize)) {
      return Fail(ParseStatus::Invalid, "truncated chunk header");
    }
    const std::string name = CString(nameBytes);
    int32_t known = -1;
    for (int32_t i = 0; i < BinaryChunkCount; ++i) {
      if (name == BinaryChunkNames[i]) {
        known = i;
        break;
      }
    }
    const std::string where = " in chunk \"" + name + "\"";
    const auto truncated = [&] { return Fail(ParseStatus::Invalid, "truncated" + where); };

    // Known chunks are read by their structure, never by the stated size.
    switch (known) {
      case ChunkVersion: {
        int32_t length = 0;
        std::span<const uint8_t> text;
        if (!reader.Int32(length)) return truncated();
        if (length < 0 || length > 256) {
          return Fail(ParseStatus::Invalid, "bad version length" + where);
        }
        if (!reader.Take(static_cast<size_t>(length), text)) return truncated();
        staged.version = CString(text);
        if (!IsReadableVersion(staged.version)) {
          return Fail(ParseStatus::WrongVersion, "version \"" + staged.version + "\" is too old");
        }
        hasVersion = true;
        break;
      }
      case ChunkSheetCount:
        if (!reader.Int32(sheetCount)) return truncated();
        if (sheetCount < 0 || sheetCount > MaxStoredSheets) {
          return Fail(ParseStatus::Invalid, "sheet count out of range" + where);
        }
        staged.sheetRecords.assign(static_cast<size_t>(sheetCount), StoredSheetRecord{});
        break;
      case ChunkSheetNames:
        for (StoredSheetRecord& record : staged.sheetRecords) {
          if (!ReadString(reader, record.name)) {
            return Fail(ParseStatus::Invalid, "bad or truncated name" + where);
          }
        }
        break;
      case ChunkSheetTransparency:
        for (StoredSheetRecord& record : staged.sheetRecords) {
          uint32_t color = 0;
          if (!reader.Int32(record.transparent) || !reader.Uint32(color)) return truncated();
          record.transparentColor = color;
          record.hasTransparency = true;
        }
        break;
      case ChunkSheetChipCounts:
        for (StoredSheetRecord& record : staged.sheetRecords) {
          if (!reader.Int32(record.chipColumns) || !reader.Int32(record.chipRows)) {
            return truncated();
          }
          if (record.chipColumns < 0 || record.chipRows < 0) {
            return Fail(ParseStatus::Invalid, "negative chip count" + where);
          }
        }
        break;
      case ChunkSheetFlags:
        for (StoredSheetRecord& record : staged.sheetRecords) {
          int32_t size = 0;
          std::span<const uint8_t> flags;
          if (!reader.Int32(size)) return truncated();
          // Both counts may be near 2^31: the product needs unsigned 64 bits.
          const uint64_t block = 4 * static_cast<uint64_t>(record.chipColumns) *
                                 static_cast<uint64_t>(record.chipRows);
          if (size < 0 || static_cast<uint64_t>(size) > block) {
            return Fail(ParseStatus::Invalid, "flag record larger than its sheet" + where);
          }
          if (!reader.Take(static_cast<size_t>(size), flags)) return truncated();
          record.flags.assign(flags.begin(), flags.end());
          record.hasFlags = true;
        }
        break;
      case ChunkFileCount:
        if (!reader.Int32(fileCount)) return truncated();
        if (fileCount < 0 || fileCount > ChipFileSlots) {
          return Fail(ParseStatus::Invalid, "file name count out of range" + where);
        }
        break;
      case ChunkFileNames:
        staged.fileNames.emplace();
        for (int32_t i = 0; i < fileCount; ++i) {
          if (!ReadString(reader, (*staged.fileNames)[static_cast<size_t>(i)])) {
            return Fail(ParseStatus::Invalid, "bad or truncated name" + where);
          }
        }
        break;
      case ChunkTableCounts:
        if (!reader.Int32(tableCounts[0]) || !reader.Int32(tableCounts[1])) return truncated();
        for (int32_t t = 0; t < 2; ++t) {
          if (tableCounts[t] < 0 || tableCounts[t] > ChipTableSlots) {
            return Fail(ParseStatus::Invalid, "table count out of range" + where);
          }
          staged.tables[static_cast<size_t>(t)].count = tableCounts[t];
        }
        hasTableCounts = true;
        break;
      case ChunkTables:
        if (!hasTableCounts) {
          return Fail(ParseStatus::Invalid, "chip tables before their counts");
        }
        for (int32_t t = 0; t < 2; ++t) {
          auto& entries = staged.tables[static_cast<size_t>(t)].entries.emplace();
          for (int32_t slot = 0; slot < tableCounts[t]; ++slot) {
            ChipEntry& entry = entries[static_cast<size_t>(slot)];
            std::span<const uint8_t> tail;
            if (!reader.Int32(entry.used) || !reader.Int32(entry.file) ||
                !reader.Int32(entry.column) || !reader.Int32(entry.row) || !reader.Take(4, tail)) {
              return truncated();
            }
            entry.attributes = tail[0];
            if (entry.file < 0 || entry.file >= ChipFileSlots) {
              return Fail(ParseStatus::Invalid,
                          "chip refers to file index " + std::to_string(entry.file) + where);
            }
          }
        }
        break;
      case ChunkMap: {
        MapGrid grid;
        size_t consumed = 0;
        const size_t start = 4 + reader.Position();
        if (cellsInFile != nullptr) {
          // Checked as ReadMapDataChunk checks; the cells stay where they are.
          ByteReader header(bytes.subspan(start));
          if (!header.Int32(grid.width) || !header.Int32(grid.height) || grid.width < 0 ||
              grid.height < 0 ||
              static_cast<uint64_t>(grid.width) * static_cast<uint64_t>(grid.height) >
                  header.Remaining() / sizeof(MapCell)) {
            return Fail(ParseStatus::Invalid, "map size negative or larger than the file");
          }
          cellsInFile->offset = start + 8;
          cellsInFile->count = static_cast<size_t>(grid.width) * static_cast<size_t>(grid.height);
          consumed = 8 + cellsInFile->count * sizeof(MapCell);
          grid.cells.emplace();
        } else if (!ReadMapDataChunk(bytes.subspan(start), grid, consumed)) {
          return Fail(ParseStatus::Invalid, "map size negative or larger than the file");
        }
        // A map 0 cells wide can claim any height without holding a cell;
        // the views count pixels of such sides in 32 bits. The text form's
        // limit is far above any map the editor makes.
        if (grid.width > MaxTextMapSide || grid.height > MaxTextMapSide) {
          return Fail(ParseStatus::Invalid, "map side larger than 16384 cells");
        }
        reader.Skip(consumed);
        staged.grid = std::move(grid);
        break;
      }
      default:
        if (payloadSize < 0 || !reader.Skip(static_cast<size_t>(payloadSize))) {
          return Fail(ParseStatus::Invalid, "unknown chunk \"" + name + "\" has a bad size");
        }
        break;
    }
  }
  if (!hasVersion) return Fail(ParseStatus::Invalid, "no version chunk");
  if (!staged.grid) return Fail(ParseStatus::Invalid, "no map chunk");
  result.status = ParseStatus::Ok;
  result.reason.clear();
  return result;
}

}  // namespace

bool WriteBinaryDocument(const std::string& path, MapDocument& document,
                         const ChipSheetTable& sheets, Messages& messages) {
  if (!document.grid.Exists()) {
    // Without a grid the map chunk could not hold what its header promises.
    messages.Show(texts::CannotSaveFile, texts::AppCaption, MessageIcon::Error);
    return false;
  }
  return SaveDocumentFile(path, document, messages,
                          [&](ByteSink& sink) { SerializeBinaryDocument(sink, document, sheets); });
}

bool ReadBinaryDocument(const std::string& path, MapDocument& document, ChipSheetTable& sheets,
                        SelectionState& selection, Messages& messages) {
  if (!HasExtension(path, "kv")) return false;
  // The map is nearly all of a big document: the file is read into a block
  // of words whose front then becomes the grid, so the cells are never
  // copied out of the file's bytes into a second block.
  std::vector<MapCell> words;
  size_t size = 0;
  if (!ReadFileIntoWords(path, words, size)) return false;
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(words.data()), size);
  CellsInFile cells;
  ParseResult result = ParseBinary(bytes, &cells);
  if (result.status == ParseStatus::Ok) {
    if (cells.count > 0) {
      std::memmove(words.data(), bytes.data() + cells.offset, cells.count * sizeof(MapCell));
    }
    words.resize(cells.count);
    if constexpr (std::endian::native != std::endian::little) {
      for (MapCell& cell : words) cell = LoadUint32(reinterpret_cast<const uint8_t*>(&cell));
    }
    result.document.grid->cells = std::move(words);
  }
  return CommitReadDocument(std::move(result), document, sheets, selection, messages);
}

}  // namespace kelvor
