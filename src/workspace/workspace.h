#pragma once

#include <array>
#include <functional>
#include <string>

#include "document/chip_sheet.h"
#include "document/display_settings.h"
#include "document/map_document.h"
#include "document/view_port.h"
#include "editing/edit_state.h"
#include "editing/gesture_state.h"
#include "editing/selection.h"
#include "editing/undo_history.h"
#include "palette/palette_state.h"

namespace kelvor {

struct FolderSettings {
  std::string exeFolder;   // the executable's folder, no trailing separator
  std::string chipFolder;  // chip-set folder; empty = the default (DefaultChipFolder)
};

// Whether the document holds changes that no document file holds yet: set
// by every operation that changes what a save in a document form would
// store (cells, chip tables, file names, the sheets' colour keys and chip
// flags), cleared by opening and by saving in a document form. Undoing back
// to the saved state still counts as a change.
struct UnsavedState {
  bool changed = false;
  // Called whenever `changed` flips.
  std::function<void()> onChanged;
};

// Everything the program works on, for the whole run. Owned by the
// application (or a test); never copied or replaced, only changed in place.
struct Workspace {
  MapDocument document;
  ChipSheetTable sheets;
  DisplaySettings display;
  FolderSettings folders;
  MapEditState edit;
  InputState input;
  MapGestureState gestures;
  SelectionState selection;
  PasteBlock paste;
  UndoHistory undo;
  PaletteState palette;
  std::array<ViewPort, 2> views{};  // ViewMap, ViewPalette
  UnsavedState unsaved;

  Workspace() = default;
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  ViewPort& mapView() { return views[ViewMap]; }
  ViewPort& paletteView() { return views[ViewPalette]; }
};

void MarkDocumentChanged(Workspace& workspace);
void ClearDocumentChanged(Workspace& workspace);

// Frees every image and buffer and returns the document and view state to
// the defaults (colours and folders excepted).
void ReleaseDocument(Workspace& workspace);

}  // namespace kelvor
