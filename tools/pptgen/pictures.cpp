// Generated pictures: a coloured background with a few shapes, all derived
// from a seed so that different seeds give different picture bytes.

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPen>

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

QByteArray encode(const QImage &image, const char *codec, int quality) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, codec, quality)) {
    throw Error(QStringLiteral("Qt cannot encode %1 pictures (image plugin missing?).")
                    .arg(QLatin1String(codec)));
  }
  return bytes;
}

void checkSize(QSize size) {
  if (size.width() < 1 || size.height() < 1 || size.width() > 8000 || size.height() > 8000) {
    throw Error(QStringLiteral("A generated picture must be 1 to 8000 pixels on each side."));
  }
}

}  // namespace

GenPicture makeLogo(QSize size) {
  checkSize(size);
  QImage image(size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  const int w = size.width(), h = size.height();
  painter.setPen(QPen(Qt::white, std::max(1, std::min(w, h) / 8)));
  painter.drawEllipse(QRect(w / 8, h / 8, w * 3 / 4, h * 3 / 4));
  painter.fillRect(QRect(w * 7 / 16, h / 4, std::max(1, w / 8), h / 2), Qt::white);
  painter.end();
  GenPicture picture;
  picture.format = PictureFormat::Png;
  picture.data = encode(image, "PNG", -1);
  return picture;
}

GenPicture makePicture(int seed, QSize size, PictureFormat format) {
  checkSize(size);
  const QImage image = drawPicture(seed, size);
  const bool jpeg = format == PictureFormat::Jpeg;
  GenPicture picture;
  picture.format = format;
  picture.data = encode(image, jpeg ? "JPEG" : "PNG", jpeg ? 85 : -1);
  return picture;
}

}  // namespace morvane::pptgen
