#include "office/render/raster.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/bytereader.h"
#include "common/error.h"

namespace office::render {

namespace {

[[noreturn]] void damaged(const QString &what) {
  throw morvane::PictureError(QStringLiteral("the picture cannot be read (%1)").arg(what));
}

bool startsWith(const QByteArray &data, const char *signature, qsizetype length) {
  return data.size() >= length &&
         std::memcmp(data.constData(), signature, std::size_t(length)) == 0;
}

// Qt decodes a picture whole: beyond kFreePixels, a picture needs one stored
// byte per kQtPixelsPerByte pixels, so a few bytes cannot make it allocate
// hundreds of megabytes.
constexpr qint64 kQtPixelsPerByte = 256;

QImage decodeWithQt(const QByteArray &bytes, const char *format) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  reader.setAutoTransform(false);
  reader.setAllocationLimit(kDecoderAllocationLimitMb);
  reader.setAutoDetectImageFormat(false);
  const QSize size = reader.size();
  if (size.isValid()) checkSizeAgainstData(size, bytes.size(), kQtPixelsPerByte);
  QImage image;
  if (!reader.read(&image) || image.isNull()) damaged(reader.errorString());
  checkPixelSize(image.size(), QStringLiteral("picture"));
  return image;
}

}  // namespace

const char *qtFormatFor(const QByteArray &data, BlipFormat format) {
  if (startsWith(data, "\xFF\xD8\xFF", 3)) return "jpeg";
  if (startsWith(data, "\x89PNG", 4)) return "png";
  if (startsWith(data, "II*\0", 4) || startsWith(data, "MM\0*", 4)) return "tiff";
  if (startsWith(data, "GIF8", 4)) return "gif";
  if (startsWith(data, "BM", 2) && format != BlipFormat::Dib) return "bmp";
  switch (format) {
    case BlipFormat::Jpeg:
      return "jpeg";
    case BlipFormat::Png:
      return "png";
    case BlipFormat::Tiff:
      return "tiff";
    case BlipFormat::Dib:
      return "bmp";
    default:
      return "";
  }
}

void checkSizeAgainstData(QSize size, qsizetype byteCount, qint64 maxPixelsPerByte) {
  checkPixelSize(size, QStringLiteral("picture"));
  const qint64 pixels = qint64(size.width()) * size.height();
  if (pixels > kFreePixels && pixels > maxPixelsPerByte * byteCount)
    damaged(QStringLiteral("%1 x %2 pixels claimed by %3 bytes")
                .arg(size.width())
                .arg(size.height())
                .arg(byteCount));
}

void checkPixelSize(QSize size, const QString &what) {
  if (size.width() <= 0 || size.height() <= 0)
    damaged(QStringLiteral("%1 has no pixels").arg(what));
  if (size.width() > kMaxPixelEdge || size.height() > kMaxPixelEdge ||
      qint64(size.width()) * size.height() > kMaxPixels)
    throw morvane::PictureError(QStringLiteral("the %1 is too large (%2 x %3 pixels)")
                                    .arg(what)
                                    .arg(size.width())
                                    .arg(size.height()));
}

QSize clampPixelSize(QSize size) {
  double w = std::max(1, size.width());
  double h = std::max(1, size.height());
  double scale = std::min({1.0, kMaxPixelEdge / w, kMaxPixelEdge / h});
  const double pixels = w * h * scale * scale;
  if (pixels > double(kMaxPixels)) scale *= std::sqrt(double(kMaxPixels) / pixels);
  return QSize(std::clamp(int(std::floor(w * scale)), 1, kMaxPixelEdge),
               std::clamp(int(std::floor(h * scale)), 1, kMaxPixelEdge));
}

QImage decodeBitmap(const PictureSource &picture) {
  if (picture.data.isEmpty()) damaged(QStringLiteral("no picture data"));
  const char *format = qtFormatFor(picture.data, picture.format);
  if (picture.format == BlipFormat::Dib && std::strcmp(format, "bmp") == 0)
    return decodeWithQt(bmpFileHeaderForDib(picture.data) + picture.data, "bmp");
  return decodeWithQt(picture.data, format);
}

Placement placementFor(QSize picture, const Crop &crop) {
  const double w = picture.width(), h = picture.height();
  const double left = std::round(crop.left * w), right = std::round(crop.right * w);
  const double top = std::round(crop.top * h), bottom = std::round(crop.bottom * h);
  const double outW = w - left - right, outH = h - top - bottom;
  if (!(outW >= 1 && outH >= 1 && outW <= kMaxPixelEdge && outH <= kMaxPixelEdge))
    damaged(QStringLiteral("its crop leaves %1 x %2 pixels").arg(outW).arg(outH));
  const QSize output{int(outW), int(outH)};
  checkPixelSize(output, QStringLiteral("cropped picture"));
  return {output, QPoint(int(-left), int(-top))};
}

QImage cropImage(const QImage &image, const Crop &crop, QColor background) {
  if (crop.isNone()) return image;
  const Placement place = placementFor(image.size(), crop);
  const QRect inside(-place.origin, place.output);
  if (image.rect().contains(inside)) return image.copy(inside);
  QImage out(place.output, QImage::Format_RGB32);
  if (out.isNull()) damaged(QStringLiteral("not enough memory for the cropped picture"));
  out.fill(background);
  QPainter painter(&out);
  painter.drawImage(place.origin, image);
  return out;
}

QImage flatten(const QImage &image, QColor background) {
  if (!image.hasAlphaChannel()) return image.convertToFormat(QImage::Format_RGB32);
  QImage out(image.size(), QImage::Format_RGB32);
  if (out.isNull()) damaged(QStringLiteral("not enough memory for the picture"));
  out.setDotsPerMeterX(image.dotsPerMeterX());
  out.setDotsPerMeterY(image.dotsPerMeterY());
  out.fill(background);
  QPainter painter(&out);
  painter.drawImage(QPoint(0, 0), image);
  return out;
}

}  // namespace office::render
