// The map window's editing keys and the questions of its gestures.
#include <QCursor>
#include <QKeyEvent>

#include "app/map_commands.h"
#include "app/map_window.h"
#include "app/translations.h"
#include "tools/map_gestures.h"

namespace kelvor {

bool MapWindow::OnEditKey(QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
  EditKey key;
  std::optional<PixelPoint> pointer;
  switch (event->key()) {
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
      key = EditKey::Delete;
      break;
    case Qt::Key_Escape:
      key = EditKey::Escape;
      break;
    case Qt::Key_A:
      if (!ctrl) return false;
      key = EditKey::SelectAll;
      break;
    case Qt::Key_V: {
      if (!ctrl) return false;
      key = EditKey::Paste;
      const QPoint at = view_->viewport()->mapFromGlobal(QCursor::pos());
      if (view_->viewport()->rect().contains(at)) pointer = PixelPoint{at.x(), at.y()};
      break;
    }
    default:
      return false;
  }
  ApplyToolResult(context_, OnMapEditKey(workspace_, context_.clipboard, key, pointer));
  return true;
}

std::function<bool(int64_t)> MapWindow::ConfirmDroppedCells() {
  return [this](int64_t dropped) {
    const TextArg args[] = {static_cast<int>(std::min<int64_t>(dropped, INT32_MAX))};
    return context_.messages.AskYesNo(FormatText(texts::ConfirmMoveDrop, args),
                                      texts::AppCaption);
  };
}

QString MapWindow::PaletteCaption(std::string_view title) const {
  QString caption = Tr(title);
  if (workspace_.gestures.randomPlacement) caption += Tr(texts::RandomPlacementMark);
  return caption;
}

}  // namespace kelvor
