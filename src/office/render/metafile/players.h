#pragma once

// The two record players behind renderMetafile: EMF and WMF.

#include <QByteArray>
#include <QPainter>
#include <QRectF>
#include <QSizeF>

#include "office/render/export.h"

namespace office::render::metafile {

// Records played at most per metafile; bounds the time a hostile file takes.
inline constexpr int kMaxRecords = 1'000'000;

struct EmfHeader {
  QRectF bounds;       // device pixels, inclusive
  QRectF frame;        // 0.01 mm, inclusive
  QSizeF device;       // reference device, pixels
  QSizeF millimeters;  // reference device, millimetres
  std::uint32_t handles = 0;
};

// Throws morvane::Error when data does not start with a readable EMR_HEADER.
EmfHeader readEmfHeader(const QByteArray &data);
QSizeF emfSizeInches(const EmfHeader &header);
// The players return true when playback stopped because the picture's work
// budget was spent (what was drawn by then is kept).
bool playEmf(const QByteArray &data, QPainter &painter, QSize image);

// The logical rectangle a WMF fills, and its size in inches when known.
struct WmfFrame {
  QRectF window;
  QSizeF inches;
  qsizetype headerOffset = 0;  // of the META header (after a placeable header)
};
// Throws morvane::Error when data has no readable WMF header.
WmfFrame readWmfFrame(const PictureSource &picture);
bool playWmf(const PictureSource &picture, QPainter &painter, QSize image);

}  // namespace office::render::metafile
