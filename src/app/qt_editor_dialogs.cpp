#include "app/qt_editor_dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#include "app/map_commands.h"
#include "app/map_size_dialog.h"
#include "app/palette_dispatch.h"
#include "app/transparency_dialog.h"
#include "files/open_document.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_image_codec.h"
#include "resources/artwork.h"
#include "workspace/workspace.h"

namespace kelvor {

std::vector<std::string> HelpLocations(const std::string& exeFolder, UiLanguage language) {
  const QDir folder(QString::fromStdString(exeFolder));
  std::vector<std::string> locations = {
      folder.filePath(QStringLiteral("Kelvor.chm")).toStdString()};
  const char* chosen = language == UiLanguage::English ? "en" : "ja";
  const char* other = language == UiLanguage::English ? "ja" : "en";
  for (const char* lang : {chosen, other}) {
    const QString index =
        QStringLiteral("../share/doc/kelvor/manual/%1/index.html").arg(QString::fromLatin1(lang));
    locations.push_back(QDir::cleanPath(folder.filePath(index)).toStdString());
  }
  return locations;
}

std::unique_ptr<QMessageBox> MakeAboutBox(QWidget* owner) {
  auto box = std::make_unique<QMessageBox>(owner);
  box->setWindowTitle(QStringLiteral("Kelvor"));
  box->setText(QStringLiteral("Kelvor"));
  const TextArg version[] = {std::string_view(ProgramVersion)};
  box->setInformativeText(QString::fromStdString(FormatText(AboutVersionFormat, version)));
  box->setIconPixmap(AppIcon().pixmap(32, 32));
  box->setStandardButtons(QMessageBox::Ok);
  return box;
}

QtEditorDialogs::QtEditorDialogs()
    : pickColor_(ChooseSettingColor),
      browseFolder_(BrowseForFolder),
      openHelp_([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      ownEncoder_(std::make_unique<QtImageEncoder>()),
      encoder_(ownEncoder_.get()) {
  fileFolder_.current = QDir::currentPath();
  ResetCustomColors();
}

QtEditorDialogs::~QtEditorDialogs() = default;

void QtEditorDialogs::Attach(EditorContext* context, QWidget* mapOwner,
                             std::function<QWidget*()> paletteOwner,
                             std::function<void(const std::string&)> openDocument) {
  context_ = context;
  mapOwner_ = mapOwner;
  paletteOwner_ = std::move(paletteOwner);
  openDocument_ = std::move(openDocument);
}

void QtEditorDialogs::SetImageEncoder(ImageEncoder* encoder) {
  encoder_ = encoder != nullptr ? encoder : ownEncoder_.get();
}

QWidget* QtEditorDialogs::PaletteOwner() const {
  QWidget* palette = paletteOwner_ ? paletteOwner_() : nullptr;
  // A hidden palette would hide its dialog with it.
  return palette != nullptr && palette->isVisible() ? palette : MapOwner();
}

void QtEditorDialogs::RunSizeDialog(bool newMap) {
  if (context_ == nullptr) return;
  MapSizeDialog dialog(context_->workspace, context_->messages, newMap, MapOwner());
  if (dialog.exec() != QDialog::Accepted) return;
  if (dialog.sizeResult().refreshMapExtent) context_->shell.RefreshMapExtent();
  context_->shell.RepaintMap();
}

void QtEditorDialogs::RunOpenDialog() {
  if (context_ == nullptr) return;
  const std::optional<std::string> path = ChooseOpenPath(MapOwner(), fileFolder_);
  if (!path) return;
  if (openDocument_) {
    openDocument_(*path);
  } else {
    OpenDocumentAndRefresh(*context_, *path);
  }
}

void QtEditorDialogs::RunSaveAsDialog() {
  if (context_ == nullptr) return;
  QtSaveAsChooser chooser(MapOwner(), context_->messages, fileFolder_);
  SaveDocumentAs(context_->workspace, chooser, *encoder_, MakeQtCanvas, context_->messages);
  context_->shell.RepaintMap();
}

bool QtEditorDialogs::ChooseColor(Color& color) {
  QWidget* owner = QApplication::activeWindow();
  return pickColor_ && pickColor_(owner != nullptr ? owner : MapOwner(), color);
}

void QtEditorDialogs::RunChipFolderDialog() {
  if (context_ == nullptr) return;
  EditorContext& context = *context_;
  ChipFolderDialog dialog(
      context.workspace.folders, browseFolder_, [&context] { RescanChipFolder(context); },
      PaletteOwner());
  dialog.exec();
}

void QtEditorDialogs::RunTransparencyDialog() {
  if (context_ == nullptr) return;
  TransparencyDialog dialog(context_->workspace, context_->decoder, pickColor_, PaletteOwner());
  dialog.exec();
  if (dialog.reloaded()) {
    context_->shell.RefreshPaletteExtent();
    context_->shell.RepaintPalette();
  }
}

void QtEditorDialogs::ShowHelp() {
  if (context_ == nullptr) return;
  const std::vector<std::string> locations =
      HelpLocations(context_->workspace.folders.exeFolder, language_);
  for (const std::string& path : locations) {
    const QString file = QString::fromStdString(path);
    // A viewer that cannot be started leaves the next place to try.
    if (QFileInfo(file).isFile() && openHelp_ && openHelp_(QUrl::fromLocalFile(file))) return;
  }
  std::string searched;
  for (const std::string& path : locations) searched += (searched.empty() ? "" : "\n") + path;
  const TextArg args[] = {searched};
  context_->messages.Show(FormatText(texts::CannotOpenManual, args), texts::AppCaption,
                          MessageIcon::Warning);
}

void QtEditorDialogs::ShowAbout() {
  MakeAboutBox(MapOwner())->exec();
}

}  // namespace kelvor
