#include "files/text_document.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>
#include <vector>

#include "files/binary_document.h"
#include "files/block_writer.h"
#include "files/document_saving.h"

namespace kelvor {

namespace {

constexpr char DigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// A cell as signed decimal, two digits at a time: printing the cells is
// nearly all the work of writing a big map.
char* FormatCell(char* out, int32_t value) {
  uint32_t rest = static_cast<uint32_t>(value);
  if (value < 0) {
    *out++ = '-';
    rest = 0u - rest;
  }
  char digits[10];
  char* start = digits + sizeof digits;
  while (rest >= 100) {
    start -= 2;
    std::memcpy(start, DigitPairs + 2 * (rest % 100), 2);
    rest /= 100;
  }
  if (rest >= 10) {
    start -= 2;
    std::memcpy(start, DigitPairs + 2 * rest, 2);
  } else {
    *--start = static_cast<char>('0' + rest);
  }
  const size_t length = static_cast<size_t>(digits + sizeof digits - start);
  std::memcpy(out, start, length);
  return out + length;
}

// Lines with CR LF between them, the first without.
class LineWriter {
 public:
  explicit LineWriter(ByteSink& sink) : out_(sink) {}

  // Every line but the first starts with the line end of the one before.
  void NewLine() {
    if (!first_) out_.Append("\r\n");
    first_ = false;
  }
  void Line(std::string_view text) {
    NewLine();
    out_.Append(text);
  }
  void Decimal(int64_t value) { out_.Number(value); }
  // One line per cell, each a signed decimal (bit 31 set reads as negative).
  // The map is most of a big document, so this loop writes straight into
  // the block.
  void CellLines(const std::vector<MapCell>& cells) {
    for (MapCell cell : cells) {
      char* at = out_.Reserve(CellRoom);
      if (!first_) {
        at[0] = '\r';
        at[1] = '\n';
        at += 2;
      }
      first_ = false;
      out_.Commit(FormatCell(at, static_cast<int32_t>(cell)));
    }
  }
  void Hex(uint32_t value) { out_.Number(value, 16); }
  void Space() { out_.Append(" "); }

 private:
  static constexpr size_t CellRoom = 24;

