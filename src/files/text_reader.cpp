// Reading the text document: a line-driven state machine over the whole
// file, with the map section's plain number lines taken in bulk.
#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "base/ascii.h"
#include "base/parallel.h"
#include "files/text_cell_scan.h"
#include "files/text_document.h"
#include "files/text_values.h"

namespace kelvor {

namespace {

// The binary form starts with 'K', 'V', NUL: no text document does.
bool LooksBinary(std::span<const uint8_t> head) {
  return head.size() >= 3 && head[0] == 'K' && head[1] == 'V' && head[2] == 0;
}

// The looser readings of a sheet name line, tried after the whole line:
// without the blanks and CRs around it, then its first word.
std::vector<std::string> LooserNames(std::string_view line) {
  std::vector<std::string> names;
  for (std::string_view name : {TrimBlanks(line), FirstWord(line)}) {
    if (!name.empty() && name != line && (names.empty() || names.back() != name)) {
      names.emplace_back(name);
    }
  }
  return names;
}

// Map sections from this many bytes on are read in two halves at once.
constexpr size_t HalvesFrom = size_t{1} << 20;

enum class Section {
  None,
  Version,
  SheetName,
  Transparency,
  ChipCount,
  Flags,
  FileNames,
  EntryCount,
  Entries,
  MapSize,
  MapCells,
};

class TextParser {
 public:
  ParseResult Run(std::span<const uint8_t> bytes);

 private:
  // Returns false when the line makes the document unreadable.
  bool Line(std::string_view line);
  bool Content(std::string_view line);
  // The map section is nearly all of a big document: lines holding just a
  // number are read here without the general line handling. Returns the
  // position of the first line left for the general path.
  size_t ReadPlainCells(const char* text, size_t position, size_t size);
  // A big map section is read in two halves at once, the second on a
  // thread of its own as far as it holds short cells. Returns where the
  // reading goes on.
  size_t ReadCellsInHalves(const char* text, size_t position, size_t size, uint64_t total);
  bool Refuse(std::string reason) {
    result_.status = ParseStatus::Invalid;
    result_.reason = std::move(reason) + " (line " + std::to_string(lineNumber_) + ")";
    return false;
  }
  // The record the sheet sections fill: the open block, or a new one for
  // sections outside any block. Null (file refused) beyond 256 records.
  // The map section counts when it was closed by its tag, or when it ended
  // otherwise (with the file or at another tag) after every one of its
  // cells: a file cut off inside the map is damaged, not a smaller map.
  bool MapRead() const {
    if (!staged_.grid) return false;
    const MapGrid& grid = *staged_.grid;
    return mapComplete_ ||
           mapCells_ >= static_cast<uint64_t>(grid.width) * static_cast<uint64_t>(grid.height);
  }
  StoredSheetRecord* Record() {
    if (!recordOpen_ && !OpenRecord()) return nullptr;
    return &result_.document.sheetRecords.back();
  }
  bool OpenRecord() {
    if (result_.document.sheetRecords.size() >= static_cast<size_t>(MaxStoredSheets)) {
      return Refuse("more than 256 sheet records");
    }
    StoredSheetRecord record;
    record.name = sheetName_;
    record.looserNames = LooserNames(sheetName_);
    record.chipColumns = chipColumns_;
    record.chipRows = chipRows_;
    result_.document.sheetRecords.push_back(std::move(record));
    recordOpen_ = true;
    return true;
  }

