#include "app/held_key_tracker.h"

#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>

namespace kelvor {

HeldKeyTracker::HeldKeyTracker(QObject* parent) : QObject(parent) {}

bool* HeldKeyTracker::KeyFlag(int key) {
  switch (key) {
    case Qt::Key_B:
      return &keys_.b;
    case Qt::Key_K:
      return &keys_.k;
    case Qt::Key_L:
      return &keys_.l;
    case Qt::Key_Y:
      return &keys_.y;
    case Qt::Key_C:
      return &keys_.c;
    case Qt::Key_X:
      return &keys_.x;
    case Qt::Key_V:
      return &keys_.v;
    case Qt::Key_Control:
      return &keys_.ctrl;
    default:
      return nullptr;
  }
}

bool HeldKeyTracker::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride: {
      auto* keyEvent = static_cast<QKeyEvent*>(event);
      if (keyEvent->isAutoRepeat()) break;
      const bool pressed = event->type() != QEvent::KeyRelease;
      if (bool* flag = KeyFlag(keyEvent->key())) *flag = pressed;
      break;
    }
    // A dialog opened by a key (Ctrl+N, Ctrl+O, ...) takes the release of
    // that key: the windows it blocks never see it.
    case QEvent::WindowBlocked:
      Clear();
      break;
    case QEvent::ApplicationStateChange:
      if (static_cast<QApplicationStateChangeEvent*>(event)->applicationState() !=
          Qt::ApplicationActive) {
        Clear();
      }
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace kelvor
