#include "app/chip_folder_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <filesystem>

#include "app/translations.h"
#include "document/chip_sheet_loader.h"
#include "ui_chip_folder_dialog.h"
#include "workspace/workspace.h"

namespace kelvor {
namespace {

constexpr const char* BrowseTitle = "ﾁｯﾌﾟｾｯﾄ ﾌｧｲﾙの入っているﾌｫﾙﾀﾞを指定してください";

// Folders of any length the system takes; the old 260-character limit
// would cut a long path short without a word.
constexpr int MaxPathChars = 4095;

bool FolderExists(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::exists(std::filesystem::path(path), error);
}

}  // namespace

std::optional<std::string> BrowseForFolder(QWidget* owner, const std::string& current) {
  const QString chosen = QFileDialog::getExistingDirectory(
      owner, Tr(BrowseTitle), QString::fromStdString(current),
      QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  if (chosen.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(chosen).toStdString();
}

bool BrowseChipFolder(QWidget* owner, FolderSettings& folders, const FolderBrowser& browse) {
  const std::optional<std::string> chosen = browse(owner, folders.chipFolder);
  if (!chosen) return false;
  folders.chipFolder = *chosen;
  return true;
}

ChipFolderDialog::ChipFolderDialog(FolderSettings& folders, FolderBrowser browse,
                                   std::function<void()> rescan, QWidget* owner)
    : QDialog(owner),
      ui_(std::make_unique<Ui::ChipFolderDialog>()),
      folders_(folders),
      browse_(std::move(browse)),
      rescan_(std::move(rescan)) {
  ui_->setupUi(this);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  ui_->control_1000->setMaxLength(MaxPathChars);
  ui_->control_1000->setText(
      QString::fromStdString(ChipFolderPath(folders_.exeFolder, folders_.chipFolder)));
  connect(ui_->control_1, &QPushButton::clicked, this, &ChipFolderDialog::accept);
  connect(ui_->control_2, &QPushButton::clicked, this, &ChipFolderDialog::reject);
  connect(ui_->control_1004, &QPushButton::clicked, this, &ChipFolderDialog::Browse);
}

ChipFolderDialog::~ChipFolderDialog() = default;

QLineEdit* ChipFolderDialog::pathField() const {
  return ui_->control_1000;
}
QPushButton* ChipFolderDialog::browseButton() const {
  return ui_->control_1004;
}

void ChipFolderDialog::accept() {
  folders_.chipFolder = ui_->control_1000->text().toStdString();
  if (FolderExists(folders_.chipFolder) && rescan_) rescan_();
  QDialog::accept();
}

void ChipFolderDialog::Browse() {
  BrowseChipFolder(this, folders_, browse_);
  // Also after a cancelled browse: the stored folder replaces what was typed.
  if (FolderExists(folders_.chipFolder)) {
    ui_->control_1000->setText(QString::fromStdString(folders_.chipFolder));
  }
}

}  // namespace kelvor
