#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/chip_folder_dialog.h"
#include "app/color_chooser.h"
#include "app/editor_context.h"
#include "app/file_dialogs.h"
#include "app/translations.h"
#include "base/program_info.h"

namespace kelvor {

class ImageEncoder;

inline constexpr std::string_view AboutVersionFormat = "Kelvor ver.%s";

// Where help is looked for, in this order: Kelvor.chm beside the program,
// then the manual's index page in `language`, then in the other language.
// The manual lies where an installed copy keeps it, ../share/doc/kelvor/manual
// from the program (the build tree mirrors it).
std::vector<std::string> HelpLocations(const std::string& exeFolder, UiLanguage language);

// The About box: the program's name, its version line and icon 101.
std::unique_ptr<QMessageBox> MakeAboutBox(QWidget* owner);

// The editor's dialogs on Qt: the size, folder and transparency dialogs,
// the file dialogs with the save flow, the colour chooser, help and About.
class QtEditorDialogs : public EditorDialogs {
 public:
  QtEditorDialogs();
  ~QtEditorDialogs() override;

  // Binds to the editor once its context exists. `paletteOwner` gives the
  // palette window (the owner of its dialogs) when it exists; `openDocument`
  // opens a chosen document and refreshes the windows.
  void Attach(EditorContext* context, QWidget* mapOwner, std::function<QWidget*()> paletteOwner,
              std::function<void(const std::string&)> openDocument);

  // What the dialogs call out to; tests replace them.
  void SetColorPicker(ColorPicker picker) { pickColor_ = std::move(picker); }
  void SetFolderBrowser(FolderBrowser browser) { browseFolder_ = std::move(browser); }
  void SetHelpOpener(std::function<bool(const QUrl&)> opener) { openHelp_ = std::move(opener); }
  void SetImageEncoder(ImageEncoder* encoder);
  // The language whose manual Help opens.
  void SetLanguage(UiLanguage language) { language_ = language; }
  FileDialogFolder& fileFolder() { return fileFolder_; }

  void RunSizeDialog(bool newMap) override;
  void RunOpenDialog() override;
  void RunSaveAsDialog() override;
  bool ChooseColor(Color& color) override;
  void RunChipFolderDialog() override;
  void RunTransparencyDialog() override;
  void ShowHelp() override;
  void ShowAbout() override;

 private:
  QWidget* MapOwner() const { return mapOwner_.data(); }
  QWidget* PaletteOwner() const;

  EditorContext* context_ = nullptr;
  QPointer<QWidget> mapOwner_;
  std::function<QWidget*()> paletteOwner_;
  std::function<void(const std::string&)> openDocument_;
  ColorPicker pickColor_;
  FolderBrowser browseFolder_;
  std::function<bool(const QUrl&)> openHelp_;
  std::unique_ptr<ImageEncoder> ownEncoder_;
  ImageEncoder* encoder_ = nullptr;
  FileDialogFolder fileFolder_;
  UiLanguage language_ = UiLanguage::Japanese;
};

}  // namespace kelvor
