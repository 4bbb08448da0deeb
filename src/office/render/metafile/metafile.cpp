#include "office/render/metafile/metafile.h"

#include <QPainter>
#include <QtEndian>
#include <cmath>

#include "common/error.h"
#include "office/render/metafile/players.h"

namespace office::render {
namespace {

constexpr double kEmuPerInch = 914400;

// Caps the image at kMaxMetafilePixels, keeping its aspect ratio.
QSize cappedSize(QSize size) {
  if (size.width() <= 0 || size.height() <= 0)
    throw morvane::Error(QStringLiteral("cannot render a picture of no size"));
  qint64 pixels = qint64(size.width()) * size.height();
  if (pixels <= kMaxMetafilePixels) return size;
  double scale = std::sqrt(double(kMaxMetafilePixels) / double(pixels));
  return QSize(std::max(1, int(size.width() * scale)), std::max(1, int(size.height() * scale)));
}

quint32 le32At(const QByteArray &data, qsizetype at) {
  return data.size() >= at + 4 ? qFromLittleEndian<quint32>(data.constData() + at) : 0;
}

// The format the bytes show, which wins over the declared one: a picture
// store entry can name the wrong kind of metafile.
BlipFormat sniffedFormat(const PictureSource &picture) {
  const QByteArray &d = picture.data;
  if (le32At(d, 0) == 1 && le32At(d, 40) == 0x464D4520) return BlipFormat::Emf;
  if (le32At(d, 0) == 0x9AC6CDD7) return BlipFormat::Wmf;
  quint32 start = le32At(d, 0);
  if ((start & 0xFFFF) <= 2 && (start & 0xFFFF) >= 1 && (start >> 16) == 9) return BlipFormat::Wmf;
  return picture.format;
}

PictureSource checkedMetafile(const PictureSource &picture) {
  if (picture.format != BlipFormat::Emf && picture.format != BlipFormat::Wmf)
    throw morvane::Error(QStringLiteral("the picture is not a Windows metafile"));
  PictureSource checked = picture;
  checked.format = sniffedFormat(picture);
  return checked;
}

}  // namespace

QImage renderMetafile(const PictureSource &source, QSize pixelSize, bool *stoppedEarly) {
  PictureSource picture = checkedMetafile(source);
  QSize size = cappedSize(pixelSize);
  // Read the header first: a picture without one throws before any allocation.
  if (picture.format == BlipFormat::Emf)
    metafile::readEmfHeader(picture.data);
  else
    metafile::readWmfFrame(picture);
  QImage image(size, QImage::Format_RGB32);
  if (image.isNull())
    throw morvane::Error(QStringLiteral("not enough memory to render the picture"));
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                         QPainter::SmoothPixmapTransform);
  const bool stopped = picture.format == BlipFormat::Emf
                           ? metafile::playEmf(picture.data, painter, size)
                           : metafile::playWmf(picture, painter, size);
  if (stoppedEarly) *stoppedEarly = stopped;
  painter.end();
  return image;
}

QSizeF metafileNaturalSizeInches(const PictureSource &source) {
  PictureSource picture = checkedMetafile(source);
  if (picture.metafileSizeEmu.width() > 0 && picture.metafileSizeEmu.height() > 0)
    return QSizeF(picture.metafileSizeEmu) / kEmuPerInch;
  if (picture.format == BlipFormat::Emf)
    return metafile::emfSizeInches(metafile::readEmfHeader(picture.data));
  return metafile::readWmfFrame(picture).inches;
}

}  // namespace office::render
