#include "office/render/pictureinfo.h"
#include "office/render/drawingimpl.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include "common/error.h"
#include "office/render/guiapplication.h"
#include "office/render/metafile/metafile.h"
#include "office/render/pict.h"
#include "office/render/raster.h"

namespace office::render {

namespace {

constexpr int kSampleEdge = 32;

// Qt's name of a stored bitmap's format; nullptr for a metafile.
const char *bitmapFormat(const PictureSource &picture) {
  switch (picture.format) {
    case BlipFormat::Emf:
    case BlipFormat::Wmf:
    case BlipFormat::Pict:
      return nullptr;
    default:
      return qtFormatFor(picture.data, picture.format);
  }
}

QByteArray readableBytes(const PictureSource &picture) {
  return picture.format == BlipFormat::Dib ? bmpFileHeaderForDib(picture.data) + picture.data
                                           : picture.data;
}

std::optional<QRgb> meanOf(const QImage &image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  double r = 0, g = 0, b = 0, weight = 0;
  for (int y = 0; y < argb.height(); ++y) {
    const QRgb *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
    for (int x = 0; x < argb.width(); ++x) {
      const double a = qAlpha(row[x]) / 255.0;
      r += qRed(row[x]) * a;
      g += qGreen(row[x]) * a;
      b += qBlue(row[x]) * a;
      weight += a;
    }
  }
  if (weight <= 0) return std::nullopt;
  return qRgb(int(r / weight), int(g / weight), int(b / weight));
}

std::optional<QRgb> bitmapAverage(const PictureSource &picture, const char *format) {
  QByteArray bytes = readableBytes(picture);
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  reader.setAllocationLimit(kDecoderAllocationLimitMb);
  const QSize size = reader.size();
  if (!size.isValid() || qint64(size.width()) * size.height() > kMaxPixels) return std::nullopt;
  reader.setScaledSize(
      size.scaled(kSampleEdge, kSampleEdge, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
  QImage image;
  if (!reader.read(&image)) return std::nullopt;
  return meanOf(image);
}

// The mean of image on white, from a copy of at most 64 x 64 pixels.
morvane::Channels meanOnWhite(const QImage &image) {
  if (image.isNull()) return {1, 1, 1, 1};
  constexpr int kMeanSampleEdge = 64;
  const QImage small = image
                           .scaled(std::min(kMeanSampleEdge, image.width()),
                                   std::min(kMeanSampleEdge, image.height()), Qt::IgnoreAspectRatio,
                                   Qt::SmoothTransformation)
                           .convertToFormat(QImage::Format_ARGB32);
  double r = 0, g = 0, b = 0, a = 0;
  for (int y = 0; y < small.height(); ++y) {
    const QRgb *line = reinterpret_cast<const QRgb *>(small.constScanLine(y));
    for (int x = 0; x < small.width(); ++x) {
      const morvane::Channels c = morvane::channelsOf(line[x]);
      r += c.r, g += c.g, b += c.b, a += c.a;
    }
  }
  const double count = double(small.width()) * small.height();
  const double alpha = a / count;
  return {r / count * alpha + (1 - alpha), g / count * alpha + (1 - alpha),
          b / count * alpha + (1 - alpha), 1};
}

}  // namespace

QSize drawing::storedPixelSize(const PictureSource &picture) {
  const char *format = bitmapFormat(picture);
  if (!format) return {};
  try {
    QByteArray bytes = readableBytes(picture);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    const QSize size = reader.size();
    return size.isValid() && !size.isEmpty() ? size : QSize();
  } catch (const morvane::Error &) {
    return {};
  }
}

std::optional<QRgb> drawing::averageColour(const PictureSource &picture) {
  try {
    if (const char *format = bitmapFormat(picture)) return bitmapAverage(picture, format);
    if (picture.format != BlipFormat::Emf && picture.format != BlipFormat::Wmf) return std::nullopt;
    ensureGuiApplication();
    return meanOf(renderMetafile(picture, QSize(kSampleEdge, kSampleEdge)));
  } catch (const morvane::Error &) {
    return std::nullopt;
  }
}

std::optional<morvane::Channels> drawing::meanColourOnWhite(const PictureSource &picture) {
  constexpr int kRenderEdge = 96;
  try {
    const bool drawn = picture.format == BlipFormat::Emf || picture.format == BlipFormat::Wmf ||
                       picture.format == BlipFormat::Pict;
    if (!drawn) return meanOnWhite(decodeBitmap(picture));
    ensureGuiApplication();
    const QSize size(kRenderEdge, kRenderEdge);
    return meanOnWhite(looksLikePict(picture.data) ? renderPict(picture.data, size)
                                                   : renderMetafile(picture, size));
  } catch (const morvane::Error &) {
    return std::nullopt;
  }
}

}  // namespace office::render
