#include "files/document_staging.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kelvor {

namespace {

std::string FoldedAsciiCase(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

// The loaded sheets by name ignoring ASCII case, each name's in slot order:
// a document's up to 256 sheet records each look for theirs among up to 256
// sheets.
class SheetsByName {
 public:
  explicit SheetsByName(ChipSheetTable& sheets) : sheets_(sheets) {
    const int32_t loaded = std::clamp(sheets.sheetCount, 0, ChipSheetSlots);
    for (int32_t i = 0; i < loaded; ++i) {
      slots_[FoldedAsciiCase(sheets.sheets[static_cast<size_t>(i)].fileName)].push_back(i);
    }
  }
  // The first loaded sheet of the record's name, or null.
  ChipSheet* First(const StoredSheetRecord& record) const {
    const std::vector<int32_t>* slots = Slots(record);
    return slots == nullptr ? nullptr : &sheets_.sheets[static_cast<size_t>(slots->front())];
  }
  // The first loaded sheet that can take a stored flag block: same name,
  // same size in chips, and a flag block of its own.
  ChipSheet* FlagReceiver(const StoredSheetRecord& record) const {
    const std::vector<int32_t>* slots = Slots(record);
    if (slots == nullptr) return nullptr;
    for (int32_t i : *slots) {
      ChipSheet& sheet = sheets_.sheets[static_cast<size_t>(i)];
      if (sheet.chipColumns == record.chipColumns && sheet.chipRows == record.chipRows &&
          sheet.HasFlags()) {
        return &sheet;
      }
    }
    return nullptr;
  }

 private:
  // The sheets of the record's name, or else of the first of its looser
  // names that any loaded sheet has.
  const std::vector<int32_t>* Slots(const StoredSheetRecord& record) const {
    if (const std::vector<int32_t>* slots = Slots(record.name)) return slots;
    for (const std::string& name : record.looserNames) {
      if (const std::vector<int32_t>* slots = Slots(name)) return slots;
    }
    return nullptr;
  }
  const std::vector<int32_t>* Slots(const std::string& name) const {
    const auto it = slots_.find(FoldedAsciiCase(name));
    return it == slots_.end() ? nullptr : &it->second;
  }

  ChipSheetTable& sheets_;
  std::unordered_map<std::string, std::vector<int32_t>> slots_;
};

// A text document may list fewer cells than its size; the rest are 0. This
// is the one place a reader allocates the whole claimed map, so it is done
// before anything of the open document changes.
bool CompleteGrid(StagedDocument& staged) {
  if (!staged.grid) return true;
  MapGrid& grid = *staged.grid;
  const size_t count = static_cast<size_t>(grid.width) * static_cast<size_t>(grid.height);
  if (!grid.cells) grid.cells.emplace();
  if (grid.cells->size() == count) return true;
  try {
    grid.cells->resize(count, 0);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

}  // namespace

bool IsReadableVersion(std::string_view version) {
  constexpr std::string_view oldest = "1.0";
  const size_t nul = version.find('\0');
  if (nul != std::string_view::npos) version = version.substr(0, nul);
  for (size_t i = 0;; ++i) {
    const unsigned have = i < version.size() ? static_cast<unsigned char>(version[i]) : 0u;
    const unsigned want = i < oldest.size() ? static_cast<unsigned char>(oldest[i]) : 0u;
    if (have != want) return have > want;
    if (have == 0) return true;
  }
}

void CommitStagedDocument(StagedDocument&& staged, MapDocument& document, ChipSheetTable& sheets,
                          SelectionState& selection) {
  const SheetsByName byName(sheets);
  for (const StoredSheetRecord& record : staged.sheetRecords) {
    if (record.hasTransparency) {
      if (ChipSheet* sheet = byName.First(record)) {
        sheet->transparent = record.transparent;
        sheet->transparentColor = record.transparentColor;
      }
    }
    if (record.hasFlags && !record.flags.empty()) {
      ChipSheet* sheet = byName.FlagReceiver(record);
      if (sheet != nullptr && record.flags.size() <= sheet->chipFlags->size()) {
        std::memcpy(sheet->chipFlags->data(), record.flags.data(), record.flags.size());
      }
    }
  }
  if (staged.fileNames) {
    for (size_t i = 0; i < document.fileList.names.size(); ++i) {
      document.fileList.names[i] = std::move((*staged.fileNames)[i]);
    }
  }
  for (size_t t = 0; t < staged.tables.size(); ++t) {
    ChipTable& table = document.tables[t];
    if (staged.tables[t].count) table.count = *staged.tables[t].count;
    if (staged.tables[t].entries) table.entries = *staged.tables[t].entries;
  }
  if (staged.grid) {
    document.grid = std::move(*staged.grid);
    ResetSelection(selection, document.grid.width, document.grid.height);
  }
}

bool CommitReadDocument(ParseResult&& result, MapDocument& document, ChipSheetTable& sheets,
                        SelectionState& selection, Messages& messages) {
  if (result.status == ParseStatus::WrongVersion) {
    messages.Show(texts::WrongVersion, texts::AppCaption, MessageIcon::None);
    return false;
  }
  if (result.status != ParseStatus::Ok) return false;
  return CommitParsedDocument(std::move(result.document), document, sheets, selection);
}

bool CommitParsedDocument(StagedDocument&& staged, MapDocument& document, ChipSheetTable& sheets,
                          SelectionState& selection) {
  if (!CompleteGrid(staged)) return false;
  CommitStagedDocument(std::move(staged), document, sheets, selection);
  return true;
}

int32_t StoredFileNameCount(const ChipFileList& list) {
  for (int32_t i = ChipFileSlots; i > 0; --i) {
    if (!list.names[static_cast<size_t>(i - 1)].empty()) return i;
  }
  return 0;
}

int32_t StoredEntryCount(const ChipTable& table) {
  return std::clamp(table.count, 0, ChipTableSlots);
}

int32_t StoredSheetCount(const ChipSheetTable& sheets) {
  return std::clamp(sheets.sheetCount, 0, ChipSheetSlots);
}

}  // namespace kelvor
