#pragma once

// The two record players behind renderMetafile: EMF and WMF.

#include <QByteArray>
#include <QPainter>
#include <QRectF>
#include <QSizeF>

#include "office/render/drawingwork.h"
#include "office/render/export.h"
#include "office/render/metafile/gdiplayer.h"

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

// Throws morvane::PictureError when data does not start with a readable EMR_HEADER.
EmfHeader readEmfHeader(const QByteArray &data);
QSizeF emfSizeInches(const EmfHeader &header);
// The players draw what they can and say in outcome how far they got: the
// work budget spent, or damaged data, ends playback (what was drawn by then
// is kept).
void playEmf(const QByteArray &data, QPainter &painter, const PlayerTarget &target,
             DrawingOutcome &outcome);

// The logical rectangle a WMF fills, and its size in inches when known.
struct WmfFrame {
  QRectF window;
  QSizeF inches;
  qsizetype headerOffset = 0;  // of the META header (after a placeable header)
};
// Throws morvane::PictureError when data has no readable WMF header.
WmfFrame readWmfFrame(const PictureSource &picture);
void playWmf(const PictureSource &picture, QPainter &painter, const PlayerTarget &target,
             DrawingOutcome &outcome);

}  // namespace office::render::metafile
