#include "cli/cli_commands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>

#include "base/ascii.h"
#include "base/json_string.h"
#include "base/program_info.h"
#include "cli/cli_messages.h"
#include "cli/document_probe.h"
#include "document/chip_sheet_loader.h"
#include "editing/bulk_operations.h"
#include "files/binary_document.h"
#include "files/engine_map_export.h"
#include "files/engine_map_import.h"
#include "files/image_export.h"
#include "files/map_data_export.h"
#include "files/open_document.h"
#include "files/text_document.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_image_codec.h"
#include "workspace/workspace.h"

namespace kelvor::cli {

namespace {

constexpr const char* Usage =
    "usage: kelvor-cli info DOC [--chips DIR] [--json]\n"
    "       (DOC may also be a TMX or TMJ map; its tileset images are copied into\n"
    "       the chip-set folder when it is converted)\n"
    "       kelvor-cli convert DOC OUT --to binary|text|mapdata [--chips DIR] [--optimize]\n"
    "       kelvor-cli convert DOC OUT --to tmx|tmj [--encoding csv|zlib] [--chips DIR] "
    "[--optimize]\n"
    "       kelvor-cli export DOC OUT --what map|background|layer [--chips DIR] [--hide-layer]\n"
    "       kelvor-cli --help | --version\n";

struct Options {
  std::vector<std::string> operands;
  std::string chipFolder;
  std::string to;
  std::string what;
  std::string encoding;
  bool json = false;
  bool optimize = false;
  bool hideLayer = false;
  bool unknownOption = false;  // a usage error rather than a failure
};

// Parses the words after the verb; false with a reason for anything unknown.
bool ParseOptions(const std::vector<std::string>& words, Options& options, std::string& reason) {
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    const auto value = [&](std::string& into) {
      if (i + 1 >= words.size()) {
        reason = word + " needs a value";
        return false;
      }
      into = words[++i];
      return true;
    };
    if (word == "--json") {
      options.json = true;
    } else if (word == "--optimize") {
      options.optimize = true;
    } else if (word == "--chips") {
      if (!value(options.chipFolder)) return false;
    } else if (word == "--to") {
      if (!value(options.to)) return false;
    } else if (word == "--what") {
      if (!value(options.what)) return false;
    } else if (word == "--encoding") {
      if (!value(options.encoding)) return false;
    } else if (word == "--hide-layer") {
      options.hideLayer = true;
    } else if (word.size() > 1 && word[0] == '-') {
      reason = "unknown option " + word;
      options.unknownOption = true;
      return false;
    } else {
      options.operands.push_back(word);
    }
  }
  return true;
}

int Fail(std::ostream& err, const std::string& line) {
  err << "kelvor-cli: " << line << "\n";
  return 1;
}

// Used chips of a table as the window title counts them: slots 1..255.
int32_t UsedChips(const StagedTable& table) {
  if (!table.entries) return 0;
  int32_t used = 0;
  for (int32_t slot = 1; slot < ChipTableSlots; ++slot) {
    if ((*table.entries)[static_cast<size_t>(slot)].used != 0) ++used;
  }
  return used;
}

std::vector<std::string> StoredNames(const StagedDocument& document) {
  std::vector<std::string> names;
  if (!document.fileNames) return names;
  ChipFileList list;
  list.names = *document.fileNames;
  const int32_t count = StoredFileNameCount(list);
  names.assign(list.names.begin(), list.names.begin() + count);
  return names;
}

std::string Hex(uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%x", value);
  return buffer;
}

// The editor's state after start-up with the chip-set folder scanned.
std::unique_ptr<Workspace> StartWorkspace(const std::string& exeFolder,
                                          const std::string& chipFolder) {
  auto workspace = std::make_unique<Workspace>();
  QtImageDecoder decoder;
  InitializeWorkspace(*workspace, exeFolder, decoder, chipFolder);
  return workspace;
}

struct SheetSummary {
  std::string fileName;
  int32_t width = 0, height = 0, chipColumns = 0, chipRows = 0, layerChips = 0;
};

std::vector<SheetSummary> SummarizeSheets(const ChipSheetTable& sheets) {
  std::vector<SheetSummary> list;
  for (int32_t i = 0; i < sheets.sheetCount; ++i) {
    const ChipSheet& sheet = sheets.sheets[static_cast<size_t>(i)];
    SheetSummary summary{sheet.fileName,    sheet.width,    sheet.height,
                         sheet.chipColumns, sheet.chipRows, 0};
    if (sheet.HasFlags()) {
      const size_t chips = static_cast<size_t>(sheet.chipColumns) * sheet.chipRows;
      for (size_t c = 0; c < chips && c < sheet.chipFlags->size(); ++c) {
        if ((*sheet.chipFlags)[c] & ChipFlagLayer) ++summary.layerChips;
      }
    }
    list.push_back(summary);
  }
  return list;
}

std::vector<std::string> MissingNames(const Workspace& workspace) {
  const MissingImageList missing = FindMissingImages(workspace.document, workspace.sheets);
  std::vector<std::string> names;
  for (size_t i = 0; i < missing.size(); ++i) {
    if (missing[i]) names.push_back(workspace.document.fileList.names[i]);
  }
  return names;
}

int Info(const Options& options, const std::string& exeFolder, std::ostream& out,
         std::ostream& err) {
  if (options.operands.size() != 1) return Fail(err, "info needs exactly one document");
  const std::string& path = options.operands[0];
  size_t imagesToCopy = 0;
  ProbedDocument probed;
  if (EngineMapKindOf(path) != EngineMapKind::None) {
    QtImageDecoder decoder;
    probed =
        ProbeEngineMap(path, ChipFolderPath(exeFolder, options.chipFolder), decoder, imagesToCopy);
  } else {
    probed = ProbeDocument(path);
  }
  if (!probed.ok) return Fail(err, path + ": " + probed.reason);

  // What the file itself holds, taken before the parsed document is handed
  // over below: the file is read once, not probed and then opened.
  const StagedDocument& doc = probed.document;
  const std::string version = doc.version;
  const std::vector<StoredSheetRecord> records = doc.sheetRecords;
  const int32_t width = doc.grid ? doc.grid->width : 0;
  const int32_t height = doc.grid ? doc.grid->height : 0;
  const int32_t used[2] = {UsedChips(doc.tables[0]), UsedChips(doc.tables[1])};
  const std::vector<std::string> names = StoredNames(doc);
  const auto usedNames = std::count_if(names.begin(), names.end(),
                                       [](const std::string& name) { return !name.empty(); });

  // With a chip-set folder the document is opened as the editor opens it,
  // to tell which of its images the folder lacks. A folder that is not there
  // is reported, as the editor does at start-up, and nothing is listed.
  bool withSheets = !options.chipFolder.empty();
  std::vector<SheetSummary> sheetList;
  std::vector<std::string> missingNames;
  if (withSheets) {
    std::error_code error;
    if (!std::filesystem::is_directory(options.chipFolder, error)) {
      err << "kelvor-cli: warning: no chip-set folder " << options.chipFolder << "\n";
      withSheets = false;
    }
  }
  if (withSheets) {
    std::unique_ptr<Workspace> workspace = StartWorkspace(exeFolder, options.chipFolder);
    CollectedMessages messages;
    OpenRefresh refresh;
    if (!OpenParsedDocument(*workspace, path, std::move(probed.document), messages, refresh)) {
      return Fail(err, path + ": the document cannot be opened");
    }
    sheetList = SummarizeSheets(workspace->sheets);
    missingNames = MissingNames(*workspace);
  }

  if (options.json) {
    out << "{\"form\":" << JsonString(probed.form) << ",\"version\":" << JsonString(version)
        << ",\"width\":" << width << ",\"height\":" << height << ",\"chipsUsed\":[" << used[0]
        << "," << used[1] << "],\"fileNames\":[";
    for (size_t i = 0; i < names.size(); ++i) out << (i ? "," : "") << JsonString(names[i]);
    out << "],\"sheetRecords\":[";
    for (size_t i = 0; i < records.size(); ++i) {
      const StoredSheetRecord& record = records[i];
      out << (i ? "," : "") << "{\"name\":" << JsonString(record.name)
          << ",\"transparent\":" << record.transparent
          << ",\"transparentColor\":" << record.transparentColor
          << ",\"chipColumns\":" << record.chipColumns << ",\"chipRows\":" << record.chipRows
          << "}";
    }
    out << "]";
    if (probed.form == "tmx" || probed.form == "tmj") {
      out << ",\"imagesToCopy\":" << imagesToCopy;
    }
    if (withSheets) {
      out << ",\"sheets\":[";
      for (size_t i = 0; i < sheetList.size(); ++i) {
        const SheetSummary& sheet = sheetList[i];
        out << (i ? "," : "") << "{\"fileName\":" << JsonString(sheet.fileName)
            << ",\"width\":" << sheet.width << ",\"height\":" << sheet.height
            << ",\"chipColumns\":" << sheet.chipColumns << ",\"chipRows\":" << sheet.chipRows
            << ",\"layerChips\":" << sheet.layerChips << "}";
      }
      out << "],\"missingImages\":[";
      for (size_t i = 0; i < missingNames.size(); ++i) {
        out << (i ? "," : "") << JsonString(missingNames[i]);
      }
      out << "]";
    }
    out << "}\n";
    return 0;
  }
  out << "form: " << probed.form << "\n";
  out << "version: " << version << "\n";
  out << "map: " << width << " x " << height << "\n";
  out << "chips used: " << used[0] << "/255 background, " << used[1] << "/255 layer\n";
  out << "file names: " << usedNames << "/256\n";
  for (size_t i = 0; i < names.size(); ++i) out << "  " << i << " " << names[i] << "\n";
  out << "sheet records: " << records.size() << "\n";
  for (const StoredSheetRecord& record : records) {
    out << "  " << record.name << ": transparent " << record.transparent << ", colour "
        << Hex(record.transparentColor) << ", " << record.chipColumns << " x " << record.chipRows
        << " chips\n";
  }
  if (probed.form == "tmx" || probed.form == "tmj") {
    out << "images to copy: " << imagesToCopy << "\n";
  }
  if (withSheets) {
    out << "sheets: " << sheetList.size() << "\n";
    for (const SheetSummary& sheet : sheetList) {
      out << "  " << sheet.fileName << ": " << sheet.width << " x " << sheet.height << " pixels, "
          << sheet.chipColumns << " x " << sheet.chipRows << " chips, " << sheet.layerChips
          << " with the layer flag\n";
    }
    out << "missing images: " << missingNames.size() << "\n";
    for (const std::string& name : missingNames) out << "  " << name << "\n";
  }
  return 0;
}

// One warning line per chip-set image the document names but the folder lacks.
void WarnOfMissingImages(const Workspace& workspace, std::ostream& err) {
  for (const std::string& name : MissingNames(workspace)) {
    err << "kelvor-cli: warning: no chip-set image " << name << " in "
        << workspace.folders.chipFolder << "\n";
  }
}

// Opens a document or a map the way the editor does; the reason says why
// not. A map's tileset images are copied into the chip-set folder without a
// question: the command asked for the conversion.
bool OpenForConversion(Workspace& workspace, const std::string& path, std::string& reason,
                       std::ostream& err) {
  CollectedMessages messages;
  OpenRefresh refresh;
  QtImageDecoder decoder;
  if (EngineMapKindOf(path) != EngineMapKind::None) {
    const std::string chipFolder =
        ChipFolderPath(workspace.folders.exeFolder, workspace.folders.chipFolder);
    if (!OpenEngineMap(workspace, path, decoder, messages, refresh, false)) {
      size_t imagesToCopy = 0;
      const ProbedDocument probed = ProbeEngineMap(path, chipFolder, decoder, imagesToCopy);
      reason = probed.ok ? "cannot copy the tileset images into " + chipFolder : probed.reason;
      return false;
    }
    if (refresh.copiedImages > 0) {
      err << "kelvor-cli: copied " << refresh.copiedImages << " tileset images into " << chipFolder
          << "\n";
    }
    return true;
  }
  if (OpenDocument(workspace, path, messages, refresh)) return true;
  const ProbedDocument probed = ProbeDocument(path);
  reason = probed.ok ? "the document cannot be opened" : probed.reason;
  return false;
}

// TMX or TMJ with the chip atlases as pictures, so the sheets come from the
// chip-set folder as for export.
int ConvertForEngines(const Options& options, const std::string& exeFolder, std::ostream& err) {
  const std::string& path = options.operands[0];
  const std::string& target = options.operands[1];
  if (!options.encoding.empty() && options.encoding != "csv" && options.encoding != "zlib") {
    return Fail(err, "--encoding must be csv or zlib");
  }
  std::unique_ptr<Workspace> workspace = StartWorkspace(exeFolder, options.chipFolder);
  std::string reason;
  if (!OpenForConversion(*workspace, path, reason, err)) return Fail(err, path + ": " + reason);
  WarnOfMissingImages(*workspace, err);
  if (options.optimize) OptimizeChipSet(workspace->document, workspace->undo);

  CollectedMessages messages;
  QtImageEncoder encoder;
  const EngineMapStatus status =
      WriteEngineMap(target, workspace->document,
                     options.to == "tmx" ? EngineMapFormat::Tmx : EngineMapFormat::Tmj,
                     options.encoding == "zlib" ? EngineMapEncoding::Zlib : EngineMapEncoding::Csv,
                     encoder, MakeQtCanvas, messages);
  switch (status) {
    case EngineMapStatus::Ok:
      return 0;
    case EngineMapStatus::NoMap:
      return Fail(err, path + ": the map has no cells");
    case EngineMapStatus::UnfitName:
      return Fail(err, target +
                           ": the name must be UTF-8 without control characters, as the map "
                           "refers to its pictures by it");
    case EngineMapStatus::CannotCreate:
      return Fail(err, target + ": cannot create the map or its pictures");
    case EngineMapStatus::CannotWrite:
      break;
  }
  return Fail(err, target + ": cannot write the map or its pictures");
}

int Convert(const Options& options, const std::string& exeFolder, std::ostream& err) {
  if (options.operands.size() != 2) return Fail(err, "convert needs a document and an output");
  const std::string& path = options.operands[0];
  const std::string& target = options.operands[1];
  if (options.to == "tmx" || options.to == "tmj") return ConvertForEngines(options, exeFolder, err);
  if (options.to != "binary" && options.to != "text" && options.to != "mapdata") {
    return Fail(err, "--to must be binary, text, mapdata, tmx or tmj");
  }
  if (!options.encoding.empty()) return Fail(err, "--encoding goes with --to tmx or tmj only");
  if (options.to == "mapdata" && !HasExtension(target, "bin")) {
    return Fail(err, target + ": a map data file must end in .bin");
  }

  // Sheets are loaded only from a folder given on the command line, so that
  // a plain conversion never picks up settings of images lying around.
  std::unique_ptr<Workspace> workspace;
  if (options.chipFolder.empty()) {
    workspace = std::make_unique<Workspace>();
    workspace->folders.exeFolder = exeFolder;
    workspace->folders.chipFolder = DefaultChipFolder(exeFolder);
  } else {
    workspace = StartWorkspace(exeFolder, options.chipFolder);
  }
  std::string reason;
  if (!OpenForConversion(*workspace, path, reason, err)) return Fail(err, path + ": " + reason);
  if (options.optimize) OptimizeChipSet(workspace->document, workspace->undo);

  CollectedMessages messages;
  bool written = false;
  if (options.to == "binary") {
    written = WriteBinaryDocument(target, workspace->document, workspace->sheets, messages);
  } else if (options.to == "text") {
    written = WriteTextDocument(target, workspace->document, workspace->sheets, messages);
  } else {
    written = ExportMapData(target, workspace->document.grid);
  }
  if (!written) {
    const bool cannotCreate =
        !messages.shown.empty() && messages.shown[0] == texts::CannotCreateFile;
    return Fail(err,
                target + (cannotCreate ? ": cannot create the file" : ": cannot write the file"));
  }
  return 0;
}

// Why a map's picture does not fit the format the target's name picks.
std::string TooLargeReason(const MapGrid& grid, const std::string& target) {
  const std::string size = std::to_string(int64_t{grid.width} * ChipSize) + " x " +
                           std::to_string(int64_t{grid.height} * ChipSize) + " pixels";
  const std::string whole = std::to_string(MaxWholePicturePixels) + " pixels in all";
  std::string limit;
  switch (ImageFormatForPath(target)) {
    case ImageFormat::Png:
      limit = "PNG holds at most " + std::to_string(MaxPngSide) + " pixels a side, in rows of " +
              std::to_string(MaxStreamedWidth) + " pixels at most";
      break;
    case ImageFormat::Jpeg:
      limit = "JPEG pictures are written up to " + std::to_string(MaxJpegSide) +
              " pixels a side and " + whole;
      break;
    case ImageFormat::Tiff:
      limit = "TIFF pictures are written up to " + whole;
      break;
    default:
      limit = "a 32-bit BMP holds at most 4 GiB of pixels";
      break;
  }
  return "the map picture of " + size + " is too large (" + limit + ")";
}

int Export(const Options& options, const std::string& exeFolder, std::ostream& err) {
  if (options.operands.size() != 2) return Fail(err, "export needs a document and an output");
  const std::string& path = options.operands[0];
  const std::string& target = options.operands[1];
  if (options.what != "map" && options.what != "background" && options.what != "layer") {
    return Fail(err, "--what must be map, background or layer");
  }
  if (options.hideLayer && options.what != "map") {
    return Fail(err, "--hide-layer goes with --what map only");
  }
  if (ImageFormatForPath(target) == ImageFormat::None) {
    return Fail(err, target + ": the name needs an extension that names the format (.png, .bmp)");
  }

  // The editor's default folder when none is given.
  std::unique_ptr<Workspace> workspace = StartWorkspace(exeFolder, options.chipFolder);
  std::string reason;
  if (!OpenForConversion(*workspace, path, reason, err)) return Fail(err, path + ": " + reason);
  WarnOfMissingImages(*workspace, err);

  CollectedMessages messages;
  QtImageEncoder encoder;
  PictureWrite result = PictureWrite::CannotWrite;
  if (options.what == "map") {
    result = ExportMapImage(target, workspace->document, !options.hideLayer, encoder, messages);
  } else if (ExportAtlasImage(target, workspace->document, options.what == "layer" ? 1 : 0, encoder,
                              messages)) {
    result = PictureWrite::Written;
  }
  if (!messages.shown.empty() && messages.shown[0] == texts::SaveAsBitmap) {
    err << "kelvor-cli: warning: " << target << ": unknown extension, written as BMP\n";
  }
  switch (result) {
    case PictureWrite::Written:
      return 0;
    case PictureWrite::Empty:
      return Fail(err, path + ": the map is empty");
    case PictureWrite::TooLarge:
      return Fail(err, target + ": " + TooLargeReason(workspace->document.grid, target));
    case PictureWrite::NoEncoder:
      return Fail(err, target + ": this format cannot be written");
    case PictureWrite::CannotCreate:
      return Fail(err, target + ": cannot create the file");
    case PictureWrite::CannotWrite:
      break;
  }
  return Fail(err, target + ": cannot write the picture");
}

}  // namespace

