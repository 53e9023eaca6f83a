#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "document/chip_sheet.h"
#include "document/map_document.h"
#include "editing/selection.h"
#include "platform/messages.h"

namespace kelvor {

// A document's settings for one chip-set image, as stored in the file. They
// are applied to a loaded sheet of the same name when the document is opened.
struct StoredSheetRecord {
  std::string name;
  // Text form: the name line trimmed, then its first word, each tried in
  // turn when the whole line names no loaded sheet (a blank or CR left over
  // after the name, or a comment behind it).
  std::vector<std::string> looserNames;
  bool hasTransparency = false;
  int32_t transparent = 0;
  Color transparentColor = 0;
  int32_t chipColumns = 0;
  int32_t chipRows = 0;
  // Binary form: the stored flag block (possibly shorter than the sheet's).
  // Text form: the flag rows read so far, 2 * chipColumns bytes each.
  bool hasFlags = false;
  std::vector<uint8_t> flags;
};

struct StagedTable {
  std::optional<int32_t> count;
  std::optional<std::array<ChipEntry, ChipTableSlots>> entries;
};

// Everything a document file holds, parsed and checked but not yet applied.
// A part the file lacks stays empty and leaves the open document's part as it is.
struct StagedDocument {
  std::string version;
  std::vector<StoredSheetRecord> sheetRecords;
  std::optional<std::array<std::string, ChipFileSlots>> fileNames;
  std::array<StagedTable, 2> tables;
  std::optional<MapGrid> grid;
};

enum class ParseStatus {
  Ok,
  NotThisForm,   // the bytes are not a document of this form at all
  WrongVersion,  // a document older than every version this program reads
  Invalid,       // damaged, truncated or beyond the limits
};

struct ParseResult {
  ParseStatus status = ParseStatus::Invalid;
  std::string reason;  // one line for people, empty on success
  StagedDocument document;
};

// Limits every reader holds a file to before it stores anything.
inline constexpr int32_t MaxStoredSheets = 256;
inline constexpr int32_t MaxStoredNameBytes = 260;  // NUL included
inline constexpr int32_t MaxTextMapSide = MaxMapSide;

// Version strings compare byte by byte as unsigned values up to the first
// difference or NUL; everything from "1.0" upward is read.
bool IsReadableVersion(std::string_view version);

// Applies a staged document: grid, both tables' entries and counts, the file
// list, and the stored settings of loaded sheets whose names match ignoring
// ASCII case (flags only when the sheet still has the stored size in chips).
// The selection is reset for the new grid. Never loads or unloads a sheet.
void CommitStagedDocument(StagedDocument&& staged, MapDocument& document, ChipSheetTable& sheets,
                          SelectionState& selection);

// A parsed document as a reader takes it: a map listing fewer cells than its
// size is completed with empty ones, then the document is committed. False,
// with nothing changed, when the map cannot be allocated.
bool CommitParsedDocument(StagedDocument&& staged, MapDocument& document, ChipSheetTable& sheets,
                          SelectionState& selection);

// Shared by both readers once a file is parsed: commits an Ok result and
// returns true. Shows the version message; every other failure is silent.
bool CommitReadDocument(ParseResult&& result, MapDocument& document, ChipSheetTable& sheets,
                        SelectionState& selection, Messages& messages);

// The names a writer stores: slots 0 up to the last non-empty one, so that
// no name is lost even when the list has gaps.
int32_t StoredFileNameCount(const ChipFileList& list);
// Table slots a writer stores: `count`, kept within the table.
int32_t StoredEntryCount(const ChipTable& table);
// Loaded sheets a writer stores.
int32_t StoredSheetCount(const ChipSheetTable& sheets);

}  // namespace kelvor
