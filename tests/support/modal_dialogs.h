#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
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
    if (dialog == nullptr) return;
    QPointer<QDialog> shown(dialog);
    action(dialog);
    // A dialog the action failed to close would hang exec(): close it after
    // a while so the test fails instead.
    QTimer::singleShot(10000, [shown] {
      if (shown && shown->isVisible()) shown->done(QDialog::Rejected);
    });
  });
  timer->start();
}

// Picks a file in Qt's own file dialog as a user typing its name would.
// selectFile() leaves the name field alone once the field has the focus,
// which depends on when the window got activated; set it ourselves.
inline void ChooseFileInDialog(QFileDialog* dialog, const QString& path) {
  dialog->selectFile(path);
  if (auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
    field->setText(QFileInfo(path).absoluteFilePath());
  }
}

}  // namespace kelvor::test
