#include "app/color_chooser.h"

#include <QColorDialog>

namespace kelvor {

QColor ToQColor(Color color) {
  return QColor(ColorRed(color), ColorGreen(color), ColorBlue(color));
}

Color FromQColor(const QColor& color) {
  const QColor rgb = color.toRgb();
  return Rgb(static_cast<uint8_t>(rgb.red()), static_cast<uint8_t>(rgb.green()),
             static_cast<uint8_t>(rgb.blue()));
}

void ResetCustomColors() {
  for (int i = 0; i < QColorDialog::customCount(); ++i) {
    QColorDialog::setCustomColor(i, QColor(Qt::black));
  }
}

bool ChooseSettingColor(QWidget* owner, Color& setting) {
  QColorDialog dialog(ToQColor(setting), owner);
  // Qt's own dialog keeps the custom colours in this process; a desktop
  // dialog would keep its own.
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted) return false;
  setting = FromQColor(dialog.selectedColor());
  return true;
}

}  // namespace kelvor
