#pragma once

#include <QCursor>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/editor_context.h"
#include "app/held_key_tracker.h"
#include "app/menu_binding.h"
#include "app/menu_model.h"
#include "app/palette_window.h"
#include "app/recovery_keeper.h"
#include "app/translations.h"
#include "app/view_area.h"
#include "app/view_scroll.h"
#include "render/scaled_atlas.h"

class QLabel;
class QShortcut;

namespace kelvor {

class OverviewWindow;

// The services the editor talks to. Any left null is made by the window:
// message boxes, the desktop clipboard, the Qt image decoder and the dialogs.
struct EditorServices {
  Messages* messages = nullptr;
  Clipboard* clipboard = nullptr;
  ImageDecoder* decoder = nullptr;
  EditorDialogs* dialogs = nullptr;
};

struct StartOptions {
  std::string exeFolder;                       // where map_chip/ is looked for
  std::vector<std::string> arguments;          // the first one is opened as a document
  UiLanguage language = UiLanguage::Japanese;  // whose manual Help opens
  // Recovery copies are kept, and offered at start-up, only with these.
  std::optional<RecoverySettings> recovery;
};

// The map window: the menu bar of the editor, the map view, and the owner
// of the chip palette window. It carries out what the commands and tools ask
// of the shell.
class MapWindow : public QMainWindow, public ShellActions {
  Q_OBJECT

 public:
  MapWindow(Workspace& workspace, EditorServices services = {}, QWidget* parent = nullptr);
  ~MapWindow() override;

  // The start-up: document reset, palette window, chip-set scan, atlases,
  // preset map size, the recovery copy of an editor that ended without
  // saving, else the command-line document, mouse gate, folder check.
  void Start(const StartOptions& options);
  // SIGTERM or SIGHUP: the last changes go to the recovery copy, which stays,
  // and the editor ends without its question.
  void EndOnSignal();

  // Runs a command of the map window (menu, context menu, accelerator).
  void RunCommand(int32_t id);
  // A key of a command: runs it only while its menu item is enabled.
  void RunAccelerator(int32_t id);
  // Opens a document (command line, dropped file, Open dialog) and refreshes
  // what it changed; a file that cannot be read is reported and changes nothing.
  void OpenDocumentFile(const std::string& path);
  // Files dropped on the window: only the first is opened, once unsaved
  // changes were saved or given up.
  void OpenDroppedFiles(const QList<QUrl>& urls);
  // A document handed over by a second start: the window comes to the
  // front and opens it as a drop does, once no dialog or menu of the editor
  // is open (the latest of several waiting wins).
  void OpenHandedOver(const std::string& path);

  PaletteWindow* paletteWindow() const { return palette_; }
  ViewArea* view() const { return view_; }
  ViewScroll& scroll() { return scroll_; }
  MenuModel& menuModel() { return menu_; }
  MenuBinding& menus() { return menus_; }
  EditorContext& context() { return context_; }
  HeldKeyTracker& keyTracker() { return keys_; }
  RecoveryKeeper* recovery() const { return recovery_.get(); }
  QLabel* statusText() const { return statusText_; }
  OverviewWindow* overview() const { return overview_; }
  // Recomputes one popup's item states as when it opens, and mirrors them.
  void PreparePopup(int32_t index);
  // The context menu with its item states, as a right click shows it.
  QMenu* BuildContextMenu();

  // ShellActions
  void RepaintMap() override;
  void RepaintPalette() override;
  void RefreshTitle() override;
  void RefreshMapExtent() override;
  void RefreshPaletteExtent() override;
  void RebuildSheetMenu() override;
  void TogglePaletteWindow() override;
  void SetPaletteTitle(std::string_view title) override;
  void ShowPenCursor(PenCursor cursor) override;
  void RequestClose() override;
  HeldKeys HeldKeysNow() const override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreatePaletteWindow();
  void InstallShortcuts();
  void PaintMap(QPainter& painter, QSize size);
  void PaintPalette(QPainter& painter, QSize size);
  void OnMousePress(QMouseEvent* event);
  void OnMouseMove(QMouseEvent* event);
  void OnMouseRelease(QMouseEvent* event);
  void OnContextMenu(QContextMenuEvent* event);
  bool OnKeyPress(QKeyEvent* event);
  // Delete, Backspace, Ctrl+A, Esc and Ctrl+V (map_window_edit.cpp).
  bool OnEditKey(QKeyEvent* event);
  // Asks before a move drops cells off the map.
  std::function<bool(int64_t)> ConfirmDroppedCells();
  // The palette's caption for a mode title, marked while random placement is on.
  QString PaletteCaption(std::string_view title) const;
  HeldKeys KeysWith(const QMouseEvent* event) const;
  void TakeHandedOver();

  // Wheel, zoom gestures, the status line and the overview (map_navigation.cpp).
  void InstallNavigation();
  void ZoomMapAbout(int32_t delta, bool reset, QPoint anchor);
  bool RunNavigationCommand(int32_t id);  // the status-bar and overview items
  void UpdateNavigationMenuState(int32_t popup);
  // The status line and the overview after whatever may have changed.
  void RefreshNavigation();
  void ShowPointerStatus(QPoint point);

  Workspace& workspace_;
  std::unique_ptr<Messages> ownMessages_;
  std::unique_ptr<Clipboard> ownClipboard_;
  std::unique_ptr<ImageDecoder> ownDecoder_;
  std::unique_ptr<EditorDialogs> ownDialogs_;
  EditorContext context_;
  ViewScroll scroll_;
  ViewArea* view_ = nullptr;
  MenuModel menu_;
  MenuBinding menus_;
  QPointer<PaletteWindow> palette_;
  HeldKeyTracker keys_;
  QCursor lineCursor_;
  QCursor fillCursor_;
  ScaledAtlasCache atlases_;
  std::unique_ptr<RecoveryKeeper> recovery_;
  bool closing_ = false;
  QLabel* statusText_ = nullptr;
  QPoint pointer_{-1, -1};  // over the map view; outside it (-1, -1)
  OverviewWindow* overview_ = nullptr;
  std::string handedOver_;  // waiting for dialogs and menus to close
  QTimer handOverTimer_;
};

}  // namespace kelvor
