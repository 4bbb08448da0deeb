// Generated pictures: a coloured background with a few shapes, all derived
// from a seed so that different seeds give different picture bytes.

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>

#include "common/error.h"
#include "pptgen.h"

namespace morvane::pptgen {
namespace {

QImage drawPicture(int seed, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  const int hue = (seed * 47) % 360;
  image.fill(QColor::fromHsv(hue, 90, 235));
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  const int w = size.width(), h = size.height();
  // A sun, a hill and a stripe whose places move with the seed.
  painter.setBrush(QColor::fromHsv((hue + 180) % 360, 200, 250));
  const int r = std::max(2, std::min(w, h) / 6);
  painter.drawEllipse(QPoint(w / 4 + (seed * 13) % std::max(1, w / 2), h / 3), r, r);
  painter.setBrush(QColor::fromHsv((hue + 90) % 360, 180, 140));
  painter.drawEllipse(QRect(-w / 4, h * 2 / 3, w * 3 / 2, h));
  painter.setBrush(QColor::fromHsv((hue + 270) % 360, 160, 120));
  painter.drawRect(0, (seed * 7) % std::max(1, h / 2), w, std::max(1, h / 20));
  return image;
}

}  // namespace

GenPicture makePicture(int seed, QSize size, PictureFormat format) {
  if (size.width() < 1 || size.height() < 1 || size.width() > 8000 || size.height() > 8000) {
    throw Error(QStringLiteral("A generated picture must be 1 to 8000 pixels on each side."));
  }
  const QImage image = drawPicture(seed, size);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const char *codec = format == PictureFormat::Jpeg ? "JPEG" : "PNG";
  if (!image.save(&buffer, codec, format == PictureFormat::Jpeg ? 85 : -1)) {
    throw Error(QStringLiteral("Qt cannot encode %1 pictures (image plugin missing?).")
                    .arg(QLatin1String(codec)));
  }
  GenPicture picture;
  picture.format = format;
  picture.data = bytes;
  return picture;
}

}  // namespace morvane::pptgen
