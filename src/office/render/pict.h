#pragma once

// Macintosh QuickDraw pictures (PICT, versions 1 and 2, with or without the
// 512-byte file preamble), drawn with QPainter. Covers the raster opcodes
// real files use (BitsRect, PackBits, DirectBits, QuickTime-compressed JPEG),
// lines, rectangles, ovals, arcs, polygons, regions (by their bounds) and
// text; other opcodes are skipped by their documented lengths. A picture
// without a readable header throws morvane::PictureError; damage further on
// ends the drawing and keeps what is drawn (PictRenderStats::damage says why).

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QString>

#include "office/render/drawingwork.h"
#include "office/render/pictureformat.h"

namespace office::render {

// The picture's own size in inches (from its frame and resolution).
QSizeF pictNaturalSizeInches(const QByteArray &data);

// What drawing one picture cost. work counts the pixels the drawing operations
// touched (their bounds on the image), the bitmap pixels decoded and fixed
// costs per opcode and path element; drawing stops, keeping what is drawn,
// before work would pass workLimit.
struct PictRenderStats {
  qint64 work = 0;
  qint64 workLimit = 0;
  int opcodes = 0;
  int drawn = 0;  // drawing operations carried out
  bool stoppedEarly = false;
  QString damage;  // why the opcodes stopped before the end, if they did
};

// Draws the picture frame scaled to pixelSize; the image holds view's
// visible part of it (all of it by default) on view's background. A picture
// whose drawing would cost more than its work limit (set by the image's
// size) is drawn up to that point.
QImage renderPict(const QByteArray &data, QSize pixelSize, PictRenderStats *stats = nullptr,
                  const RenderView &view = {});

}  // namespace office::render