  ParseResult result_;
  StagedDocument& staged_ = result_.document;
  Section section_ = Section::None;
  size_t lineNumber_ = 0;
  size_t remaining_ = 0;  // bytes after the current line
  bool halvesTried_ = false;
  bool anyTag_ = false;
  bool hasVersion_ = false;
  bool mapComplete_ = false;
  std::string sheetName_;
  int32_t chipColumns_ = 0;
  int32_t chipRows_ = 0;
  bool recordOpen_ = false;
  int32_t flagRows_ = 0;
  int32_t fileNames_ = 0;
  int32_t entries_ = 0;
  int32_t tablesClosed_ = 0;
  bool hasMapSize_ = false;
  int32_t mapWidth_ = 0;
  int32_t mapHeight_ = 0;
  uint64_t mapCells_ = 0;
};

ParseResult TextParser::Run(std::span<const uint8_t> bytes) {
  // The binary form starts with 'K', 'V', NUL: no text document does.
  if (LooksBinary(bytes)) {
    result_.status = ParseStatus::NotThisForm;
    result_.reason = "not a text document";
    return std::move(result_);
  }
  const char* text = reinterpret_cast<const char*>(bytes.data());
  size_t position = 0;
  while (position < bytes.size()) {
    if (section_ == Section::MapCells) {
      position = ReadPlainCells(text, position, bytes.size());
      if (position >= bytes.size()) break;
    }
    const void* found = std::memchr(text + position, '\n', bytes.size() - position);
    const size_t end =
        found ? static_cast<size_t>(static_cast<const char*>(found) - text) : bytes.size();
    std::string_view line(text + position, end - position);
    if (found && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    position = found ? end + 1 : end;
    remaining_ = bytes.size() - position;
    ++lineNumber_;
    if (!Line(line)) {
      if (!anyTag_ && result_.status == ParseStatus::Invalid) {
        result_.status = ParseStatus::NotThisForm;
      }
      return std::move(result_);
    }
  }
  if (!anyTag_) {
    result_.status = ParseStatus::NotThisForm;
    result_.reason = "not a text document";
  } else if (!MapRead()) {
    result_.status = ParseStatus::Invalid;
    result_.reason = "no complete map section";
  } else {
    result_.status = ParseStatus::Ok;
    result_.reason.clear();
  }
  return std::move(result_);
}

size_t TextParser::ReadPlainCells(const char* text, size_t position, size_t size) {
  std::vector<MapCell>& cells = *staged_.grid->cells;
  const uint64_t total =
      static_cast<uint64_t>(staged_.grid->width) * static_cast<uint64_t>(staged_.grid->height);
  if (!halvesTried_) {
    halvesTried_ = true;
    position = ReadCellsInHalves(text, position, size, total);
  }
  while (mapCells_ < total && position < size) {
    const ShortCells taken = ReadShortCells(text, position, size, size, total - mapCells_, cells);
    mapCells_ += taken.count;
    lineNumber_ += taken.count;
    position = taken.stop;
    if (mapCells_ >= total || position >= size) break;
    // Longer numbers, and the last lines of the file, a digit at a time.
    size_t i = position;
    const bool negative = text[i] == '-';
    if (negative) ++i;
    const size_t digitsStart = i;
    int64_t value = 0;
    while (i < size && i - digitsStart < 11 && static_cast<unsigned>(text[i] - '0') < 10) {
      value = value * 10 + (text[i] - '0');
      ++i;
    }
    const size_t digits = i - digitsStart;
    if (digits == 0 || digits > 10) break;
    if (i < size) {
      if (text[i] == '\r' && i + 1 < size && text[i + 1] == '\n') {
        i += 2;
      } else if (text[i] == '\n') {
        i += 1;
      } else {
        break;  // anything else on the line: the general path decides
      }
    }
    if (negative) value = -value;
    if (value < INT32_MIN || value > UINT32_MAX) break;
    cells.push_back(static_cast<MapCell>(value));
    ++mapCells_;
    ++lineNumber_;
    position = i;
  }
  remaining_ = size - position;
  return position;
}

size_t TextParser::ReadCellsInHalves(const char* text, size_t position, size_t size,
                                     uint64_t total) {
  if (size - position < HalvesFrom) return position;
  // The thread here has the joining and the rest of the file still to do
  // afterwards: it takes a little less than half.
  const size_t half = position + (size - position) * 7 / 16;
  const void* feed = std::memchr(text + half, '\n', size - half);
  if (feed == nullptr) return position;
  const size_t middle = static_cast<size_t>(static_cast<const char*>(feed) - text) + 1;
  std::vector<MapCell>& cells = *staged_.grid->cells;
  std::vector<MapCell> second;
  try {
    second.reserve(static_cast<size_t>(std::min<uint64_t>(total, (size - middle) / 2)));
  } catch (const std::bad_alloc&) {
    return position;  // one after the other, then
  }
  ShortCells firstTaken{position, 0};
  ShortCells secondTaken{middle, 0};
  RunInParallel(2, [&](size_t part) {
    if (part == 0) {
      firstTaken = ReadShortCells(text, position, middle, size, total - mapCells_, cells);
    } else {
      secondTaken = ReadShortCells(text, middle, size, size, total, second);
    }
  });
  mapCells_ += firstTaken.count;
  lineNumber_ += firstTaken.count;
  // The second half counts only when the first ran right up to it and the
  // map has room for it all; else it is read again in order.
  if (firstTaken.stop != middle || secondTaken.count > total - mapCells_) return firstTaken.stop;
  cells.insert(cells.end(), second.begin(), second.end());
  mapCells_ += secondTaken.count;
  lineNumber_ += secondTaken.count;
  return secondTaken.stop;
}

bool TextParser::Line(std::string_view line) {
  // Content lines never start with '<' in a document this program writes;
  // those go straight to the open section.
  if (line.empty() || line[0] != '<') return Content(line);

  // The tags in the order they are tried; the first that applies wins, and
  // the content of a section open at that point is tried in between.
  const auto is = [&](std::string_view tag) { return line == tag; };
  const auto tag = [&](Section open) {
    anyTag_ = true;
    section_ = open;
    return true;
  };
  if (is("<version>")) return tag(Section::Version);
  if (is("</version>")) return tag(Section::None);
  if (section_ == Section::Version) return Content(line);
  if (is("<bmp2_name>")) return tag(Section::SheetName);
  if (is("</bmp2_name>")) return tag(Section::None);
  if (section_ == Section::SheetName) return Content(line);
  if (is("<bmp2_transparent>")) return tag(Section::Transparency);
  if (is("</bmp2_transparent>")) return tag(Section::None);
  if (section_ == Section::Transparency) return Content(line);
  if (is("<bmp2_chip_count>")) return tag(Section::ChipCount);
  if (is("</bmp2_chip_count>")) return tag(Section::None);
  if (section_ == Section::ChipCount) return Content(line);
  if (is("<bmp2_flag>")) {
    flagRows_ = 0;
    return tag(Section::Flags);
  }
  if (is("</bmp2_flag>")) return tag(Section::None);
  if (section_ == Section::Flags) return Content(line);
  if (is("<bmp2>")) {
    anyTag_ = true;
    return OpenRecord();
  }
  if (is("</bmp2>")) {
    anyTag_ = true;
    recordOpen_ = false;
    return true;
  }
  if (is("<bmp1_name>")) {
    staged_.fileNames.emplace();
    fileNames_ = 0;
    return tag(Section::FileNames);
  }
  if (is("</bmp1_name>")) return tag(Section::None);
  if (section_ == Section::FileNames) return Content(line);
  if (is("<chip1_data_count>")) return tag(Section::EntryCount);
  if (is("</chip1_data_count>")) return tag(Section::None);
  if (section_ == Section::EntryCount) return Content(line);
  if (is("<chip1_data>")) {
    if (tablesClosed_ >= 2) return Refuse("more than two chip tables");
    staged_.tables[static_cast<size_t>(tablesClosed_)].entries.emplace();
    entries_ = 0;
    return tag(Section::Entries);
  }
  if (is("</chip1_data>")) return tag(Section::None);
  if (section_ == Section::Entries) return Content(line);
  if (is("</chip1>")) {
    anyTag_ = true;
    ++tablesClosed_;
    return true;
  }
  if (is("<mapdata_bin_chip_count>")) return tag(Section::MapSize);
  if (is("</mapdata_bin_chip_count>")) return tag(Section::None);
  if (section_ == Section::MapSize) return Content(line);
  if (is("<mapdata_bin_data>")) {
    if (!hasMapSize_) return Refuse("map cells before the map size");
    MapGrid& grid = staged_.grid.emplace();
    grid.width = mapWidth_;
    grid.height = mapHeight_;
    // Filled as the lines come and completed on commit; every cell line
    // takes at least two bytes, which bounds what is worth reserving.
    grid.cells.emplace();
    grid.cells->reserve(static_cast<size_t>(std::min<uint64_t>(
        static_cast<uint64_t>(mapWidth_) * static_cast<uint64_t>(mapHeight_), remaining_ / 2)));
    mapCells_ = 0;
    mapComplete_ = false;
    return tag(Section::MapCells);
  }
  if (is("</mapdata_bin_data>")) {
    if (section_ == Section::MapCells) mapComplete_ = true;
    return tag(Section::None);
  }
  if (section_ == Section::MapCells) return Content(line);
  if (is("<bmp2_count>") || is("</bmp2_count>") || is("<bmp1_name_count>") ||
      is("</bmp1_name_count>") || is("<chip1>") || is("<mapdata_bin_chip_count>")) {
    anyTag_ = true;
  }
  return true;  // anything else is not ours to judge
}

bool TextParser::Content(std::string_view line) {
  switch (section_) {
    case Section::None:
      return true;
    case Section::Version: {
      const std::string_view word = FirstWord(line);
      if (word.empty()) return true;
      if (!IsReadableVersion(word)) {
        result_.status = ParseStatus::WrongVersion;
        result_.reason = "version \"" + std::string(word) + "\" is too old";
        return false;
      }
      if (!hasVersion_) staged_.version.assign(word);
      hasVersion_ = true;
      return true;
    }
    case Section::SheetName: {
      // The whole line: sheet names may contain spaces.
      if (line.size() >= static_cast<size_t>(MaxStoredNameBytes)) {
        return Refuse("sheet name longer than 259 bytes");
      }
      StoredSheetRecord* record = Record();
      if (record == nullptr) return false;
      if (record->hasFlags) return Refuse("sheet name after its flags");
      sheetName_.assign(line);
      record->name = sheetName_;
      record->looserNames = LooserNames(line);
      return true;
    }
    case Section::Transparency: {
      StoredSheetRecord* record = Record();
      if (record == nullptr) return false;
      uint32_t color = 0;
      if (!TakeInt32(line, record->transparent) || !TakeHex(line, color)) {
        return Refuse("bad transparency line");
      }
      record->transparentColor = color;
      record->hasTransparency = true;
      return true;
    }
    case Section::ChipCount: {
      StoredSheetRecord* record = Record();
      if (record == nullptr) return false;
      int32_t columns = 0;
      int32_t rows = 0;
      if (!TakeInt32(line, columns) || !TakeInt32(line, rows)) {
        return Refuse("bad chip count line");
      }
      if (columns < 0 || rows < 0) return Refuse("negative chip count");
      if (record->hasFlags) return Refuse("chip count after its flags");
      chipColumns_ = record->chipColumns = columns;
      chipRows_ = record->chipRows = rows;
      return true;
    }
    case Section::Flags: {
      StoredSheetRecord* found = Record();
      if (found == nullptr) return false;
      StoredSheetRecord& record = *found;
      if (flagRows_ >= 2 * static_cast<int64_t>(chipRows_)) {
        return Refuse("more flag rows than the sheet has");
      }
      // A row is 2 * columns words, separated by runs of spaces only (a tab
      // belongs to its word). It must be whole: a short row would leave part
      // of the block undefined, and checking it also keeps the block no
      // larger than the file.
      const size_t values = 2 * static_cast<size_t>(chipColumns_);
      if (line.size() / 2 + 1 < values) return Refuse("short flag row");
      // Each flag section starts again at the first row: a second one in
      // a block overwrites the rows of the first.
      const size_t start = static_cast<size_t>(flagRows_) * values;
      if (record.flags.size() < start + values) record.flags.resize(start + values, 0);
      size_t count = 0;
      size_t i = 0;
      uint8_t* const row = record.flags.data() + start;
      if (values > 0 && line.size() == 2 * values - 1 && SingleDigitWords(line, row)) {
        record.hasFlags = true;
        ++flagRows_;
        return true;
      }
      const auto isDigit = [](char c) { return static_cast<unsigned>(c - '0') < 10; };
      while (count < values) {
        while (i < line.size() && line[i] == ' ') ++i;
        if (i == line.size()) break;
        // Flags are written as one or two digits with one space after.
        if (isDigit(line[i]) && (i + 1 == line.size() || line[i + 1] == ' ')) {
          row[count++] = static_cast<uint8_t>(line[i] - '0');
          i += 1;
          continue;
        }
        if (i + 1 < line.size() && isDigit(line[i]) && isDigit(line[i + 1]) &&
            (i + 2 == line.size() || line[i + 2] == ' ')) {
          row[count++] = static_cast<uint8_t>((line[i] - '0') * 10 + (line[i + 1] - '0'));
          i += 2;
          continue;
        }
        int32_t value = 0;
        if (!TakeFlagWord(line, i, value)) return Refuse("flag value beyond 32 bits");
        row[count++] = static_cast<uint8_t>(value & 0xFF);
      }
      if (count < values) return Refuse("short flag row");
      record.hasFlags = true;
      ++flagRows_;
      return true;
    }
    case Section::FileNames: {
      if (fileNames_ >= ChipFileSlots) return Refuse("more than 256 file names");
      if (line.size() >= static_cast<size_t>(MaxStoredNameBytes)) {
        return Refuse("file name longer than 259 bytes");
      }
      (*staged_.fileNames)[static_cast<size_t>(fileNames_++)].assign(line);
      return true;
    }
    case Section::EntryCount: {
      if (tablesClosed_ >= 2) return Refuse("more than two chip tables");
      int32_t count = 0;
      if (!TakeInt32(line, count)) return Refuse("bad table count line");
      if (count < 0 || count > ChipTableSlots) return Refuse("table count out of range");
      staged_.tables[static_cast<size_t>(tablesClosed_)].count = count;
      return true;
    }
    case Section::Entries: {
      if (entries_ >= ChipTableSlots) return Refuse("more than 256 chip table entries");
      ChipEntry entry;
      int32_t attributes = 0;
      if (!TakeInt32(line, entry.used) || !TakeInt32(line, entry.file) ||
          !TakeInt32(line, entry.column) || !TakeInt32(line, entry.row) ||
          !TakeInt32(line, attributes)) {
        return Refuse("bad chip table entry");
      }
      if (entry.file < 0 || entry.file >= ChipFileSlots) {
        return Refuse("chip refers to file index " + std::to_string(entry.file));
      }
      entry.attributes = static_cast<uint8_t>(attributes & 0xFF);
      (*staged_.tables[static_cast<size_t>(tablesClosed_)]
            .entries)[static_cast<size_t>(entries_++)] = entry;
      return true;
    }
    case Section::MapSize: {
      int32_t width = 0;
      int32_t height = 0;
      if (!TakeInt32(line, width) || !TakeInt32(line, height)) {
        return Refuse("bad map size line");
      }
      if (width < 0 || height < 0 || width > MaxTextMapSide || height > MaxTextMapSide) {
        return Refuse("map size out of range");
      }
      // The cells already read were laid out for the earlier size.
      if (staged_.grid) return Refuse("map size after the map cells");
      mapWidth_ = width;
      mapHeight_ = height;
      hasMapSize_ = true;
      return true;
    }
    case Section::MapCells: {
      MapGrid& grid = *staged_.grid;
      if (mapCells_ >= static_cast<uint64_t>(grid.width) * static_cast<uint64_t>(grid.height)) {
        return true;  // cells beyond the map are not stored
      }
      // A line without a number is an empty cell; a number beyond 32 bits
      // is damage.
      int64_t value = 0;
      if (StartsWithNumber(line) &&
          (!TakeDecimal(line, value) || value < INT32_MIN || value > UINT32_MAX)) {
        return Refuse("bad map cell");
      }
      grid.cells->push_back(static_cast<MapCell>(value));
      ++mapCells_;
      return true;
    }
  }
  return true;
}

}  // namespace

ParseResult ParseTextDocument(std::span<const uint8_t> bytes) {
  TextParser parser;
  return parser.Run(bytes);
}

bool ReadTextDocument(const std::string& path, MapDocument& document, ChipSheetTable& sheets,
                      SelectionState& selection, Messages& messages) {
  if (!HasExtension(path, "kv")) return false;
  ParseResult result;
  {
    // A binary document is turned away from its first bytes, unread.
    FileContents file;
    if (!file.Open(path, [](std::span<const uint8_t> head) { return !LooksBinary(head); })) {
      return false;
    }
    result = ParseTextDocument(std::span<const uint8_t>(file.data(), file.size()));
  }  // the staged copy is all that is needed from here on
  return CommitReadDocument(std::move(result), document, sheets, selection, messages);
}

}  // namespace kelvor
