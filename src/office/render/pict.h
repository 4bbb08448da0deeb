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

// Draws the whole picture frame onto a white image of pixelSize.
QImage renderPict(const QByteArray &data, QSize pixelSize);

}  // namespace office::render
