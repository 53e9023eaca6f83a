#include "editing/selection.h"

namespace kelvor {

void ResetSelection(SelectionState& selection, int32_t width, int32_t height) {
  const size_t count =
      (width > 0 && height > 0) ? static_cast<size_t>(width) * static_cast<size_t>(height) : 0;
  selection.selectionFlags.assign(count, 0);
  selection.hasFlags = true;
  selection.selectionRect = SelectionRect{};
}

}  // namespace kelvor
