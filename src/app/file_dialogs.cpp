#include "app/file_dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

#include "app/translations.h"
#include "platform/messages.h"

namespace kelvor {
namespace {

constexpr std::string_view OverwriteQuestion = "%1 は既に存在します。\n上書きしますか？";
constexpr std::string_view ChooseTypeText = "保存するファイルの種類を選んでください";

QString FolderOf(const QString& path) {
  return QFileInfo(path).absolutePath();
}

}  // namespace

QStringList OpenNameFilters() {
  QStringList filters;
  for (const OpenFileType& type : OpenFileTypes) filters << Tr(type.text);
  return filters;
}

QStringList SaveAsNameFilters() {
  QStringList filters;
  for (const SaveAsType& type : SaveAsTypes) filters << Tr(type.text);
  return filters;
}

std::optional<std::string> ChooseOpenPath(QWidget* owner, FileDialogFolder& folder) {
  QFileDialog dialog(owner);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(OpenNameFilters());
  dialog.selectNameFilter(OpenNameFilters().front());
  dialog.setDirectory(folder.current.isEmpty() ? QDir::currentPath() : folder.current);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString path = dialog.selectedFiles().front();
  folder.current = FolderOf(path);
  return QDir::toNativeSeparators(path).toStdString();
}

SaveAsFileDialog::SaveAsFileDialog(Messages& messages, const QString& folder, const QString& name,
                                   QWidget* owner)
    : QFileDialog(owner), messages_(messages) {
  setOption(QFileDialog::DontUseNativeDialog);
  // We ask ourselves, about the name that will really be written.
  setOption(QFileDialog::DontConfirmOverwrite);
  setAcceptMode(QFileDialog::AcceptSave);
  setFileMode(QFileDialog::AnyFile);
  setNameFilters(SaveAsNameFilters());
  selectNameFilter(SaveAsNameFilters().front());
  setDirectory(folder.isEmpty() ? QDir::currentPath() : folder);
  if (!name.isEmpty()) selectFile(name);
  // Connected after the preset type, so the preset name is shown as it is.
  connect(this, &QFileDialog::filterSelected, this, &SaveAsFileDialog::OnTypeSelected);
}

int32_t SaveAsFileDialog::selectedType() const {
  const qsizetype index = SaveAsNameFilters().indexOf(selectedNameFilter());
  return index < 0 ? SaveAsTypeCount : static_cast<int32_t>(index) + SaveAsFirstType;
}

QLineEdit* SaveAsFileDialog::nameField() const {
  return findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

void SaveAsFileDialog::OnTypeSelected(const QString& filter) {
  QLineEdit* field = nameField();
  if (field == nullptr || field->text().isEmpty()) return;
  const qsizetype index = SaveAsNameFilters().indexOf(filter);
  const int32_t type = index < 0 ? SaveAsTypeCount : static_cast<int32_t>(index) + 1;
  field->setText(QString::fromStdString(RewriteNameForType(field->text().toStdString(), type)));
}

void SaveAsFileDialog::accept() {
  const QStringList files = selectedFiles();
  // "All files" writes nothing: closing as if saved would leave the user
  // believing the map was stored, so the dialog asks for a type instead.
  if (SaveAsTypeInfo(selectedType()).action == SaveAsAction::Nothing && !files.isEmpty() &&
      !QFileInfo(files.front()).isDir()) {
    messages_.Show(ChooseTypeText, texts::AppCaption, MessageIcon::Warning);
    return;
  }
  if (!files.isEmpty() && !QFileInfo(files.front()).isDir()) {
    const QString target =
        QString::fromStdString(WithDefaultExtension(files.front().toStdString(), selectedType()));
    if (QFileInfo(target).isFile()) {
      const QString question = Tr(OverwriteQuestion).arg(QFileInfo(target).fileName());
      if (!messages_.AskYesNo(question.toStdString(), texts::AppCaption)) return;
    }
  }
  QFileDialog::accept();
}

std::optional<SaveAsChoice> QtSaveAsChooser::Choose(const std::string& folder,
                                                    const std::string& name) {
  // The document's folder when it has one, else where the dialogs last were.
  if (!folder.empty()) folder_.current = QString::fromStdString(folder);
  SaveAsFileDialog dialog(messages_, folder_.current, QString::fromStdString(name), owner_);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  SaveAsChoice choice;
  choice.path = QDir::toNativeSeparators(dialog.selectedFiles().front()).toStdString();
  choice.type = dialog.selectedType();
  folder_.current = FolderOf(dialog.selectedFiles().front());
  return choice;
}

}  // namespace kelvor
