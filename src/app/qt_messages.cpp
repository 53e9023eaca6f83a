#include "app/qt_messages.h"

#include <QApplication>
#include <QMessageBox>

#include "app/translations.h"

namespace kelvor {

void QtMessages::Show(std::string_view text, std::string_view caption, MessageIcon icon) {
  ShowBox(text, caption, icon, owner_);
}

void QtMessages::ShowUnowned(std::string_view text, std::string_view caption, MessageIcon icon) {
  ShowBox(text, caption, icon, nullptr);
}

void QtMessages::ShowBox(std::string_view text, std::string_view caption, MessageIcon icon,
                         QWidget* owner) {
  QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
  if (icon == MessageIcon::Warning) boxIcon = QMessageBox::Warning;
  if (icon == MessageIcon::Error) boxIcon = QMessageBox::Critical;
  QMessageBox box(boxIcon, Tr(caption), Tr(text), QMessageBox::Ok, owner);
  box.exec();
}

bool QtMessages::AskYesNo(std::string_view text, std::string_view caption) {
  QMessageBox box(QMessageBox::NoIcon, Tr(caption), Tr(text), QMessageBox::Yes | QMessageBox::No,
                  owner_);
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

Answer QtMessages::AskYesNoCancel(std::string_view text, std::string_view caption) {
  QMessageBox box(QMessageBox::NoIcon, Tr(caption), Tr(text),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, owner_);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    default:
      return Answer::Cancel;
  }
}

void QtMessages::BeginWait() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtMessages::EndWait() {
  QApplication::restoreOverrideCursor();
}

}  // namespace kelvor
