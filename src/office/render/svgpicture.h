#pragma once

// SVG pictures, drawn with QtSvg through Qt's image plugin (loaded only
// when an SVG picture is drawn) at the shape's size at 150 dpi, cropped,
// and flattened onto the colour behind them. The reader checks the SVG's
// XML before it hands it over (no document type, bounded depth).

#include <QByteArray>
#include <QRgb>
#include <QSizeF>
#include <QString>

#include "office/render/export.h"

namespace office::render {

struct SvgPicture {
  QByteArray data;
  QSizeF shapeSizeInches;  // empty: 4 x 3 inches
  Crop crop;
  QRgb background = 0xFFFFFFFF;
};

// Throws morvane::PictureError when the SVG cannot be drawn.
void exportSvgJpeg(const SvgPicture &picture, const QString &path);
void exportSvgBmp(const SvgPicture &picture, const QString &path);

}  // namespace office::render
