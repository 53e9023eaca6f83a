#pragma once

#include <QColor>
#include <functional>

#include "document/chip_sheet.h"

class QWidget;

namespace kelvor {

// A colour setting's value on screen and back.
QColor ToQColor(Color color);
Color FromQColor(const QColor& color);

// The colour dialog's 16 custom colours are kept by Qt for the whole process,
// which is what we want: colours defined while picking one setting are
// offered for every other. The run starts with all 16 black.
void ResetCustomColors();

// Opens the colour dialog on the setting's current colour. True when the
// user confirmed; the colour is then stored in `setting`, else it is left.
bool ChooseSettingColor(QWidget* owner, Color& setting);

// How the dialogs ask for a colour; tests hand in their own.
using ColorPicker = std::function<bool(QWidget* owner, Color& setting)>;

}  // namespace kelvor
