#pragma once

// Macintosh QuickDraw pictures (PICT, versions 1 and 2, with or without the
// 512-byte file preamble), drawn with QPainter. Covers the raster opcodes
// real files use (BitsRect, PackBits, DirectBits, QuickTime-compressed JPEG),
// lines, rectangles, ovals, arcs, polygons, regions (by their bounds) and
// text; other opcodes are skipped by their documented lengths. Damage throws
// morvane::Error.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QSizeF>

namespace office::render {

// True when data starts with a PICT header (at 0, or after a 512-byte preamble).
bool looksLikePict(const QByteArray &data);

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
  bool stoppedEarly = false;
};

// Draws the whole picture frame onto a white image of pixelSize. A picture
// whose drawing would cost more than its work limit is drawn up to that point.
QImage renderPict(const QByteArray &data, QSize pixelSize, PictRenderStats *stats = nullptr);

}  // namespace office::render
