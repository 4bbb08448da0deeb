#include "office/render/drawingimpl.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <new>

#include "common/atomicfile.h"
#include "common/error.h"
#include "office/render/bmpwriter.h"
#include "office/render/drawingwork.h"
#include "office/render/export.h"
#include "office/render/exportcache.h"
#include "office/render/guiapplication.h"
#include "office/render/metafile/metafile.h"
#include "office/render/pict.h"
#include "office/render/raster.h"
#include "office/render/transcode.h"

namespace office::render::drawing {

namespace {

constexpr double kEmuPerInch = 914400.0;
constexpr double kInchesPerMeter = 1 / 0.0254;
// A crop that keeps less than this fraction of an edge is treated as damage.
constexpr double kMinKeptFraction = 0.001;
// The largest image a metafile or PICT picture is drawn into.
constexpr qint64 kMaxDrawnPixels = 40'000'000;

enum class PictureKind { Bitmap, WindowsMetafile, Pict };

[[noreturn]] void unreadable(const QString &reason) {
  throw morvane::PictureError(QStringLiteral("the picture cannot be read (%1)").arg(reason));
}

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

QSizeF naturalSizeInches(const PictureSource &picture, PictureKind kind) {
  QSizeF inches = kind == PictureKind::Pict ? pictNaturalSizeInches(picture.data)
                                            : metafileNaturalSizeInches(picture);
  if (inches.width() > 0 && inches.height() > 0) return inches;
  if (picture.metafileSizeEmu.width() > 0 && picture.metafileSizeEmu.height() > 0)
    return QSizeF(picture.metafileSizeEmu.width() / kEmuPerInch,
                  picture.metafileSizeEmu.height() / kEmuPerInch);
  unreadable(QStringLiteral("it has no usable size"));
}

double keptFraction(double cropA, double cropB) {
  const double kept = 1.0 - cropA - cropB;
  if (!(kept >= kMinKeptFraction && kept <= 1.0 / kMinKeptFraction))
    unreadable(QStringLiteral("its crop leaves nothing to show"));
  return kept;
}

// Where a drawn picture goes: the whole (uncropped) picture is drawn at a
// size that makes its cropped part match the shape on the slide at
// kMetafileDpi (or its own size when the shape's is unknown), and only the
// cropped part, at most kMaxDrawnPixels, is drawn into the image.
struct DrawnSize {
  QSize full;
  QRect visible;
};

DrawnSize drawnSize(const PictureSource &picture, PictureKind kind) {
  const Crop &c = picture.crop;
  const double keptWidth = keptFraction(c.left, c.right);
  const double keptHeight = keptFraction(c.top, c.bottom);
  const QSizeF shape = picture.shapeSizeInches;
  QSizeF full = shape.width() > 0 && shape.height() > 0
                    ? QSizeF(shape.width() / keptWidth, shape.height() / keptHeight)
                    : naturalSizeInches(picture, kind);
  full *= kMetafileDpi;
  const double outWidth = std::max(1.0, full.width() * keptWidth);
  const double outHeight = std::max(1.0, full.height() * keptHeight);
  const double scale = std::min({1.0, kMaxPixelEdge / outWidth, kMaxPixelEdge / outHeight,
                                 std::sqrt(double(kMaxDrawnPixels) / (outWidth * outHeight))});
  const auto pixels = [&](double v) { return int(std::clamp(std::round(v * scale), 1.0, 2e9)); };
  const QSize fullPixels(pixels(full.width()), pixels(full.height()));
  const Placement place = placementFor(fullPixels, c);
  return {fullPixels, QRect(-place.origin, place.output)};
}

struct Drawn {
  QImage image;
  QString damage;
};

Drawn drawPicture(const PictureSource &picture, PictureKind kind) {
  const DrawnSize size = drawnSize(picture, kind);
  const RenderView view{size.visible, picture.background};
  ensureGuiApplication();
  DrawingOutcome outcome;
  QImage image;
  if (kind == PictureKind::Pict) {
    PictRenderStats stats;
    image = renderPict(picture.data, size.full, &stats, view);
    outcome = {stats.drawn, stats.stoppedEarly, stats.damage};
  } else {
    image = renderMetafile(picture, size.full, &outcome, view);
  }
  QString damage = outcome.damage;
  if (damage.isEmpty() && outcome.stoppedEarly)
    damage = QStringLiteral("its drawing needs more work than its size allows");
  if (outcome.drawn == 0 && !damage.isEmpty()) unreadable(damage);
  const int dotsPerMeter = int(std::lround(kMetafileDpi * kInchesPerMeter));
  image.setDotsPerMeterX(dotsPerMeter);
  image.setDotsPerMeterY(dotsPerMeter);
  return {image, damage};
}

ExportCache::Key cacheKeyFor(const PictureSource &picture, char output, PictureKind kind) {
  ExportCache::Key key;
  key.pictureId = picture.cacheId;
  key.output = output;
  const Crop &c = picture.crop;
  key.crop[0] = c.left, key.crop[1] = c.top, key.crop[2] = c.right, key.crop[3] = c.bottom;
  key.background = picture.background;
  // A bitmap keeps its own pixel size whatever the shape's size.
  if (kind != PictureKind::Bitmap) key.shapeSizeInches = picture.shapeSizeInches;
  return key;
}

ExportCache::Output encodeJpegOutput(const PictureSource &picture, PictureKind kind) {
  if (kind == PictureKind::Bitmap) {
    const auto source = openBitmap(picture);
    Encoded encoded = transcodeToJpeg(*source, picture.crop, picture.background, kBitmapOutputDpi);
    return {std::move(encoded.bytes), encoded.damage};
  }
  const Drawn drawn = drawPicture(picture, kind);
  const auto source = imageSource(drawn.image);
  Encoded encoded = transcodeToJpeg(*source, Crop{}, picture.background, kMetafileDpi);
  return {std::move(encoded.bytes), drawn.damage};
}

ExportCache::Output encodeBmpOutput(const PictureSource &picture, PictureKind kind) {
  if (kind != PictureKind::Bitmap) {
    const Drawn drawn = drawPicture(picture, kind);
    return {encodeBmp24(drawn.image), drawn.damage};
  }
  const auto source = openBitmap(picture);
  QString damage;
  QImage image = composeImage(*source, picture.crop, picture.background, &damage);
  const int dotsPerMeter = int(std::lround(kBitmapOutputDpi * kInchesPerMeter));
  image.setDotsPerMeterX(dotsPerMeter);
  image.setDotsPerMeterY(dotsPerMeter);
  return {encodeBmp24(image), damage};
}

// Everything before the output is written is decoding: whatever fails there
// means the picture cannot be read, not that its file cannot be written.
template <class Step>
auto decodeStep(Step step) -> decltype(step()) {
  try {
    return step();
  } catch (const morvane::PictureError &) {
    throw;
  } catch (const morvane::Error &error) {
    unreadable(error.description());
  } catch (const std::bad_alloc &) {
    unreadable(QStringLiteral("not enough memory"));
  }
}

// The output's bytes: from the cache when the same picture was exported the
// same way before, else made (and kept for the next time).
template <class Make>
ExportCache::Output cachedOutput(const PictureSource &picture, char output, Make make) {
  const PictureKind kind = classify(picture);
  const ExportCache::Key key = cacheKeyFor(picture, output, kind);
  if (picture.cache)
    if (auto found = picture.cache->find(key)) return *found;
  ExportCache::Output made = decodeStep([&] { return make(picture, kind); });
  if (picture.cache) picture.cache->insert(key, made);
  return made;
}

}  // namespace

ExportResult exportJpeg(const PictureSource &picture, const QString &path) {
  const ExportCache::Output output = cachedOutput(picture, 'J', encodeJpegOutput);
  morvane::writeFileAtomically(path, output.bytes);
  return {output.damage};
}

ExportResult exportBmp(const PictureSource &picture, const QString &path) {
  const ExportCache::Output output = cachedOutput(picture, 'B', encodeBmpOutput);
  morvane::writeFileAtomically(path, output.bytes);
  return {output.damage};
}

}  // namespace office::render::drawing
