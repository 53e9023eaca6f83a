#include <filesystem>

#include "document/chip_sheet_loader.h"
#include "files/engine_map_import.h"
#include "files/open_document.h"
#include "platform/atomic_file.h"
#include "platform/messages.h"
#include "workspace/workspace.h"

namespace kelvor {

EngineMapKind EngineMapKindOf(const std::string& path) {
  FileContents head;
  EngineMapKind kind = EngineMapKind::None;
  // The head alone tells XML maps; a JSON map may name its type anywhere.
  head.Open(path, [&](std::span<const uint8_t> bytes) {
    size_t i = 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\n' || bytes[i] == '\r' ||
                                bytes[i] == '\t' || bytes[i] >= 0x80)) {
      ++i;
    }
    if (i < bytes.size() && bytes[i] == '<') {
      kind = DetectEngineMap(bytes);
      return false;
    }
    return i < bytes.size() && bytes[i] == '{';
  });
  if (kind != EngineMapKind::None || head.size() == 0) return kind;
  return DetectEngineMap({head.data(), head.size()});
}

bool OpenEngineMap(Workspace& ws, const std::string& path, ImageDecoder& decoder,
                   Messages& messages, OpenRefresh& refresh, bool askCopy) {
  refresh = OpenRefresh{};
  const std::string chipFolder = ChipFolderPath(ws.folders.exeFolder, ws.folders.chipFolder);
  EngineMapImport import;
  EngineRefusal refusal;
  {
    WaitCursorScope wait(messages);
    refusal = ReadEngineMap(path, chipFolder, decoder, import);
  }
  if (refusal) {
    messages.ShowDetailed(EngineRefusalText(refusal.code), refusal.detail, texts::AppCaption,
                          MessageIcon::Warning);
    return false;
  }
  if (!import.copies.empty()) {
    if (askCopy &&
        !messages.AskYesNoDetailed(texts::CopyImagesQuestion, std::to_string(import.copies.size()),
                                   texts::AppCaption)) {
      return false;
    }
    if (!CopyImagesIntoFolder(import.copies, chipFolder)) {
      messages.Show(texts::CannotCreateFile, texts::AppCaption, MessageIcon::Error);
      return false;
    }
  }
  if (!CommitParsedDocument(std::move(import.document), ws.document, ws.sheets, ws.selection)) {
    messages.Show(texts::CannotReadFile, texts::AppCaption, MessageIcon::Warning);
    return false;
  }
  // The copied images join the loaded sheets, so the chips show at once.
  for (const ImageCopy& copy : import.copies) {
    if (ws.sheets.sheetCount >= ChipSheetSlots) break;
    ChipSheet& sheet = ws.sheets.sheets[static_cast<size_t>(ws.sheets.sheetCount)];
    if (!LoadChipSheet(sheet, ChipSheetPath(ws.folders.exeFolder, ws.folders.chipFolder, copy.name),
                       true, decoder)) {
      continue;
    }
    sheet.fileName = copy.name;
    ++ws.sheets.sheetCount;
    refresh.sheetMenu = true;
  }
  FinishOpen(ws, EngineMapDocumentPath(path), refresh);
  refresh.copiedImages = import.copies.size();
  MarkDocumentChanged(ws);
  if (import.ignoredLayers) {
    messages.Show(texts::MapLayersIgnored, texts::AppCaption, MessageIcon::Warning);
  }
  return true;
}

bool OpenMapFile(Workspace& ws, const std::string& path, ImageDecoder& decoder, Messages& messages,
                 OpenRefresh& refresh, bool askCopy) {
  if (EngineMapKindOf(path) != EngineMapKind::None)
    return OpenEngineMap(ws, path, decoder, messages, refresh, askCopy);
  return OpenDocument(ws, path, messages, refresh);
}

}  // namespace kelvor
