#include "files/document_saving.h"

namespace kelvor {

bool SaveDocumentFile(const std::string& path, MapDocument& document, Messages& messages,
                      const std::function<void(ByteSink&)>& serialize) {
  FileWriteStatus status = FileWriteStatus::CannotCreate;
  {
    WaitCursorScope wait(messages);
    AtomicFile file;
    if (file.Open(path)) {
      serialize(file);
      status = file.Commit();
    }
  }
  if (status == FileWriteStatus::Ok) StoreDocumentPath(document, path);
  return ReportWriteStatus(status, messages);
}

bool ReportWriteStatus(FileWriteStatus status, Messages& messages) {
  switch (status) {
    case FileWriteStatus::Ok:
      return true;
    case FileWriteStatus::CannotCreate:
      messages.Show(texts::CannotCreateFile, texts::AppCaption, MessageIcon::Error);
      return false;
    case FileWriteStatus::CannotWrite:
      messages.Show(texts::CannotSaveFile, texts::AppCaption, MessageIcon::Error);
      return false;
  }
  return false;
}

}  // namespace kelvor
