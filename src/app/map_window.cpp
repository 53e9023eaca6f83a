#include "app/map_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QUrl>
#include <utility>

#include "app/map_commands.h"
#include "app/menu_state.h"
#include "app/palette_dispatch.h"
#include "app/palette_window.h"
#include "app/qt_editor_dialogs.h"
#include "app/qt_messages.h"
#include "app/single_instance.h"
#include "app/translations.h"
#include "app/window_title.h"
#include "document/chip_sheet_loader.h"
#include "files/open_document.h"
#include "files/unsaved_changes.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_clipboard.h"
#include "platform/qt/qt_image_codec.h"
#include "render/paint_view.h"
#include "resources/artwork.h"
#include "resources/menu_tables.h"
#include "tools/edit_tools.h"
#include "tools/map_gestures.h"
#include "tools/selection_ops.h"
#include "workspace/workspace.h"

namespace kelvor {
namespace {

template <typename T, typename Default>
std::unique_ptr<T> MakeUnlessGiven(T* given) {
  return given ? nullptr : std::make_unique<Default>();
}

PixelPoint ToPixelPoint(const QPoint& point) {
  return PixelPoint{point.x(), point.y()};
}

QKeySequence AcceleratorKey(const AcceleratorDef& accelerator) {
  const Qt::Key key = accelerator.key == ' ' ? Qt::Key_Space : Qt::Key(accelerator.key);
  return QKeySequence(
      QKeyCombination(accelerator.ctrl ? Qt::ControlModifier : Qt::NoModifier, key));
}

}  // namespace

MapWindow::MapWindow(Workspace& workspace, EditorServices services, QWidget* parent)
    : QMainWindow(parent),
      workspace_(workspace),
      ownMessages_(MakeUnlessGiven<Messages, QtMessages>(services.messages)),
      ownClipboard_(MakeUnlessGiven<Clipboard, QtClipboard>(services.clipboard)),
      ownDecoder_(MakeUnlessGiven<ImageDecoder, QtImageDecoder>(services.decoder)),
      ownDialogs_(MakeUnlessGiven<EditorDialogs, QtEditorDialogs>(services.dialogs)),
      context_{workspace,
               services.messages ? *services.messages : *ownMessages_,
               services.clipboard ? *services.clipboard : *ownClipboard_,
               services.decoder ? *services.decoder : *ownDecoder_,
               *this,
               services.dialogs ? *services.dialogs : *ownDialogs_},
      scroll_(&workspace.mapView()),
      menu_(LoadMenuModel(MenuMapWindow)) {
  if (auto* messages = dynamic_cast<QtMessages*>(ownMessages_.get())) messages->SetOwner(this);
  if (auto* dialogs = dynamic_cast<QtEditorDialogs*>(ownDialogs_.get())) {
    dialogs->Attach(
        &context_, this, [this]() -> QWidget* { return palette_.data(); },
        [this](const std::string& path) { OpenDocumentFile(path); });
  }
  setObjectName(QStringLiteral("CLASS_Kelvor"));
  setWindowTitle(QStringLiteral("Kelvor"));
  setWindowIcon(AppIcon());
  setAcceptDrops(true);

  view_ = new ViewArea(scroll_, this);
  setCentralWidget(view_);
  view_->onPaint = [this](QPainter& painter, QSize size) { PaintMap(painter, size); };
  view_->onMousePress = [this](QMouseEvent* e) { OnMousePress(e); };
  view_->onMouseMove = [this](QMouseEvent* e) { OnMouseMove(e); };
  view_->onMouseRelease = [this](QMouseEvent* e) { OnMouseRelease(e); };
  view_->onContextMenu = [this](QContextMenuEvent* e) { OnContextMenu(e); };
  view_->onKeyPress = [this](QKeyEvent* e) { return OnKeyPress(e); };
  view_->onResize = [this] {
    kelvor::RefreshMapExtent(workspace_, scroll_);
    RecountVisibleCells(workspace_);
  };

  menus_.Build(menuBar(), menu_, [this](int32_t id) { RunCommand(id); });
  for (size_t index = 0; index < menus_.popupCount(); ++index) {
    connect(menus_.popup(index), &QMenu::aboutToShow, this,
            [this, index] { PreparePopup(static_cast<int32_t>(index)); });
  }
  workspace_.undo.onStateChanged = [this] {
    UpdateUndoMenuState(menu_, workspace_.undo);
    menus_.Sync(1, menu_);
  };
  qApp->installEventFilter(&keys_);
  InstallShortcuts();
  InstallNavigation();
  handOverTimer_.setSingleShot(true);
  handOverTimer_.setInterval(200);
  connect(&handOverTimer_, &QTimer::timeout, this, &MapWindow::TakeHandedOver);
  resize(640, 480);
}

MapWindow::~MapWindow() {
  qApp->removeEventFilter(&keys_);
  workspace_.undo.onStateChanged = nullptr;
  delete palette_;
}

void MapWindow::InstallShortcuts() {
  // Accelerators work in both windows and always run the map window's commands.
  for (const AcceleratorDef& accelerator : AcceleratorDefs()) {
    auto* shortcut = new QShortcut(AcceleratorKey(accelerator), this);
    shortcut->setContext(Qt::ApplicationShortcut);
    shortcut->setAutoRepeat(true);
    const int32_t command = accelerator.command;
    connect(shortcut, &QShortcut::activated, this, [this, command] { RunAccelerator(command); });
  }
  // Ctrl+S saves whenever "上書き保存(&S)" is enabled, as its key hint promises.
  auto* save = new QShortcut(QKeySequence(QKeyCombination(Qt::ControlModifier, Qt::Key_S)), this);
  save->setContext(Qt::ApplicationShortcut);
  connect(save, &QShortcut::activated, this, [this] { RunAccelerator(CommandSave); });
}

void MapWindow::RunAccelerator(int32_t id) {
  // A key does nothing while its menu item is greyed: the item's popup gets
  // the states it would show if opened now (Undo and Redo keep theirs unless
  // the popup greys them). A command without an item (Space) always runs.
  for (size_t index = 0; index < menu_.popups.size(); ++index) {
    if (menu_.popups[index].FindId(id) == nullptr) continue;
    PreparePopup(static_cast<int32_t>(index));
    if (!menu_.popups[index].FindId(id)->enabled) return;
    break;
  }
  RunCommand(id);
}

void MapWindow::Start(const StartOptions& options) {
  Workspace& ws = workspace_;
  if (auto* dialogs = dynamic_cast<QtEditorDialogs*>(ownDialogs_.get())) {
    dialogs->SetLanguage(options.language);
  }
  scroll_.Init();
  show();
  CreatePaletteWindow();
  // Reset, folders, chip-set scan, atlases and the proposed 20 x 15 map.
  const StartupResult startup = InitializeWorkspace(ws, options.exeFolder, context_.decoder);
  RefreshTitle();
  RebuildSheetMenu();
  RefreshPaletteExtent();
  lineCursor_ = LineCursor();
  fillCursor_ = FillCursor();
  bool restored = false;
  if (options.recovery) {
    recovery_ = std::make_unique<RecoveryKeeper>(ws, *options.recovery);
    OpenRefresh refresh;
    restored = recovery_->OfferRestore(context_, refresh);
    if (recovery_->ending()) return;
    if (restored) ApplyOpenRefresh(context_, refresh);
  }
  // A document named on the command line gives way to a restored copy.
  if (!restored && !options.arguments.empty()) OpenDocumentFile(options.arguments.front());
  ws.input.mouseEnabled = true;
  // The map view takes the keys (C, X, V) from the start.
  view_->setFocus();
  UpdateUndoMenuState(menu_, ws.undo);
  menus_.Sync(1, menu_);
  if (!startup.chipFolderExists) {
    const std::string folder = ChipFolderPath(ws.folders.exeFolder, ws.folders.chipFolder);
    const TextArg args[] = {folder};
    context_.messages.Show(FormatText(texts::MissingChipFolder, args), texts::AppCaption,
                           MessageIcon::None);
  }
}

void MapWindow::CreatePaletteWindow() {
  palette_ = new PaletteWindow(context_, this);
  palette_->paint = [this](QPainter& painter, QSize size) { PaintPalette(painter, size); };
  const QRect frame = frameGeometry();
  palette_->move(frame.right() + 1, frame.top());
  palette_->show();
}

void MapWindow::OpenDocumentFile(const std::string& path) {
  OpenDocumentAndRefresh(context_, path);
}

void MapWindow::RunCommand(int32_t id) {
  if (RunNavigationCommand(id)) return;
  DispatchMapCommand(context_, id);
  RefreshNavigation();
}

void MapWindow::PreparePopup(int32_t index) {
  UpdateMapMenuState(menu_, index, workspace_, palette_ && palette_->isVisible());
  UpdateNavigationMenuState(index);
  menus_.Sync(static_cast<size_t>(index), menu_);
}

QMenu* MapWindow::BuildContextMenu() {
  MenuModel model = LoadMenuModel(MenuMapContext);
  UpdateContextMenuState(model.popups[0], workspace_);
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  MenuBinding::Fill(menu, model.popups[0], [this](int32_t id) { RunCommand(id); });
  return menu;
}

// --- painting --------------------------------------------------------------

void MapWindow::PaintMap(QPainter& painter, QSize size) {
  PaintRequest request;
  request.window = ViewMap;
  request.clientWidth = size.width();
  request.clientHeight = size.height();
  const CanvasFactory makeCanvas = [](PixelBuffer& target) {
    return std::make_unique<QtCanvas>(target);
  };
  PixelBuffer picture = PaintView(workspace_, request, makeCanvas, atlases_);
  if (picture.Empty()) return;
  painter.drawImage(0, 0, WrapPixelBufferReadOnly(picture));
}

void MapWindow::PaintPalette(QPainter& painter, QSize size) {
  PaintRequest request;
  request.window = ViewPalette;
  request.clientWidth = size.width();
  request.clientHeight = size.height();
  request.paletteHoldsCapture = workspace_.palette.dragging;
  const CanvasFactory makeCanvas = [](PixelBuffer& target) {
    return std::make_unique<QtCanvas>(target);
  };
  PixelBuffer picture = PaintView(workspace_, request, makeCanvas, atlases_);
  if (picture.Empty()) return;
  painter.drawImage(0, 0, WrapPixelBufferReadOnly(picture));
}

// --- mouse and keys ----------------------------------------------------------

HeldKeys MapWindow::HeldKeysNow() const {
  return keys_.keys();
}

HeldKeys MapWindow::KeysWith(const QMouseEvent* event) const {
  HeldKeys keys = keys_.keys();
  keys.ctrl = keys.ctrl || event->modifiers().testFlag(Qt::ControlModifier);
  keys.shift = keys.shift || event->modifiers().testFlag(Qt::ShiftModifier);
  return keys;
}

void MapWindow::OnMousePress(QMouseEvent* event) {
  const PixelPoint point = ToPixelPoint(event->position().toPoint());
  if (event->button() == Qt::RightButton) {
    workspace_.input.rightClickPoint = point;
    return;
  }
  if (event->button() != Qt::LeftButton || !workspace_.input.mouseEnabled) return;
  ApplyToolResult(context_, OnMapGestureDown(workspace_, point, KeysWith(event),
                                             context_.clipboard, context_.messages));
}

void MapWindow::OnMouseMove(QMouseEvent* event) {
  if (!workspace_.input.mouseEnabled) return;
  // The map does not hold the mouse: a stroke dragged out of the view stops
  // where it left instead of painting along the edge. (The toolkit's implicit
  // grab would deliver these moves.)
  const QPoint point = event->position().toPoint();
  if (!view_->viewport()->rect().contains(point)) return;
  const bool leftDown = event->buttons().testFlag(Qt::LeftButton);
  ApplyToolResult(context_,
                  OnMapGestureMove(workspace_, ToPixelPoint(point), KeysWith(event), leftDown));
}

void MapWindow::OnMouseRelease(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  // While the gate is closed this only opens it.
  ApplyToolResult(context_, OnMapGestureUp(workspace_, KeysWith(event), ConfirmDroppedCells()));
}

void MapWindow::OnContextMenu(QContextMenuEvent* event) {
  QMenu* menu = BuildContextMenu();
  menu->popup(event->globalPos());
}

bool MapWindow::OnKeyPress(QKeyEvent* event) {
  if (OnEditKey(event)) return true;
  MapKey key;
  switch (event->key()) {
    case Qt::Key_C:
      key = MapKey::C;
      break;
    case Qt::Key_X:
      key = MapKey::X;
      break;
    case Qt::Key_V:
      key = MapKey::V;
      break;
    case Qt::Key_Control:
      key = MapKey::Ctrl;
      break;
    default:
      return false;
  }
  ApplyToolResult(context_, OnMapKeyDown(workspace_, context_.clipboard, key));
  return true;
}

// --- shell actions -----------------------------------------------------------

void MapWindow::RepaintMap() {
  view_->viewport()->update();
}

void MapWindow::RepaintPalette() {
  if (palette_) palette_->Repaint();
}

void MapWindow::RefreshTitle() {
  setWindowTitle(QString::fromStdString(FormatMapTitle(workspace_.document)));
}

void MapWindow::RefreshMapExtent() {
  kelvor::RefreshMapExtent(workspace_, scroll_);
  view_->ApplyScroll();
}

void MapWindow::RefreshPaletteExtent() {
  if (palette_) palette_->RefreshExtent();
}

void MapWindow::RebuildSheetMenu() {
  if (palette_) palette_->RebuildSheetMenu();
}

void MapWindow::TogglePaletteWindow() {
  if (!palette_) return;
  if (palette_->isVisible()) {
    palette_->hide();
  } else {
    palette_->show();
  }
}

void MapWindow::SetPaletteTitle(std::string_view title) {
  if (palette_) {
    palette_->setWindowTitle(PaletteCaption(title));
  }
}

void MapWindow::ShowPenCursor(PenCursor cursor) {
  switch (cursor) {
    case PenCursor::Keep:
      break;
    case PenCursor::Line:
      view_->viewport()->setCursor(lineCursor_);
      break;
    case PenCursor::Fill:
      view_->viewport()->setCursor(fillCursor_);
      break;
    case PenCursor::Arrow:
      view_->viewport()->setCursor(Qt::ArrowCursor);
      break;
  }
}

void MapWindow::RequestClose() {
  close();
}

void MapWindow::closeEvent(QCloseEvent* event) {
  if (closing_) {
    event->accept();
    return;
  }
  // Unsaved changes get the save question in place of the plain one.
  const bool mayEnd = HasUnsavedWork(workspace_)
                          ? MayReplaceDocument(context_)
                          : context_.messages.AskYesNo(texts::ConfirmQuit, texts::AppCaption);
  if (!mayEnd) {
    event->ignore();
    return;
  }
  closing_ = true;
  if (recovery_) recovery_->Discard();
  ReleaseDocument(workspace_);
  context_.clipboard.Empty();
  if (palette_) palette_->hide();
  event->accept();
}

void MapWindow::EndOnSignal() {
  if (recovery_) recovery_->WriteLastCopy();
  closing_ = true;
  // Every running event loop ends, modal dialogs included; the queued exit
  // ends the main loop should it not run yet (a signal during start-up).
  QCoreApplication::exit(0);
  QMetaObject::invokeMethod(
      qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void MapWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MapWindow::dropEvent(QDropEvent* event) {
  // The drop is finished first: the program it came from is not kept
  // waiting while the user answers the question about unsaved changes.
  const QList<QUrl> urls = event->mimeData()->urls();
  event->acceptProposedAction();
  QMetaObject::invokeMethod(
      this, [this, urls] { OpenDroppedFiles(urls); }, Qt::QueuedConnection);
}

void MapWindow::OpenDroppedFiles(const QList<QUrl>& urls) {
  if (urls.isEmpty() || !urls.front().isLocalFile()) return;
  ReplaceDocumentWith(context_, QFile::encodeName(urls.front().toLocalFile()).toStdString());
  RepaintMap();
}

void MapWindow::OpenHandedOver(const std::string& path) {
  RaiseWindow(this);
  handedOver_ = path;
  // Taken from the event loop, as a drop is: the channel that brought the
  // path is done with before any question is asked.
  QMetaObject::invokeMethod(this, &MapWindow::TakeHandedOver, Qt::QueuedConnection);
}

void MapWindow::TakeHandedOver() {
  if (handedOver_.empty() || closing_) return;
  // Never under an open dialog (the question of a drop included) or menu:
  // the file waits until the user is done there.
  if (QApplication::activeModalWidget() != nullptr ||
      QApplication::activePopupWidget() != nullptr) {
    handOverTimer_.start();
    return;
  }
  const std::string path = std::exchange(handedOver_, std::string());
  ReplaceDocumentWith(context_, path);
  RepaintMap();
}

}  // namespace kelvor
