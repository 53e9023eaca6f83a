#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QLineEdit;
class QPushButton;

namespace Ui {
class ChipFolderDialog;
}

namespace kelvor {

struct FolderSettings;

// Asks for a folder, starting on `current` (empty = anywhere); nothing when
// cancelled. Tests hand in their own.
using FolderBrowser =
    std::function<std::optional<std::string>(QWidget* owner, const std::string& current)>;

// The desktop's folder chooser (Qt's own widget dialog), titled as the
// editor's folder browser always was.
std::optional<std::string> BrowseForFolder(QWidget* owner, const std::string& current);

// Lets the user pick the chip-set folder, preselecting the current one. The
// choice goes straight into `chipFolder`, so it stays even when the dialog it
// was started from is cancelled. True when a folder was chosen.
bool BrowseChipFolder(QWidget* owner, FolderSettings& folders, const FolderBrowser& browse);

// "ﾁｯﾌﾟｾｯﾄ設定": the chip-set folder of this run. OK stores the typed path
// and, when that folder exists, rescans it; a path that does not exist is
// stored without a scan.
class ChipFolderDialog : public QDialog {
  Q_OBJECT

 public:
  ChipFolderDialog(FolderSettings& folders, FolderBrowser browse, std::function<void()> rescan,
                   QWidget* owner = nullptr);
  ~ChipFolderDialog() override;

  QLineEdit* pathField() const;
  QPushButton* browseButton() const;

 public slots:
  void accept() override;
  void Browse();

 private:
  std::unique_ptr<Ui::ChipFolderDialog> ui_;
  FolderSettings& folders_;
  FolderBrowser browse_;
  std::function<void()> rescan_;
};

}  // namespace kelvor