  BlockWriter out_;
  bool first_ = true;
};

void TagLines(LineWriter& out, std::string_view open, std::string_view content,
              std::string_view close) {
  out.Line(open);
  out.Line(content);
  out.Line(close);
}

void WriteSheet(LineWriter& out, const ChipSheet& sheet) {
  out.Line("<bmp2>");
  TagLines(out, "<bmp2_name>", sheet.fileName, "</bmp2_name>");
  out.Line("<bmp2_transparent>");
  out.NewLine();
  out.Decimal(sheet.transparent);
  out.Space();
  out.Hex(sheet.transparentColor);
  out.Line("</bmp2_transparent>");
  out.Line("<bmp2_chip_count>");
  out.NewLine();
  out.Decimal(sheet.chipColumns);
  out.Space();
  out.Decimal(sheet.chipRows);
  out.Line("</bmp2_chip_count>");
  out.Line("<bmp2_flag>");
  if (sheet.HasFlags()) {
    // 2 x chipRows lines of 2 x chipColumns values: a sheet narrower than a
    // chip still gets its (empty) lines, which its reading depends on.
    const size_t rowSize = 2 * static_cast<size_t>(sheet.chipColumns);
    const std::vector<uint8_t>& flags = *sheet.chipFlags;
    size_t rows = sheet.chipRows > 0 ? 2 * static_cast<size_t>(sheet.chipRows) : 0;
    if (rowSize > 0) rows = std::min(rows, std::min(flags.size(), sheet.FlagBlockSize()) / rowSize);
    for (size_t row = 0; row < rows; ++row) {
      out.NewLine();
      for (size_t i = 0; i < rowSize; ++i) {
        if (i > 0) out.Space();
        out.Decimal(flags[row * rowSize + i]);
      }
    }
  }
  out.Line("</bmp2_flag>");
  out.Line("</bmp2>");
}

// ---- reading ------------------------------------------------------------

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

void SkipBlanks(std::string_view& text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  text.remove_prefix(i);
}

// A decimal integer with an optional sign, after optional blanks.
bool TakeDecimal(std::string_view& text, int64_t& value) {
  SkipBlanks(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  uint64_t magnitude = 0;
  const std::from_chars_result done =
      std::from_chars(text.data(), text.data() + text.size(), magnitude);
  if (done.ec != std::errc() || magnitude > (uint64_t{1} << 40)) return false;
  text.remove_prefix(static_cast<size_t>(done.ptr - text.data()));
  value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

bool TakeInt32(std::string_view& text, int32_t& value) {
  int64_t wide = 0;
  if (!TakeDecimal(text, wide) || wide < INT32_MIN || wide > INT32_MAX) return false;
  value = static_cast<int32_t>(wide);
  return true;
}

bool TakeHex(std::string_view& text, uint32_t& value) {
  SkipBlanks(text);
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  }
  const std::from_chars_result done =
      std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (done.ec != std::errc()) return false;
  text.remove_prefix(static_cast<size_t>(done.ptr - text.data()));
  return true;
}

std::string_view FirstWord(std::string_view line) {
  SkipBlanks(line);
  size_t end = 0;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  return line.substr(0, end);
}

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
  bool Refuse(std::string reason) {
    result_.status = ParseStatus::Invalid;
    result_.reason = std::move(reason) + " (line " + std::to_string(lineNumber_) + ")";
    return false;
  }
  // The record the sheet sections fill: the open block, or a new one for
  // sections outside any block. Null (file refused) beyond 256 records.
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
  if (bytes.size() >= 3 && bytes[0] == 'K' && bytes[1] == 'V' && bytes[2] == 0) {
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
  } else if (!hasVersion_) {
    result_.status = ParseStatus::Invalid;
    result_.reason = "no version section";
  } else if (!mapComplete_) {
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
  while (mapCells_ < total && position < size) {
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
      // A row is 2 * columns values, separated by runs of spaces only. It
      // must be whole: a short row would leave part of the block undefined,
      // and checking it also keeps the block no larger than the file.
      const size_t values = 2 * static_cast<size_t>(chipColumns_);
      if (line.size() / 2 + 1 < values) return Refuse("short flag row");
      const size_t start = record.flags.size();
      record.flags.resize(start + values, 0);
      size_t count = 0;
      size_t i = 0;
      while (count < values) {
        while (i < line.size() && line[i] == ' ') ++i;
        if (i == line.size()) break;
        size_t end = i;
        while (end < line.size() && line[end] != ' ') ++end;
        std::string_view word = line.substr(i, end - i);
        int64_t value = 0;
        if (!TakeDecimal(word, value) || !word.empty() || value < INT32_MIN || value > INT32_MAX) {
          return Refuse("bad flag value");
        }
        record.flags[start + count++] = static_cast<uint8_t>(value & 0xFF);
        i = end;
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
      int64_t value = 0;
      if (!TakeDecimal(line, value) || value < INT32_MIN || value > UINT32_MAX) {
        return Refuse("bad map cell");
      }
      grid.cells->push_back(static_cast<MapCell>(value));
      ++mapCells_;
      return true;
    }
  }
  return true;
}

constexpr std::string_view Tags[] = {"<version>",
                                     "</version>",
                                     "<bmp2_count>",
                                     "</bmp2_count>",
                                     "<bmp2>",
                                     "</bmp2>",
                                     "<bmp2_name>",
                                     "</bmp2_name>",
                                     "<bmp2_transparent>",
                                     "</bmp2_transparent>",
                                     "<bmp2_chip_count>",
                                     "</bmp2_chip_count>",
                                     "<bmp2_flag>",
                                     "</bmp2_flag>",
                                     "<bmp1_name_count>",
                                     "</bmp1_name_count>",
                                     "<bmp1_name>",
                                     "</bmp1_name>",
                                     "<chip1>",
                                     "</chip1>",
                                     "<chip1_data_count>",
                                     "</chip1_data_count>",
                                     "<chip1_data>",
                                     "</chip1_data>",
                                     "<mapdata_bin_chip_count>",
                                     "</mapdata_bin_chip_count>",
                                     "<mapdata_bin_data>",
                                     "</mapdata_bin_data>"};

// A name is one line of the text form: it must not break the line or read
// back as a tag (both are legal in file names on some systems).
bool FitsOnTextLine(std::string_view name) {
  if (name.find_first_of("\r\n") != std::string_view::npos) return false;
  for (std::string_view tag : Tags) {
    if (name == tag) return false;
  }
  return true;
}

bool NamesFitTextLines(const MapDocument& document, const ChipSheetTable& sheets) {
  for (int32_t i = 0; i < StoredSheetCount(sheets); ++i) {
    if (!FitsOnTextLine(sheets.sheets[static_cast<size_t>(i)].fileName)) return false;
  }
  for (int32_t i = 0; i < StoredFileNameCount(document.fileList); ++i) {
    if (!FitsOnTextLine(document.fileList.names[static_cast<size_t>(i)])) return false;
  }
  return true;
}

}  // namespace

void SerializeTextDocument(ByteSink& sink, const MapDocument& document,
                           const ChipSheetTable& sheets) {
  LineWriter out(sink);
  TagLines(out, "<version>", DocumentVersion, "</version>");

  const int32_t sheetCount = StoredSheetCount(sheets);
  out.Line("<bmp2_count>");
  out.NewLine();
  out.Decimal(sheetCount);
  out.Line("</bmp2_count>");
  for (int32_t i = 0; i < sheetCount; ++i) WriteSheet(out, sheets.sheets[static_cast<size_t>(i)]);

  const int32_t fileCount = StoredFileNameCount(document.fileList);
  out.Line("<bmp1_name_count>");
  out.NewLine();
  out.Decimal(fileCount);
  out.Line("</bmp1_name_count>");
  out.Line("<bmp1_name>");
  for (int32_t i = 0; i < fileCount; ++i) out.Line(document.fileList.names[static_cast<size_t>(i)]);
  out.Line("</bmp1_name>");

  for (const ChipTable& table : document.tables) {
    const int32_t count = StoredEntryCount(table);
    out.Line("<chip1>");
    out.Line("<chip1_data_count>");
    out.NewLine();
    out.Decimal(count);
    out.Line("</chip1_data_count>");
    out.Line("<chip1_data>");
    for (int32_t slot = 0; slot < count; ++slot) {
      const ChipEntry& entry = table.entries[static_cast<size_t>(slot)];
      out.NewLine();
      out.Decimal(entry.used);
      out.Space();
      out.Decimal(entry.file);
      out.Space();
      out.Decimal(entry.column);
      out.Space();
      out.Decimal(entry.row);
      out.Space();
      out.Decimal(entry.attributes);
    }
    out.Line("</chip1_data>");
    out.Line("</chip1>");
  }

  const MapGrid& grid = document.grid;
  out.Line("<mapdata_bin_chip_count>");
  out.NewLine();
  out.Decimal(grid.width);
  out.Space();
  out.Decimal(grid.height);
  out.Line("</mapdata_bin_chip_count>");
  out.Line("<mapdata_bin_data>");
  if (grid.Exists()) out.CellLines(*grid.cells);
  out.Line("</mapdata_bin_data>");
}

ParseResult ParseTextDocument(std::span<const uint8_t> bytes) {
  TextParser parser;
  return parser.Run(bytes);
}

bool WriteTextDocument(const std::string& path, MapDocument& document, const ChipSheetTable& sheets,
                       Messages& messages) {
  if (!document.grid.Exists() || !NamesFitTextLines(document, sheets)) {
    messages.Show(texts::CannotSaveFile, texts::AppCaption, MessageIcon::Error);
    return false;
  }
  return SaveDocumentFile(path, document, messages,
                          [&](ByteSink& sink) { SerializeTextDocument(sink, document, sheets); });
}

bool ReadTextDocument(const std::string& path, MapDocument& document, ChipSheetTable& sheets,
                      SelectionState& selection, Messages& messages) {
  return ReadDocumentFile(path, document, sheets, selection, messages, &ParseTextDocument);
}

}  // namespace kelvor
