#include "office/ppt/picturefile.h"

#include <QBuffer>
#include <QtEndian>
#include <cmath>
#include <limits>

#include "office/render/pictureformat.h"
#include "office/render/pictureinfo.h"

namespace office::ppt {

namespace {

using office::render::BlipFormat;

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr qsizetype kPlaceableWords = 10;  // the words the checksum covers
constexpr qsizetype kPictPreambleBytes = 512;
constexpr qsizetype kPictHeaderBytes = 14;  // picture size, frame, version
constexpr double kEmuPerInch = 914400.0;
constexpr std::uint16_t kFallbackUnitsPerInch = 1440;

struct FormatNames {
  const char *name;
  const char *extension;
  const char *qtFormat;  // for the pixel size; nullptr for metafiles
};

FormatNames namesOf(BlipFormat format) {
  switch (format) {
    case BlipFormat::Jpeg:
      return {"JPEG", "jpg", "jpeg"};
    case BlipFormat::Png:
      return {"PNG", "png", "png"};
    case BlipFormat::Dib:
      return {"DIB", "bmp", "bmp"};
    case BlipFormat::Tiff:
      return {"TIFF", "tif", "tiff"};
    case BlipFormat::Emf:
      return {"EMF", "emf", nullptr};
    case BlipFormat::Wmf:
      return {"WMF", "wmf", nullptr};
    case BlipFormat::Pict:
      return {"PICT", "pct", nullptr};
    case BlipFormat::Unknown:
      break;
  }
  return {"unknown", "bin", nullptr};
}

// Mac pictures are filed as Windows metafiles for Windows; their bytes tell.
BlipFormat actualFormat(BlipFormat stored, const QByteArray &head) {
  const bool metafile =
      stored == BlipFormat::Emf || stored == BlipFormat::Wmf || stored == BlipFormat::Pict;
  return metafile && office::render::looksLikePict(head) ? BlipFormat::Pict : stored;
}

QSize headerPixelSize(BlipFormat format, const QByteArray &head) {
  if (!namesOf(format).qtFormat) return QSize();
  office::render::PictureSource picture;
  picture.format = format;
  picture.data = head;
  try {
    return office::render::storedPixelSize(picture);
  } catch (const morvane::PictureError &) {
    return QSize();  // the drawing module cannot be loaded
  }
}

void putWord(QByteArray &out, std::uint16_t word) {
  const char bytes[2] = {char(word & 0xFF), char(word >> 8)};
  out.append(bytes, 2);
}

bool fitsWord(std::int64_t v) {
  return v >= std::numeric_limits<std::int16_t>::min() &&
         v <= std::numeric_limits<std::int16_t>::max();
}

// The placeable header that readers of .wmf files expect before the
// metafile: the picture's bounds in its own units and those units per inch.
QByteArray placeableHeader(const office::render::PictureSource &picture) {
  const QRect &bounds = picture.metafileBounds;
  const std::int64_t right = std::int64_t(bounds.left()) + bounds.width();
  const std::int64_t bottom = std::int64_t(bounds.top()) + bounds.height();
  if (bounds.width() <= 0 || bounds.height() <= 0 || !fitsWord(bounds.left()) ||
      !fitsWord(bounds.top()) || !fitsWord(right) || !fitsWord(bottom))
    return QByteArray();
  std::uint16_t unitsPerInch = kFallbackUnitsPerInch;
  if (picture.metafileSizeEmu.width() > 0) {
    const double perInch =
        std::round(bounds.width() * kEmuPerInch / picture.metafileSizeEmu.width());
    if (perInch >= 1 && perInch <= std::numeric_limits<std::uint16_t>::max())
      unitsPerInch = std::uint16_t(perInch);
  }
  QByteArray header;
  putWord(header, std::uint16_t(kPlaceableKey & 0xFFFF));
  putWord(header, std::uint16_t(kPlaceableKey >> 16));
  putWord(header, 0);  // HWmf
  for (std::int64_t v : {std::int64_t(bounds.left()), std::int64_t(bounds.top()), right, bottom})
    putWord(header, std::uint16_t(std::int16_t(v)));
  putWord(header, unitsPerInch);
  putWord(header, 0);  // Reserved
  putWord(header, 0);
  std::uint16_t checksum = 0;
  for (qsizetype i = 0; i < kPlaceableWords; ++i)
    checksum ^= qFromLittleEndian<std::uint16_t>(header.constData() + 2 * i);
  putWord(header, checksum);
  return header;
}

bool hasPlaceableHeader(const QByteArray &data) {
  return data.size() >= 4 && qFromLittleEndian<std::uint32_t>(data.constData()) == kPlaceableKey;
}

}  // namespace

PowerPoint::StoredPicture describePicture(const BlipSummary &summary) {
  const BlipFormat format = actualFormat(summary.format, summary.head);
  const FormatNames names = namesOf(format);
  PowerPoint::StoredPicture stored;
  stored.format = QLatin1String(names.name);
  stored.extension = QLatin1String(names.extension);
  stored.storedBytes = qint64(summary.storedBytes);
  stored.pixelSize = headerPixelSize(format, summary.head);
  return stored;
}

QByteArray originalPictureFile(const office::render::PictureSource &picture) {
  const QByteArray &data = picture.data;
  switch (actualFormat(picture.format, data)) {
    case BlipFormat::Dib:
      return office::render::bmpFileHeaderForDib(data) + data;
    case BlipFormat::Wmf:
      return hasPlaceableHeader(data) ? data : placeableHeader(picture) + data;
    case BlipFormat::Pict:
      // A picture whose header starts at once lacks the file preamble.
      if (office::render::looksLikePict(data.left(kPictHeaderBytes)))
        return QByteArray(kPictPreambleBytes, '\0') + data;
      return data;
    default:
      return data;
  }
}

}  // namespace office::ppt
