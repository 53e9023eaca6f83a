#include "files/unsaved_changes.h"

#include "platform/messages.h"
#include "workspace/workspace.h"

namespace kelvor {

bool HasUnsavedWork(const Workspace& ws) {
  return ws.unsaved.changed && ws.document.grid.Exists();
}

bool MayReplaceDocument(const Workspace& ws, Messages& messages,
                        const std::function<void()>& save) {
  if (!HasUnsavedWork(ws)) return true;
  switch (messages.AskYesNoCancel(texts::ConfirmSaveChanges, texts::AppCaption)) {
    case Answer::Yes:
      save();
      // A cancelled dialog, a failed write or an export (which is no
      // document) leaves the changes unsaved: they are not given up.
      return !ws.unsaved.changed;
    case Answer::No:
      return true;
    case Answer::Cancel:
      return false;
  }
  return false;
}

}  // namespace kelvor
