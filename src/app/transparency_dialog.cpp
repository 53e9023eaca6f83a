#include "app/transparency_dialog.h"

#include "ui_transparency_dialog.h"
#include "workspace/workspace.h"

namespace kelvor {

TransparencyDialog::TransparencyDialog(Workspace& workspace, ImageDecoder& decoder,
                                       ColorPicker pickColor, QWidget* owner)
    : QDialog(owner),
      ui_(std::make_unique<Ui::TransparencyDialog>()),
      workspace_(workspace),
      decoder_(decoder),
      pickColor_(std::move(pickColor)) {
  ui_->setupUi(this);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  model_.Open(workspace_.sheets);
  ShowKeyState();
  connect(ui_->control_1005, &QRadioButton::clicked, this, [this] {
    model_.SetKeyOn(false);
    ShowKeyState();
  });
  connect(ui_->control_1006, &QRadioButton::clicked, this, [this] {
    model_.SetKeyOn(true);
    ShowKeyState();
  });
  connect(ui_->control_1004, &QPushButton::clicked, this, [this] {
    Color color = model_.KeyColor();
    if (pickColor_ && pickColor_(this, color)) model_.SetKeyColor(color);
  });
  connect(ui_->control_1, &QPushButton::clicked, this, &TransparencyDialog::accept);
  connect(ui_->control_2, &QPushButton::clicked, this, &TransparencyDialog::reject);
}

TransparencyDialog::~TransparencyDialog() = default;

QRadioButton* TransparencyDialog::noKeyButton() const {
  return ui_->control_1005;
}
QRadioButton* TransparencyDialog::keyButton() const {
  return ui_->control_1006;
}
QPushButton* TransparencyDialog::colorButton() const {
  return ui_->control_1004;
}

void TransparencyDialog::ShowKeyState() {
  const bool on = model_.KeyOn();
  ui_->control_1006->setChecked(on);
  ui_->control_1005->setChecked(!on);
  ui_->control_1004->setEnabled(model_.ChooseEnabled());
}

void TransparencyDialog::accept() {
  // The key is stored with the document.
  if (model_.KeyChanged()) MarkDocumentChanged(workspace_);
  reloaded_ = model_.Accept(workspace_.folders.exeFolder, workspace_.folders.chipFolder, decoder_);
  QDialog::accept();
}

void TransparencyDialog::reject() {
  model_.Cancel();
  QDialog::reject();
}

}  // namespace kelvor
