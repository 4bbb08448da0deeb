#include "office/render/svgpicture.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "common/error.h"
#include "office/render/drawingimpl.h"
#include "office/render/drawnpicture.h"
#include "office/render/guiapplication.h"
#include "office/render/raster.h"

namespace office::render {

namespace {

constexpr QSizeF kDefaultInches{4, 3};
// A crop that keeps less than this fraction of an edge leaves nothing.
constexpr double kMinKeptFraction = 0.001;

QSize wholePixelSize(const SvgPicture &picture) {
  const QSizeF shape = picture.shapeSizeInches.isEmpty() ? kDefaultInches : picture.shapeSizeInches;
  const Crop &c = picture.crop;
  const double w = shape.width() / std::max(kMinKeptFraction, 1 - c.left - c.right);
  const double h = shape.height() / std::max(kMinKeptFraction, 1 - c.top - c.bottom);
  const double edge = double(kMaxPixelEdge) * 4;
  return clampPixelSize(QSize(int(std::clamp(std::round(w * kMetafileDpi), 1.0, edge)),
                              int(std::clamp(std::round(h * kMetafileDpi), 1.0, edge))));
}

QImage draw(const SvgPicture &picture) {
  ensureGuiApplication();
  QByteArray bytes = picture.data;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "svg");
  reader.setScaledSize(wholePixelSize(picture));
  QImage drawn;
  if (!reader.read(&drawn) || drawn.isNull())
    throw morvane::PictureError(
        QStringLiteral("the SVG picture cannot be drawn (%1)").arg(reader.errorString()));
  QImage out(drawn.size(), QImage::Format_RGB32);
  if (out.isNull()) throw morvane::Error(QStringLiteral("Not enough memory for the picture"));
  out.fill(QColor::fromRgb(picture.background));
  QPainter painter(&out);
  painter.drawImage(0, 0, drawn);
  painter.end();
  return cropImage(out, picture.crop, QColor::fromRgb(picture.background));
}

}  // namespace

void drawing::exportSvgJpeg(const SvgPicture &picture, const QString &path) {
  writeDrawnJpeg(draw(picture), path);
}

void drawing::exportSvgBmp(const SvgPicture &picture, const QString &path) {
  writeDrawnBmp(draw(picture), path);
}

}  // namespace office::render
