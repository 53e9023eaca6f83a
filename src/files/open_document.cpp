#include "files/open_document.h"

#include <filesystem>
#include <system_error>

#include "document/chip_sheet_loader.h"
#include "editing/undo_history.h"
#include "files/binary_document.h"
#include "files/chip_blend.h"
#include "files/text_document.h"
#include "platform/image_codec.h"
#include "platform/messages.h"
#include "workspace/workspace.h"

namespace kelvor {
namespace {

constexpr int32_t ProposedMapWidth = 20;
constexpr int32_t ProposedMapHeight = 15;

// Only the chips' own bytes: the rest of the block is stored as it is.
void ClearPlacementMarks(ChipSheet& sheet) {
  if (!sheet.HasFlags()) return;
  std::vector<uint8_t>& flags = *sheet.chipFlags;
  const size_t chips = static_cast<size_t>(sheet.chipColumns) * sheet.chipRows;
  for (size_t i = 0; i < chips && i < flags.size(); ++i) flags[i] &= ~ChipFlagSelected;
}

}  // namespace

void FinishOpen(Workspace& ws, const std::string& path, OpenRefresh& refresh) {
  MapDocument& document = ws.document;
  for (int32_t i = 0; i < ws.sheets.sheetCount; ++i) {
    ApplyTransparentColor(ws.sheets.sheets[static_cast<size_t>(i)]);
  }
  refresh.palette = true;

  MissingImageList missing{};
  RebuildChipAtlases(document, ws.sheets, missing);

  refresh.title = true;
  StoreDocumentPath(document, path);
  if (ws.sheets.currentSheet >= 0 && ws.sheets.currentSheet < ChipSheetSlots) {
    ClearPlacementMarks(ws.sheets.Current());
  }
  refresh.scrollExtents = true;
  ResetUndo(ws.undo);

  refresh.missingImages = MissingImageText(
      missing, document.fileList, ChipFolderPath(ws.folders.exeFolder, ws.folders.chipFolder));
}

void CreateChipAtlases(MapDocument& document) {
  for (ChipTable& table : document.tables) {
    table.atlas = PixelBuffer::Make(AtlasSize, AtlasSize);
    MarkAtlasChanged(table);
  }
}

void RebuildChipAtlases(MapDocument& document, const ChipSheetTable& sheets,
                        MissingImageList& missing) {
  for (ChipTable& table : document.tables) {
    if (!table.HasAtlas()) continue;
    MarkAtlasChanged(table);
    for (int32_t n = 1; n < ChipTableSlots; ++n) {
      const int32_t x = ChipSize * (n % 16);
      const int32_t y = ChipSize * (n / 16);
      table.atlas.ClearRect(x, y, x + ChipSize, y + ChipSize);
      const ChipEntry& entry = table.entries[static_cast<size_t>(n)];
      if (entry.used == 0 || entry.file < 0 || entry.file >= ChipFileSlots) continue;
      const int32_t found =
          sheets.FindIgnoringCase(document.fileList.names[static_cast<size_t>(entry.file)]);
      if (found < 0 || !sheets.sheets[static_cast<size_t>(found)].HasBitmap()) {
        missing[static_cast<size_t>(entry.file)] = true;
        continue;
      }
      const PixelBuffer& image = sheets.sheets[static_cast<size_t>(found)].bitmap;
      // Far-off positions must not overflow on their way to the bounds check.
      if (entry.column < 0 || entry.row < 0 || entry.column > image.width / ChipSize ||
          entry.row > image.height / ChipSize) {
        continue;
      }
      BlendChipSquare(table.atlas, x, y, image, entry.column * ChipSize, entry.row * ChipSize);
    }
  }
}

MissingImageList FindMissingImages(const MapDocument& document, const ChipSheetTable& sheets) {
  MissingImageList missing{};
  for (const ChipTable& table : document.tables) {
    for (int32_t n = 1; n < ChipTableSlots; ++n) {
      const ChipEntry& entry = table.entries[static_cast<size_t>(n)];
      if (entry.used == 0 || entry.file < 0 || entry.file >= ChipFileSlots) continue;
      const int32_t found =
          sheets.FindIgnoringCase(document.fileList.names[static_cast<size_t>(entry.file)]);
      if (found < 0 || !sheets.sheets[static_cast<size_t>(found)].HasBitmap()) {
        missing[static_cast<size_t>(entry.file)] = true;
      }
    }
  }
  return missing;
}

std::string MissingImageText(const MissingImageList& missing, const ChipFileList& fileList,
                             const std::string& chipFolderPath) {
  std::string text;
  for (size_t i = 0; i < missing.size(); ++i) {
    if (!missing[i]) continue;
    text += chipFolderPath;
    text += static_cast<char>(std::filesystem::path::preferred_separator);
    text += fileList.names[i];
    text += '\n';
  }
  return text;
}

bool OpenDocument(Workspace& ws, const std::string& path, Messages& messages,
                  OpenRefresh& refresh) {
  refresh = OpenRefresh{};
  if (!ReadTextDocument(path, ws.document, ws.sheets, ws.selection, messages) &&
      !ReadBinaryDocument(path, ws.document, ws.sheets, ws.selection, messages)) {
    messages.Show(texts::CannotReadFile, texts::AppCaption, MessageIcon::Warning);
    return false;
  }
  FinishOpen(ws, path, refresh);
  ClearDocumentChanged(ws);
  return true;
}

bool OpenParsedDocument(Workspace& ws, const std::string& path, StagedDocument&& staged,
                        Messages& messages, OpenRefresh& refresh) {
  refresh = OpenRefresh{};
  if (!CommitParsedDocument(std::move(staged), ws.document, ws.sheets, ws.selection)) {
    messages.Show(texts::CannotReadFile, texts::AppCaption, MessageIcon::Warning);
    return false;
  }
  FinishOpen(ws, path, refresh);
  ClearDocumentChanged(ws);
  return true;
}

void ShowMissingImages(const OpenRefresh& refresh, Messages& messages) {
  if (refresh.missingImages.empty()) return;
  messages.Show(refresh.missingImages, texts::MissingImagesCaption, MessageIcon::None);
}

StartupResult InitializeWorkspace(Workspace& ws, const std::string& exeFolder,
                                  ImageDecoder& decoder, const std::string& chipFolder) {
  ReleaseDocument(ws);
  ws.folders.exeFolder = exeFolder;
  ws.folders.chipFolder = ChipFolderPath(exeFolder, chipFolder);
  StartupResult result;
  result.sheetMenu =
      ScanChipFolder(ws.sheets, ws.folders.exeFolder, ws.folders.chipFolder, decoder);
  CreateChipAtlases(ws.document);
  for (ChipTable& table : ws.document.tables) table.entries[0].used = 1;
  ws.document.grid.width = ProposedMapWidth;
  ws.document.grid.height = ProposedMapHeight;
  std::error_code error;
  result.chipFolderExists = std::filesystem::exists(ws.folders.chipFolder, error);
  return result;
}

}  // namespace kelvor
