#include "office/render/export.h"

#include <QImage>
#include <algorithm>
#include <cmath>

#include "common/atomicfile.h"
#include "common/error.h"
#include "office/render/bmpwriter.h"
#include "office/render/guiapplication.h"
#include "office/render/metafile/metafile.h"
#include "office/render/pict.h"
#include "office/render/raster.h"

namespace office::render {

namespace {

constexpr double kEmuPerInch = 914400.0;
// A crop that keeps less than this fraction of an edge is treated as damage.
constexpr double kMinKeptFraction = 0.001;

enum class PictureKind { Bitmap, WindowsMetafile, Pict };

quint32 be32(const QByteArray &d, qsizetype at) {
  return (quint32(quint8(d[at])) << 24) | (quint32(quint8(d[at + 1])) << 16) |
         (quint32(quint8(d[at + 2])) << 8) | quint32(quint8(d[at + 3]));
}

bool looksLikeEmf(const QByteArray &d) {
  return d.size() >= 44 && quint8(d[0]) == 1 && d[1] == 0 && d[2] == 0 && d[3] == 0 &&
         be32(d, 40) == 0x20454D46u;  // " EMF"
}

bool looksLikeWmf(const QByteArray &d) {
  if (d.size() >= 4 && be32(d, 0) == 0xD7CDC69Au) return true;  // placeable header key
  // A bare header: type 1 or 2, then a header size of 9 words.
  return d.size() >= 18 && (d[0] == 1 || d[0] == 2) && d[1] == 0 && d[2] == 9 && d[3] == 0;
}

PictureKind classify(const PictureSource &picture) {
  switch (picture.format) {
    case BlipFormat::Emf:
    case BlipFormat::Wmf:
    case BlipFormat::Pict:
      // The stored type is not always right: PICT pictures are filed as WMF
      // for Windows, so the bytes decide.
      if (looksLikePict(picture.data)) return PictureKind::Pict;
      if (looksLikeEmf(picture.data) || looksLikeWmf(picture.data))
        return PictureKind::WindowsMetafile;
      return picture.format == BlipFormat::Pict ? PictureKind::Pict : PictureKind::WindowsMetafile;
    default:
      return PictureKind::Bitmap;
  }
}

// The number of colour components of a JPEG's frame, or 0 when none is found.
int jpegComponentCount(const QByteArray &d) {
  qsizetype at = 2;
  while (at + 4 <= d.size()) {
    if (quint8(d[at]) != 0xFF) return 0;
    const quint8 marker = quint8(d[at + 1]);
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    const int length = (quint8(d[at + 2]) << 8) | quint8(d[at + 3]);
    const bool isFrame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (isFrame) return at + 9 < d.size() ? quint8(d[at + 9]) : 0;
    if (marker == 0xDA || length < 2) return 0;
    at += 2 + length;
  }
  return 0;
}

// A JPEG that can be written as stored: uncropped, a real JPEG, and not CMYK
// (which most viewers show wrongly, so it is converted to RGB).
bool canPassThrough(const PictureSource &picture) {
  const QByteArray &d = picture.data;
  return picture.format == BlipFormat::Jpeg && picture.crop.isNone() && d.size() > 3 &&
         quint8(d[0]) == 0xFF && quint8(d[1]) == 0xD8 && quint8(d[2]) == 0xFF &&
         jpegComponentCount(d) != 4;
}

QSizeF naturalSizeInches(const PictureSource &picture, PictureKind kind) {
  QSizeF inches = kind == PictureKind::Pict ? pictNaturalSizeInches(picture.data)
                                            : metafileNaturalSizeInches(picture);
  if (inches.width() > 0 && inches.height() > 0) return inches;
  if (picture.metafileSizeEmu.width() > 0 && picture.metafileSizeEmu.height() > 0)
    return QSizeF(picture.metafileSizeEmu.width() / kEmuPerInch,
                  picture.metafileSizeEmu.height() / kEmuPerInch);
  throw morvane::Error(QStringLiteral("The picture has no usable size"));
}

double keptFraction(double cropA, double cropB) {
  const double kept = 1.0 - cropA - cropB;
  if (!(kept >= kMinKeptFraction && kept <= 1.0 / kMinKeptFraction))
    throw morvane::Error(QStringLiteral("The picture's crop leaves nothing to show"));
  return kept;
}

// The pixel size at which the whole (uncropped) metafile is drawn, so that the
// cropped part matches the shape's size on the slide at kMetafileDpi.
QSize metafilePixelSize(const PictureSource &picture, PictureKind kind) {
  const QSizeF shape = picture.shapeSizeInches;
  QSizeF full;
  if (shape.width() > 0 && shape.height() > 0) {
    const Crop &c = picture.crop;
    full = QSizeF(shape.width() / keptFraction(c.left, c.right),
                  shape.height() / keptFraction(c.top, c.bottom));
  } else {
    full = naturalSizeInches(picture, kind);
  }
  const double w = std::round(full.width() * kMetafileDpi);
  const double h = std::round(full.height() * kMetafileDpi);
  const double edge = double(kMaxPixelEdge) * 4;  // keeps the int conversion in range
  return clampPixelSize(QSize(int(std::clamp(w, 1.0, edge)), int(std::clamp(h, 1.0, edge))));
}

QImage renderPicture(const PictureSource &picture) {
  const PictureKind kind = classify(picture);
  QImage image;
  if (kind == PictureKind::Bitmap) {
    image = decodeBitmap(picture);
  } else {
    const QSize size = metafilePixelSize(picture, kind);
    ensureGuiApplication();
    image =
        kind == PictureKind::Pict ? renderPict(picture.data, size) : renderMetafile(picture, size);
    if (image.isNull()) throw morvane::Error(QStringLiteral("The picture could not be drawn"));
    const int dotsPerMeter = int(std::lround(kMetafileDpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
  }
  return flattenOnWhite(cropImage(image, picture.crop));
}

[[noreturn]] void rethrowFor(const QString &path, const morvane::Error &error) {
  const QString text = error.description();
  if (text.startsWith(QLatin1String("Cannot write"))) throw error;
  throw morvane::Error(QStringLiteral("Cannot write %1: %2").arg(path, text));
}

}  // namespace

void exportJpeg(const PictureSource &picture, const QString &path) {
  try {
    if (canPassThrough(picture)) {
      morvane::writeFileAtomically(path, picture.data);
      return;
    }
    morvane::writeFileAtomically(path, encodeJpeg(renderPicture(picture)));
  } catch (const morvane::Error &error) {
    rethrowFor(path, error);
  }
}

void exportBmp(const PictureSource &picture, const QString &path) {
  try {
    morvane::writeFileAtomically(path, encodeBmp24(renderPicture(picture)));
  } catch (const morvane::Error &error) {
    rethrowFor(path, error);
  }
}

}  // namespace office::render
