#pragma once

#include <QMenu>
#include <functional>

#include "app/menu_model.h"

class QMenuBar;

namespace kelvor {

// Builds real menus from a menu model, with the texts in the interface
// language, and mirrors the model's item states onto them. Each action
// carries its command id as data; choosing it calls `onCommand` with that id.
class MenuBinding {
 public:
  using CommandHandler = std::function<void(int32_t)>;

  // One QMenu per popup of `model`, added to `bar` in order.
  void Build(QMenuBar* bar, const MenuModel& model, CommandHandler onCommand);
  QMenu* popup(size_t index) const { return index < menus_.size() ? menus_[index] : nullptr; }
  size_t popupCount() const { return menus_.size(); }
  // Brings the actions of one popup in line with the model (items added or
  // removed, texts, enabled, checks).
  void Sync(size_t index, const MenuModel& model);
  void SyncAll(const MenuModel& model);
  // The action of a command id, or null.
  QAction* FindAction(int32_t id) const;

  // Standalone popup (the map context menu).
  static void Fill(QMenu* menu, const MenuPopup& popup, const CommandHandler& onCommand);
  static void SyncMenu(QMenu* menu, const MenuPopup& popup, const CommandHandler& onCommand);

 private:
  std::vector<QMenu*> menus_;
  CommandHandler onCommand_;
};

}  // namespace kelvor
