#pragma once

#include <QPointer>
#include <QWidget>

#include "app/editor_context.h"

namespace kelvor {

// The dialogs the editor has so far: the About box. The size, file, colour,
// folder and transparency dialogs come with their own windows; until then
// their commands do nothing.
class PendingDialogs : public EditorDialogs {
 public:
  explicit PendingDialogs(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }

  void RunSizeDialog(bool) override {}
  void RunOpenDialog() override {}
  void RunSaveAsDialog() override {}
  bool ChooseColor(Color&) override { return false; }
  void RunChipFolderDialog() override {}
  void RunTransparencyDialog() override {}
  void ShowHelp() override {}
  void ShowAbout() override;

 private:
  QPointer<QWidget> owner_;
};

}  // namespace kelvor
