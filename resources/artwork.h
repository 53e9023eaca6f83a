#pragma once

// Icon 101 and cursors 106 and 107, drawn in code so no binary art is needed.

#include <QCursor>
#include <QIcon>
#include <QImage>

namespace kelvor {

// The program icon: a small tile map with a highlighted chip.
QImage DrawAppIcon(int size);
QIcon AppIcon();

// Cursor 106, area fill: a paint bucket tipped to the left pouring cyan
// paint, hot spot (4, 15) where the paint lands.
QImage DrawFillCursorImage();
QCursor FillCursor();

// Cursor 107, line drawing: a pencil pointing to the lower left, hot spot
// (8, 27) at its point.
QImage DrawLineCursorImage();
QCursor LineCursor();

inline constexpr int CursorSize = 32;

}  // namespace kelvor
