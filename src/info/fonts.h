#pragma once

// Fonts of the information windows. Their windows were laid out for Tahoma,
// MS Sans Serif and Times New Roman; where those are not installed, each
// font names the installed font nearest to it in widths (Liberation Sans,
// Liberation Serif) as its fallback, so the texts still fit their labels.

#include <QFont>

namespace info {

QFont windowsFont(const QString &family, qreal points, bool bold);

}  // namespace info
