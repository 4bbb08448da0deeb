#pragma once

// The work budget shared by our picture players (PICT, EMF, WMF). A hostile
// picture can ask for drawing that takes minutes; every player charges its
// drawing operations against a budget of kWorkPerImagePixel times the image's
// area, within [kMinWork, kMaxWork], and stops drawing once it is spent,
// keeping what is drawn, as for a damaged picture. Real pictures stay far
// below it.

#include <QPainterPath>
#include <QRectF>
#include <QtGlobal>
#include <algorithm>
#include <cmath>

namespace office::render {

inline constexpr qint64 kWorkPerImagePixel = 64;
inline constexpr qint64 kMinWork = 16LL * 1024 * 1024;
inline constexpr qint64 kMaxWork = 192LL * 1024 * 1024;
// A path element, or a rectangle of a region.
inline constexpr qint64 kElementCost = 64;
// Filling a path costs far more per edge and row than per pixel: the
// rasterizer sorts the edges crossing each row.
inline constexpr qint64 kEdgeRowCost = 64;
// Paths drawn antialiased: at most this many elements, and bounds at most
// this many times the image's width and height. Qt's antialiasing rasterizer
// slows down badly beyond that; the aliased one only visits the image's rows.
inline constexpr int kMaxAntialiasedElements = 1000;
inline constexpr double kMaxAntialiasedReach = 4;

inline qint64 workLimitFor(qint64 imagePixels) {
  return std::clamp(imagePixels * kWorkPerImagePixel, kMinWork, kMaxWork);
}

// Whether a path with these device bounds and elements is drawn antialiased.
inline bool drawAntialiased(const QRectF &deviceBounds, int elements, const QRectF &image) {
  return deviceBounds.width() <= kMaxAntialiasedReach * image.width() &&
         deviceBounds.height() <= kMaxAntialiasedReach * image.height() &&
         elements <= kMaxAntialiasedElements;
}

// Edge rows of a path (in image coordinates) that lie on the image: the
// scan-line rasterizer visits each edge once per row it spans.
inline qint64 edgeRowsOnImage(const QPainterPath &devicePath, double rows) {
  qint64 total = 0;
  for (int i = 1; i < devicePath.elementCount(); ++i) {
    const double a = std::clamp(devicePath.elementAt(i - 1).y, 0.0, rows);
    const double b = std::clamp(devicePath.elementAt(i).y, 0.0, rows);
    total += qint64(std::abs(b - a)) + 1;
  }
  return total;
}

}  // namespace office::render
