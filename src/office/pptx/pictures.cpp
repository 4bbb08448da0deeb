#include "office/pptx/pictures.h"

#include <cstring>

#include "common/error.h"
#include "office/pptx/xmlstream.h"
#include "office/render/pictureformat.h"
#include "office/render/pictureinfo.h"

namespace office::pptx {

namespace {

constexpr qsizetype kMaxSvgBytes = 16 << 20;

bool startsWith(const QByteArray &bytes, const char *magic, qsizetype length, qsizetype at = 0) {
  return bytes.size() >= at + length && std::memcmp(bytes.constData() + at, magic, length) == 0;
}

PictureFormat formatByBytes(const QByteArray &b) {
  if (startsWith(b, "\xFF\xD8\xFF", 3)) return PictureFormat::Jpeg;
  if (startsWith(b, "\x89PNG\r\n\x1A\n", 8)) return PictureFormat::Png;
  if (startsWith(b, "GIF87a", 6) || startsWith(b, "GIF89a", 6)) return PictureFormat::Gif;
  if (startsWith(b, "II*\0", 4) || startsWith(b, "MM\0*", 4)) return PictureFormat::Tiff;
  if (startsWith(b, "BM", 2) && b.size() > office::render::kBmpFileHeaderSize)
    return PictureFormat::Bmp;
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

struct FormatNames {
  const char *name;
  const char *extension;
};

FormatNames namesOf(PictureFormat format) {
  switch (format) {
    case PictureFormat::Jpeg:
      return {"JPEG", "jpg"};
    case PictureFormat::Png:
      return {"PNG", "png"};
    case PictureFormat::Gif:
      return {"GIF", "gif"};
    case PictureFormat::Tiff:
      return {"TIFF", "tif"};
    case PictureFormat::Bmp:
      return {"BMP", "bmp"};
    case PictureFormat::Emf:
      return {"EMF", "emf"};
    case PictureFormat::Wmf:
      return {"WMF", "wmf"};
    case PictureFormat::Pict:
      return {"PICT", "pct"};
    case PictureFormat::Svg:
      return {"SVG", "svg"};
    case PictureFormat::Wdp:
      return {"WDP", "wdp"};
    case PictureFormat::Chart:
      return {"CHART", "xml"};
    case PictureFormat::Unknown:
      break;
  }
  return {"unknown", "bin"};
}

}  // namespace

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

PictureFormat pictureFormat(const QByteArray &bytes, const QString &contentType,
                            const QString &partName) {
  const PictureFormat byBytes = formatByBytes(bytes);
  if (byBytes != PictureFormat::Unknown) return byBytes;
  const PictureFormat byType = formatByContentType(contentType);
  return byType != PictureFormat::Unknown ? byType : formatByExtension(partName);
}

QString formatName(PictureFormat format) { return QLatin1String(namesOf(format).name); }

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
  PowerPoint::StoredPicture stored;
  stored.format = formatName(format);
  stored.extension = QLatin1String(namesOf(format).extension);
  stored.storedBytes = bytes.size();
  stored.cropLeft = crop.left;
  stored.cropTop = crop.top;
  stored.cropRight = crop.right;
  stored.cropBottom = crop.bottom;
  try {
    stored.pixelSize = office::render::storedPixelSize(pictureSource(bytes, format));
  } catch (const morvane::PictureError &) {
    // No pixel size for a format the export cannot read.
  }
  return stored;
}

std::optional<QRgb> averagePictureColor(const QByteArray &bytes, PictureFormat format) {
  try {
    return office::render::averageColour(pictureSource(bytes, format));
  } catch (const morvane::PictureError &) {
    return std::nullopt;
  }
}

}  // namespace office::pptx
