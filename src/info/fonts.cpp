#include "info/fonts.h"

#include <QStringList>

namespace info {

QFont windowsFont(const QString &family, qreal points, bool bold) {
  const QString fallback = family == QLatin1String("Times New Roman")
                               ? QStringLiteral("Liberation Serif")
                               : QStringLiteral("Liberation Sans");
  QFont font;
  font.setFamilies({family, fallback});
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

}  // namespace info