int Run(const std::vector<std::string>& args, const std::string& exeFolder, std::ostream& out,
        std::ostream& err) {
  if (args.empty()) {
    err << Usage;
    return 1;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    out << Usage;
    return 0;
  }
  if (args[0] == "--version" || args[0] == "-v") {
    out << VersionLine << "\n";
    return 0;
  }
  // A wrong option is a usage error (status 2), as with the editor.
  if (args[0].size() > 1 && args[0][0] == '-') {
    err << "kelvor-cli: unknown option " << args[0] << "\n" << Usage;
    return 2;
  }
  Options options;
  std::string reason;
  if (!ParseOptions(std::vector<std::string>(args.begin() + 1, args.end()), options, reason)) {
    if (options.unknownOption) {
      err << "kelvor-cli: " << reason << "\n" << Usage;
      return 2;
    }
    return Fail(err, reason);
  }
  const bool exportOptions = !options.what.empty() || options.hideLayer;
  if (args[0] == "info") {
    if (options.optimize || !options.to.empty() || !options.encoding.empty() || exportOptions)
      return Fail(err, "info takes no --to, --encoding, --optimize, --what or --hide-layer");
    return Info(options, exeFolder, out, err);
  }
  if (args[0] == "convert") {
    if (options.json) return Fail(err, "convert takes no --json");
    if (exportOptions) return Fail(err, "convert takes no --what or --hide-layer");
    return Convert(options, exeFolder, err);
  }
  if (args[0] == "export") {
    if (options.json || options.optimize || !options.to.empty() || !options.encoding.empty()) {
      return Fail(err, "export takes no --json, --optimize, --to or --encoding");
    }
    return Export(options, exeFolder, err);
  }
  return Fail(err, "unknown command " + args[0] + " (info, convert or export)");
}

}  // namespace kelvor::cli
