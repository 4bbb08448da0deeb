#pragma once

// The work budget shared by our picture players (PICT, EMF, WMF). A hostile
// picture can ask for drawing that takes minutes; every player charges its
// drawing operations against a budget of kWorkPerImagePixel times the image's
// area, within [kMinWork, kMaxWork], and stops drawing once it is spent,
// keeping what is drawn, as for a damaged picture. Real pictures stay far
// below it.

#include <QColor>
#include <QPainterPath>
#include <QRect>
#include <QRectF>
#include <QString>
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
// The most elements a path may have, whatever the budget: each costs memory
// several times over (the points, the path, its copy mapped to the image).
inline constexpr qint64 kMaxPathElements = 1'000'000;
// Paths drawn antialiased: at most this many elements, and bounds at most
// this many times the image's width and height. Qt's antialiasing rasterizer
// slows down badly beyond that; the aliased one only visits the image's rows.
inline constexpr int kMaxAntialiasedElements = 1000;
inline constexpr double kMaxAntialiasedReach = 4;

// Which part of a picture drawn at its full pixel size becomes the image,
// and what lies behind it. A cropped picture is drawn only where it shows,
// so its cost follows its output size, not the size of the whole picture.
struct RenderView {
  QRect visible;  // in the pixels of the whole picture; null: all of it
  QColor background = Qt::white;
  QRect visibleIn(QSize full) const {
    return visible.isNull() ? QRect(QPoint(0, 0), full) : visible;
  }
};

// How playing a picture's drawing went.
struct DrawingOutcome {
  int drawn = 0;              // drawing operations carried out
  bool stoppedEarly = false;  // the work budget was spent before the end
  QString damage;             // why playback stopped at damaged data, if it did
};

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
