#include "files/text_document.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/ascii.h"
#include "base/parallel.h"
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

// The word of a flag row at `at`, which ends at the next space, read as C's
// decimal conversion reads it: blanks, an optional sign, then digits up to
// the first other character; the rest of the word does not count and a
// word without digits is 0. Moves `at` past the word. False for a number
// beyond 32 bits.
bool TakeFlagWord(std::string_view line, size_t& at, int32_t& value) {
  size_t i = at;
  while (i < line.size() && line[i] != ' ' && IsBlank(line[i])) ++i;
  bool negative = false;
  if (i < line.size() && (line[i] == '+' || line[i] == '-')) negative = line[i++] == '-';
  int64_t magnitude = 0;
  for (; i < line.size() && static_cast<unsigned>(line[i] - '0') < 10; ++i) {
    magnitude = magnitude * 10 + (line[i] - '0');
    if (magnitude > int64_t{INT32_MAX} + 1) return false;
  }
  while (i < line.size() && line[i] != ' ') ++i;
  at = i;
  const int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue > INT32_MAX) return false;
  value = static_cast<int32_t>(signedValue);
  return true;
}

// A line of one-digit words with one space between each two, as a flag row
// of flags below 10 is written, read into `values` (line.size() / 2 + 1 of
// them) without a branch per word. False for any other line, of which
// `values` then holds nothing of use.
bool SingleDigitWords(std::string_view line, uint8_t* values) {
  const size_t count = line.size() / 2 + 1;
  unsigned bad = 0;
  for (size_t i = 0; i < count; ++i) {
    const auto digit = static_cast<uint8_t>(line[2 * i] - '0');
    bad |= digit > 9 ? 1u : 0u;
    values[i] = digit;
  }
  for (size_t i = 1; i < count; ++i) bad |= line[2 * i - 1] != ' ' ? 1u : 0u;
  return bad == 0;
}

// The binary form starts with 'K', 'V', NUL: no text document does.
bool LooksBinary(std::span<const uint8_t> head) {
  return head.size() >= 3 && head[0] == 'K' && head[1] == 'V' && head[2] == 0;
}

// Eight bytes of text as a word whose lowest byte is the first character.
uint64_t LoadWord(const char* text) {
  uint64_t word;
  std::memcpy(&word, text, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// Eight bytes of text as digit values: '0'..'9' become 0..9, every other
// byte something above 9.
uint64_t DigitValues(uint64_t word) {
  return word ^ 0x3030303030303030u;
}

// Whether every byte of `values` (from DigitValues) is a digit: adding
// 0x76 carries into bit 7 from 10 on. A carry out of a byte only follows a
// byte that is marked itself.
bool AllDigits(uint64_t values) {
  return (((values + 0x7676767676767676u) | values) & 0x8080808080808080u) == 0;
}

// The number eight digit values spell, the first in the lowest byte: joined
// in pairs, fours, then eights.
uint32_t EightDigitsValue(uint64_t values) {
  values = (values * 2561) >> 8;
  values = ((values & 0x00FF00FF00FF00FFu) * 6553601) >> 16;
  return static_cast<uint32_t>(((values & 0x0000FFFF0000FFFFu) * 42949672960001u) >> 32);
}

// The last n bytes of a word, for n = 0..8.
constexpr uint64_t LastBytes[9] = {0,
                                   0xFF00000000000000u,
                                   0xFFFF000000000000u,
                                   0xFFFFFF0000000000u,
                                   0xFFFFFFFF00000000u,
                                   0xFFFFFFFFFF000000u,
                                   0xFFFFFFFFFFFF0000u,
                                   0xFFFFFFFFFFFFFF00u,
                                   0xFFFFFFFFFFFFFFFFu};

// Bit i for every line feed among the 64 bytes from `text`.
uint64_t LineEnds(const char* text) {
#if defined(__SSE2__)
  const __m128i feed = _mm_set1_epi8('\n');
  uint64_t ends = 0;
  for (int part = 0; part < 4; ++part) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16 * part));
    const auto found = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, feed)));
    ends |= uint64_t{found} << (16 * part);
  }
  return ends;
#else
  uint64_t ends = 0;
  for (int i = 0; i < 64; ++i) ends |= uint64_t{text[i] == '\n'} << i;
  return ends;
#endif
}

struct ShortCells {
  size_t stop;   // where the first line not taken starts
  size_t count;  // cells taken
};

// The cell lines of one to eight digits (CR LF or LF) from `from`, each
// ending before `to`, appended to `cells`, at most `room` of them; stops at
// the first other line. Lines are found by their line ends 64 bytes at a
// time and each number is read from the eight bytes that end with it, so
// where a line starts never waits for the number before it. The bytes
// after `to` up to `size` may be looked at, never beyond.
ShortCells ReadShortCells(const char* text, size_t from, size_t to, size_t size, uint64_t room,
                          std::vector<MapCell>& cells) {
  size_t start = from;  // of the line being read
  size_t count = 0;
  // The first lines of the text have fewer than eight bytes before their end.
  if (from < 8 || room == 0) return {start, count};
  for (size_t window = from; window < to && window + 64 <= size; window += 64) {
    uint64_t ends = LineEnds(text + window);
    if (to - window < 64) ends &= (uint64_t{1} << (to - window)) - 1;
    for (; ends != 0; ends &= ends - 1) {
      const size_t end = window + static_cast<size_t>(std::countr_zero(ends));
      const size_t last = end - (text[end - 1] == '\r' ? 1 : 0);  // just after the digits
      const size_t digits = last - start;
      if (digits - 1 >= 8) return {start, count};  // none, or more than eight
      // The bytes before the line count as leading zeros.
      const uint64_t values = DigitValues(LoadWord(text + last - 8)) & LastBytes[digits];
      if (!AllDigits(values)) return {start, count};
      cells.push_back(EightDigitsValue(values));
      start = end + 1;
      if (++count == room) return {start, count};
    }
  }
  return {start, count};
}

// Map sections from this many bytes on are read in two halves at once.
constexpr size_t HalvesFrom = size_t{1} << 20;

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
      const size_t start = record.flags.size();
      record.flags.resize(start + values, 0);
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
