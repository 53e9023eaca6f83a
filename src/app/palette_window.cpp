#include "app/palette_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>

#include "app/editor_context.h"
#include "app/menu_state.h"
#include "app/palette_dispatch.h"
#include "app/status_line.h"
#include "app/translations.h"
#include "app/view_navigation.h"
#include "resources/artwork.h"
#include "tools/palette_commands.h"
#include "tools/palette_selection.h"
#include "workspace/workspace.h"

namespace kelvor {
namespace {

PixelPoint ToPixelPoint(const QPoint& point) {
  return PixelPoint{point.x(), point.y()};
}

}  // namespace

PaletteWindow::PaletteWindow(EditorContext& context, QWidget* owner)
    : QMainWindow(owner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                             Qt::WindowSystemMenuHint | Qt::CustomizeWindowHint),
      context_(context),
      scroll_(&context.workspace.paletteView()),
      menu_(LoadMenuModel(MenuPaletteWindow)) {
  setObjectName(QStringLiteral("CLASS_Mapchip"));
  setWindowTitle(Tr(PaletteModeTitle(PaletteModePlacement)));
  setWindowIcon(AppIcon());
  scroll_.Init();
  view_ = new ViewArea(scroll_, this);
  setCentralWidget(view_);
  view_->onPaint = [this](QPainter& painter, QSize size) {
    if (paint) paint(painter, size);
    RefreshStatus();
  };
  view_->onPointer = [this](QPoint point) {
    pointer_ = point;
    RefreshStatus();
  };
  view_->onMousePress = [this](QMouseEvent* e) { OnMousePress(e); };
  view_->onMouseMove = [this](QMouseEvent* e) { OnMouseMove(e); };
  view_->onMouseRelease = [this](QMouseEvent* e) { OnMouseRelease(e); };
  view_->cellPixels = [this] { return Zoomed(ChipSize, context_.workspace.display.paletteZoom); };
  view_->onZoom = [this](int32_t delta, bool reset, QPoint anchor) {
    ZoomAbout(delta, reset, anchor);
  };

  menus_.Build(menuBar(), menu_, [this](int32_t id) { RunCommand(id); });
  for (size_t index = 0; index < menus_.popupCount(); ++index) {
    connect(menus_.popup(index), &QMenu::aboutToShow, this, [this, index] {
      UpdatePaletteMenuState(menu_, static_cast<int32_t>(index), context_.workspace);
      menus_.Sync(index, menu_);
    });
  }
  statusText_ = new QLabel(this);
  statusText_->setObjectName(QStringLiteral("statusText"));
  statusText_->setTextFormat(Qt::PlainText);
  statusBar()->addWidget(statusText_, 1);
  statusBar()->setSizeGripEnabled(false);
  // The client area is 513 x 513 between the menu bar and the status line.
  resize(ClientSize,
         ClientSize + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
}

void PaletteWindow::RunCommand(int32_t id) {
  DispatchPaletteCommand(context_, id);
}

void PaletteWindow::RebuildSheetMenu() {
  RebuildSheetItems(menu_, context_.workspace.sheets);
  menus_.Sync(0, menu_);
}

void PaletteWindow::RefreshExtent() {
  RefreshPaletteExtent(context_.workspace, scroll_);
  view_->ApplyScroll();
}

void PaletteWindow::Repaint() {
  view_->viewport()->update();
}

void PaletteWindow::SetStatusVisible(bool visible) {
  // The client keeps its size: the window grows or shrinks by the line.
  const int line = statusBar()->sizeHint().height();
  if (visible == !statusBar()->isHidden()) return;
  statusBar()->setVisible(visible);
  resize(width(), height() + (visible ? line : -line));
  RefreshStatus();
}

void PaletteWindow::RefreshStatus() {
  if (!statusText_ || statusBar()->isHidden()) return;
  const Workspace& ws = context_.workspace;
  const QString text = QString::fromStdString(
      FormatPaletteStatus(ws, PaletteChipUnder(ws, pointer_.x(), pointer_.y())));
  if (text != statusText_->text()) statusText_->setText(text);
}

void PaletteWindow::closeEvent(QCloseEvent* event) {
  // The palette lives as long as the map window; its close box only hides it.
  event->ignore();
  hide();
}

bool PaletteWindow::event(QEvent* event) {
  // Qt keeps the owner's window shortcuts working in a tool window, so the
  // map window's menu bar answers Alt+letter here too, and where both bars
  // have the letter the map's menu opens. Taking the key as an override keeps
  // it for this window's own menu bar.
  if (event->type() == QEvent::ShortcutOverride &&
      IsOwnMenuMnemonic(static_cast<QKeyEvent*>(event))) {
    event->accept();
    return true;
  }
  return QMainWindow::event(event);
}

void PaletteWindow::keyPressEvent(QKeyEvent* event) {
  if (!IsOwnMenuMnemonic(event)) {
    QMainWindow::keyPressEvent(event);
    return;
  }
  // The menu bar opens the menu as for its own mnemonic, first item highlighted.
  QKeyEvent press(QEvent::KeyPress, event->key(), event->modifiers(),
                  QString(QChar(event->key())).toLower());
  QCoreApplication::sendEvent(menuBar(), &press);
}

bool PaletteWindow::IsOwnMenuMnemonic(const QKeyEvent* event) const {
  if (event->modifiers() != Qt::AltModifier || event->key() < Qt::Key_0 ||
      event->key() > Qt::Key_Z) {
    return false;
  }
  for (const QAction* action : menuBar()->actions()) {
    const QKeySequence mnemonic = QKeySequence::mnemonic(action->text());
    if (action->isVisible() && action->isEnabled() && !mnemonic.isEmpty() &&
        mnemonic[0].key() == event->key()) {
      return true;
    }
  }
  return false;
}

void PaletteWindow::ZoomAbout(int32_t delta, bool reset, QPoint anchor) {
  Workspace& ws = context_.workspace;
  // As the zoom menu, which is grey without a loaded sheet.
  if (!ws.sheets.Current().Loaded()) return;
  const std::span<const float> steps(PaletteZoomSteps);
  const float from = ws.display.paletteZoom;
  const float to = reset ? 1.0f : SteppedZoom(steps, from, delta);
  if (to == from) return;
  const int32_t oldX = scroll_.scrollX;
  const int32_t oldY = scroll_.scrollY;
  RunCommand(CommandPaletteZoomFirst + ZoomStepIndex(steps, to));
  ScrollToAnchor(scroll_, oldX, oldY, from, ws.display.paletteZoom, anchor.x(), anchor.y());
  view_->ApplyScroll();
}

void PaletteWindow::OnMousePress(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  HeldKeys keys = context_.shell.HeldKeysNow();
  keys.ctrl = keys.ctrl || event->modifiers().testFlag(Qt::ControlModifier);
  ApplyPaletteEffect(
      context_, PalettePress(context_.workspace, ToPixelPoint(event->position().toPoint()), keys));
}

void PaletteWindow::OnMouseMove(QMouseEvent* event) {
  const bool leftDown = event->buttons().testFlag(Qt::LeftButton);
  ApplyPaletteEffect(context_, PaletteDrag(context_.workspace,
                                           ToPixelPoint(event->position().toPoint()), leftDown));
}

void PaletteWindow::OnMouseRelease(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  ApplyPaletteEffect(context_, PaletteRelease(context_.workspace));
}

}  // namespace kelvor
