#include "app/menu_model.h"

namespace kelvor {

MenuItem* MenuPopup::FindId(int32_t id) {
  for (MenuItem& item : items) {
    if (!item.IsSeparator() && item.id == id) return &item;
  }
  return nullptr;
}

const MenuItem* MenuPopup::FindId(int32_t id) const {
  return const_cast<MenuPopup*>(this)->FindId(id);
}

void MenuPopup::EnableAt(int32_t position, bool enabled) {
  if (position < 0 || static_cast<size_t>(position) >= items.size()) return;
  items[static_cast<size_t>(position)].enabled = enabled;
}

bool MenuPopup::CheckRadio(int32_t first, int32_t last, int32_t checkedId) {
  if (checkedId < first || checkedId > last || !FindId(checkedId)) return false;
  for (MenuItem& item : items) {
    if (item.IsSeparator() || item.id < first || item.id > last) continue;
    item.checked = item.id == checkedId;
    if (item.checked) item.radio = true;
  }
  return true;
}

void MenuPopup::SetChecked(int32_t id, bool checked) {
  if (MenuItem* item = FindId(id)) {
    item->checked = checked;
    item->enabled = true;
  }
}

MenuItem* MenuModel::FindId(int32_t id) {
  for (MenuPopup& popup : popups) {
    if (MenuItem* item = popup.FindId(id)) return item;
  }
  return nullptr;
}

const MenuItem* MenuModel::FindId(int32_t id) const {
  return const_cast<MenuModel*>(this)->FindId(id);
}

MenuModel LoadMenuModel(int32_t resourceId) {
  MenuModel model;
  const MenuDef def = LoadMenuDef(resourceId);
  model.resourceId = def.resourceId;
  for (const PopupDef& popupDef : def.popups) {
    MenuPopup popup;
    popup.title = std::string(popupDef.title);
    for (const MenuItemDef& itemDef : popupDef.items) {
      MenuItem item;
      item.id = itemDef.id;
      item.text = std::string(itemDef.text);
      item.keyHint = std::string(itemDef.keyHint);
      item.radio = IsRadioCommand(item.id);
      popup.items.push_back(std::move(item));
    }
    model.popups.push_back(std::move(popup));
  }
  return model;
}

}  // namespace kelvor
