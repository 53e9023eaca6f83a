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

bool WriteTextDocument(const std::string& path, MapDocument& document, const ChipSheetTable& sheets,
                       Messages& messages) {
  if (!document.grid.Exists() || !NamesFitTextLines(document, sheets)) {
    messages.Show(texts::CannotSaveFile, texts::AppCaption, MessageIcon::Error);
    return false;
  }
  return SaveDocumentFile(path, document, messages,
                          [&](ByteSink& sink) { SerializeTextDocument(sink, document, sheets); });
}

}  // namespace kelvor
