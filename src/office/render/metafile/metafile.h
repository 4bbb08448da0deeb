#pragma once

// Rendering of Windows metafiles (EMF, EMF+ dual, WMF) on QPainter. The
// records are played through a GDI state machine of our own (gdiplayer.h);
// unknown or unsupported records are skipped. Damage that leaves nothing to
// render throws morvane::PictureError; anything else renders what can be read.

#include <QImage>
#include <QSize>
#include <QSizeF>

#include "office/render/drawingwork.h"
#include "office/render/export.h"

namespace office::render {

// The metafile frame scaled to pixelSize; the image holds view's visible part
// of it (all of it by default) on view's background, at most
// kMaxMetafilePixels (larger images are scaled down). A picture whose drawing
// would exceed its work budget (set by the image's size), or whose data is
// damaged, stops there, keeping what is drawn; outcome tells how it went.
QImage renderMetafile(const PictureSource &picture, QSize pixelSize,
                      DrawingOutcome *outcome = nullptr, const RenderView &view = {});

// The metafile's own size in inches (stored size, else its header's frame).
QSizeF metafileNaturalSizeInches(const PictureSource &picture);

// The largest image renderMetafile makes, in pixels (width x height).
inline constexpr qint64 kMaxMetafilePixels = 40'000'000;

}  // namespace office::render
