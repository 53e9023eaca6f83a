#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace kelvor::test {

// Plays the user of the next modal dialog of type T: once it is shown (its
// exec() is running), `action` gets it and closes it one way or another.
// Keeps looking for a minute: on a loaded machine the dialog can take
// seconds to show, and giving up early would leave its exec() running.
template <class T>
void WhenModalShows(std::function<void(T*)> action) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, action, tries] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (dialog == nullptr && ++*tries < 6000) return;
    timer->stop();
    timer->deleteLater();
    if (dialog != nullptr) action(dialog);
  });
  timer->start();
}

}  // namespace kelvor::test
