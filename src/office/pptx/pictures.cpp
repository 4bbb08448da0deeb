#include "office/pptx/pictures.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <cstring>

#include "common/error.h"
#include "office/pptx/xmlstream.h"
#include "office/render/guiapplication.h"
#include "office/render/metafile/metafile.h"
#include "office/render/raster.h"

namespace office::pptx {

namespace {

constexpr int kAverageSampleEdge = 32;
constexpr qsizetype kMaxSvgBytes = 16 << 20;
constexpr int kBitmapFileHeaderSize = 14;

bool startsWith(const QByteArray &bytes, const char *magic, qsizetype length, qsizetype at = 0) {
  return bytes.size() >= at + length && std::memcmp(bytes.constData() + at, magic, length) == 0;
}

PictureFormat formatByBytes(const QByteArray &b) {
  if (startsWith(b, "\xFF\xD8\xFF", 3)) return PictureFormat::Jpeg;
  if (startsWith(b, "\x89PNG\r\n\x1A\n", 8)) return PictureFormat::Png;
  if (startsWith(b, "GIF87a", 6) || startsWith(b, "GIF89a", 6)) return PictureFormat::Gif;
  if (startsWith(b, "II*\0", 4) || startsWith(b, "MM\0*", 4)) return PictureFormat::Tiff;
  if (startsWith(b, "BM", 2) && b.size() > kBitmapFileHeaderSize) return PictureFormat::Bmp;
  if (startsWith(b, "\x01\0\0\0", 4) && startsWith(b, " EMF", 4, 40)) return PictureFormat::Emf;
  if (startsWith(b, "\xD7\xCD\xC6\x9A", 4)) return PictureFormat::Wmf;  // placeable header key
  if (startsWith(b, "II\xBC", 3)) return PictureFormat::Wdp;
  return PictureFormat::Unknown;
}

PictureFormat formatByContentType(const QString &type) {
  static const std::pair<const char *, PictureFormat> types[] = {
      {"image/jpeg", PictureFormat::Jpeg},   {"image/jpg", PictureFormat::Jpeg},
      {"image/pjpeg", PictureFormat::Jpeg},  {"image/png", PictureFormat::Png},
      {"image/gif", PictureFormat::Gif},     {"image/tiff", PictureFormat::Tiff},
      {"image/bmp", PictureFormat::Bmp},     {"image/x-bmp", PictureFormat::Bmp},
      {"image/x-emf", PictureFormat::Emf},   {"image/emf", PictureFormat::Emf},
      {"image/x-wmf", PictureFormat::Wmf},   {"image/wmf", PictureFormat::Wmf},
      {"image/svg+xml", PictureFormat::Svg}, {"image/x-pict", PictureFormat::Pict},
      {"image/pict", PictureFormat::Pict},   {"image/vnd.ms-photo", PictureFormat::Wdp}};
  for (const auto &[name, format] : types)
    if (type == QLatin1String(name)) return format;
  return PictureFormat::Unknown;
}

PictureFormat formatByExtension(const QString &partName) {
  const QString ext = partName.mid(partName.lastIndexOf(QLatin1Char('.')) + 1).toLower();
  static const std::pair<const char *, PictureFormat> extensions[] = {
      {"jpeg", PictureFormat::Jpeg}, {"jpg", PictureFormat::Jpeg}, {"png", PictureFormat::Png},
      {"gif", PictureFormat::Gif},   {"tif", PictureFormat::Tiff}, {"tiff", PictureFormat::Tiff},
      {"bmp", PictureFormat::Bmp},   {"emf", PictureFormat::Emf},  {"wmf", PictureFormat::Wmf},
      {"svg", PictureFormat::Svg},   {"pct", PictureFormat::Pict}, {"pict", PictureFormat::Pict},
      {"wdp", PictureFormat::Wdp},   {"jxr", PictureFormat::Wdp}};
  for (const auto &[name, format] : extensions)
    if (ext == QLatin1String(name)) return format;
  return PictureFormat::Unknown;
}

// Qt's name of a bitmap format, so that Qt loads only the codec it needs.
const char *qtFormat(PictureFormat format) {
  switch (format) {
    case PictureFormat::Jpeg:
      return "jpeg";
    case PictureFormat::Png:
      return "png";
    case PictureFormat::Gif:
      return "gif";
    case PictureFormat::Tiff:
      return "tiff";
    case PictureFormat::Bmp:
      return "bmp";
    default:
      return nullptr;
  }
}

void attach(QImageReader &reader, QBuffer &buffer, const QByteArray &bytes, const char *format) {
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  reader.setDevice(&buffer);
  reader.setFormat(format);
  reader.setAllocationLimit(office::render::kDecoderAllocationLimitMb);
}

QColor meanOf(const QImage &image) {
  const QImage rgb = image.convertToFormat(QImage::Format_ARGB32);
  double r = 0, g = 0, b = 0, weight = 0;
  for (int y = 0; y < rgb.height(); ++y) {
    const QRgb *row = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x) {
      const double a = qAlpha(row[x]) / 255.0;
      r += qRed(row[x]) * a;
      g += qGreen(row[x]) * a;
      b += qBlue(row[x]) * a;
      weight += a;
    }
  }
  if (weight <= 0) return {};
  return QColor(int(r / weight), int(g / weight), int(b / weight));
}

// Refuses what QtSvg should not see: a document type (entities), deep
// nesting, malformed XML, a huge file.
void checkSvg(const QByteArray &svg) {
  if (svg.size() > kMaxSvgBytes)
    throw morvane::PictureError(
        QStringLiteral("the SVG picture is too large (%1 bytes)").arg(svg.size()));
  try {
    XmlStream xml(svg, QStringLiteral("(SVG picture)"));
    while (xml.nextChild(0)) {
      while (xml.nextChild(1)) {
      }
    }
  } catch (const morvane::Error &error) {
    throw morvane::PictureError(error.description());
  }
}

}  // namespace

