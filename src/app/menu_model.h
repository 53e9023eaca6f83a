#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "resources/menu_tables.h"

namespace kelvor {

// The live state of a menu: items keep their enabled and check states
// between popups, as the rules below only touch what they name. The window
// mirrors this onto its real menus.
struct MenuItem {
  int32_t id = 0;  // 0: separator
  std::string text;
  std::string keyHint;
  bool enabled = true;
  bool checked = false;
  bool radio = false;  // shown with a radio mark instead of a tick

  bool IsSeparator() const { return id == 0; }
};

struct MenuPopup {
  std::string title;
  std::vector<MenuItem> items;

  MenuItem* FindId(int32_t id);
  const MenuItem* FindId(int32_t id) const;
  // Enable or grey the item at a position; positions outside do nothing.
  void EnableAt(int32_t position, bool enabled);
  // Radio mark on `checkedId`, none on the other ids of first..last. Nothing
  // when `checkedId` is outside the range or not in this popup.
  bool CheckRadio(int32_t first, int32_t last, int32_t checkedId);
  // The whole state of the item becomes checked or plain; a grey state is
  // cleared with it.
  void SetChecked(int32_t id, bool checked);
};

struct MenuModel {
  int32_t resourceId = 0;
  std::vector<MenuPopup> popups;

  MenuItem* FindId(int32_t id);
  const MenuItem* FindId(int32_t id) const;
};

MenuModel LoadMenuModel(int32_t resourceId);

}  // namespace kelvor
