#include "files/save_as.h"

#include "files/binary_document.h"
#include "files/engine_map_export.h"
#include "files/image_export.h"
#include "files/map_data_export.h"
#include "files/text_document.h"
#include "platform/messages.h"
#include "workspace/workspace.h"

namespace kelvor {
namespace {

bool IsFolderSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/' || c == ':';
#else
  return c == '/';
#endif
}

// The picture exports report nothing themselves; a picture that was refused
// (too large for one image) or could not be written must not pass for saved.
bool ReportPicture(bool written, Messages& messages) {
  if (!written) messages.Show(texts::CannotSaveFile, texts::AppCaption, MessageIcon::Warning);
  return written;
}

}  // namespace

const SaveAsType& SaveAsTypeInfo(int32_t type) {
  if (type < SaveAsFirstType || type > SaveAsTypeCount) return SaveAsTypes.back();
  return SaveAsTypes[static_cast<size_t>(type - SaveAsFirstType)];
}

std::string_view FileNamePart(std::string_view path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsFolderSeparator(path[i - 1])) return path.substr(i);
  }
  return path;
}

std::string WithDefaultExtension(std::string_view path, int32_t type) {
  std::string result(path);
  if (FileNamePart(path).find('.') == std::string_view::npos) {
    result += '.';
    result += SaveAsTypeInfo(type).defaultExtension;
  }
  return result;
}

std::string RewriteNameForType(std::string_view fieldText, int32_t type) {
  std::string result(fieldText);
  if (result.empty()) return result;
  const std::string_view name = FileNamePart(fieldText);
  const size_t nameStart = fieldText.size() - name.size();
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) result.resize(nameStart + dot);
  result += '.';
  result += SaveAsTypeInfo(type).defaultExtension;
  return result;
}

bool RunSaveAsType(Workspace& workspace, const std::string& path, int32_t type,
                   ImageEncoder& encoder, const CanvasFactory& makeCanvas, Messages& messages) {
  MapDocument& document = workspace.document;
  switch (SaveAsTypeInfo(type).action) {
    case SaveAsAction::BinaryDocument:
    case SaveAsAction::TextDocument: {
      const bool binary = SaveAsTypeInfo(type).action == SaveAsAction::BinaryDocument;
      const bool saved = binary ? WriteBinaryDocument(path, document, workspace.sheets, messages)
                                : WriteTextDocument(path, document, workspace.sheets, messages);
      // Exports leave the document as unsaved as it was.
      if (saved) ClearDocumentChanged(workspace);
      return saved;
    }
    case SaveAsAction::MapData:
      return ExportMapData(path, document.grid);
    case SaveAsAction::BackgroundAtlas:
      return ReportPicture(ExportAtlasImage(path, document, 0, encoder, messages), messages);
    case SaveAsAction::LayerAtlas:
      return ReportPicture(ExportAtlasImage(path, document, 1, encoder, messages), messages);
    case SaveAsAction::MapImage:
      return ReportPicture(ExportMapImage(path, document, workspace.display.showLayer, encoder,
                                          messages) == PictureWrite::Written,
                           messages);
    case SaveAsAction::TmxMap:
      return ExportEngineMap(path, document, EngineMapFormat::Tmx, encoder, makeCanvas, messages);
    case SaveAsAction::TmjMap:
      return ExportEngineMap(path, document, EngineMapFormat::Tmj, encoder, makeCanvas, messages);
    case SaveAsAction::Nothing:
      break;
  }
  return false;
}

bool SaveDocumentAs(Workspace& workspace, SaveAsChooser& chooser, ImageEncoder& encoder,
                    const CanvasFactory& makeCanvas, Messages& messages) {
  const MapDocument& document = workspace.document;
  const std::optional<SaveAsChoice> choice =
      chooser.Choose(document.documentFolder, document.documentFileName);
  if (!choice) return false;
  return RunSaveAsType(workspace, WithDefaultExtension(choice->path, choice->type), choice->type,
                       encoder, makeCanvas, messages);
}

}  // namespace kelvor
