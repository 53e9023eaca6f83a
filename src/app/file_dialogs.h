#pragma once

#include <QFileDialog>
#include <QString>
#include <optional>
#include <string>

#include "files/save_as.h"

class QLineEdit;

namespace kelvor {

class Messages;

// The folder the file dialogs open in: where the last one was confirmed,
// or where the document lives for Save As. Starts as the working folder.
struct FileDialogFolder {
  QString current;
};

// The name filters of a type table, in its order and the interface language.
QStringList OpenNameFilters();
QStringList SaveAsNameFilters();

// The Open dialog: the two document types, the first selected, in the
// remembered folder. The chosen path, or nothing when cancelled.
std::optional<std::string> ChooseOpenPath(QWidget* owner, FileDialogFolder& folder);

// The Save As dialog: every Save As type, type 1 selected. Picking another type
// rewrites the extension of the name in the field; confirming asks before
// replacing a file that exists under the final name (the default extension
// included). "All files" only browses: confirming with it asks for a type.
class SaveAsFileDialog : public QFileDialog {
  Q_OBJECT

 public:
  SaveAsFileDialog(Messages& messages, const QString& folder, const QString& name,
                   QWidget* owner = nullptr);

  // The chosen type, 1..SaveAsTypeCount.
  int32_t selectedType() const;
  QLineEdit* nameField() const;

 public slots:
  void accept() override;

 private:
  void OnTypeSelected(const QString& filter);

  Messages& messages_;
};

// Save As through SaveAsFileDialog; remembers the folder of a confirmed choice.
class QtSaveAsChooser : public SaveAsChooser {
 public:
  QtSaveAsChooser(QWidget* owner, Messages& messages, FileDialogFolder& folder)
      : owner_(owner), messages_(messages), folder_(folder) {}
  std::optional<SaveAsChoice> Choose(const std::string& folder, const std::string& name) override;

 private:
  QWidget* owner_;
  Messages& messages_;
  FileDialogFolder& folder_;
};

}  // namespace kelvor
