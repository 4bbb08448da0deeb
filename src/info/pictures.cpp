#include "info/pictures.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace info {
namespace {

QImage render(const QString &resource, QSize size, QImage::Format format) {
  QImage image(size, format);
  image.fill(image.hasAlphaChannel() ? Qt::transparent : Qt::white);
  QSvgRenderer renderer(resource);
  QPainter painter(&image);
  renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
  return image;
}

QPixmap renderPixmap(const QString &resource, int side) {
  return QPixmap::fromImage(
      render(resource, QSize(side, side), QImage::Format_ARGB32_Premultiplied));
}

}  // namespace

QImage bannerPicture() {
  return render(QStringLiteral(":/info/banner.svg"), QSize(77, 201), QImage::Format_RGB888);
}

QCursor envelopeCursor() {
  return QCursor(renderPixmap(QStringLiteral(":/info/envelope.svg"), 32), 16, 16);
}

QCursor handCursor() { return QCursor(renderPixmap(QStringLiteral(":/info/hand.svg"), 32), 12, 1); }

QIcon helpIcon() {
  QIcon icon;
  icon.addPixmap(renderPixmap(QStringLiteral(":/info/help.svg"), 32));
  icon.addPixmap(renderPixmap(QStringLiteral(":/info/help.svg"), 16));
  return icon;
}

}  // namespace info
