#pragma once

#include <QDialog>
#include <memory>

#include "app/color_chooser.h"
#include "document/transparency_dialog_model.h"

class QPushButton;
class QRadioButton;

namespace Ui {
class TransparencyDialog;
}

namespace kelvor {

struct Workspace;
class ImageDecoder;

// "透過色設定" for the sheet current when it opens. The choices take effect
// at once; OK reloads the sheet's image keeping its flags and applies the
// colour key, Cancel (also Escape and the close box) puts the old key back.
class TransparencyDialog : public QDialog {
  Q_OBJECT

 public:
  TransparencyDialog(Workspace& workspace, ImageDecoder& decoder, ColorPicker pickColor,
                     QWidget* owner = nullptr);
  ~TransparencyDialog() override;

  // True after OK when the sheet was reloaded (the palette then repaints).
  bool reloaded() const { return reloaded_; }

  QRadioButton* noKeyButton() const;
  QRadioButton* keyButton() const;
  QPushButton* colorButton() const;

 public slots:
  void accept() override;
  void reject() override;

 private:
  void ShowKeyState();

  std::unique_ptr<Ui::TransparencyDialog> ui_;
  Workspace& workspace_;
  ImageDecoder& decoder_;
  ColorPicker pickColor_;
  TransparencyDialogModel model_;
  bool reloaded_ = false;
};

}  // namespace kelvor
