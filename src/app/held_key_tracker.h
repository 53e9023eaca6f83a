#pragma once

#include <QObject>

#include "editing/edit_state.h"

namespace kelvor {

// Tracks, for the whole application, which of the tool keys are held: B, K,
// L, Y, C, X, V, M, R, S, T, Ctrl and Shift. Auto-repeat is ignored, and every key is forgotten
// when the application loses focus, so a key released elsewhere never sticks.
class HeldKeyTracker : public QObject {
  Q_OBJECT

 public:
  explicit HeldKeyTracker(QObject* parent = nullptr);

  const HeldKeys& keys() const { return keys_; }
  void Clear() { keys_ = HeldKeys{}; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool* KeyFlag(int key);
  HeldKeys keys_;
};

}  // namespace kelvor