PictureFormat pictureFormat(const QByteArray &bytes, const QString &contentType,
                            const QString &partName) {
  const PictureFormat byBytes = formatByBytes(bytes);
  if (byBytes != PictureFormat::Unknown) return byBytes;
  const PictureFormat byType = formatByContentType(contentType);
  return byType != PictureFormat::Unknown ? byType : formatByExtension(partName);
}

QString formatName(PictureFormat format) {
  static const char *const names[] = {"JPEG", "PNG",  "GIF", "TIFF", "BMP",    "EMF",
                                      "WMF",  "PICT", "SVG", "WDP",  "unknown"};
  return QLatin1String(names[int(format)]);
}

office::render::PictureSource pictureSource(const QByteArray &bytes, PictureFormat format) {
  using office::render::BlipFormat;
  office::render::PictureSource source;
  source.data = bytes;
  switch (format) {
    case PictureFormat::Jpeg:
      source.format = BlipFormat::Jpeg;
      break;
    case PictureFormat::Png:
      source.format = BlipFormat::Png;
      break;
    case PictureFormat::Tiff:
      source.format = BlipFormat::Tiff;
      break;
    case PictureFormat::Emf:
      source.format = BlipFormat::Emf;
      break;
    case PictureFormat::Wmf:
      source.format = BlipFormat::Wmf;
      break;
    case PictureFormat::Pict:
      source.format = BlipFormat::Pict;
      break;
    case PictureFormat::Gif:
    case PictureFormat::Bmp:
      // The export has no format of its own for these; Qt tells them by their bytes.
      source.format = BlipFormat::Unknown;
      break;
    case PictureFormat::Wdp:
      throw morvane::PictureError(
          QStringLiteral("the picture is stored as JPEG XR (HD Photo), which cannot be read"));
    default:
      throw morvane::PictureError(QStringLiteral("the picture's format is not recognised"));
  }
  return source;
}

PowerPoint::StoredPicture storedPicture(const QByteArray &bytes, PictureFormat format,
                                        const office::render::Crop &crop) {
  static const char *const extensions[] = {"jpg", "png", "gif", "tif", "bmp", "emf",
                                           "wmf", "pct", "svg", "wdp", "bin"};
  PowerPoint::StoredPicture stored;
  stored.format = formatName(format);
  stored.extension = QLatin1String(extensions[int(format)]);
  stored.storedBytes = bytes.size();
  stored.cropLeft = crop.left;
  stored.cropTop = crop.top;
  stored.cropRight = crop.right;
  stored.cropBottom = crop.bottom;
  if (const char *qt = qtFormat(format)) {
    QBuffer buffer;
    QImageReader reader;
    attach(reader, buffer, bytes, qt);
    const QSize size = reader.size();
    if (size.isValid()) stored.pixelSize = size;
  }
  return stored;
}

QImage drawSvg(const QByteArray &svg, QSize pixelSize, const QColor &background) {
  checkSvg(svg);
  office::render::ensureGuiApplication();
  const QSize size = office::render::clampPixelSize(pixelSize);
  QBuffer buffer;
  QImageReader reader;
  attach(reader, buffer, svg, "svg");
  reader.setScaledSize(size);
  QImage drawn;
  if (!reader.read(&drawn) || drawn.isNull())
    throw morvane::PictureError(
        QStringLiteral("the SVG picture cannot be drawn (%1)").arg(reader.errorString()));
  QImage out(drawn.size(), QImage::Format_RGB32);
  out.fill(background.isValid() ? background : QColor(Qt::white));
  QPainter painter(&out);
  painter.drawImage(0, 0, drawn);
  return out;
}

QImage decodeBitmapPicture(const QByteArray &bytes, PictureFormat format, QSize size) {
  const char *qt = qtFormat(format);
  if (!qt) return {};
  QBuffer buffer;
  QImageReader reader;
  attach(reader, buffer, bytes, qt);
  const QSize own = reader.size();
  if (!own.isValid() || qint64(own.width()) * own.height() > office::render::kMaxPixels) return {};
  if (!size.isEmpty())
    reader.setScaledSize(own.scaled(size, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
  QImage image;
  if (!reader.read(&image)) return {};
  return image;
}

QColor averagePictureColor(const QByteArray &bytes, PictureFormat format) {
  try {
    if (format == PictureFormat::Emf || format == PictureFormat::Wmf) {
      office::render::ensureGuiApplication();
      return meanOf(office::render::renderMetafile(pictureSource(bytes, format),
                                                   QSize(kAverageSampleEdge, kAverageSampleEdge)));
    }
    if (format == PictureFormat::Svg)
      return meanOf(drawSvg(bytes, QSize(kAverageSampleEdge, kAverageSampleEdge), Qt::white));
    const QImage image =
        decodeBitmapPicture(bytes, format, QSize(kAverageSampleEdge, kAverageSampleEdge));
    return image.isNull() ? QColor() : meanOf(image);
  } catch (const morvane::Error &) {
    return {};
  }
}

}  // namespace office::pptx
