#include "app/qt_messages.h"

#include <QApplication>
#include <QMessageBox>

namespace kelvor {
namespace {

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void QtMessages::Show(std::string_view text, std::string_view caption, MessageIcon icon) {
  QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
  if (icon == MessageIcon::Warning) boxIcon = QMessageBox::Warning;
  if (icon == MessageIcon::Error) boxIcon = QMessageBox::Critical;
  QMessageBox box(boxIcon, ToQString(caption), ToQString(text), QMessageBox::Ok, owner_);
  box.exec();
}

bool QtMessages::AskYesNo(std::string_view text, std::string_view caption) {
  QMessageBox box(QMessageBox::NoIcon, ToQString(caption), ToQString(text),
                  QMessageBox::Yes | QMessageBox::No, owner_);
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

void QtMessages::BeginWait() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtMessages::EndWait() {
  QApplication::restoreOverrideCursor();
}

}  // namespace kelvor
