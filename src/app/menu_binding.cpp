#include "app/menu_binding.h"

#include <QActionGroup>
#include <QMenuBar>

#include "app/translations.h"

namespace kelvor {
namespace {

QString ItemText(const MenuItem& item) {
  // Sheet items show file names, which are never translated. Key hints are
  // the same in every language.
  QString text = item.id >= CommandSheetFirst && item.id <= CommandSheetLast
                     ? QString::fromStdString(item.text)
                     : Tr(item.text);
  if (!item.keyHint.empty()) text += QLatin1Char('\t') + QString::fromStdString(item.keyHint);
  return text;
}

bool SameItems(const QMenu* menu, const MenuPopup& popup) {
  const QList<QAction*> actions = menu->actions();
  if (actions.size() != static_cast<qsizetype>(popup.items.size())) return false;
  for (qsizetype i = 0; i < actions.size(); ++i) {
    const MenuItem& item = popup.items[static_cast<size_t>(i)];
    if (actions[i]->isSeparator() != item.IsSeparator()) return false;
    if (!item.IsSeparator() && actions[i]->data().toInt() != item.id) return false;
  }
  return true;
}

void ApplyState(QAction* action, const MenuItem& item) {
  action->setText(ItemText(item));
  action->setEnabled(item.enabled);
  action->setCheckable(item.checked || item.radio);
  action->setChecked(item.checked);
}

}  // namespace

void MenuBinding::Fill(QMenu* menu, const MenuPopup& popup, const CommandHandler& onCommand) {
  menu->clear();
  for (QActionGroup* group : menu->findChildren<QActionGroup*>()) delete group;
  auto* radios = new QActionGroup(menu);
  radios->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (const MenuItem& item : popup.items) {
    if (item.IsSeparator()) {
      menu->addSeparator();
      continue;
    }
    QAction* action = menu->addAction(ItemText(item));
    action->setData(item.id);
    if (item.radio) radios->addAction(action);
    ApplyState(action, item);
    const int32_t id = item.id;
    QObject::connect(action, &QAction::triggered, menu, [onCommand, id] {
      if (onCommand) onCommand(id);
    });
  }
}

void MenuBinding::SyncMenu(QMenu* menu, const MenuPopup& popup, const CommandHandler& onCommand) {
  if (!SameItems(menu, popup)) {
    Fill(menu, popup, onCommand);
    return;
  }
  const QList<QAction*> actions = menu->actions();
  for (qsizetype i = 0; i < actions.size(); ++i) {
    const MenuItem& item = popup.items[static_cast<size_t>(i)];
    if (item.IsSeparator()) continue;
    ApplyState(actions[i], item);
  }
}

void MenuBinding::Build(QMenuBar* bar, const MenuModel& model, CommandHandler onCommand) {
  onCommand_ = std::move(onCommand);
  menus_.clear();
  for (const MenuPopup& popup : model.popups) {
    QMenu* menu = bar->addMenu(Tr(popup.title));
    Fill(menu, popup, onCommand_);
    menus_.push_back(menu);
  }
}

void MenuBinding::Sync(size_t index, const MenuModel& model) {
  if (index >= menus_.size() || index >= model.popups.size()) return;
  SyncMenu(menus_[index], model.popups[index], onCommand_);
}

void MenuBinding::SyncAll(const MenuModel& model) {
  for (size_t i = 0; i < menus_.size(); ++i) Sync(i, model);
}

QAction* MenuBinding::FindAction(int32_t id) const {
  for (QMenu* menu : menus_) {
    for (QAction* action : menu->actions()) {
      if (!action->isSeparator() && action->data().toInt() == id) return action;
    }
  }
  return nullptr;
}

}  // namespace kelvor
