#include "office/render/metafile/metafile.h"

#include <QPainter>
#include <QtEndian>
#include <cmath>

#include "common/error.h"
#include "office/render/metafile/players.h"

namespace office::render {
namespace {

constexpr double kEmuPerInch = 914400;

// Caps the visible image at kMaxMetafilePixels, keeping its aspect ratio:
// the whole picture and its visible part shrink alike.
metafile::PlayerTarget cappedTarget(QSize full, const RenderView &view) {
  if (full.width() <= 0 || full.height() <= 0)
    throw morvane::PictureError(QStringLiteral("cannot render a picture of no size"));
  const QRect visible = view.visibleIn(full);
  if (visible.width() <= 0 || visible.height() <= 0)
    throw morvane::PictureError(QStringLiteral("cannot render a picture of no size"));
  const qint64 pixels = qint64(visible.width()) * visible.height();
  if (pixels <= kMaxMetafilePixels) return {full, visible};
  const double scale = std::sqrt(double(kMaxMetafilePixels) / double(pixels));
  const auto shrink = [scale](int v) { return int(std::floor(v * scale)); };
  return {QSize(std::max(1, shrink(full.width())), std::max(1, shrink(full.height()))),
          QRect(shrink(visible.left()), shrink(visible.top()), std::max(1, shrink(visible.width())),
                std::max(1, shrink(visible.height())))};
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
    throw morvane::PictureError(QStringLiteral("the picture is not a Windows metafile"));
  PictureSource checked = picture;
  checked.format = sniffedFormat(picture);
  return checked;
}

}  // namespace

QImage renderMetafile(const PictureSource &source, QSize pixelSize, DrawingOutcome *outcome,
                      const RenderView &view) {
  PictureSource picture = checkedMetafile(source);
  const metafile::PlayerTarget target = cappedTarget(pixelSize, view);
  // Read the header first: a picture without one throws before any allocation.
  if (picture.format == BlipFormat::Emf)
    metafile::readEmfHeader(picture.data);
  else
    metafile::readWmfFrame(picture);
  QImage image(target.visible.size(), QImage::Format_RGB32);
  if (image.isNull())
    throw morvane::PictureError(QStringLiteral("not enough memory to render the picture"));
  image.fill(view.background);
  QPainter painter(&image);
  painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                         QPainter::SmoothPixmapTransform);
  DrawingOutcome local;
  DrawingOutcome &used = outcome ? *outcome : local;
  used = DrawingOutcome{};
  if (picture.format == BlipFormat::Emf)
    metafile::playEmf(picture.data, painter, target, used);
  else
    metafile::playWmf(picture, painter, target, used);
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
